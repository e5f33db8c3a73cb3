#include "widgets/picture_box.h"

#include <QColor>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>

#include "widgets/circle_stamp.h"
#include "platform/errors.h"

namespace tessaly {
namespace {

QColor ToQColor(Colour c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

void CheckFinite(float value) {
  if (!std::isfinite(value)) throw RuntimeError(ErrorKind::kInvalidOperation);
}

}  // namespace

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(2);
  setAttribute(Qt::WA_OpaquePaintEvent);
  FitImage();
}

PictureBox::~PictureBox() = default;

void PictureBox::SetScaleLeft(float value) { SetScale(scale_left_, value, ScaleValue::kOrigin); }
void PictureBox::SetScaleTop(float value) { SetScale(scale_top_, value, ScaleValue::kOrigin); }
void PictureBox::SetScaleWidth(float value) { SetScale(scale_width_, value, ScaleValue::kExtent); }
void PictureBox::SetScaleHeight(float value) { SetScale(scale_height_, value, ScaleValue::kExtent); }

void PictureBox::SetScale(float& slot, float value, ScaleValue kind) {
  // A zero extent would put the whole world on one line of pixels.
  if (kind == ScaleValue::kExtent && (value == 0.0f || !std::isfinite(value))) {
    throw RuntimeError(ErrorKind::kOutOfRange);
  }
  CheckFinite(value);
  slot = value;
  scale_set_ = true;
}

void PictureBox::SetBackColor(Colour colour) { back_color_ = colour; }

void PictureBox::SetFillStyle(tessaly::FillStyle style) {
  if (style != FillStyle::kSolid && style != FillStyle::kTransparent) {
    throw RuntimeError(ErrorKind::kOutOfRange);  // a value cast from outside the enumeration
  }
  fill_style_ = style;
}

void PictureBox::SetFillColor(Colour colour) { fill_color_ = colour; }

void PictureBox::Clear() {
  FitImage();
  image_.fill(ToQColor(back_color_));
  ScheduleRepaint();
}

void PictureBox::Circle(float x, float y, float radius, Colour outline) {
  CheckFinite(x);
  CheckFinite(y);
  CheckFinite(radius);
  const CircleLook look{ToQColor(outline), fill_style_ == FillStyle::kSolid, ToQColor(fill_color_),
                        image_ratio_};
  const qreal r = std::fabs(LengthToDevice(radius));
  if (!stamp_ || !stamp_->Draws(look, r)) stamp_ = std::make_unique<CircleStamp>(look, r);
  stamp_->Stamp(image_, ToDevice(x, y));
  ScheduleRepaint();
}

void PictureBox::paintEvent(QPaintEvent* event) {
  repaint_pending_ = false;
  FitImage();
  QFrame::paintEvent(event);
  QPainter painter(this);
  // The image has device pixels; drawn into the client rectangle in logical
  // pixels, it lands one to one on the screen's pixels.
  painter.drawImage(QRectF(contentsRect()), image_);
  if (hasFocus()) {
    // The border shows the keyboard focus; the picture stays uncovered.
    painter.setPen(QPen(palette().color(QPalette::Highlight), frameWidth()));
    const qreal inset = frameWidth() / 2.0;
    painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
  }
}

void PictureBox::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  FitImage();
}

void PictureBox::FitImage() {
  const QSize client = contentsRect().size().expandedTo(QSize(1, 1));
  if (!scale_set_) {
    scale_width_ = static_cast<float>(client.width());
    scale_height_ = static_cast<float>(client.height());
  }
  const qreal ratio = PixelRatio();
  const QSize wanted(std::max(1, qRound(client.width() * ratio)),
                     std::max(1, qRound(client.height() * ratio)));
  if (image_.size() == wanted && image_ratio_ == ratio) return;
  image_ratio_ = ratio;

  QImage fitted(wanted, QImage::Format_RGB32);
  fitted.fill(ToQColor(back_color_));
  if (!image_.isNull()) {
    // Keep the old picture, rescaled, until the next drawing replaces it.
    QPainter painter(&fitted);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(wanted)), image_);
  }
  image_ = std::move(fitted);
}

QPointF PictureBox::ToDevice(float x, float y) const {
  const double width = image_.width();
  const double height = image_.height();
  return QPointF((static_cast<double>(x) - scale_left_) / scale_width_ * width,
                 (static_cast<double>(y) - scale_top_) / scale_height_ * height);
}

qreal PictureBox::LengthToDevice(float length) const {
  return static_cast<double>(length) / scale_width_ * image_.width();
}

qreal PictureBox::PixelRatio() const { return std::max<qreal>(devicePixelRatioF(), 1.0); }

void PictureBox::ScheduleRepaint() {
  // One request per picture: asking again for every circle costs more than
  // stamping it.
  if (repaint_pending_) return;
  repaint_pending_ = true;
  update(contentsRect());
}

}  // namespace tessaly
