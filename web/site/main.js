// The page: the window's controls, the picture, and the ticks. The rules -
// how the fields are read, in what order they are checked, every message -
// come from the compiled module (form/run_fields.h); the steps run in a
// worker, so that the page answers at once whatever the count.
// start.js has chosen the module (window.tessalyPage.module) and loads this
// file; whatever throws here, it shows in the page.
import { Panel } from './panel.js';
import { ReadAddress } from './address.js';
import { Recorder, SetUpSaving } from './record.js';
import { Share } from './share.js';
import { SetUpHelp } from './help.js';
import { ReloadOnceIsolated, StepControl } from './threads.js';

const $ = (id) => document.getElementById(id);
const page = window.tessalyPage;
const { default: createTessaly } = await import(page.module);
const tessaly = await createTessaly();
const utf8 = (ptr) => tessaly.UTF8ToString(ptr);
const kNoError = -1;
const kBusyAfterMs = 500;

// The fields in the module's order: 分子の数, 時間刻み, タイマー.
const fields = ['count', 'timeStep', 'period'].map((name, k) => {
  const label = $(`${name}Label`);
  const input = $(`${name}Field`);
  label.textContent = utf8(tessaly._tessaly_field_text(k, 0));
  input.value = utf8(tessaly._tessaly_field_text(k, 1));
  input.title = utf8(tessaly._tessaly_field_text(k, 2));
  label.title = utf8(tessaly._tessaly_field_text(k, 3));
  return input;
});

const picture = $('picture');
picture.setAttribute('aria-label', '分子の図');
picture.title = '10 × 10 の箱の中の分子を、白い縁の黒い円で表示します';
$('runButton').title = '入力した値で、新しい配置からシミュレーションを始めます';
$('stopButton').title = 'シミュレーションを止めます。図はそのまま残ります';

// ----- The picture ----------------------------------------------------------

const context = picture.getContext('2d');
let sprite = null;   // one disc, drawn once per size
let shown = null;    // the state on the picture
let pressRun = false;  // ?run: 実行 is pressed once the page is ready

// The picture has one pixel for every pixel of the screen it covers, at any
// pixel density: its size in device pixels comes from the browser where it
// says so, from the ratio elsewhere.
function Resize(entry) {
  const box = entry.devicePixelContentBoxSize?.[0];
  picture.width = box ? box.inlineSize : Math.round(entry.contentRect.width * devicePixelRatio);
  picture.height = box ? box.blockSize : Math.round(entry.contentRect.height * devicePixelRatio);
  // Discs of diameter 1 in world units across, a pixel's white rim.
  const radius = picture.width / 20;
  const rim = Math.max(1, picture.width / 277);
  const size = Math.ceil(2 * radius + 2 * rim);
  const canvas = document.createElement('canvas');  // older tablets have no OffscreenCanvas
  canvas.width = size;
  canvas.height = size;
  const disc = canvas.getContext('2d');
  disc.beginPath();
  disc.arc(size / 2, size / 2, radius, 0, 2 * Math.PI);
  disc.fillStyle = 'black';
  disc.fill();
  disc.lineWidth = rim;
  disc.strokeStyle = 'white';
  disc.stroke();
  // A bitmap is copied faster than a canvas (by far in WebKit); the canvas
  // serves until it is made, and where there are no bitmaps.
  sprite = canvas;
  window.createImageBitmap?.(canvas).then((bitmap) => {
    if (sprite === canvas) sprite = bitmap;
  }, () => {});
  Draw(shown);
  document.body.dataset.ready = 'true';  // drawn at its size: the page is ready
  if (pressRun) {  // the address asked for 実行 once the page is ready
    pressRun = false;
    $('runButton').click();
  }
}

function Draw(state) {
  shown = state;
  context.fillStyle = 'rgb(112, 128, 144)';
  context.fillRect(0, 0, picture.width, picture.height);
  if (!state || !sprite) return;  // Resize draws it once the picture has a size
  const sx = picture.width / 10;
  const sy = picture.height / 10;
  const half = sprite.width / 2;
  // At whole pixels, as the desktop stamps its discs: each disc is copied,
  // not resampled, which makes drawing three to four times cheaper.
  for (let i = 1; i <= state.count; ++i) {
    context.drawImage(sprite, Math.round(state.pos[2 * i] * sx - half), Math.round(state.pos[2 * i + 1] * sy - half));
  }
  page.drawn += 1;
}

// ----- Errors -----------------------------------------------------------

const errorBox = $('errorBox');
function Report(message) {
  $('errorMessage').textContent = message;
  if (!errorBox.open) errorBox.showModal();
  page.reports.push(message);
}

// ----- The run ----------------------------------------------------------

