// Powers of a double worked out exactly in integers, as the yardstick for the
// fast powers: r = m 2^e with an integer m of at most 53 bits, so r^n =
// m^n 2^(ne), and m^n is an integer of at most 53 n bits, multiplied out limb
// by limb. Slow (a microsecond) and independent of any floating-point
// arithmetic.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace tessaly::testing {

struct ExactPower {
  double nearest;     // the exact power rounded to nearest, ties to even
  double position;    // where the exact power lies between the double at or
                      // below it (0) and the next one (1), to about 2^-53
  bool exact;         // the power is a double
};

// r^n for finite r >= 1 and n >= 1 whose power stays below 2^1024.
inline ExactPower ExactPowerOf(double r, int n) {
  int e = 0;
  const double frac = std::frexp(r, &e);  // r = frac 2^e, frac in [0.5, 1)
  const auto m = static_cast<std::uint64_t>(std::ldexp(frac, 53));
  e -= 53;

  std::vector<std::uint64_t> limbs{1};  // little-endian
  for (int k = 0; k < n; ++k) {
    unsigned __int128 carry = 0;
    for (std::uint64_t& limb : limbs) {
      const unsigned __int128 t = static_cast<unsigned __int128>(limb) * m + carry;
      limb = static_cast<std::uint64_t>(t);
      carry = t >> 64;
    }
    if (carry != 0) limbs.push_back(static_cast<std::uint64_t>(carry));
  }
  const int top_bits = 64 - __builtin_clzll(limbs.back());
  const int bits = static_cast<int>(limbs.size() - 1) * 64 + top_bits;
  auto bit = [&](int k) { return (limbs[k / 64] >> (k % 64)) & 1u; };

  // The leading 53 bits (m has 53, so m^n has at least as many), then the
  // next 64 as the position below one ulp.
  std::uint64_t lead = 0;
  for (int k = bits - 1; k >= bits - 53; --k) lead = (lead << 1) | bit(k);
  const int shift = bits - 53;
  std::uint64_t below = 0;
  bool rest_nonzero = false;
  for (int k = shift - 1; k >= 0; --k) {
    if (k >= shift - 64) {
      below = (below << 1) | bit(k);
    } else if (bit(k) != 0) {
      rest_nonzero = true;
    }
  }
  if (shift > 0 && shift < 64) below <<= 64 - shift;

  ExactPower result{};
  result.exact = below == 0 && !rest_nonzero;
  result.position = std::ldexp(static_cast<double>(below), -64);
  const std::uint64_t mid = std::uint64_t{1} << 63;
  const bool half = below == mid && !rest_nonzero;
  const bool up = below > mid || (below == mid && rest_nonzero) || (half && (lead & 1u) != 0);
  result.nearest = std::ldexp(static_cast<double>(lead + (up ? 1 : 0)), n * e + shift);
  return result;
}

// How far the exact power lies from the nearest midpoint between two
// doubles, in ulps of its binade: 0 on a midpoint, 1/2 on a double.
inline double DistanceFromMidpoint(const ExactPower& p) { return std::fabs(p.position - 0.5); }

}  // namespace tessaly::testing
