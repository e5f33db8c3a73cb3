// The texts that reopen a run: read from the fields as 実行 reads them, then
// written back for the command line and the page's address.
#include "form/shared_run.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <variant>

#include "form/run_fields.h"

namespace tessaly {
namespace {

struct FieldsCase {
  const char* name;
  const char* count;
  const char* count_nfkc;
  const char* time_step;
  const char* time_step_nfkc;
  const char* period;
  std::optional<std::uint64_t> seed;
  const char* command_line;
  const char* query;
};

class SharedRunFromFields : public testing::TestWithParam<FieldsCase> {};

TEST_P(SharedRunFromFields, WritesWhatTheFieldsRead) {
  const FieldsCase& c = GetParam();
  const auto read = ReadRunFields({{c.count, c.count_nfkc},
                                   {c.time_step, c.time_step_nfkc},
                                   {c.period, c.period}});
  ASSERT_TRUE(std::holds_alternative<RunSettings>(read));
  const RunSettings& s = std::get<RunSettings>(read);
  const SharedRun run = SharedRunOf(s.count, s.time_step, s.period, c.seed, false);
  EXPECT_EQ(SharedCommandLine(run), c.command_line);
  EXPECT_EQ(SharedQuery(run), c.query);
  // The time step written reads back, whole, to the very double.
  char* end = nullptr;
  const double back = std::strtod(run.time_step.c_str(), &end);
  EXPECT_EQ(*end, '\0') << run.time_step;
  EXPECT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(s.time_step));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SharedRunFromFields,
    testing::Values(
        FieldsCase{"Defaults", "40", "40", "0.1", "0.1", "10", 7,
                   "tessaly --count 40 --time-step 0.1 --period 10 --seed 7 --run",
                   "?count=40&time-step=0.1&period=10&seed=7&run"},
        FieldsCase{"FullWidthTimeStep", "400", "400", "３．５", "3.5", "20", 1,
                   "tessaly --count 400 --time-step 3.5 --period 20 --seed 1 --run",
                   "?count=400&time-step=3.5&period=20&seed=1&run"},
        FieldsCase{"ExponentWrittenPlain", "40", "40", "1e-1", "1e-1", "10", 0,
                   "tessaly --count 40 --time-step 0.1 --period 10 --seed 0 --run",
                   "?count=40&time-step=0.1&period=10&seed=0&run"},
        // 分子の数 rounds to the nearest whole number; タイマー too.
        FieldsCase{"RoundedCountAndPeriod", "39.6", "39.6", "0.05", "0.05", "20.4", 3,
                   "tessaly --count 40 --time-step 0.05 --period 20 --seed 3 --run",
                   "?count=40&time-step=0.05&period=20&seed=3&run"},
        // "+" stays in a shell word but would be a space in an address.
        FieldsCase{"LargeExponent", "2", "2", "1e300", "1e300", "0", std::nullopt,
                   "tessaly --count 2 --time-step 1e+300 --period 0 --run",
                   "?count=2&time-step=1e%2B300&period=0&run"},
        FieldsCase{"NegativeTimeStepAndLargestSeed", "5", "5", "-2.5e-3", "-2.5e-3", "1",
                   18446744073709551615u,
                   "tessaly --count 5 --time-step -0.0025 --period 1 --seed 18446744073709551615 "
                   "--run",
                   "?count=5&time-step=-0.0025&period=1&seed=18446744073709551615&run"}),
    [](const testing::TestParamInfo<FieldsCase>& info) { return info.param.name; });

TEST(SharedRun, ObserveAndRunAreFlagsInTheirPlace) {
  SharedRun run = SharedRunOf(400, 0.05, 20, 7, true);
  EXPECT_EQ(SharedCommandLine(run),
            "tessaly --count 400 --time-step 0.05 --period 20 --seed 7 --observe --run");
  EXPECT_EQ(SharedQuery(run), "?count=400&time-step=0.05&period=20&seed=7&observe&run");
  run.run = false;
  EXPECT_EQ(SharedQuery(run), "?count=400&time-step=0.05&period=20&seed=7&observe");
}

// Texts not yet read (a page that has not run) are carried as typed.
TEST(SharedRun, TextsAsTypedAreQuotedAndEncoded) {
  SharedRun run;
  run.count = "４０";
  run.time_step = "0.1 &x=1";
  run.period = "it's";
  EXPECT_EQ(SharedCommandLine(run),
            "tessaly --count '４０' --time-step '0.1 &x=1' --period 'it'\\''s' --run");
  EXPECT_EQ(SharedQuery(run),
            "?count=%EF%BC%94%EF%BC%90&time-step=0.1%20%26x%3D1&period=it%27s&run");
  run.count.clear();
  EXPECT_EQ(SharedCommandLine(run).substr(0, 19), "tessaly --count '' ");
}

}  // namespace
}  // namespace tessaly