let state = null;      // the state the next tick starts from
let worker = null;
let busy = false;      // a step is in flight
let posted = false;    // whether it steps, or only observes
let pending = false;   // a tick fell due while it was
let generation = 0;    // steps of earlier generations are never shown
let interval = null;
let period = 0;
let busyTimer = null;
const panel = new Panel($('panel'), $('panelButton'), (k) => tessaly._tessaly_observation_layout(k));
const recorder = new Recorder(utf8(tessaly._tessaly_thermo_header()), $('recordNote'));
let runSeed = '';  // the seed of the current run, in decimal

// Read by the page's tests: what has been drawn and how many ticks ran.
Object.assign(page, { drawn: 0, ticks: 0, stepMs: 0, reports: [], shown: () => shown,
  running: () => interval !== null, refreshes: () => panel.refreshes, draw: (state) => Draw(state),
  seed: () => runSeed, rows: () => recorder.rows.length, saved: [] });

// The worker loads the module the page runs; its uncaught errors come back
// as messages (worker.js), or as an error event where it cannot even start.
function NewWorker() {
  page.workerStarted = false;
  worker = new Worker(new URL('./worker.js', import.meta.url), { type: 'module' });
  heard = performance.now();
  worker.onmessage = (event) => {
    heard = performance.now();
    if (event.data.uncaught !== undefined) page.errors.push(`worker: ${event.data.uncaught}`);
    else if (event.data.starting) return;
    else if (event.data.started) page.workerStarted = true;
    else if (event.data.shared) {
      control.Attach(event.data.shared);
      ShowCores();
    }
    else OnStepFinished(event);
  };
  worker.onerror = (event) => page.errors.push(`worker: ${event.message ?? 'failed to start'}`);
  worker.postMessage({ module: page.stepModule, threads: control.threads, generation: control.generation });
}

// Firefox can leave a worker blocked for good while it starts its threads,
// when workers of a page just left are still ending: such a worker stops
// saying that it is alive, and is replaced by a new one, a moment after it
// was ended, the step it was given handed to that one. After a few such,
// the wait grows, so that a browser where no worker ever starts is not flooded.
let heard = 0;  // when the worker last said anything
const kSilentMs = 2000;
const kQuickRestarts = 3;
const kEndedMs = 250;
page.workerRestarts = 0;
setInterval(() => {
  const patience = page.workerRestarts < kQuickRestarts ? kSilentMs : 8 * kSilentMs;
  if (page.workerStarted || performance.now() - heard < patience) return;
  const ended = worker;
  ended.terminate();  // what is posted to it meanwhile is posted again below
  heard = Infinity;
  page.workerRestarts += 1;
  setTimeout(() => {
    if (worker !== ended) return;  // replaced meanwhile (AbandonStep)
    NewWorker();
    if (busy) {
      ClearBusy();
      Post(posted);
    }
  }, kEndedMs);
}, 500);

// The cores that step, in the panel's numbers; where one steps of several,
// its tooltip says why and what would give the others.
const control = new StepControl(page.threads);
const kOneCoreWhy = 'このページはクロスオリジン分離されていないため、1 つのコアで計算します'
  + ' (https か localhost で開き直すと、すべてのコアを使います)';
function ShowCores() {
  $('coresValue').textContent = String(page.cores);
  $('coresValue').title = page.cores === 1 && navigator.hardwareConcurrency > 1 ? kOneCoreWhy : '';
}
Object.defineProperty(page, 'cores', { get: () => Math.max(1, control.threads) });
Object.defineProperty(page, 'busyThreads', {
  get: () => (control.threads ? control.BusyThreads() : busy ? 1 : 0),
});
let runPressed = false;  // 実行 was pressed, and the page may no longer reload

function ClearBusy() {
  clearTimeout(busyTimer);
  picture.classList.remove('busy');
}

function StopTimer() {
  clearInterval(interval);
  interval = null;
}

// Forgets the step in flight, so that nothing it does shows and no core stays
// busy with it: its threads stop at once (with threads), or its worker is
// ended (without).
function AbandonStep() {
  generation += 1;
  if (control.threads) {
    control.Abandon(generation, busy);
    busy = false;
  } else if (busy) {
    worker.terminate();
    NewWorker();
    busy = false;
  }
  pending = false;
  ClearBusy();
}

// Hands the worker the state to step from (or, with `step` false, only to
// observe), and what the observation panel asks of it.
function Post(step) {
  busy = true;
  posted = step;
  const pos = state.pos.slice();
  const vel = state.vel.slice();
  const steps = state.steps + (step ? 1 : 0);
  const asked = panel.Request(steps);
  const record = recorder.Wanted(steps, panel.shown) ? steps : null;
  worker.postMessage({ generation, count: state.count, timeStep: state.timeStep, pos, vel, step, record, ...asked },
    [pos.buffer, vel.buffer]);
  busyTimer = setTimeout(() => picture.classList.add('busy'), kBusyAfterMs);
}

