#include "platform/vector_state.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace tessaly {

#if defined(__x86_64__) || defined(__i386__)
namespace {

// Compiled for AVX, where the instruction exists; called only where it runs.
[[gnu::target("avx"), gnu::noinline]] void ZeroUpper() { _mm256_zeroupper(); }

bool HasAvx() {
  // __builtin_cpu_supports also checks that the operating system saves the
  // AVX state.
  static const bool has_avx = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
  }();
  return has_avx;
}

}  // namespace

void ClearUpperVectorState() {
  if (HasAvx()) ZeroUpper();
}
#else
// Other processors (and WebAssembly) have no upper halves to clear.
void ClearUpperVectorState() {}
#endif

}  // namespace tessaly
