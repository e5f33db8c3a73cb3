// The page: the window's controls, the picture, the panel and the worker
// that steps, wired to the run loop in the compiled module. The loop decides
// what happens (run/run_loop.h): this file hands it each event with the time
// it happened and carries out the actions it answers with. The fields' rules
// and every message come from the module too.
// start.js has chosen the module (window.tessalyPage.module), started it
// (tessalyPage.starting) and loads this file; whatever throws here, it shows
// in the page.
import { Panel } from './panel.js';
import { Picture } from './picture.js';
import { ReadAddress } from './address.js';
import { Stepper } from './stepper.js';
import { ReloadOnceIsolated } from './threads.js';

const $ = (id) => document.getElementById(id);
const page = window.tessalyPage;
const tessaly = await page.starting;
const utf8 = (ptr) => tessaly.UTF8ToString(ptr);
const kNoError = -1;

// Sets a text the page may already show only where it differs: a text set
// anew, even to itself, is painted anew, and would count as the page's
// largest paint once more.
function setText(element, key, value) {
  if (element[key] !== value) element[key] = value;
}

// The fields in the module's order: 分子の数, 時間刻み, タイマー.
const fields = ['count', 'timeStep', 'period'].map((name, k) => {
  const label = $(`${name}Label`);
  const input = $(`${name}Field`);
  setText(label, 'textContent', utf8(tessaly._tessaly_field_text(k, 0)));
  setText(input, 'value', utf8(tessaly._tessaly_field_text(k, 1)));
  input.title = utf8(tessaly._tessaly_field_text(k, 2));
  label.title = utf8(tessaly._tessaly_field_text(k, 3));
  return input;
});

const text = (which) => utf8(tessaly._tessaly_text(which));
// Whether 実行 has placed a run, and the seed it was placed from, in decimal.
const hasRun = () => tessaly._tessaly_has_run() === 1;
const runSeed = () => utf8(tessaly._tessaly_seed_text());
$('picture').setAttribute('aria-label', text(0));
$('picture').title = text(1);
$('runButton').title = text(2);
$('stopButton').title = text(3);

let interval = null;  // the ticks
let wakeTimer = null;
let wakeAt = NaN;     // when the loop is to be woken
let pressRun = false; // ?run: 実行 is pressed once the page is ready
let runPressed = false;  // 実行 was pressed, and the page may no longer reload

// The state on the picture, as the module lays it out for drawing.
const picture = new Picture($('picture'), () => {
  if (!hasRun()) return null;
  const at = tessaly._tessaly_picture() / 8;
  const count = tessaly._tessaly_count();
  return { count, xy: tessaly.HEAPF64.subarray(at, at + 2 * count) };
});

const errorBox = $('errorBox');
function report(message) {
  $('errorMessage').textContent = message;
  if (!errorBox.open) errorBox.showModal();
  page.reports.push(message);
}

const panel = new Panel($('panel'), $('panelButton'), (k) => tessaly._tessaly_observation_layout(k));

// The state on the picture as the module keeps it, for saving and for tests.
function pictureState() {
  if (!hasRun()) return null;
  const n = tessaly._tessaly_state_length();
  const copy = (ptr) => tessaly.HEAPF64.slice(ptr / 8, ptr / 8 + n);
  return { count: tessaly._tessaly_count(), timeStep: tessaly._tessaly_time_step(),
    steps: tessaly._tessaly_picture_steps(), pos: copy(tessaly._tessaly_picture_positions()),
    vel: copy(tessaly._tessaly_picture_velocities()) };
}

// What only a press needs (the saves, 共有 and its QR code, 使い方) loads at
// the first press: a press before it has arrived waits for it, and one whose
// file cannot be loaded is said in the error dialog, and tried again at the
// next press.
function later(load) {
  let loading = null;
  return () => (loading ??= load().catch((error) => {
    loading = null;
    throw error;
  }));
}
async function pressed(load, use) {
  let part;
  try {
    part = await load();
  } catch {
    report(text(5));
    return;
  }
  await use(part);
}

// 記録: the note and the buttons follow every change of the rows or of the
// picture; what saves (saving.js) loads at the first press of either.
const loadSaving = later(() => import('./saving.js'));
const saving = {
  csvButton: $('csvButton'),
  xyzButton: $('xyzButton'),
  note: $('recordNote'),
  busy: false,  // a frame is being written
  update() {
    setText(this.note, 'textContent', utf8(tessaly._tessaly_recording_note()));
    this.note.classList.toggle('full', tessaly._tessaly_rows_full() === 1);
    this.csvButton.disabled = tessaly._tessaly_rows() === 0;
    this.xyzButton.disabled = this.busy || !hasRun();
  },
};
saving.csvButton.addEventListener('click', () => {
  if (tessaly._tessaly_rows() === 0) return;
  // The rows as they are at the press.
  const args = [utf8(tessaly._tessaly_thermo_table()), runSeed(), tessaly._tessaly_last_row_step(), page];
  pressed(loadSaving, ({ SaveTable }) => SaveTable(...args));
});
saving.xyzButton.addEventListener('click', async () => {
  const state = pictureState();
  if (!state || saving.busy) return;
  const seed = runSeed();
  saving.busy = true;
  saving.update();
  // The saving worker is given the time and the starts the stepping one is.
  const patience = { silenceMs: tessaly._tessaly_silence_limit_ms(), attempts: tessaly._tessaly_save_attempts() };
  try {
    await pressed(loadSaving, ({ SaveFrame }) => SaveFrame({ moduleUrl: new URL(page.module, location.href).href,
      ...state }, seed, patience, page));
  } catch (reason) {
    report(utf8(tessaly._tessaly_save_failed(0, reason)));
  } finally {
    saving.busy = false;
    saving.update();
  }
});

