#include "app/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <limits>
#include <utility>

#include "app/option_values.h"

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
  QCommandLineOption count{QStringLiteral("count"),
                           QStringLiteral("Number of particles, 0 to 32767."), QStringLiteral("N")};
  QCommandLineOption time_step{QStringLiteral("time-step"),
                               QStringLiteral("Time advanced by one step, a finite number in "
                                              "reduced units (0.1 in the window)."),
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
                       "in a 10 x 10 box.\nWithout options it opens the window; with --batch it "
                       "runs without one and writes\nthe trajectory as extended XYZ and its energies as CSV."));
    for (const QCommandLineOption* option :
         {&help, &version, &seed, &observe, &batch, &count, &time_step, &steps, &every, &xyz,
          &thermo}) {
      parser.addOption(*option);
    }
  }
};

// The option's name as typed on the command line: "--count".
std::string Dashed(const QCommandLineOption& option) {
  return "--" + option.names().constLast().toStdString();
}

class Reader {
 public:
  explicit Reader(const QCommandLineParser& parser) : parser_(parser) {}

  [[nodiscard]] bool Has(const QCommandLineOption& option) const { return parser_.isSet(option); }

  // The value of `option` read as a whole number from `low` to `high`.
  std::optional<std::uint64_t> Whole(const QCommandLineOption& option, std::uint64_t low,
                                     std::uint64_t high) {
    const std::string text = parser_.value(option).toStdString();
    const std::optional<std::uint64_t> value = ReadWholeNumber(text);
    if (value && *value >= low && *value <= high) return value;
    Fail(Dashed(option) + ": '" + text + "' is not a whole number from " + std::to_string(low) +
         " to " + std::to_string(high));
    return std::nullopt;
  }

  std::optional<double> Finite(const QCommandLineOption& option) {
    const std::string text = parser_.value(option).toStdString();
    const std::optional<double> value = ReadFiniteNumber(text);
    if (!value) Fail(Dashed(option) + ": '" + text + "' is not a finite number");
    return value;
  }

  void Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
  }

  [[nodiscard]] const std::string& error() const { return error_; }

 private:
  const QCommandLineParser& parser_;
  std::string error_;
};

CommandLine Failure(std::string message) {
  CommandLine line;
  line.action = CommandLine::Action::kError;
  line.error = std::move(message);
  return line;
}

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
    return Failure(text.toStdString() + " (see --help)");
  }
  if (!parser.positionalArguments().isEmpty()) {
    const std::string stray = parser.positionalArguments().constFirst().toStdString();
    return Failure("unexpected argument '" + stray + "' (see --help)");
  }
  for (const QString& name : parser.optionNames()) {
    if (parser.optionNames().count(name) > 1) {
      return Failure((name.size() == 1 ? "-" : "--") + name.toStdString() +
                     " is given more than once");
    }
  }

  CommandLine line;
  if (parser.isSet(options.help)) {
    line.action = CommandLine::Action::kHelp;
    return line;
  }
  if (parser.isSet(options.version)) {
    line.action = CommandLine::Action::kVersion;
    return line;
  }

  constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();
  Reader reader(parser);
  if (reader.Has(options.seed)) line.seed = reader.Whole(options.seed, 0, kMost);

  const QCommandLineOption* batch_only[] = {&options.count, &options.time_step, &options.steps,
                                            &options.every, &options.xyz, &options.thermo};
  if (!reader.Has(options.batch)) {
    for (const QCommandLineOption* option : batch_only) {
      if (reader.Has(*option)) return Failure(Dashed(*option) + " needs --batch");
    }
    if (!reader.error().empty()) return Failure(reader.error());
    line.observe = reader.Has(options.observe);
    return line;
  }
  if (reader.Has(options.observe)) return Failure("--observe is for the window, not --batch");

  std::string missing;
  for (const QCommandLineOption* option : {&options.count, &options.time_step, &options.steps}) {
    if (!reader.Has(*option)) missing += (missing.empty() ? "" : ", ") + Dashed(*option);
  }
  if (!reader.Has(options.xyz) && !reader.Has(options.thermo)) {
    missing += (missing.empty() ? "" : ", ") + std::string("--xyz or --thermo");
  }
  if (!missing.empty()) return Failure("--batch needs " + missing);

  line.action = CommandLine::Action::kBatch;
  BatchSettings& batch = line.batch;
  batch.seed = line.seed;
  if (const auto count = reader.Whole(options.count, 0, 32767)) {
    batch.count = static_cast<std::int16_t>(*count);
  }
  if (const auto time_step = reader.Finite(options.time_step)) batch.time_step = *time_step;
  if (const auto steps = reader.Whole(options.steps, 0, kMost)) batch.steps = *steps;
  if (reader.Has(options.every)) {
    if (const auto every = reader.Whole(options.every, 1, kMost)) batch.every = *every;
  }
  for (auto [option, path] : {std::pair{&options.xyz, &line.xyz_path},
                               std::pair{&options.thermo, &line.thermo_path}}) {
    if (!reader.Has(*option)) continue;
    *path = QFile::encodeName(parser.value(*option)).toStdString();
    if (path->empty()) reader.Fail(Dashed(*option) + ": the file name is empty");
  }
  if (!reader.error().empty()) return Failure(reader.error());
  return line;
}

QString HelpText() {
  const Options options;
  QCommandLineParser parser;
  options.AddTo(parser);
  return parser.helpText();
}

}  // namespace tessaly
