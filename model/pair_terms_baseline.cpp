// The observation's pair terms on plain x86-64 (and in WebAssembly, whose
// 128-bit vectors the SSE2 intrinsics translate to): two pairs per vector.
#include <emmintrin.h>

#include "model/pair_terms_simd.h"

namespace tessaly::pair_terms {
namespace {

struct Sse2 {
  using V = __m128d;
  static constexpr int kLanes = 2;

  static V Set1(double x) { return _mm_set1_pd(x); }
  static V Load(const double* p) { return _mm_loadu_pd(p); }
  static void Store(double* p, V v) { _mm_storeu_pd(p, v); }
  static V Add(V a, V b) { return _mm_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm_mul_pd(a, b); }
  static V Div(V a, V b) { return _mm_div_pd(a, b); }
  static V Sqrt(V a) { return _mm_sqrt_pd(a); }
  static V Max(V a, V b) { return _mm_max_pd(a, b); }  // a > b ? a : b
  static V Min(V a, V b) { return _mm_min_pd(a, b); }  // a < b ? a : b
  static V Lt(V a, V b) { return _mm_cmplt_pd(a, b); }
  static V And(V mask, V a) { return _mm_and_pd(mask, a); }
  static V Select(V mask, V a, V b) { return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b)); }
  static void StoreTruncated(std::int32_t* p, V a) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_cvttpd_epi32(a));
  }
};

}  // namespace

double RowBaseline(const double* x, const double* y, std::int32_t count, double ax, double ay,
                   double total, Tally* tally) {
  return RowOf<Sse2>(x, y, count, ax, ay, total, tally);
}

}  // namespace tessaly::pair_terms
