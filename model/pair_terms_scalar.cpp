// The observation's pair terms one pair at a time, with no vector
// instruction, for the WebAssembly module that runs where SIMD is missing:
// the same operations as the vector files, lane by lane, so the same bits.
#include <cmath>

#include "model/pair_terms_simd.h"

namespace tessaly::pair_terms {
namespace {

struct OneLane {
  using V = double;
  static constexpr int kLanes = 1;

  static V Set1(double x) { return x; }
  static V Load(const double* p) { return *p; }
  static void Store(double* p, V v) { *p = v; }
  static V Add(V a, V b) { return a + b; }
  static V Sub(V a, V b) { return a - b; }
  static V Mul(V a, V b) { return a * b; }
  static V Div(V a, V b) { return a / b; }
  static V Sqrt(V a) { return std::sqrt(a); }
  static V Max(V a, V b) { return a > b ? a : b; }  // as the vectors' maximum: b unless a is greater
  static V Min(V a, V b) { return a < b ? a : b; }
  static bool Lt(V a, V b) { return a < b; }
  static V And(bool mask, V a) { return mask ? a : 0.0; }
  static V Select(bool mask, V a, V b) { return mask ? a : b; }
  static void StoreTruncated(std::int32_t* p, V a) { *p = static_cast<std::int32_t>(a); }
};

}  // namespace

double RowScalar(const double* x, const double* y, std::int32_t count, double ax, double ay,
                 double total, Tally* tally) {
  return RowOf<OneLane>(x, y, count, ax, ay, total, tally);
}

}  // namespace tessaly::pair_terms
