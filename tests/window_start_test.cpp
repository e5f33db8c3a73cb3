// The window as the command line opens it, and the texts it shares: a run
// started from `tessaly --count ... --seed S --run`, or from the clock and
// then shared, shows the arrangement the batch run writes as its frame 0,
// bit for bit.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QMessageBox>
#include <QTextBrowser>
#include <string>

#include "app/command_line.h"
#include "app/window_start.h"
#include "batch/batch_run.h"
#include "form/help_text.h"
#include "model/xyz_writer.h"
#include "platform/random.h"
#include "ui/help_dialog.h"
#include "ui/observation_window.h"
#include "ui/share_dialog.h"
#include "main_window_fixture.h"

namespace tessaly::testing {
namespace {

CommandLine Parse(std::initializer_list<const char*> words) {
  QStringList arguments{QStringLiteral("tessaly")};
  for (const char* word : words) arguments << QString::fromUtf8(word);
  return ParseCommandLine(arguments);
}

// The particle lines of frame 0 of `--batch --count N --time-step DT --seed S`.
std::string BatchFrameZero(std::int16_t count, double time_step, std::uint64_t seed) {
  BatchSettings settings;
  settings.count = count;
  settings.time_step = time_step;
  settings.seed = seed;
  FixedSeedRandom random(seed);
  std::string frame;
  const BatchOutcome outcome = RunBatch(
      settings, random, {[&](const std::string& f) { frame = f; }, {}}, {}, nullptr);
  EXPECT_EQ(outcome.end, BatchEnd::kFinished);
  return frame.substr(frame.find('\n', frame.find('\n') + 1) + 1);
}

// The same lines for the state the window shows.
std::string WindowFrame(const Simulation& sim) {
  const std::string frame = XyzFrame(sim, 0, 0.0, 0.0);
  return frame.substr(frame.find('\n', frame.find('\n') + 1) + 1);
}

class WindowStartTest : public MainWindowTest {
 protected:
  // Starts the window from `command` and waits for the run it presses.
  void StartAndWaitForRun(const CommandLine& command, int count) {
    ASSERT_EQ(command.action, CommandLine::Action::kWindow) << command.error;
    StartWindow(window, command);
    ASSERT_TRUE(WaitFor([&] { return Sim().ParticleCount == count; }));
  }

  QString FieldText(const char* name) { return Control<QLineEdit>(name)->text(); }

  ShareDialog* OpenShare() {
    window.findChild<QAction*>(QStringLiteral("shareAction"))->trigger();
    return window.findChild<ShareDialog*>();
  }
};

TEST_F(WindowStartTest, TheCommandLineFillsTheFieldsAndRunsTheBatchArrangement) {
  StartAndWaitForRun(
      Parse({"--count", "400", "--time-step", "0.05", "--period", "0", "--seed", "7", "--run"}),
      400);
  EXPECT_EQ(FieldText("countField"), "400");
  EXPECT_EQ(FieldText("timeStepField"), "0.05");
  EXPECT_EQ(FieldText("periodField"), "0");
  EXPECT_EQ(WindowFrame(Sim()), BatchFrameZero(400, 0.05, 7));
  EXPECT_EQ(window.RunSeed(), 7u);
  EXPECT_TRUE(reports.empty());
}

TEST_F(WindowStartTest, ARunFromTheClockIsSharedWithTheSeedThatMakesItAgain) {
  Type("countField", "50");
  Type("timeStepField", "1e-1");
  Run("0");
  ASSERT_EQ(Sim().ParticleCount, 50);
  ASSERT_TRUE(window.RunSeed().has_value());
  const std::string seed = SeedText(*window.RunSeed());
  EXPECT_EQ(WindowFrame(Sim()), BatchFrameZero(50, 0.1, *window.RunSeed()));

  ShareDialog* dialog = OpenShare();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  const QString line = dialog->findChild<QLineEdit*>(QStringLiteral("commandLine"))->text();
  EXPECT_EQ(line.toStdString(),
            "tessaly --count 50 --time-step 0.1 --period 0 --seed " + seed + " --run");
  EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("addressParameters"))->text().toStdString(),
            "?count=50&time-step=0.1&period=0&seed=" + seed + "&run");
  QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("commandLineCopy")),
                    Qt::LeftButton);
  EXPECT_EQ(QApplication::clipboard()->text(), line);
  dialog->close();

  // The shared command line, in another window, opens the same arrangement.
  QStringList words = line.split(u' ');
  words.removeFirst();
  MainWindow other;
  other.SetErrorReporter([this](const ErrorReport& report) { reports.push_back(report); });
  StartWindow(other, ParseCommandLine(QStringList{QStringLiteral("tessaly")} + words));
  ASSERT_TRUE(WaitFor([&] { return other.SimulationState().ParticleCount == 50; }));
  EXPECT_EQ(WindowFrame(other.SimulationState()), WindowFrame(Sim()));
  EXPECT_TRUE(reports.empty());
}

