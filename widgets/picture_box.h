// The picture box: a framed drawing surface with a user coordinate system.
//
// The client area (inside a 2-pixel sunken border) is backed by an image at
// the screen's device pixel ratio, so the last picture stays between drawing
// calls and survives the window being covered. A point (x, y) in user units
// lies at the fraction (x - ScaleLeft) / ScaleWidth across the client area
// from its left edge and (y - ScaleTop) / ScaleHeight down from its top edge.
// Until the scale is set, one user unit is one pixel with (0, 0) at the top
// left of the client area.
//
// Every call that the surface refuses raises RuntimeError: a zero or
// non-finite ScaleWidth or ScaleHeight (kOutOfRange), a non-finite ScaleLeft
// or ScaleTop, or a circle at a non-finite place or of non-finite size
// (kInvalidOperation).
#pragma once

#include <QColor>
#include <QFrame>
#include <QImage>
#include <QPointF>
#include <memory>

#include "platform/colour.h"

class QPainter;

namespace tessaly {

class CircleStamp;

// How closed shapes are drawn: filled solidly with FillColor, or left open.
enum class FillStyle { kSolid = 0, kTransparent = 1 };

class PictureBox : public QFrame {
  Q_OBJECT

 public:
  explicit PictureBox(QWidget* parent = nullptr);
  ~PictureBox() override;

  [[nodiscard]] float ScaleLeft() const { return scale_left_; }
  [[nodiscard]] float ScaleTop() const { return scale_top_; }
  [[nodiscard]] float ScaleWidth() const { return scale_width_; }
  [[nodiscard]] float ScaleHeight() const { return scale_height_; }
  void SetScaleLeft(float value);
  void SetScaleTop(float value);
  void SetScaleWidth(float value);
  void SetScaleHeight(float value);

  [[nodiscard]] Colour BackColor() const { return back_color_; }
  void SetBackColor(Colour colour);

  [[nodiscard]] tessaly::FillStyle FillStyle() const { return fill_style_; }
  void SetFillStyle(tessaly::FillStyle style);

  [[nodiscard]] Colour FillColor() const { return fill_color_; }
  void SetFillColor(Colour colour);

  // Erases the whole client area to BackColor.
  void Clear();

  // A circle about (x, y) whose radius is measured along the horizontal axis
  // in user units; round on screen whatever the scale. The rim, one pixel
  // wide, is drawn in `outline`; the interior follows FillStyle and FillColor.
  // The circle is painted once per look and size and then stamped, within an
  // eighth of a pixel of where PaintCircle would put it.
  void Circle(float x, float y, float radius, Colour outline);

  // The picture in device pixels: the client area's size times the device
  // pixel ratio.
  [[nodiscard]] const QImage& Image() const { return image_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Fits the image to the client area at the current pixel ratio, keeping
  // what it showed.
  void FitImage();
  // Stores one of the four scale values, refusing what no scale can hold.
  enum class ScaleValue { kOrigin, kExtent };
  void SetScale(float& slot, float value, ScaleValue kind);
  [[nodiscard]] QPointF ToDevice(float x, float y) const;
  [[nodiscard]] qreal LengthToDevice(float length) const;
  [[nodiscard]] qreal PixelRatio() const;
  void ScheduleRepaint();

  QImage image_;
  qreal image_ratio_ = 1.0;  // device pixels per pixel of the client area
  std::unique_ptr<CircleStamp> stamp_;  // the circle drawn last, ready to stamp
  bool repaint_pending_ = false;
  float scale_left_ = 0.0f;
  float scale_top_ = 0.0f;
  float scale_width_ = 1.0f;
  float scale_height_ = 1.0f;
  bool scale_set_ = false;  // until then the scale follows the client size
  Colour back_color_ = Rgb(255, 255, 255);
  tessaly::FillStyle fill_style_ = tessaly::FillStyle::kTransparent;
  Colour fill_color_ = Rgb(0, 0, 0);
};

}  // namespace tessaly
