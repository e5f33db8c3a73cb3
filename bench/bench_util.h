// Arrangements for the benchmarks, placed from a fixed seed so that every run
// measures the same work, and the way each figure is set beside the plain
// way's: measured in turns within one benchmark, so that both see the machine
// in the same state, however its load changes.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

#include "bench/arrangement.h"

namespace tessaly::bench {

// For benchmarks with UseManualTime: each iteration times one run of the
// program's way, and between iterations the plain way runs whenever it has
// had less of the time so far. The time column is the program's alone.
class Alongside {
 public:
  template <class Program, class Plain>
  void Iteration(benchmark::State& state, Program&& program, Plain&& plain) {
    const double seconds = SecondsOf(program);
    state.SetIterationTime(seconds);
    program_seconds_ += seconds;
    ++program_runs_;
    if (plain_seconds_ <= program_seconds_) {
      plain_seconds_ += SecondsOf(plain);
      ++plain_runs_;
    }
  }

  // The plain way's time per run over the program's.
  [[nodiscard]] double Gain() const {
    return (plain_seconds_ / plain_runs_) / (program_seconds_ / program_runs_);
  }

  // Counters in honest units: Google Benchmark divides rate counters by the
  // benchmark's time, the program's runs alone.
  // Time per unit of work (`units` per run), as "12.3ns".
  [[nodiscard]] benchmark::Counter ProgramTimePer(double units) const {
    return benchmark::Counter(units * program_runs_, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  }
  [[nodiscard]] benchmark::Counter PlainTimePer(double units) const {
    return benchmark::Counter(units * plain_runs_ * program_seconds_ / plain_seconds_,
                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  }
  // Runs per second, as "61.2/s".
  [[nodiscard]] benchmark::Counter ProgramRate() const {
    return benchmark::Counter(program_runs_, benchmark::Counter::kIsRate);
  }
  [[nodiscard]] benchmark::Counter PlainRate() const {
    return benchmark::Counter(plain_runs_ * program_seconds_ / plain_seconds_, benchmark::Counter::kIsRate);
  }

 private:
  double program_seconds_ = 0.0;
  double plain_seconds_ = 0.0;
  double program_runs_ = 0.0;
  double plain_runs_ = 0.0;
};

}  // namespace tessaly::bench
