// Floating-point results are checked, not trusted: an overflow, a division by
// zero or an invalid operation raises a RuntimeError instead of leaving an
// infinity or a NaN behind. Underflow and inexact results are not errors.
//
//   ClearFpErrors();
//   ... arithmetic ...
//   ThrowIfFpError();   // raises if any of the three flags is set
//
// WebAssembly keeps no floating-point flags. There the flags are kept in
// software, raised by NoteFpResults from the results of each checked stretch
// of arithmetic: an infinity is an overflow, a NaN an invalid operation. That
// is what the hardware would have said at every point the model checks,
// since it divides only by quantities kept away from zero and starts each
// step from finite values. Elsewhere NoteFpResults does nothing and
// FpErrorsOfResults is 0: the hardware's flags are the truth.
#pragma once

#include <cstddef>

namespace tessaly {

// The flags of the mask that PendingFpErrors returns and ThrowIfFpError takes.
extern const int kFpOverflow;
extern const int kFpDivisionByZero;
extern const int kFpInvalid;

#ifdef __wasm__
// The flags the hardware would raise for `count` results that were computed
// from finite values.
[[nodiscard]] int FpErrorsOfResults(const double* results, std::size_t count);
// Raises those flags on this thread.
void NoteFpResults(const double* results, std::size_t count);
#else
[[nodiscard]] constexpr int FpErrorsOfResults(const double*, std::size_t) { return 0; }
inline void NoteFpResults(const double*, std::size_t) {}
#endif

// Clears the overflow, division-by-zero and invalid flags of this thread.
void ClearFpErrors();

// The error flags raised on this thread since the last ClearFpErrors, as a
// mask of kFpOverflow | kFpDivisionByZero | kFpInvalid (FE_OVERFLOW,
// FE_DIVBYZERO and FE_INVALID where the processor keeps flags).
[[nodiscard]] int PendingFpErrors();

// Raises the RuntimeError for the given mask of flags; does nothing for an
// empty mask. Overflow is named before division by zero before invalid
// operation, since an overflow is the usual root of the others (inf - inf).
void ThrowIfFpError(int flags);

// Raises the RuntimeError for this thread's pending flags, if any.
void ThrowIfFpError();

}  // namespace tessaly
