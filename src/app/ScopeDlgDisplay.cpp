// The scope display inside the main window: composing the picture, the
// single-shot stop after it is shown, and the mouse on it.
#include <QMetaObject>
#include <QMouseEvent>
#include <QWheelEvent>

#include "acquisition/ControlIds.h"
#include "app/ScopeDisplayWidget.h"
#include "app/ScopeDlg.h"

namespace kestrova {

namespace {

MouseButtons ButtonsOf(Qt::MouseButtons buttons) {
  return MouseButtons{(buttons & Qt::LeftButton) != 0, (buttons & Qt::RightButton) != 0};
}

}  // namespace

ChannelTicks CScopeDlg::TickedChannels() const {
  ChannelTicks ticked{};
  for (std::size_t c = 0; c < kChannelCount; ++c) ticked[c] = panel_.IsChecked(ctl::ChannelEnable[c]);
  return ticked;
}

const QImage& CScopeDlg::ComposeDisplay(qreal ratio, bool plotOnly) {
  const ChannelTicks ticked = TickedChannels();
  // Composed in place: the kept picture is shared with nobody (DisplayImage
  // hands out copies), so no paint copies it before drawing.
  // A paint of the plot alone follows a new frame, which changes nothing
  // around the plot: the rest of the kept picture stands.
  const std::optional<ReadoutTexts> readouts =
      plotOnly && ratio <= 1.0
          ? PaintPlotInto(composed_, canvases_, settings_, buffer_, displayState_, ticked, running_.Get())
          : PaintDisplayInto(composed_, canvases_, settings_, buffer_, displayState_, ticked, running_.Get());
  if (readouts) {
    for (std::size_t c = 0; c < kChannelCount; ++c) {
      const ChannelReadout& readout = (*readouts)[c];
      panel_.SetText(ctl::ValueReadout[c], readout.value);
      panel_.SetText(ctl::OffsetReadout[c], readout.withoutOffset);
      panel_.SetText(ctl::ScaledReadout[c], readout.scaled);
    }
  }
  if (ratio > 1.0) {
    return sharp_.Compose(ratio, canvases_, settings_, buffer_, displayState_, ticked, running_.Get());
  }
  return composed_.Image();
}

QImage CScopeDlg::DisplayImage() {
  if (composed_.Image().isNull()) ComposeDisplay();
  return composed_.Image().copy();
}

void CScopeDlg::AfterDisplayPaint() {
  // A Single capture stops once its triggered frame has been shown. The stop
  // closes the unit and changes controls, so it runs right after this paint
  // rather than inside it.
  if (!run_.SingleShotDone() || singleShotPending_) return;
  singleShotPending_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        singleShotPending_ = false;
        if (run_.SingleShotDone()) run_.OnStop();
      },
      Qt::QueuedConnection);
}

void CScopeDlg::ClearReadouts() {
  for (std::size_t c = 0; c < kChannelCount; ++c) {
    for (const int id : {ctl::ValueReadout[c], ctl::OffsetReadout[c], ctl::ScaledReadout[c]})
      panel_.SetText(id, "");
  }
}

Box CScopeDlg::DisplayBox() const {
  const QRect area = controls_.Find(ctl::Display)->geometry();
  return Box{area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
}

bool CScopeDlg::InDisplay(QPoint point) const {
  const Box display = DisplayBox();
  return point.x() >= display.left && point.x() < display.right && point.y() >= display.top &&
         point.y() < display.bottom;
}

void CScopeDlg::ApplyMouseOutcome(const MouseOutcome& outcome) {
  if (outcome.levelText) panel_.SetText(ctl::TriggerLevelEdit, *outcome.levelText);
  if (outcome.offsetText) {
    panel_.SetText(ctl::OffsetEdit[static_cast<std::size_t>(outcome.offsetText->channel)],
                   outcome.offsetText->text);
  }
  if (outcome.invalidate) InvalidateDisplay();
}

void CScopeDlg::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    ApplyMouseOutcome(
        DisplayLeftButtonDown(point, DisplayBox(), ButtonsOf(event->buttons()), settings_, displayState_));
  } else if (event->button() == Qt::RightButton) {
    rightPressOnDisplay_ = InDisplay(point);
    ApplyMouseOutcome(
        DisplayRightButtonDown(point, DisplayBox(), ButtonsOf(event->buttons()), settings_, displayState_));
  }
  QDialog::mousePressEvent(event);
}

void CScopeDlg::mouseMoveEvent(QMouseEvent* event) {
  ApplyMouseOutcome(DisplayMouseMove(event->position().toPoint(), DisplayBox(), ButtonsOf(event->buttons()),
                                     settings_, displayState_));
  QDialog::mouseMoveEvent(event);
}

void CScopeDlg::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    const LeftButtonUpOutcome outcome = DisplayLeftButtonUp(event->position().toPoint(), DisplayBox(),
                                                            running_.Get(), settings_, displayState_);
    if (outcome.applyForTrigger) run_.ApplyConfiguration();
    if (outcome.applyForMarker && running_.Get()) run_.ApplyConfiguration();
  }
  QDialog::mouseReleaseEvent(event);
}

void CScopeDlg::wheelEvent(QWheelEvent* event) {
  if (InDisplay(event->position().toPoint())) FocusTimeList();
  QDialog::wheelEvent(event);
}

}  // namespace kestrova
