// Keeps the numbers of a run while the observation panel is shown: the row
// that the batch run's --thermo writes, at every step that is a multiple of
// 10, worked out in the worker beside the step by the batch run's own writer
// (tessaly_thermo_row); and saves them, or the state on the picture as one
// frame of the batch run's --xyz, as files named after the run's seed and step.

export const kRecordEvery = 10;
export const kMaxRows = 100000;

// Hands `text` to the browser as a download named `name`. The last file saved
// is kept in `saved` for the page's tests.
export function Download(name, text, saved) {
  const blob = new Blob([text], { type: name.endsWith('.csv') ? 'text/csv' : 'chemical/x-xyz' });
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  if (saved) saved.push({ name, text });
}

export class Recorder {
  // `header` is the batch run's header line; `note` the element that tells
  // how many rows are kept.
  constructor(header, note) {
    this.header = header;
    this.note = note;
    this.Reset();
  }

  // A new run: nothing recorded, nothing asked yet.
  Reset() {
    this.rows = [];
    this.lastStep = -1;
    this.full = false;
    this.Tell();
  }

  // Whether the state after `steps` steps needs its row: the view shows it,
  // the step is a multiple of 10 and not yet recorded, and there is room.
  Wanted(steps, shown) {
    return shown && !this.full && steps % kRecordEvery === 0 && steps > this.lastStep;
  }

  // The worker's answer: the row of the state after `steps` steps ('' where
  // the batch run would fail, which is kept as no row).
  Add(steps, row) {
    if (!row || steps <= this.lastStep || this.full) return;
    this.rows.push(row);
    this.lastStep = steps;
    if (this.rows.length >= kMaxRows) this.full = true;
    this.Tell();
  }

  Csv() { return this.header + this.rows.join(''); }

  Tell() {
    if (!this.note) return;
    const n = this.rows.length.toLocaleString('en-US');
    this.note.textContent = this.full
      ? `記録は ${kMaxRows.toLocaleString('en-US')} 行でいっぱいになり、止まりました。CSV を保存すると、ここまでの行が書かれます。`
      : `${kRecordEvery} ステップごとに記録した行: ${n}`;
    this.note.classList.toggle('full', this.full);
  }
}

// The frame of one state as the batch run writes it, worked out by a worker
// of its own so that its pass over the pairs never holds up the page.
export function XyzFrameOf(state, moduleUrl) {
  return new Promise((resolve, reject) => {
    const worker = new Worker(new URL('./save_worker.js', import.meta.url), { type: 'module' });
    worker.onmessage = (event) => { worker.terminate(); resolve(event.data); };
    worker.onerror = (event) => { worker.terminate(); reject(new Error(event.message || 'save worker failed')); };
    const pos = state.pos.slice();
    const vel = state.vel.slice();
    worker.postMessage({ moduleUrl, count: state.count, timeStep: state.timeStep, steps: state.steps, pos, vel },
      [pos.buffer, vel.buffer]);
  });
}

// The panel's two saves. `run()` gives the current run's seed (decimal text)
// and the state on the picture; `report(message)` shows the error dialog;
// `saved` keeps the files saved, for the page's tests.
export function SetUpSaving(recorder, run, moduleUrl, report, saved) {
  const csvButton = document.getElementById('csvButton');
  const xyzButton = document.getElementById('xyzButton');
  csvButton.addEventListener('click', () => {
    if (recorder.rows.length === 0) return;
    Download(`tessaly-${run().seed}-${recorder.lastStep}.csv`, recorder.Csv(), saved);
  });
  xyzButton.addEventListener('click', async () => {
    const { seed, shown } = run();
    if (!shown) return;
    xyzButton.disabled = true;
    try {
      const frame = await XyzFrameOf(shown, moduleUrl);
      if (!frame) throw new Error('the time overflows');
      Download(`tessaly-${seed}-${shown.steps}.xyz`, frame, saved);
    } catch (error) {
      report(`XYZ を保存できませんでした。\n${error.message}`);
    } finally {
      xyzButton.disabled = false;
    }
  });
  // Called when a run starts or a row or picture arrives.
  return () => {
    csvButton.disabled = recorder.rows.length === 0;
    xyzButton.disabled = !run().shown;
  };
}
