// The force loop with AVX-512: eight rows per vector, masks in their own
// registers, and fused multiply-subtract for the exact products.
#include <immintrin.h>

#include "model/force_kernel_simd.h"

namespace tessaly::kernels {
namespace {

struct Avx512 {
  using V = __m512d;
  using M = __mmask8;
  static constexpr int kLanes = 8;

  static V Set1(double x) { return _mm512_set1_pd(x); }
  static V Load(const double* p) { return _mm512_loadu_pd(p); }
  static void Store(double* p, V v) { _mm512_storeu_pd(p, v); }
  static V Add(V a, V b) { return _mm512_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm512_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm512_mul_pd(a, b); }
  static V Div(V a, V b) { return _mm512_div_pd(a, b); }
  // All lanes: the same instruction as _mm512_sqrt_pd, whose undefined
  // pass-through operand g++ 12 takes for an uninitialised variable.
  static V Sqrt(V a) { return _mm512_mask_sqrt_pd(a, 0xff, a); }
  static V Abs(V a) { return _mm512_abs_pd(a); }
  static V ExponentOf(V a) {
    return _mm512_castsi512_pd(
        _mm512_and_si512(_mm512_castpd_si512(a), _mm512_set1_epi64(0x7ff0000000000000)));
  }
  // a is a power of two or the double below one: its mantissa field plus one
  // is 0 or 1 (the carry out of an all-ones field goes into the exponent).
  static M AtBinadeEdge(V a, V /*binade*/) {
    const __m512i up = _mm512_add_epi64(_mm512_castpd_si512(a), _mm512_set1_epi64(1));
    const __m512i field = _mm512_and_si512(up, _mm512_set1_epi64(0x000fffffffffffff));
    return _mm512_cmple_epu64_mask(field, _mm512_set1_epi64(1));
  }

  // Quiet comparisons, as the scalar ones: a NaN raises no flag.
  static M Lt(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
  static M Le(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
  static M Gt(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
  static M Eq(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
  static M Neq(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_NEQ_UQ); }
  static M Or(M a, M b) { return static_cast<M>(a | b); }
  static M AndNot(M a, M b) { return static_cast<M>(a & ~b); }
  static M Not(M a) { return static_cast<M>(~a); }
  static unsigned Bits(M m) { return m; }
  static V Select(M m, V a, V b) { return _mm512_mask_blend_pd(m, b, a); }  // a where m is set

  // Writes base + k for every lane k set in m to out[0], out[1], ...; returns
  // how many. (Compressed in a register, then stored with a mask: a
  // compressing store to memory is slow on some processors.)
  static int AppendLanes(M m, std::int32_t base, std::int32_t* out) {
    const __m512i lane = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m512i lanes = _mm512_add_epi32(_mm512_set1_epi32(base), lane);
    const __m512i packed = _mm512_maskz_compress_epi32(m, lanes);
    _mm512_mask_storeu_epi32(out, 0xff, packed);
    return __builtin_popcount(m);
  }

  // a b = p + e exactly: the fused operation rounds a b - p only once, and
  // that difference is a double.
  static void TwoProd(V a, V b, V& p, V& e) {
    p = _mm512_mul_pd(a, b);
    e = _mm512_fmsub_pd(a, b, p);
  }
};

// Eight rows in one vector already keep the divider busy enough that the
// running sums' additions are not what it waits for; a second vector of
// rows measured slower.
constexpr int kVectors = 1;

}  // namespace

void TileAvx512(const ForceArgs& args, std::int32_t row_first, std::int32_t row_last,
              std::int32_t col_first, std::int32_t col_last) {
  TileOf<Avx512, kVectors>(args, row_first, row_last, col_first, col_last);
}

void PowersAvx512(const double* r, std::size_t count, double* p7, double* p13) {
  PowersOf<Avx512>(r, count, p7, p13);
}

}  // namespace tessaly::kernels
