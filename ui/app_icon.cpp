#include "ui/app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace tessaly {

QImage DrawAppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal half = size / 2.0;
  const qreal outline = std::max<qreal>(1.0, size / 32.0);
  const qreal radius = half / 2.0 - outline / 2.0 - size / 64.0;
  struct Disc {
    qreal cx;
    qreal cy;
    QColor colour;
  };
  const Disc discs[] = {
      {half / 2, half / 2, QColor(0, 0, 255)},                 // blue, upper left
      {half + half / 2, half / 2, QColor(255, 255, 0)},        // yellow, upper right
      {half / 2, half + half / 2, QColor(0, 255, 255)},        // cyan, lower left
      {half + half / 2, half + half / 2, QColor(0, 255, 0)}};  // green, lower right
  painter.setPen(QPen(Qt::black, outline));
  for (const Disc& d : discs) {
    painter.setBrush(d.colour);
    painter.drawEllipse(QPointF(d.cx, d.cy), radius, radius);
  }
  return image;
}

QIcon MakeAppIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 256}) icon.addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
  return icon;
}

}  // namespace tessaly
