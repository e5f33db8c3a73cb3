// The main window driven as a person would: typing into the fields, clicking
// the buttons, waiting for the timer, and looking at the picture.
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRawFont>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <string>
#include <vector>

#include "main_window_fixture.h"
#include "model/time_step.h"
#include "picture_check.h"
#include "widgets/timer.h"

namespace tessaly {
namespace {

using testing::AllAtRest;
using testing::CheckDiscs;
using testing::MainWindowTest;
using testing::kBackground;
using testing::SamePositions;

// --- What the window looks like -------------------------------------------

TEST_F(MainWindowTest, ControlsStandWhereTheLayoutPutsThem) {
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Tessaly"));
  EXPECT_EQ(window.size(), QSize(434, 273));
  struct Row {
    const char* name;
    QRect geometry;
  };
  const Row rows[] = {
      {"picture", {8, 8, 281, 257}},   {"runButton", {304, 24, 113, 25}},
      {"stopButton", {304, 56, 113, 25}}, {"countLabel", {304, 112, 57, 17}},
      {"countField", {360, 112, 49, 18}},    {"timeStepLabel", {304, 136, 57, 25}},
      {"timeStepField", {360, 136, 49, 18}},    {"periodLabel", {304, 160, 57, 17}},
      {"periodField", {360, 160, 49, 18}},
  };
  for (const Row& row : rows) {
    QWidget* control = Control<QWidget>(row.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->geometry(), row.geometry) << row.name;
    EXPECT_TRUE(control->isVisible()) << row.name;
  }
}

TEST_F(MainWindowTest, CaptionsAndDefaultTexts) {
  EXPECT_EQ(Control<QPushButton>("runButton")->text(), QStringLiteral("実行"));
  EXPECT_EQ(Control<QPushButton>("stopButton")->text(), QStringLiteral("停止"));
  EXPECT_EQ(Control<QLabel>("countLabel")->text(), QStringLiteral("分子の数"));
  EXPECT_EQ(Control<QLabel>("timeStepLabel")->text(), QStringLiteral("時間刻み"));
  EXPECT_EQ(Control<QLabel>("periodLabel")->text(), QStringLiteral("タイマー"));
  EXPECT_EQ(Control<QLineEdit>("countField")->text(), QStringLiteral("40"));
  EXPECT_EQ(Control<QLineEdit>("timeStepField")->text(), QStringLiteral("0.1"));
  EXPECT_EQ(Control<QLineEdit>("periodField")->text(), QStringLiteral("10"));
}

TEST_F(MainWindowTest, CaptionFontsHaveEveryGlyph) {
  for (const char* name : {"runButton", "stopButton", "countLabel", "periodLabel", "timeStepLabel"}) {
    QWidget* control = Control<QWidget>(name);
    const QString caption = control->property("text").toString();
    const QRawFont raw = QRawFont::fromFont(control->font());
    const QFontMetrics metrics(control->font());
    ASSERT_TRUE(raw.isValid()) << name;
    for (char32_t c : caption.toUcs4()) {
      EXPECT_TRUE(raw.supportsCharacter(c))
          << name << ": U+" << std::hex << static_cast<unsigned>(c) << " missing from "
          << raw.familyName().toStdString();
      EXPECT_TRUE(metrics.inFontUcs4(c)) << name;
    }
  }
}

TEST_F(MainWindowTest, TabOrderFollowsTheLayoutTable) {
  const char* order[] = {"picture", "runButton", "countField", "stopButton", "periodField", "timeStepField"};
  QApplication::setActiveWindow(&window);
  Control<QWidget>(order[0])->setFocus(Qt::TabFocusReason);
  for (int k = 1; k <= 6; ++k) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    const char* expected = order[k % 6];
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QString::fromLatin1(expected)) << k;
  }
  for (const char* label : {"countLabel", "periodLabel", "timeStepLabel"}) {
    EXPECT_EQ(Control<QWidget>(label)->focusPolicy(), Qt::NoFocus) << label;
  }
}

