#include "ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cmath>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "form/help_text.h"
#include "form/window_texts.h"
#include "form/run_fields.h"
#include "model/placement.h"
#include "model/time_step.h"
#include "ui/app_icon.h"
#include "ui/help_dialog.h"
#include "ui/interface_font.h"
#include "ui/observation_window.h"
#include "ui/picture_layout.h"
#include "ui/rendering.h"
#include "ui/share_dialog.h"
#include "ui/step_worker.h"
#include "widgets/picture_box.h"
#include "widgets/timer.h"

namespace tessaly {
namespace {

// Every field stands at the same place to the right of its label.
constexpr int kFieldLeft = 360;
constexpr int kFieldWidth = 49;
constexpr int kFieldHeight = 18;

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void RealStep(Simulation& sim, const StopFlag& stop, double* wall_momentum) {
  AdvanceOneStep(sim, &stop, wall_momentum);
}

// The kind of the error a job ended with; nothing when it ended well. Any
// other exception goes on up, as it would have on this thread.
std::optional<ErrorKind> KindOf(const std::exception_ptr& error) {
  std::optional<ErrorKind> kind;
  if (!error) return kind;
  try {
    std::rethrow_exception(error);
  } catch (const RuntimeError& e) {
    kind = e.kind();
  }
  return kind;
}

// A step put in for a test measures nothing.
StepWorker::StepFunction Unmeasured(MainWindow::StepFunction step) {
  return [step = std::move(step)](Simulation& sim, const StopFlag& stop, double*) {
    step(sim, stop);
  };
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent), step_(RealStep) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(QStringLiteral("Tessaly"));
  setWindowIcon(MakeAppIcon());
  setFont(InterfaceFont());
  setFixedSize(434, 273);

  picture_ = new PictureBox(this);
  picture_->setObjectName(QStringLiteral("picture"));
  picture_->setGeometry(kPictureGeometry);
  picture_->SetBackColor(kPictureBackground);
  picture_->Clear();
  picture_->setFocusPolicy(Qt::StrongFocus);
  picture_->setAccessibleName(Utf8(kPictureName));
  picture_->setAccessibleDescription(Utf8(kPictureDescription));

  // The observation window, from the picture's context menu or F2 anywhere
  // in the window; nothing else of the window changes.
  observe_action_ = new QAction(QStringLiteral("観測ウィンドウ"), this);
  observe_action_->setObjectName(QStringLiteral("observeAction"));
  observe_action_->setCheckable(true);
  observe_action_->setShortcut(QKeySequence(Qt::Key_F2));
  picture_->addAction(observe_action_);
  picture_->setContextMenuPolicy(Qt::ActionsContextMenu);
  addAction(observe_action_);
  picture_->setToolTip(QStringLiteral("右クリックのメニューか F2 キーで観測ウィンドウを開きます:\n"
                                      "温度・エネルギー・壁の圧力・g(r)・速さの分布\n"
                                      "同じメニューに 共有・使い方 もあります"));
  connect(observe_action_, &QAction::toggled, this, &MainWindow::SetObserving);

  // 共有, 使い方 and about, from the same menu; the shortcuts work anywhere
  // in the window.
  const auto add_menu_action = [this](const QString& caption, const char* name,
                                      const QKeySequence& keys, void (MainWindow::*slot)()) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(keys);
    picture_->addAction(action);
    addAction(action);
    connect(action, &QAction::triggered, this, slot);
  };
  add_menu_action(QStringLiteral("共有…"), "shareAction", QKeySequence(Qt::CTRL | Qt::Key_L),
                  &MainWindow::ShowShare);
  add_menu_action(QStringLiteral("使い方"), "helpAction", QKeySequence(Qt::Key_F1),
                  &MainWindow::ShowHelp);
  add_menu_action(QStringLiteral("Tessaly について"), "aboutAction", QKeySequence(),
                  &MainWindow::ShowAbout);

  run_button_ = AddButton(QStringLiteral("実行"), "runButton", QRect(304, 24, 113, 25),
                          Utf8(kRunDescription));
  stop_button_ = AddButton(QStringLiteral("停止"), "stopButton", QRect(304, 56, 113, 25),
                           Utf8(kStopDescription));

