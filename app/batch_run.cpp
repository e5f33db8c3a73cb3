#include "app/batch_run.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "app/progress.h"
#include "app/xyz_writer.h"
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

std::string WhatTheFileHolds(const BatchOutcome& outcome, const std::string& path) {
  if (outcome.frames == 0) return Quoted(path) + " holds no frame";
  return Quoted(path) + " holds the frames up to step " + std::to_string(outcome.last_frame_step);
}

}  // namespace

BatchOutcome RunBatch(const BatchSettings& settings, RandomSource& random, const FrameSink& sink,
                      const StepObserver& observer, const volatile std::sig_atomic_t* stop) {
  BatchOutcome outcome;
  const auto hand_over = [&](const Simulation& sim, std::uint64_t step) {
    const double time = static_cast<double>(step) * settings.time_step;
    if (!std::isfinite(time)) throw RuntimeError(ErrorKind::kOverflow);
    sink(XyzFrame(sim, step, time));
    ++outcome.frames;
    outcome.last_frame_step = step;
  };
  std::uint64_t current = 0;  // the step being worked on; 0 while placing
  try {
    Simulation sim;
    InitSimulation(sim, settings.count, settings.time_step);
    PlaceParticles(sim, random);
    hand_over(sim, 0);
    const std::uint64_t every = settings.every == 0 ? 1 : settings.every;
    for (std::uint64_t step = 1; step <= settings.steps; ++step) {
      if (stop != nullptr && *stop != 0) {
        outcome.end = BatchEnd::kInterrupted;
        return outcome;
      }
      current = step;
      // A tick of the window, without the drawing.
      AdvanceOneStep(sim);
      ExchangeLevels(sim);
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

int RunBatchCommand(const BatchSettings& settings, const std::string& path) {
  XyzFile file;
  if (const std::string reason = file.Open(path); !reason.empty()) {
    Say("--xyz: cannot write " + Quoted(path) + ": " + reason);
    return 2;
  }
  CatchStopSignals();

  std::optional<ProgressLine> progress;
  if (::isatty(STDERR_FILENO) == 1) progress.emplace(settings.steps, stderr);
  const StepObserver observer = [&](std::uint64_t done) {
    if (progress) progress->Update(done);
  };
  const FrameSink sink = [&](const std::string& frame) { file.Write(frame); };

  ClockRandom clock_random;
  std::optional<FixedSeedRandom> seeded;
  if (settings.seed) seeded.emplace(*settings.seed);
  RandomSource& random = seeded ? static_cast<RandomSource&>(*seeded) : clock_random;

  BatchOutcome outcome;
  try {
    outcome = RunBatch(settings, random, sink, observer, &g_stop_signal);
    file.Close();
  } catch (const std::system_error& error) {
    if (progress) progress->Clear();
    Say("cannot write " + Quoted(path) + ": " + error.code().message());
    return 1;
  }
  if (progress) progress->Clear();

  switch (outcome.end) {
    case BatchEnd::kFinished:
      return 0;
    case BatchEnd::kInterrupted:
      Say("interrupted after step " + std::to_string(outcome.steps_done) + "; " +
          WhatTheFileHolds(outcome, path));
      return 128 + g_stop_signal;
    case BatchEnd::kFailed:
      Say((outcome.failed_step == 0 ? std::string("placing the particles failed: ")
                                    : "step " + std::to_string(outcome.failed_step) + " failed: ") +
          std::string(ErrorKindName(outcome.error)) + "; " + WhatTheFileHolds(outcome, path));
      return 1;
  }
  return 1;
}

}  // namespace tessaly
