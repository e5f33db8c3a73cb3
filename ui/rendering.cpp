#include "ui/rendering.h"

#include <cstdint>

#include "model/simulation.h"
#include "platform/colour.h"
#include "widgets/picture_box.h"

namespace tessaly {

void SetUserScale(PictureBox& surface, double x1, double y1, double x2, double y2) {
  surface.SetScaleHeight(static_cast<float>(y2 - y1));
  surface.SetScaleWidth(static_cast<float>(x2 - x1));
  surface.SetScaleTop(static_cast<float>(y1));
  surface.SetScaleLeft(static_cast<float>(x1));
}

void DrawParticles(const Simulation& sim, PictureBox& surface) {
  constexpr float kRadius = 0.5f;  // half a world unit: discs of diameter 1
  surface.Clear();
  surface.SetFillStyle(FillStyle::kSolid);
  surface.SetFillColor(Rgb(0, 0, 0));
  const std::int32_t n = sim.ParticleCount;
  if (n <= 0) return;
  const Vec2* pos = sim.Pos[sim.CurLevel].data();
  for (std::int32_t i = 1; i <= n; ++i) {
    surface.Circle(static_cast<float>(pos[i].X), static_cast<float>(pos[i].Y), kRadius,
                   Rgb(255, 255, 255));
  }
}

}  // namespace tessaly
