#include "model/observables.h"

#include "model/forces.h"
#include "model/pair_terms.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace tessaly {
namespace {

// The pair loop, with or without the counting of distances. Each row's pairs
// are worked out side by side in vectors (model/pair_terms), each with the
// scalar operations in their order, and added onto the total one by one, in
// ascending order of the columns, as the plain loop adds them. The columns' X
// and Y lie apart, padded with zeros past the last particle; what the padding
// gives is never added. `stop` is read before each row: a pass it ends gives
// nothing anyone will see.
double PairPass(const Simulation& sim, PairCounts* counts, const StopFlag* stop) {
  const pair_terms::RowFn row_of =
#if defined(TESSALY_SCALAR_ONLY)
      pair_terms::RowScalar;
#else
#if defined(__x86_64__)
      CurrentVectorSet() != VectorSet::kBaseline ? pair_terms::RowAvx2 :
#endif
                                                 pair_terms::RowBaseline;
#endif
  const std::int32_t n = sim.ParticleCount;
  const Vec2* pos = sim.Pos[sim.CurLevel].data();
  std::vector<double> xs(static_cast<std::size_t>(n) + 1 + pair_terms::kPadding, 0.0);
  std::vector<double> ys(xs.size(), 0.0);
  for (std::int32_t i = 1; i <= n; ++i) {
    xs[i] = pos[i].X;
    ys[i] = pos[i].Y;
  }
  // A tally per lane, so that a run of one bin does not wait on itself;
  // counts add up in any order. The largest count has fewer pairs than 32
  // bits hold.
  static_assert(32767.0 * 32766.0 / 2 < 4294967296.0);
  pair_terms::Tally tally[pair_terms::kTallies] = {};
  double total = 0.0;
  for (std::int32_t i = 1; i < n && !StopRequested(stop); ++i) {
    total = row_of(xs.data() + i + 1, ys.data() + i + 1, n - i, xs[i], ys[i], total,
                   counts != nullptr ? tally : nullptr);
  }
  if (counts != nullptr) {
    for (int k = 0; k < kPairBins; ++k) {
      std::uint64_t sum = 0;
      for (const pair_terms::Tally& t : tally) sum += t[k];
      (*counts)[k] = sum;
    }
  }
  return total;
}

}  // namespace

double KineticEnergy(const Simulation& sim) {
  const std::int32_t n = sim.ParticleCount;
  const Vec2* vel = sim.Vel[sim.CurLevel].data();
  double s = 0.0;
  for (std::int32_t i = 1; i <= n; ++i) s = s + (vel[i].X * vel[i].X + vel[i].Y * vel[i].Y);
  return 0.5 * sim.Mass * s;
}

double Temperature(const Simulation& sim) {
  if (sim.ParticleCount <= 0) return 0.0;
  return KineticEnergy(sim) / sim.ParticleCount;
}

double PairPotential(double r2) {
  if (r2 < 1.0) r2 = 1.0;
  const double s = 1.0 / (r2 * r2 * r2);
  return 4.0 * (s * s - s);
}

double PotentialEnergy(const Simulation& sim, PairCounts* counts, const StopFlag* stop) {
  return PairPass(sim, counts, stop);
}

double UniformPairDistanceCdf(double r) {
  constexpr double L = kWallSpan;
  const double r2 = r * r;
  return (std::numbers::pi * r2 * L * L - (8.0 / 3.0) * L * r2 * r + 0.5 * r2 * r2) /
         (L * L * L * L);
}

std::array<double, kPairBins> PairDistribution(const PairCounts& counts, std::int32_t count) {
  std::array<double, kPairBins> g{};
  if (count < 2) return g;
  const double pairs = 0.5 * count * (count - 1.0);
  for (int k = 0; k < kPairBins; ++k) {
    const double share =
        UniformPairDistanceCdf((k + 1) * kPairBinWidth) - UniformPairDistanceCdf(k * kPairBinWidth);
    g[k] = static_cast<double>(counts[k]) / (pairs * share);
  }
  return g;
}

