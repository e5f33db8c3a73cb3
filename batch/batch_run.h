// A run without a window: N particles placed, K steps taken exactly as the
// window's ticks take them (AdvanceOneStep, then ExchangeLevels), and the
// state written as extended XYZ, and its energies as CSV, before the first
// step and after every M-th.
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/errors.h"

namespace tessaly {

class RandomSource;

struct BatchSettings {
  std::int16_t count = 0;              // N, 0 to 32767
  double time_step = 0.0;              // DT, finite
  std::uint64_t steps = 0;             // K
  std::uint64_t every = 1;             // M, at least 1: a frame every M steps
  std::optional<std::uint64_t> seed;   // the arrangement's seed; the clock's without it
};

enum class BatchEnd {
  kFinished,     // all K steps taken and written
  kInterrupted,  // *stop became non-zero; stopped after a whole step
  kFailed,       // a RuntimeError (an arithmetic error in a step, say)
};

struct BatchOutcome {
  BatchEnd end = BatchEnd::kFinished;
  std::uint64_t steps_done = 0;        // whole steps taken
  std::uint64_t frames = 0;            // frames handed to the sink
  std::uint64_t last_frame_step = 0;   // the step of the last of them
  ErrorKind error = ErrorKind::kOverflow;  // for kFailed: what went wrong
  std::uint64_t failed_step = 0;           // for kFailed: in which step; 0 while placing
};

// Takes each frame whole, in order. May throw (a full disk, say); the run
// then ends with that exception.
using FrameSink = std::function<void(const std::string& frame)>;

// Where the frames go: the trajectory in extended XYZ and the table of
// energies in CSV (its header first). Either may be empty, and is then not
// worked out; the walls' momentum is measured only for the table.
struct BatchSinks {
  FrameSink xyz;
  FrameSink thermo;
};

// The files of a run; an empty path is a file not written.
struct BatchFiles {
  std::string xyz;
  std::string thermo;
};

// Told the number of whole steps taken after each step; may be empty.
using StepObserver = std::function<void(std::uint64_t steps_done)>;

// Places settings.count particles from `random` and runs settings.steps steps,
// handing the sinks frame 0 and the frame of every step that is a multiple of
// settings.every. Checks `stop` (may be null) before every step. A
// RuntimeError ends the run with kFailed; the frames already handed over are
// all there is, and the failing step writes none.
[[nodiscard]] BatchOutcome RunBatch(const BatchSettings& settings, RandomSource& random,
                                    const BatchSinks& sinks, const StepObserver& observer,
                                    const volatile std::sig_atomic_t* stop);

// The whole command: opens the files (at least one), runs with the seed or the
// clock, shows progress on standard error when that is a terminal and the run
// takes more than a second, and stops cleanly on SIGINT or SIGTERM. Reports
// anything but success in one line on standard error. Returns the exit
// status: 0 when finished, 2 when a file cannot be opened (or both options
// name one file; no file is then made and none emptied), 1 for an error
// during the run, 128 + the signal's number when interrupted.
[[nodiscard]] int RunBatchCommand(const BatchSettings& settings, const BatchFiles& files);

}  // namespace tessaly
