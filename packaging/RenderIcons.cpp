// Build-time tool: writes the program's icon, as the program draws it, into
// a freedesktop icon theme folder: <folder>/<n>x<n>/apps/kestrova.png, or
// into one Windows icon file holding every size.
// Usage: kestrova_render_icons FOLDER SIZE...
//        kestrova_render_icons --ico FILE SIZE...
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QString>
#include <QtEndian>
#include <iostream>
#include <vector>

#include "app/ProgramIcon.h"

namespace {

void PutLe16(QByteArray& out, int value) {
  const auto le = qToLittleEndian(static_cast<quint16>(value));
  out.append(reinterpret_cast<const char*>(&le), sizeof le);
}

void PutLe32(QByteArray& out, qint64 value) {
  const auto le = qToLittleEndian(static_cast<quint32>(value));
  out.append(reinterpret_cast<const char*>(&le), sizeof le);
}

// One image of an icon file: PNG for 256 pixels (as Windows stores its large
// icons), a 32-bit bitmap with an empty mask below that, which every reader
// of icon files takes.
QByteArray IconImage(const QImage& image) {
  QByteArray out;
  const int side = image.width();
  if (side >= 256) {
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return out;
  }
  const int maskRowBytes = ((side + 31) / 32) * 4;
  PutLe32(out, 40);        // header size
  PutLe32(out, side);      // width
  PutLe32(out, 2 * side);  // height of the colours and the mask together
  PutLe16(out, 1);         // planes
  PutLe16(out, 32);        // bits per pixel
  PutLe32(out, 0);         // no compression
  PutLe32(out, static_cast<qint64>(side) * side * 4 + static_cast<qint64>(maskRowBytes) * side);
  for (int i = 0; i < 4; ++i) PutLe32(out, 0);                       // resolution, palette
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);  // not premultiplied
  for (int y = side - 1; y >= 0; --y) {                              // bottom-up
    const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    for (int x = 0; x < side; ++x) {
      const char bgra[4] = {static_cast<char>(qBlue(row[x])), static_cast<char>(qGreen(row[x])),
                            static_cast<char>(qRed(row[x])), static_cast<char>(qAlpha(row[x]))};
      out.append(bgra, 4);
    }
  }
  out.append(QByteArray(static_cast<qsizetype>(maskRowBytes) * side, '\0'));  // the alpha decides
  return out;
}

bool WriteIconFile(const QString& path, const std::vector<int>& sides) {
  std::vector<QByteArray> images;
  for (const int side : sides) images.push_back(IconImage(kestrova::PaintProgramIcon(side)));
  QByteArray out;
  PutLe16(out, 0);  // reserved
  PutLe16(out, 1);  // icons
  PutLe16(out, static_cast<int>(images.size()));
  qint64 offset = 6 + 16 * static_cast<qint64>(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const int side = sides[i];
    out.append(static_cast<char>(side >= 256 ? 0 : side));  // 0 stands for 256
    out.append(static_cast<char>(side >= 256 ? 0 : side));
    out.append('\0');  // no palette
    out.append('\0');
    PutLe16(out, 1);   // planes
    PutLe16(out, 32);  // bits per pixel
    PutLe32(out, images[i].size());
    PutLe32(out, offset);
    offset += images[i].size();
  }
  for (const QByteArray& image : images) out.append(image);
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(out) == out.size() && file.flush();
}

}  // namespace

int main(int argc, char** argv) {
  const bool ico = argc > 1 && QByteArray(argv[1]) == "--ico";
  const int first = ico ? 2 : 1;
  if (argc < first + 2) {
    std::cerr << "usage: kestrova_render_icons FOLDER SIZE...\n"
                 "       kestrova_render_icons --ico FILE SIZE...\n";
    return 2;
  }
  // No display needed: the icon is painted into images.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  std::vector<int> sides;
  for (int i = first + 1; i < argc; ++i) {
    bool ok = false;
    const int side = QString::fromLocal8Bit(argv[i]).toInt(&ok);
    // An icon file holds no more than 256 pixels a side.
    if (!ok || side < 16 || side > (ico ? 256 : 1024)) {
      std::cerr << "kestrova_render_icons: bad size '" << argv[i] << "'\n";
      return 2;
    }
    sides.push_back(side);
  }
  const QString target = QString::fromLocal8Bit(argv[first]);
  if (ico) {
    if (!WriteIconFile(target, sides)) {
      std::cerr << "kestrova_render_icons: cannot write " << target.toStdString() << '\n';
      return 1;
    }
    return 0;
  }
  const QDir root(target);
  for (const int side : sides) {
    const QString folder = QStringLiteral("%1x%1/apps").arg(side);
    const QString path = root.filePath(folder + QStringLiteral("/kestrova.png"));
    if (!root.mkpath(folder) || !kestrova::PaintProgramIcon(side).save(path, "PNG")) {
      std::cerr << "kestrova_render_icons: cannot write " << path.toStdString() << '\n';
      return 1;
    }
  }
  return 0;
}
