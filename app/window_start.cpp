#include "app/window_start.h"

#include <QString>
#include <QTimer>
#include <memory>
#include <utility>

#include "platform/random.h"
#include "ui/main_window.h"

namespace tessaly {

void StartWindow(MainWindow& window, const CommandLine& command) {
  if (command.seed) window.SetRandomSource(std::make_unique<FixedSeedRandom>(*command.seed));
  for (const auto& [field, text] : {std::pair{Field::kCount, &command.count_text},
                                    std::pair{Field::kTimeStep, &command.time_step_text},
                                    std::pair{Field::kPeriod, &command.period_text}}) {
    if (*text) window.SetFieldText(field, QString::fromStdString(**text));
  }
  window.show();
  if (command.observe) window.SetObserving(true);
  if (command.run) QTimer::singleShot(0, &window, &MainWindow::PressRun);
}

}  // namespace tessaly
