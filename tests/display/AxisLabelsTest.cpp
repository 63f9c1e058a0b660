#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DisplayTestSupport.h"
#include "display/AxisLabels.h"
#include "display/DisplayColors.h"

namespace kestrova {
namespace {

// The label texts drawn in one colour, in drawing order.
std::vector<CanvasText> TextsIn(const Canvas& canvas, ColorRef color) {
  std::vector<CanvasText> texts;
  for (const CanvasText& t : canvas.Texts()) {
    if (t.color == color) texts.push_back(t);
  }
  return texts;
}

struct TimeCase {
  int timeIndex;
  const char* unit;
  int step;
};

TEST(AxisLabels, TimeTicksAndUnitFollowTheTimeBase) {
  for (const TimeCase c : {TimeCase{0, "[usec]", 100}, TimeCase{11, "[msec]", 500}, TimeCase{12, "[sec]", 1},
                           TimeCase{7, "[msec]", 20}, TimeCase{2, "[usec]", 500}}) {
    const Canvas labels = BuildAxisLabels(test::SettingsAt(c.timeIndex));
    ASSERT_EQ(labels.Width(), 580);
    ASSERT_EQ(labels.Height(), 460);
    const std::vector<CanvasText> unit = TextsIn(labels, kTimeUnitTextColor);
    ASSERT_EQ(unit.size(), 1U);
    EXPECT_EQ(unit[0].text, c.unit);
    EXPECT_EQ(unit[0].box, (Box{290, 440, 330, 480}));
    EXPECT_EQ(unit[0].align, TextAlign::Center);

    std::vector<CanvasText> ticks;
    for (const CanvasText& t : TextsIn(labels, kWhite)) {
      if (t.box.top == 425) ticks.push_back(t);
    }
    ASSERT_EQ(ticks.size(), 11U) << c.timeIndex;
    for (int k = 0; k <= 10; ++k) {
      EXPECT_EQ(ticks[static_cast<std::size_t>(k)].text, std::to_string(k * c.step));
      // Centred under plot column 50k, i.e. display column 60 + 50k.
      const Box& box = ticks[static_cast<std::size_t>(k)].box;
      EXPECT_EQ(box, (Box{35 + 50 * k, 425, 85 + 50 * k, 460}));
      EXPECT_EQ(box.left + box.right, 2 * (60 + 50 * k));
    }
  }
}

ScopeSettings SixDivisions(double yMin, double yMax) {
  ScopeSettings s = test::SettingsAt(4);
  s.yDivision = 0;
  s.yMin[0] = yMin;
  s.yMax[0] = yMax;
  return s;
}

std::vector<CanvasText> YLabels(const Canvas& canvas, ColorRef color) {
  std::vector<CanvasText> labels;
  for (const CanvasText& t : TextsIn(canvas, color)) {
    if (t.box.left == 0 && t.box.right == 60) labels.push_back(t);
  }
  return labels;
}

TEST(AxisLabels, YLabelsForSixDivisionsWithoutScale) {
  const Canvas labels = BuildAxisLabels(SixDivisions(0, 100));
  const std::vector<CanvasText> y = YLabels(labels, kWhite);
  const std::vector<std::string> texts = {"100.0", "0.0", "83.3", "66.7", "50.0", "33.3", "16.7"};
  const std::vector<Box> boxes = {{0, 10, 60, 30},   {0, 410, 60, 430}, {0, 76, 60, 96},  {0, 142, 60, 162},
                                  {0, 208, 60, 228}, {0, 274, 60, 294}, {0, 340, 60, 360}};
  ASSERT_EQ(y.size(), texts.size());
  for (std::size_t i = 0; i < y.size(); ++i) {
    EXPECT_EQ(y[i].text, texts[i]);
    EXPECT_EQ(y[i].box, boxes[i]) << texts[i];
  }
  EXPECT_TRUE(YLabels(labels, kScaledLabelColor).empty());
  // The labels are really drawn, in the foreground colour.
  EXPECT_GT(test::CountPixels(labels, Box{0, 10, 60, 30}, kWhite), 0);
}

TEST(AxisLabels, ScaledSecondSetSitsBelowEachLine) {
  ScopeSettings s = SixDivisions(0, 100);
  s.axisScaleEnable[0] = 1;
  s.axisScaleFactor[0] = 2.0;
  const Canvas labels = BuildAxisLabels(s);

  const std::vector<CanvasText> plain = YLabels(labels, kWhite);
  ASSERT_EQ(plain.size(), 7U);
  EXPECT_EQ(plain[0].box, (Box{0, 5, 60, 20}));
  EXPECT_EQ(plain[1].box, (Box{0, 405, 60, 420}));
  EXPECT_EQ(plain[2].box, (Box{0, 73, 60, 86}));
  EXPECT_EQ(plain[6].box, (Box{0, 337, 60, 350}));
  EXPECT_EQ(plain[2].text, "83.3");

  const std::vector<CanvasText> scaled = YLabels(labels, kScaledLabelColor);
  ASSERT_EQ(scaled.size(), 7U);
  EXPECT_EQ(scaled[0].text, "200.0");
  EXPECT_EQ(scaled[0].box, (Box{0, 20, 60, 33}));
  EXPECT_EQ(scaled[1].text, "0.0");
  EXPECT_EQ(scaled[1].box, (Box{0, 420, 60, 433}));
  EXPECT_EQ(scaled[2].text, "166.7");
  EXPECT_EQ(scaled[2].box.top, 86);
  EXPECT_EQ(scaled[4].text, "100.0");
  EXPECT_EQ(scaled[4].box.top, 218);
  EXPECT_GT(test::CountPixels(labels, scaled[0].box, kScaledLabelColor), 0);
}

TEST(AxisLabels, InnerValuesUseASinglePrecisionStep) {
  ScopeSettings s = test::SettingsAt(4);
  s.yDivision = 2;
  s.yMin[0] = -30.0;
  s.yMax[0] = -29.5;
  const std::vector<CanvasText> y = YLabels(BuildAxisLabels(s), kWhite);
  ASSERT_EQ(y.size(), 11U);
  // -29.5 - 3 x 0.05f reads -29.650000002...; a double step would give
  // -29.6499999... and "-29.6".
  EXPECT_EQ(y[4].text, "-29.7");
  EXPECT_EQ(y[4].box.top, 3 * 40 + 10);
}

TEST(AxisLabels, ReversedColoursDrawBlackLabelsOnWhite) {
  ScopeSettings s = SixDivisions(0, 100);
  s.colorReverse = 1;
  const Canvas labels = BuildAxisLabels(s);
  EXPECT_EQ(labels.PixelAt(579, 0), kWhite);
  EXPECT_EQ(YLabels(labels, kBlack).size(), 7U);
  EXPECT_EQ(TextsIn(labels, kTimeUnitTextColor).size(), 1U);
  EXPECT_GT(test::CountPixels(labels, Box{0, 10, 60, 30}, kBlack), 0);
}

}  // namespace
}  // namespace kestrova
