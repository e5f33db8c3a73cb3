// The observation window (観測): what the run in the main window amounts to,
// beside it. Numbers with their units (temperature, kinetic, potential and
// total energy per particle, the walls' pressure), the potential energy per
// particle over time, the pair distribution g(r), and the speed histogram
// with the two-dimensional Maxwell–Boltzmann curve at the run's temperature.
//
// It computes nothing on the window's thread. With each step it hands the
// stepping thread a request (Request): the walls' momentum to add up, the row
// of the table at every tenth step, and, at most ten times a second and less
// often when they take long (RefreshIntervalMs), the figures; the step's
// outcome brings back what was worked out (Taken), and the window draws it.
// While it is hidden it asks for nothing.
//
// The rows are the batch run's table (--every 10 --thermo) of the run since
// 実行, kept up to kMostRows; CSV を保存 writes them and XYZ を保存 the state
// the picture shows, both as the batch run writes its files.
#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "model/observables.h"
#include "model/run_record.h"
#include "model/simulation.h"
#include "ui/error_report.h"

class QChart;
class QLabel;
class QLineSeries;
class QPushButton;
class QTimer;
class QValueAxis;

namespace tessaly {

class ObservationWindow : public QWidget {
  Q_OBJECT

 public:
  // `record` is the main window's record, `steps` the steps it has taken
  // since 実行 and `seed` the seed of the run (nothing: the clock's); the
  // record must outlive this window.
  ObservationWindow(const Simulation& record, std::uint64_t steps,
                    std::optional<std::uint64_t> seed, QWidget* parent = nullptr);
  // Waits for a frame being saved and writes it.
  ~ObservationWindow() override;

  // A new run from `seed` (nothing: the clock's): its arrangement is the
  // record's current level. The history, the walls and the rows start again.
  void RunStarted(std::optional<std::uint64_t> seed);

  // What the job that leaves the record `steps` steps from the start should
  // work out beside it; nothing while hidden. `stepping`: the job takes a
  // step (else it only observes the record as it is, and is asked for only
  // when there is something to observe).
  [[nodiscard]] std::optional<ObservationRequest> Request(std::uint64_t steps, bool stepping);

  // A job has ended and the record is `steps` steps from the start: `answer`
  // is what it observed (nothing when it was asked nothing) and `cost_ms` how
  // long that took.
  void Taken(std::optional<ObservationAnswer> answer, double cost_ms, std::uint64_t steps);

  // Replaces how errors are shown; an empty reporter restores the message box.
  void SetErrorReporter(ErrorReporter reporter);
  // Replaces the file dialog of the two save buttons: given the suggested
  // name, returns the path to write, or an empty string to write nothing.
  using FileChooser = std::function<QString(const QString& suggested)>;
  void SetFileChooser(FileChooser chooser);

  // Writes the table of the rows recorded to `path` as the batch run would;
  // false (and the error reported) when the file cannot be written. Nothing
  // recorded is lost.
  bool SaveTable(const QString& path);
  // Starts saving the frame of the state the picture shows to `path` as the
  // batch run would. Its potential energy, a pass over every pair (a second
  // at the largest count), is worked out on a thread of its own from a copy
  // of that state; the file is written on the window's thread once it is,
  // and FrameSaved tells how that went. Neither 停止 nor 実行 ends a save.
  // False, and nothing started, while another frame is being saved (its
  // button is disabled meanwhile).
  bool SaveFrame(const QString& path);
  // The names the file dialog suggests: tessaly-<seed>-<step>.csv and .xyz.
  [[nodiscard]] QString SuggestedName(const char* extension) const;

  // What the last refresh showed, and the rows recorded, for tests.
  using Figures = ObservedFigures;
  [[nodiscard]] const Figures& Shown() const { return shown_; }
  [[nodiscard]] const std::vector<RecordedRow>& Rows() const { return rows_; }

 signals:
  // The figures have been worked out again and handed to the plots.
  void Refreshed();
  // A refresh is due that no step in flight will bring: the record as it is
  // should be observed (Request(steps, false)).
  void FiguresWanted();
  // Shown or hidden, by whatever means (the close button included).
  void VisibilityChanged(bool shown);
  // The frame SaveFrame started has been written (`ok`), or could not be
  // (and the error was reported).
  void FrameSaved(bool ok);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private slots:
  // Called on the window's thread once the frame being saved is worked out.
  void FrameWorkedOut();

 private:
  void Forget();
  // Arms the timer of the refresh held back, unless it is armed.
  void HoldBack();
  void Show(const Figures& figures);
  void ShowSeed();  // 乱数の種: the seed of the run
  void ShowRecording();
  void Report(const ErrorReport& report);
  bool Write(const QString& path, const std::string& text);
  void SaveWithDialog(bool table);
  [[nodiscard]] bool RowWanted(std::uint64_t steps) const;
  // The state the picture shows: the level and its step.
  [[nodiscard]] int PictureLevel() const;
  [[nodiscard]] std::uint64_t PictureStep() const;

  const Simulation& record_;
  std::uint64_t steps_ = 0;
  std::optional<std::uint64_t> seed_;
  WallMomentumHistory walls_;
  std::vector<RecordedRow> rows_;
  Figures shown_;
  QList<QPointF> energy_history_;  // (time, potential energy per particle)
  ErrorReporter reporter_;
  FileChooser chooser_;

  // The frame being saved. The thread writes frame_text_ or frame_error_
  // alone, and the window's thread reads them only once it has joined it.
  bool saving_frame_ = false;
  QString frame_path_;
  std::thread frame_thread_;
  std::string frame_text_;
  QString frame_error_;  // why there is no frame (an exception's text)

  QElapsedTimer since_refresh_;    // since the last refresh was asked for
  qint64 min_interval_ms_ = 100;
  QTimer* due_;  // single shot: the refresh that was held back

  QLabel* count_;
  QLabel* time_;
  QLabel* temperature_;
  QLabel* kinetic_;
  QLabel* potential_;
  QLabel* total_;
  QLabel* pressure_;
  QLabel* seed_label_;
  QLabel* recording_;
  QPushButton* save_table_;
  QPushButton* save_frame_;
  QLineSeries* energy_series_;
  QValueAxis* energy_time_axis_;
  QValueAxis* energy_value_axis_;
  QChart* pair_chart_;
  QLineSeries* pair_series_;
  QValueAxis* pair_distance_axis_;
  QValueAxis* pair_value_axis_;
  QLineSeries* speed_series_;
  QLineSeries* speed_curve_;
  QValueAxis* speed_axis_;
  QValueAxis* density_axis_;
  QChart* speed_chart_;
};

}  // namespace tessaly
