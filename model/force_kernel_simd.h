// The force loop across rows: each lane of a vector is a different particle i,
// all lanes take the same j at the same time, so every row's sums are still
// added one j at a time in ascending order and the bits are those of the plain
// loop. Included only by the force_kernel_*.cpp files, each of which defines
// a vector type S for its instruction set (see force_kernel_baseline.cpp for
// what S provides) and instantiates the templates below.
//
// Everything here lives in an anonymous namespace: every file gets its own
// copy, compiled for its own instruction set, and the linker can never
// substitute one for another.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "model/force_kernels.h"

namespace tessaly::kernels {
namespace {

// ---------------------------------------------------------------------------
// r^7 and r^13, exactly as std::pow gives them, without calling it for most r
//
// The contract is std::pow(r, 13.0) and std::pow(r, 7.0) of the C library the
// program runs on. Those results are not necessarily correctly rounded, but
// they are close enough to be predicted almost always:
//
// 1. The exact power, to within 2^-99 of itself. For 1 <= r <= 2^64 the
//    powers are built as unevaluated sums hi + lo of two doubles by square-
//    and-multiply: r^2, r^3 = r^2 r, r^6 = (r^3)^2, r^7 = r^6 r, r^13 =
//    r^7 r^6. Each product starts from the exact product of the high parts
//    (TwoProd: with a fused multiply-add, e = fma(a, b, -ab) is the exact
//    error of the rounded product; without one, Dekker's split gives the same
//    e from ordinary products) and adds the cross terms rounded. With
//    u = 2^-53, a product by r adds at most 5 u^2 relative error, a square at
//    most 13 u^2 on top of twice the error it squares, and a product of two
//    sums at most 17 u^2 on top of the sum of theirs: r^3 is within 5 u^2,
//    r^6 within 23 u^2, r^7 within 28 u^2 and r^13 within 68 u^2 < 2^-99 of
//    the exact power. A final exact Fast2Sum makes hi = RN(hi + lo) with
//    |lo| <= ulp(hi) / 2. The exact power therefore lies within
//    2^-99 * 2^53 ulp = 2^-46 ulp(hi) of hi + lo. Nothing overflows or
//    underflows: every value lies between 1 and 2^832, and 2^64 is far beyond
//    any distance inside the box.
//
// 2. What the library can return. glibc's pow (2.28 and later; musl's, and
//    so the C library of the WebAssembly build, is the same algorithm) states
//    a worst-case error of 0.54 ulp from the exact value. Its authors give the
//    breakdown of that bound beside the code; it is their own analysis,
//    and approximate, as their "≈" says:
//      0.54 ulp ≈ e_exp + 1024 ln 2 * e_log * 2^53,
//    e_exp ≈ 0.509 ulp the error of the exponential (0.511 without FMA) and
//    e_log ≈ 1.3 * 2^-68 the relative error of the logarithm (1.5 * 2^-68
//    without FMA), magnified by |y ln x|, which reaches 1024 ln 2 ≈ 710 only
//    where the power nearly overflows. Here |y ln r| = ln(r^y) is much
//    smaller: below 48 ln 2 ≈ 33.27 wherever the power is below 2^48, which
//    takes in r^13 up to r = 2^(48/13) ≈ 12.93 and r^7 up to 2^(48/7) ≈ 116,
//    and so every distance in the box (r <= 9 sqrt 2 ≈ 12.73, where
//    |13 ln r| <= 33.07). For those powers the same sum comes to
//      0.511 + 33.27 * 1.5 * 2^-15 ≈ 0.5125 ulp  (0.5103 with FMA),
//    and we take E = 0.5126 ulp; above 2^48 we take the stated E = 0.54 ulp.
//    This step rests on the library authors' breakdown, not on a proof of
//    ours; the long sweep (tests/power_sweep_test.cpp, and its WebAssembly
//    twin) checks it on 10^8 distances and fails on any error above
//    0.5126 ulp. On glibc 2.36, for 100,000,206 distances of the box whose
//    r^7 or r^13 lies between 1/64 and 3/64 ulp of a midpoint, std::pow gave
//    the nearest double every time, with and without FMA and in WebAssembly;
//    its largest error over the 154,838,122 powers within 3/64 ulp of a
//    midpoint was 0.50940 ulp with FMA, 0.51080 ulp without and in
//    WebAssembly.
//    Let hi be the double nearest the exact power v and suppose v lies at
//    least m ulp away from both midpoints hi +- ulp/2. Then v is within
//    1/2 - m ulp of hi, and every other double is at least 1/2 + m ulp away
//    from v (a neighbour lies a whole ulp from hi as long as hi is neither a
//    power of two nor the double just below one, where the spacing changes).
//    So as long as E < 1/2 + m, hi is the only double the library may return,
//    and it must return it.
//
// 3. The rule. The fast result is hi whenever
//      |lo| <= (1/2 - m) ulp(hi),
//        m = kMargin = 1/64      for hi < 2^48 (|y ln r| < 48 ln 2 ≈ 33.27),
//        m = kWideMargin = 3/64  above,
//    and hi is neither a power of two nor the double below one. With the
//    error of step 1 (2^-46 ulp) taken off, 1/2 + 1/64 = 0.5156 still leaves
//    0.003 ulp beyond E = 0.5126, and 1/2 + 3/64 = 0.5469 leaves 0.0069 ulp
//    beyond the stated 0.54. Every other power - within the margin of a
//    midpoint (1 in 32 of the powers in the box), at a power of two, or r
//    outside [1, 2^64] or not a number - is recomputed with std::pow, that
//    power alone. r = 1 is left to the fast path: pow(1, y) = 1 exactly is
//    required of every C library (C11 F.10.4.4). (Margins of 1/16 and then
//    3/64 everywhere came before; 1/64 in the box calls std::pow a third as
//    often as 3/64, and the force loop ran 1.2 to 1.6 times as fast.)
//
// The argument rests on the library's own error analysis, so the program
// checks it before relying on it: FastPowersAgreeWithLibrary() compares this
// path with std::pow on a sample that includes powers just outside both
// margins, and on any difference the force loop calls std::pow for every
// power (forces.cpp).
// ---------------------------------------------------------------------------

constexpr double kMargin = 1.0 / 64.0;      // for powers below kTightBelow
constexpr double kWideMargin = 3.0 / 64.0;  // for the others
constexpr double kTightBelow = 0x1p48;      // r^y < 2^48: |y ln r| < 48 ln 2 ≈ 33.27
constexpr double kNearUlp = (0.5 - kMargin) * 0x1p-52;  // times 2^floor(log2 hi)
constexpr double kWideNearUlp = (0.5 - kWideMargin) * 0x1p-52;
constexpr double kLargestFastBase = 0x1p64;

// The products of step 1 above: (h_out, l_out) is (h + l) r, (h1 + l1)
// (h2 + l2) and (h + l)^2, the high parts multiplied exactly, the cross terms
// rounded (and l1 l2, below u^2 of the product, left out).
template <class S>
inline void TimesR(typename S::V h, typename S::V l, typename S::V r, typename S::V& h_out,
                   typename S::V& l_out) {
  typename S::V e;
  S::TwoProd(h, r, h_out, e);
  l_out = S::Add(e, S::Mul(l, r));
}

template <class S>
inline void Times(typename S::V h1, typename S::V l1, typename S::V h2, typename S::V l2,
                  typename S::V& h_out, typename S::V& l_out) {
  typename S::V e;
  S::TwoProd(h1, h2, h_out, e);
  l_out = S::Add(e, S::Add(S::Mul(h1, l2), S::Mul(l1, h2)));
}

template <class S>
inline void Squared(typename S::V h, typename S::V l, typename S::V& h_out, typename S::V& l_out) {
  typename S::V e;
  S::TwoProd(h, h, h_out, e);
  const typename S::V t = S::Mul(h, l);
  l_out = S::Add(e, S::Add(t, t));
}

// Lanes whose rounded power hi (with remainder lo) cannot be trusted to be
// what std::pow returns: within the margin of a midpoint (1/64 ulp below
// 2^48, 3/64 above), or hi at a change of spacing.
template <class S>
inline typename S::M Doubtful(typename S::V hi, typename S::V lo) {
  const typename S::V binade = S::ExponentOf(hi);  // 2^floor(log2 hi)
  const typename S::V near_ulp =
      S::Select(S::Lt(binade, S::Set1(kTightBelow)), S::Set1(kNearUlp), S::Set1(kWideNearUlp));
  const typename S::M near_midpoint = S::Gt(S::Abs(lo), S::Mul(binade, near_ulp));
  return S::Or(near_midpoint, S::AtBinadeEdge(hi, binade));
}

// p7 = r^7 and p13 = r^13 for a vector of clamped distances r >= 1, with
// the lanes whose powers must come from std::pow marked in slow7 and slow13
// (their p7, p13 are then to be replaced). Pure vector arithmetic: no call,
// no branch.
template <class S>
inline void FastPowersOf(typename S::V r, typename S::V& p7, typename S::V& p13,
                         typename S::M& slow7, typename S::M& slow13) {
  using V = typename S::V;
  using M = typename S::M;
  const V one = S::Set1(1.0);
  const M fast_base = S::Le(r, S::Set1(kLargestFastBase));  // false for NaN
  // Lanes left to std::pow work on 1 meanwhile: nothing here can overflow or
  // raise a flag the plain loop would not.
  const V x = S::Select(fast_base, r, one);

  V h2, l2, h3, l3, h6, l6, h7, l7, h13, l13;
  S::TwoProd(x, x, h2, l2);
  TimesR<S>(h2, l2, x, h3, l3);
  Squared<S>(h3, l3, h6, l6);
  TimesR<S>(h6, l6, x, h7, l7);
  Times<S>(h7, l7, h6, l6, h13, l13);

  // Fast2Sum: hi = RN(h + l), lo the exact rest (|h| >= |l|).
  p7 = S::Add(h7, l7);
  const V lo7 = S::Sub(l7, S::Sub(p7, h7));
  p13 = S::Add(h13, l13);
  const V lo13 = S::Sub(l13, S::Sub(p13, h13));

  const M unit = S::Eq(r, one);
  const M outside = S::Not(fast_base);
  slow7 = S::AndNot(S::Or(outside, Doubtful<S>(p7, lo7)), unit);
  slow13 = S::AndNot(S::Or(outside, Doubtful<S>(p13, lo13)), unit);
}

// The powers that std::pow must supply, gathered while the vectors run and
// fetched afterwards in one tight loop: calling out of the vector code for
// each would cost more than the calls themselves (every vector register is
// the caller's to save, and where the calls fall cannot be predicted).
template <int kCapacity>
struct LibraryPowers {
  std::int32_t slots7[kCapacity];   // indices into the r and p7 arrays
  std::int32_t slots13[kCapacity];  // indices into the r and p13 arrays
  int count7 = 0;
  int count13 = 0;