TEST_F(WindowStartTest, ShareCarriesTheFieldsAsReadAndTheObservationWindow) {
  window.SetRandomSource(std::make_unique<FixedSeedRandom>(3));
  TypeWithInputMethod("timeStepField", QStringLiteral("３．５"));
  Type("countField", "39.6");
  Run("0");
  window.SetObserving(true);
  ShareDialog* dialog = OpenShare();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("commandLine"))->text(),
            QStringLiteral("tessaly --count 40 --time-step 3.5 --period 0 --seed 3 --observe --run"));
  EXPECT_EQ(window.Observation()->findChild<QLabel*>(QStringLiteral("seedValue"))->text(),
            QStringLiteral("3"));
  // Typing into the fields changes nothing shared until 実行 reads them.
  Type("countField", "12");
  dialog = OpenShare();
  EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("addressParameters"))->text(),
            QStringLiteral("?count=40&time-step=3.5&period=0&seed=3&observe&run"));
}

TEST_F(WindowStartTest, BeforeAnyRunShareCarriesTheFieldsTextsWithoutASeed) {
  Type("countField", "4 0");
  ShareDialog* dialog = OpenShare();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("addressParameters"))->text(),
            QStringLiteral("?count=4%200&time-step=0.1&period=10&run"));
}

// A value the field cannot use is reported as if typed, and nothing runs.
struct BadStart {
  const char* name;
  std::vector<const char*> words;
  const char* field;
};

class WindowStartRefuses : public WindowStartTest,
                           public ::testing::WithParamInterface<BadStart> {};

TEST_P(WindowStartRefuses, WithTheFieldsOwnReport) {
  std::vector<const char*> words = GetParam().words;
  QStringList arguments{QStringLiteral("tessaly")};
  for (const char* word : words) arguments << QString::fromUtf8(word);
  const CommandLine command = ParseCommandLine(arguments);
  ASSERT_EQ(command.action, CommandLine::Action::kWindow) << command.error;
  StartWindow(window, command);
  ASSERT_TRUE(WaitFor([&] { return !reports.empty(); }));
  EXPECT_EQ(reports.front().field, QString::fromUtf8(GetParam().field));
  EXPECT_EQ(Sim().ParticleCount, 0);
  EXPECT_FALSE(window.RunSeed().has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Values, WindowStartRefuses,
    ::testing::Values(BadStart{"NegativeCount", {"--count", "-1", "--run"}, "分子の数"},
                      BadStart{"CountBeyondADouble", {"--count", "1e999", "--run"}, "分子の数"},
                      BadStart{"TimeStepBeyondADouble", {"--time-step", "1e999", "--run"},
                               "時間刻み"},
                      BadStart{"PeriodBeyondTheTimer", {"--period", "65536", "--run"}, "タイマー"}),
    [](const ::testing::TestParamInfo<BadStart>& info) { return info.param.name; });

TEST_F(WindowStartTest, WithoutRunTheFieldsWaitForTheirPress) {
  StartWindow(window, Parse({"--count", "４０", "--period", "5"}));
  QTest::qWait(50);
  EXPECT_EQ(FieldText("countField"), QStringLiteral("４０"));
  EXPECT_EQ(FieldText("timeStepField"), QStringLiteral("0.1"));
  EXPECT_EQ(Sim().ParticleCount, 0);
  Click("runButton");
  EXPECT_EQ(Sim().ParticleCount, 40);
}

TEST_F(WindowStartTest, HelpAndAboutShowTheSharedTexts) {
  window.findChild<QAction*>(QStringLiteral("helpAction"))->trigger();
  auto* help = window.findChild<HelpDialog*>();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  const QString text = help->Browser()->toPlainText();
  for (const char* words : {"50 / N", "動径分布関数 g(r)", "速さの分布", "CSV を保存", "XYZ を保存",
                            "共有", "MIT"}) {
    EXPECT_TRUE(text.contains(QString::fromUtf8(words))) << words;
  }
  EXPECT_TRUE(text.trimmed().endsWith(QStringLiteral("無保証です。")));
  EXPECT_TRUE(text.contains(QString::fromUtf8(ProgramVersion().data(),
                                              static_cast<qsizetype>(ProgramVersion().size()))));
  // The build's copy of the guide lies beside the build's programs.
  EXPECT_TRUE(GuideFile().endsWith(QStringLiteral("/guide/guide.html"))) << GuideFile().toStdString();
  EXPECT_TRUE(help->GuideButton()->isVisibleTo(help));

  window.findChild<QAction*>(QStringLiteral("aboutAction"))->trigger();
  auto* about = window.findChild<QMessageBox*>(QStringLiteral("aboutBox"));
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->text().contains(QStringLiteral("MIT")));
  about->accept();
}

}  // namespace
}  // namespace tessaly::testing
