#include "batch/option_values.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <system_error>

namespace tessaly {

std::optional<std::uint64_t> ReadWholeNumber(std::string_view text) {
  std::uint64_t value = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value, 10);
  if (text.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
  return value;
}

std::optional<double> ReadFiniteNumber(std::string_view text) {
  double value = 0.0;
#if defined(__cpp_lib_to_chars)
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value, std::chars_format::general);
  if (text.empty() || result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) {
    return std::nullopt;
  }
#else
  // Without from_chars for doubles (WebAssembly's library): strtod on the
  // same grammar, which it widens only by leading blanks, "+", hexadecimal,
  // "inf" and "nan", all refused here.
  const std::string copy(text);
  if (copy.empty() || copy.find_first_of(" \t\n\v\f\r+xXiInN") != std::string::npos) {
    return std::nullopt;
  }
  char* end = nullptr;
  errno = 0;
  value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !std::isfinite(value) ||
      (errno == ERANGE && value == 0.0)) {
    return std::nullopt;
  }
#endif
  return value;
}

}  // namespace tessaly
