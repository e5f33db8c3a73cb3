#include "platform/random.h"

#include <chrono>
#include <iterator>

namespace tessaly {
namespace {

// The top 52 bits of one output, scaled by 2^-52.
double UniformFrom(std::mt19937_64& engine) {
  return static_cast<double>(engine() >> 12) * 0x1.0p-52;
}

}  // namespace

std::uint64_t ClockSeed() {
  const auto steady = static_cast<std::uint64_t>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  const auto wall = static_cast<std::uint64_t>(
      std::chrono::system_clock::now().time_since_epoch().count());
  std::seed_seq seq{static_cast<std::uint32_t>(steady),
                    static_cast<std::uint32_t>(steady >> 32),
                    static_cast<std::uint32_t>(wall),
                    static_cast<std::uint32_t>(wall >> 32)};
  // The seed sequence mixes every bit of both clocks into each word.
  std::uint32_t words[2];
  seq.generate(std::begin(words), std::end(words));
  return (static_cast<std::uint64_t>(words[1]) << 32) | words[0];
}

std::string SeedText(std::uint64_t seed) { return std::to_string(seed); }

void ClockRandom::SeedFromClock() {
  seed_ = ClockSeed();
  engine_.seed(*seed_);
}

double ClockRandom::Next() { return UniformFrom(engine_); }

void FixedSeedRandom::SeedFromClock() { engine_.seed(seed_); }

double FixedSeedRandom::Next() { return UniformFrom(engine_); }

}  // namespace tessaly
