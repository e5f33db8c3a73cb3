// The program's command line, read with QCommandLineParser and nothing
// guessed: an unknown option, an option given twice, a stray argument or a
// value its option cannot take is an error, described in one line.
//
//   tessaly [--count N] [--time-step DT] [--period MS] [--seed S]
//           [--observe] [--run]             the window, its fields filled
//   tessaly --batch --count N --time-step DT --steps K [--seed S] [--every M]
//           [--xyz FILE] [--thermo FILE]    (at least one of the two files)
//   tessaly --help | --version
#pragma once

#include <QString>
#include <QStringList>

#include "batch/option_rules.h"

namespace tessaly {

// Reads `arguments` as QCoreApplication::arguments() gives them, the program
// first. Needs no QCoreApplication.
[[nodiscard]] CommandLine ParseCommandLine(const QStringList& arguments);

// What --help prints. Its usage line names the program as it was started,
// which needs a QCoreApplication.
[[nodiscard]] QString HelpText();

}  // namespace tessaly
