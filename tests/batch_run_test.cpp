// The batch run: its frames are the model's states, step for step and bit for
// bit, as the window's ticks would have made them.
#include "batch/batch_run.h"

#include <gtest/gtest.h>

#include <bit>
#include <csignal>
#include <sstream>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/observables.h"
#include "model/placement.h"
#include "model/time_step.h"
#include "platform/random.h"
#include "xyz_reader.h"

namespace tessaly {
namespace {

using testing::ReadXyz;
using testing::XyzFrame;

bool SameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Fails the test unless `frame` holds exactly the current level of `sim`.
void ExpectFrameIs(const XyzFrame& frame, const Simulation& sim) {
  const int n = sim.ParticleCount;
  ASSERT_EQ(frame.pos.size(), static_cast<std::size_t>(n)) << "step " << frame.step;
  for (int i = 1; i <= n; ++i) {
    const Vec2& p = sim.Pos[sim.CurLevel][i];
    const Vec2& v = sim.Vel[sim.CurLevel][i];
    EXPECT_TRUE(SameBits(frame.pos[i - 1].X, p.X) && SameBits(frame.pos[i - 1].Y, p.Y))
        << "step " << frame.step << ", position of particle " << i;
    EXPECT_TRUE(SameBits(frame.vel[i - 1].X, v.X) && SameBits(frame.vel[i - 1].Y, v.Y))
        << "step " << frame.step << ", velocity of particle " << i;
  }
  EXPECT_TRUE(SameBits(frame.energy, PotentialEnergy(sim))) << "step " << frame.step;
}

struct Recorded {
  BatchOutcome outcome;
  std::string text;
  std::string table;
  std::vector<std::uint64_t> observed;
};

enum class Files { kXyz, kThermo, kBoth };

Recorded RunWith(const BatchSettings& settings, Files files = Files::kXyz) {
  Recorded run;
  FixedSeedRandom random(settings.seed.value_or(0));
  BatchSinks sinks;
  if (files != Files::kThermo) sinks.xyz = [&](const std::string& frame) { run.text += frame; };
  if (files != Files::kXyz) sinks.thermo = [&](const std::string& rows) { run.table += rows; };
  run.outcome = RunBatch(
      settings, random, sinks, [&](std::uint64_t done) { run.observed.push_back(done); }, nullptr);
  return run;
}

// The rows of a table as numbers, after checking its header.
std::vector<std::vector<double>> ReadTable(const std::string& table) {
  std::istringstream in(table);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "step,time,kinetic,potential,temperature,wall_pressure");
  std::vector<std::vector<double>> rows;
  while (std::getline(in, line)) {
    std::vector<double> row;
    std::istringstream fields(line);
    std::string field;
    while (std::getline(fields, field, ',')) row.push_back(testing::Number(field));
    EXPECT_EQ(row.size(), 6u) << line;
    rows.push_back(row);
  }
  return rows;
}

BatchSettings Settings(std::int16_t count, double dt, std::uint64_t steps, std::uint64_t every,
                       std::uint64_t seed) {
  BatchSettings settings;
  settings.count = count;
  settings.time_step = dt;
  settings.steps = steps;
  settings.every = every;
  settings.seed = seed;
  return settings;
}

// The window's way: Run places from the seed, each tick steps and exchanges.
Simulation Placed(std::int16_t count, double dt, std::uint64_t seed) {
  Simulation sim;
  InitSimulation(sim, count, dt);
  FixedSeedRandom random(seed);
  PlaceParticles(sim, random);
  return sim;
}

void Tick(Simulation& sim) {
  AdvanceOneStep(sim);
  ExchangeLevels(sim);
}

TEST(RunBatch, FirstFrameIsThePlacementForTheSeedAtRest) {
  const Recorded run = RunWith(Settings(40, 0.1, 0, 1, 2024));
  const auto frames = ReadXyz(run.text);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].step, 0u);
  EXPECT_EQ(frames[0].time, 0.0);
  ExpectFrameIs(frames[0], Placed(40, 0.1, 2024));
  for (const Vec2& v : frames[0].vel) EXPECT_TRUE(v.X == 0.0 && v.Y == 0.0);
  EXPECT_EQ(run.outcome.end, BatchEnd::kFinished);
}

