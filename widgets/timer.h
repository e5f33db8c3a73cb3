// The window's periodic timer: an Interval in milliseconds and an Enabled
// switch, delivering Tick on the window's event loop.
//
//   - While enabled with an interval above 0 it ticks about once per interval
//     (within the platform timer's resolution).
//   - An interval of 0 is not armed at all: an enabled timer with interval 0
//     never ticks.
//   - Intervals run from 0 to kMaxTimerInterval (65535 ms, a little over a
//     minute; a longer period makes no sense for an animation). A negative
//     interval, or one above the limit, raises RuntimeError(kOutOfRange) and
//     leaves the timer as it was.
//   - Firings never pile up: when a tick takes longer than the interval, at
//     most one further tick is pending when it ends, and input waiting at that
//     moment is handled before the next one, so switching the timer off from a
//     click always takes effect.
//   - Setting the interval of an enabled timer restarts its countdown.
#pragma once

#include <QObject>
#include <cstdint>

#include "platform/timer_interval.h"

class QTimer;

namespace tessaly {

class Timer : public QObject {
  Q_OBJECT

 public:
  explicit Timer(QObject* parent = nullptr);

  // Raises RuntimeError(kOutOfRange) when `milliseconds` is not an interval
  // the timer takes; does nothing otherwise.
  static void CheckInterval(std::int32_t milliseconds);

  [[nodiscard]] std::int32_t Interval() const { return interval_; }
  void SetInterval(std::int32_t milliseconds);

  [[nodiscard]] bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  // True while the timer will tick: enabled with an interval above 0.
  [[nodiscard]] bool Armed() const;

 signals:
  void Tick();

 private:
  void Rearm();

  QTimer* timer_;
  std::int32_t interval_ = 0;
  bool enabled_ = false;
};

}  // namespace tessaly