  count_ = AddField(Field::kCount, "count", QRect(304, 112, 57, 17));
  // Taller than the other labels, as it always was.
  time_step_ = AddField(Field::kTimeStep, "timeStep", QRect(304, 136, 57, 25));
  period_ = AddField(Field::kPeriod, "period", QRect(304, 160, 57, 17));

  // The tab order is the one this window has always had, the order in which
  // its controls were first laid out: picture, 実行, 分子の数, 停止, タイマー,
  // 時間刻み. People who use the window from the keyboard know it by heart, so
  // it stays, though it is not the order on screen. Each label hands the
  // focus to its field and takes none itself.
  setTabOrder(picture_, run_button_);
  setTabOrder(run_button_, count_.edit);
  setTabOrder(count_.edit, stop_button_);
  setTabOrder(stop_button_, period_.edit);
  setTabOrder(period_.edit, time_step_.edit);

  // Switched on, but with period 0 it is not armed: nothing runs before Run.
  timer_ = new Timer(this);
  timer_->setObjectName(QStringLiteral("timer"));
  timer_->SetInterval(0);
  timer_->SetEnabled(true);

  worker_ = new StepWorker(this);
  clock_.start();
  wake_ = new QTimer(this);
  wake_->setSingleShot(true);
  wake_->setTimerType(Qt::PreciseTimer);  // not early: what it wakes for must be due

  connect(run_button_, &QPushButton::clicked, this, &MainWindow::OnRunClicked);
  connect(stop_button_, &QPushButton::clicked, this, &MainWindow::OnStopClicked);
  connect(timer_, &Timer::Tick, this, &MainWindow::OnTick);
  // Finished is emitted on the worker's thread.
  connect(worker_, &StepWorker::Finished, this, &MainWindow::OnStepFinished,
          Qt::QueuedConnection);
  connect(wake_, &QTimer::timeout, this, &MainWindow::OnWake);
}

MainWindow::~MainWindow() {
  // The worker goes first, before anything it could report to: this abandons
  // the step in flight and waits for its thread, which notices within a row
  // of the force loop.
  delete worker_;
  // The observation window reads the record, which goes before the children.
  delete observation_;
}

QPushButton* MainWindow::AddButton(const QString& caption, const char* name, const QRect& geometry,
                                   const QString& description) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(geometry);
  button->setAccessibleName(caption);
  button->setAccessibleDescription(description);
  // Neither button answers Enter or Esc, not even when the window sits in a
  // dialog, where a push button would otherwise become the default one.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

MainWindow::LabelledField MainWindow::AddField(Field field, const char* name,
                                               const QRect& label_geometry) {
  const FieldLook& look = LookOf(field);
  const QString caption = Utf8(look.caption);
  // The label is made first so that it lies under the field it reaches into
  // by one pixel.
  const QString base = QString::fromLatin1(name);
  auto* label = new QLabel(caption, this);
  label->setObjectName(base + QStringLiteral("Label"));
  label->setGeometry(label_geometry);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setAccessibleName(caption);
  label->setAccessibleDescription(Utf8(look.description));

  auto* edit = new QLineEdit(Utf8(look.initial_text), this);
  edit->setObjectName(base + QStringLiteral("Field"));
  edit->setGeometry(kFieldLeft, label_geometry.top(), kFieldWidth, kFieldHeight);
  edit->setToolTip(QString::fromStdString(FieldTooltip(field)));
  // Numbers are typed in Latin digits: an input method that honours the hint
  // switches to them here by itself. Full-width digits are read all the same.
  edit->setInputMethodHints(Qt::ImhPreferNumbers | Qt::ImhPreferLatin | Qt::ImhNoPredictiveText);
  edit->setAccessibleName(caption);
  edit->setAccessibleDescription(edit->toolTip());
  label->setBuddy(edit);
  return {label, edit, Utf8(look.rule)};
}

const MainWindow::LabelledField& MainWindow::FieldOf(Field field) const {
  switch (field) {
    case Field::kCount:
      return count_;
    case Field::kTimeStep:
      return time_step_;
    case Field::kPeriod:
      break;
  }
  return period_;
}

