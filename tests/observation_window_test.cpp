// The observation window beside the main window: opened from the picture's
// context menu and F2, it reads the run without changing a bit of it, and
// shows the model's own figures.
#include "ui/observation_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QChartView>
#include <QValueAxis>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "batch/batch_run.h"
#include "form/window_texts.h"
#include "model/observables.h"
#include "model/time_step.h"
#include "platform/random.h"
#include "ui/main_window.h"

namespace tessaly {
namespace {

// A main window run from a fixed seed whose ticks the test takes one by one,
// through the slot its timer calls. The period is the longest, a minute, so
// that the timer does not fire while the test runs (at period 0 a run takes
// no ticks at all).
class SteppedWindow {
 public:
  // With `observed`, the observation window is opened before 実行.
  explicit SteppedWindow(int count, std::uint64_t seed = 31, bool observed = false) {
    window.SetRandomSource(std::make_unique<FixedSeedRandom>(seed));
    window.SetErrorReporter([this](const ErrorReport& report) { reports.push_back(report); });
    window.findChild<QLineEdit*>(QStringLiteral("countField"))->setText(QString::number(count));
    window.findChild<QLineEdit*>(QStringLiteral("periodField"))->setText(QStringLiteral("65535"));
    window.show();
    if (observed) window.SetObserving(true);
    window.findChild<QPushButton*>(QStringLiteral("runButton"))->click();
  }

  void Tick() {
    QSignalSpy finished(&window, &MainWindow::TickFinished);
    QMetaObject::invokeMethod(&window, "OnTick");
    ASSERT_TRUE(finished.wait(5000));
  }

  QAction* ObserveAction() { return window.findChild<QAction*>(QStringLiteral("observeAction")); }

  MainWindow window;
  std::vector<ErrorReport> reports;
};

// The batch run's table and frames of the same run (tessaly --batch --count
// `count` --time-step 0.1 --seed `seed` --steps `steps` --every `every`).
struct BatchOutput {
  std::string table;
  std::vector<std::string> frames;
};

BatchOutput BatchOf(int count, std::uint64_t seed, std::uint64_t steps, std::uint64_t every) {
  BatchOutput out;
  BatchSettings settings;
  settings.count = static_cast<std::int16_t>(count);
  settings.time_step = 0.1;
  settings.steps = steps;
  settings.every = every;
  settings.seed = seed;
  FixedSeedRandom random(seed);
  BatchSinks sinks;
  sinks.xyz = [&](const std::string& frame) { out.frames.push_back(frame); };
  sinks.thermo = [&](const std::string& rows) { out.table += rows; };
  EXPECT_EQ(RunBatch(settings, random, sinks, {}, nullptr).end, BatchEnd::kFinished);
  return out;
}

std::string Contents(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "(unreadable)";
  return file.readAll().toStdString();
}

bool SameBits(const std::vector<Vec2>& a, const std::vector<Vec2>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Vec2)) == 0;
}

TEST(ObservationWindow, OpeningAndClosingItLeavesTheTicksAndThePictureAsTheyWere) {
  SteppedWindow plain(120);
  SteppedWindow observed(120);
  for (int tick = 1; tick <= 40; ++tick) {
    // Opened by F2, closed by its own close button, opened by the menu.
    if (tick == 5) QTest::keyClick(&observed.window, Qt::Key_F2);
    if (tick == 15) observed.window.Observation()->close();
    if (tick == 25) observed.ObserveAction()->trigger();
    plain.Tick();
    observed.Tick();
    const Simulation& a = plain.window.SimulationState();
    const Simulation& b = observed.window.SimulationState();
    for (int level = 0; level < 2; ++level) {
      ASSERT_TRUE(SameBits(a.Pos[level], b.Pos[level])) << "tick " << tick;
      ASSERT_TRUE(SameBits(a.Vel[level], b.Vel[level])) << "tick " << tick;
    }
    ASSERT_EQ(a.CurLevel, b.CurLevel);
    ASSERT_EQ(plain.window.PictureImage(), observed.window.PictureImage()) << "tick " << tick;
  }
  ObservationWindow* observation = observed.window.Observation();
  ASSERT_NE(observation, nullptr);
  EXPECT_TRUE(observation->isVisible());
  EXPECT_TRUE(observed.ObserveAction()->isChecked());
}

