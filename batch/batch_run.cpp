#include "batch/batch_run.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "batch/output_file.h"
#include "batch/progress.h"
#include "model/thermo_writer.h"
#include "model/xyz_writer.h"
#include "model/observables.h"
#include "model/placement.h"
#include "model/simulation.h"
#include "model/time_step.h"
#include "platform/random.h"

namespace tessaly {
namespace {

volatile std::sig_atomic_t g_stop_signal = 0;

extern "C" void OnStopSignal(int signal) { g_stop_signal = signal; }

// The first SIGINT or SIGTERM asks the run to stop after the step in
// progress; a second one (SA_RESETHAND) ends the program at once.
void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

void Say(const std::string& line) { std::fprintf(stderr, "tessaly: %s\n", line.c_str()); }

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// "'run.xyz' holds" or "'run.xyz' and 'run.csv' hold".
std::string WhatTheFilesHold(const BatchOutcome& outcome, const BatchFiles& files) {
  std::string names;
  for (const std::string* path : {&files.xyz, &files.thermo}) {
    if (path->empty()) continue;
    names += (names.empty() ? "" : " and ") + Quoted(*path);
  }
  const bool both = !files.xyz.empty() && !files.thermo.empty();
  names += both ? " hold" : " holds";
  if (outcome.frames == 0) return names + " no frame";
  return names + " the frames up to step " + std::to_string(outcome.last_frame_step);
}

}  // namespace

BatchOutcome RunBatch(const BatchSettings& settings, RandomSource& random, const BatchSinks& sinks,
                      const StepObserver& observer, const volatile std::sig_atomic_t* stop) {
  BatchOutcome outcome;
  const bool thermo = static_cast<bool>(sinks.thermo);
  WallMomentumHistory walls;
  const auto hand_over = [&](const Simulation& sim, std::uint64_t step) {
    const double time = static_cast<double>(step) * settings.time_step;
    if (!std::isfinite(time)) throw RuntimeError(ErrorKind::kOverflow);
    const double potential = PotentialEnergy(sim);
    if (sinks.xyz) sinks.xyz(XyzFrame(sim, step, time, potential));
    if (thermo) {
      sinks.thermo(ThermoRow(step, time, ThermoValuesOf(sim, potential, walls)));
    }
    ++outcome.frames;
    outcome.last_frame_step = step;
  };
  std::uint64_t current = 0;  // the step being worked on; 0 while placing
  try {
    Simulation sim;
    InitSimulation(sim, settings.count, settings.time_step);
    PlaceParticles(sim, random);
    if (thermo) sinks.thermo(ThermoHeader());
    hand_over(sim, 0);
    const std::uint64_t every = settings.every == 0 ? 1 : settings.every;
    for (std::uint64_t step = 1; step <= settings.steps; ++step) {
      if (stop != nullptr && *stop != 0) {
        outcome.end = BatchEnd::kInterrupted;
        return outcome;
      }
      current = step;
      // A tick of the window, without the drawing.
      double momentum = 0.0;
      AdvanceOneStep(sim, nullptr, thermo ? &momentum : nullptr);
      ExchangeLevels(sim);
      if (thermo) RecordWallMomentum(walls, momentum);
      outcome.steps_done = step;
      if (step % every == 0) hand_over(sim, step);
      if (observer) observer(step);
    }
  } catch (const RuntimeError& error) {
    outcome.end = BatchEnd::kFailed;
    outcome.error = error.kind();
    outcome.failed_step = current;
  }
  return outcome;
}

int RunBatchCommand(const BatchSettings& settings, const BatchFiles& files) {
  // Every file is opened before any is emptied: a refused command leaves the
  // disk as it was.
  OutputFile xyz_file;
  OutputFile thermo_file;
  struct Output {
    const char* option;
    const std::string& path;
    OutputFile& file;
  };
  const Output outputs[] = {{"--xyz", files.xyz, xyz_file}, {"--thermo", files.thermo, thermo_file}};
  const auto refuse = [&](const std::string& line) {
    Say(line);
    xyz_file.Discard();
    thermo_file.Discard();
    return 2;
  };
  for (const Output& output : outputs) {
    if (output.path.empty()) continue;
    if (const std::string reason = output.file.Open(output.path); !reason.empty()) {
      return refuse(std::string(output.option) + ": cannot write " + Quoted(output.path) + ": " +
                    reason);
    }
  }
  if (xyz_file.SameFileAs(thermo_file)) {
    return refuse("--thermo: " + Quoted(files.thermo) + " is the file --xyz writes");
  }
  const std::string* writing = nullptr;  // the file being written, for a failure
  try {
    for (const Output& output : outputs) {
      writing = &output.path;
      if (!output.path.empty()) output.file.Begin();
    }
  } catch (const std::system_error& error) {
    return refuse("cannot write " + Quoted(*writing) + ": " + error.code().message());
  }
  CatchStopSignals();

  std::optional<ProgressLine> progress;
  if (::isatty(STDERR_FILENO) == 1) progress.emplace(settings.steps, stderr);
  const StepObserver observer = [&](std::uint64_t done) {
    if (progress) progress->Update(done);
  };
  BatchSinks sinks;
  if (!files.xyz.empty()) {
    sinks.xyz = [&](const std::string& frame) {
      writing = &files.xyz;
      xyz_file.Write(frame);
    };
  }
  if (!files.thermo.empty()) {
    sinks.thermo = [&](const std::string& rows) {
      writing = &files.thermo;
      thermo_file.Write(rows);
    };
  }

  ClockRandom clock_random;
  std::optional<FixedSeedRandom> seeded;
  if (settings.seed) seeded.emplace(*settings.seed);
  RandomSource& random = seeded ? static_cast<RandomSource&>(*seeded) : clock_random;

  BatchOutcome outcome;
  try {
    outcome = RunBatch(settings, random, sinks, observer, &g_stop_signal);
    for (const Output& output : outputs) {
      writing = &output.path;
      output.file.Close();
    }
  } catch (const std::system_error& error) {
    if (progress) progress->Clear();
    Say("cannot write " + Quoted(*writing) + ": " + error.code().message());
    return 1;
  }
  if (progress) progress->Clear();

  switch (outcome.end) {
    case BatchEnd::kFinished:
      return 0;
    case BatchEnd::kInterrupted:
      Say("interrupted after step " + std::to_string(outcome.steps_done) + "; " +
          WhatTheFilesHold(outcome, files));
      return 128 + g_stop_signal;
    case BatchEnd::kFailed:
      Say((outcome.failed_step == 0 ? std::string("placing the particles failed: ")
                                    : "step " + std::to_string(outcome.failed_step) + " failed: ") +
          std::string(ErrorKindName(outcome.error)) + "; " + WhatTheFilesHold(outcome, files));
      return 1;
  }
  return 1;
}

}  // namespace tessaly