void MainWindow::SetErrorReporter(ErrorReporter reporter) { reporter_ = std::move(reporter); }

void MainWindow::SetRandomSource(std::unique_ptr<RandomSource> random) {
  random_ = random ? std::move(random) : std::make_unique<ClockRandom>();
}

void MainWindow::SetStepForTesting(StepFunction step) {
  step_ = step ? Unmeasured(std::move(step)) : StepWorker::StepFunction(RealStep);
}

void MainWindow::SetFieldText(Field field, const QString& text) {
  FieldOf(field).edit->setText(text);
}

void MainWindow::PressRun() { run_button_->click(); }

SharedRun MainWindow::RunToShare() const {
  const bool observing = observation_ != nullptr && observation_->isVisible();
  if (run_settings_) {
    return SharedRunOf(run_settings_->count, run_settings_->time_step, run_settings_->period,
                       run_seed_, observing);
  }
  SharedRun run;
  run.count = count_.edit->text().toStdString();
  run.time_step = time_step_.edit->text().toStdString();
  run.period = period_.edit->text().toStdString();
  run.observe = observing;
  return run;
}

void MainWindow::ShowShare() {
  if (share_dialog_ == nullptr) share_dialog_ = new ShareDialog(this);
  share_dialog_->SetRun(RunToShare());
  share_dialog_->show();
  share_dialog_->raise();
  share_dialog_->activateWindow();
}

void MainWindow::ShowHelp() {
  if (help_dialog_ == nullptr) help_dialog_ = new HelpDialog(this);
  help_dialog_->show();
  help_dialog_->raise();
  help_dialog_->activateWindow();
}

void MainWindow::ShowAbout() {
  auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Tessaly について"),
                              QString::fromStdString(AboutHtml()), QMessageBox::Ok, this);
  box->setObjectName(QStringLiteral("aboutBox"));
  box->setTextFormat(Qt::RichText);
  box->setIconPixmap(windowIcon().pixmap(64, 64));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void MainWindow::SetObserving(bool on) {
  if (on && observation_ == nullptr) {
    // A window of its own, closed with this one.
    observation_ = new ObservationWindow(loop_, sim_, SeedOfRun(), this);
    observation_->addAction(observe_action_);
    observation_->SetErrorReporter([this](const ErrorReport& report) {
      if (reporter_) {
        reporter_(report);
      } else {
        ShowErrorBox(observation_, report);
      }
    });
    connect(observation_, &ObservationWindow::VisibilityChanged, this,
            &MainWindow::OnObservationShown);
    observation_->move(frameGeometry().topRight() + QPoint(8, 0));
  }
  if (observation_ != nullptr) observation_->setVisible(on);
  observe_action_->setChecked(on);
}

const QImage& MainWindow::PictureImage() const { return picture_->Image(); }

void MainWindow::OnRunClicked() {
  // Every field is read and checked before anything changes, so a field that
  // cannot be used leaves the running simulation as it was.
  const auto text = [](const LabelledField& field) {
    return std::pair{field.edit->text().toStdString(),
                     field.edit->text().normalized(QString::NormalizationForm_KC).toStdString()};
  };
  const auto [count_text, count_compatible] = text(count_);
  const auto [step_text, step_compatible] = text(time_step_);
  const auto [period_text, period_compatible] = text(period_);
  const std::variant<RunSettings, FieldError> read = ReadRunFields(
      {{count_text, count_compatible}, {step_text, step_compatible}, {period_text, period_compatible}});
  if (const auto* error = std::get_if<FieldError>(&read)) {
    const LabelledField& field = FieldOf(error->field);
    Report(FieldErrorReport(error->kind, field.label->text(), field.rule));
    return;
  }
  const RunSettings& settings = std::get<RunSettings>(read);

  try {
    InitSimulation(sim_, settings.count, settings.time_step);
  } catch (const RuntimeError& error) {
    // The tables did not fit; the old run stays.
    Report(FieldErrorReport(error.kind(), count_.label->text(), count_.rule));
    return;
  }
  // The old run's job works on a record that is gone now: it stops before
  // the placing, which takes long at the largest counts, and not after.
  // Run abandons it all the same.
  worker_->Abandon();
  SetUserScale(*picture_, 0, 0, 10, 10);
  PlaceParticles(sim_, *random_);
  run_settings_ = settings;
  run_seed_ = random_->Seed();
  if (observation_ != nullptr) observation_->SetSeed(SeedOfRun());
  Carry(loop_.Run(Now(), settings.count, settings.period));
}

