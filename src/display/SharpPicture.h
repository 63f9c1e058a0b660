#pragma once

#include <QImage>

#include "display/Canvas.h"
#include "display/PaintDisplay.h"

namespace kestrova {

// The display area for a screen of device pixel ratio `ratio` (> 1): the
// geometry stays in logical pixels, each one covering ratio x ratio device
// pixels, while the texts are drawn at the device's resolution. Keeps its
// canvases between paints. User-interface thread only.
class SharpPicture {
 public:
  // Composes as PaintDisplayInto does, then renders into the kept image
  // (kDisplayWidth x kDisplayHeight logical pixels at `ratio`).
  const QImage& Compose(qreal ratio, const DisplayCanvases& canvases, const ScopeSettings& settings,
                        const SampleBuffer& buffer, const DisplayState& state, const ChannelTicks& ticked,
                        bool acquisitionRunning);

 private:
  DisplayCanvases bare_;  // the label canvas as background and text records only
  Canvas frame_;          // the composed area without text pixels
  QImage image_;
};

// `bare` scaled to `ratio` pixel for pixel, then its recorded texts drawn at
// the device's resolution, into `target` (resized when its size differs).
void RenderAtRatio(const Canvas& bare, qreal ratio, QImage& target);

}  // namespace kestrova
