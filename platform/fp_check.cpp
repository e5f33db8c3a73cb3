#include "platform/fp_check.h"

#include <cfenv>

#include "platform/errors.h"

namespace tessaly {
namespace {
constexpr int kErrorFlags = FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID;
}  // namespace

void ClearFpErrors() { std::feclearexcept(kErrorFlags); }

int PendingFpErrors() { return std::fetestexcept(kErrorFlags); }

void ThrowIfFpError(int flags) {
  if (flags & FE_OVERFLOW) throw RuntimeError(ErrorKind::kOverflow);
  if (flags & FE_DIVBYZERO) throw RuntimeError(ErrorKind::kDivisionByZero);
  if (flags & FE_INVALID) throw RuntimeError(ErrorKind::kInvalidOperation);
}

void ThrowIfFpError() { ThrowIfFpError(PendingFpErrors()); }

}  // namespace tessaly
