// The force loop gives the same bits as the plain one-pair-at-a-time loop by
// every route: fast powers or std::pow, on every vector set the processor
// has, on any number of threads.
#include <gtest/gtest.h>
#include <omp.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "model/forces.h"
#include "platform/errors.h"
#include "reference/plain_forces.h"

namespace tessaly {
namespace {

// n particles uniform on [lo, lo + side)^2: side 2 packs hundreds of pairs
// below distance 1, side 9 spreads them over the box.
Simulation Arrangement(std::int16_t n, double lo, double side, std::uint32_t seed) {
  Simulation sim;
  InitSimulation(sim, n, 0.1);
  std::mt19937_64 engine(seed);
  std::uniform_real_distribution<double> u(lo, lo + side);
  for (int i = 1; i <= n; ++i) sim.Pos[0][i] = {u(engine), u(engine)};
  if (n >= 4) sim.Pos[0][n] = sim.Pos[0][1];  // one coincident pair
  return sim;
}

// A grid with spacings of exactly 1, 2 and 4 (powers of two: where the
// spacing of doubles changes and the fast route defers to std::pow), rows at
// distance 1 (the clamp's edge) and a pair just below it.
Simulation Lattice() {
  std::vector<Vec2> points;
  for (int y = 0; y < 3; ++y) {
    for (double x : {1.0, 2.0, 3.0, 5.0, 9.0}) points.push_back({x, 1.0 + y});
  }
  points.push_back({7.0, 7.0});
  points.push_back({7.0 + std::nextafter(1.0, 0.0), 7.0});
  Simulation sim;
  InitSimulation(sim, static_cast<std::int16_t>(points.size()), 0.1);
  for (std::size_t k = 0; k < points.size(); ++k) sim.Pos[0][k + 1] = points[k];
  return sim;
}

::testing::AssertionResult SameBits(const Simulation& got, const Simulation& want) {
  auto bits = [](double x) { return std::bit_cast<std::uint64_t>(x); };
  for (int i = 1; i <= want.ParticleCount; ++i) {
    const Vec2 g = got.Force[i];
    const Vec2 w = want.Force[i];
    if (bits(g.X) != bits(w.X) || bits(g.Y) != bits(w.Y)) {
      return ::testing::AssertionFailure() << "particle " << i << ": (" << g.X << ", " << g.Y
                                           << ") instead of (" << w.X << ", " << w.Y << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

struct Route {
  PowerRoute powers;
  VectorSet set;
};

std::string Name(const Route& route) {
  const char* powers = route.powers == PowerRoute::kFast      ? "fast"
                       : route.powers == PowerRoute::kLibrary ? "std::pow"
                                                              : "checked";
  return std::string(powers) + " powers on " + VectorSetName(route.set);
}

// Every route this processor can take: the fast powers on each vector set,
// std::pow (the same on every set), and the program's own choice.
std::vector<Route> Routes() {
  std::vector<Route> routes;
  for (VectorSet set :
       {VectorSet::kScalar, VectorSet::kBaseline, VectorSet::kAvx2, VectorSet::kAvx512}) {
    if (set <= BestVectorSet()) routes.push_back({PowerRoute::kFast, set});
  }
  routes.push_back({PowerRoute::kLibrary, BestVectorSet()});
  routes.push_back({PowerRoute::kChecked, BestVectorSet()});
  return routes;
}

class ForcesOnEveryRoute : public ::testing::Test {
 protected:
  void Take(const Route& route) {
    SetPowerRoute(route.powers);
    SetVectorSet(route.set);
  }
  // ComputeForces on every route and on 1, all and 3 threads gives the
  // plain loop's bits for `start`.
  void ExpectThePlainBitsEverywhere(const Simulation& start) {
    Simulation want = start;
    reference::PlainForces(want);
    for (const Route& route : Routes()) {
      Take(route);
      for (int threads : {1, omp_get_num_procs(), 3}) {
        omp_set_num_threads(threads);
        Simulation got = start;
        ComputeForces(got);
        ASSERT_TRUE(SameBits(got, want)) << "n " << start.ParticleCount << ", " << Name(route)
                                         << ", threads " << threads;
      }
    }
  }
  void TearDown() override {
    omp_set_num_threads(omp_get_num_procs());
    SetPowerRoute(PowerRoute::kChecked);
    SetVectorSet(BestVectorSet());
  }
};

TEST_F(ForcesOnEveryRoute, MatchThePlainLoopBitForBit) {
  const struct {
    std::int16_t n;
    double lo, side;
  } cases[] = {{40, 1.0, 8.0},  {99, 1.0, 8.0},  {100, 1.0, 8.0}, {401, 0.5, 9.0},
               {500, 4.0, 2.0}, {800, 4.5, 1.0}, {1500, 1.0, 8.0}};
  std::uint32_t seed = 1;
  for (const auto& c : cases) {
    ExpectThePlainBitsEverywhere(Arrangement(c.n, c.lo, c.side, seed++));
    if (HasFatalFailure()) return;
  }
}

TEST_F(ForcesOnEveryRoute, MatchAtEveryCountAroundTheBlocksOfRows) {
  // Rows go side by side in blocks of 8; the last block is padded. The
  // counts past 100 run on several threads.
  for (std::int16_t n : {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 33, 47, 63, 64, 65, 101, 113, 130}) {
    const Simulation start = Arrangement(n, 1.0, 6.0, 100u + static_cast<std::uint32_t>(n));
    Simulation want = start;
    reference::PlainForces(want);
    for (const Route& route : Routes()) {
      Take(route);
      Simulation got = start;
      got.Force.assign(got.Force.size(), Vec2{7.0, 7.0});  // stale contents are overwritten
      ComputeForces(got);
      ASSERT_TRUE(SameBits(got, want)) << "n " << n << ", " << Name(route);
      EXPECT_EQ(got.Force[0].X, 7.0) << "entry 0 is never written";
    }
  }
}

TEST_F(ForcesOnEveryRoute, MatchAtTheEdgesOfTheTiles) {
  // Each pair is worked out once, in tiles of up to 256 rows, 48 and more
  // when the tiles are shared among threads: counts that fill their last
  // tile exactly, leave one row over, or one row short, on one thread and
  // on several.
  for (std::int16_t n : {255, 256, 257, 480, 481, 768, 769, 4095, 4097}) {
    ExpectThePlainBitsEverywhere(Arrangement(n, 0.5, 9.0, 300u + static_cast<std::uint32_t>(n)));
    if (HasFatalFailure()) return;
  }
}

TEST_F(ForcesOnEveryRoute, MatchAtTheLargestCount) {
  // The plain loop takes half a minute here; the rows it is held to are the
  // first and last of tiles, the very first and last, and a spread between.
  constexpr std::int16_t kLargest = 32767;
  const Simulation start = Arrangement(kLargest, 0.5, 9.0, 77);
  std::vector<std::int32_t> rows = {1, 2, 255, 256, 257, 16384, 32511, 32512, 32513, 32766, 32767};
  for (std::int32_t i = 97; i < kLargest; i += 1021) rows.push_back(i);
  Simulation got = start;
  ComputeForces(got);
  for (std::int32_t i : rows) {
    Vec2 want{};
    for (std::int32_t j = 1; j <= kLargest; ++j) {
      if (j == i) continue;
      want = reference::PlainPairTerm(start, i, j, want);
    }
    ASSERT_EQ(std::bit_cast<std::uint64_t>(got.Force[i].X), std::bit_cast<std::uint64_t>(want.X))
        << "row " << i;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(got.Force[i].Y), std::bit_cast<std::uint64_t>(want.Y))
        << "row " << i;
  }
}

TEST_F(ForcesOnEveryRoute, MatchOnALatticeOfExactDistances) {
  const Simulation start = Lattice();
  Simulation want = start;
  reference::PlainForces(want);
  for (const Route& route : Routes()) {
    Take(route);
    Simulation got = start;
    ComputeForces(got);
    ASSERT_TRUE(SameBits(got, want)) << Name(route);
  }
}

TEST_F(ForcesOnEveryRoute, AnOverflowOnAnyThreadIsRaised) {
  for (const Route& route : Routes()) {
    Take(route);
    // The far particle sits in the last rows, which the last thread computes,
    // and in a padded block of rows.
    for (std::int16_t n : {300, 17}) {
      Simulation sim = Arrangement(n, 1.0, 8.0, 99);
      sim.Pos[0][n] = {1e30, 1e30};
      omp_set_num_threads(2);
      try {
        ComputeForces(sim);
        ADD_FAILURE() << "no error, " << Name(route);
      } catch (const RuntimeError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::kOverflow) << Name(route);
      }
      // The flags of the failed call do not linger into the next one.
      Simulation fine = Arrangement(n, 1.0, 8.0, 99);
      EXPECT_NO_THROW(ComputeForces(fine)) << Name(route);
    }
  }
}

TEST_F(ForcesOnEveryRoute, TheProgramTakesTheFastPowersWhenTheLibraryAgrees) {
  SetPowerRoute(PowerRoute::kChecked);
  SetVectorSet(BestVectorSet());
  EXPECT_TRUE(FastPowersInUse());  // glibc's pow keeps its stated bound
  SetPowerRoute(PowerRoute::kLibrary);
  EXPECT_FALSE(FastPowersInUse());
}

TEST_F(ForcesOnEveryRoute, AVectorSetBeyondTheProcessorIsLowered) {
  SetVectorSet(VectorSet::kAvx512);
  EXPECT_LE(CurrentVectorSet(), BestVectorSet());
  SetVectorSet(VectorSet::kBaseline);
  EXPECT_EQ(CurrentVectorSet(), VectorSet::kBaseline);
}

}  // namespace
}  // namespace tessaly
