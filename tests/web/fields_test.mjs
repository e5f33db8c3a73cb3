// The field rules as the page gets them: through the compiled module, with
// the compatibility form made by the JavaScript engine, as the page makes it.
//   node tests/web/fields_test.mjs build-web/site/tessaly_web.js
import assert from 'node:assert/strict';
import path from 'node:path';
import { LoadModule } from './load_module.mjs';

const modulePath = path.resolve(process.argv[2]);
const tessaly = await LoadModule(modulePath);

const kNoError = -1;
const [kCount, kTimeStep, kPeriod] = [0, 1, 2];
const [kOverflow, kOutOfRange] = [0, 3];

function Read(count, timeStep, period) {
  const texts = [count, timeStep, period].flatMap((t) => [t, t.normalize('NFKC')]);
  const field = tessaly.ccall('tessaly_read_fields', 'number', Array(6).fill('string'), texts);
  if (field !== kNoError) {
    return { field, kind: tessaly._tessaly_field_error_kind(),
      message: tessaly.UTF8ToString(tessaly._tessaly_field_error_message()) };
  }
  return { count: tessaly._tessaly_settings_count(), timeStep: tessaly._tessaly_settings_time_step(),
    period: tessaly._tessaly_settings_period() };
}

const cases = [
  // Typed as a person types, full-width forms from an input method included.
  [['40', '0.1', '10'], { count: 40, timeStep: 0.1, period: 10 }],
  [['４０', '０．１', '１０'], { count: 40, timeStep: 0.1, period: 10 }],
  [['　４０', '１ｅ－３', '－０'], { count: 40, timeStep: 1e-3, period: 0 }],
  [['4０', 'abc', ''], { count: 4, timeStep: 0, period: 0 }],
  [['2.5', '-2.5e-3', '3.5'], { count: 2, timeStep: -2.5e-3, period: 4 }],
  // One field that cannot be used, then several: the first in reading order.
  [['32767.5', '0.1', '10'], { field: kCount, kind: kOverflow }],
  [['-1', '0.1', '10'], { field: kCount, kind: kOutOfRange }],
  [['40', '１ｅ４００', '10'], { field: kTimeStep, kind: kOverflow }],
  [['40', '0.1', '65536'], { field: kPeriod, kind: kOutOfRange }],
  [['40', '0.1', '3e9'], { field: kPeriod, kind: kOverflow }],
  [['-1', '1e999', '-1'], { field: kTimeStep, kind: kOverflow }],
  [['-1', '0.1', '-1'], { field: kCount, kind: kOutOfRange }],
];
const captions = ['分子の数', '時間刻み', 'タイマー'];
for (const [texts, expected] of cases) {
  const read = Read(...texts);
  const label = texts.join(' | ');
  if ('field' in expected) {
    assert.equal(read.field, expected.field, label);
    assert.equal(read.kind, expected.kind, label);
    assert.ok(read.message.includes(`「${captions[expected.field]}」`), label);
  } else {
    assert.deepEqual(read, expected, label);
  }
}
console.log(`${cases.length} cases read as the desktop reads them`);
