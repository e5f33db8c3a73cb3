// What the program's options mean, once a parser has split the command line
// into options and values and found nothing unknown, stray or given twice.
// Qt-free, so that the desktop's command line (app/command_line) and the one
// for node (web/node_main.cpp) follow the same rules.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "batch/batch_run.h"

namespace tessaly {

struct CommandLine {
  enum class Action { kWindow, kBatch, kHelp, kVersion, kError };

  Action action = Action::kWindow;
  std::optional<std::uint64_t> seed;  // the window's seed, for kWindow
  BatchSettings batch;                // for kBatch, its seed included
  bool observe = false;               // for kWindow: open the observation window too
  // For kWindow: texts for the fields 分子の数, 時間刻み and タイマー, read by the
  // fields' own rules when 実行 is pressed; nothing leaves a field as it is.
  std::optional<std::string> count_text;
  std::optional<std::string> time_step_text;
  std::optional<std::string> period_text;
  bool run = false;                   // for kWindow: press 実行 at start
  std::string xyz_path;               // for kBatch: where the trajectory goes; empty: nowhere
  std::string thermo_path;            // for kBatch: where the energies go; empty: nowhere
  std::string error;                  // for kError: one line, without the program's name
};

[[nodiscard]] CommandLine CommandLineError(std::string message);

// The value given to the option of that long name ("count", "xyz", ...), or
// nothing when it is not given; "help", "version" and "batch" take none and
// give an empty text when set.
using OptionValueOf = std::function<std::optional<std::string>(std::string_view name)>;

// Help and version win over everything. Without --batch, --count and
// --time-step are texts for the window's fields, as is --period, and --run
// presses 実行; --steps, --every, --xyz and --thermo need --batch. --batch
// needs --count, --time-step, --steps and --xyz or --thermo (or both), and
// refuses --observe, --period and --run, which are the window's. The seed and
// every value of a batch run are read strictly (batch/option_values.h). The
// first error is the one described.
[[nodiscard]] CommandLine ReadOptions(const OptionValueOf& value_of);

}  // namespace tessaly
