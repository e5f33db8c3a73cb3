// The window at the extremes of what a person can type: the largest and the
// smallest count, odd time steps, the ends of the timer's range, ticks slower
// than their period, and text that stretches the number reader.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <cmath>
#include <cstddef>
#include <vector>

#include "widgets/timer.h"
#include "main_window_fixture.h"

#if defined(__SANITIZE_ADDRESS__)
// From the AddressSanitizer runtime (g++ ships no header for it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace tessaly {
namespace {

using testing::AllAtRest;
using testing::CheckDiscs;
using testing::MainWindowTest;
using testing::kBackground;
using testing::SamePositions;

// Bytes of heap in use, large blocks included.
std::size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

class ExtremesTest : public MainWindowTest {
 protected:
  // Counts ticks as they end: stepped, drawn and the levels exchanged.
  void CountTicks() {
    QObject::connect(&window, &MainWindow::TickFinished, &window, [this] { ++ticks; });
  }
  bool WaitForTicks(int n, int ms = 5000) {
    return WaitFor([&] { return ticks >= n; }, ms);
  }
  // Replaces a field's text through the clipboard, as a person pastes.
  void Paste(const char* field, const QString& text) {
    QLineEdit* edit = Control<QLineEdit>(field);
    QApplication::clipboard()->setText(text);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
  }
  int ticks = 0;
};

// --- The count --------------------------------------------------------------

TEST_F(ExtremesTest, TheLargestCountIsPlacedStepsAndDraws) {
  Type("countField", "32767");
  Run("0");
  ASSERT_TRUE(reports.empty());
  ASSERT_EQ(Sim().ParticleCount, 32767);
  EXPECT_EQ(Sim().Pos[0].size(), 32768u);
  EXPECT_EQ(Sim().Vel[1].size(), 32768u);
  EXPECT_EQ(Sim().Force.size(), 32768u);
  // The discs cover the middle of the box, bar the odd gap that the placement
  // leaves next to one of the first ten particles, which nothing may come
  // within 1 of.
  const QImage placed = Picture();
  int covered = 0;
  for (int gx = 0; gx < 21; ++gx) {
    for (int gy = 0; gy < 21; ++gy) {
      const int x = placed.width() / 4 + gx * placed.width() / 40;
      const int y = placed.height() / 4 + gy * placed.height() / 40;
      covered += placed.pixel(x, y) != kBackground ? 1 : 0;
    }
  }
  EXPECT_GT(covered, 21 * 21 * 9 / 10);

  // One tick, a slow one: each of its 5 * 10^8 pairs is worked out.
  CountTicks();
  Run("1");
  ASSERT_TRUE(WaitForTicks(1, 600000));
  Click("stopButton");
  EXPECT_TRUE(reports.empty());
  EXPECT_FALSE(AllAtRest(Sim()));
  for (int i = 1; i <= 32767; ++i) {
    const Vec2& p = Sim().Pos[Sim().CurLevel][i];
    ASSERT_TRUE(p.X >= 0.5 && p.X <= 9.5 && p.Y >= 0.5 && p.Y <= 9.5) << i;
  }
}

TEST_F(ExtremesTest, RepeatedRunsDoNotGrowTheHeap) {
  Type("countField", "32767");
  Run("0");
  Run("0");
  const std::size_t settled = HeapInUse();
  for (int k = 0; k < 6; ++k) Run("0");
  ASSERT_TRUE(reports.empty());
  // Each Run allocates 2.6 MB of tables; a leak of even one would show.
  EXPECT_LT(HeapInUse(), settled + 256 * 1024);
}

TEST_F(ExtremesTest, NoParticlesGiveAnEmptyPictureThatKeepsBeingRedrawn) {
  Type("countField", "0");
  CountTicks();
  Run("5");
  ASSERT_TRUE(WaitForTicks(5));
  Click("stopButton");
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(Sim().ParticleCount, 0);
  EXPECT_TRUE(CheckDiscs(Picture(), {}, testing::DiscRadius(Picture()), kBackground).None());
}

TEST_F(ExtremesTest, ANegativeZeroCountIsNoError) {
  Type("countField", "-0.4");  // rounds to zero, not to a negative count
  Run("0");
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(Sim().ParticleCount, 0);
}

// --- The time step ----------------------------------------------------------

TEST_F(ExtremesTest, ATimeStepOfZeroMovesNothing) {
  Type("timeStepField", "0");
  CountTicks();
  Run("5");
  const std::vector<Vec2> placed = Positions(0);
  const QImage shown = Picture();
  ASSERT_TRUE(WaitForTicks(4));
  Click("stopButton");
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(AllAtRest(Sim()));
  EXPECT_TRUE(SamePositions(Positions(Sim().CurLevel), placed));
  EXPECT_EQ(Picture(), shown);
}

TEST_F(ExtremesTest, ANegativeTimeStepIsUsedAsGiven) {
  Type("timeStepField", "-0.1");
  CountTicks();
  Run("5");
  EXPECT_EQ(Sim().TimeStep, -0.1);
  ASSERT_TRUE(WaitForTicks(3));
  Click("stopButton");
  EXPECT_TRUE(reports.empty());
  EXPECT_FALSE(AllAtRest(Sim()));
}

// --- The timer period -------------------------------------------------------

TEST_F(ExtremesTest, TheLongestPeriodIsTakenAndOneMoreIsRefused) {
  Run("65535");
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(window.TimerState().Interval(), kMaxTimerInterval);
  EXPECT_TRUE(window.TimerState().Armed());

  struct Case {
    const char* text;
    ErrorKind kind;
  };
  for (const Case& c : {Case{"65536", ErrorKind::kOutOfRange},
                        Case{"2147483647", ErrorKind::kOutOfRange},
                        Case{"2147483648", ErrorKind::kOverflow},
                        Case{"-2147483649", ErrorKind::kOverflow}}) {
    reports.clear();
    Run(QString::fromLatin1(c.text));
    ASSERT_EQ(reports.size(), 1u) << c.text;
    EXPECT_EQ(reports[0].kind, c.kind) << c.text;
    EXPECT_EQ(window.TimerState().Interval(), kMaxTimerInterval) << c.text;
  }
}

TEST_F(ExtremesTest, SlowTicksDoNotPileUpAndStopIsHeardAtOnce) {
  // A tick here takes tens of milliseconds against a period of one.
  Type("countField", "2000");
  CountTicks();
  QPushButton* stop = Control<QPushButton>("stopButton");
  int ticks_when_stop_was_clicked = -1;
  QObject::connect(&window.TimerState(), &Timer::Tick, &window, [&] {
    if (ticks != 3) return;
    // A click on Stop arrives while the fourth tick's step is in flight.
    ticks_when_stop_was_clicked = ticks;
    const QPointF centre(stop->width() / 2.0, stop->height() / 2.0);
    const QPointF global = stop->mapToGlobal(centre);
    QApplication::postEvent(stop, new QMouseEvent(QEvent::MouseButtonPress, centre, global,
                                                  Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QApplication::postEvent(stop, new QMouseEvent(QEvent::MouseButtonRelease, centre, global,
                                                  Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
  });
  Run("1");
  ASSERT_TRUE(WaitFor([&] { return !window.TimerState().Enabled(); }, 60000));
  // Stop took effect at once, the step in flight never showed, and no tick
  // that fell due meanwhile arrives later.
  EXPECT_EQ(ticks, ticks_when_stop_was_clicked);
  const int stopped_at = ticks;
  QTest::qWait(200);
  EXPECT_EQ(ticks, stopped_at);
  EXPECT_TRUE(reports.empty());
}

// --- Text in the fields -----------------------------------------------------

TEST_F(ExtremesTest, FieldsAreReadAsThePersonTypedThem) {
  struct Case {
    const char* text;
    int count;
  };
  const Case cases[] = {
      {"   12", 12},   {"+12", 12},     {"12.7.3", 13}, {"1.25e1", 12},
      {"1e1x", 10},   {"1e", 1},       {".5e1", 5},    {"\xEF\xBC\x91\xEF\xBC\x92", 12},  // "１２"
      {"0x20", 0},    {"1,000", 1},
  };
  for (const Case& c : cases) {
    reports.clear();
    Paste("countField", QString::fromUtf8(c.text));
    Run("0");
    EXPECT_TRUE(reports.empty()) << c.text;
    EXPECT_EQ(Sim().ParticleCount, c.count) << c.text;
  }
}

TEST_F(ExtremesTest, AMegabytePastedIntoAFieldIsReadWithoutHanging) {
  // A megabyte of digits: the field keeps what it can hold, and that is far
  // beyond the count's range.
  Paste("countField", QString(1 << 20, QLatin1Char('7')));
  ASSERT_GT(Control<QLineEdit>("countField")->text().size(), 1000);
  QElapsedTimer clock;
  clock.start();
  Run("0");
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].kind, ErrorKind::kOverflow);

  // A number followed by a megabyte of text reads as the number.
  reports.clear();
  Paste("countField", QStringLiteral("25") + QString(1 << 20, QLatin1Char('x')));
  Paste("timeStepField", QStringLiteral("0.0") + QString(1 << 20, QLatin1Char('5')));
  Run("0");
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(Sim().ParticleCount, 25);
  EXPECT_NEAR(Sim().TimeStep, 0.05555555555555555, 1e-15);
  EXPECT_LT(clock.elapsed(), 30000);
}

}  // namespace
}  // namespace tessaly
