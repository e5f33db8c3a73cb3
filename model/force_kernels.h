// The vectorised force loop, once per instruction set. Inside the model only:
// forces.cpp picks the set the processor runs and spreads the rows over the
// threads; each kernel computes whole rows.
//
// Each set is a translation unit of its own, compiled for that set alone
// (force_kernel_avx512.cpp with -mavx512f, ...), so that nothing built for a
// wider set can leak into code that runs everywhere. They share the kernel
// in force_kernel_simd.h and include nothing that could be instantiated
// outside their anonymous namespace.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaly::kernels {

struct ForceArgs {
  const double* xy;  // X, Y of particles 0..N, interleaved (Vec2[])
  std::int32_t n;    // N
  double coef_a;     // coefficient of r^-13
  double coef_b;     // coefficient of r^-7
  double* force;     // X, Y of Force[0..N], interleaved; rows are written whole
};

// Fills force rows first..last (1 <= first <= last <= N) exactly as the plain
// loop does: each row summed over j = 1..N ascending, j != i.
using RowsFn = void (*)(const ForceArgs& args, std::int32_t first, std::int32_t last);

// p7[k] = r[k]^7 and p13[k] = r[k]^13 for k < count, for r[k] >= 1, bit for
// bit what std::pow gives (the argument is in force_kernel_simd.h). Other
// values are handed to std::pow.
using PowersFn = void (*)(const double* r, std::size_t count, double* p7, double* p13);

struct ForceKernel {
  const char* name;
  std::int32_t rows_per_block;  // rows computed side by side
  RowsFn rows;
  PowersFn powers;
};

// Call only when the processor has the set (forces.cpp checks).
void RowsBaseline(const ForceArgs& args, std::int32_t first, std::int32_t last);
void PowersBaseline(const double* r, std::size_t count, double* p7, double* p13);
void RowsAvx2(const ForceArgs& args, std::int32_t first, std::int32_t last);
void PowersAvx2(const double* r, std::size_t count, double* p7, double* p13);
void RowsAvx512(const ForceArgs& args, std::int32_t first, std::int32_t last);
void PowersAvx512(const double* r, std::size_t count, double* p7, double* p13);

extern const std::int32_t kBaselineRowsPerBlock;
extern const std::int32_t kAvx2RowsPerBlock;
extern const std::int32_t kAvx512RowsPerBlock;

}  // namespace tessaly::kernels
