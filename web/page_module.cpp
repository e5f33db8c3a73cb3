// What the page and its worker call in the model and the field rules. Plain C
// functions over one record per instance: the page's instance places the
// particles and reads the fields, the worker's steps. Texts are handed out
// as UTF-8, valid until the next call that hands one out.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "batch/option_values.h"
#include "form/help_text.h"
#include "form/window_texts.h"
#include "form/run_fields.h"
#include "form/shared_run.h"
#include "model/forces.h"
#include "model/observables.h"
#include "model/placement.h"
#include "model/run_record.h"
#include "model/simulation.h"
#include "model/stop_flag.h"
#include "model/thermo_writer.h"
#include "model/time_step.h"
#include "model/xyz_writer.h"
#include "platform/errors.h"
#include "platform/random.h"
#include "run/run_loop.h"
#include "web/job_buffer.h"

namespace {

using namespace tessaly;

Simulation g_sim;
std::unique_ptr<RandomSource> g_random = std::make_unique<ClockRandom>();
std::string g_text;
RunSettings g_settings;
// The settings and the seed of the last run that started, for 共有.
std::optional<RunSettings> g_run;
std::optional<std::uint64_t> g_run_seed;
FieldError g_error{Field::kCount, ErrorKind::kOverflow};
WallMomentumHistory g_walls;
StopFlag g_stop{false};
std::vector<double> g_figures;

constexpr int kNoError = -1;

Field FieldOf(int field) {
  return field == 0 ? Field::kCount : field == 1 ? Field::kTimeStep : Field::kPeriod;
}

const char* Hand(std::string text) {
  g_text = std::move(text);
  return g_text.c_str();
}

// The figures as the panel reads them (tessaly_observe, tessaly_figures).
std::vector<double> PanelNumbers(const ObservedFigures& f) {
  std::vector<double> numbers{static_cast<double>(f.steps),
                              f.time,
                              static_cast<double>(f.count),
                              f.kinetic,
                              f.potential,
                              f.temperature,
                              f.kinetic_per_particle,
                              f.potential_per_particle,
                              f.kinetic_per_particle + f.potential_per_particle,
                              f.wall_pressure,
                              f.pair_top,
                              f.pair_near_peak,
                              f.speed_range,
                              f.density_top,
                              static_cast<double>(f.speed_curve.size())};
  numbers.insert(numbers.end(), f.pair_distribution.begin(), f.pair_distribution.end());
  numbers.insert(numbers.end(), f.speed_density.begin(), f.speed_density.end());
  numbers.resize(numbers.size() + kSpeedCurvePoints + 1, 0.0);
  std::copy(f.speed_curve.begin(), f.speed_curve.end(), numbers.end() - (kSpeedCurvePoints + 1));
  return numbers;
}

}  // namespace

