// The observation's pair pass written the plain way: one pair at a time, the
// energy summed and the distance counted as it goes. The tests hold the real
// PotentialEnergy to its bits, and the benchmarks measure against it.
#pragma once

#include <cmath>
#include <cstdint>

#include "model/observables.h"
#include "model/simulation.h"

namespace tessaly::reference {

inline double PlainPotentialEnergy(const Simulation& sim, PairCounts* counts = nullptr) {
  if (counts != nullptr) counts->fill(0);
  const std::int32_t n = sim.ParticleCount;
  const auto& pos = sim.Pos[sim.CurLevel];
  double total = 0.0;
  for (std::int32_t i = 1; i <= n; ++i) {
    for (std::int32_t j = i + 1; j <= n; ++j) {
      const double dx = pos[j].X - pos[i].X;
      const double dy = pos[j].Y - pos[i].Y;
      const double r2 = dx * dx + dy * dy;
      total = total + PairPotential(r2);
      if (counts != nullptr && r2 < kPairRange * kPairRange) {
        const int k = static_cast<int>(std::sqrt(r2) * (1.0 / kPairBinWidth));
        ++(*counts)[k < kPairBins ? k : kPairBins - 1];
      }
    }
  }
  return total;
}

}  // namespace tessaly::reference