std::vector<double> SpeedDensity(const Simulation& sim, double range, int bins) {
  std::vector<double> density(bins > 0 ? bins : 0, 0.0);
  const std::int32_t n = sim.ParticleCount;
  if (n <= 0 || bins <= 0 || !(range > 0.0)) return density;
  const Vec2* vel = sim.Vel[sim.CurLevel].data();
  const double per_speed = bins / range;
  for (std::int32_t i = 1; i <= n; ++i) {
    const double speed = std::sqrt(vel[i].X * vel[i].X + vel[i].Y * vel[i].Y);
    if (speed < range) {
      const int k = static_cast<int>(speed * per_speed);
      density[k < bins ? k : bins - 1] += 1.0;
    }
  }
  const double width = range / bins;
  for (double& d : density) d = d / (n * width);
  return density;
}

double MaxwellBoltzmannSpeedDensity(double speed, double temperature, double mass) {
  if (!(temperature > 0.0)) return 0.0;
  return (mass * speed / temperature) * std::exp(-mass * speed * speed / (2.0 * temperature));
}

void RecordWallMomentum(WallMomentumHistory& history, double momentum) {
  history.momentum[history.next] = momentum;
  history.next = (history.next + 1) % kPressureSteps;
  if (history.count < kPressureSteps) ++history.count;
}

double WallPressure(const WallMomentumHistory& history, double time_step) {
  if (history.count == 0 || time_step == 0.0) return 0.0;
  const int oldest = (history.next - history.count + kPressureSteps) % kPressureSteps;
  double sum = 0.0;
  for (int k = 0; k < history.count; ++k) {
    sum = sum + history.momentum[(oldest + k) % kPressureSteps];
  }
  return sum / (history.count * std::fabs(time_step) * kWallLength);
}

ObservedFigures ObserveState(const Simulation& sim, std::uint64_t steps,
                             const WallMomentumHistory& walls, const StopFlag* stop) {
  const std::int32_t n = sim.ParticleCount;
  const double per = n > 0 ? 1.0 / n : 0.0;
  PairCounts counts{};
  ObservedFigures f;
  f.steps = steps;
  f.time = static_cast<double>(steps) * sim.TimeStep;
  f.count = n;
  f.kinetic = KineticEnergy(sim);
  f.potential = PairPass(sim, &counts, stop);
  f.temperature = Temperature(sim);
  f.kinetic_per_particle = f.kinetic * per;
  f.potential_per_particle = f.potential * per;
  f.wall_pressure = WallPressure(walls, sim.TimeStep);
  f.pair_distribution = PairDistribution(counts, n);

  double far_max = 0.0;
  double near_max = 0.0;
  for (int k = 0; k < kPairBins; ++k) {
    double& max = k < kNearPairBins ? near_max : far_max;
    max = std::max(max, f.pair_distribution[k]);
  }
  f.pair_top = std::max(1.5, 1.1 * far_max);
  if (near_max <= f.pair_top) {
    f.pair_top = std::max(f.pair_top, 1.1 * near_max);
  } else {
    f.pair_near_peak = near_max;
  }

  const bool moving = f.temperature > 0.0 && sim.Mass > 0.0;
  f.speed_range = moving ? kSpeedRangeInPeaks * std::sqrt(f.temperature / sim.Mass) : 1.0;
  f.speed_density = SpeedDensity(sim, f.speed_range, kSpeedBins);
  double density_max = 0.0;
  for (const double d : f.speed_density) density_max = std::max(density_max, d);
  if (moving) {
    f.speed_curve.reserve(kSpeedCurvePoints + 1);
    for (int k = 0; k <= kSpeedCurvePoints; ++k) {
      const double v = f.speed_range * k / kSpeedCurvePoints;
      const double d = MaxwellBoltzmannSpeedDensity(v, f.temperature, sim.Mass);
      f.speed_curve.push_back(d);
      density_max = std::max(density_max, d);
    }
  }
  f.density_top = density_max > 0.0 ? 1.1 * density_max : 1.0;
  return f;
}

double RefreshIntervalMs(double cost_ms) {
  constexpr double kLeastMs = 100.0;
  constexpr double kTimesCost = 19.0;
  return cost_ms * kTimesCost > kLeastMs ? cost_ms * kTimesCost : kLeastMs;
}

}  // namespace tessaly
