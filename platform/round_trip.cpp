#include "platform/round_trip.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace tessaly {

#if defined(__cpp_lib_to_chars)
void AppendRoundTrip(std::string& out, double value) {
  // 24 characters hold the longest shortest form: "-2.2250738585072014e-308".
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}
#else
// A standard library without to_chars for doubles (WebAssembly's) writes
// the same text: the fewest significant digits that read back to the value
// (printf's correctly rounded %e at the smallest precision that does), set
// out plainly or with an exponent, whichever is shorter, plainly on a tie.
void AppendRoundTrip(std::string& out, double value) {
  char buffer[40];
  int precision = 0;
  for (; precision < 17; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*e", precision, value);
    if (std::strtod(buffer, nullptr) == value) break;
  }
  std::snprintf(buffer, sizeof buffer, "%.*e", precision, value);
  const std::string scientific(buffer);
  if (!std::isfinite(value)) {
    out += scientific;
    return;
  }
  // Digits and exponent of the scientific form.
  const std::size_t e = scientific.find('e');
  const bool negative = scientific[0] == '-';
  std::string digits;
  for (std::size_t k = negative ? 1 : 0; k < e; ++k) {
    if (scientific[k] != '.') digits += scientific[k];
  }
  const int exponent = std::atoi(scientific.c_str() + e + 1);
  std::string fixed = negative ? "-" : "";
  const int point = exponent + 1;  // digits before the decimal point
  if (point <= 0) {
    fixed += "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
  } else if (static_cast<std::size_t>(point) >= digits.size()) {
    fixed += digits + std::string(static_cast<std::size_t>(point) - digits.size(), '0');
  } else {
    fixed += digits.substr(0, static_cast<std::size_t>(point)) + "." +
             digits.substr(static_cast<std::size_t>(point));
  }
  out += fixed.size() <= scientific.size() ? fixed : scientific;
}
#endif

}  // namespace tessaly
