// Build-time tool: writes the program's icon, as the program draws it, into
// a freedesktop icon theme folder: <folder>/<n>x<n>/apps/kestrova.png.
// Usage: kestrova_render_icons FOLDER SIZE...
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QString>
#include <iostream>

#include "app/ProgramIcon.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: kestrova_render_icons FOLDER SIZE...\n";
    return 2;
  }
  // No display needed: the icon is painted into images.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  const QDir root(QString::fromLocal8Bit(argv[1]));
  for (int i = 2; i < argc; ++i) {
    bool ok = false;
    const int side = QString::fromLocal8Bit(argv[i]).toInt(&ok);
    if (!ok || side < 16 || side > 1024) {
      std::cerr << "kestrova_render_icons: bad size '" << argv[i] << "'\n";
      return 2;
    }
    const QString folder = QStringLiteral("%1x%1/apps").arg(side);
    const QString path = root.filePath(folder + QStringLiteral("/kestrova.png"));
    if (!root.mkpath(folder) || !kestrova::PaintProgramIcon(side).save(path, "PNG")) {
      std::cerr << "kestrova_render_icons: cannot write " << path.toStdString() << '\n';
      return 1;
    }
  }
  return 0;
}
