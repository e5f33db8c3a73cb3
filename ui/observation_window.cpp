#include "ui/observation_window.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHideEvent>
#include <QLabel>
#include <QLineSeries>
#include <QHBoxLayout>
#include <QList>
#include <QPen>
#include <QPointF>
#include <QPushButton>
#include <QSaveFile>
#include <QShowEvent>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <exception>
#include <string>
#include <utility>

#include "form/window_texts.h"
#include "platform/random.h"
#include "ui/interface_font.h"

namespace tessaly {
namespace {

const QString kPairTitle = QStringLiteral("動径分布関数 g(r)");

QString Number(double value) { return QString::number(value, 'g', 4); }

// Ticks at round numbers from 0 on (SetAxisRange chooses their distance).
QValueAxis* MakeAxis(const QString& title) {
  auto* axis = new QValueAxis;
  axis->setTitleText(title);
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0.0);
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

// Shows [low, high] with ticks at round numbers, labelled with as many
// significant digits as the largest needs to tell the ticks apart: 0, 0.5,
// 1, 1.5 or 1000, 1200, never 0.38 or 1e+03.
void SetAxisRange(QValueAxis* axis, double low, double high) {
  const double step = RoundTickStep(low, high);
  axis->setRange(low, high);
  if (!(step > 0.0)) return;
  axis->setTickInterval(step);
  const double largest = std::max(std::fabs(low), std::fabs(high));
  const int top = largest > 0.0 ? static_cast<int>(std::floor(std::log10(largest))) : 0;
  const int bottom = static_cast<int>(std::floor(std::log10(step)));
  const int digits = std::clamp(top - std::min(bottom, 0) + 1, 1, 17);
  axis->setLabelFormat(QStringLiteral("%.%1g").arg(digits));
}

// Writes `text` beside `path` and puts it in its place once whole, so that a
// write that fails leaves an old file as it was: why it failed, or nothing.
std::optional<QString> WriteWhole(const QString& path, const std::string& text) {
  QSaveFile file(path);
  const bool written = file.open(QIODevice::WriteOnly) &&
                       file.write(text.data(), static_cast<qint64>(text.size())) ==
                           static_cast<qint64>(text.size()) &&
                       file.commit();
  if (written) return std::nullopt;
  return file.errorString();
}

// An axis range that shows [low, high] with a little room, and something when
// they coincide.
void SetPaddedRange(QValueAxis* axis, double low, double high) {
  const double pad = high > low ? 0.05 * (high - low) : std::max(0.1, 0.05 * std::fabs(low));
  SetAxisRange(axis, low - pad, high + pad);
}

}  // namespace

ObservationWindow::ObservationWindow(const RunLoop& loop, const Simulation& record,
                                     std::optional<std::uint64_t> seed, QWidget* parent)
    : QWidget(parent, Qt::Window), loop_(loop), record_(record), seed_(seed) {
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
  seed_label_ = add_row(QStringLiteral("乱数の種"), "seedValue");
  recording_ = add_row(QStringLiteral("記録"), "recordingValue");
  auto* note = new QLabel(
      QStringLiteral("圧力は、直近 %1 ステップに壁が跳ね返した運動量を\n"
                     "時間と壁の長さ (4 × 9 σ) で割った値です。")
          .arg(kPressureSteps),
      numbers);
  note->setWordWrap(true);
  form->addRow(note);
  // The run's numbers kept: the rows as the batch run's table, the picture's
  // state as one frame of its trajectory.
  auto* saving = new QHBoxLayout;
  const auto add_button = [&](const QString& caption, const char* name, const QString& what,
                              bool table) {
    auto* button = new QPushButton(caption, numbers);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(caption);
    button->setAccessibleDescription(what);
    button->setToolTip(what);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, table] { SaveWithDialog(table); });
    saving->addWidget(button);
    return button;
  };
  save_table_ = add_button(
      QStringLiteral("CSV を保存"), "saveTableButton",
      QStringLiteral("実行から 10 ステップごとに記録した数値を CSV ファイルに保存します"), true);
  save_frame_ = add_button(
      QStringLiteral("XYZ を保存"), "saveFrameButton",
      QStringLiteral("図に映っている分子の位置と速度を拡張 XYZ ファイルに保存します"), false);
  form->addRow(saving);

  // Potential energy per particle over time.
  auto* energy_chart = new QChart;
  energy_series_ = new QLineSeries;
  energy_time_axis_ = MakeAxis(QStringLiteral("時刻 t (τ)"));
  energy_value_axis_ = MakeAxis(QStringLiteral("U / N (ε)"));
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
  pair_distance_axis_ = MakeAxis(QStringLiteral("距離 r (σ)"));
  SetAxisRange(pair_distance_axis_, 0.0, kPairRange);
  pair_value_axis_ = MakeAxis(QStringLiteral("g(r)"));
  AddAxes(pair_chart, pair_distance_axis_, pair_value_axis_);
  Attach(pair_chart, uniform, pair_distance_axis_, pair_value_axis_);
  Attach(pair_chart, pair_series_, pair_distance_axis_, pair_value_axis_);
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
  speed_axis_ = MakeAxis(QStringLiteral("速さ v (σ/τ)"));
  density_axis_ = MakeAxis(QStringLiteral("確率密度 (τ/σ)"));
  AddAxes(speed_chart_, speed_axis_, density_axis_);
  Attach(speed_chart_, histogram, speed_axis_, density_axis_);
  Attach(speed_chart_, speed_curve_, speed_axis_, density_axis_);
  speed_curve_->setPen(QPen(QColor(200, 40, 40), 2));

  auto* grid = new QGridLayout(this);
  grid->addWidget(numbers, 0, 0);
  grid->addWidget(MakeView(energy_chart, QStringLiteral("1 分子あたりの位置エネルギー"), this), 0, 1);
  grid->addWidget(MakeView(pair_chart, kPairTitle, this), 1, 0);
  grid->addWidget(MakeView(speed_chart_, QStringLiteral("速さの分布"), this), 1, 1);

  ShowSeed();
  ShowRows();
  resize(800, 600);
}

