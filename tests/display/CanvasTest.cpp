#include <array>
#include <climits>
#include <vector>

#include <gtest/gtest.h>

#include "DisplayTestSupport.h"
#include "display/Canvas.h"

namespace kestrova {
namespace {

constexpr ColorRef kInk = Rgb(10, 200, 30);
constexpr ColorRef kPaper = Rgb(0, 0, 0);

std::vector<QPoint> InkedPixels(const Canvas& canvas) {
  std::vector<QPoint> points;
  for (int y = 0; y < canvas.Height(); ++y) {
    for (int x = 0; x < canvas.Width(); ++x) {
      if (canvas.PixelAt(x, y) == kInk) points.emplace_back(x, y);
    }
  }
  return points;
}

TEST(CanvasLine, CoversItsStartButNotItsEnd) {
  Canvas canvas(20, 20, kPaper);
  canvas.DrawLine(2, 3, 6, 3, kInk);     // rightwards
  canvas.DrawLine(15, 12, 15, 7, kInk);  // upwards
  EXPECT_EQ(
      InkedPixels(canvas),
      (std::vector<QPoint>{{2, 3}, {3, 3}, {4, 3}, {5, 3}, {15, 8}, {15, 9}, {15, 10}, {15, 11}, {15, 12}}));
}

TEST(CanvasLine, SlopedLineHasOnePixelPerStepOfItsLongerAxis) {
  Canvas canvas(20, 20, kPaper);
  canvas.DrawLine(0, 0, 4, 2, kInk);
  EXPECT_EQ(InkedPixels(canvas), (std::vector<QPoint>{{0, 0}, {1, 1}, {2, 1}, {3, 2}}));

  Canvas steep(20, 20, kPaper);
  steep.DrawLine(5, 10, 6, 1, kInk);  // nine rows up, one column right
  const std::vector<QPoint> pixels = InkedPixels(steep);
  ASSERT_EQ(pixels.size(), 9U);
  for (const QPoint p : pixels) EXPECT_TRUE(p.x() == 5 || p.x() == 6) << p.x();
  EXPECT_EQ(steep.PixelAt(5, 10), kInk);
  EXPECT_NE(steep.PixelAt(6, 1), kInk);
}

TEST(CanvasLine, ZeroLengthLineDrawsNothing) {
  Canvas canvas(10, 10, kPaper);
  canvas.DrawLine(4, 4, 4, 4, kInk);
  EXPECT_TRUE(InkedPixels(canvas).empty());
}

// Cutting a line at the canvas edges must not move the pixels that remain:
// the same line drawn on a larger canvas, shifted, gives the same picture.
TEST(CanvasLine, ClippingKeepsTheUnclippedPixels) {
  const std::array<std::array<int, 4>, 6> lines = {{
      {-100, -37, 600, 420},
      {499, -250, 3, 399},
      {-20, 150, 700, 160},
      {250, 1000, 251, -1000},
      {-7, 13, 40, -60},
      {30, 450, 480, -3},
  }};
  for (const auto& l : lines) {
    Canvas small(500, 400, kPaper);
    small.DrawLine(l[0], l[1], l[2], l[3], kInk);
    Canvas large(1300, 1500, kPaper);
    large.DrawLine(l[0] + 400, l[1] + 500, l[2] + 400, l[3] + 500, kInk);
    int differences = 0;
    for (int y = 0; y < 400; ++y) {
      for (int x = 0; x < 500; ++x)
        differences += small.PixelAt(x, y) != large.PixelAt(x + 400, y + 500) ? 1 : 0;
    }
    EXPECT_EQ(differences, 0) << l[0] << "," << l[1] << " -> " << l[2] << "," << l[3];
  }
}

TEST(CanvasLine, FarEndPointsStayCheapAndCorrect) {
  Canvas canvas(500, 400, kPaper);
  // A trace point at a saturated row: a vertical run down from row 200.
  canvas.DrawLine(10, 200, 11, 1000000000, kInk);
  for (int y = 200; y < 400; ++y) EXPECT_EQ(canvas.PixelAt(10, y), kInk) << y;
  EXPECT_NE(canvas.PixelAt(11, 399), kInk);
  canvas.DrawLine(INT_MIN, 5, INT_MAX, 5, kInk);
  for (int x = 0; x < 500; ++x) EXPECT_EQ(canvas.PixelAt(x, 5), kInk) << x;
  // Entirely off the canvas.
  Canvas other(50, 50, kPaper);
  other.DrawLine(-5, -1000, -5, 1000, kInk);
  other.DrawLine(60, 0, 2000, 49, kInk);
  EXPECT_TRUE(InkedPixels(other).empty());
}

TEST(CanvasPolygon, FillsPixelsWhoseCentresAreInside) {
  Canvas canvas(30, 30, kPaper);
  const std::array<QPoint, 3> triangle = {QPoint(0, 10), QPoint(20, 6), QPoint(20, 14)};
  canvas.FillPolygon(triangle, kInk);
  EXPECT_EQ(canvas.PixelAt(19, 6), kInk);
  EXPECT_EQ(canvas.PixelAt(19, 13), kInk);
  EXPECT_EQ(canvas.PixelAt(10, 9), kInk);
  EXPECT_NE(canvas.PixelAt(20, 10), kInk);  // right edge left out
  EXPECT_NE(canvas.PixelAt(19, 14), kInk);  // bottom edge left out
  EXPECT_NE(canvas.PixelAt(10, 6), kInk);
  // The far side of the canvas is cut off, not wrapped.
  Canvas edge(10, 10, kPaper);
  const std::array<QPoint, 3> partly = {QPoint(5, 5), QPoint(25, 1), QPoint(25, 9)};
  edge.FillPolygon(partly, kInk);
  EXPECT_EQ(edge.PixelAt(9, 5), kInk);
  EXPECT_NE(edge.PixelAt(0, 6), kInk);
}

TEST(CanvasText, DrawsInsideItsBoxOnlyAndRecordsIt) {
  Canvas canvas(200, 60, kPaper);
  const Box box{50, 10, 80, 30};
  canvas.DrawText(box, "WWWWWWWWWWWW", kInk, TextAlign::Center);
  ASSERT_EQ(canvas.Texts().size(), 1U);
  EXPECT_EQ(canvas.Texts()[0].box, box);
  EXPECT_EQ(canvas.Texts()[0].text, "WWWWWWWWWWWW");
  EXPECT_EQ(canvas.Texts()[0].color, kInk);
  EXPECT_GT(test::CountPixels(canvas, box, kInk), 0);
  const int all = static_cast<int>(InkedPixels(canvas).size());
  EXPECT_EQ(all, test::CountPixels(canvas, box, kInk)) << "text leaked out of its box";
  // Only the text's own colour is used (no smoothing), on a transparent
  // background.
  for (int y = 0; y < canvas.Height(); ++y) {
    for (int x = 0; x < canvas.Width(); ++x) {
      const ColorRef c = canvas.PixelAt(x, y);
      EXPECT_TRUE(c == kInk || c == kPaper) << x << "," << y;
    }
  }
}

TEST(CanvasText, CentredTextIsCentredAndLeftTextStartsAtTheLeftEdge) {
  Canvas centred(200, 40, kPaper);
  centred.DrawText(Box{0, 0, 200, 40}, "1000", kInk, TextAlign::Center);
  Canvas left(200, 40, kPaper);
  left.DrawText(Box{0, 0, 200, 40}, "1000", kInk, TextAlign::Left);
  int minX = 200;
  int maxX = -1;
  int minY = 40;
  for (const QPoint p : InkedPixels(centred)) {
    minX = std::min(minX, p.x());
    maxX = std::max(maxX, p.x());
    minY = std::min(minY, p.y());
  }
  ASSERT_GE(maxX, 0);
  EXPECT_NEAR((minX + maxX) / 2.0, 100.0, 3.0);
  EXPECT_LT(minY, 10) << "text starts at the top of its box";
  int leftMin = 200;
  for (const QPoint p : InkedPixels(left)) leftMin = std::min(leftMin, p.x());
  EXPECT_LT(leftMin, 4);
}

TEST(CanvasCopy, CopiesPixelsCutToTheTargetAndMovesTextRecords) {
  Canvas source(10, 10, kInk);
  source.DrawText(Box{1, 2, 3, 4}, "", kInk, TextAlign::Left);
  Canvas target(20, 20, kPaper);
  target.CopyFrom(source, 15, -5);
  EXPECT_EQ(test::CountPixels(target, Box{0, 0, 20, 20}, kInk), 5 * 5);
  EXPECT_EQ(target.PixelAt(15, 0), kInk);
  EXPECT_EQ(target.PixelAt(19, 4), kInk);
  EXPECT_NE(target.PixelAt(14, 0), kInk);
  EXPECT_NE(target.PixelAt(15, 5), kInk);
  ASSERT_EQ(target.Texts().size(), 1U);
  EXPECT_EQ(target.Texts()[0].box, (Box{16, -3, 18, -1}));
}

}  // namespace
}  // namespace kestrova

