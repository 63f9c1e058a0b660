#include "app/ScopeDisplayWidget.h"

#include <QPainter>

namespace kestrova {

ScopeDisplayWidget::ScopeDisplayWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ScopeDisplayWidget::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  if (painter_) {
    // A picture of the screen's ratio lands pixel for pixel on the device.
    painter.drawImage(QPointF(0, 0), painter_(devicePixelRatioF()));
  } else {
    painter.fillRect(rect(), Qt::black);
  }
  painter.end();
  if (paintObserver_) paintObserver_();
  if (afterPaint_) afterPaint_();
}

}  // namespace kestrova
