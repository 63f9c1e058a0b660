#include <algorithm>
#include <cstdint>

#include <gtest/gtest.h>

#include "simulator/TestWaveform.h"
#include "simulator/UnitConfiguration.h"

namespace kestrova {
namespace {

TEST(UnitConfigurationTest, ReadsEveryFieldOfTheControlWord) {
  // ADC, channel 1, Auto, Falling, signed, time base 3, running.
  const UnitConfiguration example{0x3110, 0};
  EXPECT_EQ(example.TimeBaseIndex(), 3);
  EXPECT_TRUE(example.Running());
  EXPECT_EQ(example.Trigger(), TriggerMode::Auto);
  EXPECT_FALSE(example.RisingEdge());
  EXPECT_TRUE(example.SignedTrigger());
  EXPECT_EQ(example.Mode(), 0);
  EXPECT_EQ(example.TriggerChannel(), 0);
  EXPECT_EQ(example.OptionBits(), 0);

  // Time base 12, B3 and B1, Single, Rising, unsigned, UART, channel 4.
  const UnitConfiguration other{0xCAEF, 0};
  EXPECT_EQ(other.TimeBaseIndex(), 12);
  EXPECT_EQ(other.OptionBits(), 0b101);
  EXPECT_FALSE(other.Running());
  EXPECT_EQ(other.Trigger(), TriggerMode::Single);
  EXPECT_TRUE(other.RisingEdge());
  EXPECT_FALSE(other.SignedTrigger());
  EXPECT_EQ(other.Mode(), 3);
  EXPECT_EQ(other.TriggerChannel(), 3);

  EXPECT_EQ((UnitConfiguration{0x0080, 0}.Trigger()), TriggerMode::Normal);
  // Bit 6 alone is not a trigger mode the program sends; without bit 7 it is Auto.
  EXPECT_EQ((UnitConfiguration{0x0040, 0}.Trigger()), TriggerMode::Auto);
}

TEST(UnitConfigurationTest, LevelFollowsTheSignednessOfTheTriggerChannel) {
  EXPECT_EQ((UnitConfiguration{0x0010, 0xFFF6}.Level()), -10);
  EXPECT_EQ((UnitConfiguration{0x0000, 0xFFF6}.Level()), 65526);
  EXPECT_EQ((UnitConfiguration{0x0010, 0x0064}.Level()), 100);
  EXPECT_EQ((UnitConfiguration{0x0010, 0x8000}.Level()), -32768);
}

TEST(UnitConfigurationTest, ParsesOnlyWellFormedBodiesWithTheRightChecksum) {
  const auto park = ParseConfigurationBody("S40000000D7");
  ASSERT_TRUE(park.has_value());
  EXPECT_EQ(park->controlWord, 0x4000);
  EXPECT_EQ(park->levelWord, 0);

  const auto example = ParseConfigurationBody("S31100000D8");
  ASSERT_TRUE(example.has_value());
  EXPECT_EQ(example->controlWord, 0x3110);

  // Lower-case digits are read too; the checksum is over the characters as sent.
  const auto lower = ParseConfigurationBody("S3110fff680");
  ASSERT_TRUE(lower.has_value());
  EXPECT_EQ(lower->levelWord, 0xFFF6);
  EXPECT_FALSE(ParseConfigurationBody("S3110FFF680").has_value());

  EXPECT_FALSE(ParseConfigurationBody("S40000000D8").has_value());   // checksum off by one
  EXPECT_FALSE(ParseConfigurationBody("S40000000D").has_value());    // short
  EXPECT_FALSE(ParseConfigurationBody("S40000000D70").has_value());  // long
  EXPECT_FALSE(ParseConfigurationBody("T40000000D8").has_value());   // another letter
  EXPECT_FALSE(ParseConfigurationBody("S4000000GD7").has_value());   // not a digit
  EXPECT_FALSE(ParseConfigurationBody("").has_value());
}

TEST(TestWaveformTest, SampleSpacingAndScreenLengthFollowTheTimeBase) {
  EXPECT_EQ(SampleSpacingNs(0), 2'000);    // 100 us/div
  EXPECT_EQ(SampleSpacingNs(4), 40'000);   // 2 ms/div
  EXPECT_EQ(SampleSpacingNs(5), 100'000);  // 5 ms/div
  EXPECT_EQ(SampleSpacingNs(6), 200'000);  // 10 ms/div
  EXPECT_EQ(SampleSpacingNs(12), 200'000);
  EXPECT_EQ(SampleSpacingNs(15), 200'000);  // no selection: the slowest entry

  EXPECT_EQ(SamplesPerScreen(0), 500);
  EXPECT_EQ(SamplesPerScreen(5), 500);
  EXPECT_EQ(SamplesPerScreen(6), 500);
  EXPECT_EQ(SamplesPerScreen(7), 1000);
  EXPECT_EQ(SamplesPerScreen(12), 50'000);
}

// Rising crossings of level 10 on channel 1 within one screen.
int RisingCrossingsPerScreen(const TestWaveform& wave, std::int64_t start) {
  int crossings = 0;
  for (std::int64_t n = start + 1; n < start + wave.SamplesPerScreen(); ++n) {
    if (wave.Sample(0, n - 1) < 10 && wave.Sample(0, n) >= 10) ++crossings;
  }
  return crossings;
}

TEST(TestWaveformTest, ChannelOneTriggersAFewTimesPerScreenInEveryModeAndTimeBase) {
  for (int mode = 0; mode < 4; ++mode) {
    for (int timeIndex = 0; timeIndex <= 12; ++timeIndex) {
      const TestWaveform wave(7, mode, 0, SamplesPerScreen(timeIndex));
      for (const std::int64_t start : {std::int64_t{0}, std::int64_t{123'457}}) {
        const int crossings = RisingCrossingsPerScreen(wave, start);
        EXPECT_GE(crossings, 2) << "mode " << mode << " time base " << timeIndex;
        EXPECT_LE(crossings, 60) << "mode " << mode << " time base " << timeIndex;
      }
    }
  }
}

// Without options every channel of every mode lies within the default axis
// (0..100) read unsigned, and moves visibly; B2 lets ADC channel 4 dip
// briefly below zero, so that the Unsigned box matters.
TEST(TestWaveformTest, ChannelsStayWithinTheDefaultAxisUnlessB2LowersChannelFour) {
  for (int mode = 0; mode < 4; ++mode) {
    const TestWaveform wave(3, mode, 0, 500);
    for (int channel = 0; channel < 4; ++channel) {
      int lowest = 100000;
      int highest = -1;
      for (std::int64_t n = 0; n < 5000; ++n) {
        const int value = wave.Sample(channel, n);
        lowest = std::min(lowest, value);
        highest = std::max(highest, value);
      }
      EXPECT_GE(lowest, 0) << "mode " << mode << " channel " << channel;
      EXPECT_LE(highest, 100) << "mode " << mode << " channel " << channel;
      EXPECT_GT(highest - lowest, mode == 0 ? 30 : 20) << "mode " << mode << " channel " << channel;
    }
  }
  const TestWaveform lowered(3, 0, 2, 500);
  int negative = 0;
  for (std::int64_t n = 0; n < 500; ++n)
    negative += static_cast<std::int16_t>(lowered.Sample(3, n)) < 0 ? 1 : 0;
  EXPECT_GT(negative, 0);
  EXPECT_LT(negative, 50);
}

TEST(TestWaveformTest, IsFixedBySeedModeAndOptions) {
  const TestWaveform a(5, 0, 0, 500);
  const TestWaveform same(5, 0, 0, 500);
  const TestWaveform otherSeed(6, 0, 0, 500);
  const TestWaveform wideRange(5, 0, 1, 500);
  const TestWaveform spi(5, 1, 0, 500);
  const TestWaveform spiIdleHigh(5, 1, 2, 500);
  int differSeed = 0;
  for (std::int64_t n = 0; n < 500; ++n) {
    for (int c = 0; c < 4; ++c) {
      ASSERT_EQ(a.Sample(c, n), same.Sample(c, n));
      differSeed += a.Sample(c, n) != otherSeed.Sample(c, n) ? 1 : 0;
      // The wide input range reads six times smaller about 50.
      const double expected = 50.0 + (static_cast<std::int16_t>(a.Sample(c, n)) - 50.0) / 6.0;
      EXPECT_NEAR(static_cast<std::int16_t>(wideRange.Sample(c, n)), expected, 1.0);
    }
    // Logic levels only in the bus modes; B2 turns the idle clock high.
    EXPECT_TRUE(spi.Sample(0, n) == 0 || spi.Sample(0, n) == 100);
    if (spi.Sample(3, n) == 100) {  // /CS high: no transfer
      EXPECT_EQ(spi.Sample(0, n), 0);
      EXPECT_EQ(spiIdleHigh.Sample(0, n), 100);
    }
  }
  EXPECT_GT(differSeed, 1000);
}

}  // namespace
}  // namespace kestrova
