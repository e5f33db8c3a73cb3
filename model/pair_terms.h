// The observation's pair pass, a row's pairs side by side in vectors, once
// per instruction set. Inside the model only: observables.cpp picks the set.
#pragma once

#include <cstdint>

namespace tessaly::pair_terms {

inline constexpr int kPadding = 8;  // columns readable past the last, at least a vector
inline constexpr int kNoBin = 100;  // the bin of a distance not counted: kPairBins
inline constexpr int kTallies = 4;  // tallies of bins, one per lane of the widest vector
using Tally = std::uint32_t[kNoBin + 1];

// For the `count` columns whose X and Y are x[0..count) and y[0..count)
// (readable up to kPadding further), each against the row at (ax, ay): adds
// each pair's potential, from its squared distance r2 as PairPotential has
// it, onto `total` one by one in the columns' order, and returns the sum.
// With `tally`, also counts each distance into tally[c % kTallies] at the bin
// of g(r) it falls in (floor(√r2 · 20), at most 99), or at kNoBin for r2 ≥ 25
// and for a NaN. Every lane does the scalar operations in their order, so
// the bits are the scalar loop's.
using RowFn = double (*)(const double* x, const double* y, std::int32_t count, double ax,
                         double ay, double total, Tally* tally);

// Call only when the processor has the set.
double RowBaseline(const double* x, const double* y, std::int32_t count, double ax, double ay,
                   double total, Tally* tally);
// Without any vector instruction (the WebAssembly module for engines without SIMD).
double RowScalar(const double* x, const double* y, std::int32_t count, double ax, double ay,
                 double total, Tally* tally);
double RowAvx2(const double* x, const double* y, std::int32_t count, double ax, double ay,
               double total, Tally* tally);

}  // namespace tessaly::pair_terms
