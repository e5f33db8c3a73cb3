// Strict readers for the values given to command-line options.
//
// The window's fields take the leading number of whatever is typed and read
// text without one as 0; a command line is written once and run unattended,
// so here the whole text must be the number or it is refused:
//   - no blanks before or after, no "+" sign, no trailing characters;
//   - whole numbers in decimal digits only ("007" is 7; "7.0", "1e3", "-1"
//     and "0x10" are refused);
//   - real numbers as C reads them in the "C" locale (optional "-", digits
//     with "." as the decimal point, optional exponent), finite and within a
//     double's range: "inf", "nan" and "1e400" are refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tessaly {

// The whole number `text` spells, if it spells one from 0 to 2^64 - 1.
[[nodiscard]] std::optional<std::uint64_t> ReadWholeNumber(std::string_view text);

// The finite double `text` spells, if it spells one.
[[nodiscard]] std::optional<double> ReadFiniteNumber(std::string_view text);

}  // namespace tessaly