TEST_F(MainWindowTest, NeitherButtonAnswersEnterOrEscape) {
  // Inside a dialog a push button becomes the default one as soon as it has
  // the focus, and Enter anywhere in the dialog clicks it; the window's
  // buttons must not.
  QDialog dialog;
  auto* hosted = new MainWindow(&dialog);
  hosted->SetErrorReporter([](const ErrorReport&) {});
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QApplication::setActiveWindow(&dialog);
  auto* run = hosted->findChild<QPushButton*>("runButton");
  auto* stop = hosted->findChild<QPushButton*>("stopButton");
  auto* count = hosted->findChild<QLineEdit*>("countField");
  ASSERT_TRUE(run && stop && count);

  run->setFocus();
  QTest::keyClick(run, Qt::Key_Return);
  QTest::keyClick(run, Qt::Key_Enter);
  count->setFocus();
  QTest::keyClick(count, Qt::Key_Return);
  EXPECT_EQ(hosted->SimulationState().ParticleCount, 0) << "Enter ran the simulation";

  run->click();
  ASSERT_EQ(hosted->SimulationState().ParticleCount, 40);
  stop->setFocus();
  QTest::keyClick(stop, Qt::Key_Return);
  count->setFocus();
  QTest::keyClick(count, Qt::Key_Escape);
  EXPECT_TRUE(hosted->TimerState().Enabled()) << "Enter or Escape stopped the simulation";
}

TEST_F(MainWindowTest, TheKeyboardCanRunAndStop) {
  QPushButton* run = Control<QPushButton>("runButton");
  run->setFocus();
  QTest::keyClick(run, Qt::Key_Space);
  EXPECT_EQ(Sim().ParticleCount, 40);
  QPushButton* stop = Control<QPushButton>("stopButton");
  stop->setFocus();
  QTest::keyClick(stop, Qt::Key_Space);
  EXPECT_FALSE(window.TimerState().Enabled());
}

TEST_F(MainWindowTest, EveryControlHasAnAccessibleNameAndDescription) {
  for (const char* name : {"picture", "runButton", "stopButton", "countLabel", "periodLabel", "timeStepLabel", "countField",
                           "periodField", "timeStepField"}) {
    QWidget* control = Control<QWidget>(name);
    EXPECT_FALSE(control->accessibleName().isEmpty()) << name;
    EXPECT_FALSE(control->accessibleDescription().isEmpty()) << name;
  }
}

TEST_F(MainWindowTest, FieldTooltipsGiveRangeAndUnit) {
  EXPECT_TRUE(Control<QLineEdit>("countField")->toolTip().contains(QStringLiteral("32767")));
  EXPECT_TRUE(Control<QLineEdit>("timeStepField")->toolTip().contains(QStringLiteral("単位")));
  const QString period = Control<QLineEdit>("periodField")->toolTip();
  EXPECT_TRUE(period.contains(QStringLiteral("65535")));
  EXPECT_TRUE(period.contains(QStringLiteral("ミリ秒")));
}

TEST_F(MainWindowTest, IconShowsFourDiscsInTheirColours) {
  const QImage icon = window.windowIcon().pixmap(QSize(32, 32), 1.0).toImage();
  ASSERT_EQ(icon.size(), QSize(32, 32));
  EXPECT_EQ(QColor(icon.pixel(8, 8)), QColor(0, 0, 255));     // blue, upper left
  EXPECT_EQ(QColor(icon.pixel(24, 8)), QColor(255, 255, 0));  // yellow, upper right
  EXPECT_EQ(QColor(icon.pixel(8, 24)), QColor(0, 255, 255));  // cyan, lower left
  EXPECT_EQ(QColor(icon.pixel(24, 24)), QColor(0, 255, 0));   // green, lower right
}

// --- Start, Run, ticks and Stop ---------------------------------------------

TEST_F(MainWindowTest, NothingRunsBeforeTheFirstRun) {
  EXPECT_TRUE(window.TimerState().Enabled());
  EXPECT_EQ(window.TimerState().Interval(), 0);
  QSignalSpy ticks(Control<Timer>("timer"), &Timer::Tick);
  QTest::qWait(300);
  EXPECT_EQ(ticks.count(), 0);  // a timer at period 0 would fire on every pass
  EXPECT_EQ(Sim().ParticleCount, 0);
  EXPECT_TRUE(Sim().Pos[0].empty());
  EXPECT_TRUE(CheckDiscs(Picture(), {}, testing::DiscRadius(Picture()), kBackground).None());
  Click("stopButton");  // Stop before any Run does nothing
  EXPECT_TRUE(reports.empty());
}

