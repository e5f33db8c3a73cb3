// The window keeps answering while a step is in flight: typing, 停止, 実行 and
// closing take effect at once, nothing moves after 停止, and ticks stepped on
// the worker's thread give exactly the states and pictures of steps taken one
// after another on the spot.
//
// A person's input is posted, so that it waits behind whatever the window has
// yet to handle, and every "at once" below is measured from posting it to
// seeing its effect, against the 100 ms within which a window is felt to
// answer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "main_window_fixture.h"
#include "model/time_step.h"
#include "ui/observation_window.h"
#include "ui/rendering.h"
#include "widgets/picture_box.h"
#include "widgets/timer.h"

namespace tessaly {
namespace {

using namespace std::chrono_literals;
using testing::AllAtRest;
using testing::MainWindowTest;
using testing::SamePositions;

constexpr qint64 kAtOnceMs = 100;
// 実行 places and draws every particle before the first step begins: at the
// largest count that alone takes tens of milliseconds, and over half a
// second under the sanitizers. A pass that went on unstopped would hold the
// step back by seconds.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr qint64 kRunAtOnceMs = 2000;
#else
constexpr qint64 kRunAtOnceMs = 400;
#endif

// Every field of the two records, doubles compared bit for bit.
::testing::AssertionResult SameBits(const Simulation& got, const Simulation& want) {
  auto bits = [](double d) { return std::bit_cast<std::uint64_t>(d); };
  if (got.ParticleCount != want.ParticleCount || got.CurLevel != want.CurLevel ||
      got.NextLevel != want.NextLevel || bits(got.CoefA) != bits(want.CoefA) ||
      bits(got.CoefB) != bits(want.CoefB) || bits(got.Mass) != bits(want.Mass) ||
      bits(got.TimeStep) != bits(want.TimeStep)) {
    return ::testing::AssertionFailure() << "counts, levels or constants differ";
  }
  auto same = [&](const std::vector<Vec2>& a, const std::vector<Vec2>& b, const char* what)
      -> ::testing::AssertionResult {
    if (a.size() != b.size()) return ::testing::AssertionFailure() << what << ": sizes differ";
    for (size_t i = 0; i < a.size(); ++i) {
      if (bits(a[i].X) != bits(b[i].X) || bits(a[i].Y) != bits(b[i].Y)) {
        return ::testing::AssertionFailure() << what << " differs at particle " << i;
      }
    }
    return ::testing::AssertionSuccess();
  };
  for (int level = 0; level < 2; ++level) {
    if (auto r = same(got.Pos[level], want.Pos[level], "Pos"); !r) return r << ", level " << level;
    if (auto r = same(got.Vel[level], want.Vel[level], "Vel"); !r) return r << ", level " << level;
  }
  return same(got.Force, want.Force, "Force");
}

// A step that takes as long as the test likes: it waits until the test lets it
// go (a minute at most), then takes the real step. It gives up as soon as the
// window sets its stop flag, unless told to take no notice. The window's
// worker holds it too, and may outlive the test's fixture.
struct SlowStep {
  std::atomic<int> begun{0};       // steps handed over
  std::atomic<int> let_go{0};      // steps allowed to go on
  std::atomic<int> gave_up{0};     // steps that saw the stop flag and gave up
  std::atomic<int> ended{0};       // steps that have returned, however
  std::atomic<int> count{-1};      // particle count of the last record handed over
  std::atomic<bool> heeds_stop{true};

  static MainWindow::StepFunction For(const std::shared_ptr<SlowStep>& slow) {
    return [slow](Simulation& sim, const StopFlag& stop) {
      const int k = ++slow->begun;
      slow->count = sim.ParticleCount;
      const auto deadline = std::chrono::steady_clock::now() + 60s;
      auto stopping = [&] { return slow->heeds_stop && stop; };
      while (slow->let_go < k && !stopping() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
      }
      if (stopping()) {
        ++slow->gave_up;
      } else {
        AdvanceOneStep(sim);
      }
      ++slow->ended;
    };
  }
};

// The real step, counted.
struct StepCount {
  std::atomic<int> begun{0};
  std::atomic<int> ended{0};

  static MainWindow::StepFunction For(const std::shared_ptr<StepCount>& count) {
    return [count](Simulation& sim, const StopFlag& stop) {
      ++count->begun;
      AdvanceOneStep(sim, &stop);
      ++count->ended;
    };
  }
};

class ResponsiveWindowTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    window.SetStepForTesting(SlowStep::For(slow));
    QObject::connect(&window, &MainWindow::TickFinished, &window, [this] { ++ticks; });
  }

