// A flag that another thread sets to abandon a step in flight. The force loop
// looks at it before each block of 8 rows and a step that finds it set ends
// early, so a step of the largest count stops within a block (a millisecond)
// rather than seconds later.
#pragma once

#include <atomic>

namespace tessaly {

using StopFlag = std::atomic<bool>;

// True once `stop` is given and set.
inline bool StopRequested(const StopFlag* stop) {
  return stop != nullptr && stop->load(std::memory_order_relaxed);
}

}  // namespace tessaly