TEST_F(MainWindowTest, RunWithTheDefaultsShowsFortyDiscsAtRest) {
  Click("runButton");
  ASSERT_EQ(Sim().ParticleCount, 40);
  EXPECT_EQ(Sim().TimeStep, 0.1);
  EXPECT_EQ(Sim().CurLevel, 0);
  EXPECT_TRUE(AllAtRest(Sim()));
  EXPECT_EQ(window.TimerState().Interval(), 10);
  EXPECT_TRUE(window.TimerState().Enabled());
  window.findChild<QPushButton*>("stopButton")->click();  // freeze before looking
  const auto faults = CheckPictureShows(0);
  EXPECT_TRUE(faults.None()) << faults.first;
}

TEST_F(MainWindowTest, ThePictureRunsOneStepBehind) {
  Run("120");
  const QImage initial = Picture();
  const std::vector<Vec2> placed = Positions(0);

  // The first tick draws the initial arrangement again and makes the state
  // after one step current.
  ASSERT_TRUE(WaitFor([&] { return Sim().CurLevel == 1; }));
  const QImage first = Picture();
  EXPECT_EQ(Sim().CurLevel, 1);  // still the first tick
  EXPECT_EQ(first, initial);
  EXPECT_TRUE(SamePositions(Positions(Sim().NextLevel), placed));
  EXPECT_FALSE(SamePositions(Positions(Sim().CurLevel), placed));

  // The second tick shows the state after one step: the discs have moved.
  ASSERT_TRUE(WaitFor([&] { return Sim().CurLevel == 0; }));
  Click("stopButton");
  EXPECT_NE(Picture(), initial);
  const auto faults = CheckPictureShows(Sim().NextLevel);
  EXPECT_TRUE(faults.None()) << faults.first;
}

TEST_F(MainWindowTest, TicksComeAboutOncePerPeriod) {
  // 300 ms at a period of 10 ms: about 30 ticks, never many more (a timer
  // ticking twice as often would give 60), and not far fewer.
  QSignalSpy ticks(Control<Timer>("timer"), &Timer::Tick);
  int flips = 0;
  int last_level = 0;
  Run("10");
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 300) {
    QTest::qWait(1);
    if (Sim().CurLevel != last_level) {
      last_level = Sim().CurLevel;
      ++flips;
    }
  }
  Click("stopButton");
  const qint64 elapsed = clock.elapsed();
  EXPECT_GE(ticks.count(), 8);
  EXPECT_LE(ticks.count(), elapsed / 10 + 6);
  EXPECT_GE(flips, 8);  // every tick steps; some flips may be missed between looks
}

TEST_F(MainWindowTest, StopFreezesThePicture) {
  Run("10");
  ASSERT_TRUE(WaitFor([&] { return !AllAtRest(Sim()); }));
  Click("stopButton");
  EXPECT_FALSE(window.TimerState().Enabled());
  const QImage frozen = Picture();
  const std::vector<Vec2> current = Positions(Sim().CurLevel);
  const int level = Sim().CurLevel;
  QTest::qWait(150);
  EXPECT_EQ(Picture(), frozen);
  EXPECT_EQ(Sim().CurLevel, level);
  EXPECT_TRUE(SamePositions(Positions(Sim().CurLevel), current));
}

TEST_F(MainWindowTest, StopThenRunStartsAfreshFromRest) {
  Run("10");
  ASSERT_TRUE(WaitFor([&] { return !AllAtRest(Sim()); }));
  Click("stopButton");
  const std::vector<Vec2> stopped = Positions(Sim().CurLevel);
  const QImage frozen = Picture();
  Click("runButton");
  EXPECT_TRUE(window.TimerState().Enabled());
  EXPECT_EQ(Sim().CurLevel, 0);
  EXPECT_TRUE(AllAtRest(Sim()));
  EXPECT_FALSE(SamePositions(Positions(0), stopped));
  EXPECT_NE(Picture(), frozen);
  EXPECT_TRUE(CheckPictureShows(0).None());
  ASSERT_TRUE(WaitFor([&] { return !AllAtRest(Sim()); }));
}

TEST_F(MainWindowTest, RunWhileRunningStartsAfreshWithTheNewPeriod) {
  Run("10");
  ASSERT_TRUE(WaitFor([&] { return !AllAtRest(Sim()); }));
  const std::vector<Vec2> before = Positions(Sim().CurLevel);
  Type("periodField", "25");
  Click("runButton");
  EXPECT_TRUE(AllAtRest(Sim()));
  EXPECT_EQ(Sim().CurLevel, 0);
  EXPECT_EQ(window.TimerState().Interval(), 25);
  EXPECT_TRUE(window.TimerState().Enabled());
  EXPECT_FALSE(SamePositions(Positions(0), before));
  ASSERT_TRUE(WaitFor([&] { return !AllAtRest(Sim()); }));  // and it keeps ticking
}

