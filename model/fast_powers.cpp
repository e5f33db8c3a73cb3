#include "model/fast_powers.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tessaly {
namespace {

// Distances whose r^7 or r^13 (alternately) lies between 1/16 and
// 1/16 + 1/256 ulp from the midpoint between two doubles: the fast route
// answers them itself, and a library whose error exceeded 0.56 ulp would
// first show there. Found by working the powers out exactly in integers
// (tests/exact_power.h), which the tests do again for every entry.
constexpr double kMarginEdge[] = {
    0x1.4accd9e8756c8p+3,  // r^7
    0x1.c40c9800b5838p+2,  // r^13
    0x1.29f2219c9d082p+2,  // r^7
    0x1.852d3833f8d82p+3,  // r^13
    0x1.3ddb6fdcc9464p+3,  // r^7
    0x1.09e6f7bd55439p+2,  // r^13
    0x1.736bb2c171053p+2,  // r^7
    0x1.fc97d11154137p+1,  // r^13
    0x1.c9b80dca9e6e9p+2,  // r^7
    0x1.d2bc57fa824d2p+2,  // r^13
    0x1.2981b9e8bfd02p+0,  // r^7
    0x1.949593d5c02fep+3,  // r^13
    0x1.b8159811153afp+3,  // r^7
    0x1.627c2c9725dfcp+1,  // r^13
    0x1.1073d54939373p+1,  // r^7
    0x1.d39caf993745ep+2,  // r^13
    0x1.73889287142c9p+2,  // r^7
    0x1.d094561c91d01p+3,  // r^13
    0x1.48826e856ff7bp+3,  // r^7
    0x1.9d7512151f0aep+3,  // r^13
    0x1.b52203bfa6167p+3,  // r^7
    0x1.857fafa9ec4fcp+2,  // r^13
    0x1.7ad0eeb434e71p+1,  // r^7
    0x1.d97edcda2dc97p+3,  // r^13
    0x1.21a3ad31a2ae5p+3,  // r^7
    0x1.02e70b55dbbeap+3,  // r^13
    0x1.658d36f82c8e6p+3,  // r^7
    0x1.a4c8e73d57795p+3,  // r^13
    0x1.b03d32bdaa54ep+2,  // r^7
    0x1.bb6d51e64c4aap+3,  // r^13
    0x1.6c46cf367fa9bp+3,  // r^7
    0x1.1e0911c4069a4p+3,  // r^13
    0x1.bbb00819b3065p+3,  // r^7
    0x1.876c9edaca9cp+2,  // r^13
    0x1.7e75aef354c75p+2,  // r^7
    0x1.4162fea9c0a96p+3,  // r^13
    0x1.904275204d97bp+3,  // r^7
    0x1.cafe9c9eb38dp+1,  // r^13
    0x1.d1cb778253977p+3,  // r^7
    0x1.6540fc80eb1c7p+3,  // r^13
    0x1.4057195b06ea2p+1,  // r^7
    0x1.5dff4a39ad38p+3,  // r^13
    0x1.8e789a5de2a55p+2,  // r^7
    0x1.07fdd2db48024p+2,  // r^13
    0x1.d466e1b75cd55p+3,  // r^7
    0x1.5abd13ffa83b1p+3,  // r^13
    0x1.5dc4e3c7a6b6fp+3,  // r^7
    0x1.ae2f4b7dbeafap+3,  // r^13
    0x1.e566481bb62e8p+0,  // r^7
    0x1.b905495b559ap+1,  // r^13
    0x1.b5e690ead8157p+3,  // r^7
    0x1.6ec3f4f8e402fp+2,  // r^13
    0x1.030b5ffae3f7p+2,  // r^7
    0x1.297cd665dc409p+0,  // r^13
    0x1.4c1a8ac6e0b63p+3,  // r^7
    0x1.c72860606b814p+3,  // r^13
    0x1.9f5241342a953p+3,  // r^7
    0x1.8f9aaea777e68p+2,  // r^13
    0x1.d00b328f18c09p+3,  // r^7
    0x1.690b9b75283ebp+1,  // r^13
    0x1.4d4bf2d21236dp+2,  // r^7
    0x1.56c7a6cac2998p+3,  // r^13
    0x1.dc07411bfcf02p+3,  // r^7
    0x1.2dd131855df0cp+2,  // r^13
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