TEST(RunBatch, FrameKIsKStepsOfTheModelBitForBit) {
  constexpr std::uint64_t kSteps = 60;
  const Recorded run = RunWith(Settings(40, 0.1, kSteps, 1, 7));
  const auto frames = ReadXyz(run.text);
  ASSERT_EQ(frames.size(), kSteps + 1);
  Simulation sim = Placed(40, 0.1, 7);
  for (std::uint64_t k = 0; k <= kSteps; ++k) {
    EXPECT_EQ(frames[k].step, k);
    EXPECT_TRUE(SameBits(frames[k].time, static_cast<double>(k) * 0.1)) << k;
    ExpectFrameIs(frames[k], sim);
    Tick(sim);
  }
  EXPECT_EQ(run.outcome.steps_done, kSteps);
  EXPECT_EQ(run.outcome.frames, kSteps + 1);
  EXPECT_EQ(run.outcome.last_frame_step, kSteps);
}

TEST(RunBatch, EveryMthStepAfterTheFirstFrame) {
  const Recorded run = RunWith(Settings(12, 0.05, 10, 3, 11));
  const auto frames = ReadXyz(run.text);
  ASSERT_EQ(frames.size(), 4u);  // steps 0, 3, 6, 9; step 10 is no multiple of 3
  Simulation sim = Placed(12, 0.05, 11);
  for (std::uint64_t k = 0, f = 0; k <= 10; ++k) {
    if (k % 3 == 0) {
      ASSERT_EQ(frames[f].step, k);
      ExpectFrameIs(frames[f++], sim);
    }
    Tick(sim);
  }
  EXPECT_EQ(run.outcome.last_frame_step, 9u);
  EXPECT_EQ(run.observed.size(), 10u);
  EXPECT_EQ(run.observed.back(), 10u);
}

TEST(RunBatch, TheTableHoldsTheModelsOwnValuesForEveryFrame) {
  // Dense enough that the walls turn particles back from the first steps.
  constexpr std::uint64_t kSteps = 150;
  const Recorded run = RunWith(Settings(200, 0.05, kSteps, 5, 8), Files::kBoth);
  const auto rows = ReadTable(run.table);
  ASSERT_EQ(rows.size(), kSteps / 5 + 1);
  ASSERT_EQ(ReadXyz(run.text).size(), rows.size());
  Simulation sim = Placed(200, 0.05, 8);
  WallMomentumHistory walls;
  bool pushed = false;
  for (std::uint64_t k = 0; k <= kSteps; ++k) {
    if (k % 5 == 0) {
      const std::vector<double>& row = rows[k / 5];
      EXPECT_EQ(row[0], static_cast<double>(k));
      EXPECT_TRUE(SameBits(row[1], static_cast<double>(k) * 0.05)) << k;
      EXPECT_TRUE(SameBits(row[2], KineticEnergy(sim))) << k;
      EXPECT_TRUE(SameBits(row[3], PotentialEnergy(sim))) << k;
      EXPECT_TRUE(SameBits(row[4], Temperature(sim))) << k;
      EXPECT_TRUE(SameBits(row[5], WallPressure(walls, 0.05))) << k;
      pushed = pushed || row[5] > 0;
    }
    double momentum = 0.0;
    AdvanceOneStep(sim, nullptr, &momentum);
    ExchangeLevels(sim);
    RecordWallMomentum(walls, momentum);
  }
  EXPECT_EQ(rows[0][5], 0.0);  // no step yet
  EXPECT_TRUE(pushed);
  // The table alone is the same table, and measuring leaves the trajectory as
  // it was without it.
  EXPECT_EQ(RunWith(Settings(200, 0.05, kSteps, 5, 8), Files::kThermo).table, run.table);
  EXPECT_EQ(RunWith(Settings(200, 0.05, kSteps, 5, 8), Files::kXyz).text, run.text);
}

