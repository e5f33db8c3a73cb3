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
