// The page's record of the batch run's table: which states it asks the worker
// for, and where it stops.
//   node tests/web/record_test.mjs build-web/site
import assert from 'node:assert/strict';
import path from 'node:path';

const { Recorder, kMaxRows } = await import(path.resolve(process.argv[2], 'record.js'));

const recorder = new Recorder('header\n', null);
// step, shown, asked for
for (const [steps, shown, wanted] of [[0, true, true], [0, false, false], [5, true, false], [10, true, true],
  [10, false, false]]) {
  assert.equal(recorder.Wanted(steps, shown), wanted, `step ${steps}, shown ${shown}`);
}
recorder.Add(0, '0\n');
recorder.Add(10, '10\n');
assert.equal(recorder.Wanted(10, true), false, 'a step recorded once is not asked for again');
recorder.Add(10, 'again\n');
recorder.Add(20, '');  // where the batch run fails: no row
assert.equal(recorder.Csv(), 'header\n0\n10\n');

recorder.Reset();
for (let k = 0; k <= kMaxRows; ++k) recorder.Add(10 * k, 'r\n');
assert.equal(recorder.rows.length, kMaxRows);
assert.equal(recorder.lastStep, 10 * (kMaxRows - 1));
assert.ok(recorder.full);
assert.equal(recorder.Wanted(10 * (kMaxRows + 1), true), false, 'a full record asks for nothing');
recorder.Reset();
assert.ok(!recorder.full && recorder.rows.length === 0 && recorder.Wanted(0, true), 'a new run records again');
console.log(`the record keeps every tenth step's row, up to ${kMaxRows}`);
