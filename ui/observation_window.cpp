#include "ui/observation_window.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHideEvent>
#include <QLabel>
#include <QLineSeries>
#include <QPen>
#include <QShowEvent>
#include <QTimer>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "ui/interface_font.h"

namespace tessaly {
namespace {

// The potential energy plot keeps the last minute of refreshes.
constexpr int kEnergyPoints = 600;
const QString kPairTitle = QStringLiteral("動径分布関数 g(r)");

QString Number(double value) { return QString::number(value, 'g', 4); }

QValueAxis* MakeAxis(const QString& title, const char* format) {
  auto* axis = new QValueAxis;
  axis->setTitleText(title);
  axis->setLabelFormat(QString::fromLatin1(format));
  QFont font = InterfaceFont();
  axis->setTitleFont(font);
  axis->setLabelsFont(font);
  return axis;
}

// A chart with `series` (and its axes) in a view of its own.
QChartView* MakeView(QChart* chart, const QString& title, QWidget* parent) {
  chart->setTitle(title);
  QFont font = InterfaceFont();
  font.setBold(true);
  chart->setTitleFont(font);
  chart->legend()->setFont(InterfaceFont());
  chart->setMargins(QMargins(4, 4, 4, 4));
  auto* view = new QChartView(chart, parent);
  view->setRenderHint(QPainter::Antialiasing);
  view->setMinimumSize(360, 250);
  return view;
}

void AddAxes(QChart* chart, QValueAxis* x, QValueAxis* y) {
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
}

void Attach(QChart* chart, QAbstractSeries* series, QValueAxis* x, QValueAxis* y) {
  chart->addSeries(series);
  series->attachAxis(x);
  series->attachAxis(y);
}

// An axis range that shows [low, high] with a little room, and something when
// they coincide.
void SetPaddedRange(QValueAxis* axis, double low, double high) {
  const double pad = high > low ? 0.05 * (high - low) : std::max(0.1, 0.05 * std::fabs(low));
  axis->setRange(low - pad, high + pad);
}

}  // namespace

ObservationWindow::ObservationWindow(const Simulation& record, QWidget* parent)
    : QWidget(parent, Qt::Window), record_(record) {
  setObjectName(QStringLiteral("observationWindow"));
  setWindowTitle(QStringLiteral("観測"));
  setFont(InterfaceFont());
  setAccessibleName(QStringLiteral("観測"));
  setAccessibleDescription(
      QStringLiteral("温度・エネルギー・壁の圧力、動径分布関数 g(r) と速さの分布を示します"));

  // The numbers, each with its unit (換算単位: ε, σ, τ, k_B = 1).
  auto* numbers = new QGroupBox(QStringLiteral("数値 (換算単位)"), this);
  auto* form = new QFormLayout(numbers);
  const auto add_row = [&](const QString& caption, const char* name) {
    auto* value = new QLabel(numbers);
    value->setObjectName(QString::fromLatin1(name));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(caption, value);
    return value;
  };
  count_ = add_row(QStringLiteral("分子の数"), "countValue");
  time_ = add_row(QStringLiteral("時刻"), "timeValue");
  temperature_ = add_row(QStringLiteral("温度 T = KE / N"), "temperatureValue");
  kinetic_ = add_row(QStringLiteral("運動エネルギー / 分子"), "kineticValue");
  potential_ = add_row(QStringLiteral("位置エネルギー / 分子"), "potentialValue");
  total_ = add_row(QStringLiteral("全エネルギー / 分子"), "totalValue");
  pressure_ = add_row(QStringLiteral("壁の圧力"), "pressureValue");
  seed_ = add_row(QStringLiteral("乱数の種"), "seedValue");
  auto* note = new QLabel(
      QStringLiteral("圧力は、直近 %1 ステップに壁が跳ね返した運動量を\n"
                     "時間と壁の長さ (4 × 9 σ) で割った値です。")
          .arg(kPressureSteps),
      numbers);
  note->setWordWrap(true);
  form->addRow(note);

  // Potential energy per particle over time.
  auto* energy_chart = new QChart;
  energy_series_ = new QLineSeries;
  energy_time_axis_ = MakeAxis(QStringLiteral("時刻 t (τ)"), "%g");
  energy_value_axis_ = MakeAxis(QStringLiteral("U / N (ε)"), "%.3g");
  AddAxes(energy_chart, energy_time_axis_, energy_value_axis_);
  Attach(energy_chart, energy_series_, energy_time_axis_, energy_value_axis_);
  energy_chart->legend()->hide();

  // g(r), with the line 1 that uniformly placed particles would read.
  pair_chart_ = new QChart;
  auto* pair_chart = pair_chart_;
  pair_series_ = new QLineSeries;
  pair_series_->setName(QStringLiteral("g(r)"));
  auto* uniform = new QLineSeries;
  uniform->setName(QStringLiteral("一様 (g = 1)"));
  uniform->append(0.0, 1.0);
  uniform->append(kPairRange, 1.0);
  auto* pair_distance_axis = MakeAxis(QStringLiteral("距離 r (σ)"), "%g");
  pair_distance_axis->setRange(0.0, kPairRange);
  pair_value_axis_ = MakeAxis(QStringLiteral("g(r)"), "%.2g");
  AddAxes(pair_chart, pair_distance_axis, pair_value_axis_);
  Attach(pair_chart, uniform, pair_distance_axis, pair_value_axis_);
  Attach(pair_chart, pair_series_, pair_distance_axis, pair_value_axis_);
  uniform->setPen(QPen(Qt::gray, 1, Qt::DashLine));

  // The speeds: histogram as a filled outline, and the curve.
  speed_chart_ = new QChart;
  // The area does not own the line it fills under: the chart does.
  speed_series_ = new QLineSeries(speed_chart_);
  auto* histogram = new QAreaSeries(speed_series_);
  histogram->setName(QStringLiteral("分子の速さ"));
  histogram->setColor(QColor(120, 160, 220));
  histogram->setBorderColor(QColor(40, 80, 160));
  speed_curve_ = new QLineSeries;
  speed_axis_ = MakeAxis(QStringLiteral("速さ v (σ/τ)"), "%.2g");
  density_axis_ = MakeAxis(QStringLiteral("確率密度 (τ/σ)"), "%.2g");
  AddAxes(speed_chart_, speed_axis_, density_axis_);
  Attach(speed_chart_, histogram, speed_axis_, density_axis_);
  Attach(speed_chart_, speed_curve_, speed_axis_, density_axis_);
  speed_curve_->setPen(QPen(QColor(200, 40, 40), 2));

  auto* grid = new QGridLayout(this);
  grid->addWidget(numbers, 0, 0);
  grid->addWidget(MakeView(energy_chart, QStringLiteral("1 分子あたりの位置エネルギー"), this), 0, 1);
  grid->addWidget(MakeView(pair_chart, kPairTitle, this), 1, 0);
  grid->addWidget(MakeView(speed_chart_, QStringLiteral("速さの分布"), this), 1, 1);

  due_ = new QTimer(this);
  due_->setSingleShot(true);
  connect(due_, &QTimer::timeout, this, &ObservationWindow::Refresh);
  resize(800, 580);
}

void ObservationWindow::RunStarted() {
  steps_ = 0;
  energy_history_.clear();
  Forget();
  if (isVisible()) Refresh();
}

void ObservationWindow::ShowSeed(const QString& seed) { seed_->setText(seed); }

void ObservationWindow::StepTaken(std::optional<double> wall_momentum, std::uint64_t steps) {
  if (!isVisible()) return;
  steps_ = steps;
  if (wall_momentum) RecordWallMomentum(walls_, *wall_momentum);
  RefreshWhenDue();
}

void ObservationWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;  // restored from an icon: nothing was missed
  // The steps taken while hidden were not measured.
  Forget();
  Refresh();
  emit VisibilityChanged(true);
}

void ObservationWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (event->spontaneous()) return;
  due_->stop();
  emit VisibilityChanged(false);
}

void ObservationWindow::Forget() { walls_ = WallMomentumHistory{}; }

void ObservationWindow::RefreshWhenDue() {
  if (!since_refresh_.isValid() || since_refresh_.elapsed() >= min_interval_ms_) {
    Refresh();
  } else if (!due_->isActive()) {
    due_->start(static_cast<int>(min_interval_ms_ - since_refresh_.elapsed()));
  }
}

void ObservationWindow::Refresh() {
  QElapsedTimer cost;
  cost.start();
  due_->stop();

  const Simulation& sim = record_;
  shown_ = ObserveState(sim, steps_, walls_);
  const Figures& f = shown_;
  const std::int32_t n = f.count;

  count_->setText(QString::number(n));
  time_->setText(QStringLiteral("%1 τ (%2 ステップ)").arg(Number(f.time)).arg(f.steps));
  temperature_->setText(QStringLiteral("%1 ε/k_B").arg(Number(f.temperature)));
  kinetic_->setText(QStringLiteral("%1 ε").arg(Number(f.kinetic_per_particle)));
  potential_->setText(QStringLiteral("%1 ε").arg(Number(f.potential_per_particle)));
  total_->setText(
      QStringLiteral("%1 ε").arg(Number(f.kinetic_per_particle + f.potential_per_particle)));
  pressure_->setText(QStringLiteral("%1 ε/σ²").arg(Number(f.wall_pressure)));

  if (!energy_history_.isEmpty() && energy_history_.constLast().x() > f.time) {
    energy_history_.clear();  // time ran backwards: a negative time step
  }
  energy_history_.append(QPointF(f.time, f.potential_per_particle));
  if (energy_history_.size() > kEnergyPoints) energy_history_.removeFirst();
  energy_series_->replace(energy_history_);
  double low = energy_history_.constFirst().y();
  double high = low;
  for (const QPointF& p : energy_history_) {
    low = std::min(low, p.y());
    high = std::max(high, p.y());
  }
  SetPaddedRange(energy_value_axis_, low, high);
  const double first = energy_history_.constFirst().x();
  const double last = energy_history_.constLast().x();
  energy_time_axis_->setRange(first, last > first ? last : first + 1.0);

  // Particles pressed onto one another can make a peak below r = 0.5 that
  // runs off the top of the scale; its height is named.
  QList<QPointF> pairs;
  for (int k = 0; k < kPairBins; ++k) {
    pairs.append(QPointF((k + 0.5) * kPairBinWidth, f.pair_distribution[k]));
  }
  pair_series_->replace(pairs);
  if (f.pair_near_peak > 0.0) {
    pair_chart_->setTitle(kPairTitle + QStringLiteral("<br><small>r &lt; 0.5 の山 (%1) は上で切れています</small>")
                                           .arg(Number(f.pair_near_peak)));
  } else {
    pair_chart_->setTitle(kPairTitle);
  }
  pair_value_axis_->setRange(0.0, f.pair_top);

  QList<QPointF> outline;
  const double width = f.speed_range / kSpeedBins;
  for (int k = 0; k < kSpeedBins; ++k) {
    outline.append(QPointF(k * width, f.speed_density[k]));
    outline.append(QPointF((k + 1) * width, f.speed_density[k]));
  }
  speed_series_->replace(outline);
  QList<QPointF> curve;
  for (int k = 0; k < static_cast<int>(f.speed_curve.size()); ++k) {
    curve.append(QPointF(f.speed_range * k / kSpeedCurvePoints, f.speed_curve[k]));
  }
  speed_curve_->replace(curve);
  speed_curve_->setName(QStringLiteral("マクスウェル–ボルツマン分布 (T = %1)").arg(Number(f.temperature)));
  speed_axis_->setRange(0.0, f.speed_range);
  density_axis_->setRange(0.0, f.density_top);

  min_interval_ms_ =
      static_cast<qint64>(RefreshIntervalMs(static_cast<double>(cost.elapsed())));
  since_refresh_.start();
  emit Refreshed();
}

}  // namespace tessaly
