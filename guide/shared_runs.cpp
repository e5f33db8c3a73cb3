// The texts 共有 gives for a run, for the guide's experiments:
//
//   tessaly_shared_runs COUNT TIME_STEP PERIOD SEED [observe]
//
// prints the address parameters on one line and the window's command line on
// the next, made by the code 共有 uses (form/shared_run), from the values as
// the fields would read them. The values are plain decimal numbers; anything
// else is refused with status 2.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "form/shared_run.h"

namespace {

bool ReadWhole(const char* text, long long low, long long high, long long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text, &end, 10);
  return *text != '\0' && *end == '\0' && errno == 0 && value >= low && value <= high;
}

}  // namespace

int main(int argc, char** argv) {
  const bool observe = argc == 6 && std::string(argv[5]) == "observe";
  long long count = 0;
  long long period = 0;
  double time_step = 0.0;
  std::uint64_t seed = 0;
  bool read = (argc == 5 || observe) && ReadWhole(argv[1], 0, 32767, count) &&
              ReadWhole(argv[3], 0, 65535, period);
  if (read) {
    char* end = nullptr;
    time_step = std::strtod(argv[2], &end);
    read = *argv[2] != '\0' && *end == '\0' && std::isfinite(time_step);
    errno = 0;
    seed = std::strtoull(argv[4], &end, 10);
    read = read && *argv[4] >= '0' && *argv[4] <= '9' && *end == '\0' && errno == 0;
  }
  if (!read) {
    std::fputs("usage: tessaly_shared_runs COUNT TIME_STEP PERIOD SEED [observe]\n", stderr);
    return 2;
  }
  const tessaly::SharedRun run =
      tessaly::SharedRunOf(static_cast<std::int16_t>(count), time_step,
                           static_cast<std::int32_t>(period), seed, observe);
  std::printf("%s\n%s\n", tessaly::SharedQuery(run).c_str(),
              tessaly::SharedCommandLine(run).c_str());
  return 0;
}
