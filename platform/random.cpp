#include "platform/random.h"

#include <chrono>

namespace tessaly {

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

double ClockRandom::Next() {
  return static_cast<double>(engine_() >> 12) * 0x1.0p-52;
}

}  // namespace tessaly
