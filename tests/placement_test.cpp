#include "model/placement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <vector>

#include "platform/random.h"

namespace tessaly {
namespace {

// Hands out a fixed sequence of draws and counts what it is asked for.
class FixedDraws final : public RandomSource {
 public:
  explicit FixedDraws(std::vector<double> draws) : draws_(std::move(draws)) {}
  void SeedFromClock() override { ++seeds_; }
  double Next() override {
    if (next_ >= draws_.size()) {
      ADD_FAILURE() << "more than " << draws_.size() << " draws taken";
      return 0.0;
    }
    return draws_[next_++];
  }
  [[nodiscard]] std::size_t taken() const { return next_; }
  [[nodiscard]] int seeds() const { return seeds_; }

 private:
  std::vector<double> draws_;
  std::size_t next_ = 0;
  int seeds_ = 0;
};

// The draw u that places a coordinate at 8 u + 1 = x (exact for these x).
double DrawFor(double x) { return (x - 1.0) / 8.0; }

// Appends the two draws that place a candidate at (x, y).
void AddCandidate(std::vector<double>& draws, double x, double y) {
  draws.push_back(DrawFor(x));
  draws.push_back(DrawFor(y));
}

Simulation Fresh(std::int16_t n) {
  Simulation sim;
  InitSimulation(sim, n, 0.1);
  return sim;
}

TEST(PlaceParticles, OneParticleIsAcceptedOnItsFirstCandidate) {
  Simulation sim = Fresh(1);
  FixedDraws draws({0.25, 0.75});
  PlaceParticles(sim, draws);
  EXPECT_EQ(draws.seeds(), 1);
  EXPECT_EQ(draws.taken(), 2u);
  EXPECT_EQ(sim.Pos[0][1].X, 3.0);  // X is drawn first
  EXPECT_EQ(sim.Pos[0][1].Y, 7.0);
}

TEST(PlaceParticles, ZeroParticlesSeedButDrawNothing) {
  Simulation sim = Fresh(0);
  FixedDraws draws({});
  PlaceParticles(sim, draws);
  EXPECT_EQ(draws.seeds(), 1);
  EXPECT_EQ(draws.taken(), 0u);
}

TEST(PlaceParticles, RedrawsTooCloseCandidatesTwoDrawsEachAndAcceptsDistanceOne) {
  Simulation sim = Fresh(2);
  std::vector<double> d;
  AddCandidate(d, 5.0, 5.0);  // particle 1
  AddCandidate(d, 5.5, 5.0);  // too close: distance 0.5
  AddCandidate(d, 5.0, 5.0);  // on top of particle 1
  AddCandidate(d, 5.5, 5.75);  // squared distance 0.8125: still below 1
  AddCandidate(d, 6.0, 5.0);  // squared distance exactly 1: far enough
  FixedDraws draws(d);
  PlaceParticles(sim, draws);
  EXPECT_EQ(draws.taken(), 10u);
  EXPECT_EQ(sim.Pos[0][2].X, 6.0);
  EXPECT_EQ(sim.Pos[0][2].Y, 5.0);
}

TEST(PlaceParticles, OnlyTheFirstTenParticlesAreProtected) {
  Simulation sim = Fresh(14);
  std::vector<double> d;
  // Particles 1..10 on a grid two units apart.
  const double grid[10][2] = {{1, 1}, {3, 1}, {5, 1}, {7, 1}, {1, 3},
                              {3, 3}, {5, 3}, {7, 3}, {1, 5}, {3, 5}};
  for (const auto& p : grid) AddCandidate(d, p[0], p[1]);
  AddCandidate(d, 3.5, 5.0);  // particle 11 near particle 10: redrawn
  AddCandidate(d, 8.5, 8.5);  // particle 11
  AddCandidate(d, 8.5, 8.5);  // particle 12 on particle 11: accepted
  AddCandidate(d, 8.5, 8.5);  // particle 13 on 11 and 12: accepted
  AddCandidate(d, 1.0, 1.5);  // particle 14 near particle 1: redrawn
  AddCandidate(d, 8.0, 8.5);  // particle 14 near 11..13: accepted
  FixedDraws draws(d);
  PlaceParticles(sim, draws);
  EXPECT_EQ(draws.taken(), d.size());
  for (int p = 11; p <= 13; ++p) {
    EXPECT_EQ(sim.Pos[0][p].X, 8.5) << p;
    EXPECT_EQ(sim.Pos[0][p].Y, 8.5) << p;
  }
  EXPECT_EQ(sim.Pos[0][14].X, 8.0);
}

TEST(PlaceParticles, BeyondParticle101TheFirstTenStillProtect) {
  // 101 particles: the first ten on the grid, the other 91 all at (8.5, 8.5).
  // Particle 102 is first drawn onto particle 3, then onto the crowd.
  Simulation sim = Fresh(102);
  std::vector<double> d;
  for (int p = 1; p <= 10; ++p) AddCandidate(d, 1.0 + 2.0 * ((p - 1) % 4), 1.0 + 2.0 * ((p - 1) / 4));
  for (int p = 11; p <= 101; ++p) AddCandidate(d, 8.5, 8.5);
  AddCandidate(d, 5.0, 1.0);
  AddCandidate(d, 8.5, 8.5);
  FixedDraws draws(d);
  PlaceParticles(sim, draws);
  EXPECT_EQ(draws.taken(), d.size());
  EXPECT_EQ(sim.Pos[0][102].X, 8.5);
}

TEST(PlaceParticles, LargestDrawStaysInsideTheSquare) {
  Simulation sim = Fresh(1);
  FixedDraws draws({kLargestUniform, kLargestUniform});
  PlaceParticles(sim, draws);
  EXPECT_LT(sim.Pos[0][1].X, 9.0);
  EXPECT_LT(sim.Pos[0][1].Y, 9.0);
}

TEST(PlaceParticles, RandomArrangementsKeepEveryInvariant) {
  ClockRandom random;
  for (int run = 0; run < 300; ++run) {
    const std::int16_t n = run % 3 == 0 ? 150 : 40;
    Simulation sim = Fresh(n);
    PlaceParticles(sim, random);
    const std::vector<Vec2>& pos = sim.Pos[0];
    for (int p = 1; p <= n; ++p) {
      ASSERT_GE(pos[p].X, 1.0);
      ASSERT_LT(pos[p].X, 9.0);
      ASSERT_GE(pos[p].Y, 1.0);
      ASSERT_LT(pos[p].Y, 9.0);
      for (int q = 1; q <= std::min(p - 1, 10); ++q) {
        const double dx = pos[q].X - pos[p].X;
        const double dy = pos[q].Y - pos[p].Y;
        ASSERT_GE(dx * dx + dy * dy, 1.0) << "particles " << q << " and " << p;
      }
    }
    for (int level = 0; level < 2; ++level) {
      for (const Vec2& v : sim.Vel[level]) ASSERT_TRUE(v.X == 0.0 && v.Y == 0.0);
    }
    for (const Vec2& p : sim.Pos[1]) ASSERT_TRUE(p.X == 0.0 && p.Y == 0.0);
  }
}

TEST(PlaceParticles, TheLargestCountIsPlaced) {
  Simulation sim = Fresh(32767);
  ClockRandom random;
  PlaceParticles(sim, random);
  const Vec2& last = sim.Pos[0][32767];
  EXPECT_GE(last.X, 1.0);
  EXPECT_LT(last.X, 9.0);
}

TEST(PlaceParticles, AnArrangementFromTheClockComesAgainFromItsSeed) {
  ClockRandom clock_random;
  EXPECT_FALSE(clock_random.Seed().has_value()) << "no seed before the first placement";
  for (const std::int16_t n : {0, 1, 40, 400}) {
    Simulation from_clock = Fresh(n);
    PlaceParticles(from_clock, clock_random);
    ASSERT_TRUE(clock_random.Seed().has_value());
    FixedSeedRandom seeded(*clock_random.Seed());
    Simulation again = Fresh(n);
    PlaceParticles(again, seeded);
    for (int p = 0; p <= n; ++p) {
      ASSERT_EQ(std::bit_cast<std::uint64_t>(again.Pos[0][p].X),
                std::bit_cast<std::uint64_t>(from_clock.Pos[0][p].X)) << n << ": " << p;
      ASSERT_EQ(std::bit_cast<std::uint64_t>(again.Pos[0][p].Y),
                std::bit_cast<std::uint64_t>(from_clock.Pos[0][p].Y)) << n << ": " << p;
    }
  }
}

}  // namespace
}  // namespace tessaly
