#include "ui/qt/app_icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cstdint>

namespace quarnet {
namespace {

// The tile's blue, from its top to its bottom.
const QColor kTileTop(0x3a, 0x86, 0xd8);
const QColor kTileBottom(0x1a, 0x46, 0x8c);

}  // namespace

QImage DrawAppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 32.0, size / 32.0);  // drawn on a 32 by 32 grid

  QLinearGradient tile(0, 0, 0, 32);
  tile.setColorAt(0, kTileTop);
  tile.setColorAt(1, kTileBottom);
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

namespace {

void Put16(QByteArray& out, int value) {
  out.append(static_cast<char>(value & 0xff)).append(static_cast<char>((value >> 8) & 0xff));
}

void Put32(QByteArray& out, std::uint32_t value) {
  Put16(out, static_cast<int>(value & 0xffff));
  Put16(out, static_cast<int>(value >> 16));
}

// A bitmap of `size` square: its header (twice the height: image and
// mask), the pixels bottom-up as B, G, R, A, then the mask, rows padded to
// four bytes.
QByteArray IconImage(int size) {
  const QImage image = DrawAppIcon(size);
  QByteArray out;
  for (const std::uint32_t field : {40u, std::uint32_t(size), std::uint32_t(2 * size)}) Put32(out, field);
  Put16(out, 1);   // planes
  Put16(out, 32);  // bits per pixel
  for (int i = 0; i < 6; ++i) Put32(out, 0);  // no compression, sizes and colours implied
  for (int y = size - 1; y >= 0; --y) {
    for (int x = 0; x < size; ++x) Put32(out, image.pixel(x, y));  // 0xAARRGGBB, little-endian
  }
  out.append(QByteArray(((size + 31) / 32) * 4 * size, '\0'));
  return out;
}

}  // namespace

QByteArray AppIconFile() {
  QByteArray directory;
  QByteArray images;
  Put16(directory, 0);
  Put16(directory, 1);  // an icon
  Put16(directory, kIconSizes.size());
  const std::uint32_t firstImage = 6 + 16 * kIconSizes.size();
  for (const int size : kIconSizes) {
    const QByteArray image = IconImage(size);
    directory.append(static_cast<char>(size)).append(static_cast<char>(size));  // sizes < 256
    Put16(directory, 0);  // no palette
    Put16(directory, 1);
    Put16(directory, 32);
    Put32(directory, image.size());
    Put32(directory, firstImage + images.size());
    images.append(image);
  }
  return directory + images;
}

// The icon high on the tile's blue, which fills the picture.
QImage DrawInstallerSide() {
  constexpr int kWidth = 164;
  constexpr int kHeight = 314;
  constexpr int kIcon = 96;
  QImage image(kWidth, kHeight, QImage::Format_RGB888);
  QPainter painter(&image);
  QLinearGradient ground(0, 0, 0, kHeight);
  ground.setColorAt(0, kTileTop);
  ground.setColorAt(1, kTileBottom);
  painter.fillRect(image.rect(), ground);
  painter.drawImage((kWidth - kIcon) / 2, kIcon / 2, DrawAppIcon(kIcon));
  return image;
}

// The icon at the right end of the header's white, as far from the right
// edge as from the top.
QImage DrawInstallerHeader() {
  constexpr int kWidth = 150;
  constexpr int kHeight = 57;
  constexpr int kIcon = 48;
  QImage image(kWidth, kHeight, QImage::Format_RGB888);
  image.fill(Qt::white);
  QPainter painter(&image);
  const int margin = (kHeight - kIcon) / 2;
  painter.drawImage(kWidth - kIcon - margin, margin, DrawAppIcon(kIcon));
  return image;
}

QIcon AppIcon() {
  QIcon icon;
  for (const int size : kIconSizes) icon.addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
  return icon;
}

}  // namespace quarnet