  // Runs `count` particles with a period of 1 ms and returns once the first
  // step is in flight.
  void RunSlowly(const char* count) {
    Type("countField", QString::fromLatin1(count));
    Run("1");
    ASSERT_TRUE(WaitFor([&] { return slow->begun == 1; }));
  }

  // Posts input with `act` and handles events until `done`: the milliseconds
  // that took, or -1 when it has not happened within five seconds.
  static qint64 MsUntil(const std::function<void()>& act, const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    act();
    if (!QTest::qWaitFor(done, 5000)) return -1;
    return clock.elapsed();
  }

  void PostClick(const char* name) {
    QPushButton* button = Control<QPushButton>(name);
    const QPointF centre(button->width() / 2.0, button->height() / 2.0);
    const QPointF global = button->mapToGlobal(centre);
    QApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, centre, global,
                                                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonRelease, centre, global,
                                                    Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
  }

  // Digits and letters typed into the focused field, replacing its text.
  void PostTyping(const char* field, const QString& text) {
    QLineEdit* edit = Control<QLineEdit>(field);
    edit->setFocus();
    edit->selectAll();
    for (const QChar c : text) {
      const int key = c.toUpper().unicode();
      QApplication::postEvent(edit, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, QString(c)));
      QApplication::postEvent(edit, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, QString(c)));
    }
  }

  PictureBox* PictureWidget() { return Control<PictureBox>("picture"); }
  bool BusyCursorShown() {
    return PictureWidget()->testAttribute(Qt::WA_SetCursor) &&
           PictureWidget()->cursor().shape() == Qt::BusyCursor;
  }

  std::shared_ptr<SlowStep> slow = std::make_shared<SlowStep>();
  int ticks = 0;
};

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return QObject::eventFilter(watched, event);
  }
};

// --- Input while a step is in flight ----------------------------------------

TEST_F(ResponsiveWindowTest, TypingEchoesAndThePictureRepaintsWhileAStepIsInFlight) {
  RunSlowly("40");
  QLineEdit* field = Control<QLineEdit>("timeStepField");
  const qint64 typed = MsUntil([&] { PostTyping("timeStepField", QStringLiteral("2e5")); },
                               [&] { return field->text() == QStringLiteral("2e5"); });
  EXPECT_GE(typed, 0);
  EXPECT_LT(typed, kAtOnceMs);

  // An area uncovered by another window is painted again.
  PaintCounter counter;
  PictureWidget()->installEventFilter(&counter);
  const qint64 painted = MsUntil([&] { PictureWidget()->update(QRect(10, 10, 50, 50)); },
                                 [&] { return counter.paints > 0; });
  EXPECT_GE(painted, 0);
  EXPECT_LT(painted, kAtOnceMs);

  // All the while the first step has stayed in flight.
  EXPECT_EQ(slow->begun, 1);
  EXPECT_EQ(slow->ended, 0);
  EXPECT_EQ(ticks, 0);
}

TEST_F(ResponsiveWindowTest, StopTakesEffectAtOnceAndNothingMovesAfterIt) {
  RunSlowly("40");
  slow->let_go = 2;  // two ticks end, so that the picture has moved
  ASSERT_TRUE(WaitFor([&] { return ticks == 2 && slow->begun == 3; }));
  const QImage shown = Picture();
  const Simulation before = Sim();

  const qint64 ms = MsUntil([&] { PostClick("stopButton"); },
                            [&] { return !window.TimerState().Enabled() && slow->gave_up == 1; });
  EXPECT_GE(ms, 0);
  EXPECT_LT(ms, kAtOnceMs);

  // The step in flight was given up: letting it go changes nothing now, and
  // no further step begins.
  slow->let_go = 100;
  QTest::qWait(300);
  EXPECT_EQ(slow->begun, 3);
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(Picture(), shown);
  EXPECT_TRUE(SameBits(Sim(), before));
  EXPECT_TRUE(reports.empty());
}