ObservationWindow::~ObservationWindow() {
  // The frame asked for is still written: its thread ends within the pass
  // over the pairs. There is no window left to report a failure in.
  if (!frame_thread_.joinable()) return;
  frame_thread_.join();
  const std::optional<QString> failed = frame_error_.isEmpty()
                                            ? WriteWhole(frame_path_, frame_text_)
                                            : std::optional<QString>(frame_error_);
  if (failed) qWarning("%s", qUtf8Printable(SaveErrorReport(frame_path_, *failed).message));
}

void ObservationWindow::SetSeed(std::optional<std::uint64_t> seed) {
  seed_ = seed;
  ShowSeed();
}

void ObservationWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;  // restored from an icon: nothing was missed
  emit VisibilityChanged(true);
}

void ObservationWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (event->spontaneous()) return;
  emit VisibilityChanged(false);
}

void ObservationWindow::ShowSeed() {
  seed_label_->setText(seed_ ? QString::fromStdString(SeedText(*seed_)) : QString());
}

void ObservationWindow::ShowRows() {
  recording_->setText(
      QString::fromStdString(RecordingNote(loop_.Rows().size(), kRowEvery, loop_.RowsFull())));
}

int ObservationWindow::PictureLevel() const {
  // After a tick the picture shows the state the tick started from, which the
  // exchange of levels has made the next level; after 実行, the arrangement.
  return loop_.Steps() == 0 ? record_.CurLevel : record_.NextLevel;
}

std::uint64_t ObservationWindow::PictureStep() const { return loop_.PictureSteps(); }

QString ObservationWindow::SuggestedName(const char* extension) const {
  const std::uint64_t step =
      QString::fromLatin1(extension) == QStringLiteral("csv")
          ? (Rows().empty() ? 0 : Rows().back().step)
          : PictureStep();
  const QString seed = seed_ ? QString::number(*seed_) + QLatin1Char('-') : QString();
  return QStringLiteral("tessaly-%1%2.%3").arg(seed).arg(step).arg(QLatin1String(extension));
}

