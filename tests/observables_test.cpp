#include "model/observables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "model/forces.h"
#include "model/placement.h"
#include "model/time_step.h"
#include "platform/random.h"
#include "model_test_util.h"
#include "reference/plain_observables.h"

namespace tessaly {
namespace {

using testing::WithParticles;

// U at distances whose powers are exact in binary, worked out by hand:
// U(2) = 4 (2^-12 - 2^-6) = -63/1024, U(4) = 4 (2^-24 - 2^-12).
constexpr double kU2 = -63.0 / 1024.0;
constexpr double kU4 = 4.0 * (0x1p-24 - 0x1p-12);

TEST(PotentialEnergy, TwoAndThreeParticlesAtKnownDistances) {
  struct Case {
    const char* name;
    std::vector<Vec2> positions;
    double energy;
  };
  const Case cases[] = {
      {"two at 2 along X", {{3, 5}, {5, 5}}, kU2},
      {"two at 2 along Y", {{4, 1}, {4, 3}}, kU2},
      {"two at 4, far apart", {{1, 1}, {5, 1}}, kU4},
      {"two at 1, the clamp's edge", {{4, 4}, {5, 4}}, 0.0},
      {"two closer than 1 count as 1", {{4, 4}, {4.5, 4}}, 0.0},
      {"two on one point", {{4, 4}, {4, 4}}, 0.0},
      {"three in a row: 2, 2 and 4", {{1, 1}, {3, 1}, {5, 1}}, kU2 + kU2 + kU4},
      {"three, two on one point: 2, 2 and 0", {{1, 1}, {3, 1}, {3, 1}}, kU2 + kU2 + 0.0},
  };
  for (const Case& c : cases) {
    Simulation sim;
    InitSimulation(sim, static_cast<std::int16_t>(c.positions.size()), 0.1);
    for (std::size_t i = 0; i < c.positions.size(); ++i) sim.Pos[0][i + 1] = c.positions[i];
    EXPECT_EQ(PotentialEnergy(sim), c.energy) << c.name;
  }
}

TEST(PotentialEnergy, PairPotentialIsTheForceLawsIntegral) {
  // -dU/dr by central differences against the force law's magnitude,
  // f(r) = -48 / r^13 + 24 / r^7 = dU/dr.
  for (const double r : {1.05, 1.1225, 1.5, 2.5, 4.0}) {
    const double h = 1e-6;
    const double slope = (PairPotential((r + h) * (r + h)) - PairPotential((r - h) * (r - h))) / (2 * h);
    EXPECT_NEAR(slope, -48 / std::pow(r, 13) + 24 / std::pow(r, 7), 1e-6) << r;
  }
  EXPECT_NEAR(PairPotential(std::pow(2.0, 1.0 / 3.0)), -1.0, 1e-15);  // the well's bottom
}

TEST(PotentialEnergy, CountingTheDistancesLeavesTheEnergyAsItWas) {
  Simulation sim;
  InitSimulation(sim, 300, 0.1);
  FixedSeedRandom random(3);
  PlaceParticles(sim, random);
  PairCounts counts{};
  counts.fill(7);
  const double with = PotentialEnergy(sim, &counts);
  EXPECT_EQ(with, PotentialEnergy(sim));
  std::uint64_t counted = 0;
  for (const std::uint64_t c : counts) counted += c;
  std::uint64_t within = 0;
  for (int i = 1; i <= 300; ++i) {
    for (int j = i + 1; j <= 300; ++j) {
      within += std::hypot(sim.Pos[0][j].X - sim.Pos[0][i].X, sim.Pos[0][j].Y - sim.Pos[0][i].Y) < 5;
    }
  }
  EXPECT_EQ(counted, within);
}

// The pair pass in vectors, on every set this processor has, against the
// plain loop: the energy to the bit and every bin's count. Counts around a
// chunk's and a vector's width; distances on the bins' and the clamp's edges,
// just inside and outside the range, one whose root rounds up to 5, and
// particles on top of one another.
TEST(PotentialEnergy, InVectorsTheSameBitsAndCountsAsThePlainLoop) {
  struct Case {
    const char* name;
    Simulation sim;
  };
  const auto placed = [](std::int16_t n, std::uint64_t seed) {
    Simulation sim;
    InitSimulation(sim, n, 0.1);
    FixedSeedRandom random(seed);
    PlaceParticles(sim, random);
    return sim;
  };
  const double just_below_5 = std::nextafter(5.0, 0.0);
  std::vector<Case> cases = {
      {"none", placed(0, 1)},
      {"two", placed(2, 2)},
      {"three", placed(3, 3)},
      {"a chunk and one", placed(130, 4)},
      {"many chunks", placed(700, 5)},
      {"edges", WithParticles({{1, 1}, {1, 1}, {1.5, 1}, {2, 1}, {6, 1}, {1, 6}, {1, just_below_5 + 1},
                               {6.05, 1}, {1, 1.05}, {0.5, 0.5}, {9.5, 9.5}, {1, 6.000000000000001},
                               {3.5, 4.5}, {4.0, 4.5}})},
  };
  // 3² + (4 − ulp)² is the double below 25, whose root rounds to 5.
  const Simulation rounding = WithParticles({{0, 0}, {3, std::nextafter(4.0, 0.0)}});
  cases.push_back({"root rounds to 5", rounding});

  const VectorSet was = CurrentVectorSet();
  for (const VectorSet set : {VectorSet::kBaseline, BestVectorSet()}) {
    SetVectorSet(set);
    for (const Case& c : cases) {
      PairCounts plain{};
      PairCounts fast{};
      const double expected = reference::PlainPotentialEnergy(c.sim, &plain);
      const double with = PotentialEnergy(c.sim, &fast);
      const double without = PotentialEnergy(c.sim);
      EXPECT_EQ(std::memcmp(&with, &expected, sizeof with), 0)
          << c.name << " on " << VectorSetName(set) << ": " << with << " vs " << expected;
      EXPECT_EQ(std::memcmp(&without, &expected, sizeof without), 0) << c.name;
      EXPECT_EQ(fast, plain) << c.name << " on " << VectorSetName(set);
    }
  }
  SetVectorSet(was);
  // The case meant to test the rounding does.
  PairCounts counts{};
  (void)PotentialEnergy(rounding, &counts);
  EXPECT_EQ(counts[kPairBins - 1], 1u);
}

TEST(KineticEnergy, HalfTheSquaredSpeedsAndTheTemperaturePerParticle) {
  Simulation sim = WithParticles({{2, 2}, {6, 6}});
  sim.Vel[0][1] = {3, 4};
  sim.Vel[0][2] = {0, -1};
  sim.Mass = 2;
  EXPECT_EQ(KineticEnergy(sim), 26.0);
  EXPECT_EQ(Temperature(sim), 13.0);
  Simulation empty;
  InitSimulation(empty, 0, 0.1);
  EXPECT_EQ(Temperature(empty), 0.0);
}

TEST(PairDistribution, UniformPlacementReadsOneAtEveryDistance) {
  // 20 boxes of 1000 centres drawn uniformly from the square the walls leave
  // them: every bin's count is within 5 of its standard deviations of what
  // the normalisation expects, about 1/sqrt(expected pairs) in g.
  constexpr int kCount = 1000;
  constexpr int kBoxes = 20;
  std::mt19937_64 engine(2024);
  std::uniform_real_distribution<double> coordinate(0.5, 9.5);
  PairCounts total{};
  Simulation sim;
  InitSimulation(sim, kCount, 0.1);
  for (int box = 0; box < kBoxes; ++box) {
    for (int i = 1; i <= kCount; ++i) sim.Pos[0][i] = {coordinate(engine), coordinate(engine)};
    PairCounts counts{};
    (void)PotentialEnergy(sim, &counts);
    for (int k = 0; k < kPairBins; ++k) total[k] += counts[k];
  }
  // The boxes' pairs together: kBoxes times the pairs of one.
  std::array<double, kPairBins> g = PairDistribution(total, kCount);
  for (double& value : g) value /= kBoxes;
  const double pairs = kBoxes * 0.5 * kCount * (kCount - 1.0);
  double mean = 0.0;
  for (int k = 0; k < kPairBins; ++k) {
    const double expected = pairs * (UniformPairDistanceCdf((k + 1) * 0.05) - UniformPairDistanceCdf(k * 0.05));
    EXPECT_NEAR(g[k], 1.0, 5.0 / std::sqrt(expected)) << "bin " << k;
    mean += g[k] / kPairBins;
  }
  EXPECT_NEAR(mean, 1.0, 0.003);
}

TEST(PairDistribution, FewerThanTwoParticlesHaveNoPairs) {
  PairCounts counts{};
  counts[3] = 1;
  for (const double g : PairDistribution(counts, 1)) EXPECT_EQ(g, 0.0);
}

TEST(SpeedDensity, ManyDrawsMatchTheMaxwellBoltzmannCurve) {
  // 20000 velocities with components of variance T: their speeds follow the
  // two-dimensional Maxwell-Boltzmann law. The curve at a bin's middle is the
  // bin's mean density up to its curvature, well inside the noise.
  constexpr int kCount = 20000;
  constexpr double kT = 0.8;
  constexpr int kBins = 40;
  const double range = 5 * std::sqrt(kT);
  Simulation sim;
  InitSimulation(sim, kCount, 0.1);
  std::mt19937_64 engine(7);
  std::normal_distribution<double> component(0.0, std::sqrt(kT));
  for (int i = 1; i <= kCount; ++i) sim.Vel[0][i] = {component(engine), component(engine)};
  const std::vector<double> density = SpeedDensity(sim, range, kBins);
  ASSERT_EQ(density.size(), static_cast<std::size_t>(kBins));
  const double width = range / kBins;
  double area = 0.0;
  for (int k = 0; k < kBins; ++k) {
    const double curve = MaxwellBoltzmannSpeedDensity((k + 0.5) * width, kT, 1.0);
    const double expected = kCount * curve * width;
    EXPECT_NEAR(density[k], curve, 5 * std::sqrt(expected + 1) / (kCount * width)) << "bin " << k;
    area += density[k] * width;
  }
  // All but exp(-12.5) of the speeds lie within the range.
  EXPECT_NEAR(area, 1.0, 1e-9);
}

TEST(SpeedDensity, ResultsAreDensitiesOfTheParticlesInRange) {
  Simulation sim = WithParticles({{2, 2}, {3, 3}, {4, 4}, {5, 5}});
  sim.Vel[0][1] = {0.3, 0.4};  // 0.5: bin 0 of [0, 1)
  sim.Vel[0][2] = {1.5, 0};    // bin 1
  sim.Vel[0][3] = {0, -1.2};   // bin 1
  sim.Vel[0][4] = {2, 0};      // at the range: in no bin
  const std::vector<double> density = SpeedDensity(sim, 2.0, 2);
  EXPECT_EQ(density, (std::vector<double>{0.25, 0.5}));
  EXPECT_EQ(MaxwellBoltzmannSpeedDensity(1.0, 0.0, 1.0), 0.0);
}

// The walls' momentum of one reflection, exact.
TEST(ReflectAtWalls, ReportsTheMomentumEachReflectionTurnsBack) {
  struct Case {
    const char* name;
    Vec2 pos, vel;
    double mass;
    double momentum;
  };
  const Case cases[] = {
      {"out through the left wall", {0.3, 5}, {-2.5, 1}, 1, 5.0},
      {"out through the bottom wall", {5, 9.75}, {0.5, 3}, 1, 6.0},
      {"out through a corner", {0.2, 0.1}, {-1, -0.25}, 1, 2.5},
      {"already heading back", {9.6, 5}, {-1, 0}, 1, 0.0},
      {"exactly on the wall", {0.5, 9.5}, {-1, 1}, 1, 0.0},
      {"inside", {5, 5}, {-7, 7}, 1, 0.0},
      {"twice the mass", {0.4, 5}, {-1.5, 0}, 2, 6.0},
  };
  for (const Case& c : cases) {
    Simulation sim = WithParticles({{5, 5}});
    sim.Mass = c.mass;
    sim.Pos[sim.NextLevel][1] = c.pos;
    sim.Vel[sim.NextLevel][1] = c.vel;
    double momentum = 0.25;  // added to, not overwritten
    ReflectAtWalls(sim, &momentum);
    EXPECT_EQ(momentum, 0.25 + c.momentum) << c.name;
  }
}

bool SameBits(const std::vector<Vec2>& a, const std::vector<Vec2>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Vec2)) == 0;
}