extern "C" {

// What is shown of field 0 (分子の数), 1 (時間刻み) or 2 (タイマー): 0 its
// caption, 1 its text at start, 2 its tooltip, 3 its label's description.
EMSCRIPTEN_KEEPALIVE const char* tessaly_field_text(int field, int what) {
  const FieldLook& look = LookOf(FieldOf(field));
  switch (what) {
    case 0:
      return Hand(std::string(look.caption));
    case 1:
      return Hand(std::string(look.initial_text));
    case 2:
      return Hand(FieldTooltip(FieldOf(field)));
    default:
      return Hand(std::string(look.description));
  }
}

// Reads the three fields, each as typed and in compatibility form. Returns
// kNoError and keeps the settings, or the index of the field reported; its
// message is then tessaly_field_error_message().
EMSCRIPTEN_KEEPALIVE int tessaly_read_fields(const char* count, const char* count_nfkc,
                                             const char* time_step, const char* time_step_nfkc,
                                             const char* period, const char* period_nfkc) {
  const auto read =
      ReadRunFields({{count, count_nfkc}, {time_step, time_step_nfkc}, {period, period_nfkc}});
  if (const auto* error = std::get_if<FieldError>(&read)) {
    g_error = *error;
    return static_cast<int>(error->field);
  }
  g_settings = std::get<RunSettings>(read);
  return kNoError;
}

EMSCRIPTEN_KEEPALIVE int tessaly_settings_count() { return g_settings.count; }
EMSCRIPTEN_KEEPALIVE double tessaly_settings_time_step() { return g_settings.time_step; }
EMSCRIPTEN_KEEPALIVE int tessaly_settings_period() { return g_settings.period; }
EMSCRIPTEN_KEEPALIVE int tessaly_field_error_kind() { return static_cast<int>(g_error.kind); }

EMSCRIPTEN_KEEPALIVE const char* tessaly_field_error_message() {
  return Hand(FieldErrorMessage(g_error));
}

EMSCRIPTEN_KEEPALIVE const char* tessaly_tick_error_message(int kind) {
  return Hand(TickErrorMessage(static_cast<ErrorKind>(kind)));
}

// Every later placement starts from `seed`, as the desktop's --seed does.
// Returns 0 when the text is no seed (a whole number from 0 to 2^64 - 1).
EMSCRIPTEN_KEEPALIVE int tessaly_use_seed(const char* text) {
  const std::optional<std::uint64_t> seed = ReadWholeNumber(text);
  if (!seed) return 0;
  g_random = std::make_unique<FixedSeedRandom>(*seed);
  return 1;
}

ErrorKind g_placing_error = ErrorKind::kOverflow;

// A new run of the settings last read: fresh tables, the particles placed.
// Returns kNoError; 0 when the tables did not fit (the record is as it was,
// the message is tessaly_field_error_message()); 1 when placing failed (the
// message is tessaly_placing_error_message()).
EMSCRIPTEN_KEEPALIVE int tessaly_start() {
  try {
    InitSimulation(g_sim, g_settings.count, g_settings.time_step);
  } catch (const RuntimeError& error) {
    g_error = {Field::kCount, error.kind()};
    return 0;
  }
  try {
    PlaceParticles(g_sim, *g_random);
  } catch (const RuntimeError& error) {
    g_placing_error = error.kind();
    return 1;
  }
  g_run = g_settings;
  g_run_seed = g_random->Seed();
  return kNoError;
}

EMSCRIPTEN_KEEPALIVE const char* tessaly_placing_error_message() {
  return Hand(TickErrorMessage(g_placing_error));
}

// Whether a run has been placed.
EMSCRIPTEN_KEEPALIVE int tessaly_has_run() { return g_run ? 1 : 0; }

// The seed the last run was placed from, in decimal (all 64 bits: more than
// a JavaScript Number holds); empty before the first run.
EMSCRIPTEN_KEEPALIVE const char* tessaly_seed_text() {
  return Hand(g_run_seed ? SeedText(*g_run_seed) : std::string());
}

// The address parameters that reopen the last run ("?count=400&time-step=0.05
// &period=20&seed=7&observe&run"), `observe` when the panel is shown; empty
// before the first run.
EMSCRIPTEN_KEEPALIVE const char* tessaly_share_query(int observe) {
  if (!g_run) return Hand(std::string());
  return Hand(SharedQuery(
      SharedRunOf(g_run->count, g_run->time_step, g_run->period, g_run_seed, observe != 0)));
}

// The address parameters of the fields' texts as they stand, without a seed,
// for a page that has not run yet.
EMSCRIPTEN_KEEPALIVE const char* tessaly_share_query_of_texts(const char* count,
                                                              const char* time_step,
                                                              const char* period, int observe) {
  SharedRun run;
  run.count = count;
  run.time_step = time_step;
  run.period = period;
  run.observe = observe != 0;
  return Hand(SharedQuery(run));
}

// The help (使い方) and the about text, UTF-8 HTML.
EMSCRIPTEN_KEEPALIVE const char* tessaly_help_html() { return Hand(HelpHtml()); }
EMSCRIPTEN_KEEPALIVE const char* tessaly_about_html() { return Hand(AboutHtml()); }

// Fresh tables of `count` particles for the worker, which then writes the
// state a tick starts from into tessaly_positions() and tessaly_velocities().
EMSCRIPTEN_KEEPALIVE int tessaly_resize(int count, double time_step) {
  try {
    InitSimulation(g_sim, static_cast<std::int16_t>(count), time_step);
  } catch (const RuntimeError& error) {
    return static_cast<int>(error.kind());
  }
  return kNoError;
}

EMSCRIPTEN_KEEPALIVE int tessaly_count() { return g_sim.ParticleCount; }

// X, Y of particles 0..N of the current level, interleaved.
EMSCRIPTEN_KEEPALIVE double* tessaly_positions() {
  return reinterpret_cast<double*>(g_sim.Pos[g_sim.CurLevel].data());
}
EMSCRIPTEN_KEEPALIVE double* tessaly_velocities() {
  return reinterpret_cast<double*>(g_sim.Vel[g_sim.CurLevel].data());
}

// The steps' threads, in the module built with them: the force loop runs on
// at most `threads` (the module's pool of helpers is one fewer); on one in
// the modules without, whose memory cannot be shared. Returns how many it
// will run on.
EMSCRIPTEN_KEEPALIVE int tessaly_use_threads(int threads) {
#ifdef TESSALY_THREADS
  SetForceThreads(threads);
#else
  (void)threads;
  SetForceThreads(1);
#endif
  return ForceThreads();
}

// Where the flag that abandons a step in flight lives (one byte, 1 to stop),
// and the count of the threads working out forces (a 32-bit integer): the
// page reads and writes them from its own thread while a step runs.
EMSCRIPTEN_KEEPALIVE StopFlag* tessaly_stop_flag() { return &g_stop; }
EMSCRIPTEN_KEEPALIVE const std::atomic<int>* tessaly_threads_at_work() {
  return &ForceThreadsAtWork();
}

// Kept as the flag's byte and the count's integer that the page reaches.
static_assert(sizeof(StopFlag) == 1 && sizeof(std::atomic<int>) == 4);
static_assert(StopFlag::is_always_lock_free && std::atomic<int>::is_always_lock_free);

// One tick's step: AdvanceOneStep, then ExchangeLevels, so that the current
// level is the new state. With `measure`, the momentum the walls turned back
// is added to the history of the walls' pressure; the state is the same
// either way, to the bit. Returns kNoError, or the kind of the arithmetic
// error; the current level is then still the state the step started from.
// A step stopped through tessaly_stop_flag() returns kStopped and leaves the
// current level as it was; the flag is left set, for the caller to clear.
constexpr int kStopped = -2;
EMSCRIPTEN_KEEPALIVE int tessaly_step(int measure) {
  double momentum = 0.0;
  try {
    AdvanceOneStep(g_sim, &g_stop, measure != 0 ? &momentum : nullptr);
  } catch (const RuntimeError& error) {
    return static_cast<int>(error.kind());
  }
  if (StopRequested(&g_stop)) return kStopped;
  ExchangeLevels(g_sim);
  if (measure != 0) RecordWallMomentum(g_walls, momentum);
  return kNoError;
}

// The walls' pressure starts again from the next measured step: a new run,
// or steps that went unmeasured.
EMSCRIPTEN_KEEPALIVE void tessaly_forget_walls() { g_walls = WallMomentumHistory{}; }

// What the observation panel shows of the current level (ObserveState):
// 0 the length of the scalars at the start of tessaly_observe()'s answer,
// 1 the bins of g(r), 2 their width, 3 the bins of the speeds, 4 the points
// of the Maxwell–Boltzmann curve, 5 the steps the pressure is averaged over.
EMSCRIPTEN_KEEPALIVE double tessaly_observation_layout(int what) {
  constexpr double kLayout[] = {15, kPairBins, kPairBinWidth, kSpeedBins, kSpeedCurvePoints + 1,
                                kPressureSteps};
  return what >= 0 && what < 6 ? kLayout[what] : 0.0;
}

// The figures of the current level after `steps` steps, valid until the next
// call: steps, time, count, kinetic and potential energy (totals), T, the
// kinetic, potential and total energy per particle, the walls' pressure, the
// top of the g(r) scale, the height of a near peak it cuts off (else 0), the
// speeds' range, the top of their scale, how many points of the curve there
// are (none at rest); then g(r), the speeds' density and the curve, each at
// its full length.
EMSCRIPTEN_KEEPALIVE const double* tessaly_observe(double steps) {
  g_figures = PanelNumbers(ObserveState(g_sim, static_cast<std::uint64_t>(steps), g_walls));
  return g_figures.data();
}

// What a batch run with --thermo writes first: its header line.
EMSCRIPTEN_KEEPALIVE const char* tessaly_thermo_header() { return Hand(ThermoHeader()); }

// The current level as the frame a batch run with --xyz writes for the state
// after `steps` steps, through the batch run's own writer. One pass over the
// pairs. Empty when the time overflows, where the batch run fails.
EMSCRIPTEN_KEEPALIVE const char* tessaly_xyz_frame(double steps) {
  const auto step = static_cast<std::uint64_t>(steps);
  const double time = static_cast<double>(step) * g_sim.TimeStep;
  if (!std::isfinite(time)) return Hand(std::string());
  return Hand(XyzFrame(g_sim, step, time, PotentialEnergy(g_sim)));
}

// ----- The run loop, in the page's instance --------------------------------
//
// The page hands each event to tessaly_loop_* with the time it happened
// (performance.now()) and carries out the actions they answer with, read
// from the numbers returned (LoopActionsNumbers below). The record here is
// the state the next tick starts from; the worker steps a copy of it.

}  // extern "C"

