#include "app/ScopeDisplayWidget.h"

#include <QPaintEvent>
#include <QPainter>

namespace kestrova {

ScopeDisplayWidget::ScopeDisplayWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ScopeDisplayWidget::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  if (painter_) {
    // A picture of the screen's ratio lands pixel for pixel on the device;
    // the painter is clipped to the region being repainted, so a new frame
    // copies the plot alone to the window.
    const bool plotOnly = !plotArea_.isEmpty() && plotArea_.contains(event->region().boundingRect());
    painter.drawImage(QPointF(0, 0), painter_(devicePixelRatioF(), plotOnly));
  } else {
    painter.fillRect(rect(), Qt::black);
  }
  painter.end();
  if (paintObserver_) paintObserver_();
  if (afterPaint_) afterPaint_();
}

}  // namespace kestrova
