// Circles drawn fast: one circle look and radius pre-rendered with the
// painter at 4 x 4 quarter-pixel offsets, then composited onto the picture.
// Painting an antialiased ellipse costs microseconds; stamping the ready image
// costs a fraction of one.
//
// A stamped circle is the painted circle moved by at most an eighth of a pixel
// along each axis, so the two differ only in the soft edges of the rim.
#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <array>
#include <cstdint>
#include <vector>

class QPainter;

namespace tessaly {

// How one circle looks, in the device pixels of the image painted on.
struct CircleLook {
  QColor outline;          // colour of the rim
  bool filled = false;     // whether the interior is filled
  QColor fill;             // colour of the interior when filled
  qreal line_width = 1.0;  // width of the rim, inside the radius
};

// Paints a circle with antialiasing: the rim lies inside `radius`, so the disc
// covers exactly the circle of that radius about `centre`.
void PaintCircle(QPainter& painter, const CircleLook& look, QPointF centre, qreal radius);

class CircleStamp {
 public:
  // Renders the 16 images of the circle with PaintCircle.
  CircleStamp(const CircleLook& look, qreal radius);

  // Whether this stamp draws circles of that look and radius.
  [[nodiscard]] bool Draws(const CircleLook& look, qreal radius) const;

  // Composites the circle about `centre` (device pixels) onto `target`, which
  // must be Format_RGB32 or Format_ARGB32_Premultiplied, clipped to its edges.
  void Stamp(QImage& target, QPointF centre) const;

 private:
  // Pixels of one row that are opaque: copied as they are.
  struct Run {
    std::int32_t y;
    std::int32_t x;
    std::int32_t length;
  };
  // A partly transparent pixel: the target keeps `keep` / 256 of itself and
  // gets `colour` (premultiplied) added.
  struct Edge {
    std::int32_t y;
    std::int32_t x;
    QRgb colour;
    std::uint32_t keep;  // 256 - alpha, rounded so that alpha 0 keeps all
  };
  struct Sprite {
    std::vector<QRgb> pixels;  // premultiplied, side x side
    std::vector<Run> runs;     // in row order
    std::vector<Edge> edges;   // in row order
  };

  void StampWhole(const Sprite& sprite, QRgb* origin, qsizetype stride) const;
  void StampClipped(const Sprite& sprite, QImage& target, std::int32_t left, std::int32_t top) const;

  CircleLook look_;
  qreal radius_;
  std::int32_t margin_;  // pixels from a sprite's edge to its centre pixel
  std::int32_t side_;    // 2 margin + 1
  std::array<Sprite, 16> sprites_;  // offset (fx, fy) in quarter pixels at fy * 4 + fx
};

}  // namespace tessaly
