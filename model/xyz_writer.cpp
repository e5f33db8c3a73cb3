#include "model/xyz_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace tessaly {
namespace {

constexpr const char* kComment =
    "Lattice=\"10 0 0 0 10 0 0 0 1\" Properties=species:S:1:pos:R:3:vel:R:3 pbc=\"F F F\"";

void AppendInteger(std::string& out, std::uint64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

}  // namespace

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

std::string XyzFrame(const Simulation& sim, std::uint64_t step, double time, double energy) {
  const int n = sim.ParticleCount;
  const auto& pos = sim.Pos[sim.CurLevel];
  const auto& vel = sim.Vel[sim.CurLevel];
  std::string frame;
  frame.reserve(128 + static_cast<std::size_t>(n) * 112);
  AppendInteger(frame, static_cast<std::uint64_t>(n));
  frame += '\n';
  frame += kComment;
  frame += " step=";
  AppendInteger(frame, step);
  frame += " time=";
  AppendRoundTrip(frame, time);
  frame += " energy=";
  AppendRoundTrip(frame, energy);
  frame += '\n';
  for (int i = 1; i <= n; ++i) {
    frame += "Ar ";
    AppendRoundTrip(frame, pos[i].X);
    frame += ' ';
    AppendRoundTrip(frame, pos[i].Y);
    frame += " 0 ";
    AppendRoundTrip(frame, vel[i].X);
    frame += ' ';
    AppendRoundTrip(frame, vel[i].Y);
    frame += " 0\n";
  }
  return frame;
}

}  // namespace tessaly
