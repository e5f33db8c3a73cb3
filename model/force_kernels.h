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
  double* force;     // X, Y of Force[0..N], interleaved: the running sums
};

// Adds the pairs of rows row_first..row_last with columns col_first..col_last
// onto both particles' sums in Force, each pair worked out once. A tile is
// either on the diagonal (the same block of rows and columns: every pair
// i < j of it) or off it (row_last < col_first: every row with every
// column). Row i's sum takes its columns in ascending order, column j's sum
// its rows in ascending order; the caller hands out the tiles so that every
// sum meets them in ascending order too (forces.cpp).
using TileFn = void (*)(const ForceArgs& args, std::int32_t row_first, std::int32_t row_last,
                        std::int32_t col_first, std::int32_t col_last);

// p7[k] = r[k]^7 and p13[k] = r[k]^13 for k < count, for r[k] >= 1, bit for
// bit what std::pow gives (the argument is in force_kernel_simd.h). Other
// values are handed to std::pow.
using PowersFn = void (*)(const double* r, std::size_t count, double* p7, double* p13);

struct ForceKernel {
  const char* name;
  TileFn tile;
  PowersFn powers;
};

// Call only when the processor has the set (forces.cpp checks).
void TileScalar(const ForceArgs& args, std::int32_t row_first, std::int32_t row_last,
                std::int32_t col_first, std::int32_t col_last);
void PowersScalar(const double* r, std::size_t count, double* p7, double* p13);
void TileBaseline(const ForceArgs& args, std::int32_t row_first, std::int32_t row_last,
                  std::int32_t col_first, std::int32_t col_last);
void PowersBaseline(const double* r, std::size_t count, double* p7, double* p13);
void TileAvx2(const ForceArgs& args, std::int32_t row_first, std::int32_t row_last,
              std::int32_t col_first, std::int32_t col_last);
void PowersAvx2(const double* r, std::size_t count, double* p7, double* p13);
void TileAvx512(const ForceArgs& args, std::int32_t row_first, std::int32_t row_last,
                std::int32_t col_first, std::int32_t col_last);
void PowersAvx512(const double* r, std::size_t count, double* p7, double* p13);

}  // namespace tessaly::kernels
