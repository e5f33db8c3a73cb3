// A stepper's job and what it hands back, as plain numbers: the page's
// instance of the module writes the job, its worker's instance reads it and
// writes the answer, and the page's reads that back, each through the same
// code. Every double goes across as it is, so the figures and the rows the
// page shows are the bits the worker worked out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/observables.h"
#include "run/run_loop.h"

namespace tessaly {

// The job, with the record's count and time step it is for.
struct EncodedJob {
  StepJob job;
  std::int32_t count = 0;
  double time_step = 0.0;
};

// A job's numbers: always this many.
inline constexpr std::size_t kJobNumbers = 10 + kPressureSteps;

void EncodeJob(const EncodedJob& job, double* out);
[[nodiscard]] EncodedJob DecodeJob(const double* in);

// What a job ended in beyond its result: kJobDone, kJobStopped (its stop
// flag was set: for throwing away), or the kind of its arithmetic error.
inline constexpr int kJobDone = -1;
inline constexpr int kJobStopped = -2;

// An answer's numbers: at most kResultNumbers.
inline constexpr std::size_t kResultNumbers = 4 + (2 + kPressureSteps) + (1 + 6) + (1 + 15) +
                                               kPairBins + kSpeedBins + (kSpeedCurvePoints + 1);

// Appends the answer to `out`; `outcome` is kJobDone, kJobStopped or an
// error's kind.
void EncodeResult(const JobResult& result, int outcome, std::vector<double>& out);
// The answer and its outcome, from `size` numbers.
[[nodiscard]] JobResult DecodeResult(const double* in, std::size_t size, int* outcome);

}  // namespace tessaly
