#include "app/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {
namespace {

// Every option, in the order --help lists them.
struct Options {
  QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                          QStringLiteral("Show this help and exit.")};
  QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                             QStringLiteral("Show the version and exit.")};
  QCommandLineOption seed{QStringLiteral("seed"),
                          QStringLiteral("Place every run's particles from seed S (0 to 2^64 - 1) "
                                         "instead of the clock, so that the same start comes "
                                         "again."),
                          QStringLiteral("S")};
  QCommandLineOption batch{QStringLiteral("batch"),
                           QStringLiteral("Run without a window and write the trajectory to "
                                          "--xyz, the energies to --thermo or both. Needs "
                                          "--count, --time-step, --steps and one of the two.")};
  QCommandLineOption observe{QStringLiteral("observe"),
                             QStringLiteral("Open the observation window beside the window: "
                                            "temperature, energies, wall pressure, g(r) and "
                                            "speeds as the run goes.")};
  QCommandLineOption period{QStringLiteral("period"),
                            QStringLiteral("The window's タイマー: milliseconds between steps, "
                                           "0 to 65535. Not with --batch."),
                            QStringLiteral("MS")};
  QCommandLineOption run{QStringLiteral("run"),
                         QStringLiteral("Press 実行 as the window opens. Not with --batch.")};
  QCommandLineOption count{QStringLiteral("count"),
                           QStringLiteral("Number of particles, 0 to 32767. Without --batch it "
                                          "goes into the window's 分子の数 as typed, and 実行 "
                                          "reads it as the field does."),
                           QStringLiteral("N")};
  QCommandLineOption time_step{QStringLiteral("time-step"),
                               QStringLiteral("Time advanced by one step, a finite number in "
                                              "reduced units. Without --batch it goes into the "
                                              "window's 時間刻み (0.1 unless given)."),
                               QStringLiteral("DT")};
  QCommandLineOption steps{QStringLiteral("steps"), QStringLiteral("Steps to take, 0 or more."),
                           QStringLiteral("K")};
  QCommandLineOption every{QStringLiteral("every"),
                           QStringLiteral("Write every M-th step, M at least 1 (default 1). The "
                                          "initial arrangement is always written."),
                           QStringLiteral("M")};
  QCommandLineOption xyz{QStringLiteral("xyz"),
                         QStringLiteral("The trajectory file to write, in extended XYZ."),
                         QStringLiteral("FILE")};
  QCommandLineOption thermo{QStringLiteral("thermo"),
                            QStringLiteral("The table to write, in CSV: step, time, kinetic and "
                                           "potential energy, temperature and wall pressure of "
                                           "every frame --xyz would write."),
                            QStringLiteral("FILE")};

  void AddTo(QCommandLineParser& parser) const {
    // "-platform" is one unknown option, not eight unknown letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Two-dimensional molecular dynamics: particles under Lennard-Jones forces "
                       "in a 10 x 10 box.\nWithout --batch it opens the window, its fields filled "
                       "from --count, --time-step\nand --period; with --batch it runs without one "
                       "and writes the trajectory as\nextended XYZ and its energies as CSV.\n\n"
                       "  tessaly --count 400 --time-step 0.05 --period 20 --seed 7 --run"));
    for (const QCommandLineOption* option :
         {&help, &version, &seed, &observe, &count, &time_step, &period, &run, &batch, &steps,
          &every, &xyz, &thermo}) {
      parser.addOption(*option);
    }
  }
};

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
  const Options options;
  QCommandLineParser parser;
  options.AddTo(parser);
  if (!parser.parse(arguments)) {
    // Qt's sentence ("Unknown option 'x'.") made to fit the one line.
    QString text = parser.errorText();
    if (text.endsWith(u'.')) text.chop(1);
    if (!text.isEmpty()) text[0] = text[0].toLower();
    return CommandLineError(text.toStdString() + " (see --help)");
  }
  if (!parser.positionalArguments().isEmpty()) {
    const std::string stray = parser.positionalArguments().constFirst().toStdString();
    return CommandLineError("unexpected argument '" + stray + "' (see --help)");
  }
  for (const QString& name : parser.optionNames()) {
    if (parser.optionNames().count(name) > 1) {
      return CommandLineError((name.size() == 1 ? "-" : "--") + name.toStdString() +
                              " is given more than once");
    }
  }

  // The paths as the file system spells them, every other value as typed.
  return ReadOptions([&](std::string_view name) -> std::optional<std::string> {
    const QString key = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    if (!parser.isSet(key)) return std::nullopt;
    if (name == "xyz" || name == "thermo") return QFile::encodeName(parser.value(key)).toStdString();
    return parser.value(key).toStdString();
  });
}

QString HelpText() {
  const Options options;
  QCommandLineParser parser;
  options.AddTo(parser);
  return parser.helpText();
}

}  // namespace tessaly
