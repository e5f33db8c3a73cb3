// Floating-point results are checked, not trusted: an overflow, a division by
// zero or an invalid operation raises a RuntimeError instead of leaving an
// infinity or a NaN behind. Underflow and inexact results are not errors.
//
//   ClearFpErrors();
//   ... arithmetic ...
//   ThrowIfFpError();   // raises if any of the three flags is set
#pragma once

namespace tessaly {

// Clears the overflow, division-by-zero and invalid flags of this thread.
void ClearFpErrors();

// The error flags raised on this thread since the last ClearFpErrors, as a
// mask of FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID.
[[nodiscard]] int PendingFpErrors();

// Raises the RuntimeError for the given mask of flags; does nothing for an
// empty mask. Overflow is named before division by zero before invalid
// operation, since an overflow is the usual root of the others (inf - inf).
void ThrowIfFpError(int flags);

// Raises the RuntimeError for this thread's pending flags, if any.
void ThrowIfFpError();

}  // namespace tessaly
