#pragma once
// The application icon, drawn in code: a blue tile with a white package box
// and a light-green fibre running into it.
#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <array>

namespace quarnet {

inline constexpr std::array<int, 8> kIconSizes = {16, 24, 32, 48, 64, 72, 96, 128};

// One size of the icon, 32 bits per pixel with alpha.
QImage DrawAppIcon(int size);

// All eight sizes.
QIcon AppIcon();

// All eight sizes as a Windows icon file: 32-bit images with alpha, each
// with its (empty) transparency mask.
QByteArray AppIconFile();

}  // namespace quarnet
