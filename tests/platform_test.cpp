// Random numbers, colours, the floating-point error checks and the state of
// the vector registers.
#include <cpuid.h>
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "platform/colour.h"
#include "platform/errors.h"
#include "platform/fp_check.h"
#include "platform/random.h"
#include "platform/vector_state.h"

namespace tessaly {
namespace {

TEST(ClockRandom, DrawsMultiplesOfTwoToTheMinus52BelowOne) {
  ClockRandom random;
  random.SeedFromClock();
  double lowest = 1.0;
  double highest = 0.0;
  for (int k = 0; k < 200000; ++k) {
    const double u = random.Next();
    ASSERT_GE(u, 0.0);
    ASSERT_LE(u, kLargestUniform);
    ASSERT_EQ(std::ldexp(u, 52), std::floor(std::ldexp(u, 52))) << u;
    lowest = std::min(lowest, u);
    highest = std::max(highest, u);
  }
  // Uniform on [0, 1): 200000 draws reach both ends closely.
  EXPECT_LT(lowest, 0.001);
  EXPECT_GT(highest, 0.999);
}

TEST(ClockRandom, LargestDrawKeepsAPlacedCoordinateBelowNine) {
  EXPECT_LT(kLargestUniform, 1.0);
  EXPECT_LT(8.0 * kLargestUniform + 1.0, 9.0);
  // One step of 2^-53 closer to 1 would already round onto 9.
  EXPECT_EQ(8.0 * (1.0 - 0x1.0p-53) + 1.0, 9.0);
}

TEST(ClockRandom, ReseedingAMomentLaterGivesAnotherSequence) {
  ClockRandom a;
  ClockRandom b;
  a.SeedFromClock();
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  b.SeedFromClock();
  int same = 0;
  for (int k = 0; k < 8; ++k) same += a.Next() == b.Next();
  EXPECT_LT(same, 8);
}

TEST(ClockRandom, EachReseedNamesTheSeedItStartedFrom) {
  ClockRandom random;
  std::vector<std::uint64_t> seeds;
  for (int k = 0; k < 3; ++k) {
    random.SeedFromClock();
    ASSERT_TRUE(random.Seed().has_value());
    seeds.push_back(*random.Seed());
    FixedSeedRandom again(seeds.back());
    for (int draw = 0; draw < 16; ++draw) ASSERT_EQ(random.Next(), again.Next()) << k << ", " << draw;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_NE(seeds[0], seeds[1]);
  EXPECT_NE(seeds[1], seeds[2]);
}

TEST(SeedText, WritesAll64BitsInDecimal) {
  EXPECT_EQ(SeedText(0), "0");
  EXPECT_EQ(SeedText(7), "7");
  // Beyond 2^53, where a JavaScript Number would round.
  EXPECT_EQ(SeedText((std::uint64_t{1} << 53) + 1), "9007199254740993");
  EXPECT_EQ(SeedText(~std::uint64_t{0}), "18446744073709551615");
}

TEST(FixedSeedRandom, EveryReseedRestartsFromTheSeedNotTheClock) {
  FixedSeedRandom random(42);
  random.SeedFromClock();
  std::vector<double> first;
  for (int k = 0; k < 16; ++k) first.push_back(random.Next());
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  random.SeedFromClock();
  for (int k = 0; k < 16; ++k) EXPECT_EQ(random.Next(), first[k]) << k;
  // The values are ClockRandom's for that seed: same range, same grid.
  ClockRandom plain(42);
  for (int k = 0; k < 16; ++k) EXPECT_EQ(plain.Next(), first[k]) << k;
}

TEST(FixedSeedRandom, DifferentSeedsGiveDifferentSequences) {
  FixedSeedRandom a(0);
  FixedSeedRandom b(1);
  FixedSeedRandom c(~std::uint64_t{0});
  int same = 0;
  for (int k = 0; k < 8; ++k) {
    const double x = a.Next();
    const double y = b.Next();
    const double z = c.Next();
    same += (x == y) + (y == z) + (x == z);
    EXPECT_LE(z, kLargestUniform);
  }
  EXPECT_EQ(same, 0);
}

TEST(Rgb, ComposesRedPlus256GreenPlus65536Blue) {
  EXPECT_EQ(Rgb(0, 0, 0), 0);
  EXPECT_EQ(Rgb(255, 255, 255), 16777215);
  EXPECT_EQ(Rgb(1, 2, 3), 1 + 512 + 196608);
  constexpr Colour c = Rgb(12, 34, 56);
  EXPECT_EQ(RedOf(c), 12);
  EXPECT_EQ(GreenOf(c), 34);
  EXPECT_EQ(BlueOf(c), 56);
}

// Saves and restores the floating-point environment around each test.
class FpCheck : public ::testing::Test {
 protected:
  void SetUp() override { std::feholdexcept(&saved_); }
  void TearDown() override { std::fesetenv(&saved_); }

  static ErrorKind KindAfter(int raised) {
    ClearFpErrors();
    std::feraiseexcept(raised);
    try {
      ThrowIfFpError();
    } catch (const RuntimeError& e) {
      return e.kind();
    }
    ADD_FAILURE() << "no error for flags " << raised;
    return ErrorKind::kOutOfRange;
  }

 private:
  std::fenv_t saved_;
};

TEST_F(FpCheck, NamesEachErrorFlag) {
  EXPECT_EQ(KindAfter(FE_OVERFLOW), ErrorKind::kOverflow);
  EXPECT_EQ(KindAfter(FE_DIVBYZERO), ErrorKind::kDivisionByZero);
  EXPECT_EQ(KindAfter(FE_INVALID), ErrorKind::kInvalidOperation);
  // An overflow is the root of what follows it (inf - inf is invalid).
  EXPECT_EQ(KindAfter(FE_OVERFLOW | FE_INVALID), ErrorKind::kOverflow);
  EXPECT_EQ(ErrorKindName(ErrorKind::kDivisionByZero), "division by zero");
  EXPECT_STREQ(RuntimeError(ErrorKind::kInvalidOperation).what(), "invalid operation");
}

TEST_F(FpCheck, IgnoresUnderflowAndInexactAndClearedFlags) {
  ClearFpErrors();
  std::feraiseexcept(FE_UNDERFLOW | FE_INEXACT);
  EXPECT_NO_THROW(ThrowIfFpError());

  volatile double big = std::numeric_limits<double>::max();
  volatile double product = big * 2.0;  // raises the overflow flag
  (void)product;
  EXPECT_NE(PendingFpErrors(), 0);
  ClearFpErrors();
  EXPECT_NO_THROW(ThrowIfFpError());
}

// Writes all 256 bits of ymm0 and returns as foreign code does that leaves
// the upper halves dirty: without VZEROUPPER (which the compiler would add to
// a function of its own).
asm(".pushsection .text\n"
    "tessaly_test_dirty_upper_halves:\n"
    "  vpcmpeqd %ymm0, %ymm0, %ymm0\n"
    "  ret\n"
    ".popsection\n");
extern "C" void tessaly_test_dirty_upper_halves();

// The processor's own record (XGETBV with ECX = 1, bit 2): whether the upper
// halves of the ymm registers may hold anything.
bool UpperHalvesInUse() {
  unsigned lo = 0, hi = 0;
  asm volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(1));
  return (lo & 4u) != 0;
}

bool CanWatchUpperHalves() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  // CPUID leaf 0Dh, sub-leaf 1, EAX bit 2: XGETBV with ECX = 1 exists.
  return __builtin_cpu_supports("avx") && __get_cpuid_count(0xd, 1, &a, &b, &c, &d) != 0 &&
         (a & 4u) != 0;
}

TEST(ClearUpperVectorState, LeavesTheUpperHalvesUnused) {
  if (!CanWatchUpperHalves()) GTEST_SKIP() << "no AVX, or no way to watch its state";
  tessaly_test_dirty_upper_halves();
  ASSERT_TRUE(UpperHalvesInUse());  // what the picture's fill leaves behind
  ClearUpperVectorState();
  EXPECT_FALSE(UpperHalvesInUse());
}

}  // namespace
}  // namespace tessaly
