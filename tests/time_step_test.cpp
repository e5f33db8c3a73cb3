#include "model/time_step.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/placement.h"
#include "platform/errors.h"
#include "platform/random.h"
#include "model_test_util.h"

namespace tessaly {
namespace {

using testing::WithParticles;

double SumOfSquaredSpeeds(const Simulation& sim, int level) {
  double s = 0.0;
  for (int i = 1; i <= sim.ParticleCount; ++i) {
    s += sim.Vel[level][i].X * sim.Vel[level][i].X + sim.Vel[level][i].Y * sim.Vel[level][i].Y;
  }
  return s;
}

TEST(AdvanceOneStep, TwoCloseParticlesFlyApartAtTheNormalisedSpeed) {
  // Forces -+12, kicks -+1.2, s = 2 * 1.2^2, S = sqrt(s) * 0.1, v = -+1.2 / S
  // = -+sqrt(50); X = v * 0.1 + X0. Worked out in Python with the same order
  // of operations; the hexadecimal values are its exact doubles.
  Simulation sim = WithParticles({{4.75, 5.0}, {5.25, 5.0}});
  AdvanceOneStep(sim);
  const int nxt = sim.NextLevel;
  EXPECT_EQ(sim.Vel[nxt][1].X, -0x1.c48c6001f0abfp+2);
  EXPECT_EQ(sim.Vel[nxt][2].X, 0x1.c48c6001f0abfp+2);
  EXPECT_DOUBLE_EQ(sim.Vel[nxt][1].X, -std::sqrt(50.0));
  EXPECT_EQ(sim.Vel[nxt][1].Y, 0.0);
  EXPECT_EQ(sim.Pos[nxt][1].X, 0x1.02bec33301886p+2);  // 4.042893218813452
  EXPECT_EQ(sim.Pos[nxt][2].X, 0x1.7d413cccfe77ap+2);  // 5.957106781186548
  EXPECT_NEAR(sim.Pos[nxt][1].X, 4.0429, 1e-4);
  EXPECT_NEAR(sim.Pos[nxt][2].X, 5.9571, 1e-4);
  EXPECT_EQ(sim.Pos[nxt][1].Y, 5.0);
}

TEST(AdvanceOneStep, LeavesTheCurrentLevelUntouched) {
  Simulation sim;
  InitSimulation(sim, 60, 0.1);
  ClockRandom random;
  PlaceParticles(sim, random);
  for (int tick = 0; tick < 5; ++tick) {
    const int cur = sim.CurLevel;
    const std::vector<Vec2> pos = sim.Pos[cur];
    const std::vector<Vec2> vel = sim.Vel[cur];
    AdvanceOneStep(sim);
    for (int i = 0; i <= 60; ++i) {
      ASSERT_EQ(sim.Pos[cur][i].X, pos[i].X);
      ASSERT_EQ(sim.Pos[cur][i].Y, pos[i].Y);
      ASSERT_EQ(sim.Vel[cur][i].X, vel[i].X);
      ASSERT_EQ(sim.Vel[cur][i].Y, vel[i].Y);
    }
    ExchangeLevels(sim);
  }
}

TEST(AdvanceOneStep, HoldsTheSquaredSpeedsAt100AndKeepsParticlesInside) {
  Simulation sim;
  InitSimulation(sim, 40, 0.1);
  ClockRandom random;
  PlaceParticles(sim, random);
  for (int tick = 0; tick < 200; ++tick) {
    AdvanceOneStep(sim);
    const int nxt = sim.NextLevel;
    ASSERT_NEAR(SumOfSquaredSpeeds(sim, nxt), 100.0, 1e-10);
    for (int i = 1; i <= 40; ++i) {
      ASSERT_GE(sim.Pos[nxt][i].X, 0.5);
      ASSERT_LE(sim.Pos[nxt][i].X, 9.5);
      ASSERT_GE(sim.Pos[nxt][i].Y, 0.5);
      ASSERT_LE(sim.Pos[nxt][i].Y, 9.5);
    }
    ExchangeLevels(sim);
  }
}

TEST(AdvanceOneStep, ASystemWithoutForcesStaysAtRest) {
  Simulation single = WithParticles({{2.0, 3.0}});
  Simulation zero_step = WithParticles({{4.75, 5.0}, {5.25, 5.0}}, 0.0);
  for (Simulation* sim : {&single, &zero_step}) {
    for (int tick = 0; tick < 3; ++tick) {
      AdvanceOneStep(*sim);
      ExchangeLevels(*sim);
    }
    EXPECT_EQ(sim->Pos[sim->CurLevel][1].X, sim->Pos[sim->NextLevel][1].X);
    EXPECT_EQ(sim->Vel[sim->CurLevel][1].X, 0.0);
  }
  EXPECT_EQ(single.Pos[single.CurLevel][1].X, 2.0);
  EXPECT_EQ(zero_step.Pos[zero_step.CurLevel][2].X, 5.25);
}

TEST(UpdateVelocities, LeavesTinyVelocitiesUnscaled) {
  // S = sqrt(2 * 1e-12) * 0.1 is below 0.00001: the kick stands as it is.
  Simulation sim = WithParticles({{1.0, 1.0}, {8.0, 8.0}}, 1.0);
  sim.Force[1] = {1e-6, 0.0};
  sim.Force[2] = {0.0, -1e-6};
  UpdateVelocities(sim);
  EXPECT_EQ(sim.Vel[1][1].X, 1e-6);
  EXPECT_EQ(sim.Vel[1][2].Y, -1e-6);
}

TEST(UpdateVelocities, UsesANegativeTimeStepAsGiven) {
  Simulation sim = WithParticles({{4.75, 5.0}, {5.25, 5.0}}, -0.1);
  AdvanceOneStep(sim);
  // The kick is reversed (particle 1 goes right), the drift too.
  EXPECT_GT(sim.Vel[1][1].X, 0.0);
  EXPECT_LT(sim.Pos[1][1].X, 4.75);
}

TEST(ReflectAtWalls, ClampsOntoTheWallAndTurnsTheVelocityInwards) {
  Simulation sim = WithParticles({{}, {}, {}, {}, {}}, 0.1);
  const int nxt = sim.NextLevel;
  sim.Pos[nxt][1] = {0.3, 5.0};
  sim.Vel[nxt][1] = {-2.0, 1.0};
  sim.Pos[nxt][2] = {9.7, 5.0};
  sim.Vel[nxt][2] = {-2.0, 1.0};  // already heading back: keeps its direction
  sim.Pos[nxt][3] = {5.0, 0.2};
  sim.Vel[nxt][3] = {1.0, -3.0};
  sim.Pos[nxt][4] = {9.9, 9.8};
  sim.Vel[nxt][4] = {4.0, 5.0};
  sim.Pos[nxt][5] = {0.5, 9.5};  // exactly on the walls: left alone
  sim.Vel[nxt][5] = {-1.0, 1.0};
  ReflectAtWalls(sim);

  const struct {
    double x, y, vx, vy;
  } expected[] = {{0.5, 5.0, 2.0, 1.0},
                  {9.5, 5.0, -2.0, 1.0},
                  {5.0, 0.5, 1.0, 3.0},
                  {9.5, 9.5, -4.0, -5.0},
                  {0.5, 9.5, -1.0, 1.0}};
  for (int i = 1; i <= 5; ++i) {
    const auto& e = expected[i - 1];
    EXPECT_EQ(sim.Pos[nxt][i].X, e.x) << i;
    EXPECT_EQ(sim.Pos[nxt][i].Y, e.y) << i;
    EXPECT_EQ(sim.Vel[nxt][i].X, e.vx) << i;
    EXPECT_EQ(sim.Vel[nxt][i].Y, e.vy) << i;
  }
}

TEST(ExchangeLevels, TwiceRestoresBothIndices) {
  Simulation sim = WithParticles({{1.0, 1.0}});
  ExchangeLevels(sim);
  EXPECT_EQ(sim.CurLevel, 1);
  EXPECT_EQ(sim.NextLevel, 0);
  ExchangeLevels(sim);
  EXPECT_EQ(sim.CurLevel, 0);
  EXPECT_EQ(sim.NextLevel, 1);
}

TEST(AdvanceOneStep, AnAbsurdTimeStepRaisesOverflowAndKeepsTheShownLevelFinite) {
  for (double dt : {1e300, 1e308, -1e308}) {
    Simulation sim = WithParticles({{4.75, 5.0}, {5.25, 5.0}, {2.0, 2.0}}, dt);
    const int cur = sim.CurLevel;
    try {
      for (int tick = 0; tick < 10; ++tick) {
        AdvanceOneStep(sim);
        ExchangeLevels(sim);
      }
      ADD_FAILURE() << "no error for dt = " << dt;
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::kOverflow) << dt;
    }
    EXPECT_EQ(sim.CurLevel, cur);  // the failing step was the first one
    for (int i = 1; i <= 3; ++i) {
      EXPECT_TRUE(std::isfinite(sim.Pos[sim.CurLevel][i].X));
      EXPECT_TRUE(std::isfinite(sim.Pos[sim.CurLevel][i].Y));
    }
  }
}

}  // namespace
}  // namespace tessaly
