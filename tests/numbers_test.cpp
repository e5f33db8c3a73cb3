#include "platform/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "number_cases.h"
#include "platform/errors.h"

namespace tessaly {
namespace {

TEST(ReadNumber, TakesTheLeadingNumberAndIgnoresTheRest) {
  for (const testing::ReadCase& c : testing::ReadNumberCases()) {
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
