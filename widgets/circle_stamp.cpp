#include "widgets/circle_stamp.h"

#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessaly {
namespace {

constexpr int kSteps = 4;  // sub-pixel offsets per axis

// 255 - alpha scaled to 256ths: 0 stays 0 (an opaque pixel replaces the
// target) and 255 becomes 256 (a transparent one leaves it exactly).
std::uint32_t KeepOf(QRgb premultiplied) {
  const std::uint32_t keep = 255 - qAlpha(premultiplied);
  return keep + (keep >> 7);
}

// Source over: colour + target * keep / 256 on every channel. No channel can
// overflow, since a premultiplied channel never exceeds its alpha.
inline QRgb Over(QRgb colour, std::uint32_t keep, QRgb target) {
  const std::uint32_t rb = (((target & 0x00ff00ffu) * keep) >> 8) & 0x00ff00ffu;
  const std::uint32_t ag = (((target >> 8) & 0x00ff00ffu) * keep) & 0xff00ff00u;
  return colour + (rb | ag);
}

}  // namespace

void PaintCircle(QPainter& painter, const CircleLook& look, QPointF centre, qreal radius) {
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(look.outline, look.line_width));
  painter.setBrush(look.filled ? QBrush(look.fill) : QBrush(Qt::NoBrush));
  // The pen straddles the path: centring it half a line inside the radius
  // keeps the whole rim within the circle.
  const qreal r = std::max(radius - look.line_width / 2, 0.0);
  painter.drawEllipse(centre, r, r);
}

CircleStamp::CircleStamp(const CircleLook& look, qreal radius)
    : look_(look),
      radius_(radius),
      margin_(static_cast<std::int32_t>(std::ceil(radius)) + 1),
      side_(2 * margin_ + 1) {
  for (int fy = 0; fy < kSteps; ++fy) {
    for (int fx = 0; fx < kSteps; ++fx) {
      QImage image(side_, side_, QImage::Format_ARGB32_Premultiplied);
      image.fill(Qt::transparent);
      {
        QPainter painter(&image);
        PaintCircle(painter, look_,
                    QPointF(margin_ + static_cast<qreal>(fx) / kSteps,
                            margin_ + static_cast<qreal>(fy) / kSteps),
                    radius_);
      }
      Sprite& sprite = sprites_[fy * kSteps + fx];
      sprite.pixels.reserve(static_cast<std::size_t>(side_) * side_);
      for (int y = 0; y < side_; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        sprite.pixels.insert(sprite.pixels.end(), line, line + side_);
        for (int x = 0; x < side_;) {
          const int alpha = qAlpha(line[x]);
          if (alpha == 255) {
            int end = x + 1;
            while (end < side_ && qAlpha(line[end]) == 255) ++end;
            sprite.runs.push_back({y, x, end - x});
            x = end;
            continue;
          }
          if (alpha != 0) sprite.edges.push_back({y, x, line[x], KeepOf(line[x])});
          ++x;
        }
      }
    }
  }
}

bool CircleStamp::Draws(const CircleLook& look, qreal radius) const {
  return radius == radius_ && look.line_width == look_.line_width && look.filled == look_.filled &&
         look.outline == look_.outline && (!look.filled || look.fill == look_.fill);
}

void CircleStamp::Stamp(QImage& target, QPointF centre) const {
  const double width = target.width();
  const double height = target.height();
  // Far outside the picture nothing shows; this also keeps the conversions
  // below within range.
  if (!(centre.x() > -side_ && centre.x() < width + side_ && centre.y() > -side_ &&
        centre.y() < height + side_)) {
    return;
  }
  // Nearest quarter pixel, split into a whole pixel and the offset beyond it.
  const auto qx = static_cast<std::int32_t>(std::floor(centre.x() * kSteps + 0.5)) + 4 * kSteps * side_;
  const auto qy = static_cast<std::int32_t>(std::floor(centre.y() * kSteps + 0.5)) + 4 * kSteps * side_;
  const std::int32_t ix = qx / kSteps - 4 * side_;
  const std::int32_t iy = qy / kSteps - 4 * side_;
  const Sprite& sprite = sprites_[(qy % kSteps) * kSteps + qx % kSteps];
  const std::int32_t left = ix - margin_;
  const std::int32_t top = iy - margin_;

  if (left >= 0 && top >= 0 && left + side_ <= target.width() && top + side_ <= target.height()) {
    const qsizetype stride = target.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    QRgb* origin = reinterpret_cast<QRgb*>(target.bits()) + top * stride + left;
    StampWhole(sprite, origin, stride);
  } else {
    StampClipped(sprite, target, left, top);
  }
}

