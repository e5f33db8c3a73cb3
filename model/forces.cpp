#include "model/forces.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/fp_check.h"

namespace tessaly {
namespace {

// Below this many particles the threads' start-up costs more than it saves
// (a row of 100 pairs takes about 2.5 us, a fork and join a few).
constexpr std::int32_t kParallelFrom = 100;

struct ForceInputs {
  const Vec2* pos;
  double coef_a;
  double coef_b;
};

// Adds the force of particles first..last on particle i onto `sum`, in
// ascending order of j. Each term is added to the running sum as it comes, so
// the bits depend only on the order of j, not on which thread computes the row.
inline void AddPairs(const ForceInputs& in, const Vec2 pi, const double* dist,
                     std::int32_t first, std::int32_t last, Vec2& sum) {
  for (std::int32_t j = first; j <= last; ++j) {
    const double dx = in.pos[j].X - pi.X;
    const double dy = in.pos[j].Y - pi.Y;
    const double r = dist[j];
    const double f = in.coef_a / std::pow(r, 13.0) + in.coef_b / std::pow(r, 7.0);
    sum.X = (f * dx) / r + sum.X;
    sum.Y = (f * dy) / r + sum.Y;
  }
}

// The total force on particle i: all j != i, ascending. The clamped distances
// of the whole row are worked out first, in a loop the compiler vectorises
// (the root and the clamp are exact operations, so the bits are the same as
// one pair at a time); the two powers then dominate what is left.
inline Vec2 RowForce(const ForceInputs& in, std::int32_t i, std::int32_t n,
                     double* dist) {
  const Vec2 pi = in.pos[i];
  for (std::int32_t j = 1; j <= n; ++j) {
    const double dx = in.pos[j].X - pi.X;
    const double dy = in.pos[j].Y - pi.Y;
    const double r = std::sqrt(dx * dx + dy * dy);
    dist[j] = r < 1.0 ? 1.0 : r;
  }
  Vec2 sum{};
  AddPairs(in, pi, dist, 1, i - 1, sum);
  AddPairs(in, pi, dist, i + 1, n, sum);
  return sum;
}

}  // namespace

void ComputeForces(Simulation& sim, const StopFlag* stop) {
  const std::int32_t n = sim.ParticleCount;
  const ForceInputs in{sim.Pos[sim.CurLevel].data(), sim.CoefA, sim.CoefB};
  Vec2* force = sim.Force.data();

  // Rows are independent: each Force[i] is summed by exactly one thread over
  // j = 1..N in ascending order, so any number of threads gives the same bits.
  // Floating-point flags are per thread; every thread clears its own and the
  // raised ones are gathered after the join.
  int flags = 0;
  ClearFpErrors();
  if (n < kParallelFrom) {
    std::vector<double> dist(static_cast<std::size_t>(n) + 1);
    for (std::int32_t i = 1; i <= n; ++i) {
      if (StopRequested(stop)) break;
      force[i] = RowForce(in, i, n, dist.data());
    }
    flags = PendingFpErrors();
  } else {
#pragma omp parallel reduction(| : flags)
    {
      ClearFpErrors();
      std::vector<double> dist(static_cast<std::size_t>(n) + 1);
#pragma omp for schedule(static)
      for (std::int32_t i = 1; i <= n; ++i) {
        if (StopRequested(stop)) continue;  // an OpenMP loop cannot break
        force[i] = RowForce(in, i, n, dist.data());
      }
      flags |= PendingFpErrors();
    }
  }
  ThrowIfFpError(flags);
}

}  // namespace tessaly
