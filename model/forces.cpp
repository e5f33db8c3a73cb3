#include "model/forces.h"

#include <cmath>
#include <cstdint>

#include "platform/fp_check.h"

namespace tessaly {

void ComputeForces(Simulation& sim) {
  const std::int32_t n = sim.ParticleCount;
  const Vec2* pos = sim.Pos[sim.CurLevel].data();
  Vec2* force = sim.Force.data();
  const double coef_a = sim.CoefA;
  const double coef_b = sim.CoefB;

  ClearFpErrors();
  for (std::int32_t i = 1; i <= n; ++i) {
    const Vec2 pi = pos[i];
    Vec2 sum{};
    for (std::int32_t j = 1; j <= n; ++j) {
      if (j == i) continue;
      const double dx = pos[j].X - pi.X;
      const double dy = pos[j].Y - pi.Y;
      double r = std::sqrt(dx * dx + dy * dy);
      if (r < 1.0) r = 1.0;
      const double f = coef_a / std::pow(r, 13.0) + coef_b / std::pow(r, 7.0);
      sum.X = (f * dx) / r + sum.X;
      sum.Y = (f * dy) / r + sum.Y;
    }
    force[i] = sum;
  }
  ThrowIfFpError();
}

}  // namespace tessaly