namespace kestrova {
namespace {

TEST(CanvasView, DrawsIntoItsAreaOfTheTargetOnlyAndCopyAroundKeepsTheHole) {
  Canvas target(20, 10, kPaper);
  {
    Canvas view = Canvas::ViewOf(target, Box{5, 2, 15, 8});
    ASSERT_EQ(view.Width(), 10);
    ASSERT_EQ(view.Height(), 6);
    view.Fill(kInk);
    view.DrawLine(-5, 0, 30, 0, kPaper);  // cut to the view, not to the target
  }
  EXPECT_EQ(test::CountPixels(target, Box{0, 0, 20, 10}, kInk), 10 * 6 - 10);
  EXPECT_EQ(target.PixelAt(5, 3), kInk);
  EXPECT_EQ(target.PixelAt(4, 3), kPaper);
  EXPECT_EQ(target.PixelAt(15, 3), kPaper);
  EXPECT_EQ(target.PixelAt(5, 2), kPaper);  // the line

  // Copying around the view's area leaves what was drawn there.
  Canvas labels(20, 10, kPaper);
  labels.DrawText(Box{0, 0, 4, 4}, "", kInk, TextAlign::Left);
  target.DrawText(Box{9, 9, 9, 9}, "", kInk, TextAlign::Left);
  target.SetPixel(0, 0, kInk);
  target.CopyAround(labels, Box{5, 2, 15, 8}, kPaper);
  EXPECT_EQ(target.PixelAt(0, 0), kPaper);
  EXPECT_EQ(test::CountPixels(target, Box{0, 0, 20, 10}, kInk), 10 * 6 - 10);
  ASSERT_EQ(target.Texts().size(), 1U);
  EXPECT_EQ(target.Texts()[0].box, (Box{0, 0, 4, 4}));
}

}  // namespace
}  // namespace kestrova