TEST_F(MainWindowTest, CountIsRoundedHalfToEven) {
  struct Case {
    const char* text;
    int count;
  };
  for (const Case& c : {Case{"3.5", 4}, Case{"2.5", 2}, Case{" 7abc", 7}, Case{"abc", 0}, Case{"", 0}}) {
    Type("countField", QString::fromLatin1(c.text));
    Run("0");
    EXPECT_EQ(Sim().ParticleCount, c.count) << c.text;
    EXPECT_TRUE(CheckPictureShows(0).None()) << c.text;
  }
  EXPECT_TRUE(reports.empty());
}

TEST_F(MainWindowTest, PeriodZeroShowsTheArrangementAndNeverTicks) {
  Run("0");
  const QImage shown = Picture();
  EXPECT_TRUE(window.TimerState().Enabled());
  EXPECT_EQ(window.TimerState().Interval(), 0);
  QTest::qWait(250);
  EXPECT_EQ(Sim().CurLevel, 0);
  EXPECT_TRUE(AllAtRest(Sim()));
  EXPECT_EQ(Picture(), shown);
  EXPECT_TRUE(CheckPictureShows(0).None());
}

// --- Fields that cannot be used ---------------------------------------------

TEST_F(MainWindowTest, AFieldThatCannotBeUsedIsReportedAndChangesNothing) {
  struct Case {
    const char* field;
    const char* text;
    ErrorKind kind;
    const char* caption;
  };
  const Case cases[] = {
      {"countField", "40000", ErrorKind::kOverflow, "分子の数"},
      {"countField", "-1", ErrorKind::kOutOfRange, "分子の数"},
      {"countField", "1e999", ErrorKind::kOverflow, "分子の数"},
      {"timeStepField", "1e400", ErrorKind::kOverflow, "時間刻み"},
      {"periodField", "-5", ErrorKind::kOutOfRange, "タイマー"},
      {"periodField", "65536", ErrorKind::kOutOfRange, "タイマー"},
      {"periodField", "3e9", ErrorKind::kOverflow, "タイマー"},
  };
  Type("countField", "12");
  Run("0");  // running, but without ticks, so nothing moves by itself
  const std::vector<Vec2> placed = Positions(0);
  const QImage shown = Picture();
  for (const Case& c : cases) {
    const QLineEdit* field = Control<QLineEdit>(c.field);
    const QString good = field->text();
    Type(c.field, QString::fromLatin1(c.text));
    reports.clear();
    Click("runButton");
    ASSERT_EQ(reports.size(), 1u) << c.text;
    EXPECT_EQ(reports[0].kind, c.kind) << c.text;
    EXPECT_EQ(reports[0].field, QString::fromUtf8(c.caption)) << c.text;
    EXPECT_TRUE(reports[0].message.contains(QString::fromUtf8(c.caption))) << c.text;
    EXPECT_TRUE(reports[0].message.contains(ErrorKindText(c.kind))) << c.text;
    EXPECT_EQ(Sim().ParticleCount, 12) << c.text;
    EXPECT_TRUE(SamePositions(Positions(0), placed)) << c.text;
    EXPECT_EQ(Picture(), shown) << c.text;
    EXPECT_TRUE(window.TimerState().Enabled()) << c.text;
    EXPECT_EQ(window.TimerState().Interval(), 0) << c.text;
    Type(c.field, good);
  }
}

