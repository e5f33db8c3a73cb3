// Progress of a long batch run: one line on standard error, rewritten in
// place, with the steps done, the rate and the time left.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace tessaly {

// "step 1200 of 5000, 340 steps/s, 8.2 s left" for `done` of `total` steps
// after `seconds`; without a rate while no step is done.
[[nodiscard]] std::string ProgressText(std::uint64_t done, std::uint64_t total, double seconds);

// A duration for people: "8.2 s", "42 s", "4 min 05 s", "2 h 03 min".
[[nodiscard]] std::string DurationText(double seconds);

class ProgressLine {
 public:
  // Seconds on a steady clock.
  using Clock = std::function<double()>;

  // Writes to `out`, which should be a terminal: the line is redrawn with a
  // carriage return. The run's time counts from construction.
  ProgressLine(std::uint64_t total, std::FILE* out, Clock clock = SteadySeconds);

  // Shows nothing during the first second, so short runs stay silent; after
  // that redraws the line at most five times a second.
  void Update(std::uint64_t done);

  // Erases the line if it was shown, leaving the cursor at the start of it.
  void Clear();

  [[nodiscard]] bool shown() const { return shown_; }

  static double SteadySeconds();

 private:
  std::uint64_t total_;
  std::FILE* out_;
  Clock clock_;
  double start_;
  double last_drawn_ = 0.0;
  bool shown_ = false;
};

}  // namespace tessaly
