// The panel's two saves: the rows the run loop keeps, as the batch run's
// --thermo table (CSV を保存), and the state on the picture as one frame of
// its --xyz (XYZ を保存), each named after the run's seed and step. Both are
// written by the module, the frame in a worker of its own (save_worker.js)
// so that its pass over the pairs never holds up the page. Loaded at the
// first press of either button; the buttons themselves are the page's.

// Hands `text` to the browser as a download named `name`. Nothing of it is
// kept once the download has started; a test may watch with page.onSaved.
function download(name, text, page) {
  const blob = new Blob([text], { type: name.endsWith('.csv') ? 'text/csv' : 'chemical/x-xyz' });
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  // Revoked at once, some browsers would cancel the download they just began.
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  page.onSaved?.(name, text);
}

const kNotStarted = 0;
const kSilent = 1;
const kTimeOverflows = 2;

// The frame of `state` ({ moduleUrl, count, timeStep, steps, pos, vel }),
// from a worker of its own; rejects with the reason's code.
function frameOnce(state, silenceMs) {
  return new Promise((resolve, reject) => {
    const worker = new Worker(new URL('./save_worker.js', import.meta.url), { type: 'module' });
    const end = (settle, value) => { clearTimeout(silent); worker.terminate(); settle(value); };
    const silent = setTimeout(() => end(reject, kSilent), silenceMs);
    worker.onmessage = ({ data }) => {
      if (data.failed !== undefined) end(reject, kNotStarted);
      else if (data.frame === '') end(reject, kTimeOverflows);
      else end(resolve, data.frame);
    };
    worker.onerror = (event) => { event.preventDefault(); end(reject, kNotStarted); };
    const { pos, vel, ...rest } = state;
    worker.postMessage({ ...rest, pos, vel }, [pos.buffer, vel.buffer]);
  });
}

async function frameOf(state, silenceMs, attempts) {
  for (let attempt = 1; ; ++attempt) {
    try {
      return await frameOnce({ ...state, pos: state.pos.slice(), vel: state.vel.slice() }, silenceMs);
    } catch (reason) {
      if (reason !== kNotStarted || attempt >= attempts) throw reason;
    }
  }
}

// Hands the browser the table `text` of the rows up to `step`.
export function SaveTable(text, seed, step, page) {
  download(`tessaly-${seed}-${step}.csv`, text, page);
}

// Hands the browser the frame of `state` ({ moduleUrl, count, timeStep,
// steps, pos, vel }), from a worker that may stay silent `silenceMs` and is
// started up to `attempts` times; rejects with the reason's code where it
// cannot (tessaly_save_failed's `reason`).
export async function SaveFrame(state, seed, { silenceMs, attempts }, page) {
  let frame;
  try {
    frame = await frameOf(state, silenceMs, attempts);
  } catch (reason) {
    throw typeof reason === 'number' ? reason : kNotStarted;
  }
  download(`tessaly-${seed}-${state.steps}.xyz`, frame, page);
}
