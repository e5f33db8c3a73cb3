// The observation panel's figures as the page gets them, through the compiled
// module: the same numbers as the desktop's batch run writes with --thermo
// (where glibc uses its plain pow), bit for bit, from steps that measure the
// walls and are otherwise the same steps to the bit.
//   node tests/web/observe_test.mjs DESKTOP_TESSALY build-web/site/tessaly_web.js
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { LoadModule } from './load_module.mjs';

const desktop = process.argv[2];
const modulePath = path.resolve(process.argv[3]);
const measured = await LoadModule(modulePath);
const plain = await LoadModule(modulePath);
const { ReadFigures } = await import(path.join(path.dirname(modulePath), 'panel.js'));
const kNoError = -1;

function Start(tessaly, count, timeStep, seed) {
  assert.equal(tessaly.ccall('tessaly_use_seed', 'number', ['string'], [String(seed)]), 1);
  const texts = [String(count), String(timeStep), '0'].flatMap((t) => [t, t]);
  assert.equal(tessaly.ccall('tessaly_read_fields', 'number', Array(6).fill('string'), texts), kNoError);
  assert.equal(tessaly._tessaly_start(), kNoError);
  tessaly._tessaly_forget_walls();
}

function Observe(tessaly, steps) {
  const layout = (k) => tessaly._tessaly_observation_layout(k);
  const length = layout(0) + layout(1) + layout(3) + layout(4);
  const at = tessaly._tessaly_observe(steps) / 8;
  return ReadFigures(tessaly.HEAPF64.subarray(at, at + length), layout);
}

function State(tessaly) {
  const n = 2 * (tessaly._tessaly_count() + 1);
  const copy = (ptr) => Array.from(tessaly.HEAPF64.subarray(ptr / 8, ptr / 8 + n));
  return [copy(tessaly._tessaly_positions()), copy(tessaly._tessaly_velocities())];
}

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tessaly-observe-'));
// count, time step, steps, seed, every
const cases = [
  [40, 0.1, 150, 7, 10],
  [2, 0.5, 60, 3, 6],
  [1, 0.1, 10, 4, 5],
  [0, 0.1, 4, 5, 2],
  [200, 0.05, 120, 11, 40],
  [40, -0.01, 30, 9, 15],
];
try {
  for (const [count, timeStep, steps, seed, every] of cases) {
    const label = `count ${count}, time step ${timeStep}, seed ${seed}`;
    const csv = path.join(dir, 'run.csv');
    execFileSync(desktop, ['--batch', '--count', String(count), '--time-step', String(timeStep),
      '--steps', String(steps), '--seed', String(seed), '--every', String(every), '--thermo', csv],
    { env: { ...process.env, GLIBC_TUNABLES: 'glibc.cpu.hwcaps=-FMA,-AVX2' } });
    const rows = fs.readFileSync(csv, 'utf8').trim().split('\n').slice(1)
      .map((line) => line.split(',').map(Number));
    assert.equal(rows.length, steps / every + 1, label);
    Start(measured, count, timeStep, seed);
    Start(plain, count, timeStep, seed);
    for (let step = 0; step <= steps; ++step) {
      if (step > 0) {
        assert.equal(measured._tessaly_step(1), kNoError);
        assert.equal(plain._tessaly_step(0), kNoError);
      }
      if (step % every !== 0) continue;
      const f = Observe(measured, step);
      const [, time, kinetic, potential, temperature, pressure] = rows[step / every];
      const at = `${label}, step ${step}`;
      assert.deepEqual([f.steps, f.time, f.count, f.kinetic, f.potential, f.temperature, f.wallPressure],
        [step, time, count, kinetic, potential, temperature, pressure], at);
      const per = count > 0 ? 1 / count : 0;
      assert.deepEqual([f.kineticPerParticle, f.potentialPerParticle, f.totalPerParticle],
        [kinetic * per, potential * per, kinetic * per + potential * per], at);
      // All speeds but the few beyond four times the typical one are counted,
      // and the curve is drawn wherever the box moves.
      const density = f.speed.reduce((a, b) => a + b, 0) * (f.speedRange / f.speed.length);
      assert.ok(count === 0 || (density > 0.9 && density <= 1 + 1e-12), `${at}: speeds ${density}`);
      assert.equal(f.curve.length, f.temperature > 0 ? 101 : 0, at);
      assert.deepEqual(State(measured), State(plain), `${at}: the measured step changed the state`);
    }
    console.log(`same figures as --thermo: ${label}, ${steps} steps`);
  }
} catch (error) {
  // The module's loader would print all of itself beside an uncaught error.
  console.error(error.message);
  process.exitCode = 1;
} finally {
  fs.rmSync(dir, { recursive: true, force: true });
}
