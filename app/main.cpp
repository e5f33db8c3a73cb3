#include <QApplication>
#include <QCoreApplication>
#include <cstdio>

#include "app/command_line.h"
#include "app/display_check.h"
#include "app/window_start.h"
#include "batch/batch_run.h"
#include "ui/main_window.h"

namespace {

QStringList ArgumentsOf(int argc, char* argv[]) {
  QStringList arguments;
  for (int k = 0; k < argc; ++k) arguments << QString::fromLocal8Bit(argv[k]);
  return arguments;
}

}  // namespace

int main(int argc, char* argv[]) {
  using tessaly::CommandLine;
  QCoreApplication::setApplicationName(QStringLiteral("tessaly"));
  QCoreApplication::setApplicationVersion(QStringLiteral(TESSALY_VERSION));
  const char* program = argc > 0 ? argv[0] : "tessaly";

  // Everything but the window runs without a display.
  const CommandLine command = tessaly::ParseCommandLine(ArgumentsOf(argc, argv));
  switch (command.action) {
    case CommandLine::Action::kError:
      std::fprintf(stderr, "tessaly: %s\n", command.error.c_str());
      return 2;
    case CommandLine::Action::kHelp: {
      QCoreApplication core(argc, argv);
      std::fputs(tessaly::HelpText().toLocal8Bit().constData(), stdout);
      return 0;
    }
    case CommandLine::Action::kVersion:
      std::printf("tessaly %s\n", TESSALY_VERSION);
      return 0;
    case CommandLine::Action::kBatch:
      return tessaly::RunBatchCommand(command.batch, {command.xyz_path, command.thermo_path});
    case CommandLine::Action::kWindow:
      break;
  }

  if (const std::string problem = tessaly::DisplayProblem(); !problem.empty()) {
    std::fprintf(stderr,
                 "tessaly: %s; start it from a desktop session, or run it as: xvfb-run %s\n",
                 problem.c_str(), program);
    return 2;
  }
  QApplication app(argc, argv);
  tessaly::MainWindow window;
  tessaly::StartWindow(window, command);
  return app.exec();
}
