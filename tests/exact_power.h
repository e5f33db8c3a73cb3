// Powers of a double worked out exactly in integers, as the yardstick for the
// fast powers: r = m 2^e with an integer m of at most 53 bits, so r^n =
// m^n 2^(ne), and m^n is an integer of at most 53 n bits, multiplied out limb
// by limb. Independent of any floating-point arithmetic, and without
// allocation: a tenth of a microsecond for r^13, so that sweeps can afford
// hundreds of millions.
#pragma once

#include <cmath>
#include <cstdint>

namespace tessaly::testing {

struct ExactPower {
  double nearest;     // the exact power rounded to nearest, ties to even
  double position;    // where the exact power lies between the double at or
                      // below it (0) and the next one (1), to about 2^-53
  bool exact;         // the power is a double
  double below;       // the double at or below the exact power
  double ulp;         // the spacing of doubles from `below` upwards
};

// r^n for finite r >= 1 and 1 <= n <= 24 whose power stays below 2^1024.
inline ExactPower ExactPowerOf(double r, int n) {
  constexpr int kMaxLimbs = 20;  // 53 * 24 bits
  int e = 0;
  const double frac = std::frexp(r, &e);  // r = frac 2^e, frac in [0.5, 1)
  const auto m = static_cast<std::uint64_t>(std::ldexp(frac, 53));
  e -= 53;

  std::uint64_t limbs[kMaxLimbs] = {1};  // little-endian
  int size = 1;
  for (int k = 0; k < n; ++k) {
    unsigned __int128 carry = 0;
    for (int q = 0; q < size; ++q) {
      const unsigned __int128 t = static_cast<unsigned __int128>(limbs[q]) * m + carry;
      limbs[q] = static_cast<std::uint64_t>(t);
      carry = t >> 64;
    }
    if (carry != 0 && size < kMaxLimbs) limbs[size++] = static_cast<std::uint64_t>(carry);
  }
  const int top_bits = 64 - __builtin_clzll(limbs[size - 1]);
  const int bits = (size - 1) * 64 + top_bits;
  // The 64 bits from bit `from` upwards, for -64 < from < bits (bits below 0
  // and above the top read as 0).
  auto word = [&](int from) {
    if (from < 0) return limbs[0] << -from;
    const int q = from / 64;
    const int s = from % 64;
    const std::uint64_t high = s != 0 && q + 1 < kMaxLimbs ? limbs[q + 1] << (64 - s) : 0;
    return (limbs[q] >> s) | high;
  };

  // The leading 53 bits (m has 53, so m^n has at least as many), then the
  // next 64 as the position below one ulp, then whether anything is left.
  const int shift = bits - 53;
  const std::uint64_t lead = word(shift);
  const std::uint64_t below = shift > 0 ? word(shift - 64) : 0;
  bool rest_nonzero = false;
  const int rest_bits = shift - 64;  // bits 0 .. rest_bits - 1
  for (int q = 0; q * 64 < rest_bits && !rest_nonzero; ++q) {
    const int have = rest_bits - q * 64;
    const std::uint64_t mask = have >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << have) - 1;
    rest_nonzero = (limbs[q] & mask) != 0;
  }

  ExactPower result{};
  result.exact = below == 0 && !rest_nonzero;
  result.position = std::ldexp(static_cast<double>(below), -64);
  const std::uint64_t mid = std::uint64_t{1} << 63;
  const bool half = below == mid && !rest_nonzero;
  const bool up = below > mid || (below == mid && rest_nonzero) || (half && (lead & 1u) != 0);
  result.nearest = std::ldexp(static_cast<double>(lead + (up ? 1 : 0)), n * e + shift);
  result.below = std::ldexp(static_cast<double>(lead), n * e + shift);
  result.ulp = std::ldexp(1.0, n * e + shift);
  return result;
}

// How far the exact power lies from the nearest midpoint between two
// doubles, in ulps of its binade: 0 on a midpoint, 1/2 on a double.
inline double DistanceFromMidpoint(const ExactPower& p) { return std::fabs(p.position - 0.5); }

// How far `x` lies from the exact power, in ulps of the binade below the
// power (for x within a few ulps of it).
inline double ErrorInUlps(const ExactPower& p, double x) {
  return std::fabs((x - p.below) / p.ulp - p.position);
}

}  // namespace tessaly::testing