void MainWindow::OnStopClicked() { Carry(loop_.Stop(Now())); }

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing ends the run, and the observation window with it: neither a step
  // in flight nor the figures of the last state may keep the cores busy.
  if (observation_ != nullptr) observation_->hide();
  Carry(loop_.Stop(Now()));
  QWidget::closeEvent(event);
}

void MainWindow::OnTick() { Carry(loop_.Tick(Now())); }

void MainWindow::OnWake() {
  wake_at_.reset();
  Carry(loop_.Wake(Now()));
}

void MainWindow::OnObservationShown(bool shown) {
  observe_action_->setChecked(shown);
  Carry(loop_.SetObserving(Now(), shown));
}

void MainWindow::OnStepFinished() {
  std::optional<StepWorker::Outcome> outcome = worker_->TakeOutcome();
  if (!outcome) return;  // abandoned after it ended
  JobResult result;
  result.generation = outcome->generation;
  result.error = KindOf(outcome->error);
  result.observation = std::move(outcome->observation);
  result.observe_ms = outcome->observation_ms;
  Carry(loop_.Finished(Now(), result), &outcome->sim);
}

LoopTime MainWindow::Now() const { return static_cast<double>(clock_.nsecsElapsed()) * 1e-6; }

std::optional<std::uint64_t> MainWindow::SeedOfRun() const { return run_seed_; }

void MainWindow::Carry(const LoopActions& actions, Simulation* stepped) {
  if (actions.abandon) worker_->Abandon();
  // replace_stepper never comes: the stepper is this window's own thread.
  try {
    if (actions.take_step) {
      // The record as the step left it: level CurLevel is the state the tick
      // started from, drawn before the levels are exchanged.
      sim_ = std::move(*stepped);
      DrawParticles(sim_, *picture_);
      ExchangeLevels(sim_);
    }
    if (actions.draw_record) DrawParticles(sim_, *picture_);
  } catch (const RuntimeError& error) {
    // A record the picture cannot show ends the run, as a failed step does.
    Carry(loop_.Stop(Now()));
    Report(TickErrorReport(error.kind()));
    return;
  }
  if (actions.start) {
    // A copy: the window's record stays the state the tick starts from, for
    // the picture and for whoever reads it, until the step is done.
    const StepJob& job = *actions.start;
    worker_->Start(sim_, job.step ? step_ : StepWorker::StepFunction(), job.observe,
                   job.generation);
  }
  if (observation_ != nullptr) {
    if (actions.figures) observation_->ShowFigures();
    if (actions.rows) observation_->ShowRows();
  }
  if (actions.ticks == TicksAction::kStart) {
    timer_->SetInterval(loop_.Period());
    timer_->SetEnabled(true);
  } else if (actions.ticks == TicksAction::kStop) {
    timer_->SetEnabled(false);
  }
  if (actions.busy) {
    // A cursor, not a widget: the layout stays as it is.
    if (*actions.busy) {
      picture_->setCursor(Qt::BusyCursor);
    } else {
      picture_->unsetCursor();
    }
  }
  if (!actions.wake) {
    wake_->stop();
    wake_at_.reset();
  } else if (actions.wake != wake_at_) {
    wake_at_ = actions.wake;
    wake_->start(static_cast<int>(std::max(0.0, std::ceil(*actions.wake - Now()))));
  }
  // Only a step's error is reported: a thread neither fails to start nor
  // stops answering.
  if (actions.report && actions.report->error == LoopError::kTick) {
    // A failed step changes nothing of the record, and the picture box keeps
    // the image drawn last, so the last good picture stays on screen.
    Report(TickErrorReport(actions.report->kind));
  }
  if (actions.take_step) emit TickFinished();
}

void MainWindow::Report(const ErrorReport& report) {
  if (reporter_) {
    reporter_(report);
  } else {
    ShowErrorBox(this, report);
  }
}

}  // namespace tessaly
