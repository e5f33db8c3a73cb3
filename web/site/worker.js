// The stepper: runs one job at a time on the state the page posts, with the
// module's tessaly_run_job (a step, and what the observation panel asks of
// the new state, one pass over the pairs at most), and posts back the answer
// and the state. It keeps nothing between jobs that the page needs: the
// page's run loop decides everything, and a replaced worker loses nothing.

// Uncaught errors go to the page, which keeps them (window.tessalyPage.errors).
const describe = (error) => (error instanceof Error ? `${error.name}: ${error.message}` : String(error));
addEventListener('error', (event) => postMessage({ uncaught: describe(event.error ?? event.message) }));
addEventListener('unhandledrejection', (event) => postMessage({ uncaught: describe(event.reason) }));

let ready = null;  // the module, once the page has named it
const kAliveMs = 250;
let control = null;  // with threads: the generation the page is at (threads.js)

// Starts the module's helper threads one at a time, each once the one before
// has loaded: Firefox, asked for several workers at once from a worker, now
// and then never answers. Emscripten offers no documented call for this, so
// its thread pool's own members are used here, and here alone; should they
// change, this throws, and the page reports that the stepper did not start.
async function startHelpers(tessaly, threads) {
  const { PThread } = tessaly;
  if (typeof PThread?.allocateUnusedWorker !== 'function' || typeof PThread.loadWasmModuleToWorker !== 'function' ||
    !Array.isArray(PThread.unusedWorkers)) {
    throw new Error('emscripten の PThread が変わったため、計算のスレッドを起動できません');
  }
  while (PThread.unusedWorkers.length < threads - 1) {
    PThread.allocateUnusedWorker();
    const helper = PThread.unusedWorkers[PThread.unusedWorkers.length - 1];
    await new Promise((loaded) => PThread.loadWasmModuleToWorker(helper, loaded));
  }
}

// The module the page names; with `threads`, the module with threads, whose
// shared memory the page then reaches to stop a step and count the threads.
async function load({ module, threads, generation }) {
  const { default: createTessaly } = await import(module);
  if (!threads) return createTessaly();
  const tessaly = await createTessaly({ threads: Math.min(threads, 2) });
  await startHelpers(tessaly, threads);
  control = generation;
  postMessage({ shared: { memory: tessaly.HEAPU8.buffer, stop: tessaly._tessaly_stop_flag(),
    atWork: tessaly._tessaly_threads_at_work(), threads: tessaly._tessaly_use_threads(threads) } });
  return tessaly;
}

onmessage = async (event) => {
  if (event.data.module) {
    ready = load(event.data);
    // While the module and its threads start, the worker says every so often
    // that it is alive; the page's run loop replaces a worker that falls
    // silent. Once it has started, nothing of it is loading any more.
    const alive = setInterval(() => postMessage({ starting: true }), kAliveMs);
    ready.finally(() => clearInterval(alive))
      .then(() => postMessage({ started: true }), (error) => postMessage({ failed: describe(error) }));
    return;
  }
  const tessaly = await ready;
  const { generation, job, pos, vel } = event.data;
  if (control) {
    // The flag of a step the page abandoned is cleared before the page's
    // generation is read: a step abandoned after that read finds it set.
    Atomics.store(tessaly.HEAPU8, tessaly._tessaly_stop_flag(), 0);
    if (Atomics.load(control, 0) !== generation) return;
  }
  tessaly.HEAPF64.set(job, tessaly._tessaly_job_buffer() / 8);
  let answer;
  let next = { pos: new Float64Array(0), vel: new Float64Array(0) };
  if (tessaly._tessaly_job_prepare()) {
    tessaly.HEAPF64.set(pos, tessaly._tessaly_positions() / 8);
    tessaly.HEAPF64.set(vel, tessaly._tessaly_velocities() / 8);
    const at = tessaly._tessaly_run_job() / 8;
    answer = tessaly.HEAPF64.slice(at, at + tessaly._tessaly_job_answer_numbers());
    const state = (ptr) => tessaly.HEAPF64.slice(ptr / 8, ptr / 8 + pos.length);
    next = { pos: state(tessaly._tessaly_positions()), vel: state(tessaly._tessaly_velocities()) };
  } else {
    // The tables did not fit: the answer is the error.
    const at = tessaly._tessaly_job_answer() / 8;
    answer = tessaly.HEAPF64.slice(at, at + tessaly._tessaly_job_answer_numbers());
  }
  postMessage({ answer, ...next }, [answer.buffer, next.pos.buffer, next.vel.buffer]);
};
