// What every benchmark starts from, the WebAssembly one included (which has
// no Google Benchmark): particles placed from a fixed seed, so that every run
// measures the same work, and a stopwatch.
#pragma once

#include <chrono>
#include <cstdint>

#include "model/placement.h"
#include "model/simulation.h"
#include "platform/random.h"

namespace tessaly::bench {

class SeededRandom final : public RandomSource {
 public:
  explicit SeededRandom(std::uint64_t seed) : random_(seed) {}
  void SeedFromClock() override {}
  double Next() override { return random_.Next(); }

 private:
  ClockRandom random_;
};

inline Simulation Placed(std::int16_t n) {
  Simulation sim;
  InitSimulation(sim, n, 0.1);
  SeededRandom random(12345);
  PlaceParticles(sim, random);
  return sim;
}

template <class F>
double SecondsOf(F&& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace tessaly::bench
