// The command line: strict values, and one clear line for everything that
// cannot be used.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "batch/option_values.h"

namespace tessaly {
namespace {

using Action = CommandLine::Action;

// --- The strict readers -----------------------------------------------------

TEST(ReadWholeNumber, TakesDecimalDigitsUpToTwoToThe64MinusOne) {
  EXPECT_EQ(ReadWholeNumber("0"), 0u);
  EXPECT_EQ(ReadWholeNumber("40"), 40u);
  EXPECT_EQ(ReadWholeNumber("007"), 7u);
  EXPECT_EQ(ReadWholeNumber("18446744073709551615"), std::numeric_limits<std::uint64_t>::max());
}

TEST(ReadWholeNumber, RefusesEverythingElse) {
  for (const char* text : {"", " 1", "1 ", "+1", "-1", "-0", "1.0", "1e3", "0x10", "12abc",
                           "18446744073709551616", "９", "1_000"}) {
    EXPECT_EQ(ReadWholeNumber(text), std::nullopt) << '"' << text << '"';
  }
}

TEST(ReadFiniteNumber, TakesWhatCReadsInTheCLocale) {
  EXPECT_EQ(ReadFiniteNumber("0.1"), 0.1);
  EXPECT_EQ(ReadFiniteNumber("-2.5E-1"), -0.25);
  EXPECT_EQ(ReadFiniteNumber("1e3"), 1000.0);
  EXPECT_EQ(ReadFiniteNumber(".5"), 0.5);
  EXPECT_EQ(ReadFiniteNumber("0"), 0.0);
  const auto negative_zero = ReadFiniteNumber("-0");
  ASSERT_TRUE(negative_zero);
  EXPECT_TRUE(std::signbit(*negative_zero));
  EXPECT_EQ(ReadFiniteNumber("1.7976931348623157e308"), std::numeric_limits<double>::max());
}

TEST(ReadFiniteNumber, RefusesTrailingTextBlanksAndWhatIsNotFinite) {
  for (const char* text : {"", " 0.1", "0.1 ", "+0.1", "0.1s", "1,5", "1.2.3", "inf", "-inf",
                           "nan", "infinity", "1e400", "-1e400", "0x1p3", "e5", "."}) {
    EXPECT_EQ(ReadFiniteNumber(text), std::nullopt) << '"' << text << '"';
  }
}

// --- The whole command line -------------------------------------------------

CommandLine Parse(std::initializer_list<const char*> words) {
  QStringList arguments{QStringLiteral("tessaly")};
  for (const char* word : words) arguments << QString::fromUtf8(word);
  return ParseCommandLine(arguments);
}

TEST(ParseCommandLine, NothingOpensTheWindowFromTheClock) {
  const CommandLine line = Parse({});
  EXPECT_EQ(line.action, Action::kWindow);
  EXPECT_FALSE(line.seed);
}

TEST(ParseCommandLine, SeedGoesToTheWindow) {
  const CommandLine line = Parse({"--seed", "18446744073709551615"});
  EXPECT_EQ(line.action, Action::kWindow);
  EXPECT_EQ(line.seed, std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(Parse({"--seed=0"}).seed, 0u);
}

TEST(ParseCommandLine, HelpAndVersionWinOverEverythingElse) {
  EXPECT_EQ(Parse({"--help"}).action, Action::kHelp);
  EXPECT_EQ(Parse({"-h"}).action, Action::kHelp);
  EXPECT_EQ(Parse({"--version"}).action, Action::kVersion);
  EXPECT_EQ(Parse({"-v"}).action, Action::kVersion);
  EXPECT_EQ(Parse({"--batch", "--help"}).action, Action::kHelp);
}

TEST(ParseCommandLine, BatchTakesEveryValue) {
  const CommandLine line = Parse({"--batch", "--count", "32767", "--time-step=-0.25", "--steps",
                                  "1000", "--every", "10", "--seed", "99", "--xyz", "out/run.xyz"});
  ASSERT_EQ(line.action, Action::kBatch) << line.error;
  EXPECT_EQ(line.batch.count, 32767);
  EXPECT_EQ(line.batch.time_step, -0.25);
  EXPECT_EQ(line.batch.steps, 1000u);
  EXPECT_EQ(line.batch.every, 10u);
  EXPECT_EQ(line.batch.seed, 99u);
  EXPECT_EQ(line.xyz_path, "out/run.xyz");
}

TEST(ParseCommandLine, TheTableAloneOrBesideTheTrajectory) {
  const CommandLine alone =
      Parse({"--batch", "--count", "5", "--time-step", "0.1", "--steps", "3", "--thermo", "t.csv"});
  ASSERT_EQ(alone.action, Action::kBatch) << alone.error;
  EXPECT_EQ(alone.thermo_path, "t.csv");
  EXPECT_EQ(alone.xyz_path, "");
  const CommandLine both = Parse({"--batch", "--count", "5", "--time-step", "0.1", "--steps", "3",
                                  "--thermo", "t.csv", "--xyz", "a.xyz"});
  ASSERT_EQ(both.action, Action::kBatch) << both.error;
  EXPECT_EQ(both.thermo_path, "t.csv");
  EXPECT_EQ(both.xyz_path, "a.xyz");
}

TEST(ParseCommandLine, ObserveOpensTheObservationWindowBesideTheWindow) {
  EXPECT_FALSE(Parse({}).observe);
  const CommandLine line = Parse({"--observe", "--seed", "3"});
  ASSERT_EQ(line.action, Action::kWindow) << line.error;
  EXPECT_TRUE(line.observe);
}

TEST(ParseCommandLine, WithoutBatchTheFieldsTakeTheirTextsAsTyped) {
  const CommandLine line = Parse({"--count", "４００", "--time-step", "1e-1x", "--period", "-5",
                                  "--seed", "7", "--run"});
  ASSERT_EQ(line.action, Action::kWindow) << line.error;
  // The fields read them when 実行 is pressed, and report what they cannot use.
  EXPECT_EQ(line.count_text, "４００");
  EXPECT_EQ(line.time_step_text, "1e-1x");
  EXPECT_EQ(line.period_text, "-5");
  EXPECT_EQ(line.seed, 7u);
  EXPECT_TRUE(line.run);
  EXPECT_FALSE(line.observe);

  const CommandLine bare = Parse({"--time-step", ""});
  ASSERT_EQ(bare.action, Action::kWindow) << bare.error;
  EXPECT_FALSE(bare.count_text);
  EXPECT_EQ(bare.time_step_text, "");
  EXPECT_FALSE(bare.period_text);
  EXPECT_FALSE(bare.run);
}

TEST(ParseCommandLine, BatchDefaultsToEveryStepAndTheClock) {
  const CommandLine line =
      Parse({"--batch", "--count", "0", "--time-step", "0", "--steps", "0", "--xyz", "a.xyz"});
  ASSERT_EQ(line.action, Action::kBatch) << line.error;
  EXPECT_EQ(line.batch.every, 1u);
  EXPECT_FALSE(line.batch.seed);
}

struct BadLine {
  const char* name;
  std::vector<const char*> words;
  const char* error;
};

// Test names and failures show the case's name, not its bytes.
void PrintTo(const BadLine& bad, std::ostream* out) { *out << bad.name; }

class ParseCommandLineRefuses : public ::testing::TestWithParam<BadLine> {};

TEST_P(ParseCommandLineRefuses, WithOneClearLine) {
  const BadLine& bad = GetParam();
  std::vector<const char*> words = bad.words;
  QStringList arguments{QStringLiteral("tessaly")};
  for (const char* word : words) arguments << QString::fromUtf8(word);
  const CommandLine line = ParseCommandLine(arguments);
  EXPECT_EQ(line.action, Action::kError);
  EXPECT_EQ(line.error, bad.error);
  EXPECT_EQ(line.error.find('\n'), std::string::npos);
}

// A valid batch line with one option replaced.
std::vector<const char*> Batch(const char* option, const char* value) {
  std::vector<const char*> words{"--batch"};
  for (const char* name : {"--count", "--time-step", "--steps", "--xyz"}) {
    words.push_back(name);
    const bool replaced = std::string(name) == option;
    words.push_back(replaced                          ? value
                    : std::string(name) == "--count"  ? "40"
                    : std::string(name) == "--steps"  ? "10"
                    : std::string(name) == "--xyz"    ? "run.xyz"
                                                      : "0.1");
  }
  if (std::string(option) == "--every" || std::string(option) == "--seed" ||
      std::string(option) == "--thermo" || std::string(option) == "--observe" ||
      std::string(option) == "--period" || std::string(option) == "--run") {
    words.push_back(option);
    if (value != nullptr) words.push_back(value);
  }
  return words;
}

INSTANTIATE_TEST_SUITE_P(
    Options, ParseCommandLineRefuses,
    ::testing::Values(
        BadLine{"CountWithTrailingText", Batch("--count", "40x"),
                "--count: '40x' is not a whole number from 0 to 32767"},
        BadLine{"CountOneAboveTheLargest", Batch("--count", "32768"),
                "--count: '32768' is not a whole number from 0 to 32767"},
        BadLine{"TimeStepText", Batch("--time-step", "fast"),
                "--time-step: 'fast' is not a finite number"},
        BadLine{"TimeStepBeyondADouble", Batch("--time-step", "1e999"),
                "--time-step: '1e999' is not a finite number"},
        BadLine{"StepsNegative", Batch("--steps", "-5"),
                "--steps: '-5' is not a whole number from 0 to 18446744073709551615"},
        BadLine{"EveryZero", Batch("--every", "0"),
                "--every: '0' is not a whole number from 1 to 18446744073709551615"},
        BadLine{"SeedBeyond64Bits", Batch("--seed", "18446744073709551616"),
                "--seed: '18446744073709551616' is not a whole number from 0 to "
                "18446744073709551615"},
        BadLine{"SeedOfTheWindowNegative", {"--seed", "-3"},
                "--seed: '-3' is not a whole number from 0 to 18446744073709551615"},
        BadLine{"XyzEmpty", Batch("--xyz", ""), "--xyz: the file name is empty"},
        BadLine{"ThermoEmpty", Batch("--thermo", ""), "--thermo: the file name is empty"},
        BadLine{"MissingOptions", {"--batch", "--count", "4"},
                "--batch needs --time-step, --steps, --xyz or --thermo"},
        BadLine{"NoFileToWrite", {"--batch", "--count", "4", "--time-step", "1", "--steps", "1"},
                "--batch needs --xyz or --thermo"},
        BadLine{"ThermoWithoutBatch", {"--thermo", "t.csv"}, "--thermo needs --batch"},
        BadLine{"ObserveWithBatch", Batch("--observe", nullptr),
                "--observe is for the window, not --batch"},
        BadLine{"PeriodWithBatch", Batch("--period", "20"),
                "--period is for the window, not --batch"},
        BadLine{"RunWithBatch", Batch("--run", nullptr), "--run is for the window, not --batch"},
        BadLine{"BatchOptionWithoutBatch", {"--steps", "10"}, "--steps needs --batch"},
        BadLine{"EveryWithoutBatch", {"--count", "4", "--every", "2"}, "--every needs --batch"},
        BadLine{"TrajectoryOfTheWindow", {"--count", "4", "--run", "--xyz", "a.xyz"},
                "--xyz needs --batch"},
        BadLine{"SeedOfAFilledWindowStillStrict", {"--count", "4", "--seed", "7x"},
                "--seed: '7x' is not a whole number from 0 to 18446744073709551615"},
        BadLine{"PeriodWithoutValue", {"--period"}, "missing value after '--period' (see --help)"},
        BadLine{"RunTwice", {"--run", "--run"}, "--run is given more than once"},
        BadLine{"OptionTwice", {"--seed", "1", "--seed", "1"}, "--seed is given more than once"},
        BadLine{"UnknownOption", {"--colour", "red"}, "unknown option 'colour' (see --help)"},
        BadLine{"QtsOwnOptionsAreNotTaken", {"-platform", "offscreen"},
                "unknown option 'platform' (see --help)"},
        BadLine{"MissingValue", {"--seed"}, "missing value after '--seed' (see --help)"},
        BadLine{"StrayArgument", {"run.xyz"}, "unexpected argument 'run.xyz' (see --help)"}),
    [](const ::testing::TestParamInfo<BadLine>& info) { return info.param.name; });

}  // namespace
}  // namespace tessaly
