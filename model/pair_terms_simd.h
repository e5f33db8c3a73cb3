// A row of pair terms for a vector type S (see pair_terms_baseline.cpp for
// what S provides). Included by one file per instruction set, each compiled
// for its set alone; everything here stays in that file's anonymous namespace.
#pragma once

#include <cstdint>

#include "model/pair_terms.h"

namespace tessaly::pair_terms {
namespace {

template <class S>
inline double RowOf(const double* x, const double* y, std::int32_t count, double ax, double ay,
                    double total, Tally* tally) {
  using V = typename S::V;
  constexpr int kLanes = S::kLanes;
  static_assert(kLanes <= kPadding && kTallies % kLanes == 0);
  const V row_x = S::Set1(ax);
  const V row_y = S::Set1(ay);
  const V one = S::Set1(1.0);
  const V four = S::Set1(4.0);
  const V range2 = S::Set1(25.0);      // kPairRange²
  const V per_length = S::Set1(20.0);  // 1 / kPairBinWidth, exact
  const V last_bin = S::Set1(kNoBin - 1.0);
  const V no_bin = S::Set1(kNoBin);
  alignas(32) double term[kLanes];
  alignas(16) std::int32_t bin[kLanes < 4 ? 4 : kLanes];
  for (std::int32_t c = 0; c < count; c += kLanes) {
    const V dx = S::Sub(S::Load(x + c), row_x);
    const V dy = S::Sub(S::Load(y + c), row_y);
    const V r2 = S::Add(S::Mul(dx, dx), S::Mul(dy, dy));
    // r2 < 1 ? 1 : r2, a NaN kept: the maximum gives its second operand
    // unless the first is greater.
    const V clamped = S::Max(one, r2);
    const V s = S::Div(one, S::Mul(S::Mul(clamped, clamped), clamped));
    S::Store(term, S::Mul(four, S::Sub(S::Mul(s, s), s)));
    if (tally != nullptr) {
      // Beyond the range (or a NaN) the root is taken of 0, and not used.
      const auto near = S::Lt(r2, range2);
      const V scaled = S::Mul(S::Sqrt(S::And(near, r2)), per_length);
      // min(scaled, 99) truncates to min(floor(scaled), 99): a root that
      // rounds up to 5 belongs to the last bin.
      S::StoreTruncated(bin, S::Select(near, S::Min(scaled, last_bin), no_bin));
    }
    // The sum takes the terms one by one, in order, while the next vector's
    // are worked out.
    const int lanes = count - c < kLanes ? count - c : kLanes;
    for (int k = 0; k < lanes; ++k) total = total + term[k];
    if (tally != nullptr) {
      for (int k = 0; k < lanes; ++k) ++tally[(c + k) % kTallies][bin[k]];
    }
  }
  return total;
}

}  // namespace
}  // namespace tessaly::pair_terms
