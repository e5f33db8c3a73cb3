// Where there are no wider vector sets than the baseline (WebAssembly), the
// names of their kernels stand for the baseline's. BestVectorSet never picks
// them there, and SetVectorSet clamps to it.
#include "model/force_kernels.h"

namespace tessaly::kernels {

const std::int32_t kAvx2RowsPerBlock = kBaselineRowsPerBlock;
const std::int32_t kAvx512RowsPerBlock = kBaselineRowsPerBlock;

void RowsAvx2(const ForceArgs& args, std::int32_t first, std::int32_t last) {
  RowsBaseline(args, first, last);
}
void PowersAvx2(const double* r, std::size_t count, double* p7, double* p13) {
  PowersBaseline(r, count, p7, p13);
}
void RowsAvx512(const ForceArgs& args, std::int32_t first, std::int32_t last) {
  RowsBaseline(args, first, last);
}
void PowersAvx512(const double* r, std::size_t count, double* p7, double* p13) {
  PowersBaseline(r, count, p7, p13);
}

}  // namespace tessaly::kernels
