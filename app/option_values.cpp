#include "app/option_values.h"

#include <charconv>
#include <cmath>
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
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value, std::chars_format::general);
  if (text.empty() || result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace tessaly