TEST(ReflectAtWalls, MeasuringChangesNotOneBitOfTheRun) {
  Simulation plain;
  InitSimulation(plain, 150, 0.1);
  FixedSeedRandom random(5);
  PlaceParticles(plain, random);
  Simulation measured = plain;
  double momentum = 0.0;
  int steps_with_reflections = 0;
  for (int step = 0; step < 300; ++step) {
    AdvanceOneStep(plain);
    const double before = momentum;
    AdvanceOneStep(measured, nullptr, &momentum);
    steps_with_reflections += momentum > before;
    for (int level = 0; level < 2; ++level) {
      ASSERT_TRUE(SameBits(plain.Pos[level], measured.Pos[level])) << step;
      ASSERT_TRUE(SameBits(plain.Vel[level], measured.Vel[level])) << step;
    }
    ASSERT_TRUE(SameBits(plain.Force, measured.Force)) << step;
    ExchangeLevels(plain);
    ExchangeLevels(measured);
  }
  EXPECT_GT(steps_with_reflections, 100);
}

TEST(WallPressure, AveragesTheLastStepsPerTimeAndWallLength) {
  WallMomentumHistory history;
  EXPECT_EQ(WallPressure(history, 0.1), 0.0);
  RecordWallMomentum(history, 7.2);
  EXPECT_DOUBLE_EQ(WallPressure(history, 0.1), 7.2 / (0.1 * 36));
  EXPECT_DOUBLE_EQ(WallPressure(history, -0.1), 7.2 / (0.1 * 36));
  EXPECT_EQ(WallPressure(history, 0.0), 0.0);
  // 150 steps: the first 50 are forgotten.
  for (int k = 1; k < 150; ++k) RecordWallMomentum(history, k < 50 ? 1000.0 : 3.6);
  EXPECT_EQ(history.count, kPressureSteps);
  EXPECT_NEAR(WallPressure(history, 0.5), 3.6 / (0.5 * 36), 1e-14);
}

