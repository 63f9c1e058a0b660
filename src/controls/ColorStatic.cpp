#include "controls/ColorStatic.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

#include "controls/ColorConversion.h"

namespace kestrova {

CColorStatic::CColorStatic(QWidget* parent)
    : QLabel(parent),
      textColor_(ColorRefFromQColor(QApplication::palette().color(QPalette::WindowText))),
      backgroundColor_(ColorRefFromQColor(QApplication::palette().color(QPalette::Button))) {
  // Texts come from the program and from the unit; never read them as markup.
  setTextFormat(Qt::PlainText);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setAttribute(Qt::WA_OpaquePaintEvent);  // the background colour covers it all
}

void CColorStatic::SetTextColor(std::uint32_t color, bool redraw) {
  textColor_ = color;
  if (redraw) update();
}

void CColorStatic::SetBackgroundColor(std::uint32_t color, bool redraw) {
  backgroundColor_ = color;
  // A static with a background of its own covers its area, so a change of
  // its text (the trigger count, every frame) repaints it alone, not the
  // group box behind it.
  setAttribute(Qt::WA_OpaquePaintEvent, color != kNoBackground);
  if (redraw) update();
}

void CColorStatic::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  if (backgroundColor_ != kNoBackground) painter.fillRect(rect(), QColorFromColorRef(backgroundColor_));
  painter.setFont(font());
  painter.setPen(QColorFromColorRef(textColor_));
  // Text over the background, without a box of its own; clipped to the control.
  painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, text());
}

}  // namespace kestrova
