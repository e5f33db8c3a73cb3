// Figures for the picture: a disc stamped from its ready image against one
// painted with an antialiased QPainter ellipse, the drawing of all particles,
// and whole ticks as the window runs them (step, drawing, exchange, repaint)
// against the plain one-thread step, measured in turns with them; and the tick
// with the observation window open beside the tick without it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bench/bench_util.h"
#include "model/simulation.h"
#include "model/time_step.h"
#include "platform/random.h"
#include "reference/plain_forces.h"
#include "ui/error_report.h"
#include "ui/main_window.h"
#include "ui/picture_layout.h"
#include "ui/rendering.h"
#include "widgets/circle_stamp.h"
#include "widgets/picture_box.h"

namespace tessaly {
namespace {

using bench::Alongside;
using bench::Placed;

// The window's picture box: 277 x 253 pixels inside its border, world 10 x 10.
const QColor kBackground(RedOf(kPictureBackground), GreenOf(kPictureBackground),
                         BlueOf(kPictureBackground));
const QSize kClientSize = kPictureGeometry.size() - QSize(4, 4);

struct Surface {
  Surface() {
    box.setGeometry(QRect(QPoint(0, 0), kPictureGeometry.size()));
    box.SetBackColor(kPictureBackground);
    SetUserScale(box, 0, 0, 10, 10);
    box.Clear();
  }
  PictureBox box;
};

// The plain way: every disc an antialiased QPainter ellipse, with the painter
// kept open over the whole picture.
void DrawParticlesPainted(const Simulation& sim, QImage& image) {
  image.fill(kBackground);
  QPainter painter(&image);
  const CircleLook look{Qt::white, true, Qt::black, 1.0};
  const double sx = image.width() / 10.0;
  const double sy = image.height() / 10.0;
  const double radius = 0.5 * sx;
  const Vec2* pos = sim.Pos[sim.CurLevel].data();
  for (std::int32_t i = 1; i <= sim.ParticleCount; ++i) {
    PaintCircle(painter, look,
                QPointF(static_cast<float>(pos[i].X) * sx, static_cast<float>(pos[i].Y) * sy), radius);
  }
}

std::vector<QPointF> WorldPoints(int count) {
  ClockRandom random(99);
  std::vector<QPointF> points;
  for (int k = 0; k < count; ++k) points.emplace_back(0.5 + 9 * random.Next(), 0.5 + 9 * random.Next());
  return points;
}

// One iteration is one disc: the time column is the time per disc.
void PerDisc(benchmark::State& state) { state.SetItemsProcessed(state.iterations()); }

void BM_DiscStamped(benchmark::State& state) {
  Surface surface;
  surface.box.SetFillStyle(FillStyle::kSolid);
  surface.box.SetFillColor(Rgb(0, 0, 0));
  const std::vector<QPointF> points = WorldPoints(1024);
  std::size_t k = 0;
  for (auto _ : state) {
    const QPointF& p = points[k++ & 1023];
    surface.box.Circle(static_cast<float>(p.x()), static_cast<float>(p.y()), 0.5f, Rgb(255, 255, 255));
  }
  benchmark::DoNotOptimize(surface.box.Image().constBits());
  PerDisc(state);
}
BENCHMARK(BM_DiscStamped);

void BM_DiscPainted(benchmark::State& state) {
  QImage image(kClientSize, QImage::Format_RGB32);
  image.fill(kBackground);
  QPainter painter(&image);
  const CircleLook look{Qt::white, true, Qt::black, 1.0};
  const std::vector<QPointF> points = WorldPoints(1024);
  std::size_t k = 0;
  for (auto _ : state) {
    const QPointF& p = points[k++ & 1023];
    PaintCircle(painter, look, QPointF(p.x() * 27.7, p.y() * 25.3), 13.85);
  }
  painter.end();
  benchmark::DoNotOptimize(image.constBits());
  PerDisc(state);
}
BENCHMARK(BM_DiscPainted);

// The program's window with `n` particles placed from a fixed seed and a
// timer that does not fire while it is measured (the longest period, a
// minute): the benchmark ticks it instead, through the slot the timer calls.
// Counts finished ticks and repaints of the picture.
class TickedWindow : public QObject {
 public:
  explicit TickedWindow(std::int16_t n) {
    window_.SetRandomSource(std::make_unique<FixedSeedRandom>(12345));
    window_.SetErrorReporter([this](const ErrorReport&) { failed_ = true; });
    window_.findChild<QLineEdit*>(QStringLiteral("countField"))->setText(QString::number(n));
    window_.findChild<QLineEdit*>(QStringLiteral("periodField"))->setText(QStringLiteral("65535"));
    window_.findChild<QWidget*>(QStringLiteral("picture"))->installEventFilter(this);
    QObject::connect(&window_, &MainWindow::TickFinished, this, [this] { ++ticks_; });
    window_.show();
    window_.findChild<QPushButton*>(QStringLiteral("runButton"))->click();
    QCoreApplication::processEvents();
    paints_ = 0;
  }