  // Notes the lanes of a vector stored at index `base` onwards. The counts
  // are the caller's locals while it notes: kept here, every store of a slot
  // might alias them and they would go through memory each time.
  template <class S>
  static inline void Note(typename S::M slow7, typename S::M slow13, std::int32_t base,
                          std::int32_t* slots7, int& count7, std::int32_t* slots13, int& count13) {
    count7 += S::AppendLanes(slow7, base, slots7 + count7);
    count13 += S::AppendLanes(slow13, base, slots13 + count13);
  }

  // p7[k] = std::pow(r[k], 7.0), p13[k] = std::pow(r[k], 13.0) for the noted
  // k; then starts afresh.
  void Fetch(const double* r, double* p7, double* p13) {
    for (int q = 0; q < count7; ++q) p7[slots7[q]] = std::pow(r[slots7[q]], 7.0);
    for (int q = 0; q < count13; ++q) p13[slots13[q]] = std::pow(r[slots13[q]], 13.0);
    count7 = 0;
    count13 = 0;
  }
};

template <class S>
void PowersOf(const double* r, std::size_t count, double* p7, double* p13) {
  constexpr int kLanes = S::kLanes;
  constexpr int kChunk = 64 * kLanes;
  alignas(64) double rs[kChunk];
  alignas(64) double out7[kChunk];
  alignas(64) double out13[kChunk];
  LibraryPowers<kChunk> library;
  for (std::size_t k = 0; k < count; k += kChunk) {
    const std::size_t m = count - k < kChunk ? count - k : kChunk;
    for (std::size_t q = 0; q < kChunk; ++q) rs[q] = q < m ? r[k + q] : 1.0;
    int count7 = 0;
    int count13 = 0;
    for (int q = 0; q < kChunk; q += kLanes) {
      typename S::V v7, v13;
      typename S::M slow7, slow13;
      FastPowersOf<S>(S::Load(rs + q), v7, v13, slow7, slow13);
      S::Store(out7 + q, v7);
      S::Store(out13 + q, v13);
      library.template Note<S>(slow7, slow13, q, library.slots7, count7, library.slots13, count13);
    }
    library.count7 = count7;
    library.count13 = count13;
    library.Fetch(rs, out7, out13);
    for (std::size_t q = 0; q < m; ++q) {
      p7[k + q] = out7[q];
      p13[k + q] = out13[q];
    }
  }
}

// ---------------------------------------------------------------------------
// The tiles: a block of rows against a block of columns, each unordered pair
// worked out once. The term t that particle j adds to particle i is exactly
// the negative of the one i adds to j (see forces.cpp), so one evaluation
// serves both sums: t goes onto row i's running sum, and Force[j] - t, which
// is Force[j] + (-t) to the bit, onto column j's.
//
// kVectors vectors of rows go side by side, so that the additions onto the
// running sums, which must stay in order, are never what the processor waits
// for. The columns go in chunks of kChunk. For each chunk, first the
// distances and the fast powers, then the few powers std::pow must supply,
// then the forces, added in ascending j. The forces of one chunk are worked
// out in the same loop as the powers of the next: the forces wait on the
// divider, the powers on the multipliers and adders, and so both keep busy.
// Each chunk's terms are then taken off its columns' sums, rows ascending.
// ---------------------------------------------------------------------------

template <class S, int kVectors>
struct RowBlock {
  using V = typename S::V;
  using M = typename S::M;
  static constexpr int kLanes = S::kLanes;
  static constexpr int kRows = kVectors * kLanes;
  static constexpr int kChunk = 32;
  // Lane k of vector v at column c of a chunk is kept at (c kVectors + v)
  // kLanes + k of the chunk's arrays: row i0 + k of column c at c kRows + k.
  static constexpr int kSlots = kChunk * kRows;

