#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "acquisition/DisplayMapping.h"
#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"

namespace kestrova {
namespace {

TEST(DisplayMapping, SymmetricAxisPutsZeroOnTheCentreRow) {
  const DisplayMapping m = MappingForAxis(-10.0, 10.0);
  EXPECT_DOUBLE_EQ(m.pixelsPerUnit, 20.0);
  EXPECT_EQ(m.pixelOffset, 200);
  EXPECT_EQ(ValueToRow(m, 0.0), 200);
  EXPECT_EQ(ValueToRow(m, 10.0), 0);
  EXPECT_EQ(ValueToRow(m, -10.0), 400);
  EXPECT_EQ(ValueToRow(m, -0.01), 201);  // 400 - trunc(199.8)
}

TEST(DisplayMapping, DefaultAxisAndItsInverse) {
  const DisplayMapping m = MappingForAxis(0.0, 100.0);
  EXPECT_DOUBLE_EQ(m.pixelsPerUnit, 4.0);
  EXPECT_EQ(m.pixelOffset, 0);
  EXPECT_DOUBLE_EQ(RowToValue(m, 0), 100.0);
  EXPECT_DOUBLE_EQ(RowToValue(m, 400), 0.0);
  EXPECT_EQ(ValueToRow(m, -1.0), 404);
  EXPECT_EQ(ValueToRow(m, 10.0), 360);
}

TEST(DisplayMapping, TruncatesTowardZeroOnBothSides) {
  const DisplayMapping m = MappingForAxis(-3.0, 7.0);  // 40 px per unit, offset 120
  EXPECT_EQ(m.pixelOffset, 120);
  EXPECT_EQ(ValueToRow(m, -3.01), 400);  // -0.4 truncates to 0
}

TEST(DisplayMapping, DegenerateAxesAndWildValuesStayFinite) {
  for (const auto& [lo, hi] : {std::pair{5.0, 5.0}, std::pair{0.0, 1e-320}, std::pair{10.0, 0.0},
                               std::pair{0.0, std::numeric_limits<double>::infinity()}}) {
    const DisplayMapping m = MappingForAxis(lo, hi);
    EXPECT_TRUE(std::isfinite(m.pixelsPerUnit));
    EXPECT_NE(m.pixelsPerUnit, 0.0);
    for (const double v : {0.0, 1e300, -1e300, std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity()}) {
      const int row = ValueToRow(m, v);
      EXPECT_LE(std::abs(static_cast<long long>(row)), 1'000'000'400LL);
    }
  }
}

TEST(SampleBuffer, ClearPutsEveryRowOnValueZero) {
  ScopeSettings settings;
  settings.yMin[0] = -10.0;
  settings.yMax[0] = 10.0;
  SampleBuffer buffer;
  buffer.writeIndex = 7;
  buffer.frameCount = 9;
  buffer.triggerCount = 3;
  AllocateSampleBuffer(buffer, settings);
  EXPECT_EQ(buffer.writeIndex, 0);
  EXPECT_EQ(buffer.frameCount, 0);
  EXPECT_EQ(buffer.triggerCount, 0);
  EXPECT_EQ(settings.mapping.pixelOffset, 200);
  for (const int f : {0, 50, 99}) {
    for (int c = 0; c < kChannelCount; ++c) {
      EXPECT_EQ(buffer.Values(f, c)[499], 0.0);
      EXPECT_EQ(buffer.Rows(f, c)[0], 200);
    }
  }
  buffer.Values(3, 2)[10] = 5.0;
  ClearSampleBuffer(buffer, MappingForAxis(0.0, 100.0));
  EXPECT_EQ(buffer.Values(3, 2)[10], 0.0);
  EXPECT_EQ(buffer.Rows(3, 2)[10], 400);
}

}  // namespace
}  // namespace kestrova