TEST(ObservationWindow, ShowsTheModelsFiguresOfTheRecord) {
  SteppedWindow stepped(150);
  QAction* action = stepped.ObserveAction();
  ASSERT_NE(action, nullptr);
  // The picture's context menu holds the action, and its tooltip says how.
  QWidget* picture = stepped.window.findChild<QWidget*>(QStringLiteral("picture"));
  EXPECT_TRUE(picture->actions().contains(action));
  EXPECT_EQ(picture->contextMenuPolicy(), Qt::ActionsContextMenu);
  EXPECT_TRUE(picture->toolTip().contains(QStringLiteral("F2")));
  action->trigger();
  ObservationWindow* observation = stepped.window.Observation();
  ASSERT_NE(observation, nullptr);
  EXPECT_EQ(observation->windowTitle(), QStringLiteral("観測"));
  EXPECT_TRUE(observation->isWindow());

  for (int tick = 0; tick < 30; ++tick) stepped.Tick();
  // A refresh held back falls due within a tenth of a second or so, and
  // shows the newest state.
  ASSERT_TRUE(QTest::qWaitFor([&] { return observation->Shown().steps == 30; }, 2000));
  const Simulation& sim = stepped.window.SimulationState();
  const ObservationWindow::Figures& shown = observation->Shown();
  PairCounts counts{};
  EXPECT_EQ(shown.potential_per_particle, PotentialEnergy(sim, &counts) * (1.0 / 150));
  EXPECT_EQ(shown.pair_distribution, PairDistribution(counts, 150));
  EXPECT_EQ(shown.temperature, Temperature(sim));
  EXPECT_EQ(shown.steps, 30u);
  EXPECT_EQ(shown.time, 30 * 0.1);
  // 150 particles reach the walls within 30 steps: the walls were measured.
  EXPECT_GT(shown.wall_pressure, 0.0);
  const auto* label = observation->findChild<QLabel*>(QStringLiteral("temperatureValue"));
  EXPECT_EQ(label->text(), QString::number(shown.temperature, 'g', 4) + QStringLiteral(" ε/k_B"));

  // Closed, it computes nothing: the ticks bring no refresh.
  observation->close();
  EXPECT_FALSE(action->isChecked());
  QSignalSpy none(observation, &ObservationWindow::Refreshed);
  for (int tick = 0; tick < 5; ++tick) stepped.Tick();
  QTest::qWait(250);
  EXPECT_EQ(none.count(), 0);
}

// 停止 during a step that was to bring the figures leaves the figures behind
// the record; they catch up, and the window shows the record's own figures.
TEST(ObservationWindow, AfterStopTheFiguresAreTheRecords) {
  // Steps that wait for the test, or give up when stopped.
  struct Gate {
    std::atomic<int> begun{0};
    std::atomic<int> let_go{0};
  };
  auto gate = std::make_shared<Gate>();
  SteppedWindow stepped(120, 8, true);
  stepped.window.SetStepForTesting([gate](Simulation& sim, const StopFlag& stop) {
    const int k = ++gate->begun;
    while (gate->let_go < k && !stop) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!stop) AdvanceOneStep(sim);
  });
  ObservationWindow* observation = stepped.window.Observation();
  int ticks = 0;
  QObject::connect(&stepped.window, &MainWindow::TickFinished, [&] { ++ticks; });
  // The first tick waits for the arrangement's figures and follows them at
  // once: too soon for figures of its own.
  QMetaObject::invokeMethod(&stepped.window, "OnTick");
  ASSERT_TRUE(QTest::qWaitFor([&] { return gate->begun == 1; }, 5000));
  ASSERT_EQ(observation->Shown().steps, 0u);
  QTest::qWait(150);
  // The second falls due meanwhile and follows the first, bringing figures.
  QMetaObject::invokeMethod(&stepped.window, "OnTick");
  gate->let_go = 1;
  ASSERT_TRUE(QTest::qWaitFor([&] { return gate->begun == 2; }, 5000));
  ASSERT_EQ(ticks, 1);
  QTest::mouseClick(stepped.window.findChild<QPushButton*>(QStringLiteral("stopButton")),
                    Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return observation->Shown().steps == 1; }, 2000))
      << observation->Shown().steps;
  const Simulation& sim = stepped.window.SimulationState();
  EXPECT_EQ(observation->Shown().temperature, Temperature(sim));
  PairCounts counts{};
  EXPECT_EQ(observation->Shown().potential_per_particle, PotentialEnergy(sim, &counts) * (1.0 / 120));
  EXPECT_EQ(ticks, 1);
  EXPECT_TRUE(stepped.reports.empty());
}