TEST_F(ResponsiveWindowTest, AStepThatFinishesAfterStopIsNeverShown) {
  slow->heeds_stop = false;  // as a step between two looks at its flag
  RunSlowly("40");
  const QImage shown = Picture();
  const int level = Sim().CurLevel;
  const qint64 ms = MsUntil([&] { PostClick("stopButton"); },
                            [&] { return !window.TimerState().Enabled(); });
  EXPECT_GE(ms, 0);
  EXPECT_LT(ms, kAtOnceMs);

  slow->let_go = 1;
  ASSERT_TRUE(WaitFor([&] { return slow->ended == 1; }));
  QTest::qWait(100);  // time for a result to arrive, if one were sent
  EXPECT_EQ(ticks, 0);
  EXPECT_EQ(Picture(), shown);
  EXPECT_EQ(Sim().CurLevel, level);
  EXPECT_TRUE(AllAtRest(Sim()));
}

TEST_F(ResponsiveWindowTest, RunDuringAStepStartsAfreshAtOnce) {
  RunSlowly("12");
  Type("countField", "7");
  Type("periodField", "40");
  const qint64 ms = MsUntil([&] { PostClick("runButton"); },
                            [&] { return Sim().ParticleCount == 7; });
  EXPECT_GE(ms, 0);
  EXPECT_LT(ms, kAtOnceMs);

  // As a Run always did: the new arrangement at rest, shown, the new period.
  EXPECT_TRUE(AllAtRest(Sim()));
  EXPECT_EQ(Sim().CurLevel, 0);
  EXPECT_TRUE(CheckPictureShows(0).None());
  EXPECT_EQ(window.TimerState().Interval(), 40);
  EXPECT_TRUE(window.TimerState().Enabled());

  // The old run's step was given up; the next one steps the new arrangement.
  ASSERT_TRUE(WaitFor([&] { return slow->begun == 2; }));
  EXPECT_EQ(slow->gave_up, 1);
  EXPECT_EQ(slow->count, 7);
  const std::vector<Vec2> placed = Positions(0);
  slow->let_go = 2;
  ASSERT_TRUE(WaitFor([&] { return ticks == 1; }));
  EXPECT_EQ(Sim().ParticleCount, 7);
  EXPECT_TRUE(SamePositions(Positions(Sim().NextLevel), placed));
  EXPECT_TRUE(CheckPictureShows(Sim().NextLevel).None());
  EXPECT_TRUE(reports.empty());
}

TEST_F(ResponsiveWindowTest, AFieldErrorDuringAStepIsReportedAndTheStepGoesOn) {
  RunSlowly("12");
  const std::vector<Vec2> placed = Positions(0);
  Type("countField", "-1");
  const qint64 ms = MsUntil([&] { PostClick("runButton"); }, [&] { return !reports.empty(); });
  EXPECT_GE(ms, 0);
  EXPECT_LT(ms, kAtOnceMs);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].kind, ErrorKind::kOutOfRange);

  EXPECT_EQ(Sim().ParticleCount, 12);
  EXPECT_TRUE(SamePositions(Positions(0), placed));
  slow->let_go = 1;
  ASSERT_TRUE(WaitFor([&] { return ticks == 1; }));
  EXPECT_EQ(slow->gave_up, 0);
  EXPECT_EQ(Sim().CurLevel, 1);
  EXPECT_TRUE(SamePositions(Positions(0), placed));
  EXPECT_TRUE(window.TimerState().Enabled());
}

TEST_F(ResponsiveWindowTest, ClosingDuringAStepIsPromptAndLeavesNothingRunning) {
  RunSlowly("40");
  const QImage shown = Picture();
  const qint64 ms = MsUntil(
      [&] { QMetaObject::invokeMethod(&window, &QWidget::close, Qt::QueuedConnection); },
      [&] { return !window.isVisible() && slow->gave_up == 1; });
  EXPECT_GE(ms, 0);
  EXPECT_LT(ms, kAtOnceMs);
  EXPECT_FALSE(window.TimerState().Enabled());
  QTest::qWait(100);
  EXPECT_EQ(slow->begun, 1);
  EXPECT_EQ(Picture(), shown);
}

// --- Ticks, errors and the busy cursor --------------------------------------

TEST_F(ResponsiveWindowTest, TicksDueDuringAStepAreDroppedOneRunsAsSoonAsItEnds) {
  Run("300");
  ASSERT_TRUE(WaitFor([&] { return slow->begun == 1; }));
  QTest::qWait(400);  // at least one more tick falls due meanwhile
  EXPECT_EQ(slow->begun, 1);
  // The step ends and the next follows at once, not at the next firing.
  const qint64 ms = MsUntil([&] { slow->let_go = 1; }, [&] { return slow->begun == 2; });
  EXPECT_GE(ms, 0);
  EXPECT_LT(ms, kAtOnceMs);
  EXPECT_EQ(ticks, 1);
  Click("stopButton");
}

