// The steps on every core, where the browser allows it. The module with
// threads needs memory shared between threads (SharedArrayBuffer), which a
// browser gives a page only once it is cross-origin isolated: the service
// worker adds the two headers that ask for it to every response, so the page
// is isolated from the first reload after it takes control. Elsewhere the
// steps run on one worker, as they always have.

// Whether the worker may step on threads. WebKitGTK reports itself isolated
// and still has no SharedArrayBuffer, so both are asked.
export function ThreadsAllowed() {
  return globalThis.crossOriginIsolated === true && typeof SharedArrayBuffer === 'function' &&
    (navigator.hardwareConcurrency ?? 1) > 1;
}

// How many threads step: every core the browser names, up to 8.
export const StepThreads = () => Math.min(8, navigator.hardwareConcurrency);

// Reloads the page once, right after its service worker first takes control
// and before `started()` (実行 was pressed), so that it is isolated from
// then on. Never more than once a visit: an engine that stays unisolated
// must not reload again and again. `settled()` is called once it is sure
// that this page stays: isolated already, or no reload to come.
export function ReloadOnceIsolated(registered, started, settled) {
  if (globalThis.crossOriginIsolated || navigator.serviceWorker?.controller) {
    settled();
    return;
  }
  const kKey = 'tessaly-reloaded-for-isolation';
  navigator.serviceWorker.addEventListener('controllerchange', () => {
    try {
      if (started() || sessionStorage.getItem(kKey)) {
        settled();
        return;
      }
      sessionStorage.setItem(kKey, '1');
    } catch {
      settled();
      return;  // no storage: no promise of once
    }
    location.reload();
  });
  registered.catch(settled);  // no service worker: nothing will reload
}

// The page's side of a worker that steps on threads. The generation the
// page is at lives in memory the worker shares, so that the worker skips a
// step the page abandoned before it began; the stop flag and the count of
// threads at work live in the module's own memory, which the worker hands
// over once the module has started.
export class StepControl {
  constructor(threads) {
    this.threads = threads;  // 0: one worker, without threads
    this.generation = threads ? new Int32Array(new SharedArrayBuffer(4)) : null;
    this.module = null;
  }

  // What the worker hands over: { memory, stop, atWork, threads }.
  Attach(shared) {
    this.module = { bytes: new Uint8Array(shared.memory), ints: new Int32Array(shared.memory), ...shared };
    this.threads = shared.threads;
  }

  // The page moved on to `generation`: the step in flight, if any, stops at
  // its next tile, on every thread.
  Abandon(generation, inFlight) {
    Atomics.store(this.generation, 0, generation);
    if (inFlight && this.module) Atomics.store(this.module.bytes, this.module.stop, 1);
  }

  // The worker was ended, its threads with it: nothing of it is read again
  // until the next one hands over its module.
  Detach() {
    this.module = null;
  }

  // Threads working out forces right now.
  BusyThreads() {
    return this.module ? Atomics.load(this.module.ints, this.module.atWork / 4) : 0;
  }
}