// ----- The run loop's actions -------------------------------------------

const kTicksStart = 1;
const kTicksStop = 2;

// Carries out what the loop answered (the numbers tessaly_loop_* return).
function act(ptr) {
  const a = tessaly.HEAPF64.slice(ptr / 8, ptr / 8 + 14);
  const [abandon, replace, take, draw, start, figures, rows, ticks, period, busy, wake, error,
    generation, jobGeneration] = a;
  // First: ending a worker starts another, whose start the loop is told of
  // at once, and whose wake is then the newer one. A wake already armed for
  // the same time stays armed: the ticks come as often, and would put it off
  // for ever.
  if (wake !== wakeAt && !(Number.isNaN(wake) && Number.isNaN(wakeAt))) {
    clearTimeout(wakeTimer);
    wakeAt = wake;
    if (!Number.isNaN(wake)) {
      wakeTimer = setTimeout(() => {
        wakeAt = NaN;
        act(tessaly._tessaly_loop_wake(performance.now()));
      }, Math.max(0, wake - performance.now()));
    }
  }
  if (abandon) stepper.abandon(generation);
  if (replace) stepper.replace();
  if (draw) {
    panel.runStarted();
    picture.draw();
  }
  // The next step starts before this one is drawn: the worker steps while
  // the page draws.
  if (start) postJob(jobGeneration);
  if (take) {
    page.ticks += 1;
    picture.draw();
  }
  if (figures) {
    const at = tessaly._tessaly_figures() / 8;
    const numbers = tessaly.HEAPF64.slice(at, at + figuresLength());
    const h = tessaly._tessaly_energy_history() / 8;
    const points = tessaly.HEAPF64.slice(h, h + 2 * tessaly._tessaly_energy_points());
    const history = [];
    for (let k = 0; k < points.length; k += 2) history.push([points[k], points[k + 1]]);
    panel.show(numbers, history);
  }
  if (rows || draw || take) saving.update();
  if (ticks === kTicksStart) {
    clearInterval(interval);
    // A period of 0 shows the arrangement and never ticks.
    interval = period > 0 ? setInterval(() => act(tessaly._tessaly_loop_tick(performance.now())), period) : null;
  } else if (ticks === kTicksStop) {
    clearInterval(interval);
    interval = null;
  }
  if (busy >= 0) $('picture').classList.toggle('busy', busy === 1);
  if (error >= 0) report(utf8(tessaly._tessaly_loop_message()));
}

// The length of tessaly_figures()' answer.
function figuresLength() {
  const part = (k) => tessaly._tessaly_observation_layout(k);
  return part(0) + part(1) + part(3) + part(4);
}

function postJob(generation) {
  const job = tessaly._tessaly_loop_job() / 8;
  const n = tessaly._tessaly_state_length();
  const copy = (ptr, length) => tessaly.HEAPF64.slice(ptr / 8, ptr / 8 + length);
  stepper.post(generation, tessaly.HEAPF64.slice(job, job + tessaly._tessaly_job_numbers()),
    copy(tessaly._tessaly_positions(), n), copy(tessaly._tessaly_velocities(), n));
}

// ----- The worker that steps --------------------------------------------

const now = () => performance.now();
const stepper = new Stepper(page.stepModule, page.threads, {
  starting: () => act(tessaly._tessaly_loop_stepper(now(), 0)),
  heard: () => act(tessaly._tessaly_loop_stepper(now(), 1)),
  started: () => act(tessaly._tessaly_loop_stepper(now(), 2)),
  failed: () => act(tessaly._tessaly_loop_stepper(now(), 3)),
  attached: () => showCores(),
  finished({ answer, pos, vel }) {
    tessaly.HEAPF64.set(answer, tessaly._tessaly_loop_answer() / 8);
    // The state of the record's count only: an older run's is dropped by the loop.
    if (pos.length === tessaly._tessaly_state_length()) {
      const staged = tessaly._tessaly_loop_staged() / 8;
      tessaly.HEAPF64.set(pos, staged);
      tessaly.HEAPF64.set(vel, staged + pos.length);
    }
    act(tessaly._tessaly_loop_finished(now(), answer.length));
  },
}, page);

