#include "ui/app_icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace quarnet {

QImage DrawAppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 32.0, size / 32.0);  // drawn on a 32 by 32 grid

  QLinearGradient tile(0, 0, 0, 32);
  tile.setColorAt(0, QColor(0x3a, 0x86, 0xd8));
  tile.setColorAt(1, QColor(0x1a, 0x46, 0x8c));
  painter.setPen(Qt::NoPen);
  painter.setBrush(tile);
  painter.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);

  // The fibre: from the top left corner down into the box.
  QPainterPath fibre(QPointF(4, 6));
  fibre.cubicTo(QPointF(12, 6), QPointF(16, 8), QPointF(16, 14));
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(0x9a, 0xf0, 0x8a), 2.2, Qt::SolidLine, Qt::RoundCap));
  painter.drawPath(fibre);

  // The package: a white box with a lid line.
  painter.setPen(QPen(QColor(0x1a, 0x46, 0x8c), 1.2));
  painter.setBrush(Qt::white);
  painter.drawRoundedRect(QRectF(7, 14, 18, 13), 1.5, 1.5);
  painter.drawLine(QPointF(7, 18.5), QPointF(25, 18.5));
  painter.setBrush(QColor(0x9a, 0xf0, 0x8a));
  painter.drawEllipse(QPointF(16, 14), 2.2, 2.2);
  return image;
}

QIcon AppIcon() {
  QIcon icon;
  for (const int size : kIconSizes) icon.addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
  return icon;
}

}  // namespace quarnet
