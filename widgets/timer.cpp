#include "widgets/timer.h"

#include <QTimer>

#include "platform/errors.h"

namespace tessaly {

Timer::Timer(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
  // A late QTimer fires once and then takes up its period from the time it
  // fired; missed firings are dropped, not queued.
  connect(timer_, &QTimer::timeout, this, &Timer::Tick);
}

void Timer::CheckInterval(std::int32_t milliseconds) { CheckTimerInterval(milliseconds); }

void Timer::SetInterval(std::int32_t milliseconds) {
  CheckInterval(milliseconds);
  interval_ = milliseconds;
  Rearm();
}

void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Rearm();
}

bool Timer::Armed() const { return enabled_ && interval_ > 0; }

void Timer::Rearm() {
  // A QTimer with interval 0 would fire on every pass of the event loop, so a
  // period of 0 must leave it stopped.
  if (Armed()) {
    timer_->start(interval_);
  } else {
    timer_->stop();
  }
}

}  // namespace tessaly
