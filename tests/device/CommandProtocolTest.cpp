#include <cmath>
#include <limits>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "SessionTestSupport.h"
#include "device/CommandProtocol.h"

namespace kestrova {
namespace {

using fakes::Bytes;
using fakes::SessionRig;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// ADC, trigger on channel 1, Auto, Falling, channel 1 signed, no options,
// level 0: everything that feeds the control word at its quietest.
ScopeSettings QuietSettings() {
  ScopeSettings s;
  s.operationMode = 0;
  s.triggerChannel[0] = 0;
  s.autoTrigger = 1;
  s.triggerStop = 0;
  s.triggerEdge = 0;
  s.unsignedSamples[0][0] = 0;
  s.triggerLevel[0] = 0.0;
  return s;
}

TEST(CommandProtocolTest, WorkedExampleOnTheWire) {
  const ScopeSettings s = QuietSettings();
  EXPECT_EQ(ControlWord(s, 3, true), 0x3110);
  EXPECT_EQ(LevelWord(s), 0x0000);
  EXPECT_EQ(ConfigurationCommand(ControlWord(s, 3, true), LevelWord(s)), "\x02S31100000D8\x03");
}

TEST(CommandProtocolTest, ChecksumCoversTheBodyOnly) {
  EXPECT_EQ(BodyChecksum("S40000000"), 0xD7);
  EXPECT_EQ(FrameCommand("S40000000"), "\x02S40000000D7\x03");
  EXPECT_EQ(FrameCommand(""), fakes::Framed("00"));
  // The sum wraps at 8 bits: 3 x 0xFF = 0x2FD.
  EXPECT_EQ(FrameCommand("\xFF\xFF\xFF"),
            "\x02\xFF\xFF\xFF"
            "FD\x03");
}

TEST(CommandProtocolTest, FixedCommands) {
  EXPECT_THAT(Bytes(ParkCommand()),
              ElementsAre(0x02, 0x53, 0x34, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x44, 0x37, 0x03));
  EXPECT_THAT(Bytes(IdentificationQuery()), ElementsAre(0x02, '?', 0x03));
}

TEST(CommandProtocolTest, TimeBaseSelectionFillsTheTopNibble) {
  const ScopeSettings s = QuietSettings();
  EXPECT_EQ(ControlWord(s, 12, false) & control::kTimeBaseMask, 0xC000);
  EXPECT_EQ(ControlWord(s, 0, false) & control::kTimeBaseMask, 0x0000);
  EXPECT_EQ(ControlWord(s, -1, false) & control::kTimeBaseMask, 0xF000);
}

TEST(CommandProtocolTest, TriggerModeEdgeAndRunBits) {
  ScopeSettings s = QuietSettings();
  const auto triggerBits = [&] {
    return ControlWord(s, 0, false) & (control::kTriggered | control::kSingle);
  };
  EXPECT_EQ(triggerBits(), 0);  // Auto
  s.autoTrigger = 0;
  EXPECT_EQ(triggerBits(), control::kTriggered);  // Normal
  s.triggerStop = 1;
  EXPECT_EQ(triggerBits(), control::kTriggered | control::kSingle);  // Single

  s = QuietSettings();
  s.triggerEdge = 1;
  EXPECT_EQ(ControlWord(s, 0, false), control::kRising | control::kSigned);
  s.unsignedSamples[0][0] = 1;
  EXPECT_EQ(ControlWord(s, 0, false), control::kRising);
  EXPECT_EQ(ControlWord(s, 0, true), control::kRising | control::kRunning);
}

TEST(CommandProtocolTest, EverythingComesFromTheCurrentMode) {
  ScopeSettings s = QuietSettings();
  // Mode 2 (CAN), B1 and B3 ticked, trigger on channel 4 which is unsigned,
  // while mode 0 says otherwise.
  s.operationMode = 2;
  s.optionBits[2] = {1, 0, 1};
  s.triggerChannel[2] = 3;
  s.unsignedSamples[2][3] = 1;
  s.unsignedSamples[2][0] = 0;
  s.scale[2][3] = 2.0;
  s.offset[2][3] = 10.0;
  s.triggerLevel[2] = 210.0;
  s.optionBits[0] = {0, 1, 0};
  s.triggerLevel[0] = 5.0;
  EXPECT_EQ(ControlWord(s, 4, false), 0x4000 | control::kOptionB1 | control::kOptionB3 | (2 << 2) | 3);
  EXPECT_EQ(LevelWord(s), 100);  // (210 - 10) / 2

  s.unsignedSamples[2][3] = 0;
  EXPECT_EQ(ControlWord(s, 4, false) & control::kSigned, control::kSigned);
  s.optionBits[2] = {0, 1, 0};
  EXPECT_EQ(ControlWord(s, 4, false) & 0x0E00, control::kOptionB2);
}

TEST(CommandProtocolTest, ATriggerChannelOutOfRangeCannotReachOtherBits) {
  ScopeSettings s = QuietSettings();
  s.triggerChannel[0] = 7;
  EXPECT_EQ(ControlWord(s, 0, false) & 0x000F, 3);
  s.triggerChannel[0] = -2;
  EXPECT_EQ(ControlWord(s, 0, false) & 0x000F, 0);
}

// The level is converted back to raw units and limited to the trigger
// channel's range instead of wrapping round to a far-away level.
TEST(CommandProtocolTest, LevelWordTruncatesAndSaturates) {
  ScopeSettings s = QuietSettings();
  const auto level = [&](double value, bool isUnsigned) {
    s.triggerLevel[0] = value;
    s.unsignedSamples[0][0] = isUnsigned ? 1 : 0;
    return LevelWord(s);
  };
  EXPECT_EQ(level(-1.0, false), 0xFFFF);
  EXPECT_EQ(level(-10.0, false), 0xFFF6);
  EXPECT_EQ(level(32767.0, false), 0x7FFF);
  EXPECT_EQ(level(40000.0, false), 0x7FFF);
  EXPECT_EQ(level(-32768.0, false), 0x8000);
  EXPECT_EQ(level(-40000.0, false), 0x8000);
  EXPECT_EQ(level(65535.0, true), 0xFFFF);
  EXPECT_EQ(level(70000.0, true), 0xFFFF);
  EXPECT_EQ(level(-5.0, true), 0x0000);
  EXPECT_EQ(level(1e300, true), 0xFFFF);

  // Truncation toward zero, after scale and offset.
  s.scale[0][0] = 2.0;
  s.offset[0][0] = 1.0;
  EXPECT_EQ(level(8.0, true), 3);         // 3.5
  EXPECT_EQ(level(-6.0, false), 0xFFFD);  // -3.5 -> -3
}

TEST(CommandProtocolTest, LevelWordOfADegenerateScaleIsSafe) {
  ScopeSettings s = QuietSettings();
  s.scale[0][0] = 0.0;
  s.triggerLevel[0] = 0.0;
  EXPECT_EQ(LevelWord(s), 0);  // 0 / 0
  s.triggerLevel[0] = 5.0;
  EXPECT_EQ(LevelWord(s), 0x7FFF);  // +inf, signed
  s.triggerLevel[0] = -5.0;
  EXPECT_EQ(LevelWord(s), 0x8000);  // -inf, signed
  s.unsignedSamples[0][0] = 1;
  EXPECT_EQ(LevelWord(s), 0x0000);
  s.triggerLevel[0] = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(LevelWord(s), 0);
}

TEST(CommandProtocolTest, SendConfigurationNeedsAnOpenSession) {
  SessionRig rig;
  SendConfiguration(rig.session, QuietSettings(), 3);
  EXPECT_THAT(rig.driver.Writes(), IsEmpty());
  EXPECT_EQ(rig.driver.CountCalls("Load"), 0);  // it does not open anything either
}

TEST(CommandProtocolTest, SendConfigurationWritesTheCommandWithTheRunFlag) {
  SessionRig rig;
  ASSERT_TRUE(rig.OpenWithUnit());
  rig.running.Set(true);
  SendConfiguration(rig.session, QuietSettings(), 3);
  ASSERT_TRUE(rig.driver.WaitUntil([&] { return rig.driver.Writes().size() == 1; }));
  EXPECT_EQ(rig.driver.Writes()[0], Bytes("\x02S31100000D8\x03"));
}

TEST(CommandProtocolTest, StopStreamingWithAnOpenSession) {
  SessionRig rig;
  ASSERT_TRUE(rig.OpenWithUnit());
  rig.running.Set(true);
  SampleBuffer buffer;
  buffer.viewIndex = 42;
  int invalidated = 0;
  StopStreaming(rig.session, QuietSettings(), 3, buffer, [&] { ++invalidated; });
  EXPECT_FALSE(rig.running.Get());
  ASSERT_TRUE(rig.driver.WaitUntil([&] { return rig.driver.Writes().size() == 1; }));
  EXPECT_EQ(rig.driver.Writes()[0], Bytes("\x02S30100000D7\x03"));
  EXPECT_EQ(buffer.viewIndexAtStop, 42);
  EXPECT_EQ(invalidated, 1);
}

TEST(CommandProtocolTest, StopStreamingWithoutASessionStillKeepsThePosition) {
  SessionRig rig;
  rig.running.Set(true);
  SampleBuffer buffer;
  buffer.viewIndex = 7;
  int invalidated = 0;
  StopStreaming(rig.session, QuietSettings(), 3, buffer, [&] { ++invalidated; });
  EXPECT_TRUE(rig.running.Get());  // nothing was sent, so nothing was stopped
  EXPECT_THAT(rig.driver.Writes(), IsEmpty());
  EXPECT_EQ(buffer.viewIndexAtStop, 7);
  EXPECT_EQ(invalidated, 1);
}

}  // namespace
}  // namespace kestrova
