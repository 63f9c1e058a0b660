#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

namespace kestrova {

// The scope display area (control 1000). It owns no picture: at each paint it
// asks its painter for the finished 580 x 460 image and copies it to the
// screen in one step, without erasing first, so frames arriving every 100 ms
// redraw without flicker. Mouse input goes through to the main window, which
// handles it in its own coordinates. User-interface thread only.
class ScopeDisplayWidget : public QWidget {
  Q_OBJECT

 public:
  // Gives the finished picture for the screen's device pixel ratio (its own
  // ratio set to match); it stays valid until the paint has ended. With
  // `plotOnly` the paint covers no more than the plot area.
  using Painter = std::function<const QImage&(qreal ratio, bool plotOnly)>;
  using AfterPaint = std::function<void()>;

  explicit ScopeDisplayWidget(QWidget* parent = nullptr);

  void SetPainter(Painter painter) { painter_ = std::move(painter); }
  // Runs after every paint of the display (the single-shot check).
  void SetAfterPaint(AfterPaint afterPaint) { afterPaint_ = std::move(afterPaint); }
  // Runs when a paint has reached the screen surface, before the after-paint
  // step; for tools that time the display. Empty by default.
  void SetPaintObserver(AfterPaint observer) { paintObserver_ = std::move(observer); }
  // The plot's rectangle in the widget: UpdatePlot repaints it alone.
  void SetPlotArea(QRect area) { plotArea_ = area; }
  void UpdatePlot() { update(plotArea_); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Painter painter_;
  AfterPaint afterPaint_;
  AfterPaint paintObserver_;
  QRect plotArea_;
};

}  // namespace kestrova
