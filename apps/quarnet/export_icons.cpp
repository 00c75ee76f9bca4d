// quarnet-icons DIR NAME: writes the application icon, drawn by the same
// code as the windows' icon, as DIR/<size>x<size>/apps/NAME.png for every
// size the program draws, and all sizes as the Windows icon DIR/NAME.ico. Run at build time for the installed icon theme;
// it paints into images only, so it needs no display and no application.
#include <QDir>
#include <QFile>
#include <cstdio>

#include "ui/app_icon.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("Usage: quarnet-icons DIR NAME\n", stderr);
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  for (const int size : quarnet::kIconSizes) {
    const QString folder = QStringLiteral("%1x%1/apps").arg(size);
    const QString path = dir.filePath(folder + '/' + QString::fromLocal8Bit(argv[2]) + ".png");
    if (!dir.mkpath(folder) || !quarnet::DrawAppIcon(size).save(path)) {
      std::fprintf(stderr, "quarnet-icons: cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  QFile ico(dir.filePath(QString::fromLocal8Bit(argv[2]) + ".ico"));
  const QByteArray bytes = quarnet::AppIconFile();
  if (!ico.open(QIODevice::WriteOnly) || ico.write(bytes) != bytes.size() || !ico.flush()) {
    std::fprintf(stderr, "quarnet-icons: cannot write %s\n", qPrintable(ico.fileName()));
    return 1;
  }
  return 0;
}
