// What the page and its worker call in the model and the field rules. Plain C
// functions over one record per instance: the page's instance places the
// particles and reads the fields, the worker's steps. Texts are handed out
// as UTF-8, valid until the next call that hands one out.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "batch/option_values.h"
#include "form/help_text.h"
#include "form/run_fields.h"
#include "form/shared_run.h"
#include "model/forces.h"
#include "model/observables.h"
#include "model/placement.h"
#include "model/simulation.h"
#include "model/stop_flag.h"
#include "model/thermo_writer.h"
#include "model/time_step.h"
#include "model/xyz_writer.h"
#include "platform/errors.h"
#include "platform/random.h"

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

// Placing failed: kPlacingFailed + the kind of the error.
constexpr int kPlacingFailed = 1000;

// A new run of the settings last read: fresh tables, the particles placed.
// Returns kNoError; 0 when the tables did not fit (the record is as it was,
// the message is tessaly_field_error_message()); kPlacingFailed + the kind of
// an error while placing.
EMSCRIPTEN_KEEPALIVE int tessaly_start() {
  try {
    InitSimulation(g_sim, g_settings.count, g_settings.time_step);
  } catch (const RuntimeError& error) {
    g_error = {Field::kCount, error.kind()};
    return static_cast<int>(Field::kCount);
  }
  try {
    PlaceParticles(g_sim, *g_random);
  } catch (const RuntimeError& error) {
    return kPlacingFailed + static_cast<int>(error.kind());
  }
  g_run = g_settings;
  g_run_seed = g_random->Seed();
  return kNoError;
}

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

// How long the panel waits after a refresh that took `cost_ms` (model/observables).
EMSCRIPTEN_KEEPALIVE double tessaly_refresh_interval_ms(double cost_ms) {
  return RefreshIntervalMs(cost_ms);
}

// The figures of the current level after `steps` steps, valid until the next
// call: steps, time, count, kinetic and potential energy (totals), T, the
// kinetic, potential and total energy per particle, the walls' pressure, the
// top of the g(r) scale, the height of a near peak it cuts off (else 0), the
// speeds' range, the top of their scale, how many points of the curve there
// are (none at rest); then g(r), the speeds' density and the curve, each at
// its full length.
EMSCRIPTEN_KEEPALIVE const double* tessaly_observe(double steps) {
  const ObservedFigures f = ObserveState(g_sim, static_cast<std::uint64_t>(steps), g_walls);
  g_figures = {static_cast<double>(f.steps),
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
  g_figures.insert(g_figures.end(), f.pair_distribution.begin(), f.pair_distribution.end());
  g_figures.insert(g_figures.end(), f.speed_density.begin(), f.speed_density.end());
  g_figures.resize(g_figures.size() + kSpeedCurvePoints + 1, 0.0);
  std::copy(f.speed_curve.begin(), f.speed_curve.end(),
            g_figures.end() - (kSpeedCurvePoints + 1));
  return g_figures.data();
}

// What a batch run with --thermo writes first: its header line.
EMSCRIPTEN_KEEPALIVE const char* tessaly_thermo_header() { return Hand(ThermoHeader()); }

// The row a batch run with --thermo writes for the current level as the
// state after `steps` steps, through the batch run's own writer: the walls'
// pressure from the steps measured since it was last forgotten. One pass over
// the pairs. Empty when the time overflows, where the batch run fails.
EMSCRIPTEN_KEEPALIVE const char* tessaly_thermo_row(double steps) {
  const auto step = static_cast<std::uint64_t>(steps);
  const double time = static_cast<double>(step) * g_sim.TimeStep;
  if (!std::isfinite(time)) return Hand(std::string());
  return Hand(ThermoRow(step, time, ThermoValuesOf(g_sim, PotentialEnergy(g_sim), g_walls)));
}

// The current level as the frame a batch run with --xyz writes for the state
// after `steps` steps, through the batch run's own writer. One pass over the
// pairs. Empty when the time overflows, where the batch run fails.
EMSCRIPTEN_KEEPALIVE const char* tessaly_xyz_frame(double steps) {
  const auto step = static_cast<std::uint64_t>(steps);
  const double time = static_cast<double>(step) * g_sim.TimeStep;
  if (!std::isfinite(time)) return Hand(std::string());
  return Hand(XyzFrame(g_sim, step, time, PotentialEnergy(g_sim)));
}

}  // extern "C"
