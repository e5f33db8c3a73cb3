// The observation window (観測): what the run in the main window amounts to,
// beside it. Numbers with their units (temperature, kinetic, potential and
// total energy per particle, the walls' pressure), the potential energy per
// particle over time, the pair distribution g(r), and the speed histogram
// with the two-dimensional Maxwell–Boltzmann curve at the run's temperature.
//
// It reads the main window's record on the window's thread, never the copy a
// step works on, and writes nothing in it. While it is hidden it computes
// nothing and asks the steps to measure nothing. It refreshes at most ten
// times a second, and less often when a refresh takes long (the pair pass of
// a large count), so that it takes no more than about a tenth of the window
// thread's time.
#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QPointF>
#include <QWidget>
#include <cstdint>
#include <optional>

#include "model/observables.h"
#include "model/simulation.h"

class QChart;
class QLabel;
class QLineSeries;
class QTimer;
class QValueAxis;

namespace tessaly {

class ObservationWindow : public QWidget {
  Q_OBJECT

 public:
  // `record` is the main window's record, read whenever a refresh falls due;
  // it must outlive this window.
  explicit ObservationWindow(const Simulation& record, QWidget* parent = nullptr);

  // A new run: the history starts again from its arrangement.
  void RunStarted();

  // The seed the run was placed from, shown as 乱数の種; empty before a run.
  void ShowSeed(const QString& seed);

  // A tick has ended: `steps` steps since the run started, the last of which
  // turned back `wall_momentum` at the walls; nothing for a step that did not
  // measure it (one started before this window was shown).
  void StepTaken(std::optional<double> wall_momentum, std::uint64_t steps);

  // What the last refresh showed, for tests.
  using Figures = ObservedFigures;
  [[nodiscard]] const Figures& Shown() const { return shown_; }

 signals:
  // The figures have been worked out again and handed to the plots.
  void Refreshed();
  // Shown or hidden, by whatever means (the close button included).
  void VisibilityChanged(bool shown);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void Forget();
  void RefreshWhenDue();
  void Refresh();

  const Simulation& record_;
  WallMomentumHistory walls_;
  std::uint64_t steps_ = 0;
  Figures shown_;
  QList<QPointF> energy_history_;  // (time, potential energy per particle)

  QElapsedTimer since_refresh_;
  qint64 min_interval_ms_ = 100;
  QTimer* due_;  // single shot: the refresh that was held back

  QLabel* count_;
  QLabel* time_;
  QLabel* temperature_;
  QLabel* kinetic_;
  QLabel* potential_;
  QLabel* total_;
  QLabel* pressure_;
  QLabel* seed_;
  QLineSeries* energy_series_;
  QValueAxis* energy_time_axis_;
  QValueAxis* energy_value_axis_;
  QChart* pair_chart_;
  QLineSeries* pair_series_;
  QValueAxis* pair_value_axis_;
  QLineSeries* speed_series_;
  QLineSeries* speed_curve_;
  QValueAxis* speed_axis_;
  QValueAxis* density_axis_;
  QChart* speed_chart_;
};

}  // namespace tessaly
