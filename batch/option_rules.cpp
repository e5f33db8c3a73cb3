#include "batch/option_rules.h"

#include <limits>
#include <utility>

#include "batch/option_values.h"

namespace tessaly {
namespace {

class Reader {
 public:
  explicit Reader(const OptionValueOf& value_of) : value_of_(value_of) {}

  [[nodiscard]] bool Has(std::string_view name) const { return value_of_(name).has_value(); }

  [[nodiscard]] std::string Text(std::string_view name) const {
    return value_of_(name).value_or(std::string());
  }

  // The value of `name` read as a whole number from `low` to `high`.
  std::optional<std::uint64_t> Whole(std::string_view name, std::uint64_t low, std::uint64_t high) {
    const std::string text = Text(name);
    const std::optional<std::uint64_t> value = ReadWholeNumber(text);
    if (value && *value >= low && *value <= high) return value;
    Fail("--" + std::string(name) + ": '" + text + "' is not a whole number from " +
         std::to_string(low) + " to " + std::to_string(high));
    return std::nullopt;
  }

  std::optional<double> Finite(std::string_view name) {
    const std::string text = Text(name);
    const std::optional<double> value = ReadFiniteNumber(text);
    if (!value) Fail("--" + std::string(name) + ": '" + text + "' is not a finite number");
    return value;
  }

  void Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
  }

  [[nodiscard]] const std::string& error() const { return error_; }

 private:
  const OptionValueOf& value_of_;
  std::string error_;
};

}  // namespace

CommandLine CommandLineError(std::string message) {
  CommandLine line;
  line.action = CommandLine::Action::kError;
  line.error = std::move(message);
  return line;
}

CommandLine ReadOptions(const OptionValueOf& value_of) {
  CommandLine line;
  Reader reader(value_of);
  if (reader.Has("help")) {
    line.action = CommandLine::Action::kHelp;
    return line;
  }
  if (reader.Has("version")) {
    line.action = CommandLine::Action::kVersion;
    return line;
  }

  constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();
  if (reader.Has("seed")) line.seed = reader.Whole("seed", 0, kMost);

  if (!reader.Has("batch")) {
    for (const char* name : {"steps", "every", "xyz", "thermo"}) {
      if (reader.Has(name)) return CommandLineError("--" + std::string(name) + " needs --batch");
    }
    if (!reader.error().empty()) return CommandLineError(reader.error());
    line.observe = reader.Has("observe");
    line.run = reader.Has("run");
    // As typed: the field reads them when 実行 is pressed, and says what it
    // cannot use.
    line.count_text = value_of("count");
    line.time_step_text = value_of("time-step");
    line.period_text = value_of("period");
    return line;
  }
  for (const char* name : {"observe", "period", "run"}) {
    if (reader.Has(name)) {
      return CommandLineError("--" + std::string(name) + " is for the window, not --batch");
    }
  }

  std::string missing;
  for (const char* name : {"count", "time-step", "steps"}) {
    if (!reader.Has(name)) missing += (missing.empty() ? "--" : ", --") + std::string(name);
  }
  if (!reader.Has("xyz") && !reader.Has("thermo")) {
    missing += (missing.empty() ? "" : ", ") + std::string("--xyz or --thermo");
  }
  if (!missing.empty()) return CommandLineError("--batch needs " + missing);

  line.action = CommandLine::Action::kBatch;
  BatchSettings& batch = line.batch;
  batch.seed = line.seed;
  if (const auto count = reader.Whole("count", 0, 32767)) {
    batch.count = static_cast<std::int16_t>(*count);
  }
  if (const auto time_step = reader.Finite("time-step")) batch.time_step = *time_step;
  if (const auto steps = reader.Whole("steps", 0, kMost)) batch.steps = *steps;
  if (reader.Has("every")) {
    if (const auto every = reader.Whole("every", 1, kMost)) batch.every = *every;
  }
  for (auto [name, path] : {std::pair{"xyz", &line.xyz_path}, std::pair{"thermo", &line.thermo_path}}) {
    if (!reader.Has(name)) continue;
    *path = reader.Text(name);
    if (path->empty()) reader.Fail("--" + std::string(name) + ": the file name is empty");
  }
  if (!reader.error().empty()) return CommandLineError(reader.error());
  return line;
}

}  // namespace tessaly
