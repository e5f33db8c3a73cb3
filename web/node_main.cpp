// The batch run for node: `node tessaly.js --batch --count N --time-step DT
// --steps K [--seed S] [--every M] --xyz FILE` writes the same extended XYZ as
// the desktop program's batch run, through the same RunBatchCommand. The
// values are read by the desktop's strict rules (app/option_values.h).
#include <cstdint>
#include <cstdio>
#include <limits>
#include <map>
#include <optional>
#include <string>

#include "app/batch_run.h"
#include "app/option_values.h"

namespace {

using tessaly::BatchSettings;

constexpr const char* kUsage =
    "usage: node tessaly.js --batch --count N --time-step DT --steps K [--seed S] [--every M] "
    "--xyz FILE\n";

int Refuse(const std::string& line) {
  std::fprintf(stderr, "tessaly: %s\n", line.c_str());
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  const char* const kWithValue[] = {"count", "time-step", "steps", "every", "seed", "xyz"};
  std::map<std::string, std::string> values;
  bool batch = false;
  for (int k = 1; k < argc; ++k) {
    std::string arg = argv[k];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg.rfind("--", 0) != 0) return Refuse("unexpected argument '" + arg + "' (see --help)");
    arg.erase(0, 2);
    std::optional<std::string> value;
    if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.erase(eq);
    }
    if (arg == "batch" && !value) {
      if (batch) return Refuse("--batch is given more than once");
      batch = true;
      continue;
    }
    bool known = false;
    for (const char* name : kWithValue) known = known || arg == name;
    if (!known) return Refuse("unknown option '" + arg + "' (see --help)");
    if (!value) {
      if (k + 1 >= argc) return Refuse("missing value after '--" + arg + "' (see --help)");
      value = argv[++k];
    }
    if (!values.emplace(arg, *value).second) return Refuse("--" + arg + " is given more than once");
  }
  if (!batch) return Refuse("only --batch runs under node (see --help)");
  std::string missing;
  for (const char* name : {"count", "time-step", "steps", "xyz"}) {
    if (!values.count(name)) missing += (missing.empty() ? "--" : ", --") + std::string(name);
  }
  if (!missing.empty()) return Refuse("--batch needs " + missing);

  constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();
  auto whole = [&](const char* name, std::uint64_t low, std::uint64_t high) {
    const std::optional<std::uint64_t> v = tessaly::ReadWholeNumber(values[name]);
    return v && *v >= low && *v <= high ? v : std::nullopt;
  };
  auto refuse_whole = [&](const char* name, std::uint64_t low, std::uint64_t high) {
    return Refuse(std::string("--") + name + ": '" + values[name] +
                  "' is not a whole number from " + std::to_string(low) + " to " +
                  std::to_string(high));
  };
  BatchSettings settings;
  if (values.count("seed")) {
    const auto seed = whole("seed", 0, kMost);
    if (!seed) return refuse_whole("seed", 0, kMost);
    settings.seed = *seed;
  }
  const auto count = whole("count", 0, 32767);
  if (!count) return refuse_whole("count", 0, 32767);
  settings.count = static_cast<std::int16_t>(*count);
  const auto time_step = tessaly::ReadFiniteNumber(values["time-step"]);
  if (!time_step) return Refuse("--time-step: '" + values["time-step"] + "' is not a finite number");
  settings.time_step = *time_step;
  const auto steps = whole("steps", 0, kMost);
  if (!steps) return refuse_whole("steps", 0, kMost);
  settings.steps = *steps;
  if (values.count("every")) {
    const auto every = whole("every", 1, kMost);
    if (!every) return refuse_whole("every", 1, kMost);
    settings.every = *every;
  }
  if (values["xyz"].empty()) return Refuse("--xyz: the file name is empty");
  return tessaly::RunBatchCommand(settings, values["xyz"]);
}
