// The program's command line, read with QCommandLineParser and nothing
// guessed: an unknown option, an option given twice, a stray argument or a
// value its option cannot take is an error, described in one line.
//
//   tessaly [--seed S] [--observe]          the window
//   tessaly --batch --count N --time-step DT --steps K [--seed S] [--every M]
//           [--xyz FILE] [--thermo FILE]    (at least one of the two files)
//   tessaly --help | --version
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>

#include "app/batch_run.h"

namespace tessaly {

struct CommandLine {
  enum class Action { kWindow, kBatch, kHelp, kVersion, kError };

  Action action = Action::kWindow;
  std::optional<std::uint64_t> seed;  // the window's seed, for kWindow
  BatchSettings batch;                // for kBatch, its seed included
  bool observe = false;               // for kWindow: open the observation window too
  std::string xyz_path;               // for kBatch: where the trajectory goes; empty: nowhere
  std::string thermo_path;            // for kBatch: where the energies go; empty: nowhere
  std::string error;                  // for kError: one line, without the program's name
};

// Reads `arguments` as QCoreApplication::arguments() gives them, the program
// first. Needs no QCoreApplication.
[[nodiscard]] CommandLine ParseCommandLine(const QStringList& arguments);

// What --help prints. Its usage line names the program as it was started,
// which needs a QCoreApplication.
[[nodiscard]] QString HelpText();

}  // namespace tessaly
