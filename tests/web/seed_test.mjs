// Every run of the page's module has a seed, handed out in decimal, and that
// seed places the same arrangement again, bit for bit: the one the desktop's
// batch run writes as its frame 0. The address parameters carry it.
//   node tests/web/seed_test.mjs DESKTOP_TESSALY build-web/site/tessaly_web.js
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { LoadModule } from './load_module.mjs';

const desktop = path.resolve(process.argv[2]);
const modulePath = path.resolve(process.argv[3]);
const tessaly = await LoadModule(modulePath);
const text = (name, ...args) =>
  tessaly.ccall(name, 'string', args.map((a) => (typeof a === 'number' ? 'number' : 'string')), args);

function Start(count, timeStep, period) {
  const texts = [count, timeStep, period].flatMap((t) => [t, t.normalize('NFKC')]);
  assert.equal(tessaly.ccall('tessaly_read_fields', 'number', Array(6).fill('string'), texts), -1);
  assert.equal(tessaly._tessaly_start(), -1);
  const n = tessaly._tessaly_count();
  return new Float64Array(tessaly.HEAPF64.buffer, tessaly._tessaly_positions(), 2 * (n + 1)).slice(2);
}

assert.equal(text('tessaly_seed_text'), '', 'a seed before any run');
assert.equal(text('tessaly_share_query', 0), '', 'a run to share before any run');
assert.equal(text('tessaly_share_query_of_texts', '４０', '1e+3', '10', 0),
  '?count=%EF%BC%94%EF%BC%90&time-step=1e%2B3&period=10&run');

// From the clock: the seed handed out places the same arrangement again.
const fromClock = Start('40', '1e-1', '10');
const seed = text('tessaly_seed_text');
assert.match(seed, /^[0-9]{1,20}$/);
assert.equal(text('tessaly_share_query', 1), `?count=40&time-step=0.1&period=10&seed=${seed}&observe&run`);
assert.equal(tessaly.ccall('tessaly_use_seed', 'number', ['string'], [seed]), 1);
const again = Start('40', '0.1', '10');
assert.deepEqual(again, fromClock);
assert.equal(text('tessaly_seed_text'), seed);

// The largest seed, beyond what a JavaScript Number holds, is the desktop
// batch run's frame 0.
const largest = '18446744073709551615';
assert.equal(tessaly.ccall('tessaly_use_seed', 'number', ['string'], [largest]), 1);
const placed = Start('３０', '３．５', '0');
assert.equal(text('tessaly_seed_text'), largest);
assert.equal(text('tessaly_share_query', 0), `?count=30&time-step=3.5&period=0&seed=${largest}&run`);
const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tessaly-seed-'));
try {
  const xyz = path.join(dir, 'frame.xyz');
  execFileSync(desktop, ['--batch', '--count', '30', '--time-step', '3.5', '--steps', '0',
    '--seed', largest, '--xyz', xyz]);
  const lines = fs.readFileSync(xyz, 'utf8').trim().split('\n').slice(2);
  assert.equal(lines.length, 30);
  lines.forEach((line, k) => {
    const [, x, y] = line.split(' ');
    assert.equal(Number(x), placed[2 * k], `particle ${k + 1} x`);
    assert.equal(Number(y), placed[2 * k + 1], `particle ${k + 1} y`);
  });
} finally {
  fs.rmSync(dir, { recursive: true });
}
console.log('seeds: every run has one, and it places the same arrangement again');
