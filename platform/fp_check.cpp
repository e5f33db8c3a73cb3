#include "platform/fp_check.h"

#include <cfenv>
#include <cmath>

#include "platform/errors.h"

namespace tessaly {

#ifdef __wasm__
const int kFpOverflow = 1;
const int kFpDivisionByZero = 2;
const int kFpInvalid = 4;

namespace {
thread_local int g_flags = 0;
}  // namespace

int FpErrorsOfResults(const double* results, std::size_t count) {
  int flags = 0;
  for (std::size_t k = 0; k < count; ++k) {
    if (std::isinf(results[k])) flags |= kFpOverflow;
    if (std::isnan(results[k])) flags |= kFpInvalid;
  }
  return flags;
}

void NoteFpResults(const double* results, std::size_t count) {
  g_flags |= FpErrorsOfResults(results, count);
}

void ClearFpErrors() { g_flags = 0; }

int PendingFpErrors() { return g_flags; }
#else
const int kFpOverflow = FE_OVERFLOW;
const int kFpDivisionByZero = FE_DIVBYZERO;
const int kFpInvalid = FE_INVALID;

namespace {
constexpr int kErrorFlags = FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID;
}  // namespace

void ClearFpErrors() { std::feclearexcept(kErrorFlags); }

int PendingFpErrors() { return std::fetestexcept(kErrorFlags); }
#endif

void ThrowIfFpError(int flags) {
  if (flags & kFpOverflow) throw RuntimeError(ErrorKind::kOverflow);
  if (flags & kFpDivisionByZero) throw RuntimeError(ErrorKind::kDivisionByZero);
  if (flags & kFpInvalid) throw RuntimeError(ErrorKind::kInvalidOperation);
}

void ThrowIfFpError() { ThrowIfFpError(PendingFpErrors()); }

}  // namespace tessaly