function StartStep() {
  pending = false;
  Post(true);
}

// The panel shows the newest state at once when no step will bring it.
function ObserveNow() {
  if (state && !busy && panel.Due()) Post(false);
}

function OnTick() {
  // Ticks do not pile up behind a slow step: one is kept, the rest dropped.
  if (busy) {
    pending = true;
    return;
  }
  StartStep();
}

function OnStepFinished(event) {
  const { generation: of, error, pos, vel, stepMs, step, figures, waitMs, record, row } = event.data;
  if (of !== generation) return;
  busy = false;
  ClearBusy();
  if (row) {
    recorder.Add(record, row);
    UpdateSaving();
  }
  if (figures) panel.Show(figures, waitMs);
  if (!step) {
    if (pending && interval !== null) StartStep();
    return;
  }
  if (error !== kNoError) {
    // The last good picture stays; 実行 starts afresh.
    StopTimer();
    Report(utf8(tessaly._tessaly_tick_error_message(error)));
    return;
  }
  const from = state;  // drawn, as the window draws the state its tick started from
  state = { ...state, pos, vel, steps: state.steps + 1 };
  page.ticks += 1;
  page.stepMs += stepMs;
  // The next step starts before this one is drawn: the worker steps while
  // the page draws.
  if (pending && interval !== null) StartStep();
  Draw(from);
  UpdateSaving();
}

function OnRun() {
  runPressed = true;
  // All three fields are read and checked before anything changes.
  const texts = fields.flatMap((input) => [input.value, input.value.normalize('NFKC')]);
  const field = tessaly.ccall('tessaly_read_fields', 'number', Array(6).fill('string'), texts);
  if (field !== kNoError) {
    Report(utf8(tessaly._tessaly_field_error_message()));
    return;
  }
  const started = tessaly._tessaly_start();
  if (started !== kNoError && started < 1000) {
    Report(utf8(tessaly._tessaly_field_error_message()));  // the tables did not fit
    return;
  }
  AbandonStep();
  StopTimer();
  if (started !== kNoError) {
    Report(utf8(tessaly._tessaly_tick_error_message(started - 1000)));
    return;
  }
  const count = tessaly._tessaly_count();
  const at = (ptr) => tessaly.HEAPF64.slice(ptr / 8, ptr / 8 + 2 * (count + 1));
  state = {
    count,
    timeStep: tessaly._tessaly_settings_time_step(),
    pos: at(tessaly._tessaly_positions()),
    vel: at(tessaly._tessaly_velocities()),
    steps: 0,
  };
  runSeed = utf8(tessaly._tessaly_seed_text());
  $('seedValue').textContent = runSeed;
  recorder.Reset();
  Draw(state);
  UpdateSaving();
  panel.RunStarted();
  ObserveNow();
  period = tessaly._tessaly_settings_period();
  // A period of 0 shows the arrangement and never ticks.
  if (period > 0) interval = setInterval(OnTick, period);
}

function OnStop() {
  StopTimer();
  AbandonStep();
}

NewWorker();
ShowCores();
$('runButton').addEventListener('click', OnRun);
$('stopButton').addEventListener('click', OnStop);
addEventListener('resize', () => panel.Draw());
panel.onToggle = () => ObserveNow();
// Browsers that know no device-pixel box (WebKit) throw here; the content
// box and the pixel ratio stand in.
const resizer = new ResizeObserver(([entry]) => Resize(entry));
try {
  resizer.observe(picture, { box: 'device-pixel-content-box' });
} catch {
  resizer.observe(picture);
}
const UpdateSaving = SetUpSaving(recorder, () => ({ seed: runSeed, shown }),
  new URL(page.module, location.href).href, Report, page.saved);
new Share($('shareButton'), () => {
  const observe = panel.shown ? 1 : 0;
  const ran = utf8(tessaly._tessaly_share_query(observe));
  if (ran) return ran;
  const texts = fields.map((input) => input.value);
  return utf8(tessaly.ccall('tessaly_share_query_of_texts', 'number', ['string', 'string', 'string', 'number'],
    [...texts, observe]));
});
SetUpHelp($('helpButton'), () => utf8(tessaly._tessaly_help_html()));
const asked = ReadAddress(location.search, fields,
  (seed) => tessaly.ccall('tessaly_use_seed', 'number', ['string'], [seed]) === 1, Report);
if (asked.observe && !panel.shown) panel.Toggle();
pressRun = asked.run;

// Read by the page's tests: the page stays, isolated or not (threads.js).
page.settled = false;
if ('serviceWorker' in navigator && location.protocol.startsWith('http')) {
  const registered = navigator.serviceWorker.register('sw.js');
  registered.catch(() => {});
  ReloadOnceIsolated(registered, () => runPressed, () => { page.settled = true; });
} else {
  page.settled = true;
}