TEST_F(ResponsiveWindowTest, AnArithmeticErrorOnTheWorkerIsReportedOnceAndStopsTheTimer) {
  Type("timeStepField", "1e300");
  RunSlowly("40");
  QTest::qWait(50);  // ticks fall due and are dropped
  const QImage shown = Picture();
  slow->let_go = 1;
  ASSERT_TRUE(WaitFor([&] { return !reports.empty(); }));
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].kind, ErrorKind::kOverflow);
  EXPECT_TRUE(reports[0].field.isEmpty());
  EXPECT_FALSE(window.TimerState().Enabled());

  QTest::qWait(100);
  EXPECT_EQ(reports.size(), 1u);
  EXPECT_EQ(slow->begun, 1);
  EXPECT_EQ(ticks, 0);
  EXPECT_EQ(Picture(), shown);
  for (const Vec2& p : Positions(Sim().CurLevel)) {
    EXPECT_TRUE(std::isfinite(p.X) && std::isfinite(p.Y));
  }
}

TEST_F(ResponsiveWindowTest, ALongStepShowsTheBusyCursorUntilItEndsOrIsStopped) {
  std::vector<QRect> layout;
  for (QWidget* child : window.findChildren<QWidget*>()) layout.push_back(child->geometry());

  RunSlowly("40");
  EXPECT_FALSE(BusyCursorShown());  // not for a short step
  ASSERT_TRUE(WaitFor([&] { return BusyCursorShown(); }, 3000));
  EXPECT_FALSE(window.testAttribute(Qt::WA_SetCursor));  // over the picture only
  std::vector<QRect> now;
  for (QWidget* child : window.findChildren<QWidget*>()) now.push_back(child->geometry());
  EXPECT_EQ(now, layout);

  slow->let_go = 1;
  ASSERT_TRUE(WaitFor([&] { return ticks == 1; }));
  EXPECT_FALSE(BusyCursorShown());

  // The next step runs long too, and 停止 clears the cursor with it.
  ASSERT_TRUE(WaitFor([&] { return BusyCursorShown(); }, 3000));
  EXPECT_EQ(slow->begun, 2);
  const qint64 ms = MsUntil([&] { PostClick("stopButton"); }, [&] { return !BusyCursorShown(); });
  EXPECT_GE(ms, 0);
  EXPECT_LT(ms, kAtOnceMs);
}

// --- The largest count, with the real step ----------------------------------

// The observation window's pair pass of the largest count, seconds of work,
// runs on the stepping thread and stops with the step: 停止 answers at once,
// and the next run's first step begins at once, not after the abandoned pass.
TEST_F(ResponsiveWindowTest, TheLargestCountsObservationStopsAtOnce) {
  auto step = std::make_shared<StepCount>();
  window.SetStepForTesting(StepCount::For(step));
  window.SetObserving(true);
  Type("countField", "32767");
  Run("1");  // the arrangement's figures and first row are worked out
  QTest::qWait(50);
  ASSERT_EQ(window.Observation()->Rows().size(), 0u);  // still in the pass
  const qint64 stopped = MsUntil([&] { PostClick("stopButton"); },
                                 [&] { return !window.TimerState().Enabled(); });
  EXPECT_GE(stopped, 0);
  EXPECT_LT(stopped, kAtOnceMs);
  window.SetObserving(false);
  const qint64 begun = MsUntil([&] { PostClick("runButton"); }, [&] { return step->begun == 1; });
  EXPECT_GE(begun, 0);
  EXPECT_LT(begun, kRunAtOnceMs);
  Click("stopButton");
}

