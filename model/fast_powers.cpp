#include "model/fast_powers.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tessaly {
namespace {

// Distances whose r^7 or r^13 (alternately) lies between 3/64 and
// 3/64 + 1/256 ulp from the midpoint between two doubles: the fast route
// answers them itself, and a library whose error exceeded 0.55 ulp would
// first show there. Found by working the powers out exactly in integers
// (tests/exact_power.h), which the tests do again for every entry.
constexpr double kMarginEdge[] = {
    0x1.3089eacd5089ep+2,  // r^7
    0x1.0c51784b3c2d4p+2,  // r^13
    0x1.1b914b0bbd8cp+3,  // r^7
    0x1.490cabc83a4cep+1,  // r^13
    0x1.0ac3f1605701ep+2,  // r^7
    0x1.b9d1ed0620e15p+2,  // r^13
    0x1.bd67577a72771p+2,  // r^7
    0x1.036ac457068b5p+3,  // r^13
    0x1.858e9927a6f86p+2,  // r^7
    0x1.0afceffe6b01p+3,  // r^13
    0x1.d4ce75c401cb2p+3,  // r^7
    0x1.1999a688c485ep+3,  // r^13
    0x1.889ca91956585p+3,  // r^7
    0x1.a364eae525e15p+3,  // r^13
    0x1.2a226853f5d5p+2,  // r^7
    0x1.8bf3fa5ec2b91p+2,  // r^13
    0x1.6d12f22d0c1c1p+3,  // r^7
    0x1.ca964a7c6065ep+3,  // r^13
    0x1.1ba737fc9e47ap+3,  // r^7
    0x1.723307585ea7cp+3,  // r^13
    0x1.2620a673519e6p+3,  // r^7
    0x1.0c8ec71a954f3p+2,  // r^13
    0x1.9e91ee31890a1p+2,  // r^7
    0x1.2f9236d237261p+3,  // r^13
    0x1.839ef8949852ap+2,  // r^7
    0x1.01126e0b10061p+3,  // r^13
    0x1.479eede907168p+3,  // r^7
    0x1.8ac28169e0d9ap+2,  // r^13
    0x1.1b9cad041fba3p+2,  // r^7
    0x1.c2c07491e9db9p+3,  // r^13
    0x1.153c97626410fp+0,  // r^7
    0x1.0c84981864626p+1,  // r^13
    0x1.52a20ec39672ap+2,  // r^7
    0x1.8537c1ceb5203p+2,  // r^13
    0x1.6c666cb0c393p+1,  // r^7
    0x1.57549ffdd83b2p+2,  // r^13
    0x1.b20d4f631523cp+1,  // r^7
    0x1.d8ad616083bf8p+3,  // r^13
    0x1.6b312c1b77d8dp+1,  // r^7
    0x1.b8e514c951fa6p+3,  // r^13
    0x1.5ffd60ac0796dp+2,  // r^7
    0x1.2028e54880aa8p+1,  // r^13
    0x1.0434b02d19049p+3,  // r^7
    0x1.08524d9a118ap+1,  // r^13
    0x1.088c837682253p+3,  // r^7
};

// The sample: distances spread over [1, 15) by a Weyl sequence (every bit of
// the mantissa in play), the whole numbers 1..15 and their halves (exact
// powers and powers of two among them), and the margin's edge.
std::vector<double> Sample() {
  constexpr int kSpread = 2048;
  std::vector<double> r;
  r.reserve(kSpread + 29 + std::size(kMarginEdge));
  double u = 0.0;
  for (int k = 0; k < kSpread; ++k) {
    u += 0.6180339887498949;  // the golden ratio's fraction
    u -= std::floor(u);
    r.push_back(1.0 + 14.0 * u);
  }
  for (int k = 2; k <= 30; ++k) r.push_back(k / 2.0);
  r.insert(r.end(), std::begin(kMarginEdge), std::end(kMarginEdge));
  return r;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

const double* MarginEdgeSample(std::size_t& count) {
  count = std::size(kMarginEdge);
  return kMarginEdge;
}

bool FastPowersAgreeWith(VectorSet set, double (*library_pow)(double, double)) {
  const std::vector<double> r = Sample();
  std::vector<double> p7(r.size());
  std::vector<double> p13(r.size());
  FastPowers(set, r.data(), r.size(), p7.data(), p13.data());
  for (std::size_t k = 0; k < r.size(); ++k) {
    if (!SameBits(p7[k], library_pow(r[k], 7.0)) || !SameBits(p13[k], library_pow(r[k], 13.0))) {
      return false;
    }
  }
  return true;
}

bool FastPowersAgreeWithLibrary(VectorSet set) {
  return FastPowersAgreeWith(set, [](double x, double y) { return std::pow(x, y); });
}

}  // namespace tessaly
