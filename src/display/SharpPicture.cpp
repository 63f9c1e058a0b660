#include "display/SharpPicture.h"

#include <QPainter>
#include <cmath>

#include "display/DisplayColors.h"
#include "display/DisplayGeometry.h"

namespace kestrova {

void RenderAtRatio(const Canvas& bare, qreal ratio, QImage& target) {
  const QSize size(static_cast<int>(std::ceil(bare.Width() * ratio)),
                   static_cast<int>(std::ceil(bare.Height() * ratio)));
  if (target.size() != size || target.format() != QImage::Format_RGB32) {
    target = QImage(size, QImage::Format_RGB32);
  }
  target.setDevicePixelRatio(ratio);
  QPainter painter(&target);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(QRectF(0, 0, bare.Width(), bare.Height()), bare.Image());
  for (const CanvasText& text : bare.Texts()) Canvas::PaintText(painter, text);
}

const QImage& SharpPicture::Compose(qreal ratio, const DisplayCanvases& canvases, const ScopeSettings& settings,
                                    const SampleBuffer& buffer, const DisplayState& state,
                                    const ChannelTicks& ticked, bool acquisitionRunning) {
  // The label canvas holds nothing but background and texts: the same
  // background with the text records stands in for it.
  const DisplayColors colors = DisplayColorsFor(settings.colorReverse != 0);
  bare_.graticule = canvases.graticule;
  if (bare_.labels.Width() != canvases.labels.Width() || bare_.labels.Height() != canvases.labels.Height()) {
    bare_.labels = Canvas(canvases.labels.Width(), canvases.labels.Height(), colors.background);
  }
  bare_.labels.Fill(colors.background);
  bare_.labels.ClearTexts();
  bare_.labels.AppendTexts(canvases.labels, 0, 0);

  if (frame_.Width() != kDisplayWidth || frame_.Height() != kDisplayHeight) {
    frame_ = Canvas(kDisplayWidth, kDisplayHeight, colors.background);
  }
  frame_.SetTextPixels(false);
  PaintDisplayInto(frame_, bare_, settings, buffer, state, ticked, acquisitionRunning);
  RenderAtRatio(frame_, ratio, image_);
  return image_;
}

}  // namespace kestrova