TEST_F(MainWindowTest, OfSeveralBadFieldsTheFirstInReadingOrderIsReported) {
  // Run reads the count, then the time step, then refuses a negative count,
  // then reads the period: the first of these to fail is the one reported.
  struct Bad {
    const char* field;
    const char* text;
    ErrorKind kind;
    const char* caption;
    int rank;  // place in the reading order
  };
  const Bad count_overflow{"countField", "40000", ErrorKind::kOverflow, "分子の数", 0};
  const Bad step_overflow{"timeStepField", "1e400", ErrorKind::kOverflow, "時間刻み", 1};
  const Bad count_negative{"countField", "-1", ErrorKind::kOutOfRange, "分子の数", 2};
  const Bad period_negative{"periodField", "-5", ErrorKind::kOutOfRange, "タイマー", 3};
  const Bad period_overflow{"periodField", "3e9", ErrorKind::kOverflow, "タイマー", 3};
  const std::vector<std::vector<Bad>> combinations = {
      {count_overflow, step_overflow},   {count_negative, step_overflow},
      {count_overflow, period_negative}, {count_negative, period_overflow},
      {step_overflow, period_negative},  {step_overflow, period_overflow},
      {count_overflow, step_overflow, period_overflow},
      {count_negative, step_overflow, period_negative},
  };
  Type("countField", "12");
  Run("0");
  const std::vector<Vec2> placed = Positions(0);
  for (const auto& bad : combinations) {
    std::string label;
    const Bad* first = &bad.front();
    for (const Bad& b : bad) {
      Type(b.field, QString::fromLatin1(b.text));
      label += std::string(b.field) + "=" + b.text + " ";
      if (b.rank < first->rank) first = &b;
    }
    reports.clear();
    Click("runButton");
    ASSERT_EQ(reports.size(), 1u) << label;
    EXPECT_EQ(reports[0].field, QString::fromUtf8(first->caption)) << label;
    EXPECT_EQ(reports[0].kind, first->kind) << label;
    EXPECT_EQ(Sim().ParticleCount, 12) << label;
    EXPECT_TRUE(SamePositions(Positions(0), placed)) << label;
    Type("countField", "12");
    Type("timeStepField", "0.1");
    Type("periodField", "0");
  }
}

TEST_F(MainWindowTest, FullWidthNumbersTypedWithAnInputMethodAreRead) {
  struct Case {
    const char* count;
    const char* time_step;
  };
  for (const Case& c : {Case{"４０", "０．１"}, Case{"\u3000４０", "　０．１"}, Case{"４０", "１ｅ－１"}}) {
    TypeWithInputMethod("countField", QString::fromUtf8(c.count));
    TypeWithInputMethod("timeStepField", QString::fromUtf8(c.time_step));
    TypeWithInputMethod("periodField", QString::fromUtf8("１０"));
    EXPECT_EQ(Control<QLineEdit>("countField")->text(), QString::fromUtf8(c.count));
    Click("runButton");
    EXPECT_EQ(Sim().ParticleCount, 40) << c.count;
    EXPECT_EQ(Sim().TimeStep, 0.1) << c.time_step;
    EXPECT_EQ(window.TimerState().Interval(), 10);
    Click("stopButton");
  }
  EXPECT_TRUE(reports.empty());
}

TEST_F(MainWindowTest, FieldsAskInputMethodsForLatinDigits) {
  for (const char* name : {"countField", "timeStepField", "periodField"}) {
    const Qt::InputMethodHints hints = Control<QLineEdit>(name)->inputMethodHints();
    EXPECT_TRUE(hints.testFlag(Qt::ImhPreferLatin)) << name;
    EXPECT_TRUE(hints.testFlag(Qt::ImhPreferNumbers)) << name;
    EXPECT_TRUE(Control<QLineEdit>(name)->toolTip().contains(QStringLiteral("全角"))) << name;
  }
}

TEST_F(MainWindowTest, ErrorMessagesBreakOnlyWhereTheyAreWrittenToBreak) {
  // At any pixel density, every line of a message shows whole on one line of
  // the box: no word is cut in two by wrapping.
  const ErrorReport field_report = FieldErrorReport(
      ErrorKind::kOutOfRange, QStringLiteral("分子の数"), Control<QLineEdit>("countField")->toolTip());
  for (const ErrorReport& report : {field_report, TickErrorReport(ErrorKind::kOverflow)}) {
    const auto box = MakeErrorBox(&window, report);
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    auto* text = box->findChild<QLabel*>("message");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), report.message);
    const QFontMetrics metrics(text->font());
    const int widest = metrics.boundingRect(QRect(0, 0, 10000, 10000), Qt::AlignLeft, report.message).width();
    EXPECT_GE(text->contentsRect().width(), widest) << report.message.toStdString();
    box->close();
  }
  EXPECT_TRUE(TickErrorReport(ErrorKind::kOverflow).message.contains(QStringLiteral("時間刻み")));
}

TEST_F(MainWindowTest, ARunningSimulationGoesOnAfterAFieldError) {
  Run("10");
  ASSERT_TRUE(WaitFor([&] { return !AllAtRest(Sim()); }));
  Type("countField", "-1");
  Click("runButton");
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(Sim().ParticleCount, 40);
  EXPECT_TRUE(window.TimerState().Enabled());
  EXPECT_EQ(window.TimerState().Interval(), 10);
  const QImage before = Picture();
  ASSERT_TRUE(WaitFor([&] { return Picture() != before; }));  // still ticking
}