  struct Chunk {
    alignas(64) double r[kSlots];
    alignas(64) double p7[kSlots];
    alignas(64) double p13[kSlots];
    LibraryPowers<kSlots> library;
  };

  V xi[kVectors], yi[kVectors], index[kVectors];
  V sum_x[kVectors], sum_y[kVectors];
  Chunk chunks[2];
  alignas(64) double term_x[kSlots];  // the terms of the chunk last summed
  alignas(64) double term_y[kSlots];

  // Distances and powers of column j, the c-th of chunk `to`.
  inline void PowersAt(const ForceArgs& a, Chunk& to, std::int32_t j, int c, int& count7,
                       int& count13) {
    const V one = S::Set1(1.0);
    const V xj = S::Set1(a.xy[2 * j]);
    const V yj = S::Set1(a.xy[2 * j + 1]);
    for (int v = 0; v < kVectors; ++v) {
      const std::int32_t slot = (c * kVectors + v) * kLanes;
      const V dx = S::Sub(xj, xi[v]);
      const V dy = S::Sub(yj, yi[v]);
      const V root = S::Sqrt(S::Add(S::Mul(dx, dx), S::Mul(dy, dy)));
      const V rv = S::Select(S::Lt(root, one), one, root);
      V v7, v13;
      M slow7, slow13;
      FastPowersOf<S>(rv, v7, v13, slow7, slow13);
      S::Store(to.r + slot, rv);
      S::Store(to.p7 + slot, v7);
      S::Store(to.p13 + slot, v13);
      LibraryPowers<kSlots>::template Note<S>(slow7, slow13, slot, to.library.slots7, count7,
                                              to.library.slots13, count13);
    }
  }

