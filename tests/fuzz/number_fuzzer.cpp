// libFuzzer target for reading numbers and rounding them to integers.
//
// For every input it checks that ReadNumber
//   - never crashes or reads past the text (the text is handed over without a
//     terminating NUL, in a buffer exactly its size);
//   - gives 0 for text with no leading number;
//   - agrees bit for bit with a separate, plainly written reading of the same
//     grammar that hands the delimited number to strtod;
//   - raises overflow exactly when that reading is out of the double range;
// and that RoundToInt16 and RoundToInt32, on the value read and on the first
// eight bytes taken as a double, give the nearest integer (halves to even)
// inside the type or raise the overflow error.
//
// For the window's fields it checks that ReadTypedNumber reads the text as
// typed when that has a number, and its compatibility form (NFKC) otherwise,
// and that the input's printable ASCII typed in full-width forms (with
// ideographic spaces for blanks) reads exactly as the ASCII does.
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include <QString>

#include "platform/errors.h"
#include "platform/numbers.h"
#include "ui/typed_number.h"

namespace {

using tessaly::ErrorKind;
using tessaly::RuntimeError;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "number fuzzer: %s\n", what);
  std::abort();
}

// The grammar as a person would read it off the header, one character class
// at a time: blanks, sign, digits, ".", digits, then "e", sign, digits.
struct Reading {
  bool has_number = false;
  bool overflow = false;
  double value = 0.0;
};

Reading ReadPlainly(std::string_view text) {
  std::string number;  // what strtod sees
  std::size_t k = 0;
  while (k < text.size() && (text[k] == ' ' || text[k] == '\t')) ++k;
  if (k < text.size() && (text[k] == '+' || text[k] == '-')) number += text[k++];
  int digits = 0;
  while (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k]))) {
    number += text[k++];
    ++digits;
  }
  if (k < text.size() && text[k] == '.') {
    number += text[k++];
    while (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k]))) {
      number += text[k++];
      ++digits;
    }
  }
  Reading r;
  if (digits == 0) return r;
  r.has_number = true;
  if (k < text.size() && (text[k] == 'e' || text[k] == 'E')) {
    std::string exponent = "e";
    std::size_t m = k + 1;
    if (m < text.size() && (text[m] == '+' || text[m] == '-')) exponent += text[m++];
    bool any = false;
    while (m < text.size() && std::isdigit(static_cast<unsigned char>(text[m]))) {
      exponent += text[m++];
      any = true;
    }
    if (any) number += exponent;
  }
  errno = 0;
  char* end = nullptr;
  r.value = std::strtod(number.c_str(), &end);
  if (end != number.c_str() + number.size()) Fail("strtod stopped early on the plain reading");
  r.overflow = errno == ERANGE && std::isinf(r.value);
  if (errno == ERANGE && !r.overflow && std::fabs(r.value) >= std::numeric_limits<double>::min()) {
    Fail("strtod reported a range error for a normal value");
  }
  return r;
}

template <typename Int, typename Round>
void CheckRounding(double value, Round round) {
  std::optional<long long> want;
  if (std::isfinite(value)) {
    // Independent nearest-even: the default rounding mode of rint.
    const double nearest = std::nearbyint(value);
    if (nearest >= static_cast<double>(std::numeric_limits<Int>::min()) &&
        nearest <= static_cast<double>(std::numeric_limits<Int>::max())) {
      want = static_cast<long long>(nearest);
    }
  }
  try {
    const Int got = round(value);
    if (!want || *want != got) Fail("rounding gave the wrong integer");
  } catch (const RuntimeError& e) {
    if (want) Fail("rounding raised for a value inside the type");
    if (e.kind() != ErrorKind::kOverflow) Fail("rounding raised something else than overflow");
  }
}

void CheckBothRoundings(double value) {
  CheckRounding<std::int16_t>(value, tessaly::RoundToInt16);
  CheckRounding<std::int32_t>(value, tessaly::RoundToInt32);
}

// Runs a reading: its value, or nothing when it raised the overflow error.
template <typename Read>
std::optional<double> ValueOrOverflow(Read read) {
  try {
    return read();
  } catch (const RuntimeError& e) {
    if (e.kind() != ErrorKind::kOverflow) Fail("reading raised something else than overflow");
    return std::nullopt;
  }
}

bool SameReading(const std::optional<double>& a, const std::optional<double>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || std::memcmp(&*a, &*b, sizeof(double)) == 0;
}

// The input as a person would type it with a Japanese input method: every
// printable ASCII character in its full-width form, blanks as ideographic
// spaces. Empty when the input is not all ASCII.
QString FullWidth(std::string_view text) {
  QString wide;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80) return {};
    if (u == ' ') {
      wide += QChar(0x3000);
    } else if (u > 0x20 && u < 0x7f) {
      wide += QChar(static_cast<char16_t>(u + 0xFEE0));
    } else {
      wide += QChar(static_cast<char16_t>(u));
    }
  }
  return wide;
}

void CheckTypedReading(std::string_view bytes) {
  const QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  Reading want = ReadPlainly(text.toStdString());
  if (!want.has_number) want = ReadPlainly(text.normalized(QString::NormalizationForm_KC).toStdString());
  const std::optional<double> got = ValueOrOverflow([&] { return tessaly::ReadTypedNumber(text); });
  if (want.overflow != !got) Fail("typed reading and plain reading disagree on overflow");
  if (got && want.has_number && std::memcmp(&*got, &want.value, sizeof(double)) != 0) {
    Fail("typed reading disagrees with the plain reading");
  }
  if (got && !want.has_number && (*got != 0.0 || std::signbit(*got))) {
    Fail("typed text with no number did not read as 0");
  }

  const QString wide = FullWidth(bytes);
  if (!wide.isEmpty() || bytes.empty()) {
    const auto ascii = ValueOrOverflow([&] { return tessaly::ReadNumber(bytes); });
    const auto typed = ValueOrOverflow([&] { return tessaly::ReadTypedNumber(wide); });
    if (!SameReading(ascii, typed)) Fail("full-width text reads differently from its ASCII");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckTypedReading(text);
  const Reading plain = ReadPlainly(text);

  double value = 0.0;
  try {
    value = tessaly::ReadNumber(text);
    if (plain.overflow) Fail("no overflow for a number beyond the double range");
  } catch (const RuntimeError& e) {
    if (e.kind() != ErrorKind::kOverflow) Fail("reading raised something else than overflow");
    if (!plain.overflow) Fail("overflow raised for a number inside the double range");
    return 0;
  }
  if (!plain.has_number && (value != 0.0 || std::signbit(value))) {
    Fail("text with no leading number did not read as 0");
  }
  if (plain.has_number && std::memcmp(&value, &plain.value, sizeof value) != 0) {
    Fail("reading disagrees with the plain reading");
  }
  CheckBothRoundings(value);

  if (size >= sizeof(double)) {
    double raw = 0.0;
    std::memcpy(&raw, data, sizeof raw);
    CheckBothRoundings(raw);
  }
  return 0;
}
