#pragma once

#include <QImage>
#include <QPainter>
#include <QPoint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/Color.h"
#include "display/DisplayGeometry.h"

namespace kestrova {

enum class TextAlign { Left, Center };

// One text drawn on a canvas, kept beside the pixels so that callers and
// tests can see what was written where without reading glyphs.
struct CanvasText {
  Box box;
  std::string text;
  ColorRef color = 0;
  TextAlign align = TextAlign::Center;
};

// An off-screen drawing surface: a 32-bit RGB image with the few operations
// the display needs. Lines are one pixel wide, not antialiased, and cover
// their start point but not their end point; everything is clipped to the
// canvas. Text is drawn with a transparent background in the canvas's default
// font, from the top of its box and clipped to the box.
//
// User-interface thread only (text needs the application's font database).
class Canvas {
 public:
  Canvas() = default;
  Canvas(int width, int height, ColorRef fill);

  [[nodiscard]] int Width() const { return image_.width(); }
  [[nodiscard]] int Height() const { return image_.height(); }
  [[nodiscard]] const QImage& Image() const { return image_; }
  [[nodiscard]] const std::vector<CanvasText>& Texts() const { return texts_; }

  // Colour of a pixel; 0 for points off the canvas.
  [[nodiscard]] ColorRef PixelAt(int x, int y) const;

  void Fill(ColorRef color);
  void SetPixel(int x, int y, ColorRef color);

  // The pixels from (fromX, fromY) towards (toX, toY), the start included and the end
  // left out; a line to its own start draws nothing. Any int coordinates are
  // accepted; only the part on the canvas costs time.
  void DrawLine(int fromX, int fromY, int toX, int toY, ColorRef color);

  // Every pixel whose centre lies inside the polygon (even-odd rule).
  void FillPolygon(std::span<const QPoint> corners, ColorRef color);

  // Text in a box: centred or left-aligned horizontally, starting at the
  // box's top edge, clipped to the box. The text is recorded even when
  // nothing of it lands on the canvas.
  void DrawText(const Box& box, std::string_view text, ColorRef color, TextAlign align);

  // Copies the whole of `source` with its top-left corner at (x, y), cut to
  // this canvas, and takes over its text records moved by (x, y).
  void CopyFrom(const Canvas& source, int x, int y);
  // The pixels of CopyFrom only.
  void CopyPixels(const Canvas& source, int x, int y);
  // The text records of CopyFrom only.
  void AppendTexts(const Canvas& source, int x, int y);
  void ClearTexts() { texts_.clear(); }

  // With text pixels off, DrawText only records its text: for a picture whose
  // texts are drawn later at another resolution (RenderAtRatio). On by default.
  void SetTextPixels(bool on) { textPixels_ = on; }
  // Texts drawn as DrawText draws them, onto any paint device.
  static void PaintText(QPainter& painter, const CanvasText& text);
  static void PaintTexts(QPainter& painter, std::span<const CanvasText> texts);

  // Makes this canvas a copy of `source`, of the same size, except for the
  // pixels inside `hole`, which keep what they hold (the caller is about to
  // draw them over); the text records become those of `source`. A source of
  // another size is copied as by Fill(fill) and CopyFrom. Reuses this
  // canvas's pixels and text records, so a kept canvas recomposed this way
  // allocates nothing.
  void CopyAround(const Canvas& source, const Box& hole, ColorRef fill);

  // A canvas drawing straight into `area` of `target`'s pixels (cut to the
  // target), with its own origin at the area's top-left corner and its own
  // clipping to the area. It must not outlive `target` or a resize of it,
  // and must not be copied (a copy would share, then detach, the pixels).
  // Its text records are its own.
  [[nodiscard]] static Canvas ViewOf(Canvas& target, const Box& area);

 private:
  QImage image_;
  std::vector<CanvasText> texts_;
  bool textPixels_ = true;
};

// 0x00BBGGRR as a pixel value of a 32-bit RGB image, and back.
constexpr QRgb ToQRgb(ColorRef color) {
  return 0xFF000000U | (static_cast<QRgb>(RedOf(color)) << 16) | (static_cast<QRgb>(GreenOf(color)) << 8) |
         BlueOf(color);
}
constexpr ColorRef FromQRgb(QRgb pixel) {
  return Rgb(static_cast<std::uint8_t>((pixel >> 16) & 0xFFU),
             static_cast<std::uint8_t>((pixel >> 8) & 0xFFU), static_cast<std::uint8_t>(pixel & 0xFFU));
}

}  // namespace kestrova
