// Texts and the numbers ReadNumber takes from them, shared by the tests of
// the plain reading and of the reading of the window's fields.
#pragma once

#include <limits>
#include <string>
#include <vector>

namespace tessaly::testing {

struct ReadCase {
  const char* name;
  std::string text;
  double expected;
};

inline std::vector<ReadCase> ReadNumberCases() {
  return {
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
}

}  // namespace tessaly::testing
