#include "display/Canvas.h"

#include <QFont>
#include <QPainter>
#include <QRect>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace kestrova {

namespace {

// Coordinates are pulled into +-2^29 before a line is rasterised, which keeps
// the integer arithmetic below far from overflow. Rows computed from sample
// values saturate at +-1e9, so a line's on-canvas pixels do not change.
constexpr long long kCoordinateLimit = 1LL << 29;

long long ClampCoordinate(int value) {
  return std::clamp<long long>(value, -kCoordinateLimit, kCoordinateLimit);
}

}  // namespace

Canvas::Canvas(int width, int height, ColorRef fill)
    : image_(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32) {
  image_.fill(ToQRgb(fill));
}

ColorRef Canvas::PixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
  return FromQRgb(reinterpret_cast<const QRgb*>(image_.constScanLine(y))[x]);
}

void Canvas::Fill(ColorRef color) {
  image_.fill(ToQRgb(color));
}

void Canvas::SetPixel(int x, int y, ColorRef color) {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return;
  reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = ToQRgb(color);
}

void Canvas::DrawLine(int fromX, int fromY, int toX, int toY, ColorRef color) {
  if (image_.isNull()) return;
  const long long x0 = ClampCoordinate(fromX);
  const long long y0 = ClampCoordinate(fromY);
  const long long dx = ClampCoordinate(toX) - x0;
  const long long dy = ClampCoordinate(toY) - y0;
  if (dx == 0 && dy == 0) return;

  // Walk the major axis one pixel per step; the minor coordinate of step i is
  // i * |dMinor| / |dMajor| rounded to the nearest pixel.
  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  const long long major0 = xMajor ? x0 : y0;
  const long long minor0 = xMajor ? y0 : x0;
  const long long majorStep = (xMajor ? dx : dy) > 0 ? 1 : -1;
  const long long minorStep = (xMajor ? dy : dx) >= 0 ? 1 : -1;
  const long long steps = std::llabs(xMajor ? dx : dy);  // the end point is step `steps`: left out
  const long long slope = std::llabs(xMajor ? dy : dx);
  const long long majorSize = xMajor ? Width() : Height();
  const long long minorSize = xMajor ? Height() : Width();

  // Only the steps whose major coordinate is on the canvas.
  long long first = 0;
  long long last = steps - 1;
  if (majorStep > 0) {
    first = std::max(first, -major0);
    last = std::min(last, majorSize - 1 - major0);
  } else {
    first = std::max(first, major0 - (majorSize - 1));
    last = std::min(last, major0);
  }
  if (first > last) return;

  const long long denominator = 2 * steps;
  const long long numerator = 2 * first * slope + steps;
  long long offset = numerator / denominator;
  long long remainder = numerator % denominator;

  const QRgb pixel = ToQRgb(color);
  auto* const bits = reinterpret_cast<QRgb*>(image_.bits());
  const long long stride = image_.bytesPerLine() / static_cast<long long>(sizeof(QRgb));
  for (long long i = first; i <= last; ++i) {
    const long long major = major0 + i * majorStep;
    const long long minor = minor0 + offset * minorStep;
    if (minor >= 0 && minor < minorSize) {
      const long long x = xMajor ? major : minor;
      const long long y = xMajor ? minor : major;
      bits[y * stride + x] = pixel;
    }
    remainder += 2 * slope;
    if (remainder >= denominator) {
      remainder -= denominator;
      ++offset;
    }
  }
}

void Canvas::FillPolygon(std::span<const QPoint> corners, ColorRef color) {
  if (image_.isNull() || corners.size() < 3) return;
  const auto [lowest, highest] = std::ranges::minmax_element(corners, {}, &QPoint::y);
  const int firstRow = std::max(0, lowest->y());
  const int lastRow = std::min(Height() - 1, highest->y());
  const QRgb pixel = ToQRgb(color);
  std::vector<double> crossings;
  for (int y = firstRow; y <= lastRow; ++y) {
    const double centreY = y + 0.5;
    crossings.clear();
    for (std::size_t i = 0; i < corners.size(); ++i) {
      const QPoint a = corners[i];
      const QPoint b = corners[(i + 1) % corners.size()];
      if ((a.y() <= centreY) == (b.y() <= centreY)) continue;
      crossings.push_back(a.x() + (centreY - a.y()) * (b.x() - a.x()) / (b.y() - a.y()));
    }
    std::ranges::sort(crossings);
    auto* const row = reinterpret_cast<QRgb*>(image_.scanLine(y));
    for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
      // Pixel x is inside when its centre x + 0.5 lies in [from, to).
      const double from = std::max(std::ceil(crossings[i] - 0.5), 0.0);
      const double to = std::min(std::ceil(crossings[i + 1] - 0.5), static_cast<double>(Width()));
      for (int x = static_cast<int>(from); x < static_cast<int>(to); ++x) row[x] = pixel;
    }
  }
}

