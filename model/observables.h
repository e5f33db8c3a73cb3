// What one state of the box amounts to: its energies and temperature, the
// distribution of its pair distances and of its speeds, and the pressure on
// its walls over the last steps.
//
// Units are the model's reduced Lennard-Jones units, ε = σ = m = k_B = 1:
// lengths in σ (the particle diameter), energies in ε, temperatures in ε/k_B,
// speeds in σ/τ with τ = σ √(m/ε), and the pressure on the walls, a force per
// unit length in two dimensions, in ε/σ².
//
// The functions read level CurLevel of the record and write nothing in it.
// Sums run over the particles 1..N in ascending order, pairs (i, j) with
// i < j, i the outer loop, so that one state always gives the same bits.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/simulation.h"
#include "model/stop_flag.h"

namespace tessaly {

// Kinetic energy ½ Σ m v² = 0.5 * Mass * Σ (vx² + vy²), in ε. The model holds
// Σ v² at 100 after every step, so it is 50 for any count once it moves.
[[nodiscard]] double KineticEnergy(const Simulation& sim);

// The temperature the kinetic energy means in two dimensions, two degrees of
// freedom of ½ k_B T each: T = KE / N, in ε/k_B; 0 for an empty box.
[[nodiscard]] double Temperature(const Simulation& sim);

// The pair potential whose derivative is the model's force law
// f(r) = -48 / r¹³ + 24 / r⁷: U(r) = 4 (r⁻¹² − r⁻⁶), in ε, from the squared
// distance r2. A distance below 1 counts as 1, as in the force law, where
// U is 0. Evaluated as s = 1 / (r2 * r2 * r2), U = 4 * (s * s − s).
[[nodiscard]] double PairPotential(double r2);

// Pair distances are counted up to kPairRange in bins of kPairBinWidth: bin k
// holds k * 0.05 ≤ r < (k + 1) * 0.05 (bin = floor(r * 20)).
inline constexpr int kPairBins = 100;
inline constexpr double kPairBinWidth = 0.05;
inline constexpr double kPairRange = kPairBins * kPairBinWidth;  // 5
using PairCounts = std::array<std::uint64_t, kPairBins>;

// The total potential energy Σ_{i<j} U(r_ij), in ε, with no cut-off as in the
// force law. When `counts` is given, it is set to the number of pairs whose
// (unclamped) distance falls in each bin: both come from one pass over the
// pairs. The pass ends early once `stop` (may be null) is set, and its results
// are then for throwing away.
[[nodiscard]] double PotentialEnergy(const Simulation& sim, PairCounts* counts = nullptr,
                                     const StopFlag* stop = nullptr);

// The centres stay in the square [0.5, 9.5]² between the walls, kWallSpan on
// a side.
inline constexpr double kWallSpan = 9.0;

// P(|a − b| < r) for two points placed uniformly and independently in that
// square, for 0 ≤ r ≤ kWallSpan; with L the span:
// (π r² L² − (8/3) L r³ + r⁴ / 2) / L⁴.
[[nodiscard]] double UniformPairDistanceCdf(double r);

// g(r) of each bin from the pair counts of `count` particles: the pairs in a
// bin over the pairs that uniformly placed particles in the same square would
// put there, counts[k] / (N (N − 1) / 2 · (F(b) − F(a))) with F above and
// [a, b) the bin. Uniform placement reads 1 at every r, the walls' effect
// included; a liquid shows its shells as peaks. All 0 below two particles.
[[nodiscard]] std::array<double, kPairBins> PairDistribution(const PairCounts& counts,
                                                             std::int32_t count);

// The speed distribution as a density: bin k of `bins` equal bins on
// [0, range) holds the fraction of the particles with speed in it over the
// bin's width, in 1 / (σ/τ). Speeds at or beyond `range` fall in no bin.
[[nodiscard]] std::vector<double> SpeedDensity(const Simulation& sim, double range, int bins);

// The two-dimensional Maxwell–Boltzmann density of speeds at temperature T:
// (m v / T) exp(−m v² / (2 T)), in 1 / (σ/τ); 0 where T ≤ 0.
[[nodiscard]] double MaxwellBoltzmannSpeedDensity(double speed, double temperature,
                                                  double mass);

// The wall pressure is averaged over the last kPressureSteps steps (fewer
// just after a start): enough reflections to steady it, few enough that it
// follows the run.
inline constexpr int kPressureSteps = 100;

// The length of wall the centres push on: four walls, each kWallSpan long.
// The centres are stopped on the lines 0.5 and 9.5, so the walls they meet
// are the sides of the 9 × 9 square they move in, the area an ideal gas law
// P · A = N k_B T would use (A = 81), not the 10 × 10 box drawn.
inline constexpr double kWallLength = 4 * kWallSpan;  // 36

// The momentum the walls turned back in each of the last steps, oldest first.
struct WallMomentumHistory {
  std::array<double, kPressureSteps> momentum{};  // a ring, in m σ/τ per step
  int count = 0;                                  // steps held, up to kPressureSteps
  int next = 0;                                   // where the next step goes
};

// Adds one step's momentum (what ReflectAtWalls reports), forgetting the
// oldest when the history is full.
void RecordWallMomentum(WallMomentumHistory& history, double momentum);

// The pressure on the walls: the momentum turned back over the steps held,
// summed oldest first, per unit time and unit wall length,
// Σ / (count * |time_step| * kWallLength), in ε/σ². 0 before the first step
// and for a time step of 0, when no time passes.
[[nodiscard]] double WallPressure(const WallMomentumHistory& history, double time_step);

// What the observation views show of one state, worked out here once for the
// desktop's window and the page's panel alike.
//
// The speed histogram has kSpeedBins bins over [0, 4 √(T/m)), where all but
// e^-8 of the Maxwell–Boltzmann distribution lies, and its curve is drawn
// through kSpeedCurvePoints + 1 points over the same range. The scale of g(r)
// follows the shells of neighbours from r = 0.5 on (the bins from
// kNearPairBins): particles pressed onto one another in a dense box can make
// the bins below it a hundred times higher, and such a peak runs off the top,
// its height named.
inline constexpr int kSpeedBins = 30;
inline constexpr double kSpeedRangeInPeaks = 4.0;
inline constexpr int kSpeedCurvePoints = 100;
inline constexpr int kNearPairBins = 10;

struct ObservedFigures {
  std::uint64_t steps = 0;  // since the run started
  double time = 0.0;        // steps * TimeStep, in τ
  std::int32_t count = 0;
  double kinetic = 0.0;     // the box's totals, in ε
  double potential = 0.0;
  double temperature = 0.0;
  double kinetic_per_particle = 0.0;  // 0 for an empty box
  double potential_per_particle = 0.0;
  double wall_pressure = 0.0;
  std::array<double, kPairBins> pair_distribution{};
  double pair_top = 1.5;       // the top of the g(r) scale
  double pair_near_peak = 0.0;  // the height of a peak below r = 0.5 cut off by it, else 0
  double speed_range = 1.0;     // the histogram's range; 1 for a box at rest
  std::vector<double> speed_density;  // kSpeedBins bins
  std::vector<double> speed_curve;    // at v = speed_range * k / kSpeedCurvePoints; empty at rest
  double density_top = 1.0;           // the top of the speeds' scale
};

// How long a view of the figures waits after a refresh that took `cost_ms`
// before the next: at least a tenth of a second, and nineteen times the cost,
// so that going through the pairs takes a twentieth of its thread at most
// (on the desktop the thread that draws and hands out the next step).
[[nodiscard]] double RefreshIntervalMs(double cost_ms);

// The figures of level CurLevel after `steps` steps, the walls' pressure from
// `walls`. One pair pass, which ends early once `stop` (may be null) is set:
// the figures are then meaningless, for a caller that throws them away.
[[nodiscard]] ObservedFigures ObserveState(const Simulation& sim, std::uint64_t steps,
                                           const WallMomentumHistory& walls,
                                           const StopFlag* stop = nullptr);

}  // namespace tessaly