namespace {

RunLoop g_loop{false};
std::vector<double> g_actions;
std::vector<double> g_job(kJobNumbers);  // the job to post, or, in the worker, to run
std::vector<double> g_result;            // the worker's answer
std::vector<double> g_staged;            // the stepped state: positions, then velocities
std::vector<double> g_picture;           // x, y of each particle on the picture
int g_picture_level = 0;                 // the level the picture shows
std::string g_report;

// 0 abandon, 1 replace the stepper, 2 take the step, 3 draw the record,
// 4 post the job (tessaly_loop_job), 5 figures changed, 6 rows changed,
// 7 ticks (0 leave, 1 start every [8] ms, 2 stop), 9 busy (-1 leave, 0 clear,
// 1 show), 10 wake at this time (NaN: none), 11 an error to report (-1 none;
// its text is tessaly_loop_message()), 12 the loop's generation, 13 the
// job's generation.
const double* Carry(const LoopActions& a) {
  if (a.take_step) {
    // The stepped state becomes the record; the picture shows the state the
    // step started from.
    const std::size_t n = g_staged.size() / 2;
    auto* pos = reinterpret_cast<double*>(g_sim.Pos[g_sim.NextLevel].data());
    auto* vel = reinterpret_cast<double*>(g_sim.Vel[g_sim.NextLevel].data());
    std::copy(g_staged.begin(), g_staged.begin() + static_cast<std::ptrdiff_t>(n), pos);
    std::copy(g_staged.begin() + static_cast<std::ptrdiff_t>(n), g_staged.end(), vel);
    ExchangeLevels(g_sim);
    g_picture_level = g_sim.NextLevel;
  }
  if (a.draw_record) g_picture_level = g_sim.CurLevel;
  if (a.start) EncodeJob({*a.start, g_sim.ParticleCount, g_sim.TimeStep}, g_job.data());
  int report = -1;
  if (a.report) {
    report = static_cast<int>(a.report->error);
    g_report = a.report->error == LoopError::kTick ? TickErrorMessage(a.report->kind)
               : a.report->error == LoopError::kStepperNotStarted ? StepperNotStartedMessage()
                                                                   : StepperSilentMessage();
  }
  g_actions = {a.abandon ? 1.0 : 0.0,
               a.replace_stepper ? 1.0 : 0.0,
               a.take_step ? 1.0 : 0.0,
               a.draw_record ? 1.0 : 0.0,
               a.start ? 1.0 : 0.0,
               a.figures ? 1.0 : 0.0,
               a.rows ? 1.0 : 0.0,
               static_cast<double>(a.ticks),
               static_cast<double>(g_loop.Period()),
               a.busy ? (*a.busy ? 1.0 : 0.0) : -1.0,
               a.wake ? *a.wake : std::nan(""),
               static_cast<double>(report),
               static_cast<double>(g_loop.Generation()),
               a.start ? static_cast<double>(a.start->generation) : 0.0};
  return g_actions.data();
}

std::size_t StateLength() { return 2 * (static_cast<std::size_t>(g_sim.ParticleCount) + 1); }

}  // namespace

