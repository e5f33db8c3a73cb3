// The page's side of the worker that steps (worker.js): starts it, posts it
// jobs, hands what it says to the run loop, and ends it when told to. It
// decides nothing: when to start, replace, abandon or give up on a worker is
// the run loop's (tessaly_loop_stepper, in the module).
import { StepControl } from './threads.js';

const kSpares = 1;

export class Stepper {
  // `module`: the module the worker loads; `threads`: how many threads it
  // steps on (0: one worker without threads). `on` receives what happens:
  // starting(), heard(), started(), failed(), attached(), finished(message).
  constructor(module, threads, on, page) {
    this.module = module;
    this.control = new StepControl(threads);
    this.on = on;
    this.page = page;
    this.worker = null;
    this.spares = [];  // without threads: workers loaded and waiting
  }

  get threads() { return this.control.threads; }

  busyThreads() { return this.control.BusyThreads(); }

  // Starts a worker, ending the one before.
  start() {
    this.worker?.terminate();
    this.become(this.spawn());
  }

  // A worker told to load the module; what it says goes to the page only
  // once it is the one that steps (`become`).
  spawn() {
    const worker = new Worker(new URL('./worker.js', import.meta.url), { type: 'module' });
    worker.said = { started: false, failed: false };
    worker.onmessage = (event) => {
      const data = event.data;
      if (data.started) worker.said.started = true;
      if (data.failed !== undefined) worker.said.failed = true;
      if (worker === this.worker) this.heard(data);
    };
    worker.onerror = (event) => {
      worker.said.failed = true;
      if (worker !== this.worker) return;
      this.page.errors.push(`worker: ${event.message ?? 'failed to start'}`);
      this.on.failed();
    };
    worker.postMessage({ module: this.module, threads: this.control.threads, generation: this.control.generation });
    return worker;
  }

  // `worker` steps from now on; the run loop hears of its start, and of
  // what it has said already, if anything.
  become(worker) {
    this.worker = worker;
    this.page.workerStarted = worker.said.started;
    this.on.starting();
    if (worker.said.failed) this.on.failed();
    else if (worker.said.started) this.started();
  }

  heard(data) {
    if (data.uncaught !== undefined) {
      this.page.errors.push(`worker: ${data.uncaught}`);
    } else if (data.starting) {
      this.on.heard();
    } else if (data.failed !== undefined) {
      this.page.errors.push(`worker: ${data.failed}`);
      this.on.failed();
    } else if (data.started) {
      this.started();
    } else if (data.shared) {
      this.control.Attach(data.shared);
      this.on.attached();
    } else {
      this.on.finished(data);
    }
  }

  started() {
    this.page.workerStarted = true;
    this.on.started();
    // Without threads a step can only be abandoned by ending its worker:
    // another waits, loaded, to take over at once.
    if (this.control.generation) return;
    this.spares = this.spares.filter((spare) => !spare.said.failed);
    while (this.spares.length < kSpares) this.spares.push(this.spawn());
  }

  // Hands the worker a job of `generation`: the job's numbers and the state
  // to run it on (transferred).
  post(generation, job, pos, vel) {
    if (this.control.generation) Atomics.store(this.control.generation, 0, generation);
    this.worker.postMessage({ generation, job, pos, vel }, [job.buffer, pos.buffer, vel.buffer]);
  }

  // The job in flight is abandoned, the loop now at `generation`: with
  // threads its flag stops it at the next tile on every thread; a worker
  // without threads cannot be reached while it steps, and is ended and
  // replaced.
  abandon(generation) {
    if (this.control.generation) {
      this.control.Abandon(generation, true);
      return;
    }
    this.page.workerRestarts += 1;
    this.worker.terminate();
    const ready = this.spares.findIndex((spare) => spare.said.started);
    const [spare] = this.spares.splice(ready >= 0 ? ready : 0, 1);
    this.become(spare && !spare.said.failed ? spare : this.spawn());
  }

  replace() {
    this.page.workerRestarts += 1;
    this.start();
  }
}
