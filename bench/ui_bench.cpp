// Figures for the picture: a disc stamped from its ready image against one
// painted with an antialiased QPainter ellipse, and whole ticks (step, draw,
// exchange) as the program runs them against plain ones (the one-thread force
// loop and painted discs), reported as ticks per second.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
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

void TicksPerSecond(benchmark::State& state, const Simulation& sim) {
  if (!std::isfinite(sim.Pos[sim.CurLevel][1].X)) state.SkipWithError("non-finite position");
  state.counters["ticks_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_TickStamped(benchmark::State& state) {
  Simulation sim = Placed(static_cast<std::int16_t>(state.range(0)));
  Surface surface;
  for (auto _ : state) {
    AdvanceOneStep(sim);
    DrawParticles(sim, surface.box);
    ExchangeLevels(sim);
  }
  benchmark::DoNotOptimize(surface.box.Image().constBits());
  TicksPerSecond(state, sim);
}

// The plain tick: the one-thread, one-pair-at-a-time force loop and painted
// discs.
void BM_TickPlain(benchmark::State& state) {
  Simulation sim = Placed(static_cast<std::int16_t>(state.range(0)));
  QImage image(kClientSize, QImage::Format_RGB32);
  for (auto _ : state) {
    reference::PlainForces(sim);
    UpdateVelocities(sim);
    UpdatePositions(sim);
    ReflectAtWalls(sim);
    DrawParticlesPainted(sim, image);
    ExchangeLevels(sim);
  }
  benchmark::DoNotOptimize(image.constBits());
  TicksPerSecond(state, sim);
}

// The largest count takes seconds a tick: one round is enough.
BENCHMARK(BM_TickStamped)->Arg(40)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TickPlain)->Arg(40)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TickStamped)->Arg(32767)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TickPlain)->Arg(32767)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

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