void Canvas::DrawText(const Box& box, std::string_view text, ColorRef color, TextAlign align) {
  texts_.push_back(CanvasText{box, std::string(text), color, align});
  if (!textPixels_ || image_.isNull()) return;
  QPainter painter(&image_);
  PaintText(painter, texts_.back());
}

void Canvas::PaintText(QPainter& painter, const CanvasText& text) {
  PaintTexts(painter, std::span(&text, 1));
}

void Canvas::PaintTexts(QPainter& painter, std::span<const CanvasText> texts) {
  // The painter is set up once for all of them.
  painter.save();
  QFont font = painter.font();
  font.setStyleStrategy(QFont::NoAntialias);
  painter.setFont(font);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  painter.setBackgroundMode(Qt::TransparentMode);
  for (const CanvasText& text : texts) {
    const Box& box = text.box;
    if (text.text.empty() || box.Width() <= 0 || box.Height() <= 0) continue;
    painter.setPen(QColor::fromRgb(ToQRgb(text.color)));
    const QRect rect(box.left, box.top, box.Width(), box.Height());
    painter.setClipRect(rect);
    const int horizontal = text.align == TextAlign::Center ? Qt::AlignHCenter : Qt::AlignLeft;
    painter.drawText(rect, horizontal | Qt::AlignTop | Qt::TextSingleLine,
                     QString::fromUtf8(text.text.data(), static_cast<qsizetype>(text.text.size())));
  }
  painter.restore();
}

void Canvas::CopyFrom(const Canvas& source, int x, int y) {
  AppendTexts(source, x, y);
  CopyPixels(source, x, y);
}

void Canvas::AppendTexts(const Canvas& source, int x, int y) {
  for (const CanvasText& t : source.texts_) {
    CanvasText moved = t;
    moved.box = Box{t.box.left + x, t.box.top + y, t.box.right + x, t.box.bottom + y};
    texts_.push_back(std::move(moved));
  }
}

void Canvas::CopyPixels(const Canvas& source, int x, int y) {
  if (image_.isNull() || source.image_.isNull()) return;
  const int fromColumn = std::max(0, -x);
  const int toColumn = std::min(source.Width(), Width() - x);
  const int fromRow = std::max(0, -y);
  const int toRow = std::min(source.Height(), Height() - y);
  if (fromColumn >= toColumn || fromRow >= toRow) return;
  const auto bytes = static_cast<std::size_t>(toColumn - fromColumn) * sizeof(QRgb);
  auto* const bits = image_.bits();  // one detach check, not one per row
  const qsizetype stride = image_.bytesPerLine();
  for (int row = fromRow; row < toRow; ++row) {
    const auto* from = reinterpret_cast<const QRgb*>(source.image_.constScanLine(row)) + fromColumn;
    auto* to = reinterpret_cast<QRgb*>(bits + (row + y) * stride) + fromColumn + x;
    std::memcpy(to, from, bytes);
  }
}

void Canvas::CopyAround(const Canvas& source, const Box& hole, ColorRef fill) {
  if (source.Width() != Width() || source.Height() != Height() || image_.isNull()) {
    Fill(fill);
    texts_.clear();
    CopyFrom(source, 0, 0);
    return;
  }
  texts_ = source.texts_;  // element-wise: keeps the strings' storage
  const int holeLeft = std::clamp(hole.left, 0, Width());
  const int holeRight = std::clamp(hole.right, holeLeft, Width());
  const int holeTop = std::clamp(hole.top, 0, Height());
  const int holeBottom = std::clamp(hole.bottom, holeTop, Height());
  auto* const bits = image_.bits();
  const qsizetype stride = image_.bytesPerLine();
  const auto rowBytes = static_cast<std::size_t>(Width()) * sizeof(QRgb);
  for (int row = 0; row < Height(); ++row) {
    const auto* from = reinterpret_cast<const QRgb*>(source.image_.constScanLine(row));
    auto* to = reinterpret_cast<QRgb*>(bits + row * stride);
    if (row < holeTop || row >= holeBottom) {
      std::memcpy(to, from, rowBytes);
      continue;
    }
    std::memcpy(to, from, static_cast<std::size_t>(holeLeft) * sizeof(QRgb));
    std::memcpy(to + holeRight, from + holeRight,
                static_cast<std::size_t>(Width() - holeRight) * sizeof(QRgb));
  }
}

Canvas Canvas::ViewOf(Canvas& target, const Box& area) {
  Canvas view;
  const int left = std::clamp(area.left, 0, target.Width());
  const int right = std::clamp(area.right, left, target.Width());
  const int top = std::clamp(area.top, 0, target.Height());
  const int bottom = std::clamp(area.bottom, top, target.Height());
  if (target.image_.isNull() || right == left || bottom == top) return view;
  uchar* const origin = target.image_.bits() + top * target.image_.bytesPerLine() +
                        static_cast<qsizetype>(left) * static_cast<qsizetype>(sizeof(QRgb));
  view.image_ =
      QImage(origin, right - left, bottom - top, target.image_.bytesPerLine(), QImage::Format_RGB32);
  return view;
}

}  // namespace kestrova
