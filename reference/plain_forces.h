// The force loop written the plain way: one thread, one ordered pair at a
// time. The tests hold the real ComputeForces to its bits, and the benchmarks
// measure against it.
#pragma once

#include <cmath>
#include <cstdint>

#include "model/simulation.h"
#include "model/time_step.h"

namespace tessaly::reference {

// Adds the force of particle j on particle i onto `sum`, as the plain loop
// does: the running sum goes second.
inline Vec2 PlainPairTerm(const Simulation& sim, std::int32_t i, std::int32_t j, Vec2 sum) {
  const std::vector<Vec2>& pos = sim.Pos[sim.CurLevel];
  const double dx = pos[j].X - pos[i].X;
  const double dy = pos[j].Y - pos[i].Y;
  double r = std::sqrt(dx * dx + dy * dy);
  if (r < 1.0) r = 1.0;
  const double f = sim.CoefA / std::pow(r, 13.0) + sim.CoefB / std::pow(r, 7.0);
  return {(f * dx) / r + sum.X, (f * dy) / r + sum.Y};
}

inline void PlainForces(Simulation& sim) {
  const std::int32_t n = sim.ParticleCount;
  for (std::int32_t i = 1; i <= n; ++i) {
    Vec2 sum{0.0, 0.0};
    for (std::int32_t j = 1; j <= n; ++j) {
      if (j != i) sum = PlainPairTerm(sim, i, j, sum);
    }
    sim.Force[i] = sum;
  }
}

// A whole tick's step the plain way: the plain forces, then the model's own
// linear passes, then the exchange of levels.
inline void PlainStep(Simulation& sim) {
  PlainForces(sim);
  UpdateVelocities(sim);
  UpdatePositions(sim);
  ReflectAtWalls(sim);
  ExchangeLevels(sim);
}

}  // namespace tessaly::reference
