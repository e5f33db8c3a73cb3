// Runs one tick's step at a time on the state the page hands over, and
// hands back the new state or the kind of arithmetic error. While the page
// shows its observation panel, the steps measure the walls' momentum and,
// when the page asks, the figures of the new state are worked out here too,
// beside the step, so that their pass over the pairs never holds up the page;
// so is the row of the batch run's --thermo table, when the page keeps it.

// Uncaught errors go to the page, which keeps them (window.tessalyPage.errors).
const Describe = (error) => (error instanceof Error ? `${error.name}: ${error.message}` : String(error));
addEventListener('error', (event) => postMessage({ uncaught: Describe(event.error ?? event.message) }));
addEventListener('unhandledrejection', (event) => postMessage({ uncaught: Describe(event.reason) }));

let ready = null;  // the module, once the page has named it
const kAliveMs = 250;
let size = null;
let control = null;  // with threads: the generation the page is at (threads.js)

// The module the page names; with `threads`, the module with threads, whose
// shared memory the page then reaches to stop a step and count the threads.
async function Load({ module, threads, generation }) {
  const { default: createTessaly } = await import(module);
  if (!threads) return createTessaly();
  // The module starts with one helper; the others are started one at a
  // time, each once the one before has loaded: Firefox, asked for several
  // workers at once from a worker, now and then never answers.
  const tessaly = await createTessaly({ threads: Math.min(threads, 2) });
  const { PThread } = tessaly;
  while (PThread.unusedWorkers.length < threads - 1) {
    PThread.allocateUnusedWorker();
    const helper = PThread.unusedWorkers[PThread.unusedWorkers.length - 1];
    await new Promise((loaded) => PThread.loadWasmModuleToWorker(helper, loaded));
  }
  control = generation;
  postMessage({ shared: { memory: tessaly.HEAPU8.buffer, stop: tessaly._tessaly_stop_flag(),
    atWork: tessaly._tessaly_threads_at_work(), threads: tessaly._tessaly_use_threads(threads) } });
  return tessaly;
}

onmessage = async (event) => {
  if (event.data.module) {
    ready = Load(event.data);
    // While the module and its threads start, the worker says every so often
    // that it is still alive: the page starts anew a worker that falls silent
    // (main.js). Once it has started, nothing of it is loading any more.
    const alive = setInterval(() => postMessage({ starting: true }), kAliveMs);
    ready.finally(() => clearInterval(alive))
      .then(() => postMessage({ started: true }), (error) => postMessage({ uncaught: Describe(error) }));
    return;
  }
  const tessaly = await ready;
  const { generation, count, timeStep, pos, vel, step, measure, forget, observe, record } = event.data;
  if (control) {
    // The flag of a step the page abandoned is cleared before the page's
    // generation is read: a step abandoned after that read finds it set.
    Atomics.store(tessaly.HEAPU8, tessaly._tessaly_stop_flag(), 0);
    if (Atomics.load(control, 0) !== generation) return;
  }
  if (!size || size.count !== count || !Object.is(size.timeStep, timeStep)) {
    tessaly._tessaly_resize(count, timeStep);
    size = { count, timeStep };
  }
  tessaly.HEAPF64.set(pos, tessaly._tessaly_positions() / 8);
  tessaly.HEAPF64.set(vel, tessaly._tessaly_velocities() / 8);
  if (forget) tessaly._tessaly_forget_walls();
  const started = performance.now();
  const error = step ? tessaly._tessaly_step(measure ? 1 : 0) : -1;
  const stepMs = performance.now() - started;
  // The row --thermo writes for this state, when the page keeps it.
  const row = record !== null && error === -1 ? tessaly.UTF8ToString(tessaly._tessaly_thermo_row(record)) : null;
  let figures = null;
  let waitMs = 0; // how long the panel waits before the next refresh
  if (observe !== null && error === -1) {
    const begun = performance.now();
    const at = tessaly._tessaly_observe(observe) / 8;
    figures = tessaly.HEAPF64.slice(at, at + Figures.length(tessaly));
    waitMs = tessaly._tessaly_refresh_interval_ms(performance.now() - begun);
  }
  const at = (ptr) => tessaly.HEAPF64.slice(ptr / 8, ptr / 8 + pos.length);
  const next = { generation, error, step, stepMs, figures, waitMs, record, row,
    pos: at(tessaly._tessaly_positions()), vel: at(tessaly._tessaly_velocities()) };
  postMessage(next, [next.pos.buffer, next.vel.buffer]);
};

// The length of tessaly_observe()'s answer.
const Figures = {
  length(tessaly) {
    const part = (k) => tessaly._tessaly_observation_layout(k);
    return part(0) + part(1) + part(3) + part(4);
  },
};
