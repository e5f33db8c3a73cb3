// Arrangements for the benchmarks: placed from a fixed seed, so every run
// measures the same work.
#pragma once

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

}  // namespace tessaly::bench
