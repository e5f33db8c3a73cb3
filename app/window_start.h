// The window as the command line opens it: the seed, the fields' texts, the
// observation window, and 実行 pressed once the event loop runs.
#pragma once

#include "batch/option_rules.h"

namespace tessaly {

class MainWindow;

// Applies what `command` (an Action::kWindow) asks of `window`: every run
// places from --seed when given; --count, --time-step and --period go into
// their fields as typed; --observe shows the observation window; --run
// presses 実行 as soon as the event loop runs, after the window is shown. A
// field that cannot be used is then reported as a press of 実行 reports it.
void StartWindow(MainWindow& window, const CommandLine& command);

}  // namespace tessaly
