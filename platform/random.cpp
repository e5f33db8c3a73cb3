#include "platform/random.h"

#include <chrono>

namespace tessaly {
namespace {

// The top 52 bits of one output, scaled by 2^-52.
double UniformFrom(std::mt19937_64& engine) {
  return static_cast<double>(engine() >> 12) * 0x1.0p-52;
}

}  // namespace

void ClockRandom::SeedFromClock() {
  // Nanosecond ticks of the steady and the wall clock: Runs pressed within the
  // same clock tick of one still differ through the other.
  const auto steady = static_cast<std::uint64_t>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  const auto wall = static_cast<std::uint64_t>(
      std::chrono::system_clock::now().time_since_epoch().count());
  std::seed_seq seq{static_cast<std::uint32_t>(steady),
                    static_cast<std::uint32_t>(steady >> 32),
                    static_cast<std::uint32_t>(wall),
                    static_cast<std::uint32_t>(wall >> 32)};
  engine_.seed(seq);
}

double ClockRandom::Next() { return UniformFrom(engine_); }

void FixedSeedRandom::SeedFromClock() { engine_.seed(seed_); }

double FixedSeedRandom::Next() { return UniformFrom(engine_); }

}  // namespace tessaly
