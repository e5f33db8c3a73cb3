// The observation window (観測): what the run in the main window amounts to,
// beside it. Numbers with their units (temperature, kinetic, potential and
// total energy per particle, the walls' pressure), the potential energy per
// particle over time, the pair distribution g(r), and the speed histogram
// with the two-dimensional Maxwell–Boltzmann curve at the run's temperature.
//
// It computes and keeps nothing of the run: the run loop (run/run_loop) has
// the stepping thread work out, beside the steps, the walls' momentum, the
// table's rows and the figures while this window is shown, and keeps them;
// the main window says when to show them (ShowFigures, ShowRows).
//
// The rows are the batch run's table (--every 10 --thermo) of the run since
// 実行, kept up to kMostRows; CSV を保存 writes them and XYZ を保存 the state
// the picture shows, both as the batch run writes its files.
#pragma once

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
#include "run/run_loop.h"
#include "ui/error_report.h"

class QChart;
class QLabel;
class QLineSeries;
class QPushButton;
class QValueAxis;

namespace tessaly {

class ObservationWindow : public QWidget {
  Q_OBJECT

 public:
  // `loop` is the main window's run loop and `record` its record, `seed` the
  // seed of the run (nothing: the clock's); both must outlive this window.
  ObservationWindow(const RunLoop& loop, const Simulation& record,
                    std::optional<std::uint64_t> seed, QWidget* parent = nullptr);
  // Waits for a frame being saved and writes it.
  ~ObservationWindow() override;

  // A new run from `seed` (nothing: the clock's).
  void SetSeed(std::optional<std::uint64_t> seed);
  // Shows the loop's figures, with its history of the potential energy; only
  // once there are figures.
  void ShowFigures();
  // Shows how many rows the loop keeps.
  void ShowRows();

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
  [[nodiscard]] const std::vector<RecordedRow>& Rows() const { return loop_.Rows(); }

 signals:
  // The figures have been worked out again and handed to the plots.
  void Refreshed();
  // Shown or hidden, by whatever means (the close button included), but not
  // restored from or turned into an icon.
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
  void ShowSeed();  // 乱数の種: the seed of the run
  void Report(const ErrorReport& report);
  bool Write(const QString& path, const std::string& text);
  void SaveWithDialog(bool table);
  // The state the picture shows: the level and its step.
  [[nodiscard]] int PictureLevel() const;
  [[nodiscard]] std::uint64_t PictureStep() const;

  const RunLoop& loop_;
  const Simulation& record_;
  std::optional<std::uint64_t> seed_;
  Figures shown_;
  ErrorReporter reporter_;
  FileChooser chooser_;

  // The frame being saved. The thread writes frame_text_ or frame_error_
  // alone, and the window's thread reads them only once it has joined it.
  bool saving_frame_ = false;
  QString frame_path_;
  std::thread frame_thread_;
  std::string frame_text_;
  QString frame_error_;  // why there is no frame (an exception's text)


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
