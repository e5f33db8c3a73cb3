// The main window under test: shown on the offscreen platform, errors
// recorded instead of shown, and the few ways a person acts on it.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <vector>

#include "picture_check.h"
#include "ui/main_window.h"
#include "ui/picture_layout.h"

namespace tessaly::testing {

inline constexpr QRgb kBackground =
    qRgb(RedOf(kPictureBackground), GreenOf(kPictureBackground), BlueOf(kPictureBackground));

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.SetErrorReporter([this](const ErrorReport& report) { reports.push_back(report); });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }

  template <typename T>
  T* Control(const char* name) {
    T* control = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
  }

  void Type(const char* field, const QString& text) {
    QLineEdit* edit = Control<QLineEdit>(field);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
  }

  // Types as a Japanese input method does: the text arrives composed and
  // committed in one event, not as key presses.
  void TypeWithInputMethod(const char* field, const QString& text) {
    QLineEdit* edit = Control<QLineEdit>(field);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QInputMethodEvent compose(text, {});
    QApplication::sendEvent(edit, &compose);
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(edit, &commit);
  }

  void Click(const char* button) { QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton); }

  // Runs with the given period and returns once the initial arrangement shows.
  void Run(const QString& period) {
    Type("periodField", period);
    Click("runButton");
  }

  const Simulation& Sim() const { return window.SimulationState(); }
  const QImage& Picture() const { return window.PictureImage(); }

  std::vector<Vec2> Positions(int level) const {
    const auto& pos = Sim().Pos[level];
    return std::vector<Vec2>(pos.begin() + 1, pos.end());
  }

  PictureFaults CheckPictureShows(int level) const {
    std::vector<QPointF> centres;
    for (const Vec2& p : Positions(level)) centres.push_back(WorldToPixel(p.X, p.Y, Picture()));
    return CheckDiscs(Picture(), centres, DiscRadius(Picture()), kBackground,
                      window.devicePixelRatioF());
  }

  bool WaitFor(const std::function<bool()>& condition, int ms = 2000) {
    return QTest::qWaitFor(condition, ms);
  }

  MainWindow window;
  std::vector<ErrorReport> reports;
};

inline bool SamePositions(const std::vector<Vec2>& a, const std::vector<Vec2>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].X != b[i].X || a[i].Y != b[i].Y) return false;
  }
  return true;
}

inline bool AllAtRest(const Simulation& sim) {
  for (int level = 0; level < 2; ++level) {
    for (int i = 1; i <= sim.ParticleCount; ++i) {
      if (sim.Vel[level][i].X != 0.0 || sim.Vel[level][i].Y != 0.0) return false;
    }
  }
  return true;
}

}  // namespace tessaly::testing
