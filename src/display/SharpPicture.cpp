#include "display/SharpPicture.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

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
  const int factor = static_cast<int>(ratio);
  if (factor == ratio && !bare.Image().isNull()) {
    // A whole ratio (the usual 2): each pixel repeated along its row, each
    // row copied below itself, without the painter's general scaling.
    const auto width = static_cast<std::size_t>(bare.Width());
    const auto rowBytes = width * static_cast<std::size_t>(factor) * sizeof(QRgb);
    for (int y = 0; y < bare.Height(); ++y) {
      const auto* from = reinterpret_cast<const QRgb*>(bare.Image().constScanLine(y));
      auto* to = reinterpret_cast<QRgb*>(target.scanLine(y * factor));
      for (std::size_t x = 0; x < width; ++x)
        std::fill_n(to + x * static_cast<std::size_t>(factor), factor, from[x]);
      for (int copy = 1; copy < factor; ++copy) std::memcpy(target.scanLine(y * factor + copy), to, rowBytes);
    }
  }
  QPainter painter(&target);
  if (factor != ratio) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRectF(0, 0, bare.Width(), bare.Height()), bare.Image());
  }
  Canvas::PaintTexts(painter, bare.Texts());
}

const QImage& SharpPicture::Compose(qreal ratio, const DisplayCanvases& canvases,
                                    const ScopeSettings& settings, const SampleBuffer& buffer,
                                    const DisplayState& state, const ChannelTicks& ticked,
                                    bool acquisitionRunning) {
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
