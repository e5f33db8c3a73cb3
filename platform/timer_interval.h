// The periods a timer of the program takes: 0 to kMaxTimerInterval
// milliseconds (65535, a little over a minute; a longer period makes no sense
// for an animation). 0 is taken and never ticks.
#pragma once

#include <cstdint>

#include "platform/errors.h"

namespace tessaly {

inline constexpr std::int32_t kMaxTimerInterval = 65535;

// Raises RuntimeError(kOutOfRange) for a period outside 0..kMaxTimerInterval.
inline void CheckTimerInterval(std::int32_t milliseconds) {
  if (milliseconds < 0 || milliseconds > kMaxTimerInterval) {
    throw RuntimeError(ErrorKind::kOutOfRange);
  }
}

}  // namespace tessaly