TEST_F(ResponsiveWindowTest, TheLargestCountAnswersStopAndClosingAtOnce) {
  // The real step looks at its stop flag between rows of the force loop; a
  // whole step of this count takes seconds.
  auto step = std::make_shared<StepCount>();
  window.SetStepForTesting(StepCount::For(step));
  Type("countField", "32767");
  Run("1");
  ASSERT_TRUE(WaitFor([&] { return step->begun == 1; }));
  QTest::qWait(50);  // well into the force loop
  ASSERT_EQ(step->ended, 0);
  const qint64 stopped = MsUntil([&] { PostClick("stopButton"); }, [&] { return step->ended == 1; });
  EXPECT_GE(stopped, 0);
  EXPECT_LT(stopped, kAtOnceMs);
  EXPECT_TRUE(AllAtRest(Sim()));
  EXPECT_EQ(ticks, 0);

  // A window destroyed in the middle of a step waits only for it to notice.
  auto other = std::make_unique<MainWindow>();
  auto other_step = std::make_shared<StepCount>();
  other->SetStepForTesting(StepCount::For(other_step));
  other->show();
  other->findChild<QLineEdit*>("countField")->setText(QStringLiteral("32767"));
  other->findChild<QLineEdit*>("periodField")->setText(QStringLiteral("1"));
  other->findChild<QPushButton*>("runButton")->click();
  ASSERT_TRUE(WaitFor([&] { return other_step->begun == 1; }));
  QTest::qWait(50);
  QElapsedTimer clock;
  clock.start();
  other.reset();
  EXPECT_LT(clock.elapsed(), kAtOnceMs);
  EXPECT_EQ(other_step->ended, 1);
}

// XYZ を保存 of the largest count goes through every pair for the frame's
// potential energy, about a second, away from the window's thread: the
// window answers meanwhile, the button cannot start a second save, and 停止
// ends the step but not the save, whose file comes whole.
TEST_F(ResponsiveWindowTest, TheLargestCountsFrameIsSavedWhileTheWindowAnswers) {
  RunSlowly("32767");
  window.SetObserving(true);
  ObservationWindow* observation = window.Observation();
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("frame.xyz"));
  observation->SetFileChooser([&](const QString&) { return path; });
  QSignalSpy saved(observation, &ObservationWindow::FrameSaved);

  QLineEdit* field = Control<QLineEdit>("timeStepField");
  const qint64 typed = MsUntil(
      [&] {
        PostClick("saveFrameButton");
        PostTyping("timeStepField", QStringLiteral("2e5"));
      },
      [&] { return field->text() == QStringLiteral("2e5"); });
  EXPECT_GE(typed, 0);
  EXPECT_LT(typed, kAtOnceMs);
  ASSERT_TRUE(saved.isEmpty());  // still working the frame out
  EXPECT_FALSE(Control<QPushButton>("saveFrameButton")->isEnabled());

  Click("stopButton");  // ends the step, not the save
  ASSERT_TRUE(saved.wait(120000));
  EXPECT_TRUE(saved.at(0).at(0).toBool());
  EXPECT_TRUE(Control<QPushButton>("saveFrameButton")->isEnabled());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = file.readAll().split('\n');
  ASSERT_EQ(lines.size(), 32767 + 3);  // count, comment, particles, and nothing after the last
  EXPECT_EQ(lines.front(), QByteArray("32767"));
  EXPECT_TRUE(lines.back().isEmpty());
  EXPECT_TRUE(reports.empty());
}

// --- The same states and pictures as steps taken on the spot -----------------

TEST_F(ResponsiveWindowTest, ThreadedTicksGiveTheStatesAndPicturesOfStepsTakenOnTheSpot) {
  window.SetStepForTesting({});  // the real step
  std::vector<Simulation> states;
  std::vector<QImage> pictures;
  QObject::connect(&window, &MainWindow::TickFinished, &window, [&] {
    states.push_back(Sim());
    pictures.push_back(Picture());
  });
  Type("countField", "150");  // enough for the force loop to use every core
  Run("1");
  const Simulation placed = Sim();  // no tick has run yet
  ASSERT_TRUE(WaitFor([&] { return states.size() >= 30; }, 30000));
  Click("stopButton");

  // The same arrangement stepped one tick after another, drawn on a surface
  // like the window's.
  PictureBox surface;
  surface.setGeometry(kPictureGeometry);
  surface.SetBackColor(kPictureBackground);
  SetUserScale(surface, 0, 0, 10, 10);
  Simulation sim = placed;
  for (size_t k = 0; k < states.size(); ++k) {
    AdvanceOneStep(sim);
    DrawParticles(sim, surface);
    ExchangeLevels(sim);
    ASSERT_TRUE(SameBits(states[k], sim)) << "tick " << k + 1;
    ASSERT_EQ(pictures[k], surface.Image()) << "tick " << k + 1;
  }
  EXPECT_TRUE(SameBits(Sim(), sim));
  EXPECT_TRUE(reports.empty());
}

}  // namespace
}  // namespace tessaly