  // One tick as the window runs it: the slot hands a copy of the record to
  // the stepping thread; the step comes back through the event loop, is
  // drawn and exchanged, and the event loop repaints the picture.
  void Tick() {
    const int before = ticks_;
    QMetaObject::invokeMethod(&window_, "OnTick");
    while (ticks_ == before && !failed_) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
  }

  // Shows the observation window beside it, which then refreshes as it does
  // in the program, at most ten times a second.
  void Observe() {
    window_.SetObserving(true);
    QCoreApplication::processEvents();
  }

  [[nodiscard]] const Simulation& State() const { return window_.SimulationState(); }
  [[nodiscard]] bool Failed() const { return failed_; }
  [[nodiscard]] int Paints() const { return paints_; }

  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints_;
    return false;
  }

 private:
  MainWindow window_;
  int ticks_ = 0;
  int paints_ = 0;
  bool failed_ = false;
};

// The window's tick, step on the stepping thread, drawing, exchange and
// repaint, beside the plain one-thread step (one ordered pair at a time,
// std::pow, no drawing) on the same arrangement. Whatever drawing and
// painting leave behind, the next step meets here as in the program.
void BM_WindowTick(benchmark::State& state) {
  TickedWindow window(static_cast<std::int16_t>(state.range(0)));
  Simulation plain = window.State();
  Alongside side;
  for (auto _ : state) {
    side.Iteration(
        state, [&] { window.Tick(); },
        [&] {
          reference::PlainStep(plain);
          benchmark::DoNotOptimize(plain.Pos[plain.CurLevel].data());
        });
  }
  if (window.Failed()) state.SkipWithError("a tick failed");
  if (window.Paints() < state.iterations()) state.SkipWithError("the picture was not repainted");
  state.counters["ticks"] = side.ProgramRate();
  state.counters["plain_steps"] = side.PlainRate();
  state.counters["gain"] = side.Gain();
}
BENCHMARK(BM_WindowTick)->Arg(40)->Arg(1000)->Arg(2000)->Arg(5000)->Unit(benchmark::kMillisecond)->UseManualTime();
// The largest count takes seconds a tick (and the plain step half a minute):
// one round.
BENCHMARK(BM_WindowTick)->Arg(32767)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();

// The cost of the observation window: the window's tick with it open
// (its refreshes, the plots' repaints and the walls' measuring included)
// beside the same tick of a second window without it, in turns. "slowdown"
// is the observed tick's time over the other's, less 1.
void BM_WindowTickObserved(benchmark::State& state) {
  const auto n = static_cast<std::int16_t>(state.range(0));
  TickedWindow observed(n);
  TickedWindow unobserved(n);
  observed.Observe();
  // Once, not in every tick: the first paint of the plots loads their fonts,
  // and the first ticks of a window set up what the later ones reuse.
  for (int k = 0; k < 10; ++k) {
    observed.Tick();
    unobserved.Tick();
  }
  QEventLoop settle;
  QTimer::singleShot(200, &settle, &QEventLoop::quit);
  settle.exec();
  Alongside side;
  for (auto _ : state) {
    side.Iteration(
        state, [&] { observed.Tick(); }, [&] { unobserved.Tick(); });
  }
  if (observed.Failed() || unobserved.Failed()) state.SkipWithError("a tick failed");
  state.counters["observed_ticks"] = side.ProgramRate();
  state.counters["unobserved_ticks"] = side.PlainRate();
  state.counters["slowdown"] = 1.0 / side.Gain() - 1.0;
}
BENCHMARK(BM_WindowTickObserved)
    ->Arg(40)
    ->Arg(2000)
    ->MinTime(3.0)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

// The drawing alone, without the step.
void BM_DrawStamped(benchmark::State& state) {
  const Simulation sim = Placed(static_cast<std::int16_t>(state.range(0)));
  Surface surface;
  for (auto _ : state) DrawParticles(sim, surface.box);
  benchmark::DoNotOptimize(surface.box.Image().constBits());
}

void BM_DrawPainted(benchmark::State& state) {
  const Simulation sim = Placed(static_cast<std::int16_t>(state.range(0)));
  QImage image(kClientSize, QImage::Format_RGB32);
  for (auto _ : state) DrawParticlesPainted(sim, image);
  benchmark::DoNotOptimize(image.constBits());
}
BENCHMARK(BM_DrawStamped)->Arg(40)->Arg(1000)->Arg(32767)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawPainted)->Arg(40)->Arg(1000)->Arg(32767)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tessaly

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
