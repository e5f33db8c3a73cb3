// The sweep of the fast powers near their margin (tests/power_sweep.h), in
// WebAssembly against the power function of the module's C library: the
// same distances as the desktop's long sweep for the same count.
//   node build-web/tessaly_power_sweep.js [count]   (default 10^8)
// Exits with 1 if a power differs or std::pow strays beyond 0.5126 ulp.
#include <cstdio>
#include <cstdlib>

#include "model/forces.h"
#include "tests/power_sweep.h"

int main(int argc, char** argv) {
  using namespace tessaly;
  const unsigned long long wanted = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100'000'000;
  const testing::BandSweepResult result = testing::SweepTheMarginsBand(wanted, 9);
  testing::PrintBandSweep(result);
  if (result.differences != 0) {
    std::printf("FAILED: first difference at r = %a\n", result.first_difference);
    return 1;
  }
  if (result.in_band < wanted || result.largest_error > 0.5126) {
    std::printf("FAILED: too few distances, or std::pow beyond 0.5126 ulp\n");
    return 1;
  }
  std::printf("passed\n");
  return 0;
}
