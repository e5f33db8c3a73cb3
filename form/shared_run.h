// A run as others reopen it: the command line that starts the window on it
// and the address parameters that start the page on it,
//
//   tessaly --count 400 --time-step 0.05 --period 20 --seed 7 --observe --run
//   ?count=400&time-step=0.05&period=20&seed=7&observe&run
//
// Both carry the three fields as texts, which the window and the page put
// into their fields and read by the fields' own rules when 実行 is pressed,
// and the seed in decimal, so that the arrangement is the same bit for bit.
// Qt-free, so that the window and the page's module build the same texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tessaly {

struct SharedRun {
  std::string count;      // the text for 分子の数
  std::string time_step;  // the text for 時間刻み
  std::string period;     // the text for タイマー
  std::string seed;       // decimal digits; empty: none, the clock places
  bool observe = false;   // the observation view is shown
  bool run = true;        // 実行 is pressed at start
};

// The run as the last 実行 read its fields and placed from `seed`: count and
// period as whole numbers, the time step in the shortest form that reads
// back to the same double ("３．５" was read as 3.5 and is written "3.5",
// "1e-1" as "0.1").
[[nodiscard]] SharedRun SharedRunOf(std::int16_t count, double time_step, std::int32_t period,
                                    std::optional<std::uint64_t> seed, bool observe);

// The program's command line for the window, "tessaly --count ... --run".
// A text that is not plainly a number is quoted for a POSIX shell.
[[nodiscard]] std::string SharedCommandLine(const SharedRun& run);

// The address parameters, "?count=...&run", to append to the page's address.
// Every byte but letters, digits and "-._~" is percent-encoded, "+" too.
[[nodiscard]] std::string SharedQuery(const SharedRun& run);

}  // namespace tessaly
