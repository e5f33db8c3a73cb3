// The window's timer: period 0 never fires, the limits of the period, and
// firings that never pile up behind a slow tick.
#include "widgets/timer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <thread>

#include "platform/errors.h"

namespace tessaly {
namespace {

class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QObject::connect(&timer, &Timer::Tick, [this] {
      ++ticks;
      if (tick_cost_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(tick_cost_ms));
    });
  }
  Timer timer;
  int ticks = 0;
  int tick_cost_ms = 0;
};

TEST_F(TimerTest, EnabledWithPeriodZeroNeverTicks) {
  timer.SetInterval(0);
  timer.SetEnabled(true);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_FALSE(timer.Armed());
  QTest::qWait(250);
  EXPECT_EQ(ticks, 0);
}

TEST_F(TimerTest, DisabledNeverTicks) {
  timer.SetInterval(5);
  QTest::qWait(100);
  EXPECT_EQ(ticks, 0);
}

TEST_F(TimerTest, TicksAboutOncePerPeriod) {
  timer.SetInterval(20);
  timer.SetEnabled(true);
  QTest::qWait(300);
  timer.SetEnabled(false);
  EXPECT_GE(ticks, 7);
  EXPECT_LE(ticks, 16);
  const int at_stop = ticks;
  QTest::qWait(100);
  EXPECT_EQ(ticks, at_stop);
}

TEST_F(TimerTest, PeriodLimits) {
  // 0 .. 65535 accepted; one beyond either end refused, the timer unchanged.
  timer.SetInterval(kMaxTimerInterval);
  EXPECT_EQ(timer.Interval(), 65535);
  timer.SetInterval(0);
  EXPECT_EQ(timer.Interval(), 0);
  timer.SetInterval(1);
  for (std::int32_t refused : {-1, -100, kMaxTimerInterval + 1, INT32_MAX, INT32_MIN}) {
    try {
      timer.SetInterval(refused);
      ADD_FAILURE() << refused << " accepted";
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.kind(), ErrorKind::kOutOfRange) << refused;
    }
    EXPECT_EQ(timer.Interval(), 1);
  }
  EXPECT_NO_THROW(Timer::CheckInterval(0));
  EXPECT_NO_THROW(Timer::CheckInterval(kMaxTimerInterval));
  EXPECT_THROW(Timer::CheckInterval(-1), RuntimeError);
  EXPECT_THROW(Timer::CheckInterval(kMaxTimerInterval + 1), RuntimeError);
}

TEST_F(TimerTest, ARefusedPeriodLeavesARunningTimerRunning) {
  timer.SetInterval(15);
  timer.SetEnabled(true);
  EXPECT_THROW(timer.SetInterval(-5), RuntimeError);
  QTest::qWait(150);
  EXPECT_GE(ticks, 3);
}

TEST_F(TimerTest, PeriodZeroStopsARunningTimer) {
  timer.SetInterval(5);
  timer.SetEnabled(true);
  QTest::qWait(50);
  timer.SetInterval(0);
  const int at_zero = ticks;
  QTest::qWait(150);
  EXPECT_EQ(ticks, at_zero);
  EXPECT_TRUE(timer.Enabled());
}

TEST_F(TimerTest, SlowTicksDoNotPileUp) {
  // Each tick takes 40 ms against a period of 2 ms: were firings queued, some
  // twenty would wait behind every tick.
  tick_cost_ms = 40;
  timer.SetInterval(2);
  timer.SetEnabled(true);
  QElapsedTimer clock;
  clock.start();
  QTest::qWait(400);
  timer.SetEnabled(false);
  const int limit = static_cast<int>(clock.elapsed() / 40) + 1;
  EXPECT_LE(ticks, limit);
  const int at_stop = ticks;
  QTest::qWait(100);
  EXPECT_EQ(ticks, at_stop);
}

TEST_F(TimerTest, AClickWaitingBehindASlowTickStopsTheTimer) {
  // A Stop button clicked while a tick is busy: its click waits in the queue
  // and must be handled before the timer can starve it.
  QPushButton stop;
  QObject::connect(&stop, &QPushButton::clicked, [this] { timer.SetEnabled(false); });
  stop.resize(60, 20);
  tick_cost_ms = 30;
  int ticks_at_click = -1;
  QObject::connect(&timer, &Timer::Tick, [&] {
    if (ticks == 2) {
      ticks_at_click = ticks;
      const QPointF at(10, 10);
      QCoreApplication::postEvent(&stop, new QMouseEvent(QEvent::MouseButtonPress, at, stop.mapToGlobal(at),
                                                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
      QCoreApplication::postEvent(&stop, new QMouseEvent(QEvent::MouseButtonRelease, at, stop.mapToGlobal(at),
                                                         Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    }
  });
  timer.SetInterval(1);
  timer.SetEnabled(true);
  QTest::qWait(400);
  EXPECT_FALSE(timer.Enabled());
  ASSERT_EQ(ticks_at_click, 2);
  EXPECT_LE(ticks, ticks_at_click + 1);  // at most the one firing already due
}

TEST_F(TimerTest, NewPeriodTakesEffectAtOnce) {
  timer.SetInterval(kMaxTimerInterval);
  timer.SetEnabled(true);
  QTest::qWait(50);
  EXPECT_EQ(ticks, 0);
  timer.SetInterval(10);
  QTest::qWait(150);
  EXPECT_GE(ticks, 4);
}

}  // namespace
}  // namespace tessaly