TEST_F(MainWindowTest, MessageKindsAreInJapanese) {
  EXPECT_EQ(ErrorKindText(ErrorKind::kOverflow), QStringLiteral("オーバーフロー"));
  EXPECT_EQ(ErrorKindText(ErrorKind::kDivisionByZero), QStringLiteral("0 による除算"));
  EXPECT_EQ(ErrorKindText(ErrorKind::kInvalidOperation), QStringLiteral("無効な演算"));
  EXPECT_EQ(ErrorKindText(ErrorKind::kOutOfRange), QStringLiteral("範囲外の値"));
  EXPECT_EQ(ErrorKindText(ErrorKind::kOutOfMemory), QStringLiteral("メモリ不足"));
}

// --- Arithmetic errors during a tick ----------------------------------------

TEST_F(MainWindowTest, AnArithmeticErrorStopsTheTimerAndKeepsTheLastPicture) {
  Type("timeStepField", "1e300");
  Run("5");
  const QImage initial = Picture();
  ASSERT_TRUE(WaitFor([&] { return !reports.empty(); }));
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].kind, ErrorKind::kOverflow);
  EXPECT_TRUE(reports[0].field.isEmpty());
  EXPECT_TRUE(reports[0].message.contains(QStringLiteral("オーバーフロー")));
  EXPECT_FALSE(window.TimerState().Enabled());

  // The step never wrote the level on show: the picture is the last good one.
  EXPECT_EQ(Picture(), initial);
  for (const Vec2& p : Positions(Sim().CurLevel)) {
    EXPECT_TRUE(std::isfinite(p.X) && std::isfinite(p.Y));
  }
  QTest::qWait(50);
  EXPECT_EQ(reports.size(), 1u);  // reported once, not on every tick

  // The window stays usable: Run starts afresh.
  Type("timeStepField", "0.1");
  Run("5");
  ASSERT_TRUE(WaitFor([&] { return !AllAtRest(Sim()); }));
  EXPECT_EQ(reports.size(), 1u);
  EXPECT_TRUE(window.TimerState().Enabled());
}

TEST_F(MainWindowTest, AnErrorOnALaterTickKeepsTheLastGoodPicture) {
  // Three good steps, then a step that overflows for real: its time step is
  // made absurd just before it runs. From the second tick on, the level that
  // step writes is the one drawn last, so the picture must survive on its own.
  int steps = 0;
  std::vector<Vec2> drawn_last;  // the state the last good tick started from
  // The step runs on the window's stepping thread; the test looks at what it
  // records only once the window has reported, when no step is in flight.
  window.SetStepForTesting([&](Simulation& sim, const StopFlag&) {
    if (++steps == 4) {
      sim.TimeStep = 1e300;
    } else {
      drawn_last.assign(sim.Pos[sim.CurLevel].begin() + 1, sim.Pos[sim.CurLevel].end());
    }
    AdvanceOneStep(sim);
  });
  Run("20");
  ASSERT_TRUE(WaitFor([&] { return !reports.empty(); }, 5000));
  EXPECT_EQ(steps, 4);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].kind, ErrorKind::kOverflow);
  EXPECT_FALSE(window.TimerState().Enabled());

  std::vector<QPointF> centres;
  for (const Vec2& p : drawn_last) centres.push_back(testing::WorldToPixel(p.X, p.Y, Picture()));
  const auto faults = CheckDiscs(Picture(), centres, testing::DiscRadius(Picture()), kBackground,
                                 window.devicePixelRatioF());
  EXPECT_TRUE(faults.None()) << faults.first;
  for (const Vec2& p : Positions(Sim().CurLevel)) {
    EXPECT_TRUE(std::isfinite(p.X) && std::isfinite(p.Y));
  }
  QTest::qWait(100);
  EXPECT_EQ(reports.size(), 1u);
  EXPECT_EQ(steps, 4);

  // 実行 starts afresh and runs.
  window.SetStepForTesting({});
  Click("runButton");
  EXPECT_TRUE(AllAtRest(Sim()));
  EXPECT_EQ(Sim().TimeStep, 0.1);
  ASSERT_TRUE(WaitFor([&] { return !AllAtRest(Sim()); }));
  EXPECT_EQ(reports.size(), 1u);
}

}  // namespace
}  // namespace tessaly
