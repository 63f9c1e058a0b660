#include "app/ProgramIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <array>
#include <cmath>
#include <numbers>

namespace kestrova {

namespace {

const QColor kBezel(58, 66, 78);
const QColor kBezelEdge(24, 28, 34);
const QColor kScreen(8, 36, 20);
const QColor kGrid(34, 92, 52);
const QColor kTrace(92, 255, 128);
const QColor kTriggerMark(255, 214, 64);

}  // namespace

QImage PaintProgramIcon(int side) {
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, true);
  const double unit = side / 16.0;

  // The case: a rounded box with a darker rim.
  const QRectF body(0.5, 0.5 + unit, side - 1.0, side - 1.0 - 2.0 * unit);
  painter.setPen(QPen(kBezelEdge, std::max(1.0, unit * 0.75)));
  painter.setBrush(kBezel);
  painter.drawRoundedRect(body, 2.0 * unit, 2.0 * unit);

  // The screen.
  const QRectF screen = body.adjusted(1.5 * unit, 1.5 * unit, -1.5 * unit, -1.5 * unit);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kScreen);
  painter.drawRect(screen);

  // A graticule on the larger sizes: a centre cross and quarter lines.
  if (side >= 32) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(kGrid, 1.0, Qt::DotLine));
    for (int k = 1; k < 4; ++k) {
      const double x = screen.left() + screen.width() * k / 4.0;
      const double y = screen.top() + screen.height() * k / 4.0;
      painter.drawLine(QPointF(x, screen.top()), QPointF(x, screen.bottom()));
      painter.drawLine(QPointF(screen.left(), y), QPointF(screen.right(), y));
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
  }

  // The trace: one and a half periods of a sine, inside the screen.
  painter.setClipRect(screen);
  QPainterPath trace;
  constexpr int kSteps = 48;
  for (int i = 0; i <= kSteps; ++i) {
    const double t = static_cast<double>(i) / kSteps;
    const double x = screen.left() + t * screen.width();
    const double y = screen.center().y() - 0.32 * screen.height() * std::sin(3.0 * std::numbers::pi * t);
    if (i == 0) {
      trace.moveTo(x, y);
    } else {
      trace.lineTo(x, y);
    }
  }
  painter.setPen(QPen(kTrace, std::max(1.0, unit), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(Qt::NoBrush);
  // At 16 pixels a smoothed one-pixel trace would fade into the screen; draw it crisp.
  painter.setRenderHint(QPainter::Antialiasing, side >= 32);
  painter.drawPath(trace);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setClipping(false);

  // The trigger mark at the screen's left edge, on the larger sizes.
  if (side >= 32) {
    const double y = screen.center().y();
    const std::array<QPointF, 3> mark = {QPointF(screen.left(), y - 1.5 * unit),
                                         QPointF(screen.left() + 1.5 * unit, y),
                                         QPointF(screen.left(), y + 1.5 * unit)};
    painter.setPen(Qt::NoPen);
    painter.setBrush(kTriggerMark);
    painter.drawPolygon(mark.data(), static_cast<int>(mark.size()));
  }
  return image;
}

QIcon ProgramIcon() {
  // Built on each call (three small images): a cached icon would outlive the
  // application object that its pixmaps need.
  QIcon icon;
  for (const int side : {16, 32, 48}) icon.addPixmap(QPixmap::fromImage(PaintProgramIcon(side)));
  return icon;
}

}  // namespace kestrova
