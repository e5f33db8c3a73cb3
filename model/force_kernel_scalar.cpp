// The force loop one row at a time: the vector kernel with vectors of one
// lane, in plain double arithmetic. It is the kernel of the WebAssembly module
// for engines without SIMD, and the tests hold it to the same bits as the
// others on every processor. No fused multiply-add (WebAssembly has none that
// rounds once everywhere), so the exact products come from Dekker's split, as
// in force_kernel_baseline.cpp.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "model/force_kernel_simd.h"

namespace tessaly::kernels {
namespace {

// The bits of a double and back (emscripten's C++ library has no
// std::bit_cast).
std::uint64_t BitsOf(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}
double DoubleOf(std::uint64_t bits) {
  double x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

struct Scalar {
  using V = double;
  using M = bool;
  static constexpr int kLanes = 1;

  static V Set1(double x) { return x; }
  static V Load(const double* p) { return *p; }
  static void Store(double* p, V v) { *p = v; }
  static V Add(V a, V b) { return a + b; }
  static V Sub(V a, V b) { return a - b; }
  static V Mul(V a, V b) { return a * b; }
  static V Div(V a, V b) { return a / b; }
  static V Sqrt(V a) { return std::sqrt(a); }
  static V Abs(V a) { return std::fabs(a); }
  static V ExponentOf(V a) {
    return DoubleOf(BitsOf(a) & 0x7ff0000000000000u);
  }
  // a is a power of two or the double below one: its mantissa bits are all
  // clear or all set.
  static M AtBinadeEdge(V a, V /*binade*/) {
    const std::uint64_t mantissa = BitsOf(a) & 0x000fffffffffffffu;
    return mantissa == 0 || mantissa == 0x000fffffffffffffu;
  }

  static M Lt(V a, V b) { return a < b; }
  static M Le(V a, V b) { return a <= b; }
  static M Gt(V a, V b) { return a > b; }
  static M Eq(V a, V b) { return a == b; }
  static M Neq(V a, V b) { return a != b; }  // true for NaN, as the vector kernels' compare
  static M Or(M a, M b) { return a || b; }
  static M AndNot(M a, M b) { return a && !b; }
  static M Not(M a) { return !a; }
  static V Select(M m, V a, V b) { return m ? a : b; }

  // Writes base to out[0]; returns 1 if m is set, else 0.
  static int AppendLanes(M m, std::int32_t base, std::int32_t* out) {
    out[0] = base;
    return m ? 1 : 0;
  }

  // Veltkamp's split: a = hi + lo with hi holding the upper 26 bits.
  static void Split(V a, V& hi, V& lo) {
    const V c = 134217729.0 * a;  // 2^27 + 1
    hi = c - (c - a);
    lo = a - hi;
  }
  // Dekker's exact product: a b = p + e.
  static void TwoProd(V a, V b, V& p, V& e) {
    V ah, al, bh, bl;
    Split(a, ah, al);
    Split(b, bh, bl);
    p = a * b;
    e = ah * bh - p;
    e = e + ah * bl;
    e = e + al * bh;
    e = e + al * bl;
  }
};

// Rows side by side: independent chains of additions for the processor (or
// the WebAssembly engine) to overlap. Under node, 4 rows went a tenth or so
// faster than 2 or 8, and at 40 particles a fifth faster than 8.
constexpr int kRows = 4;

}  // namespace

void TileScalar(const ForceArgs& args, std::int32_t row_first, std::int32_t row_last,
                std::int32_t col_first, std::int32_t col_last) {
  TileOf<Scalar, kRows>(args, row_first, row_last, col_first, col_last);
}

void PowersScalar(const double* r, std::size_t count, double* p7, double* p13) {
  PowersOf<Scalar>(r, count, p7, p13);
}

}  // namespace tessaly::kernels