void CircleStamp::StampWhole(const Sprite& sprite, QRgb* origin, qsizetype stride) const {
  for (const Run& run : sprite.runs) {
    const QRgb* src = sprite.pixels.data() + run.y * side_ + run.x;
    std::memcpy(origin + run.y * stride + run.x, src, sizeof(QRgb) * run.length);
  }

  const Edge* edge = sprite.edges.data();
  const Edge* const end = edge + sprite.edges.size();
#if defined(__SSE2__)
  // The soft edge is most of the work: four pixels at a time, two per
  // register in 16-bit channels.
  const __m128i zero = _mm_setzero_si128();
  for (; end - edge >= 4; edge += 4) {
    QRgb* d0 = origin + edge[0].y * stride + edge[0].x;
    QRgb* d1 = origin + edge[1].y * stride + edge[1].x;
    QRgb* d2 = origin + edge[2].y * stride + edge[2].x;
    QRgb* d3 = origin + edge[3].y * stride + edge[3].x;
    const __m128i target = _mm_setr_epi32(static_cast<int>(*d0), static_cast<int>(*d1),
                                          static_cast<int>(*d2), static_cast<int>(*d3));
    const __m128i colour = _mm_setr_epi32(static_cast<int>(edge[0].colour), static_cast<int>(edge[1].colour),
                                          static_cast<int>(edge[2].colour), static_cast<int>(edge[3].colour));
    const __m128i keep01 = _mm_setr_epi16(
        static_cast<short>(edge[0].keep), static_cast<short>(edge[0].keep), static_cast<short>(edge[0].keep),
        static_cast<short>(edge[0].keep), static_cast<short>(edge[1].keep), static_cast<short>(edge[1].keep),
        static_cast<short>(edge[1].keep), static_cast<short>(edge[1].keep));
    const __m128i keep23 = _mm_setr_epi16(
        static_cast<short>(edge[2].keep), static_cast<short>(edge[2].keep), static_cast<short>(edge[2].keep),
        static_cast<short>(edge[2].keep), static_cast<short>(edge[3].keep), static_cast<short>(edge[3].keep),
        static_cast<short>(edge[3].keep), static_cast<short>(edge[3].keep));
    const __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(target, zero), keep01), 8);
    const __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(target, zero), keep23), 8);
    const __m128i out = _mm_add_epi8(_mm_packus_epi16(lo, hi), colour);
    *d0 = static_cast<QRgb>(_mm_cvtsi128_si32(out));
    *d1 = static_cast<QRgb>(_mm_cvtsi128_si32(_mm_srli_si128(out, 4)));
    *d2 = static_cast<QRgb>(_mm_cvtsi128_si32(_mm_srli_si128(out, 8)));
    *d3 = static_cast<QRgb>(_mm_cvtsi128_si32(_mm_srli_si128(out, 12)));
  }
#endif
  for (; edge < end; ++edge) {
    QRgb* dst = origin + edge->y * stride + edge->x;
    *dst = Over(edge->colour, edge->keep, *dst);
  }
}

void CircleStamp::StampClipped(const Sprite& sprite, QImage& target, std::int32_t left,
                               std::int32_t top) const {
  const std::int32_t width = target.width();
  const std::int32_t height = target.height();
  auto row = [&](std::int32_t y) { return reinterpret_cast<QRgb*>(target.scanLine(top + y)) + left; };
  for (const Run& run : sprite.runs) {
    if (top + run.y < 0 || top + run.y >= height) continue;
    const std::int32_t begin = std::max(run.x, -left);
    const std::int32_t end = std::min(run.x + run.length, width - left);
    if (begin >= end) continue;
    const QRgb* src = sprite.pixels.data() + run.y * side_;
    std::memcpy(row(run.y) + begin, src + begin, sizeof(QRgb) * (end - begin));
  }
  for (const Edge& edge : sprite.edges) {
    if (top + edge.y < 0 || top + edge.y >= height || left + edge.x < 0 || left + edge.x >= width) continue;
    QRgb* dst = row(edge.y) + edge.x;
    *dst = Over(edge.colour, edge.keep, *dst);
  }
}

}  // namespace tessaly