TEST(WallPressure, AnIdealGasPushesAsNTOverTheArea) {
  // Particles far apart barely interact: P A = N T with A = 81, within the
  // noise of a few thousand reflections.
  Simulation sim;
  InitSimulation(sim, 16, 0.01);
  for (int i = 0; i < 16; ++i) sim.Pos[0][i + 1] = {1.0 + (i % 4) * 2.4, 1.0 + (i / 4) * 2.4};
  std::mt19937_64 engine(1);
  std::normal_distribution<double> component;
  for (int i = 1; i <= 16; ++i) sim.Vel[0][i] = {component(engine), component(engine)};
  WallMomentumHistory history;
  double momentum = 0.0;
  for (int step = 0; step < 20000; ++step) {
    AdvanceOneStep(sim, nullptr, &momentum);
    ExchangeLevels(sim);
  }
  const double pressure = momentum / (20000 * 0.01 * kWallLength);
  EXPECT_NEAR(pressure * 81 / (16 * Temperature(sim)), 1.0, 0.2);
}

TEST(RefreshIntervalMs, ATenthOfASecondOrNineteenTimesTheCost) {
  const struct {
    double cost_ms, want_ms;
  } cases[] = {{0.0, 100.0}, {5.0, 100.0}, {100.0 / 19.0, 100.0}, {6.0, 114.0}, {17.0, 323.0},
               {2000.0, 38000.0}};
  for (const auto& c : cases) EXPECT_EQ(RefreshIntervalMs(c.cost_ms), c.want_ms) << c.cost_ms;
}

}  // namespace
}  // namespace tessaly
