// Checks of a picture of discs, worked out from the geometry alone: a disc of
// radius R pixels about each centre, black inside, a white rim one pixel wide
// just inside R, later discs over earlier ones, background everywhere else.
#pragma once

#include <QImage>
#include <QPointF>
#include <QRgb>
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace tessaly::testing {

// The world's 10 x 10 box spread over a whole picture, in its device pixels.
inline QPointF WorldToPixel(double x, double y, const QImage& picture) {
  return {x * picture.width() / 10.0, y * picture.height() / 10.0};
}

// Half a world unit, measured across.
inline double DiscRadius(const QImage& picture) { return picture.width() / 20.0; }

struct PictureFaults {
  int interior_not_black = 0;      // pixels well inside the topmost disc
  int outside_not_background = 0;  // pixels clear of every disc
  int rims_missing = 0;            // uncovered rims of the wrong width
  std::string first;               // where the first fault was seen

  [[nodiscard]] bool None() const {
    return interior_not_black == 0 && outside_not_background == 0 && rims_missing == 0;
  }
};

inline bool IsBlack(QRgb c) { return qRed(c) == 0 && qGreen(c) == 0 && qBlue(c) == 0; }
inline bool IsBright(QRgb c) { return qRed(c) >= 170 && qGreen(c) >= 170 && qBlue(c) >= 170; }

// `centres`, `radius` and the width of the rim in device pixels; discs drawn
// in the order given.
inline PictureFaults CheckDiscs(const QImage& image, const std::vector<QPointF>& centres,
                                double radius, QRgb background, double rim = 1.0) {
  PictureFaults faults;
  auto note = [&](const char* what, int x, int y) {
    if (faults.first.empty()) {
      faults.first = std::string(what) + " at (" + std::to_string(x) + ", " + std::to_string(y) + ")";
    }
  };
  // A pixel reaches 0.71 from its centre; a disc may stand an eighth of a
  // pixel from where it belongs.
  const double reach = radius + 1.0;        // beyond it a disc leaves a pixel alone
  const double inner = radius - rim - 1.0;  // within it a pixel is wholly interior
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QPointF p(x + 0.5, y + 0.5);
      int top = -1;
      double top_distance = 0.0;
      for (int i = static_cast<int>(centres.size()) - 1; i >= 0; --i) {
        const double d = std::hypot(p.x() - centres[i].x(), p.y() - centres[i].y());
        if (d <= reach) {
          top = i;
          top_distance = d;
          break;
        }
      }
      const QRgb c = image.pixel(x, y) | 0xff000000u;
      if (top < 0 && c != (background | 0xff000000u)) {
        ++faults.outside_not_background;
        note("background expected", x, y);
      } else if (top >= 0 && top_distance < inner && !IsBlack(c)) {
        ++faults.interior_not_black;
        note("black expected", x, y);
      }
    }
  }
  // The rim: along the four axis directions from each centre, the white that
  // the pixels near the radius hold adds up to the rim's width, unless another
  // disc touches it or the edge cuts it off.
  // Inside the radius a rim pixel is white over black, outside it white over
  // the background.
  auto level = [](QRgb c) { return (qRed(c) + qGreen(c) + qBlue(c)) / 3.0; };
  const double back_level = level(background);
  const int dx[] = {1, -1, 0, 0};
  const int dy[] = {0, 0, 1, -1};
  for (size_t i = 0; i < centres.size(); ++i) {
    const int cx = static_cast<int>(std::floor(centres[i].x()));
    const int cy = static_cast<int>(std::floor(centres[i].y()));
    for (int a = 0; a < 4; ++a) {
      bool skip = false;
      double white = 0.0;
      for (int k = static_cast<int>(radius - rim) - 2; k <= static_cast<int>(radius) + 2; ++k) {
        const int x = cx + dx[a] * k;
        const int y = cy + dy[a] * k;
        if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) {
          skip = true;
          break;
        }
        for (size_t j = 0; j < centres.size(); ++j) {
          if (j != i && std::hypot(x + 0.5 - centres[j].x(), y + 0.5 - centres[j].y()) <= radius + 1.5) skip = true;
        }
        const double d = std::hypot(x + 0.5 - centres[i].x(), y + 0.5 - centres[i].y());
        const double v = level(image.pixel(x, y));
        white += d < radius - rim / 2 ? v / 255.0 : (v - back_level) / (255.0 - back_level);
      }
      if (!skip && std::fabs(white - rim) > 0.4) {
        ++faults.rims_missing;
        note("rim expected", cx + dx[a] * static_cast<int>(radius), cy + dy[a] * static_cast<int>(radius));
      }
    }
  }
  return faults;
}

}  // namespace tessaly::testing
