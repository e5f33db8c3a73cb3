// The force loop with AVX2 and FMA: four rows per vector; the exact products
// come from fused multiply-subtract.
#include <immintrin.h>

#include "model/force_kernel_simd.h"

namespace tessaly::kernels {
namespace {

struct Avx2 {
  using V = __m256d;
  using M = __m256d;  // all ones in the lanes that are set
  static constexpr int kLanes = 4;

  static V Set1(double x) { return _mm256_set1_pd(x); }
  static V Load(const double* p) { return _mm256_loadu_pd(p); }
  static void Store(double* p, V v) { _mm256_storeu_pd(p, v); }
  static V Add(V a, V b) { return _mm256_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm256_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm256_mul_pd(a, b); }
  static V Div(V a, V b) { return _mm256_div_pd(a, b); }
  static V Sqrt(V a) { return _mm256_sqrt_pd(a); }
  static V Abs(V a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
  static V ExponentOf(V a) {
    return _mm256_and_pd(a, _mm256_castsi256_pd(_mm256_set1_epi64x(0x7ff0000000000000)));
  }
  // a is a power of two or the double below one: its mantissa field plus one
  // is 0 or 1 (the carry out of an all-ones field goes into the exponent).
  static M AtBinadeEdge(V a, V /*binade*/) {
    const __m256i up = _mm256_add_epi64(_mm256_castpd_si256(a), _mm256_set1_epi64x(1));
    const __m256i field = _mm256_and_si256(up, _mm256_set1_epi64x(0x000fffffffffffff));
    return _mm256_castsi256_pd(_mm256_cmpgt_epi64(_mm256_set1_epi64x(2), field));
  }

  // Quiet comparisons, as the scalar ones: a NaN raises no flag.
  static M Lt(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
  static M Le(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
  static M Gt(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
  static M Eq(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
  static M Neq(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_NEQ_UQ); }
  static M Or(M a, M b) { return _mm256_or_pd(a, b); }
  static M AndNot(M a, M b) { return _mm256_andnot_pd(b, a); }  // a and not b
  static M Not(M a) { return _mm256_xor_pd(a, _mm256_castsi256_pd(_mm256_set1_epi32(-1))); }
  static unsigned Bits(M m) { return static_cast<unsigned>(_mm256_movemask_pd(m)); }
  static V Select(M m, V a, V b) { return _mm256_blendv_pd(b, a, m); }  // a where m is set

  // Writes base + k for every lane k set in m to out[0], out[1], ...; returns
  // how many. May write up to kLanes entries.
  static int AppendLanes(M m, std::int32_t base, std::int32_t* out) {
    const unsigned bits = Bits(m);
    int count = 0;
    for (int k = 0; k < kLanes; ++k) {
      out[count] = base + k;
      count += static_cast<int>((bits >> k) & 1u);
    }
    return count;
  }

  // a b = p + e exactly: the fused operation rounds a b - p only once, and
  // that difference is a double.
  static void TwoProd(V a, V b, V& p, V& e) {
    p = _mm256_mul_pd(a, b);
    e = _mm256_fmsub_pd(a, b, p);
  }
};

constexpr int kVectors = 2;

}  // namespace

void TileAvx2(const ForceArgs& args, std::int32_t row_first, std::int32_t row_last,
              std::int32_t col_first, std::int32_t col_last) {
  TileOf<Avx2, kVectors>(args, row_first, row_last, col_first, col_last);
}

void PowersAvx2(const double* r, std::size_t count, double* p7, double* p13) {
  PowersOf<Avx2>(r, count, p7, p13);
}

}  // namespace tessaly::kernels