  // Adds the pairs of column j, the c-th of chunk `from`, onto every lane's
  // sums and keeps the terms. With kDiagonal, lanes whose own row is j keep
  // their sums as they are.
  template <bool kDiagonal>
  inline void SumsAt(const ForceArgs& a, const Chunk& from, std::int32_t j, int c, V* sx, V* sy) {
    const V coef_a = S::Set1(a.coef_a);
    const V coef_b = S::Set1(a.coef_b);
    const V xj = S::Set1(a.xy[2 * j]);
    const V yj = S::Set1(a.xy[2 * j + 1]);
    for (int v = 0; v < kVectors; ++v) {
      const std::int32_t slot = (c * kVectors + v) * kLanes;
      const V rv = S::Load(from.r + slot);
      const V f = S::Add(S::Div(coef_a, S::Load(from.p13 + slot)), S::Div(coef_b, S::Load(from.p7 + slot)));
      const V tx = S::Div(S::Mul(f, S::Sub(xj, xi[v])), rv);
      const V ty = S::Div(S::Mul(f, S::Sub(yj, yi[v])), rv);
      S::Store(term_x + slot, tx);
      S::Store(term_y + slot, ty);
      if constexpr (kDiagonal) {
        const M other = S::Neq(index[v], S::Set1(static_cast<double>(j)));
        sx[v] = S::Select(other, S::Add(tx, sx[v]), sx[v]);
        sy[v] = S::Select(other, S::Add(ty, sy[v]), sy[v]);
      } else {
        sx[v] = S::Add(tx, sx[v]);
        sy[v] = S::Add(ty, sy[v]);
      }
    }
  }

