#include <gtest/gtest.h>

#include "display/DisplayGeometry.h"

namespace kestrova {
namespace {

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
