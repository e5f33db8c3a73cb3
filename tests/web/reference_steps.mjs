// The positions the module reaches from seed 7 with 40 particles in STEPS
// unmeasured steps, as exact JSON: what the page must show after as many ticks.
//   node tests/web/reference_steps.mjs MODULE STEPS
import { LoadModule } from './load_module.mjs';

const [file, steps] = process.argv.slice(2);
const t = await LoadModule(file);
t.ccall('tessaly_use_seed', 'number', ['string'], ['7']);
t.ccall('tessaly_read_fields', 'number', Array(6).fill('string'), ['40', '40', '0.1', '0.1', '10', '10']);
t._tessaly_start();
for (let k = 0; k < Number(steps); ++k) t._tessaly_step(0);
const at = t._tessaly_positions() / 8;
console.log(JSON.stringify(Array.from(t.HEAPF64.subarray(at, at + 2 * (t._tessaly_count() + 1)))));