  // The forces of columns first..last from chunk `from` and, in the same
  // loop, the powers of columns next..next_last into chunk `to` (none when
  // next > next_last); then the library's powers of `to`.
  template <bool kDiagonal>
  void Overlapped(const ForceArgs& a, const Chunk& from, std::int32_t first, std::int32_t last,
                  Chunk& to, std::int32_t next, std::int32_t next_last) {
    V sx[kVectors], sy[kVectors];  // locals: the compiler keeps them in registers
    for (int v = 0; v < kVectors; ++v) {
      sx[v] = sum_x[v];
      sy[v] = sum_y[v];
    }
    int count7 = 0;
    int count13 = 0;
    const int columns = last - first + 1;
    const int next_columns = next_last - next + 1;
    int c = 0;
    for (; c < columns && c < next_columns; ++c) {
      PowersAt(a, to, next + c, c, count7, count13);
      SumsAt<kDiagonal>(a, from, first + c, c, sx, sy);
    }
    for (; c < columns; ++c) SumsAt<kDiagonal>(a, from, first + c, c, sx, sy);
    for (; c < next_columns; ++c) PowersAt(a, to, next + c, c, count7, count13);
    for (int v = 0; v < kVectors; ++v) {
      sum_x[v] = sx[v];
      sum_y[v] = sy[v];
    }
    to.library.count7 = count7;
    to.library.count13 = count13;
    to.library.Fetch(to.r, to.p7, to.p13);
  }

  // Takes the kept terms of the `rows` real rows off the sums of columns
  // first..last (the chunk's columns from first_of_chunk on), each column's
  // rows in ascending order. The columns are independent: the processor
  // overlaps their chains of subtractions.
  inline void OntoColumns(const ForceArgs& a, std::int32_t first_of_chunk, std::int32_t first,
                          std::int32_t last, int rows) {
    for (std::int32_t j = first; j <= last; ++j) {
      const int c = j - first_of_chunk;
      double sx = a.force[2 * j];
      double sy = a.force[2 * j + 1];
      for (int k = 0; k < rows; ++k) {
        sx = sx - term_x[c * kRows + k];
        sy = sy - term_y[c * kRows + k];
      }
      a.force[2 * j] = sx;
      a.force[2 * j + 1] = sy;
    }
  }

