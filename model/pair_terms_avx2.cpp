// The observation's pair terms with AVX2: four pairs per vector.
#include <immintrin.h>

#include "model/pair_terms_simd.h"

namespace tessaly::pair_terms {
namespace {

struct Avx2 {
  using V = __m256d;
  static constexpr int kLanes = 4;

  static V Set1(double x) { return _mm256_set1_pd(x); }
  static V Load(const double* p) { return _mm256_loadu_pd(p); }
  static void Store(double* p, V v) { _mm256_storeu_pd(p, v); }
  static V Add(V a, V b) { return _mm256_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm256_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm256_mul_pd(a, b); }
  static V Div(V a, V b) { return _mm256_div_pd(a, b); }
  static V Sqrt(V a) { return _mm256_sqrt_pd(a); }
  static V Max(V a, V b) { return _mm256_max_pd(a, b); }  // a > b ? a : b
  static V Min(V a, V b) { return _mm256_min_pd(a, b); }  // a < b ? a : b
  static V Lt(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
  static V And(V mask, V a) { return _mm256_and_pd(mask, a); }
  static V Select(V mask, V a, V b) { return _mm256_blendv_pd(b, a, mask); }
  static void StoreTruncated(std::int32_t* p, V a) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_cvttpd_epi32(a));
  }
};

}  // namespace

double RowAvx2(const double* x, const double* y, std::int32_t count, double ax, double ay,
               double total, Tally* tally) {
  return RowOf<Avx2>(x, y, count, ax, ay, total, tally);
}

}  // namespace tessaly::pair_terms
