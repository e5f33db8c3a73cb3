// The fast powers against std::pow, bit for bit, on every vector set the
// processor has; the yardstick that works powers out exactly in integers; and
// the start-up check that guards the fast powers.
#include "model/fast_powers.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "exact_power.h"
#include "power_sweep.h"

namespace tessaly {

// Names the vector set in the test's description.
void PrintTo(VectorSet set, std::ostream* os) { *os << VectorSetName(set); }

namespace {

using testing::DistanceFromMidpoint;
using testing::ExactPowerOf;

// ----- The yardstick -------------------------------------------------------

TEST(ExactPowerOf, WholeNumbersAndBinaryFractionsAreExact) {
  EXPECT_EQ(ExactPowerOf(3.0, 13).nearest, 1594323.0);
  EXPECT_TRUE(ExactPowerOf(3.0, 13).exact);
  EXPECT_EQ(ExactPowerOf(1.5, 7).nearest, 2187.0 / 128.0);
  EXPECT_TRUE(ExactPowerOf(1.5, 7).exact);
  EXPECT_EQ(ExactPowerOf(14.0, 13).nearest, 793714773254144.0);  // 14^13 < 2^53
}

TEST(ExactPowerOf, PlacesTheRestBetweenTwoDoubles) {
  // (1 + 2^-27)^2 = 1 + 2^-26 + 2^-54: a quarter of the ulp 2^-52 above.
  const auto a = ExactPowerOf(1.0 + 0x1p-27, 2);
  EXPECT_EQ(a.nearest, 1.0 + 0x1p-26);
  EXPECT_EQ(a.position, 0.25);
  EXPECT_FALSE(a.exact);
  // (1 + 3 2^-27)^2 = 1 + 6 2^-27 + 9 2^-54: 9/4 ulp, so 1/4 above the double
  // 1 + 6 2^-27 + 2 2^-52.
  const auto b = ExactPowerOf(1.0 + 0x3p-27, 2);
  EXPECT_EQ(b.nearest, 1.0 + 0x6p-27 + 0x2p-52);
  EXPECT_EQ(b.position, 0.25);
  // (1 + 3 2^-28)^2 = 1 + 6 2^-28 + 9 2^-56: 9/16 of an ulp, rounded up.
  const auto c = ExactPowerOf(1.0 + 0x3p-28, 2);
  EXPECT_EQ(c.position, 0.5625);
  EXPECT_EQ(c.nearest, 1.0 + 0x6p-28 + 0x1p-52);
}

TEST(ExactPowerOf, AgreesWithTheLibraryFarFromMidpoints) {
  // Where even a 1-ulp library cannot go wrong, both must give the same.
  std::mt19937_64 engine(11);
  std::uniform_real_distribution<double> u(1.0, 15.0);
  int checked = 0;
  while (checked < 2000) {
    const double r = u(engine);
    const auto p = ExactPowerOf(r, 13);
    if (DistanceFromMidpoint(p) < 0.25) continue;
    ASSERT_EQ(p.nearest, std::pow(r, 13.0)) << std::hexfloat << r;
    ++checked;
  }
}

// ----- The fast powers against the library ---------------------------------

class FastPowersOnEverySet : public ::testing::TestWithParam<VectorSet> {
 protected:
  void SetUp() override {
    if (GetParam() > BestVectorSet()) GTEST_SKIP() << "not on this processor";
  }
};

std::string SetName(const ::testing::TestParamInfo<VectorSet>& info) {
  switch (info.param) {
    case VectorSet::kScalar:
      return "Scalar";
    case VectorSet::kBaseline:
      return "SSE2";
    case VectorSet::kAvx2:
      return "AVX2";
    case VectorSet::kAvx512:
      return "AVX512";
  }
  return "";
}

INSTANTIATE_TEST_SUITE_P(Sets, FastPowersOnEverySet,
                         ::testing::Values(VectorSet::kScalar, VectorSet::kBaseline,
                                           VectorSet::kAvx2, VectorSet::kAvx512),
                         SetName);

TEST_P(FastPowersOnEverySet, MatchTheLibraryOverFourMillionDistances) {
  // The bounded sweep; tests/power_sweep_test.cpp runs 10^8.
  testing::SweepResult result = testing::SweepAgainstLibrary(GetParam(), 4'000'000, 2024);
  EXPECT_EQ(result.differences, 0u) << "first at r = " << std::hexfloat << result.first_difference;
}

TEST_P(FastPowersOnEverySet, MatchTheLibraryNearMidpoints) {
  // Distances whose powers lie within a thousandth of an ulp of a midpoint,
  // or right at the margin: found by exact arithmetic. Among the former are
  // powers the library does not round to nearest: the fast route must give
  // the library's double there, not the nearest one.
  std::mt19937_64 engine(5);
  std::uniform_real_distribution<double> u(1.0, 13.0);
  std::vector<double> r;
  int not_nearest = 0;
  int near_margin = 0;
  while (r.size() < 600) {
    const double x = u(engine);
    for (int n : {7, 13}) {
      const auto p = ExactPowerOf(x, n);
      const double d = DistanceFromMidpoint(p);
      if (d < 1e-3 || std::fabs(d - 3.0 / 64.0) < 1e-3) {
        r.push_back(x);
        if (std::pow(x, n) != p.nearest) ++not_nearest;
        if (d > 1e-3) ++near_margin;
      }
    }
  }
  ASSERT_GT(not_nearest, 0) << "the sample should hold powers std::pow does not round to nearest";
  ASSERT_GT(near_margin, 100);
  std::vector<double> p7(r.size()), p13(r.size());
  FastPowers(GetParam(), r.data(), r.size(), p7.data(), p13.data());
  for (std::size_t k = 0; k < r.size(); ++k) {
    ASSERT_EQ(p7[k], std::pow(r[k], 7.0)) << std::hexfloat << r[k];
    ASSERT_EQ(p13[k], std::pow(r[k], 13.0)) << std::hexfloat << r[k];
  }
}

TEST_P(FastPowersOnEverySet, HandOddDistancesToTheLibrary) {
  // Exact powers of two (where the spacing of doubles changes), 1, the
  // largest fast base and beyond, overflow, infinity and NaN.
  const double r[] = {1.0, 2.0, 4.0, 8.0, 0x1p64, std::nextafter(0x1p64, 0.0),
                      std::nextafter(0x1p64, 1e300), 1e30, 1e300,
                      std::numeric_limits<double>::infinity(), std::pow(2.0, 1.0 / 7.0),
                      std::pow(2.0, 3.0 / 13.0), std::pow(2.0, 1.0 / 13.0) * (1.0 - 0x1p-52),
                      std::numeric_limits<double>::quiet_NaN()};
  constexpr std::size_t kCount = std::size(r);
  double p7[kCount], p13[kCount];
  FastPowers(GetParam(), r, kCount, p7, p13);
  for (std::size_t k = 0; k < kCount; ++k) {
    if (std::isnan(r[k])) {
      EXPECT_TRUE(std::isnan(p7[k]) && std::isnan(p13[k]));
      continue;
    }
    EXPECT_EQ(p7[k], std::pow(r[k], 7.0)) << std::hexfloat << r[k];
    EXPECT_EQ(p13[k], std::pow(r[k], 13.0)) << std::hexfloat << r[k];
  }
}

TEST_P(FastPowersOnEverySet, RaiseTheLibrarysFlagsAndNoOthers) {
  std::fenv_t saved;
  std::feholdexcept(&saved);
  const int errors = FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID;

  // Ordinary distances, with padding lanes behind the last: no error flag.
  std::vector<double> r(37);
  for (std::size_t k = 0; k < r.size(); ++k) r[k] = 1.0 + 0.37 * static_cast<double>(k);
  std::vector<double> p7(r.size()), p13(r.size());
  std::feclearexcept(FE_ALL_EXCEPT);
  FastPowers(GetParam(), r.data(), r.size(), p7.data(), p13.data());
  EXPECT_EQ(std::fetestexcept(errors), 0);

  // 1e30^13 overflows in the library, and so here.
  const double far[] = {2.0, 1e30, 3.0};
  double f7[3], f13[3];
  std::feclearexcept(FE_ALL_EXCEPT);
  FastPowers(GetParam(), far, 3, f7, f13);
  EXPECT_EQ(std::fetestexcept(errors), FE_OVERFLOW);
  EXPECT_EQ(f13[1], std::numeric_limits<double>::infinity());

  std::feupdateenv(&saved);
}

// ----- The start-up check --------------------------------------------------

TEST_P(FastPowersOnEverySet, PassTheStartUpCheckWithThisLibrary) {
  EXPECT_TRUE(FastPowersAgreeWithLibrary(GetParam()));
}

// A library that misses by one double wherever the exact power lies between
// `from` and `to` ulp from a midpoint, and is std::pow elsewhere.
template <int kFromThousandths, int kToThousandths>
double SlightlyWorsePow(double x, double y) {
  const double good = std::pow(x, y);
  const auto p = ExactPowerOf(x, static_cast<int>(y));
  const double d = DistanceFromMidpoint(p);
  if (d < kFromThousandths / 1000.0 || d > kToThousandths / 1000.0) return good;
  // The other double next to the exact power.
  return p.position < 0.5 ? std::nextafter(good, 1e300) : std::nextafter(good, 0.0);
}

TEST_P(FastPowersOnEverySet, StartUpCheckCatchesALibraryLessAccurateThanStated) {
  // Errors up to 0.55 ulp, but only just outside the fast route's margin:
  // the spread alone would rarely meet them, the margin's edge does.
  EXPECT_FALSE(FastPowersAgreeWith(GetParam(), SlightlyWorsePow<47, 50>));
  // A library wrong on a single whole number.
  EXPECT_FALSE(FastPowersAgreeWith(GetParam(), [](double x, double y) {
    const double good = std::pow(x, y);
    return x == 3.0 && y == 13.0 ? std::nextafter(good, 0.0) : good;
  }));
}

TEST(MarginEdgeSample, LiesJustOutsideTheMargin) {
  std::size_t count = 0;
  const double* r = MarginEdgeSample(count);
  ASSERT_GE(count, 32u);
  for (std::size_t k = 0; k < count; ++k) {
    const double d7 = DistanceFromMidpoint(ExactPowerOf(r[k], 7));
    const double d13 = DistanceFromMidpoint(ExactPowerOf(r[k], 13));
    auto at_edge = [](double d) { return d > 3.0 / 64.0 && d <= 3.0 / 64.0 + 1.0 / 256.0; };
    EXPECT_TRUE(at_edge(d7) || at_edge(d13)) << std::hexfloat << r[k] << ": " << d7 << ", " << d13;
  }
}

}  // namespace
}  // namespace tessaly
