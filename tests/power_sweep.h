// Sweeps of distances in [1, 13] through the fast powers and std::pow.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

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

}  // namespace tessaly::testing
