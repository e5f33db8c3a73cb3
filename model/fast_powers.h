// r^7 and r^13 as the force loop's fast route computes them: bit for bit
// std::pow(r, 7.0) and std::pow(r, 13.0) of the C library the program runs
// on, with std::pow called only for the powers that lie too close to the
// middle between two doubles to be predicted (1 in 32 of them in the box). The
// argument and its margin are set out in model/force_kernel_simd.h.
#pragma once

#include <cstddef>

#include "model/forces.h"

namespace tessaly {

// p7[k] = r[k]^7 and p13[k] = r[k]^13 for k < count, on the given vector set
// (at most BestVectorSet()). Meant for r >= 1; anything else, infinities and
// NaN included, is handed to std::pow.
void FastPowers(VectorSet set, const double* r, std::size_t count, double* p7, double* p13);

// The start-up check: compares FastPowers on `set` with std::pow over a
// sample of about 2,200 distances in [1, 15) - spread over the range, whole
// numbers, and values whose powers lie just outside either margin, where a
// library less accurate than glibc's would first disagree. True when every
// bit agrees. Takes about a tenth of a millisecond.
[[nodiscard]] bool FastPowersAgreeWithLibrary(VectorSet set);

// The same check against another power function: for the tests, which hand
// it libraries of known accuracy.
[[nodiscard]] bool FastPowersAgreeWith(VectorSet set, double (*library_pow)(double, double));

// The sample's distances whose r^7 or r^13 lies just outside the margin m:
// between m and m + 1/256 ulp from the midpoint between two doubles, m being
// 1/64 for powers below 2^48 and 3/64 above.
[[nodiscard]] const double* MarginEdgeSample(std::size_t& count);

}  // namespace tessaly
