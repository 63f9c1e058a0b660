#include <gtest/gtest.h>

#include "DisplayTestSupport.h"
#include "display/AxisLabels.h"
#include "display/Graticule.h"
#include "display/SharpPicture.h"

namespace kestrova {
namespace {

bool InAnyText(const Canvas& frame, int x, int y) {
  for (const CanvasText& t : frame.Texts()) {
    if (x >= t.box.left && x < t.box.right && y >= t.box.top && y < t.box.bottom) return true;
  }
  return false;
}

// At twice the resolution every pixel outside the texts is the 1x picture's
// pixel as a 2 x 2 block, while the texts are drawn with device pixels of
// their own: some of their blocks are not one colour.
TEST(SharpPicture, TwiceTheRatioDoublesTheGeometryAndDrawsTextWithTwiceThePixels) {
  ScopeSettings settings = test::SettingsAt(4);
  settings.cursorEnable = 1;
  settings.triggerUse = 1;
  SampleBuffer buffer = test::ClearedBuffer(settings);
  buffer.frameCount = 1;
  test::FillSlot(buffer, settings.mapping, 0, 0, [](int k) { return 20.0 + (k % 120) / 2.0; });
  const DisplayCanvases canvases{BuildGraticule(settings), BuildAxisLabels(settings)};
  const DisplayState state{120, 300, -1};
  const ChannelTicks ticked{true, true, true, true};
  const PaintResult plain = PaintDisplay(canvases, settings, buffer, state, ticked, false);

  SharpPicture sharp;
  const QImage& image = sharp.Compose(2.0, canvases, settings, buffer, state, ticked, false);
  ASSERT_EQ(image.size(), QSize(2 * kDisplayWidth, 2 * kDisplayHeight));
  EXPECT_EQ(image.devicePixelRatio(), 2.0);

  int mixedTextBlocks = 0;
  for (int y = 0; y < kDisplayHeight; ++y) {
    for (int x = 0; x < kDisplayWidth; ++x) {
      const QRgb a = image.pixel(2 * x, 2 * y);
      const QRgb b = image.pixel(2 * x + 1, 2 * y);
      const QRgb c = image.pixel(2 * x, 2 * y + 1);
      const QRgb d = image.pixel(2 * x + 1, 2 * y + 1);
      if (InAnyText(plain.frame, x, y)) {
        mixedTextBlocks += (a != b || a != c || a != d) ? 1 : 0;
        continue;
      }
      const QRgb expected = ToQRgb(plain.frame.PixelAt(x, y));
      ASSERT_TRUE(a == expected && b == expected && c == expected && d == expected) << x << "," << y;
    }
  }
  EXPECT_GT(mixedTextBlocks, 100) << "the texts are the 1x texts doubled";

  // Painting again into the kept images gives the same picture.
  const QImage first = image.copy();
  EXPECT_EQ(sharp.Compose(2.0, canvases, settings, buffer, state, ticked, false), first);
}

}  // namespace
}  // namespace kestrova