  // Rows i0 .. i0 + kRows - 1 against columns first..col_last, the rows
  // beyond `last` standing in for row `last` (the same arithmetic on real
  // positions: no flag a real row would not raise); only rows up to `last`
  // are read and written. The columns are either all after the rows (a tile
  // off the diagonal) or start at i0 (on it): then the block's own columns
  // go onto the rows' sums alone, both ways round, and the columns after
  // them onto both.
  inline void Compute(const ForceArgs& a, std::int32_t i0, std::int32_t last, std::int32_t first,
                      std::int32_t col_last) {
    const std::int32_t own_last = i0 + kRows - 1 < last ? i0 + kRows - 1 : last;
    const int rows = own_last - i0 + 1;
    alignas(64) double x[kRows], y[kRows], idx[kRows], fx[kRows], fy[kRows];
    for (int k = 0; k < kRows; ++k) {
      const std::int32_t i = i0 + k <= last ? i0 + k : last;
      x[k] = a.xy[2 * i];
      y[k] = a.xy[2 * i + 1];
      idx[k] = i;
      fx[k] = k < rows ? a.force[2 * i] : 0.0;
      fy[k] = k < rows ? a.force[2 * i + 1] : 0.0;
    }
    for (int v = 0; v < kVectors; ++v) {
      xi[v] = S::Load(x + v * kLanes);
      yi[v] = S::Load(y + v * kLanes);
      index[v] = S::Load(idx + v * kLanes);
      sum_x[v] = S::Load(fx + v * kLanes);
      sum_y[v] = S::Load(fy + v * kLanes);
    }

    // Chunk k holds columns first + k kChunk onwards; the powers of chunk 0
    // first, then each loop the forces of chunk k with the powers of chunk
    // k + 1, then chunk k's terms onto its columns.
    Overlapped<false>(a, chunks[1], 1, 0, chunks[0], first,
                      first + kChunk - 1 < col_last ? first + kChunk - 1 : col_last);
    for (std::int32_t from_j = first, k = 0; from_j <= col_last; from_j += kChunk, ++k) {
      const std::int32_t end = from_j + kChunk - 1 < col_last ? from_j + kChunk - 1 : col_last;
      const std::int32_t next_end = end + kChunk < col_last ? end + kChunk : col_last;
      const Chunk& from = chunks[k & 1];
      Chunk& to = chunks[(k + 1) & 1];
      if (from_j <= own_last && end >= i0) {
        Overlapped<true>(a, from, from_j, end, to, end + 1, next_end);
      } else {
        Overlapped<false>(a, from, from_j, end, to, end + 1, next_end);
      }
      OntoColumns(a, from_j, from_j > own_last ? from_j : own_last + 1, end, rows);
    }

    for (int v = 0; v < kVectors; ++v) {
      S::Store(x + v * kLanes, sum_x[v]);
      S::Store(y + v * kLanes, sum_y[v]);
    }
    for (std::int32_t i = i0; i <= own_last; ++i) {
      a.force[2 * i] = x[i - i0];
      a.force[2 * i + 1] = y[i - i0];
    }
  }
};

template <class S, int kVectors>
void TileOf(const ForceArgs& a, std::int32_t row_first, std::int32_t row_last,
            std::int32_t col_first, std::int32_t col_last) {
  RowBlock<S, kVectors> block;
  const bool diagonal = col_first == row_first;
  for (std::int32_t i0 = row_first; i0 <= row_last; i0 += RowBlock<S, kVectors>::kRows) {
    block.Compute(a, i0, row_last, diagonal ? i0 : col_first, col_last);
  }
}

}  // namespace
}  // namespace tessaly::kernels