void ObservationWindow::SetErrorReporter(ErrorReporter reporter) { reporter_ = std::move(reporter); }

void ObservationWindow::SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

void ObservationWindow::Report(const ErrorReport& report) {
  if (reporter_) {
    reporter_(report);
  } else {
    ShowErrorBox(this, report);
  }
}

bool ObservationWindow::Write(const QString& path, const std::string& text) {
  const std::optional<QString> failed = WriteWhole(path, text);
  if (failed) Report(SaveErrorReport(path, *failed));
  return !failed;
}

bool ObservationWindow::SaveTable(const QString& path) { return Write(path, ThermoTable(Rows())); }

bool ObservationWindow::SaveFrame(const QString& path) {
  if (saving_frame_) return false;
  // The thread gets a copy: the record goes on changing with the run.
  Simulation shown = record_;
  shown.CurLevel = static_cast<std::int16_t>(PictureLevel());
  const std::uint64_t step = PictureStep();
  frame_path_ = path;
  frame_text_.clear();
  frame_error_.clear();
  frame_thread_ = std::thread([this, shown = std::move(shown), step] {
    try {
      frame_text_ = XyzFrameOfState(shown, step);
    } catch (const std::exception& error) {
      frame_error_ = QString::fromLocal8Bit(error.what());
    }
    // Queued by name, so that the event is made inside Qt Core, whose locks
    // ThreadSanitizer cannot see (tests/tsan.supp); dropped, unrun, should
    // the window be destroyed first.
    QMetaObject::invokeMethod(this, "FrameWorkedOut", Qt::QueuedConnection);
  });
  saving_frame_ = true;
  save_frame_->setEnabled(false);
  return true;
}

void ObservationWindow::FrameWorkedOut() {
  frame_thread_.join();
  const QString path = frame_path_;
  const std::string text = std::exchange(frame_text_, std::string());
  const QString error = std::exchange(frame_error_, QString());
  bool written = false;
  if (error.isEmpty()) {
    written = Write(path, text);
  } else {
    Report(SaveErrorReport(path, error));
  }
  saving_frame_ = false;
  save_frame_->setEnabled(true);
  emit FrameSaved(written);
}

void ObservationWindow::SaveWithDialog(bool table) {
  const QString suggested = SuggestedName(table ? "csv" : "xyz");
  const QString path =
      chooser_ ? chooser_(suggested)
               : QFileDialog::getSaveFileName(
                     this, table ? save_table_->text() : save_frame_->text(), suggested,
                     table ? QStringLiteral("CSV (*.csv)") : QStringLiteral("拡張 XYZ (*.xyz)"));
  if (path.isEmpty()) return;
  if (table) {
    (void)SaveTable(path);
  } else {
    (void)SaveFrame(path);
  }
}

void ObservationWindow::ShowFigures() {
  if (!loop_.Figures()) return;
  shown_ = *loop_.Figures();
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

  // The history holds these figures' point at least.
  const std::vector<std::pair<double, double>>& history = loop_.EnergyHistory();
  QList<QPointF> energy;
  energy.reserve(static_cast<qsizetype>(history.size()));
  double low = history.front().second;
  double high = low;
  for (const auto& [time, value] : history) {
    energy.append(QPointF(time, value));
    low = std::min(low, value);
    high = std::max(high, value);
  }
  energy_series_->replace(energy);
  SetPaddedRange(energy_value_axis_, low, high);
  const double first = history.front().first;
  const double last = history.back().first;
  SetAxisRange(energy_time_axis_, first, last > first ? last : first + 1.0);

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
  SetAxisRange(pair_value_axis_, 0.0, f.pair_top);

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
  SetAxisRange(speed_axis_, 0.0, f.speed_range);
  SetAxisRange(density_axis_, 0.0, f.density_top);
  emit Refreshed();
}

}  // namespace tessaly
