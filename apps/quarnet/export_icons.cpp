// quarnet-icons DIR NAME: writes the application icon, drawn by the same
// code as the windows' icon, as DIR/<size>x<size>/apps/NAME.png for every
// size the program draws, all sizes as the Windows icon DIR/NAME.ico, and
// the Windows installer's pictures DIR/NAME-installer-side.bmp and
// DIR/NAME-installer-header.bmp. Run at build time for the installed icon
// theme and the Windows build; it paints into images only, so it needs no
// display and no application.
#include <QDir>
#include <QFile>
#include <cstdio>

#include "ui/qt/app_icon.h"

namespace {

bool Save(const QImage& image, const QString& path) {
  if (image.save(path)) return true;
  std::fprintf(stderr, "quarnet-icons: cannot write %s\n", qPrintable(path));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("Usage: quarnet-icons DIR NAME\n", stderr);
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  const QString name = QString::fromLocal8Bit(argv[2]);
  for (const int size : quarnet::kIconSizes) {
    const QString folder = QStringLiteral("%1x%1/apps").arg(size);
    dir.mkpath(folder);  // a folder that is missing fails the save, which says so
    if (!Save(quarnet::DrawAppIcon(size), dir.filePath(folder + '/' + name + ".png"))) return 1;
  }
  if (!Save(quarnet::DrawInstallerSide(), dir.filePath(name + "-installer-side.bmp")) ||
      !Save(quarnet::DrawInstallerHeader(), dir.filePath(name + "-installer-header.bmp"))) {
    return 1;
  }
  QFile ico(dir.filePath(name + ".ico"));
  const QByteArray bytes = quarnet::AppIconFile();
  if (!ico.open(QIODevice::WriteOnly) || ico.write(bytes) != bytes.size() || !ico.flush()) {
    std::fprintf(stderr, "quarnet-icons: cannot write %s\n", qPrintable(ico.fileName()));
    return 1;
  }
  return 0;
}
