// The panel's two saves: the rows the run loop keeps, as the batch run's
// --thermo table (CSV を保存), and the state on the picture as one frame of
// its --xyz (XYZ を保存), each named after the run's seed and step. Both are
// written by the module, the frame in a worker of its own (save_worker.js)
// so that its pass over the pairs never holds up the page.

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

const kAttempts = 3;  // starts of the saving worker before the page gives up
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

async function frameOf(state, silenceMs) {
  for (let attempt = 1; ; ++attempt) {
    try {
      return await frameOnce({ ...state, pos: state.pos.slice(), vel: state.vel.slice() }, silenceMs);
    } catch (reason) {
      if (reason !== kNotStarted || attempt >= kAttempts) throw reason;
    }
  }
}

// Sets up both buttons. `run` reads what the module holds: the seed, the
// table, the state on the picture; `report(message)` shows the error dialog.
export class Saving {
  constructor(tessaly, utf8, moduleUrl, run, report, page) {
    this.csvButton = document.getElementById('csvButton');
    this.xyzButton = document.getElementById('xyzButton');
    this.note = document.getElementById('recordNote');
    this.tessaly = tessaly;
    this.utf8 = utf8;
    this.saving = false;
    this.csvButton.addEventListener('click', () => {
      if (tessaly._tessaly_rows() === 0) return;
      download(`tessaly-${run.seed()}-${tessaly._tessaly_last_row_step()}.csv`,
        utf8(tessaly._tessaly_thermo_table()), page);
    });
    this.xyzButton.addEventListener('click', async () => {
      const state = run.picture();
      if (!state || this.saving) return;
      const seed = run.seed();
      this.saving = true;
      this.update();
      try {
        const frame = await frameOf({ moduleUrl, ...state }, tessaly._tessaly_silence_limit_ms());
        download(`tessaly-${seed}-${state.steps}.xyz`, frame, page);
      } catch (reason) {
        report(utf8(tessaly._tessaly_save_failed(0, typeof reason === 'number' ? reason : kNotStarted)));
      } finally {
        this.saving = false;
        this.update();
      }
    });
    this.hasRun = run.hasRun;
  }

  // The rows or the picture changed.
  update() {
    const rows = this.tessaly._tessaly_rows();
    this.note.textContent = this.utf8(this.tessaly._tessaly_recording_note());
    this.note.classList.toggle('full', this.tessaly._tessaly_rows_full() === 1);
    this.csvButton.disabled = rows === 0;
    this.xyzButton.disabled = this.saving || !this.hasRun();
  }
}
