// The page's states bit-identical with one worker and with several: the
// module with threads, on 2 and on 4 threads, steps each arrangement to the
// very bits of the module without; a stopped step changes nothing and
// leaves no thread at work.
//   node tests/web/threads_test.mjs build-web/site/tessaly_web.js build-web/site/tessaly_web_threads.js
import assert from 'node:assert/strict';
import { LoadModule } from './load_module.mjs';

const load = LoadModule;

const kNoError = -1;
const kStopped = -2;

// A fresh run of `count` particles placed from `seed`.
function Start(tessaly, count, timeStep, seed) {
  assert.equal(tessaly.ccall('tessaly_use_seed', 'number', ['string'], [String(seed)]), 1);
  const texts = [String(count), String(timeStep), '1'].flatMap((t) => [t, t]);
  assert.equal(tessaly.ccall('tessaly_read_fields', 'number', Array(6).fill('string'), texts), kNoError);
  assert.equal(tessaly._tessaly_start(), kNoError);
}

// The current positions and velocities, as bytes.
function State(tessaly) {
  const n = 2 * (tessaly._tessaly_count() + 1);
  const at = (ptr) => new Uint8Array(tessaly.HEAPF64.slice(ptr / 8, ptr / 8 + n).buffer);
  return Buffer.concat([at(tessaly._tessaly_positions()), at(tessaly._tessaly_velocities())]);
}

const single = await load(process.argv[2]);
const several = [];
for (const threads of [2, 4]) {
  const tessaly = await load(process.argv[3], { threads });
  assert.equal(tessaly._tessaly_use_threads(threads), threads);
  several.push({ threads, tessaly });
}
assert.equal(single._tessaly_use_threads(4), 1, 'the module without threads runs on one');

// count time-step steps seed: below the count where threads start, blocks
// that do not fill the last tile, the largest blocks, and an error.
const cases = [
  [40, 0.1, 20, 7],
  [150, 0.05, 10, 3],
  [1000, 0.1, 5, 12345],
  [2001, 0.1, 3, 99],
  [5000, 0.01, 2, 1],
  [400, 1e300, 2, 7],
];
let failed = 0;
for (const [count, timeStep, steps, seed] of cases) {
  Start(single, count, timeStep, seed);
  for (const { tessaly } of several) Start(tessaly, count, timeStep, seed);
  for (let step = 1; step <= steps; ++step) {
    const error = single._tessaly_step(0);
    const expected = State(single);
    for (const { threads, tessaly } of several) {
      const same = tessaly._tessaly_step(0) === error && State(tessaly).equals(expected);
      if (!same) {
        console.log(`DIFFERENT: N = ${count}, dt = ${timeStep}, seed ${seed}, step ${step},`
          + ` ${threads} threads`);
        failed = 1;
      }
    }
    if (error !== kNoError) break;
    if (step === steps && timeStep > 1e100) {
      console.log(`DIFFERENT: N = ${count}, dt = ${timeStep} ran on without an error`);
      failed = 1;
    }
  }
  console.log(`same: N = ${count}, dt = ${timeStep}, ${steps} steps, seed ${seed}, 2 and 4 threads`);
}

// A step stopped before it begins leaves the state as it was, and the
// threads all leave; cleared, the flag lets the next step run to the same
// bits as the module without threads.
for (const { threads, tessaly } of several) {
  Start(tessaly, 3000, 0.1, 5);
  Start(single, 3000, 0.1, 5);
  const before = State(tessaly);
  const flag = tessaly._tessaly_stop_flag();
  Atomics.store(tessaly.HEAPU8, flag, 1);
  assert.equal(tessaly._tessaly_step(0), kStopped);
  assert.ok(State(tessaly).equals(before), `a stopped step changed the state (${threads} threads)`);
  assert.equal(Atomics.load(tessaly.HEAP32, tessaly._tessaly_threads_at_work() / 4), 0);
  Atomics.store(tessaly.HEAPU8, flag, 0);
  assert.equal(tessaly._tessaly_step(0), single._tessaly_step(0));
  assert.ok(State(tessaly).equals(State(single)), `the step after a stop differs (${threads} threads)`);
  console.log(`same: a stopped step, then a whole one, ${threads} threads`);
}
// The helpers wait for work until the process ends.
process.exit(failed);
