// Starts the page: checks that the browser has what the page needs, chooses
// the module it can run, then loads the page itself (main.js). Whatever stops
// it on the way is said in the page, in words a pupil or a teacher can act on,
// never only in a console.

import { StepThreads, ThreadsAllowed } from './threads.js';

// Read by the page's tests and filled in by main.js: every uncaught error and
// unhandled rejection of the page and of its worker lands in `errors`.
const page = { errors: [], simd: null, module: null, ticks: 0 };
window.tessalyPage = page;

const Describe = (error) => (error instanceof Error ? `${error.name}: ${error.message}` : String(error));
addEventListener('error', (event) => page.errors.push(Describe(event.error ?? event.message)));
addEventListener('unhandledrejection', (event) => page.errors.push(Describe(event.reason)));

// What the browser offers, by name. modules.json lists the modules, best
// first; the page runs the first whose needs are all met.
const kSimdProbe = new Uint8Array([  // (func (result v128) i32.const 0 i8x16.splat i8x16.popcnt)
  0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0,
  10, 10, 1, 8, 0, 65, 0, 253, 15, 253, 98, 11]);
const features = {
  simd: () => WebAssembly.validate(kSimdProbe),
  threads: ThreadsAllowed,
};

function ModuleWorkers() {
  let asked = false;
  const options = { get type() { asked = true; return 'module'; } };
  try {
    const url = URL.createObjectURL(new Blob([''], { type: 'text/javascript' }));
    new Worker(url, options).terminate();
    URL.revokeObjectURL(url);
  } catch {
    // A browser that reads the option and still refuses is one without them too.
    return false;
  }
  return asked;
}

class StartError extends Error {}

function ShowWhy(why) {
  const box = document.getElementById('startError');
  box.querySelector('#startErrorWhy').textContent = why;
  box.hidden = false;
  document.body.dataset.failed = 'true';
}

async function Start() {
  if (typeof WebAssembly !== 'object' || typeof WebAssembly.validate !== 'function') {
    throw new StartError('このブラウザでは WebAssembly が使えないため、Tessaly を動かせません。');
  }
  if (!ModuleWorkers()) {
    throw new StartError('このブラウザはモジュール形式の Web Worker に対応していないため、Tessaly を動かせません。');
  }
  const modules = await (await fetch(new URL('./modules.json', import.meta.url))).json();
  const runs = ({ needs }) => needs.every((need) => features[need]());
  // The page's own instance reads the fields and never steps: threads would
  // only cost it their start. The worker steps with the best of all.
  const chosen = modules.find((m) => !m.needs.includes('threads') && runs(m));
  if (!chosen) throw new StartError('このブラウザで動く Tessaly のモジュールがありません。');
  const stepping = modules.find(runs);
  page.simd = chosen.needs.includes('simd');
  page.module = new URL(chosen.file, import.meta.url).href;
  page.stepModule = new URL(stepping.file, import.meta.url).href;
  page.threads = stepping.needs.includes('threads') ? StepThreads() : 0;
  // The module downloads and compiles while the page's scripts load; main.js
  // takes it, and whatever failed throws there.
  page.starting = import(page.module).then(({ default: createTessaly }) => createTessaly());
  page.starting.catch(() => {});
  await import('./main.js');
}

try {
  await Start();
} catch (error) {
  // The browser's own words stay in the list for tests; the page says in
  // Japanese what failed and what to do, since the module, whose texts the
  // page shows elsewhere, may be what failed to load.
  page.errors.push(Describe(error));
  ShowWhy(error instanceof StartError ? error.message
    : 'Tessaly を起動できませんでした。ページを再読み込みしてください。直らないときは、別のブラウザで開いてください。');
}
