#include <gtest/gtest.h>

#include "cli/CaptureSettings.h"
#include "device/CommandProtocol.h"

namespace kestrova::cli {
namespace {

// Without options the run captures with the window's first-run defaults.
TEST(CaptureSettings, DefaultsAreTheWindowsDefaults) {
  const CaptureSettings built = BuildCaptureSettings({});
  ASSERT_EQ(built.refusal, "");
  EXPECT_TRUE(built.adjustments.empty());
  const ScopeSettings defaults;
  EXPECT_EQ(ControlWord(built.settings, built.settings.timeIndex, true), ControlWord(defaults, 4, true));
  EXPECT_EQ(LevelWord(built.settings), LevelWord(defaults));
  EXPECT_EQ(built.settings.timePerDivision, 20);
  EXPECT_EQ(built.settings.channelEnable[0], (std::array<int, 4>{1, 1, 1, 1}));
}

TEST(CaptureSettings, OptionsReachTheCurrentModesFields) {
  SettingsOptions o;
  o.mode = 2;
  o.optionBits = {false, true, false};
  o.timeIndex = 7;
  o.trigger = 1;
  o.triggerChannel = 3;
  o.edge = 0;
  o.level = "0x20";
  o.channels = std::array<bool, 4>{false, true, true, false};
  o.scale[1] = "0.5";
  o.offset[2] = "-3";
  o.unsignedSamples[3] = false;
  const CaptureSettings built = BuildCaptureSettings(o);
  ASSERT_EQ(built.refusal, "");
  const ScopeSettings& s = built.settings;
  EXPECT_EQ(s.operationMode, 2);
  EXPECT_EQ(s.optionBits[2], (std::array<int, 3>{0, 1, 0}));
  EXPECT_EQ(s.timePerDivision, 200);
  EXPECT_EQ(s.triggerChannel[2], 3);
  EXPECT_EQ(s.triggerEdge, 0);
  EXPECT_EQ(s.triggerLevel[2], 32.0);
  EXPECT_EQ(s.channelEnable[2], (std::array<int, 4>{0, 1, 1, 0}));
  EXPECT_EQ(s.scale[2][1], 0.5);
  EXPECT_EQ(s.offset[2][2], -3.0);
  EXPECT_EQ(s.unsignedSamples[2][3], 0);
  EXPECT_EQ(s.autoTrigger, 0);
  EXPECT_EQ(s.triggerOnly, 1);
  EXPECT_EQ(s.triggerStop, 0);
  // The other modes keep their defaults.
  EXPECT_EQ(s.scale[0][1], 1.0);
}

// The window's clamping applies, and the run says what it changed.
TEST(CaptureSettings, ClampedValuesAreReported) {
  SettingsOptions o;
  o.yMin = "200";
  o.yMax = "50";
  o.level = "500";
  o.scale[0] = "0";
  const CaptureSettings built = BuildCaptureSettings(o);
  ASSERT_EQ(built.refusal, "");
  const ScopeSettings& s = built.settings;
  EXPECT_EQ(s.yMin[0], 50.0);
  EXPECT_EQ(s.yMax[0], 200.0);
  EXPECT_EQ(s.triggerLevel[0], 200.0);
  EXPECT_EQ(s.scale[0][0], 1.0);
  EXPECT_EQ(built.adjustments,
            (std::vector<std::string>{"--ymin '200' is taken as 50.0000, as the window takes it",
                                      "--ymax '50' is taken as 200.0000, as the window takes it",
                                      "--level '500' is taken as 200.0000, as the window takes it",
                                      "--scale (channel 1) '0' is taken as 1, as the window takes it"}));
}

TEST(CaptureSettings, WhatTheWindowRefusesIsRefused) {
  SettingsOptions o;
  o.yMax = "100";
  o.offset[3] = "12xyz";
  EXPECT_EQ(BuildCaptureSettings(o).refusal,
            "--offset (channel 4): '12xyz' is not a number the window accepts (decimal, integer, or hexadecimal as "
            "0x1F or 1FH)");
  SettingsOptions empty;
  empty.level = " ";
  EXPECT_TRUE(BuildCaptureSettings(empty).refusal.starts_with("--level: ' ' is not a number"));
}

}  // namespace
}  // namespace kestrova::cli
