#include "platform/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/errors.h"

namespace tessaly {
namespace {

struct ReadCase {
  const char* name;
  std::string text;
  double expected;
};

TEST(ReadNumber, TakesTheLeadingNumberAndIgnoresTheRest) {
  const ReadCase cases[] = {
      // The fields' default texts.
      {"count default", "40", 40.0},
      {"step default", "0.1", 0.1},
      {"period default", "10", 10.0},
      // No leading number at all.
      {"empty", "", 0.0},
      {"blanks only", "   ", 0.0},
      {"letters", "abc", 0.0},
      {"lone dot", ".", 0.0},
      {"lone sign", "-", 0.0},
      {"sign then blank", "- 5", 0.0},
      {"infinity word", "inf", 0.0},
      {"infinity word with sign", "-infinity", 0.0},
      {"nan word", "nan", 0.0},
      {"full-width digits", "\xEF\xBC\x91\xEF\xBC\x92", 0.0},  // "１２"
      // Blanks and signs.
      {"leading spaces", "   12", 12.0},
      {"leading tab", "\t7", 7.0},
      {"plus sign", "+3", 3.0},
      {"minus sign", "-2.5", -2.5},
      // Decimal point forms.
      {"dot first", ".5", 0.5},
      {"dot last", "5.", 5.0},
      {"second dot ends it", "1.2.3", 1.2},
      {"comma is not a separator", "1,5", 1.0},
      // Exponents.
      {"exponent", "1e3", 1000.0},
      {"capital negative exponent", "1E-2", 0.01},
      {"exponent with plus", "2e+2x", 200.0},
      {"exponent without digits", "1e", 1.0},
      {"exponent sign without digits", "1e+", 1.0},
      {"dot then exponent", "3.e1", 30.0},
      // Trailing text.
      {"trailing letters", "12abc", 12.0},
      {"trailing blank and digits", "12 34", 12.0},
      {"hex prefix is a zero", "0x10", 0.0},
      // The ends of the double range.
      {"largest double", "1.7976931348623157e308", std::numeric_limits<double>::max()},
      {"smallest subnormal", "4.9406564584124654e-324", std::numeric_limits<double>::denorm_min()},
      {"below the smallest subnormal", "1e-400", 0.0},
      {"zero with a huge exponent", "0e99999999999999999999", 0.0},
      {"tiny with many zeros", "0." + std::string(400, '0') + "1", 0.0},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(ReadNumber(c.text), c.expected) << c.name << ": \"" << c.text << "\"";
  }
}

TEST(ReadNumber, KeepsTheSignOfZero) {
  EXPECT_TRUE(std::signbit(ReadNumber("-0")));
  EXPECT_FALSE(std::signbit(ReadNumber("0")));
}

TEST(ReadNumber, OverflowsBeyondTheDoubleRange) {
  const std::string cases[] = {
      "1e309",
      "-1e309",
      "1.8e308",
      "1e99999999999999999999",
      std::string(400, '9'),
      "0." + std::string(10, '0') + "1e400",
  };
  for (const std::string& text : cases) {
    try {
      (void)ReadNumber(text);
      ADD_FAILURE() << "no error for \"" << text.substr(0, 40) << "\"";
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::kOverflow) << text.substr(0, 40);
    }
  }
}

TEST(ReadNumber, HandlesAMegabyteOfText) {
  const std::string digits(1 << 20, '7');
  EXPECT_THROW((void)ReadNumber(digits), RuntimeError);
  EXPECT_EQ(ReadNumber("3" + std::string(1 << 20, 'x')), 3.0);
  EXPECT_EQ(ReadNumber(std::string(1 << 20, ' ') + "5"), 5.0);
  EXPECT_EQ(ReadNumber("1." + std::string(1 << 20, '0')), 1.0);
}

struct RoundCase {
  const char* name;
  double value;
  long long expected;  // ignored when overflows
  bool overflows;
};

TEST(RoundToInt16, NearestWithHalvesToEvenAndOverflowOutsideTheType) {
  const RoundCase cases[] = {
      // Halves go to the even neighbour.
      {"0.5", 0.5, 0, false},
      {"1.5", 1.5, 2, false},
      {"2.5", 2.5, 2, false},
      {"3.5", 3.5, 4, false},
      {"-0.5", -0.5, 0, false},
      {"-1.5", -1.5, -2, false},
      {"-2.5", -2.5, -2, false},
      // Just off a half.
      {"below 2.5", 2.4999999999999996, 2, false},
      {"above 2.5", 2.5000000000000004, 3, false},
      {"0.49999999999999994", 0.49999999999999994, 0, false},
      // The type's limits and one beyond each.
      {"max", 32767.0, 32767, false},
      {"max + 0.4", 32767.4, 32767, false},
      {"max + 0.5", 32767.5, 0, true},
      {"max + 1", 32768.0, 0, true},
      {"min", -32768.0, -32768, false},
      {"min - 0.5", -32768.5, -32768, false},
      {"min - 0.6", -32768.6, 0, true},
      {"min - 1", -32769.0, 0, true},
      {"huge", 1e300, 0, true},
      {"infinity", std::numeric_limits<double>::infinity(), 0, true},
      {"nan", std::numeric_limits<double>::quiet_NaN(), 0, true},
  };
  for (const RoundCase& c : cases) {
    if (c.overflows) {
      EXPECT_THROW((void)RoundToInt16(c.value), RuntimeError) << c.name;
    } else {
      EXPECT_EQ(RoundToInt16(c.value), c.expected) << c.name;
    }
  }
}

TEST(RoundToInt32, NearestWithHalvesToEvenAndOverflowOutsideTheType) {
  const RoundCase cases[] = {
      {"2.5", 2.5, 2, false},
      {"-3.5", -3.5, -4, false},
      {"max", 2147483647.0, 2147483647LL, false},
      {"max - 0.5", 2147483646.5, 2147483646LL, false},
      {"max + 0.5", 2147483647.5, 0, true},
      {"max + 1", 2147483648.0, 0, true},
      {"min", -2147483648.0, -2147483648LL, false},
      {"min - 0.5", -2147483648.5, -2147483648LL, false},
      {"min - 1", -2147483649.0, 0, true},
      {"beyond 2^53", 1e17, 0, true},
  };
  for (const RoundCase& c : cases) {
    if (c.overflows) {
      try {
        (void)RoundToInt32(c.value);
        ADD_FAILURE() << c.name << ": no error";
      } catch (const RuntimeError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::kOverflow) << c.name;
      }
    } else {
      EXPECT_EQ(RoundToInt32(c.value), c.expected) << c.name;
    }
  }
}

}  // namespace
}  // namespace tessaly
