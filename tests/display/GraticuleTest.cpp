#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "DisplayTestSupport.h"
#include "display/DisplayColors.h"
#include "display/Graticule.h"

namespace kestrova {
namespace {

constexpr ColorRef kFg = kWhite;
constexpr ColorRef kBg = kBlack;

Canvas GraticuleFor(int yDivision, bool reversed = false) {
  ScopeSettings settings;
  settings.yDivision = yDivision;
  settings.colorReverse = reversed ? 1 : 0;
  return BuildGraticule(settings);
}

std::set<int> MarkedRows(const Canvas& canvas, int column) {
  std::set<int> rows;
  for (int y = 0; y < canvas.Height(); ++y) {
    if (canvas.PixelAt(column, y) == kFg) rows.insert(y);
  }
  return rows;
}

TEST(Graticule, CentreAxesAreDottedWithCrossTicksEveryTenPixels) {
  const Canvas g = GraticuleFor(1);
  ASSERT_EQ(g.Width(), 500);
  ASSERT_EQ(g.Height(), 400);
  // Horizontal axis on row 200: dots on even columns, from column 2 on.
  EXPECT_EQ(g.PixelAt(12, 200), kFg);
  EXPECT_EQ(g.PixelAt(13, 200), kBg);
  EXPECT_EQ(g.PixelAt(498, 200), kFg);
  // Cross tick at column 30: rows 195..204.
  for (int y = 195; y < 205; ++y) EXPECT_EQ(g.PixelAt(30, y), kFg) << y;
  EXPECT_EQ(g.PixelAt(30, 194), kBg);
  EXPECT_EQ(g.PixelAt(30, 205), kBg);
  EXPECT_EQ(g.PixelAt(32, 197), kBg);
  // Vertical axis on column 250: dots on even rows, cross ticks 245..254.
  EXPECT_EQ(g.PixelAt(250, 14), kFg);
  EXPECT_EQ(g.PixelAt(250, 13), kBg);
  for (int x = 245; x < 255; ++x) EXPECT_EQ(g.PixelAt(x, 30), kFg) << x;
  EXPECT_EQ(g.PixelAt(244, 30), kBg);
  EXPECT_EQ(g.PixelAt(255, 30), kBg);
}

TEST(Graticule, TopAndBottomTicksEveryTenColumns) {
  const Canvas g = GraticuleFor(1);
  for (const int x : {10, 30, 490}) {
    for (int y = 0; y < 5; ++y) EXPECT_EQ(g.PixelAt(x, y), kFg) << x << "," << y;
    EXPECT_EQ(g.PixelAt(x, 5), kBg) << x;
    for (int y = 396; y < 400; ++y) EXPECT_EQ(g.PixelAt(x, y), kFg) << x << "," << y;
    EXPECT_EQ(g.PixelAt(x, 395), kBg) << x;
  }
  EXPECT_EQ(g.PixelAt(35, 1), kBg);
  EXPECT_EQ(g.PixelAt(0, 1), kBg);  // no tick at column 0
}

// Column 2 carries only the left side ticks (and the axis dot on row 200);
// column 497 only the right side ticks.
TEST(Graticule, SideTicksDivideEachDivisionInFiveWithoutRowZero) {
  std::set<int> sixRows;
  for (const int start : {0, 66, 133, 200, 266, 333}) {
    for (int r = start; r <= start + 52; r += 13) {
      if (r != 0) sixRows.insert(r);
    }
  }
  std::set<int> eightRows;
  for (int r = 10; r < 400; r += 10) eightRows.insert(r);
  std::set<int> tenRows;
  for (int r = 8; r < 400; r += 8) tenRows.insert(r);

  const std::vector<std::pair<int, std::set<int>>> cases = {{0, sixRows}, {1, eightRows}, {2, tenRows}};
  for (const auto& [index, rows] : cases) {
    const Canvas g = GraticuleFor(index);
    EXPECT_EQ(MarkedRows(g, 497), rows) << "Y Div index " << index;
    std::set<int> left = rows;
    left.insert(200);
    EXPECT_EQ(MarkedRows(g, 2), left) << "Y Div index " << index;
    const int r = *rows.begin();
    for (int x = 0; x < 5; ++x) EXPECT_EQ(g.PixelAt(x, r), kFg);
    EXPECT_EQ(g.PixelAt(5, r), kBg);
    EXPECT_EQ(g.PixelAt(495, r), kBg);
    EXPECT_EQ(g.PixelAt(499, r), kFg);
  }
  // Nothing at the side edges of row 0.
  const Canvas g = GraticuleFor(1);
  for (const int x : {0, 1, 4, 496, 499}) EXPECT_EQ(g.PixelAt(x, 0), kBg) << x;
}

TEST(Graticule, DottedGridOnInnerDivisionLinesAndTimeDivisions) {
  const Canvas six = GraticuleFor(0);
  for (const int row : {66, 133, 266, 333}) {
    EXPECT_EQ(six.PixelAt(20, row), kFg) << row;
    EXPECT_EQ(six.PixelAt(495, row), kFg) << row;
    EXPECT_EQ(six.PixelAt(21, row), kBg) << row;
    EXPECT_EQ(six.PixelAt(20, row + 1), kBg) << row;
  }
  // The outer division lines carry no dots.
  EXPECT_EQ(six.PixelAt(25, 0), kBg);
  EXPECT_EQ(six.PixelAt(15, 399), kBg);
  for (const int x : {50, 100, 450}) {
    EXPECT_EQ(six.PixelAt(x, 55), kFg) << x;
    EXPECT_EQ(six.PixelAt(x, 395), kFg) << x;
    EXPECT_EQ(six.PixelAt(x, 56), kBg) << x;
    EXPECT_EQ(six.PixelAt(x, 57), kBg) << x;
  }
  EXPECT_EQ(six.PixelAt(45, 55), kBg);
  EXPECT_EQ(six.PixelAt(499, 55), kBg);  // no grid line at the right edge
}

TEST(Graticule, ReversedColoursSwapForegroundAndBackgroundOnly) {
  const Canvas normal = GraticuleFor(1, false);
  const Canvas reversed = GraticuleFor(1, true);
  for (int y = 0; y < 400; ++y) {
    for (int x = 0; x < 500; ++x) {
      const ColorRef n = normal.PixelAt(x, y);
      ASSERT_TRUE(n == kFg || n == kBg);
      ASSERT_EQ(reversed.PixelAt(x, y), n == kFg ? kBg : kFg) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace kestrova