// Open from 実行, the window keeps the batch run's table to its last row and
// writes the picture's state as the batch run's frame of that step, byte for
// byte, under the names the run's seed and step give.
TEST(ObservationWindow, SavesTheBatchRunsTableAndFrameByteForByte) {
  constexpr std::uint64_t kSeed = 4242;
  SteppedWindow stepped(120, kSeed, true);
  ObservationWindow* observation = stepped.window.Observation();
  ASSERT_NE(observation, nullptr);
  // The arrangement's row comes from the stepping thread, after 実行.
  ASSERT_TRUE(QTest::qWaitFor([&] { return observation->Rows().size() == 1; }, 5000));
  for (int tick = 0; tick < 35; ++tick) stepped.Tick();
  ASSERT_EQ(observation->Rows().size(), 4u);  // steps 0, 10, 20, 30

  QTemporaryDir dir;
  QString suggested;
  observation->SetFileChooser([&](const QString& name) {
    suggested = name;
    return dir.filePath(name);
  });
  QTest::mouseClick(observation->findChild<QPushButton*>(QStringLiteral("saveTableButton")),
                    Qt::LeftButton);
  EXPECT_EQ(suggested, QStringLiteral("tessaly-4242-30.csv"));
  EXPECT_EQ(Contents(dir.filePath(suggested)), BatchOf(120, kSeed, 30, 10).table);

  // The picture shows the state the last tick started from: step 34. Its
  // frame is worked out on a thread of its own, which neither a second save
  // nor 実行 disturbs.
  auto* save_frame = observation->findChild<QPushButton*>(QStringLiteral("saveFrameButton"));
  QSignalSpy saved(observation, &ObservationWindow::FrameSaved);
  QTest::mouseClick(save_frame, Qt::LeftButton);
  EXPECT_EQ(suggested, QStringLiteral("tessaly-4242-34.xyz"));
  EXPECT_FALSE(save_frame->isEnabled());
  EXPECT_FALSE(observation->SaveFrame(dir.filePath(QStringLiteral("second.xyz"))));
  stepped.window.findChild<QLineEdit*>(QStringLiteral("countField"))->setText(QStringLiteral("7"));
  stepped.window.findChild<QPushButton*>(QStringLiteral("runButton"))->click();
  ASSERT_TRUE(saved.wait(5000));
  EXPECT_EQ(saved.at(0).at(0).toBool(), true);
  EXPECT_TRUE(save_frame->isEnabled());
  EXPECT_EQ(Contents(dir.filePath(suggested)), BatchOf(120, kSeed, 34, 1).frames.back());
  EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("second.xyz"))));
  EXPECT_TRUE(stepped.reports.empty());

  // A window destroyed before the frame is written waits for it and writes it.
  auto closing = std::make_unique<SteppedWindow>(120, kSeed, true);
  for (int tick = 0; tick < 3; ++tick) closing->Tick();
  const QString last = dir.filePath(QStringLiteral("last.xyz"));
  ASSERT_TRUE(closing->window.Observation()->SaveFrame(last));
  closing.reset();
  EXPECT_EQ(Contents(last), BatchOf(120, kSeed, 2, 1).frames.back());
}

TEST(ObservationWindow, ASaveThatFailsSaysSoAndLosesNothing) {
  SteppedWindow stepped(60, 9, true);
  ObservationWindow* observation = stepped.window.Observation();
  ASSERT_TRUE(QTest::qWaitFor([&] { return observation->Rows().size() == 1; }, 5000));
  for (int tick = 0; tick < 10; ++tick) stepped.Tick();
  ASSERT_EQ(observation->Rows().size(), 2u);

  QTemporaryDir dir;
  const QString unwritable[] = {dir.path(), dir.filePath(QStringLiteral("missing/run.csv"))};
  for (const QString& path : unwritable) {
    stepped.reports.clear();
    EXPECT_FALSE(observation->SaveTable(path)) << path.toStdString();
    QSignalSpy saved(observation, &ObservationWindow::FrameSaved);
    ASSERT_TRUE(observation->SaveFrame(path)) << path.toStdString();
    ASSERT_TRUE(saved.wait(5000)) << path.toStdString();
    EXPECT_EQ(saved.at(0).at(0).toBool(), false) << path.toStdString();
    ASSERT_EQ(stepped.reports.size(), 2u) << path.toStdString();
    EXPECT_TRUE(stepped.reports[0].message.contains(path));
  }
  EXPECT_EQ(observation->Rows().size(), 2u);
  const QString good = dir.filePath(QStringLiteral("run.csv"));
  EXPECT_TRUE(observation->SaveTable(good));
  EXPECT_EQ(Contents(good), BatchOf(60, 9, 10, 10).table);
}