// The cores that step, in the panel's numbers; where one steps of several,
// its tooltip says why and what would give the others.
function showCores() {
  $('coresValue').textContent = String(page.cores);
  $('coresValue').title = page.cores === 1 && navigator.hardwareConcurrency > 1 ? text(4) : '';
}

// ----- The buttons ----------------------------------------------------------

function onRun() {
  runPressed = true;
  // All three fields are read and checked before anything changes.
  const texts = fields.flatMap((input) => [input.value, input.value.normalize('NFKC')]);
  if (tessaly.ccall('tessaly_read_fields', 'number', Array(6).fill('string'), texts) !== kNoError) {
    report(utf8(tessaly._tessaly_field_error_message()));
    return;
  }
  const placed = tessaly._tessaly_start();
  if (placed === 0) {  // the tables did not fit: the old run goes on
    report(utf8(tessaly._tessaly_field_error_message()));
    return;
  }
  if (placed !== kNoError) {  // placing failed: the run has stopped
    act(tessaly._tessaly_loop_stop(now()));
    report(utf8(tessaly._tessaly_placing_error_message()));
    return;
  }
  $('seedValue').textContent = runSeed();
  act(tessaly._tessaly_loop_run(now()));
}

// Read by the page's tests: what has been drawn and how many ticks ran.
Object.assign(page, {
  ticks: 0, reports: [], workerRestarts: 0, onSaved: null,
  shown: pictureState,
  running: () => interval !== null,
  refreshes: () => panel.refreshes,
  draw: () => picture.draw(),
  seed: runSeed,
  rows: () => tessaly._tessaly_rows(),
});
Object.defineProperty(page, 'drawn', { get: () => picture.drawn });
Object.defineProperty(page, 'cores', { get: () => Math.max(1, stepper.threads) });
Object.defineProperty(page, 'busyThreads', {
  get: () => (stepper.threads ? stepper.busyThreads() : tessaly._tessaly_loop_busy()),
});

stepper.start();
showCores();
$('runButton').addEventListener('click', onRun);
$('stopButton').addEventListener('click', () => act(tessaly._tessaly_loop_stop(now())));
addEventListener('resize', () => panel.draw());
panel.onToggle = (shown) => act(tessaly._tessaly_loop_observing(now(), shown ? 1 : 0));
picture.onSized = () => {
  document.body.dataset.ready = 'true';  // drawn at its size: the page is ready
  if (pressRun) {  // the address asked for 実行 once the page is ready
    pressRun = false;
    $('runButton').click();
  }
};
picture.observe();
function shareQuery() {
  const observe = panel.shown ? 1 : 0;
  const ran = utf8(tessaly._tessaly_share_query(observe));
  if (ran) return ran;
  const texts = fields.map((input) => input.value);
  return utf8(tessaly.ccall('tessaly_share_query_of_texts', 'number', ['string', 'string', 'string', 'number'],
    [...texts, observe]));
}
const loadShare = later(async () => new (await import('./share.js')).Share(shareQuery));
$('shareButton').addEventListener('click', () => pressed(loadShare, (share) => share.Open()));
const loadHelp = later(() => import('./help.js'));
$('helpButton').addEventListener('click',
  () => pressed(loadHelp, ({ ShowHelp }) => ShowHelp(() => utf8(tessaly._tessaly_help_html()))));
const asked = ReadAddress(location.search, fields,
  (seed) => tessaly.ccall('tessaly_use_seed', 'number', ['string'], [seed]) === 1, report);
if (asked.observe && !panel.shown) panel.toggle();
pressRun = asked.run;

// Read by the page's tests: the page stays, isolated or not (threads.js).
page.settled = false;
if ('serviceWorker' in navigator && location.protocol.startsWith('http')) {
  const registered = navigator.serviceWorker.register('sw.js');
  registered.catch(() => {});
  ReloadOnceIsolated(registered, () => runPressed, () => { page.settled = true; });
  TellOfNewerBuilds();
} else {
  page.settled = true;
}

// The page stays on its own build until it is reloaded. Once the service
// worker has installed a newer one, the page says so, and goes on.
function TellOfNewerBuilds() {
  const own = new URL('.', import.meta.url).href;
  navigator.serviceWorker.addEventListener('message', ({ data }) => {
    if (typeof data?.newest !== 'string' || new URL(data.newest, location.href).href === own) return;
    $('updateNotice').hidden = false;
  });
  navigator.serviceWorker.startMessages();
  // One installed before this page listened; the first service worker has
  // no controller to ask, and nothing newer to tell of.
  navigator.serviceWorker.controller?.postMessage({ asking: 'newest' });
  $('updateReload').addEventListener('click', () => location.reload());
  $('updateClose').addEventListener('click', () => { $('updateNotice').hidden = true; });
}
