#include "form/shared_run.h"

#include <cmath>
#include <string_view>

#include "platform/round_trip.h"
#include "platform/random.h"

namespace tessaly {
namespace {

bool IsPlain(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '-' || c == '.' || c == '_' || c == '~';
}

// Numbers as the round-trip form writes them ("-2.5e+300") stand unquoted.
std::string ShellWord(std::string_view text) {
  bool plain = !text.empty();
  for (const char c : text) plain = plain && (IsPlain(c) || c == '+');
  if (plain) return std::string(text);
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string Percent(std::string_view text) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (const char c : text) {
    if (IsPlain(c)) {
      encoded += c;
    } else {
      const auto byte = static_cast<unsigned char>(c);
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 15];
    }
  }
  return encoded;
}

}  // namespace

SharedRun SharedRunOf(std::int16_t count, double time_step, std::int32_t period,
                      std::optional<std::uint64_t> seed, bool observe) {
  SharedRun run;
  run.count = std::to_string(count);
  if (std::isfinite(time_step)) {
    AppendRoundTrip(run.time_step, time_step);
  } else {
    // The fields read no such value; written all the same, the field says so.
    run.time_step = std::isnan(time_step) ? "nan" : time_step < 0 ? "-inf" : "inf";
  }
  run.period = std::to_string(period);
  if (seed) run.seed = SeedText(*seed);
  run.observe = observe;
  return run;
}

std::string SharedCommandLine(const SharedRun& run) {
  std::string line = "tessaly --count " + ShellWord(run.count) + " --time-step " +
                     ShellWord(run.time_step) + " --period " + ShellWord(run.period);
  if (!run.seed.empty()) line += " --seed " + ShellWord(run.seed);
  if (run.observe) line += " --observe";
  if (run.run) line += " --run";
  return line;
}

std::string SharedQuery(const SharedRun& run) {
  std::string query = "?count=" + Percent(run.count) + "&time-step=" + Percent(run.time_step) +
                      "&period=" + Percent(run.period);
  if (!run.seed.empty()) query += "&seed=" + Percent(run.seed);
  if (run.observe) query += "&observe";
  if (run.run) query += "&run";
  return query;
}

}  // namespace tessaly
