// Sweeps of distances through the fast powers and std::pow: uniform over
// [1, 13], and the distances whose powers the margin of 1/64 ulp hands to the
// fast route, worked out exactly.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "exact_power.h"
#include "model/fast_powers.h"

namespace tessaly::testing {

struct SweepResult {
  std::size_t differences = 0;    // distances where a power differs in any bit
  double first_difference = 0.0;  // the first of them
};

// `count` distances in [1, 13]: half drawn uniformly, half in runs of 1024
// consecutive doubles from random starts (neighbours share all but the last
// bits, where rounding decisions cluster). Seeded: the same every run.
inline SweepResult SweepAgainstLibrary(VectorSet set, std::size_t count, std::uint64_t seed) {
  constexpr std::size_t kChunk = std::size_t{1} << 16;
  std::mt19937_64 engine(seed);
  std::uniform_real_distribution<double> u(1.0, 13.0);
  std::vector<double> r(kChunk), p7(kChunk), p13(kChunk);
  SweepResult result;
  double run = 1.0;
  for (std::size_t done = 0; done < count; done += kChunk) {
    const std::size_t m = count - done < kChunk ? count - done : kChunk;
    for (std::size_t k = 0; k < m; ++k) {
      if ((k & 1) == 0) {
        r[k] = u(engine);
      } else {
        if ((k & 2047) == 1) run = u(engine);
        run = std::nextafter(run, 14.0);
        r[k] = run;
      }
    }
    FastPowers(set, r.data(), m, p7.data(), p13.data());
    for (std::size_t k = 0; k < m; ++k) {
      const double want7 = std::pow(r[k], 7.0);
      const double want13 = std::pow(r[k], 13.0);
      if (std::memcmp(&want7, &p7[k], sizeof(double)) != 0 ||
          std::memcmp(&want13, &p13[k], sizeof(double)) != 0) {
        if (result.differences++ == 0) result.first_difference = r[k];
      }
    }
  }
  return result;
}

struct BandSweepResult {
  std::uint64_t scanned = 0;         // distances looked at
  std::uint64_t in_band = 0;         // of them, with r^7 or r^13 in the band
  std::uint64_t powers_in_band = 0;  // their powers in the band
  std::uint64_t powers_near = 0;     // powers within 1/64 ulp of a midpoint
  std::uint64_t differences = 0;     // in-band powers where std::pow is not the
                                     // nearest double, or distances where a
                                     // fast power differs from std::pow
  double first_difference = 0.0;     // the first of them
  double largest_error = 0.0;        // std::pow's, in ulps, over all powers
  double largest_error_at = 0.0;     // within 3/64 ulp of a midpoint
  int largest_error_power = 0;
};

// The premise of the margin of 1/64 ulp, put to the test where it matters:
// distances in [1, 12.75] (the box's diagonal 9 sqrt 2 and a little more)
// whose r^7 or r^13 lies between 1/64 and 3/64 ulp from the midpoint between
// two doubles, the band the fast route answers itself. Sweeps runs of 4096
// consecutive doubles from seeded random starts until `wanted` such
// distances are found; a double-double power (Dekker's products, no fused
// multiply-add, the same in WebAssembly) picks the candidates, integer
// arithmetic decides. For every one, the fast powers on every vector set and
// std::pow must all give the nearest double. Along the way std::pow's error
// is measured against the exact power for every power within 3/64 ulp of a
// midpoint, those within 1/64 (which the fast route leaves to std::pow)
// included: there a library that rounds the wrong way shows how far it
// strays.
inline BandSweepResult SweepTheMarginsBand(std::uint64_t wanted, std::uint64_t seed) {
  constexpr double kTight = 1.0 / 64.0;
  constexpr double kWide = 3.0 / 64.0;
  constexpr std::uint64_t kRun = 4096;
  // a b = p + e exactly, from ordinary products (Veltkamp's split).
  auto two_prod = [](double a, double b, double& p, double& e) {
    auto split = [](double x, double& hi, double& lo) {
      const double c = 134217729.0 * x;  // 2^27 + 1
      hi = c - (c - x);
      lo = x - hi;
    };
    p = a * b;
    double ah, al, bh, bl;
    split(a, ah, al);
    split(b, bh, bl);
    e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
  };
  // Approximately how far h + l lies from a midpoint, in ulps of the binade
  // of RN(h + l): to about 2^-40 ulp, plenty for picking candidates.
  auto approx_distance = [](double h, double l) {
    const double p = h + l;
    const double lo = l - (p - h);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &p, sizeof bits);
    bits &= 0x7ff0000000000000u;  // 2^floor(log2 p)
    double binade = 0.0;
    std::memcpy(&binade, &bits, sizeof bits);
    return std::fabs(0.5 - std::fabs(lo) / (binade * 0x1p-52));
  };