// The rows stop at kMostRows, and the window says so: a view of a run loop
// driven as the main window drives it, every job answered with the row it
// asks for.
TEST(ObservationWindow, RecordingStopsAtTheMostRowsAndSaysSo) {
  RunLoop loop;
  const Simulation record;
  ObservationWindow view(loop, record, std::nullopt);
  const auto* label = view.findChild<QLabel*>(QStringLiteral("recordingValue"));
  LoopTime now = 0;
  const auto carry = [&](const LoopActions& actions) {
    if (actions.rows) view.ShowRows();
    if (!actions.start) return;
    JobResult result;
    result.generation = actions.start->generation;
    result.observation = ObservationAnswer{};
    const ObservationRequest& asked = *actions.start->observe;
    if (asked.row) result.observation->row = RecordedRow{asked.steps, 0.0, {}};
    if (loop.Finished(now, result).rows) view.ShowRows();
  };
  (void)loop.SetObserving(now, true);
  carry(loop.Run(now, 2, 1));
  ASSERT_EQ(view.Rows().size(), 1u);
  EXPECT_EQ(label->text().toStdString(), RecordingNote(1, kRowEvery, false));
  while (!loop.RowsFull() && now < 2.0 * kMostRows * kRowEvery) carry(loop.Tick(++now));
  ASSERT_EQ(view.Rows().size(), kMostRows);
  EXPECT_EQ(view.Rows().back().step, (kMostRows - 1) * kRowEvery);
  EXPECT_EQ(label->text().toStdString(), RecordingNote(kMostRows, kRowEvery, true));
  for (int k = 0; k < 20; ++k) carry(loop.Tick(++now));
  EXPECT_EQ(view.Rows().size(), kMostRows);
}

// Every axis is labelled at round numbers: ticks from 0 at 1, 2 or 5 times a
// power of ten, labels with no more digits than the ticks need.
TEST(ObservationWindow, AxesAreLabelledAtRoundNumbers) {
  SteppedWindow stepped(300, 5, true);
  ObservationWindow* observation = stepped.window.Observation();
  for (int tick = 0; tick < 20; ++tick) stepped.Tick();
  ASSERT_TRUE(QTest::qWaitFor([&] { return observation->Shown().steps > 0; }, 2000));
  QList<QValueAxis*> axes;
  for (const QChartView* view : observation->findChildren<QChartView*>()) {
    for (QAbstractAxis* axis : view->chart()->axes()) axes.append(qobject_cast<QValueAxis*>(axis));
  }
  ASSERT_EQ(axes.size(), 6);
  for (const QValueAxis* axis : axes) {
    ASSERT_NE(axis, nullptr);
    const std::string name = axis->titleText().toStdString();
    EXPECT_EQ(axis->tickType(), QValueAxis::TicksDynamic) << name;
    EXPECT_EQ(axis->tickAnchor(), 0.0) << name;
    const double step = axis->tickInterval();
    const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    const double times = step / power;
    EXPECT_TRUE(std::fabs(times - 1) < 1e-9 || std::fabs(times - 2) < 1e-9 ||
                std::fabs(times - 5) < 1e-9)
        << name << ": " << step;
    // Between 2 and 11 ticks show, each label the round number itself.
    const double first = std::ceil(axis->min() / step - 1e-9);
    const double last = std::floor(axis->max() / step + 1e-9);
    EXPECT_GE(last - first + 1, 2) << name;
    EXPECT_LE(last - first + 1, 11) << name;
    const QByteArray format = axis->labelFormat().toLatin1();
    for (double k = first; k <= last; ++k) {
      const QString label = QString::asprintf(format.constData(), k * step);
      EXPECT_EQ(label.toDouble(), QString::number(k * step, 'g', 12).toDouble())
          << name << ": " << label.toStdString();
      EXPECT_FALSE(label.contains(QLatin1Char('e'))) << name << ": " << label.toStdString();
    }
  }
}

}  // namespace
}  // namespace tessaly
