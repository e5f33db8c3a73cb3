#include "platform/numbers.h"

#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <string>
#include <limits>
#include <system_error>

#include "platform/errors.h"

namespace tessaly {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipDigits(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  return pos;
}

// For a number that from_chars found out of range: whether it is too large
// (rather than too small) for a double, from the decimal position of its first
// significant digit plus its exponent. Works on the already delimited text, so
// it cannot overflow itself however many digits it has.
bool IsTooLarge(std::string_view digits) {
  std::size_t pos = 0;
  const std::size_t int_end = SkipDigits(digits, pos);
  // Position of the first significant digit relative to the decimal point.
  long long magnitude = 0;
  std::size_t first = digits.find_first_not_of('0');
  if (first != std::string_view::npos && first < int_end) {
    magnitude = static_cast<long long>(int_end - first);
  } else {
    std::size_t frac = int_end;
    if (frac < digits.size() && digits[frac] == '.') ++frac;
    const std::size_t frac_end = SkipDigits(digits, frac);
    std::size_t nz = frac;
    while (nz < frac_end && digits[nz] == '0') ++nz;
    magnitude = -static_cast<long long>(nz - frac);
  }
  // Exponent, saturated far beyond any double's range.
  const std::size_t e = digits.find_first_of("eE");
  if (e != std::string_view::npos) {
    std::size_t p = e + 1;
    bool negative = false;
    if (p < digits.size() && (digits[p] == '+' || digits[p] == '-')) {
      negative = digits[p] == '-';
      ++p;
    }
    long long exponent = 0;
    for (; p < digits.size() && IsDigit(digits[p]); ++p) {
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (digits[p] - '0');
    }
    magnitude += negative ? -exponent : exponent;
  }
  return magnitude > 0;
}

}  // namespace

double ReadNumber(std::string_view text) { return ReadLeadingNumber(text).value_or(0.0); }

std::optional<double> ReadLeadingNumber(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;

  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }

  // Delimit the number ourselves so that from_chars sees exactly our grammar
  // (it would also take "inf", "nan" and hexadecimal forms).
  const std::size_t start = pos;
  const std::size_t int_end = SkipDigits(text, start);
  std::size_t end = int_end;
  std::size_t mantissa_digits = int_end - start;
  if (end < text.size() && text[end] == '.') {
    const std::size_t frac_end = SkipDigits(text, end + 1);
    mantissa_digits += frac_end - (end + 1);
    end = frac_end;
  }
  if (mantissa_digits == 0) return std::nullopt;

  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    std::size_t p = end + 1;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) ++p;
    const std::size_t exp_end = SkipDigits(text, p);
    if (exp_end > p) end = exp_end;
  }

  const std::string_view number = text.substr(start, end - start);
  double value = 0.0;
#if defined(__cpp_lib_to_chars)
  const auto [ptr, ec] =
      std::from_chars(number.data(), number.data() + number.size(), value,
                      std::chars_format::general);
  (void)ptr;
  if (ec == std::errc::result_out_of_range) {
#else
  // A standard library without from_chars for doubles (the one WebAssembly
  // builds with): strtod, correctly rounded in the C locale, on exactly the
  // delimited number.
  const std::string copy(number);
  errno = 0;
  value = std::strtod(copy.c_str(), nullptr);
  if (errno == ERANGE && (std::isinf(value) || value == 0.0)) {
#endif
    if (IsTooLarge(number)) throw RuntimeError(ErrorKind::kOverflow);
    value = 0.0;  // below the smallest subnormal
  }
  return negative ? -value : value;
}

namespace {

// Nearest integer, halves to even, without relying on the rounding mode.
double RoundHalfEven(double value) {
  const double down = std::floor(value);
  const double excess = value - down;  // exact for every finite double
  if (excess > 0.5) return down + 1.0;
  if (excess < 0.5) return down;
  return std::fmod(down, 2.0) == 0.0 ? down : down + 1.0;
}

template <typename Int>
Int RoundTo(double value) {
  if (!std::isfinite(value)) throw RuntimeError(ErrorKind::kOverflow);
  const double rounded = RoundHalfEven(value);
  if (!(rounded >= static_cast<double>(std::numeric_limits<Int>::min()) &&
        rounded <= static_cast<double>(std::numeric_limits<Int>::max()))) {
    throw RuntimeError(ErrorKind::kOverflow);
  }
  return static_cast<Int>(rounded);
}

}  // namespace

std::int16_t RoundToInt16(double value) { return RoundTo<std::int16_t>(value); }
std::int32_t RoundToInt32(double value) { return RoundTo<std::int32_t>(value); }

}  // namespace tessaly
