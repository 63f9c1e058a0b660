#include <gtest/gtest.h>

#include "acquisition/DisplayMapping.h"
#include "display/DisplayGeometry.h"

namespace kestrova {
namespace {

TEST(DisplayMapping, AxisFromMinusTenToTen) {
  const DisplayMapping m = MappingForAxis(-10.0, 10.0);
  EXPECT_EQ(m.pixelsPerUnit, 20.0);
  EXPECT_EQ(m.pixelOffset, 200);
  EXPECT_EQ(ValueToRow(m, 0.0), 200);
  EXPECT_EQ(ValueToRow(m, 10.0), 0);
  EXPECT_EQ(ValueToRow(m, -10.0), 400);
  EXPECT_EQ(ValueToRow(m, -0.01), 201);  // 400 - trunc(199.8)
}

TEST(DisplayMapping, AxisFromZeroToHundred) {
  const DisplayMapping m = MappingForAxis(0.0, 100.0);
  EXPECT_EQ(m.pixelsPerUnit, 4.0);
  EXPECT_EQ(m.pixelOffset, 0);
  EXPECT_EQ(RowToValue(m, 0), 100.0);
  EXPECT_EQ(RowToValue(m, 400), 0.0);
  EXPECT_EQ(ValueToRow(m, -1.0), 404);
}

TEST(DisplayGeometry, PlotAndStripRectanglesFollowTheDisplayRectangle) {
  const Box display{7, 11, 7 + 580, 11 + 460};
  EXPECT_EQ(PlotBoxIn(display), (Box{67, 31, 567, 431}));
  EXPECT_EQ(PlotAndStripBoxIn(display), (Box{67, 31, 587, 431}));
  EXPECT_TRUE(PlotBoxIn(display).Contains(67, 31));
  EXPECT_FALSE(PlotBoxIn(display).Contains(567, 31));
  EXPECT_FALSE(PlotBoxIn(display).Contains(67, 431));
}

TEST(DisplayGeometry, StoredYDivisionIndexOutOfRangeFallsToTheNearestEntry) {
  EXPECT_EQ(YDivisionAt(-1).divisions, 6);
  EXPECT_EQ(YDivisionAt(7).divisions, 10);
}

}  // namespace
}  // namespace kestrova
