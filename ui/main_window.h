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
//
// A tick's step runs on a thread of its own (StepWorker), so the window
// answers at once whatever the count. The rules of a run (which ticks step
// and which are dropped behind a slow step, what Stop and Run abandon, when
// the busy cursor shows, what the observation window shows and when) are
// RunLoop's (run/run_loop): the window hands it what happened, with the time
// on one clock started with the window, and carries out what it answers. When
// a step is taken the window draws the state the tick started from and
// exchanges the levels, as a tick always did.
//
// The picture's context menu and F2 show and hide the observation window
// beside it; while it is shown the stepping thread also works out what it
// asks for (the walls, the table's rows, the figures), changing no bit of the
// steps' results.
// The same menu opens 共有 (Ctrl+L: the command line and the page's address
// parameters that reopen the run), 使い方 (F1) and Tessaly について.
//
// Every Run places from a seed, drawn from the clock unless one was given, so
// that the run can be shared and made again to the bit.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "form/run_fields.h"
#include "form/shared_run.h"
#include "model/simulation.h"
#include "model/stop_flag.h"
#include "platform/random.h"
#include "run/run_loop.h"
#include "ui/error_report.h"
#include "ui/step_worker.h"

class QAction;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace tessaly {

class HelpDialog;
class ObservationWindow;
class PictureBox;
class ShareDialog;
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

  // The step each tick runs, on the stepping thread: AdvanceOneStep unless a
  // test puts another in its place (a slow one, say, or one that fails). It
  // works on a copy of the record and must touch nothing else; it should
  // return soon after the stop flag is set. An empty one restores the real
  // step.
  using StepFunction = std::function<void(Simulation&, const StopFlag&)>;
  void SetStepForTesting(StepFunction step);

  // Read access to what the window holds. While a step is in flight the
  // record is the state the tick started from.
  [[nodiscard]] const Simulation& SimulationState() const { return sim_; }
  [[nodiscard]] const Timer& TimerState() const { return *timer_; }
  [[nodiscard]] const QImage& PictureImage() const;

  // Puts `text` into a field as if typed; Run reads it by the field's rules.
  void SetFieldText(Field field, const QString& text);
  // Presses 実行.
  void PressRun();

  // The seed the last run that started was placed from; nothing before one.
  [[nodiscard]] std::optional<std::uint64_t> RunSeed() const { return run_seed_; }
  // What 共有 shows: the settings the last run read and its seed, or, before
  // any run, the fields' texts without a seed.
  [[nodiscard]] SharedRun RunToShare() const;

  // Shows the observation window beside this one, or hides it; the same as
  // the picture's context menu and F2.
  void SetObserving(bool on);
  // The observation window once it has been opened; null before.
  [[nodiscard]] ObservationWindow* Observation() const { return observation_; }

  // The dialogs of the context menu, opened (not modal to the application)
  // and brought up to date; the same as choosing 共有…, 使い方 or
  // Tessaly について.
  void ShowShare();
  void ShowHelp();
  void ShowAbout();

 signals:
  // A tick has run to its end: step, picture and exchange of levels.
  void TickFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private slots:
  void OnRunClicked();
  void OnStopClicked();
  void OnTick();
  void OnStepFinished();
  void OnWake();
  void OnObservationShown(bool shown);

 private:
  // A caption and the field it stands beside.
  struct LabelledField {
    QLabel* label = nullptr;
    QLineEdit* edit = nullptr;
    QString rule;  // what the field accepts, for its tooltip and error messages
  };

  QPushButton* AddButton(const QString& caption, const char* name, const QRect& geometry,
                         const QString& description);
  LabelledField AddField(Field field, const char* name, const QRect& label_geometry);
  [[nodiscard]] const LabelledField& FieldOf(Field field) const;

  void Report(const ErrorReport& report);

  // Milliseconds since the window was made: the run loop's clock.
  [[nodiscard]] LoopTime Now() const;
  // Carries out what the run loop answered, in its order; `stepped` is the
  // record the finished job left, for a step that is taken.
  void Carry(const LoopActions& actions, Simulation* stepped = nullptr);
  // The seed the arrangement of the run was placed from, when there is one.
  [[nodiscard]] std::optional<std::uint64_t> SeedOfRun() const;

  PictureBox* picture_;
  QPushButton* run_button_;
  QPushButton* stop_button_;
  LabelledField count_;
  LabelledField time_step_;
  LabelledField period_;
  Timer* timer_;
  StepWorker* worker_;
  RunLoop loop_{true};  // the stepper is ready: a thread always answers
  QElapsedTimer clock_;
  QTimer* wake_;  // single shot: the time the run loop asked to be woken
  std::optional<LoopTime> wake_at_;  // what wake_ is armed for

  Simulation sim_;
  std::unique_ptr<RandomSource> random_ = std::make_unique<ClockRandom>();
  StepWorker::StepFunction step_;
  ErrorReporter reporter_;
  QAction* observe_action_;
  ObservationWindow* observation_ = nullptr;  // made when first shown
  ShareDialog* share_dialog_ = nullptr;       // made when first shown
  HelpDialog* help_dialog_ = nullptr;         // made when first shown
  std::optional<RunSettings> run_settings_;   // what the last run that started read
  std::optional<std::uint64_t> run_seed_;     // and the seed it was placed from
};

}  // namespace tessaly
