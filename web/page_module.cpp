// What the page and its worker call in the model and the field rules. Plain C
// functions over one record per instance: the page's instance places the
// particles and reads the fields, the worker's steps. Texts are handed out
// as UTF-8, valid until the next call that hands one out.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "app/option_values.h"
#include "form/run_fields.h"
#include "model/placement.h"
#include "model/simulation.h"
#include "model/time_step.h"
#include "platform/errors.h"
#include "platform/random.h"

namespace {

using namespace tessaly;

Simulation g_sim;
std::unique_ptr<RandomSource> g_random = std::make_unique<ClockRandom>();
std::string g_text;
RunSettings g_settings;
FieldError g_error{Field::kCount, ErrorKind::kOverflow};

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
  return kNoError;
}

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

// One tick's step: AdvanceOneStep, then ExchangeLevels, so that the current
// level is the new state. Returns kNoError, or the kind of the arithmetic
// error; the current level is then still the state the step started from.
EMSCRIPTEN_KEEPALIVE int tessaly_step() {
  try {
    AdvanceOneStep(g_sim, nullptr);
  } catch (const RuntimeError& error) {
    return static_cast<int>(error.kind());
  }
  ExchangeLevels(g_sim);
  return kNoError;
}

}  // extern "C"
