// The program's only window: the picture of the box, the Run and Stop
// buttons, the three input fields with their labels, and the timer that
// drives the simulation.
//
// Run reads and checks all three fields first. A field that cannot be used
// (a number that overflows its type, a negative count, a period the timer
// refuses) is reported and changes nothing: the running simulation, its
// picture and the timer go on as before. An arithmetic error during a tick
// stops the timer and is reported; the last good picture stays and the next
// Run starts afresh. The window never closes on an error.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "model/simulation.h"
#include "platform/random.h"
#include "ui/error_report.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tessaly {

class PictureBox;
class Timer;

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // Replaces how errors are shown; an empty reporter restores the message box.
  void SetErrorReporter(ErrorReporter reporter);

  // Replaces the clock-seeded generator that every Run places the particles
  // from (a FixedSeedRandom gives every Run the same arrangement); null
  // restores the clock.
  void SetRandomSource(std::unique_ptr<RandomSource> random);

  // The step each tick runs: AdvanceOneStep unless a test puts another in its
  // place (to make a later tick fail, say). An empty one restores it.
  using StepFunction = std::function<void(Simulation&)>;
  void SetStepForTesting(StepFunction step);

  // Read access to what the window holds.
  [[nodiscard]] const Simulation& SimulationState() const { return sim_; }
  [[nodiscard]] const Timer& TimerState() const { return *timer_; }
  [[nodiscard]] const QImage& PictureImage() const;

 private slots:
  void OnRunClicked();
  void OnStopClicked();
  void OnTick();

 private:
  // A caption and the field it stands beside.
  struct LabelledField {
    QLabel* label = nullptr;
    QLineEdit* edit = nullptr;
    QString rule;  // what the field accepts, for its tooltip and error messages
  };

  QPushButton* AddButton(const QString& caption, const char* name, const QRect& geometry,
                         const QString& description);
  LabelledField AddField(const QString& caption, const char* name, const QRect& label_geometry,
                         const QString& text, const QString& rule, const QString& more,
                         const QString& description);

  // The result of `step`, which reads or checks `field`, or nothing when it
  // raises a RuntimeError, which is then reported against the field.
  template <typename Step>
  auto Guarded(const LabelledField& field, Step step) -> std::optional<decltype(step())>;

  void Report(const ErrorReport& report);

  PictureBox* picture_;
  QPushButton* run_button_;
  QPushButton* stop_button_;
  LabelledField count_;
  LabelledField time_step_;
  LabelledField period_;
  Timer* timer_;

  Simulation sim_;
  std::unique_ptr<RandomSource> random_ = std::make_unique<ClockRandom>();
  StepFunction step_;
  ErrorReporter reporter_;
};

}  // namespace tessaly
