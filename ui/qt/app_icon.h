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

// The Windows installer's pictures, 24 bits per pixel as it takes them:
// beside its first and last pages (164 by 314 pixels), and at the right of
// the other pages' white headers (150 by 57).
QImage DrawInstallerSide();
QImage DrawInstallerHeader();

// All eight sizes.
QIcon AppIcon();

// All eight sizes as a Windows icon file: 32-bit images with alpha, each
// with its (empty) transparency mask.
QByteArray AppIconFile();

}  // namespace quarnet
