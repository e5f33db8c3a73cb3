#include "model/simulation.h"

#include <gtest/gtest.h>

#include "model/time_step.h"
#include "platform/errors.h"

namespace tessaly {
namespace {

void ExpectAllZero(const std::vector<Vec2>& table) {
  for (const Vec2& v : table) {
    EXPECT_EQ(v.X, 0.0);
    EXPECT_EQ(v.Y, 0.0);
  }
}

TEST(InitSimulation, AnEmptyRecordHasNoTables) {
  const Simulation sim;
  EXPECT_EQ(sim.ParticleCount, 0);
  EXPECT_TRUE(sim.Pos[0].empty() && sim.Pos[1].empty() && sim.Force.empty());
  EXPECT_EQ(sim.Mass, 0.0);
  EXPECT_EQ(sim.CurLevel, 0);
  EXPECT_EQ(sim.NextLevel, 0);
}

TEST(InitSimulation, SetsConstantsAndZeroTablesOfNPlusOneEntries) {
  Simulation sim;
  InitSimulation(sim, 40, 0.1);
  EXPECT_EQ(sim.ParticleCount, 40);
  EXPECT_EQ(sim.TimeStep, 0.1);
  EXPECT_EQ(sim.CoefA, -48.0);
  EXPECT_EQ(sim.CoefB, 24.0);
  EXPECT_EQ(sim.Mass, 1.0);
  EXPECT_EQ(sim.CurLevel, 0);
  EXPECT_EQ(sim.NextLevel, 1);
  for (int level = 0; level < 2; ++level) {
    EXPECT_EQ(sim.Pos[level].size(), 41u);
    EXPECT_EQ(sim.Vel[level].size(), 41u);
    ExpectAllZero(sim.Pos[level]);
    ExpectAllZero(sim.Vel[level]);
  }
  EXPECT_EQ(sim.Force.size(), 41u);
  ExpectAllZero(sim.Force);
}

TEST(InitSimulation, ZeroAndTheLargestCountAreValid) {
  Simulation sim;
  InitSimulation(sim, 0, 0.1);
  EXPECT_EQ(sim.ParticleCount, 0);
  EXPECT_EQ(sim.Force.size(), 1u);
  EXPECT_EQ(sim.Pos[0].size(), 1u);
  EXPECT_EQ(sim.Vel[1].size(), 1u);

  InitSimulation(sim, 32767, 0.1);
  EXPECT_EQ(sim.Force.size(), 32768u);
  EXPECT_EQ(sim.Pos[1].size(), 32768u);
  EXPECT_EQ(sim.Vel[0].size(), 32768u);
}

TEST(InitSimulation, StoresTheTimeStepUnchanged) {
  Simulation sim;
  for (double dt : {0.0, -0.25, 1e300, 0.1}) {
    InitSimulation(sim, 3, dt);
    EXPECT_EQ(sim.TimeStep, dt);
  }
}

TEST(InitSimulation, ASecondCallLeavesNoTraceOfTheFirst) {
  Simulation sim;
  InitSimulation(sim, 5, 0.1);
  sim.Vel[0][3] = {1.0, 2.0};
  sim.Vel[1][5] = {3.0, 4.0};
  sim.Pos[1][2] = {5.0, 6.0};
  sim.Force[1] = {7.0, 8.0};
  ExchangeLevels(sim);  // an odd number of exchanges

  InitSimulation(sim, 5, 0.2);
  EXPECT_EQ(sim.CurLevel, 0);
  EXPECT_EQ(sim.NextLevel, 1);
  ExpectAllZero(sim.Vel[0]);
  ExpectAllZero(sim.Vel[1]);
  ExpectAllZero(sim.Pos[1]);
  ExpectAllZero(sim.Force);
}

TEST(InitSimulation, NegativeCountRaisesAndKeepsThePreviousRun) {
  Simulation sim;
  InitSimulation(sim, 4, 0.1);
  sim.Pos[0][2] = {3.0, 4.0};
  for (std::int16_t n : {std::int16_t{-1}, std::int16_t{-32768}}) {
    try {
      InitSimulation(sim, n, 0.5);
      ADD_FAILURE() << "no error for " << n;
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::kOutOfRange);
    }
  }
  EXPECT_EQ(sim.ParticleCount, 4);
  EXPECT_EQ(sim.TimeStep, 0.1);
  EXPECT_EQ(sim.Pos[0][2].X, 3.0);
}

}  // namespace
}  // namespace tessaly