TEST(RunBatch, OneSeedGivesTheSameTrajectoryAnotherSeedAnother) {
  const Recorded a = RunWith(Settings(30, 0.1, 20, 1, 5));
  const Recorded b = RunWith(Settings(30, 0.1, 20, 1, 5));
  const Recorded c = RunWith(Settings(30, 0.1, 20, 1, 6));
  EXPECT_EQ(a.text, b.text);
  EXPECT_NE(a.text, c.text);
}

TEST(RunBatch, NoParticlesAndNoStepsStillWriteTheInitialFrame) {
  const Recorded run = RunWith(Settings(0, 0.1, 5, 1, 1));
  const auto frames = ReadXyz(run.text);
  ASSERT_EQ(frames.size(), 6u);
  EXPECT_TRUE(frames.back().pos.empty());
}

TEST(RunBatch, AStopRequestEndsAfterAWholeStepWithCompleteFrames) {
  volatile std::sig_atomic_t stop = 0;
  Recorded run;
  FixedSeedRandom random(3);
  run.outcome = RunBatch(
      Settings(20, 0.1, 1000, 2, 3), random,
      BatchSinks{[&](const std::string& frame) { run.text += frame; }, {}},
      [&](std::uint64_t done) {
        if (done == 7) stop = SIGINT;
      },
      &stop);
  EXPECT_EQ(run.outcome.end, BatchEnd::kInterrupted);
  EXPECT_EQ(run.outcome.steps_done, 7u);
  EXPECT_EQ(run.outcome.last_frame_step, 6u);
  const auto frames = ReadXyz(run.text);
  ASSERT_EQ(frames.size(), 4u);  // steps 0, 2, 4, 6
  Simulation sim = Placed(20, 0.1, 3);
  for (int k = 0; k < 6; ++k) Tick(sim);
  ExpectFrameIs(frames.back(), sim);
}

TEST(RunBatch, AnArithmeticErrorIsAFailureAndKeepsTheFramesBeforeIt) {
  // Far too large a step: the first drift overflows.
  const Recorded run = RunWith(Settings(10, 1e300, 5, 1, 9));
  EXPECT_EQ(run.outcome.end, BatchEnd::kFailed);
  EXPECT_EQ(run.outcome.error, ErrorKind::kOverflow);
  EXPECT_EQ(run.outcome.failed_step, 1u);
  EXPECT_EQ(run.outcome.steps_done, 0u);
  const auto frames = ReadXyz(run.text);
  ASSERT_EQ(frames.size(), 1u);
  ExpectFrameIs(frames[0], Placed(10, 1e300, 9));
}

TEST(RunBatch, ATimeBeyondADoubleIsAnOverflowNotInf) {
  // One particle never moves, so only k * DT can overflow.
  const Recorded run = RunWith(Settings(1, 1e308, 3, 1, 1));
  EXPECT_EQ(run.outcome.end, BatchEnd::kFailed);
  EXPECT_EQ(run.outcome.error, ErrorKind::kOverflow);
  EXPECT_EQ(run.outcome.failed_step, 2u);
  EXPECT_EQ(ReadXyz(run.text).size(), 2u);
  EXPECT_EQ(run.text.find("inf"), std::string::npos);
}

TEST(RunBatch, AFailingSinkEndsTheRun) {
  FixedSeedRandom random(1);
  int frames = 0;
  const auto sink = [&](const std::string&) {
    if (++frames == 3) throw std::runtime_error("disk full");
  };
  EXPECT_THROW((void)RunBatch(Settings(5, 0.1, 10, 1, 1), random, BatchSinks{sink, {}}, {}, nullptr),
               std::runtime_error);
  EXPECT_EQ(frames, 3);
}

}  // namespace
}  // namespace tessaly
