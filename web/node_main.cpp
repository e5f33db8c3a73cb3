// The batch run for node: `node tessaly.js --batch --count N --time-step DT
// --steps K [--seed S] [--every M] --xyz FILE` writes the same extended XYZ as
// the desktop program's batch run, through the same RunBatchCommand, with the
// options read by the same rules (batch/option_rules.h). There is no window to
// fill, so --count and --time-step need --batch here.
#include <cstdio>
#include <map>
#include <optional>
#include <utility>
#include <string>
#include <string_view>

#include "batch/batch_run.h"
#include "batch/option_rules.h"

namespace {

using tessaly::CommandLine;

constexpr const char* kUsage =
    "Usage: node tessaly.js --batch --count N --time-step DT --steps K [--seed S] [--every M] "
    "[--xyz FILE] [--thermo FILE]\n"
    "Runs the model without a window and writes the trajectory as extended XYZ and its\n"
    "energies as CSV (at least one of the two), as the desktop program's --batch does.\n";

// Splits the arguments into options and values ("--name value" or
// "--name=value"); an unknown option, a stray argument or an option given
// twice is an error.
CommandLine Parse(int argc, char* argv[]) {
  const std::map<std::string, bool> kTakesValue = {
      {"help", false}, {"h", false}, {"version", false}, {"v", false}, {"batch", false},
      {"seed", true},  {"count", true}, {"time-step", true}, {"steps", true},
      {"every", true}, {"xyz", true}, {"thermo", true}, {"observe", false},
      {"period", true}, {"run", false}};
  std::map<std::string, std::string> given;
  for (int k = 1; k < argc; ++k) {
    std::string arg = argv[k];
    const std::size_t dashes = arg.rfind("--", 0) == 0 ? 2 : arg.rfind('-', 0) == 0 ? 1 : 0;
    if (dashes == 0) return tessaly::CommandLineError("unexpected argument '" + arg + "' (see --help)");
    arg.erase(0, dashes);
    std::optional<std::string> value;
    if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.erase(eq);
    }
    const auto known = kTakesValue.find(arg);
    if (known == kTakesValue.end()) {
      return tessaly::CommandLineError("unknown option '" + arg + "' (see --help)");
    }
    if (known->second && !value) {
      if (k + 1 >= argc) {
        return tessaly::CommandLineError("missing value after '" + std::string(argv[k]) +
                                         "' (see --help)");
      }
      value = argv[++k];
    }
    const std::string name = arg == "h" ? "help" : arg == "v" ? "version" : arg;
    if (!given.emplace(name, value.value_or(std::string())).second) {
      return tessaly::CommandLineError("--" + name + " is given more than once");
    }
  }
  return tessaly::ReadOptions([&](std::string_view name) -> std::optional<std::string> {
    const auto it = given.find(std::string(name));
    if (it == given.end()) return std::nullopt;
    return it->second;
  });
}

}  // namespace

int main(int argc, char* argv[]) {
  const CommandLine line = Parse(argc, argv);
  switch (line.action) {
    case CommandLine::Action::kError:
      std::fprintf(stderr, "tessaly: %s\n", line.error.c_str());
      return 2;
    case CommandLine::Action::kHelp:
      std::fputs(kUsage, stdout);
      return 0;
    case CommandLine::Action::kVersion:
      std::printf("tessaly %s\n", TESSALY_VERSION);
      return 0;
    case CommandLine::Action::kWindow:
      // The fields they would fill are the page's; the batch run needs them.
      for (const auto& [name, given] : {std::pair{"count", line.count_text.has_value()},
                                        std::pair{"time-step", line.time_step_text.has_value()}}) {
        if (given) {
          std::fprintf(stderr, "tessaly: --%s needs --batch\n", name);
          return 2;
        }
      }
      std::fputs("tessaly: the window is the page in build-web/site; under node only --batch runs\n",
                 stderr);
      return 2;
    case CommandLine::Action::kBatch:
      break;
  }
  return tessaly::RunBatchCommand(line.batch, {line.xyz_path, line.thermo_path});
}
