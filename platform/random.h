// Uniform random numbers for the initial placement.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>

namespace tessaly {

// A source of uniform values on [0, 1). The program uses ClockRandom, or
// FixedSeedRandom when it is given a seed; tests hand the placement a fixed
// sequence of draws.
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // Restarts the sequence from the current time, so that two placements a
  // moment apart give different arrangements.
  virtual void SeedFromClock() = 0;
  // The next value, uniform on [0, 1).
  [[nodiscard]] virtual double Next() = 0;
  // The seed the sequence last restarted from: FixedSeedRandom(seed) gives
  // the same values from there on. Nothing before the first restart, and
  // nothing for a source that has no seed.
  [[nodiscard]] virtual std::optional<std::uint64_t> Seed() const { return std::nullopt; }
};

// One 64-bit seed from the nanosecond ticks of the steady and the wall
// clock: two calls within the same tick of one still differ through the other.
[[nodiscard]] std::uint64_t ClockSeed();

// A seed as it leaves the program: its decimal digits, all 64 bits of it
// (a JavaScript Number would keep only 53).
[[nodiscard]] std::string SeedText(std::uint64_t seed);

// The largest value ClockRandom::Next returns: 1 - 2^-52. It is one step of
// 2^-52 below 1, not 2^-53, so that 8 u + 1 stays below 9 in double arithmetic
// (8 (1 - 2^-53) + 1 rounds up to exactly 9).
inline constexpr double kLargestUniform = 1.0 - 0x1.0p-52;

// 64-bit Mersenne Twister; each value is the top 52 bits of one output, scaled
// by 2^-52, so every value is a multiple of 2^-52 in [0, kLargestUniform].
// SeedFromClock draws a seed with ClockSeed and starts the generator from it
// as FixedSeedRandom does, so every arrangement it gives can be made again.
class ClockRandom final : public RandomSource {
 public:
  ClockRandom() = default;
  explicit ClockRandom(std::uint64_t seed) : engine_(seed) {}
  void SeedFromClock() override;
  [[nodiscard]] double Next() override;
  [[nodiscard]] std::optional<std::uint64_t> Seed() const override { return seed_; }

 private:
  std::optional<std::uint64_t> seed_;
  std::mt19937_64 engine_;
};

// The same generator and values as ClockRandom, but SeedFromClock ignores the
// clock and restarts the sequence from the seed given here: every placement
// made with it is the same arrangement, the one ClockRandom(seed) would give.
class FixedSeedRandom final : public RandomSource {
 public:
  explicit FixedSeedRandom(std::uint64_t seed) : seed_(seed), engine_(seed) {}
  void SeedFromClock() override;
  [[nodiscard]] double Next() override;
  [[nodiscard]] std::uint64_t seed() const { return seed_; }
  [[nodiscard]] std::optional<std::uint64_t> Seed() const override { return seed_; }

 private:
  std::uint64_t seed_;
  std::mt19937_64 engine_;
};

}  // namespace tessaly
