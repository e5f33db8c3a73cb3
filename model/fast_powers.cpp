#include "model/fast_powers.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tessaly {
namespace {

// Distances whose r^7 or r^13 lies just outside the margin, between m and
// m + 1/256 ulp from the midpoint between two doubles: alternately r^7 and
// r^13 below 2^48 (m = 1/64), then r^13 above it (m = 3/64). The fast route
// answers them itself, and a library whose error exceeded 1/2 + m ulp there
// would first show there. Found by working the powers out exactly in integers
// (tests/exact_power.h), which the tests do again for every entry.
constexpr double kMarginEdge[] = {
    0x1.5f33f967e1f6ep+3,  // r^7
    0x1.19062e54827dep+2,  // r^13
    0x1.357e678241eb9p+3,  // r^7
    0x1.e1fe4cad07bfp+1,  // r^13
    0x1.163c87a981cb5p+2,  // r^7
    0x1.478091111df99p+3,  // r^13
    0x1.9a4c8b35f9cbap+2,  // r^7
    0x1.a6677800b6fe5p+1,  // r^13
    0x1.82be7c61f3975p+2,  // r^7
    0x1.6bed60719cb2p+3,  // r^13
    0x1.612608a447e3p+2,  // r^7
    0x1.3672ca99e08d2p+2,  // r^13
    0x1.41f0fe442f89fp+3,  // r^7
    0x1.8595abf047863p+1,  // r^13
    0x1.cc4c57aca548ap+1,  // r^7
    0x1.6b50872e0b198p+3,  // r^13
    0x1.b07c097fd0806p+2,  // r^7
    0x1.140bc36a16179p+3,  // r^13
    0x1.2afdc367c6912p+2,  // r^7
    0x1.27106fcfb7828p+3,  // r^13
    0x1.ba00fdca38b9cp+3,  // r^7
    0x1.3086c418d72e7p+1,  // r^13
    0x1.c123fbff27feep+1,  // r^7
    0x1.1a3bf64bba11ap+3,  // r^13
    0x1.9ff6774585918p+3,  // r^7
    0x1.76b5debd32652p+3,  // r^13
    0x1.8417966bf9914p+3,  // r^7
    0x1.32aba4b5d677ep+2,  // r^13
    0x1.c2c07491e9db9p+3,  // r^7
    0x1.292d2c4a2c6p+3,  // r^13
    0x1.afa7a8f226c7p+3,  // r^7
    0x1.b3583085806e8p+1,  // r^13
    0x1.54e20a8b0fe0bp+3,  // r^7
    0x1.528c91d9d4717p+3,  // r^13
    0x1.de686b09ea8aap+2,  // r^7
    0x1.0a9db742866c4p+1,  // r^13
    0x1.ce92747cebfe2p+3,  // r^7
    0x1.4c31ed7bc83fcp+1,  // r^13
    0x1.d92ffb384eff7p+2,  // r^7
    0x1.ab620a962ce42p+2,  // r^13
    0x1.84a8440883befp+3,  // r^7
    0x1.1d647da4ed2b2p+2,  // r^13
    0x1.aa449f17f33c5p+3,  // r^13 above 2^48
    0x1.b6eb27c92d371p+3,  // r^13 above 2^48
    0x1.ca52218a9b34cp+3,  // r^13 above 2^48
    0x1.d95ecfe71e0bfp+3,  // r^13 above 2^48
    0x1.ae25905780c88p+3,  // r^13 above 2^48
    0x1.c0081be7d079p+3,  // r^13 above 2^48
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
