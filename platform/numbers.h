// Reading numbers typed by a person, and rounding them to integers.
//
// ReadNumber takes the leading number of a text:
//   - leading blanks (spaces and tabs) are skipped;
//   - then an optional sign ("+" or "-");
//   - then digits with at most one "." as the decimal separator, whatever the
//     locale; at least one digit must stand before or after the "." ("5.",
//     ".5" and "5.5" are numbers, "." is not);
//   - then an optional exponent: "e" or "E", an optional sign and at least one
//     digit ("1e3" is 1000; in "1e" or "1e+" the exponent is not taken and the
//     value is 1);
//   - everything after the number is ignored ("12abc" is 12, "1.2.3" is 1.2).
// Text with no leading number (empty text, "abc", "inf", "nan", "0x10" after
// its "0", full-width digits) reads as 0; the window brings full-width forms
// to ASCII before it gives up on a field. A number beyond the range of a
// double raises RuntimeError(kOverflow); one too small for it reads as the
// nearest double (0 or a subnormal), with its sign.
//
// RoundToInt16 and RoundToInt32 round to the nearest integer, halves to the
// even neighbour (0.5 -> 0, 1.5 -> 2, 2.5 -> 2, -2.5 -> -2), independently of
// the floating-point rounding mode. A result outside the type, or a NaN, raises
// RuntimeError(kOverflow): 32767.5 overflows a 16-bit integer, -32768.5 does
// not.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tessaly {

// The text is a sequence of bytes (UTF-8 for text from the window); only ASCII
// blanks, signs, digits, "." and "e"/"E" take part in a number.
[[nodiscard]] double ReadNumber(std::string_view text);

// The same reading, but nothing (rather than 0) when the text has no leading
// number, so that a caller can try another form of the text.
[[nodiscard]] std::optional<double> ReadLeadingNumber(std::string_view text);

[[nodiscard]] std::int16_t RoundToInt16(double value);
[[nodiscard]] std::int32_t RoundToInt32(double value);

}  // namespace tessaly
