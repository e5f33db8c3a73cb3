#include "model/placement.h"

#include <cstdint>

#include "platform/random.h"

namespace tessaly {

void PlaceParticles(Simulation& sim, RandomSource& random) {
  random.SeedFromClock();

  // 32-bit counters: they must reach N + 1 for N = 32767.
  const std::int32_t n = sim.ParticleCount;
  std::vector<Vec2>& pos = sim.Pos[0];
  std::int32_t i = 0;  // particles accepted so far; the candidate is i + 1
  while (i < n) {
    Vec2& candidate = pos[i + 1];
    candidate.X = 8.0 * random.Next() + 1.0;
    candidate.Y = 8.0 * random.Next() + 1.0;

    // The scan stops at the first particle closer than 1, or after 101
    // comparisons. It always stops by j = i + 1 for the first 101 particles,
    // because the candidate is at distance 0 from itself.
    std::int32_t j = 0;
    double dx = 0.0;
    double dy = 0.0;
    do {
      ++j;
      dx = pos[j].X - candidate.X;
      dy = pos[j].Y - candidate.Y;
    } while (!(dx * dx + dy * dy < 1.0 || j > 100));

    // Only a stop at one of the first ten earlier particles rejects.
    if (j > i || j > 10) ++i;
  }
}

}  // namespace tessaly
