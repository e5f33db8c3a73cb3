#include "platform/fp_check.h"

#include <atomic>
#include <cfenv>
#include <cmath>

#include "platform/errors.h"

namespace tessaly {

#ifdef __wasm__
const int kFpOverflow = 1;
const int kFpDivisionByZero = 2;
const int kFpInvalid = 4;

namespace {
// One set of flags for the whole module. The module is compiled for threads
// whether or not its memory is shared, and a thread_local is not to be
// relied on where it is not. Only the thread that steps raises flags: the
// force loop's other threads raise none (the forces are checked once all
// their tiles are done), they only clear them.
std::atomic<int> g_flags{0};
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
  g_flags.fetch_or(FpErrorsOfResults(results, count), std::memory_order_relaxed);
}

void ClearFpErrors() { g_flags.store(0, std::memory_order_relaxed); }

int PendingFpErrors() { return g_flags.load(std::memory_order_relaxed); }
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
