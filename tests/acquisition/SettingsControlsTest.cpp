#include <ostream>

#include <gtest/gtest.h>

#include "FakeControlPanel.h"
#include "acquisition/ControlIds.h"
#include "acquisition/SettingsControls.h"

namespace kestrova {
namespace {

using testing::FakeControlPanel;
using testing::RecordingAxisLabels;

class SettingsControlsTest : public ::testing::Test {
 protected:
  SettingsControlsTest() { panel.ShowSettings(settings); }

  ScopeSettings settings;
  FakeControlPanel panel;
  RecordingAxisLabels labels{&settings};
};

TEST_F(SettingsControlsTest, ReadControlsKeepsTextsAsTypedAndFallsBackPerField) {
  panel.texts[ctl::ScaleEdit[0]] = "  1FH ";
  panel.texts[ctl::ScaleEdit[1]] = "";
  panel.texts[ctl::ScaleEdit[2]] = "xyz";
  panel.texts[ctl::OffsetEdit[0]] = "-0x10";
  panel.texts[ctl::OffsetEdit[1]] = "junk";
  panel.texts[ctl::YMinEdit] = "";
  panel.texts[ctl::YMaxEdit] = "x";
  panel.texts[ctl::TriggerLevelEdit] = " ";

  ReadControls(settings, panel, labels);

  EXPECT_EQ(settings.scaleText[0][0], "1FH");
  EXPECT_DOUBLE_EQ(settings.scale[0][0], 31.0);
  EXPECT_EQ(settings.scaleText[0][1], "1");
  EXPECT_DOUBLE_EQ(settings.scale[0][1], 1.0);
  EXPECT_EQ(settings.scaleText[0][2], "1");
  EXPECT_EQ(settings.offsetText[0][0], "-0x10");
  EXPECT_DOUBLE_EQ(settings.offset[0][0], -16.0);
  EXPECT_EQ(settings.offsetText[0][1], "0");
  EXPECT_DOUBLE_EQ(settings.offset[0][1], 0.0);
  EXPECT_EQ(settings.yMinText[0], "0");
  EXPECT_EQ(settings.yMaxText[0], "100");
  EXPECT_DOUBLE_EQ(settings.yMax[0], 100.0);
  EXPECT_EQ(settings.triggerLevelText[0], "10");
  EXPECT_DOUBLE_EQ(settings.triggerLevel[0], 10.0);
}

TEST_F(SettingsControlsTest, ReadControlsFollowsTheChannelBoxesAndColourButtons) {
  panel.checks[ctl::ChannelEnable[2]] = false;
  panel.checks[ctl::UnsignedCheck[1]] = false;
  panel.colors[ctl::CursorColor] = Rgb(1, 2, 3);

  ReadControls(settings, panel, labels);

  EXPECT_EQ(settings.channelEnable[0][2], 0);
  EXPECT_FALSE(panel.IsEnabled(ctl::ScaleEdit[2]));
  EXPECT_FALSE(panel.IsEnabled(ctl::OffsetEdit[2]));
  EXPECT_FALSE(panel.IsEnabled(ctl::UnsignedCheck[2]));
  EXPECT_FALSE(panel.IsEnabled(ctl::TraceColor[2]));
  EXPECT_TRUE(panel.IsEnabled(ctl::ScaleEdit[1]));
  EXPECT_EQ(settings.unsignedSamples[0][1], 0);
  EXPECT_EQ(settings.liveColors[kCursorColor], Rgb(1, 2, 3));
  EXPECT_EQ(settings.graphColor[kCursorColor], Rgb(1, 2, 3));
}

TEST_F(SettingsControlsTest, ReadControlsStoresIntoTheOldModeThenPicksTheTickedRadio) {
  // The user typed into the ADC edits, then clicked "SPI": the radio is
  // already ticked when the controls are read.
  panel.texts[ctl::YMaxEdit] = "50";
  panel.texts[ctl::TriggerLevelEdit] = "25";
  panel.checks[ctl::OptionCheck[1]] = true;
  panel.checks[ctl::ModeRadio[0]] = false;
  panel.checks[ctl::ModeRadio[1]] = true;

  ReadControls(settings, panel, labels);

  EXPECT_EQ(settings.operationMode, 1);
  EXPECT_EQ(settings.yMaxText[0], "50");
  EXPECT_EQ(settings.triggerLevelText[0], "25");
  EXPECT_EQ(settings.optionBits[0][1], 1);
  EXPECT_EQ(settings.yMaxText[1], "100");
  EXPECT_EQ(settings.optionBits[1][1], 0);
  // The mapping now follows the SPI axis (0..100).
  EXPECT_DOUBLE_EQ(settings.mapping.pixelsPerUnit, 4.0);
  EXPECT_EQ(settings.triggerRow, 360);
}

TEST_F(SettingsControlsTest, ReadControlsKeepsTheModeWhenNoRadioIsTicked) {
  settings.operationMode = 2;
  for (const int id : ctl::ModeRadio) panel.checks[id] = false;
  ReadControls(settings, panel, labels);
  EXPECT_EQ(settings.operationMode, 2);
}

TEST_F(SettingsControlsTest, ReadControlsRefreshesTheMappingAndTriggerRow) {
  panel.texts[ctl::YMinEdit] = "-10";
  panel.texts[ctl::YMaxEdit] = "10";
  panel.texts[ctl::TriggerLevelEdit] = "5";
  ReadControls(settings, panel, labels);
  EXPECT_DOUBLE_EQ(settings.mapping.pixelsPerUnit, 20.0);
  EXPECT_EQ(settings.mapping.pixelOffset, 200);
  EXPECT_EQ(settings.triggerRow, 100);
}

TEST_F(SettingsControlsTest, AxisFactorIsDrawnWithThePlainReadingThenReadWithTheEditRule) {
  panel.checks[ctl::AxisScaleCheck] = true;
  panel.texts[ctl::AxisScaleEdit] = "0x10";
  ReadControls(settings, panel, labels);
  EXPECT_EQ(labels.builds, 1);
  EXPECT_DOUBLE_EQ(labels.lastFactor, 0.0);  // "0x10" read as a plain decimal
  EXPECT_DOUBLE_EQ(settings.axisScaleFactor[0], 16.0);
  EXPECT_EQ(settings.axisScaleEnable[0], 1);

  panel.texts[ctl::AxisScaleEdit] = "";
  ReadControls(settings, panel, labels);
  EXPECT_DOUBLE_EQ(settings.axisScaleFactor[0], 1.0);
  panel.texts[ctl::AxisScaleEdit] = "2.5kg";
  ReadControls(settings, panel, labels);
  EXPECT_DOUBLE_EQ(labels.lastFactor, 2.5);
  EXPECT_DOUBLE_EQ(settings.axisScaleFactor[0], 1.0);
}

TEST_F(SettingsControlsTest, ReadControlsKeepsIndicesOfListsWithoutASelection) {
  settings.timeIndex = 9;
  panel.selections[ctl::TimeList] = -1;
  panel.selections[ctl::TriggerChannelList] = 2;
  ReadControls(settings, panel, labels);
  EXPECT_EQ(settings.timeIndex, 9);
  EXPECT_EQ(settings.triggerChannel[0], 2);
}

TEST_F(SettingsControlsTest, ValidateInputsFillsEmptyChannelEditsAndRejectsNonNumbers) {
  panel.texts[ctl::ScaleEdit[3]] = "  ";
  panel.texts[ctl::OffsetEdit[2]] = "";
  EXPECT_TRUE(ValidateInputs(panel));
  EXPECT_EQ(panel.texts[ctl::ScaleEdit[3]], "1");
  EXPECT_EQ(panel.texts[ctl::OffsetEdit[2]], "0");

  for (const int id :
       {ctl::ScaleEdit[1], ctl::OffsetEdit[0], ctl::YMinEdit, ctl::YMaxEdit, ctl::TriggerLevelEdit}) {
    FakeControlPanel bad = panel;
    bad.texts[id] = "1,5";
    EXPECT_FALSE(ValidateInputs(bad)) << id;
  }
  for (const int id : {ctl::YMinEdit, ctl::YMaxEdit, ctl::TriggerLevelEdit}) {
    FakeControlPanel empty = panel;
    empty.texts[id] = " ";
    EXPECT_FALSE(ValidateInputs(empty)) << id;
  }
}

struct ClampCase {
  const char* yMin;
  const char* yMax;
  const char* expectedMinText;
  const char* expectedMaxText;
  double expectedMin;
  double expectedMax;
};

void PrintTo(const ClampCase& c, std::ostream* os) {
  *os << c.yMin << ".." << c.yMax;
}

class ClampAxisTest : public SettingsControlsTest, public ::testing::WithParamInterface<ClampCase> {};

TEST_P(ClampAxisTest, LimitsThenSwapsThenSeparatesTheAxis) {
  const ClampCase& c = GetParam();
  panel.texts[ctl::YMinEdit] = c.yMin;
  panel.texts[ctl::YMaxEdit] = c.yMax;
  panel.texts[ctl::TriggerLevelEdit] = "-70000";  // keep the level out of the axis tests' way
  ReadControls(settings, panel, labels);
  ClampSettings(settings, panel);
  EXPECT_EQ(settings.yMinText[0], c.expectedMinText);
  EXPECT_EQ(settings.yMaxText[0], c.expectedMaxText);
  EXPECT_DOUBLE_EQ(settings.yMin[0], c.expectedMin);
  EXPECT_DOUBLE_EQ(settings.yMax[0], c.expectedMax);
  EXPECT_EQ(panel.texts[ctl::YMinEdit], c.expectedMinText);
  EXPECT_EQ(panel.texts[ctl::YMaxEdit], c.expectedMaxText);
}

INSTANTIATE_TEST_SUITE_P(
    Axes, ClampAxisTest,
    ::testing::Values(ClampCase{"5", "5", "4.0000", "5.0000", 4.0, 5.0},
                      ClampCase{"200000", "100", "100.0000", "65535.0000", 100.0, 65535.0},
                      ClampCase{"-70000", "80000", "-65535", "65535", -65535.0, 65535.0},
                      ClampCase{"-65535", "-65535", "-65535.0000", "-65534.0000", -65535.0, -65534.0},
                      ClampCase{"0x10", "-1FH", "-31.0000", "16.0000", -31.0, 16.0},
                      ClampCase{"1", "2", "1", "2", 1.0, 2.0}));

TEST_F(SettingsControlsTest, ClampKeepsScaleOffsetAndLevelInRange) {
  panel.texts[ctl::ScaleEdit[0]] = "0";
  panel.texts[ctl::ScaleEdit[1]] = "99999";
  panel.texts[ctl::ScaleEdit[2]] = "-99999";
  panel.texts[ctl::OffsetEdit[3]] = "-1" + std::string(400, '0');
  panel.texts[ctl::TriggerLevelEdit] = "250";
  ReadControls(settings, panel, labels);
  ClampSettings(settings, panel);

  EXPECT_EQ(settings.scaleText[0][0], "1");
  EXPECT_DOUBLE_EQ(settings.scale[0][0], 1.0);
  EXPECT_EQ(settings.scaleText[0][1], "65535");
  EXPECT_EQ(settings.scaleText[0][2], "-65535");
  EXPECT_EQ(settings.offsetText[0][3], "-65535");
  EXPECT_DOUBLE_EQ(settings.offset[0][3], -65535.0);
  EXPECT_EQ(settings.triggerLevelText[0], "100.0000");
  EXPECT_DOUBLE_EQ(settings.triggerLevel[0], 100.0);
  EXPECT_EQ(panel.texts[ctl::ScaleEdit[0]], "1");
  EXPECT_EQ(panel.texts[ctl::TriggerLevelEdit], "100.0000");

  panel.texts[ctl::TriggerLevelEdit] = "-5";
  ReadControls(settings, panel, labels);
  ClampSettings(settings, panel);
  EXPECT_EQ(settings.triggerLevelText[0], "0.0000");
}

TEST_F(SettingsControlsTest, ClampPullsEveryIndexIntoItsList) {
  settings.timeIndex = 13;
  settings.triggerChannel[0] = 4;
  ClampSettings(settings, panel);
  EXPECT_EQ(settings.timeIndex, 12);
  EXPECT_EQ(settings.triggerChannel[0], 3);

  settings.operationMode = 9;
  settings.timeIndex = -4;
  settings.triggerEdge = 5;
  settings.yDivision = -1;
  settings.realSaveIndex = 99;
  ClampSettings(settings, panel);
  EXPECT_EQ(settings.operationMode, 3);
  EXPECT_EQ(settings.timeIndex, 0);
  EXPECT_EQ(settings.triggerEdge, 1);
  EXPECT_EQ(settings.yDivision, 0);
  EXPECT_EQ(settings.realSaveIndex, 13);
}

}  // namespace
}  // namespace kestrova