extern "C" {

// 実行, once tessaly_start() has placed the run.
EMSCRIPTEN_KEEPALIVE const double* tessaly_loop_run(double now) {
  g_staged.assign(2 * StateLength(), 0.0);
  return Carry(g_loop.Run(now, g_sim.ParticleCount, g_run ? g_run->period : 0));
}
EMSCRIPTEN_KEEPALIVE const double* tessaly_loop_stop(double now) { return Carry(g_loop.Stop(now)); }
EMSCRIPTEN_KEEPALIVE const double* tessaly_loop_tick(double now) { return Carry(g_loop.Tick(now)); }
EMSCRIPTEN_KEEPALIVE const double* tessaly_loop_wake(double now) { return Carry(g_loop.Wake(now)); }
EMSCRIPTEN_KEEPALIVE const double* tessaly_loop_observing(double now, int on) {
  return Carry(g_loop.SetObserving(now, on != 0));
}
// The stepper: 0 is being started, 1 said something, 2 has started, 3 failed.
EMSCRIPTEN_KEEPALIVE const double* tessaly_loop_stepper(double now, int what) {
  switch (what) {
    case 0:
      return Carry(g_loop.StepperStarting(now));
    case 1:
      return Carry(g_loop.StepperHeard(now));
    case 2:
      return Carry(g_loop.StepperStarted(now));
    default:
      return Carry(g_loop.StepperFailed(now));
  }
}

// Where the page writes the worker's answer (at most kResultNumbers numbers)
// and the state it stepped to (tessaly_state_length() positions, then as
// many velocities), before tessaly_loop_finished.
EMSCRIPTEN_KEEPALIVE double* tessaly_loop_answer() {
  g_result.resize(kResultNumbers);
  return g_result.data();
}
EMSCRIPTEN_KEEPALIVE double* tessaly_loop_staged() { return g_staged.data(); }

// The worker's answer of `size` numbers has come. A step that its stop flag
// ended belongs to a generation the loop has left, and nothing of it is used.
EMSCRIPTEN_KEEPALIVE const double* tessaly_loop_finished(double now, int size) {
  int outcome = kJobDone;
  JobResult result =
      DecodeResult(g_result.data(), std::min<std::size_t>(size, g_result.size()), &outcome);
  result.stopped = outcome == kJobStopped;
  return Carry(g_loop.Finished(now, result));
}

// The job to post (kJobNumbers numbers), and the length of the record's
// positions (and of its velocities) to post with it.
EMSCRIPTEN_KEEPALIVE const double* tessaly_loop_job() { return g_job.data(); }
EMSCRIPTEN_KEEPALIVE int tessaly_job_numbers() { return static_cast<int>(kJobNumbers); }
EMSCRIPTEN_KEEPALIVE int tessaly_state_length() { return static_cast<int>(StateLength()); }

// Whether a job is in flight.
EMSCRIPTEN_KEEPALIVE int tessaly_loop_busy() { return g_loop.Busy() ? 1 : 0; }

// The text of the error the last actions reported.
EMSCRIPTEN_KEEPALIVE const char* tessaly_loop_message() { return Hand(g_report); }

// The state on the picture, laid out for drawing: x and y of each particle,
// 2 N numbers, valid until the next call.
EMSCRIPTEN_KEEPALIVE const double* tessaly_picture() {
  const auto& pos = g_sim.Pos[g_picture_level];
  g_picture.resize(2 * static_cast<std::size_t>(g_sim.ParticleCount));
  for (std::size_t i = 1; i < pos.size() && i <= static_cast<std::size_t>(g_sim.ParticleCount); ++i) {
    g_picture[2 * (i - 1)] = pos[i].X;
    g_picture[2 * (i - 1) + 1] = pos[i].Y;
  }
  return g_picture.data();
}
// The same state as the module keeps it (tessaly_state_length() numbers
// each), for the worker that saves it, and its steps since 実行.
EMSCRIPTEN_KEEPALIVE const double* tessaly_picture_positions() {
  return reinterpret_cast<const double*>(g_sim.Pos[g_picture_level].data());
}
EMSCRIPTEN_KEEPALIVE const double* tessaly_picture_velocities() {
  return reinterpret_cast<const double*>(g_sim.Vel[g_picture_level].data());
}
EMSCRIPTEN_KEEPALIVE double tessaly_picture_steps() {
  return static_cast<double>(g_loop.PictureSteps());
}
EMSCRIPTEN_KEEPALIVE double tessaly_time_step() { return g_sim.TimeStep; }

// The last figures as the panel reads them (see tessaly_observe); null
// before the first of a run.
EMSCRIPTEN_KEEPALIVE const double* tessaly_figures() {
  if (!g_loop.Figures()) return nullptr;
  g_figures = PanelNumbers(*g_loop.Figures());
  return g_figures.data();
}
// The energy plot: time and potential energy per particle of each refresh
// kept, oldest first, 2 × tessaly_energy_points() numbers.
EMSCRIPTEN_KEEPALIVE int tessaly_energy_points() {
  return static_cast<int>(g_loop.EnergyHistory().size());
}
EMSCRIPTEN_KEEPALIVE const double* tessaly_energy_history() {
  return reinterpret_cast<const double*>(g_loop.EnergyHistory().data());
}
static_assert(sizeof(std::pair<double, double>) == 2 * sizeof(double));

// The rows kept: how many, the step of the last, what 記録 says of them, and
// the table CSV を保存 writes.
EMSCRIPTEN_KEEPALIVE int tessaly_rows() { return static_cast<int>(g_loop.Rows().size()); }
EMSCRIPTEN_KEEPALIVE int tessaly_rows_full() { return g_loop.RowsFull() ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE double tessaly_last_row_step() {
  return g_loop.Rows().empty() ? 0.0 : static_cast<double>(g_loop.Rows().back().step);
}
EMSCRIPTEN_KEEPALIVE const char* tessaly_recording_note() {
  return Hand(RecordingNote(g_loop.Rows().size(), kRowEvery, g_loop.RowsFull()));
}
EMSCRIPTEN_KEEPALIVE const char* tessaly_thermo_table() { return Hand(ThermoTable(g_loop.Rows())); }

// The page's texts: 0 the picture's name, 1 its description, 2 what 実行
// does, 3 what 停止 does, 4 why one core steps of several, 5 that what a
// button needs could not be loaded.
EMSCRIPTEN_KEEPALIVE const char* tessaly_text(int which) {
  constexpr std::string_view kTexts[] = {kPictureName, kPictureDescription, kRunDescription,
                                         kStopDescription, kOneCoreWhy, kPartNotLoaded};
  return Hand(std::string(kTexts[std::clamp(which, 0, 5)]));
}

// How long the worker that saves the picture's state may stay silent, and
// what the page says when a save fails: `what` 0 XYZ, 1 CSV; `reason` 0 the
// worker did not start, 1 it stopped answering, 2 the time overflows.
EMSCRIPTEN_KEEPALIVE double tessaly_silence_limit_ms() {
  return JobSilenceLimitMs(g_sim.ParticleCount);
}
// Starts of the worker that saves before the page gives up: as many as the
// worker that steps gets.
EMSCRIPTEN_KEEPALIVE int tessaly_save_attempts() { return kStepperAttempts; }
EMSCRIPTEN_KEEPALIVE const char* tessaly_save_failed(int what, int reason) {
  constexpr std::string_view kReasons[] = {kSaveWorkerNotStarted, kSaveWorkerSilent,
                                           kSaveTimeOverflows};
  const int why = std::clamp(reason, 0, 2);
  return Hand(SaveFailedMessage(what == 0 ? "XYZ" : "CSV", kReasons[why], why < 2));
}

// ----- One job, in the worker's instance ---------------------------------

// Where the worker writes the job the page posted (kJobNumbers numbers).
EMSCRIPTEN_KEEPALIVE double* tessaly_job_buffer() { return g_job.data(); }

// Makes the tables fit the job's record; the worker then writes its state
// into tessaly_positions() and tessaly_velocities(). Returns 1; 0 when the
// tables did not fit, and the answer (tessaly_job_answer()) is that error.
EMSCRIPTEN_KEEPALIVE int tessaly_job_prepare() {
  const EncodedJob job = DecodeJob(g_job.data());
  // The same bits: a time step of -0 is not one of 0.
  if (job.count == g_sim.ParticleCount &&
      std::memcmp(&job.time_step, &g_sim.TimeStep, sizeof(double)) == 0) {
    return 1;
  }
  const int error = tessaly_resize(job.count, job.time_step);
  if (error == kNoError) return 1;
  JobResult result;
  result.generation = job.job.generation;
  result.error = static_cast<ErrorKind>(error);
  g_result.clear();
  EncodeResult(result, kJobDone, g_result);
  return 0;
}

// Runs the job on the state written: the step, then what the view asks of
// the new state (or of the state as it is), one pair pass at most; both end
// early once the stop flag is set. Afterwards the current level is the
// state to hand back, and the answer is tessaly_job_answer_numbers() numbers
// at the address returned.
EMSCRIPTEN_KEEPALIVE const double* tessaly_run_job() {
  const EncodedJob encoded = DecodeJob(g_job.data());
  const StepJob& job = encoded.job;
  JobResult result;
  result.generation = job.generation;
  int outcome = kJobDone;
  double momentum = 0.0;
  try {
    if (job.step) {
      AdvanceOneStep(g_sim, &g_stop, job.observe ? &momentum : nullptr);
      if (!StopRequested(&g_stop)) ExchangeLevels(g_sim);
    }
    if (job.observe && !StopRequested(&g_stop)) {
      const double begun = emscripten_get_now();
      result.observation = Observe(g_sim, *job.observe, job.step ? &momentum : nullptr, &g_stop);
      result.observe_ms = emscripten_get_now() - begun;
    }
  } catch (const RuntimeError& error) {
    result.error = error.kind();
  }
  if (StopRequested(&g_stop)) {
    outcome = kJobStopped;
    result.observation.reset();
  }
  g_result.clear();
  EncodeResult(result, outcome, g_result);
  return g_result.data();
}
EMSCRIPTEN_KEEPALIVE const double* tessaly_job_answer() { return g_result.data(); }
EMSCRIPTEN_KEEPALIVE int tessaly_job_answer_numbers() { return static_cast<int>(g_result.size()); }

}  // extern "C"
