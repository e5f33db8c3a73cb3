// The force loop on plain x86-64: two rows per SSE2 vector. There is no fused
// multiply-add here (a library fma would be a slow function call), so the
// exact products come from Dekker's split.
#include <emmintrin.h>

#include "model/force_kernel_simd.h"

namespace tessaly::kernels {
namespace {

struct Sse2 {
  using V = __m128d;
  using M = __m128d;  // all ones in the lanes that are set
  static constexpr int kLanes = 2;

  static V Set1(double x) { return _mm_set1_pd(x); }
  static V Load(const double* p) { return _mm_loadu_pd(p); }
  static void Store(double* p, V v) { _mm_storeu_pd(p, v); }
  static V Add(V a, V b) { return _mm_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm_mul_pd(a, b); }
  static V Div(V a, V b) { return _mm_div_pd(a, b); }
  static V Sqrt(V a) { return _mm_sqrt_pd(a); }
  static V Abs(V a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a); }
  static V ExponentOf(V a) {
    return _mm_and_pd(a, _mm_castsi128_pd(_mm_set1_epi64x(0x7ff0000000000000)));
  }
  // a is a power of two (a == binade) or the double below one (adding one
  // ulp reaches 2 binade); binade = ExponentOf(a). Exact operations on
  // doubles: SSE2 has no 64-bit integer compare.
  static M AtBinadeEdge(V a, V binade) {
    const V next = _mm_add_pd(a, _mm_mul_pd(binade, _mm_set1_pd(0x1p-52)));
    return _mm_or_pd(_mm_cmpeq_pd(a, binade), _mm_cmpeq_pd(next, _mm_add_pd(binade, binade)));
  }

  static M Lt(V a, V b) { return _mm_cmplt_pd(a, b); }
  static M Le(V a, V b) { return _mm_cmple_pd(a, b); }
  static M Gt(V a, V b) { return _mm_cmpgt_pd(a, b); }
  static M Eq(V a, V b) { return _mm_cmpeq_pd(a, b); }
  static M Neq(V a, V b) { return _mm_cmpneq_pd(a, b); }
  static M Or(M a, M b) { return _mm_or_pd(a, b); }
  static M AndNot(M a, M b) { return _mm_andnot_pd(b, a); }  // a and not b
  static M Not(M a) { return _mm_xor_pd(a, _mm_castsi128_pd(_mm_set1_epi32(-1))); }
  static unsigned Bits(M m) { return static_cast<unsigned>(_mm_movemask_pd(m)); }
  // a where m is set, b elsewhere.
  static V Select(M m, V a, V b) { return _mm_or_pd(_mm_and_pd(m, a), _mm_andnot_pd(m, b)); }

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

  // Veltkamp's split: a = hi + lo with hi holding the upper 26 bits.
  static void Split(V a, V& hi, V& lo) {
    const V c = _mm_mul_pd(_mm_set1_pd(134217729.0), a);  // 2^27 + 1
    hi = _mm_sub_pd(c, _mm_sub_pd(c, a));
    lo = _mm_sub_pd(a, hi);
  }
  // Dekker's exact product: a b = p + e.
  static void TwoProd(V a, V b, V& p, V& e) {
    V ah, al, bh, bl;
    Split(a, ah, al);
    Split(b, bh, bl);
    p = _mm_mul_pd(a, b);
    e = _mm_sub_pd(_mm_mul_pd(ah, bh), p);
    e = _mm_add_pd(e, _mm_mul_pd(ah, bl));
    e = _mm_add_pd(e, _mm_mul_pd(al, bh));
    e = _mm_add_pd(e, _mm_mul_pd(al, bl));
  }
};

constexpr int kVectors = 4;

}  // namespace

void TileBaseline(const ForceArgs& args, std::int32_t row_first, std::int32_t row_last,
              std::int32_t col_first, std::int32_t col_last) {
  TileOf<Sse2, kVectors>(args, row_first, row_last, col_first, col_last);
}

void PowersBaseline(const double* r, std::size_t count, double* p7, double* p13) {
  PowersOf<Sse2>(r, count, p7, p13);
}

}  // namespace tessaly::kernels
