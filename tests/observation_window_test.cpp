// The observation window beside the main window: opened from the picture's
// context menu and F2, it reads the run without changing a bit of it, and
// shows the model's own figures.
#include "ui/observation_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <memory>

#include "model/observables.h"
#include "platform/random.h"
#include "ui/main_window.h"

namespace tessaly {
namespace {

// A main window run from a fixed seed whose ticks the test takes one by one,
// through the slot its timer calls (period 0: the timer never fires).
class SteppedWindow {
 public:
  explicit SteppedWindow(int count) {
    window.SetRandomSource(std::make_unique<FixedSeedRandom>(31));
    window.findChild<QLineEdit*>(QStringLiteral("countField"))->setText(QString::number(count));
    window.findChild<QLineEdit*>(QStringLiteral("periodField"))->setText(QStringLiteral("0"));
    window.show();
    window.findChild<QPushButton*>(QStringLiteral("runButton"))->click();
  }

  void Tick() {
    QSignalSpy finished(&window, &MainWindow::TickFinished);
    QMetaObject::invokeMethod(&window, "OnTick");
    ASSERT_TRUE(finished.wait(5000));
  }

  QAction* ObserveAction() { return window.findChild<QAction*>(QStringLiteral("observeAction")); }

  MainWindow window;
};

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
  // A refresh held back falls due within a tenth of a second or so.
  QSignalSpy refreshed(observation, &ObservationWindow::Refreshed);
  ASSERT_TRUE(refreshed.wait(2000));
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

}  // namespace
}  // namespace tessaly
