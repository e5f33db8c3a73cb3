// The force loop gives the same bits whatever the number of threads, and the
// same bits as the plain one-pair-at-a-time loop.
#include <gtest/gtest.h>
#include <omp.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>

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

void ExpectSameBits(const Simulation& got, const Simulation& want, const char* what) {
  for (int i = 1; i <= want.ParticleCount; ++i) {
    ASSERT_EQ(std::bit_cast<std::uint64_t>(got.Force[i].X),
              std::bit_cast<std::uint64_t>(want.Force[i].X))
        << what << ", particle " << i;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(got.Force[i].Y),
              std::bit_cast<std::uint64_t>(want.Force[i].Y))
        << what << ", particle " << i;
  }
}

class ForcesOnThreads : public ::testing::Test {
 protected:
  void TearDown() override { omp_set_num_threads(omp_get_num_procs()); }
};

TEST_F(ForcesOnThreads, MatchThePlainLoopBitForBit) {
  const struct {
    std::int16_t n;
    double lo, side;
  } cases[] = {{40, 1.0, 8.0},    {99, 1.0, 8.0},    {100, 1.0, 8.0}, {401, 0.5, 9.0},
               {500, 4.0, 2.0},   {800, 4.5, 1.0},   {1500, 1.0, 8.0}};
  const int max_threads = omp_get_num_procs();
  std::uint32_t seed = 1;
  for (const auto& c : cases) {
    const Simulation start = Arrangement(c.n, c.lo, c.side, seed++);
    Simulation want = start;
    reference::PlainForces(want);
    for (int threads : {1, 2, max_threads, 3}) {
      omp_set_num_threads(threads);
      Simulation got = start;
      ComputeForces(got);
      ExpectSameBits(got, want, ("n " + std::to_string(c.n) + ", threads " +
                                 std::to_string(threads)).c_str());
    }
  }
}

TEST_F(ForcesOnThreads, AnOverflowOnAnyThreadIsRaised) {
  // The far particle sits in the last rows, which the last thread computes.
  Simulation sim = Arrangement(300, 1.0, 8.0, 99);
  sim.Pos[0][300] = {1e30, 1e30};
  omp_set_num_threads(2);
  EXPECT_THROW(ComputeForces(sim), RuntimeError);
  // The flags of the failed call do not linger into the next one.
  Simulation fine = Arrangement(300, 1.0, 8.0, 99);
  EXPECT_NO_THROW(ComputeForces(fine));
}

}  // namespace
}  // namespace tessaly
