// Figures for the picture: a disc stamped from its ready image against one
// painted with an antialiased QPainter ellipse, the drawing of all particles,
// and whole ticks as the window runs them (step, drawing, exchange, repaint)
// against the plain one-thread step, measured in turns with them.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QWidget>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "bench/bench_util.h"
#include "model/simulation.h"
#include "model/time_step.h"
#include "reference/plain_forces.h"
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

// The picture as the window holds it: a picture box at its place in a shown
// top-level window of the window's size, so that every tick ends with a real
// repaint. Counts the repaints.
struct WindowPicture : public QObject {
  WindowPicture() {
    window.setFixedSize(434, 273);
    box = new PictureBox(&window);
    box->setGeometry(kPictureGeometry);
    box->SetBackColor(kPictureBackground);
    SetUserScale(*box, 0, 0, 10, 10);
    box->Clear();
    box->installEventFilter(this);
    window.show();
    QCoreApplication::processEvents();
    paints = 0;
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == box && event->type() == QEvent::Paint) ++paints;
    return false;
  }
  QWidget window;
  PictureBox* box;
  int paints = 0;
};

// The tick as the window runs it, step, drawing and exchange in the timer's
// slot and then the event loop's repaint, beside the plain one-thread step
// (one ordered pair at a time, std::pow, no drawing). Drawing and painting
// run Qt's code between the steps, and whatever state that leaves behind
// (dirty vector registers, cold caches) the next step meets here as in the
// window.
void BM_WindowTick(benchmark::State& state) {
  const auto n = static_cast<std::int16_t>(state.range(0));
  Simulation sim = Placed(n);
  Simulation plain = sim;
  WindowPicture picture;
  Alongside side;
  for (auto _ : state) {
    side.Iteration(
        state,
        [&] {
          AdvanceOneStep(sim);
          DrawParticles(sim, *picture.box);
          ExchangeLevels(sim);
          QCoreApplication::processEvents();
        },
        [&] {
          reference::PlainForces(plain);
          UpdateVelocities(plain);
          UpdatePositions(plain);
          ReflectAtWalls(plain);
          ExchangeLevels(plain);
          benchmark::DoNotOptimize(plain.Pos[plain.CurLevel].data());
        });
  }
  if (!std::isfinite(sim.Pos[sim.CurLevel][1].X)) state.SkipWithError("non-finite position");
  if (picture.paints < state.iterations()) state.SkipWithError("the picture was not repainted");
  state.counters["ticks"] = side.ProgramRate();
  state.counters["plain_steps"] = side.PlainRate();
  state.counters["gain"] = side.Gain();
}
BENCHMARK(BM_WindowTick)->Arg(40)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->UseManualTime();
// The largest count takes seconds a tick (and the plain step half a minute):
// one round.
BENCHMARK(BM_WindowTick)->Arg(32767)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();

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
