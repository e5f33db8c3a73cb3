// A step abandoned through its stop flag: nothing more is computed once the
// flag is set, and the state the step started from stays whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include "model/forces.h"
#include "model/placement.h"
#include "model/time_step.h"
#include "platform/random.h"

namespace tessaly {
namespace {

constexpr double kUnwritten = std::numeric_limits<double>::quiet_NaN();

// `n` placed particles, with Force and level NextLevel holding a value no
// step writes, so that whatever a step writes shows.
Simulation Marked(std::int16_t n) {
  Simulation sim;
  InitSimulation(sim, n, 0.1);
  ClockRandom random;
  PlaceParticles(sim, random);
  for (int i = 1; i <= n; ++i) {
    sim.Force[i] = {kUnwritten, kUnwritten};
    sim.Pos[sim.NextLevel][i] = {kUnwritten, kUnwritten};
    sim.Vel[sim.NextLevel][i] = {kUnwritten, kUnwritten};
  }
  return sim;
}

int RowsWritten(const Simulation& sim) {
  int rows = 0;
  for (int i = 1; i <= sim.ParticleCount; ++i) rows += std::isnan(sim.Force[i].X) ? 0 : 1;
  return rows;
}

bool NextLevelUnwritten(const Simulation& sim) {
  for (int i = 1; i <= sim.ParticleCount; ++i) {
    if (!std::isnan(sim.Pos[sim.NextLevel][i].X) || !std::isnan(sim.Vel[sim.NextLevel][i].X)) {
      return false;
    }
  }
  return true;
}

TEST(StopFlag, ASetFlagStopsTheStepBeforeItsFirstRow) {
  // Below and above the count from which the rows are spread over threads.
  for (std::int16_t n : {40, 400}) {
    Simulation sim = Marked(n);
    const Simulation start = sim;
    const StopFlag stop{true};
    EXPECT_NO_THROW(AdvanceOneStep(sim, &stop)) << n;
    EXPECT_EQ(RowsWritten(sim), 0) << n;
    EXPECT_TRUE(NextLevelUnwritten(sim)) << n;
    for (int i = 1; i <= n; ++i) {
      ASSERT_EQ(sim.Pos[sim.CurLevel][i].X, start.Pos[start.CurLevel][i].X) << n;
    }
    EXPECT_EQ(sim.CurLevel, 0);
  }
}

TEST(StopFlag, AClearFlagChangesNoBitOfTheStep) {
  Simulation with_flag = Marked(400);
  Simulation without = with_flag;
  const StopFlag stop{false};
  AdvanceOneStep(with_flag, &stop);
  AdvanceOneStep(without);
  EXPECT_EQ(RowsWritten(with_flag), 400);
  for (int i = 1; i <= 400; ++i) {
    ASSERT_EQ(with_flag.Force[i].X, without.Force[i].X) << i;
    ASSERT_EQ(with_flag.Pos[1][i].X, without.Pos[1][i].X) << i;
    ASSERT_EQ(with_flag.Vel[1][i].Y, without.Vel[1][i].Y) << i;
  }
}

TEST(StopFlag, AFlagSetFromAnotherThreadEndsTheLargestStepEarly) {
  // A whole step of this count takes seconds; the flag is set a moment in.
  Simulation sim = Marked(32767);
  StopFlag stop{false};
  std::atomic<bool> returned{false};
  std::thread stepper([&] {
    AdvanceOneStep(sim, &stop);
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  stop = true;
  stepper.join();
  EXPECT_TRUE(returned);
  EXPECT_LT(RowsWritten(sim), 32767);
  EXPECT_TRUE(NextLevelUnwritten(sim));
}

// The most threads at work on the forces at once during `steps` steps.
int MostThreadsAtWork(Simulation& sim, int steps) {
  std::atomic<bool> done{false};
  int most = 0;
  std::thread watcher([&] {
    while (!done) {
      most = std::max(most, ForceThreadsAtWork().load());
      std::this_thread::sleep_for(std::chrono::microseconds(100));  // leaves the cores to the steps
    }
  });
  for (int k = 0; k < steps; ++k) AdvanceOneStep(sim);
  done = true;
  watcher.join();
  return most;
}

TEST(StopFlag, AStoppedStepLeavesNoThreadAtWorkAndTheNextRunsOnEveryThread) {
  const int threads = ForceThreads();
  if (threads < 2) GTEST_SKIP() << "one thread only";
  Simulation sim = Marked(4000);
  // A thread of an earlier call may have been left out for a while.
  for (int k = 0; k < 70 && MostThreadsAtWork(sim, 1) < threads; ++k) {
  }
  Simulation large = Marked(32767);
  StopFlag stop{false};
  std::thread stepper([&] { AdvanceOneStep(large, &stop); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  stop = true;
  stepper.join();
  EXPECT_EQ(ForceThreadsAtWork().load(), 0);
  // Its threads left their tiles early, every one: no thread is left out of
  // the steps after it for that.
  EXPECT_EQ(MostThreadsAtWork(sim, 3), threads);
}

}  // namespace
}  // namespace tessaly