  std::mt19937_64 engine(seed);
  std::uniform_real_distribution<double> start(1.0, 12.75);
  BandSweepResult result;
  std::vector<double> band;  // the in-band distances of one round
  std::vector<double> p7, p13;
  while (result.in_band < wanted) {
    band.clear();
    for (int round = 0; round < 64 && result.in_band + band.size() < wanted; ++round) {
      const double first = start(engine);
      std::uint64_t first_bits = 0;
      std::memcpy(&first_bits, &first, sizeof first);
      for (std::uint64_t k = 0; k < kRun; ++k) {
        double r = 0.0;  // the k-th double above the first
        const std::uint64_t bits = first_bits + k;
        std::memcpy(&r, &bits, sizeof r);
        ++result.scanned;
        double h2, l2, h3, e3, h6, e6, h7, e7, h13, e13;
        two_prod(r, r, h2, l2);
        two_prod(h2, r, h3, e3);
        const double l3 = e3 + l2 * r;
        two_prod(h3, h3, h6, e6);
        const double l6 = e6 + 2.0 * (h3 * l3);
        two_prod(h6, r, h7, e7);
        const double l7 = e7 + l6 * r;
        two_prod(h7, h6, h13, e13);
        const double l13 = e13 + (h7 * l6 + l7 * h6);
        const double slack = 1e-9;
        const bool maybe7 = approx_distance(h7, l7) < kWide + slack;
        const bool maybe13 = approx_distance(h13, l13) < kWide + slack;
        if (!maybe7 && !maybe13) continue;

        bool in_band = false;
        for (int n : {7, 13}) {
          if (!(n == 7 ? maybe7 : maybe13)) continue;
          const ExactPower p = ExactPowerOf(r, n);
          const double d = DistanceFromMidpoint(p);
          if (d > kWide || p.exact) continue;
          const double library = std::pow(r, n);
          const double error = ErrorInUlps(p, library);
          if (error > result.largest_error) {
            result.largest_error = error;
            result.largest_error_at = r;
            result.largest_error_power = n;
          }
          if (d <= kTight) {
            ++result.powers_near;
            continue;
          }
          ++result.powers_in_band;
          in_band = true;
          if (library != p.nearest) {
            if (result.differences++ == 0) result.first_difference = r;
          }
        }
        if (in_band) band.push_back(r);
      }
    }
    result.in_band += band.size();

    std::vector<double> want7(band.size()), want13(band.size());
    for (std::size_t k = 0; k < band.size(); ++k) {
      want7[k] = std::pow(band[k], 7.0);
      want13[k] = std::pow(band[k], 13.0);
    }
    p7.resize(band.size());
    p13.resize(band.size());
    for (VectorSet set : {VectorSet::kBaseline, VectorSet::kAvx2, VectorSet::kAvx512}) {
      if (set > BestVectorSet()) continue;
      FastPowers(set, band.data(), band.size(), p7.data(), p13.data());
      for (std::size_t k = 0; k < band.size(); ++k) {
        if (std::memcmp(&want7[k], &p7[k], sizeof(double)) != 0 ||
            std::memcmp(&want13[k], &p13[k], sizeof(double)) != 0) {
          if (result.differences++ == 0) result.first_difference = band[k];
        }
      }
    }
  }
  return result;
}

// Prints what a sweep of the band found, for the test's log.
inline void PrintBandSweep(const BandSweepResult& result) {
  std::printf(
      "Scanned %llu distances in [1, 12.75]: %llu with a power between 1/64 and 3/64 ulp of a\n"
      "midpoint (%llu powers), %llu powers within 1/64; %llu differences. std::pow's largest\n"
      "error: %.6f ulp, for r^%d at r = %a.\n",
      static_cast<unsigned long long>(result.scanned),
      static_cast<unsigned long long>(result.in_band),
      static_cast<unsigned long long>(result.powers_in_band),
      static_cast<unsigned long long>(result.powers_near),
      static_cast<unsigned long long>(result.differences), result.largest_error,
      result.largest_error_power, result.largest_error_at);
}

}  // namespace tessaly::testing
