#include "model/forces.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/time_step.h"
#include "platform/errors.h"
#include "model_test_util.h"

namespace tessaly {
namespace {

using testing::WithParticles;

TEST(ComputeForces, ALoneParticleFeelsNothing) {
  Simulation sim = WithParticles({{5.0, 5.0}});
  sim.Force[1] = {9.0, 9.0};  // stale contents are overwritten
  ComputeForces(sim);
  EXPECT_EQ(sim.Force[1].X, 0.0);
  EXPECT_EQ(sim.Force[1].Y, 0.0);
}

TEST(ComputeForces, ClosePairIsClampedToDistanceOne) {
  // r = 0.5 is clamped to 1: f = -48 + 24 = -24, and the direction factor
  // dx / r = 0.5 / 1 is not a unit vector: Force(1) = (-24 * 0.5, 0).
  Simulation sim = WithParticles({{4.75, 5.0}, {5.25, 5.0}});
  ComputeForces(sim);
  EXPECT_EQ(sim.Force[1].X, -12.0);
  EXPECT_EQ(sim.Force[1].Y, 0.0);
  EXPECT_EQ(sim.Force[2].X, 12.0);
  EXPECT_EQ(sim.Force[2].Y, 0.0);
}

TEST(ComputeForces, CoincidentParticlesExertNoForce) {
  Simulation sim = WithParticles({{3.0, 3.0}, {3.0, 3.0}});
  ComputeForces(sim);
  for (int p = 1; p <= 2; ++p) {
    EXPECT_EQ(sim.Force[p].X, 0.0);
    EXPECT_EQ(sim.Force[p].Y, 0.0);
  }
}

TEST(ComputeForces, VanishesAtTheMinimumOfThePotential) {
  const double r0 = std::pow(2.0, 1.0 / 6.0);
  Simulation sim = WithParticles({{3.0, 5.0}, {3.0 + r0, 5.0}});
  ComputeForces(sim);
  EXPECT_NEAR(sim.Force[1].X, 0.0, 1e-13);
  EXPECT_NEAR(sim.Force[2].X, 0.0, 1e-13);
}

TEST(ComputeForces, AttractsAtDistanceThree) {
  // f(3) = -48 / 3^13 + 24 / 3^7 = 0.010943830077092282 (worked out in Python
  // as -48/1594323 + 24/2187); dy / r = 1, so Force(1).Y = f exactly.
  Simulation sim = WithParticles({{5.0, 2.0}, {5.0, 5.0}});
  ComputeForces(sim);
  EXPECT_DOUBLE_EQ(sim.Force[1].Y, 0.010943830077092282);
  EXPECT_GT(sim.Force[1].Y, 0.0);  // pulled down towards particle 2
  EXPECT_DOUBLE_EQ(sim.Force[2].Y, -0.010943830077092282);
  EXPECT_EQ(sim.Force[1].X, 0.0);
}

TEST(ComputeForces, SumsOverAllOthersAndReadsOnlyTheCurrentLevel) {
  // Particle 2 between 1 and 3 on a line, each neighbour clamped at r = 1 but
  // pulling the same way: Force(2) cancels; 1 and 3 are pushed outwards.
  Simulation sim = WithParticles({{4.5, 5.0}, {5.0, 5.0}, {5.5, 5.0}});
  sim.Pos[sim.NextLevel][2] = {1.0, 1.0};  // must not be read
  ComputeForces(sim);
  EXPECT_EQ(sim.Force[2].X, 0.0);
  // Particle 1: -24 * 0.5 from particle 2, -24 * 1 from particle 3.
  EXPECT_EQ(sim.Force[1].X, -36.0);
  EXPECT_EQ(sim.Force[3].X, 36.0);

  ExchangeLevels(sim);  // now level 1 is current: only particle 2 is set
  ComputeForces(sim);
  EXPECT_NE(sim.Force[1].X, -36.0);
}

TEST(ComputeForces, OverflowRaisesTheRunTimeError) {
  // Distances this large never arise inside the box; r^13 overflows.
  Simulation sim = WithParticles({{0.0, 0.0}, {1e30, 0.0}});
  try {
    ComputeForces(sim);
    ADD_FAILURE() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::kOverflow);
  }
}

}  // namespace
}  // namespace tessaly
