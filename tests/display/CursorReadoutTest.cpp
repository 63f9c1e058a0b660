#include <gtest/gtest.h>

#include "display/CursorReadout.h"

namespace kestrova {
namespace {

// Time per division in units of 100 us.
constexpr int k100usPerDiv = 1;
constexpr int k1msPerDiv = 10;
constexpr int k1sPerDiv = 10000;

TEST(CursorReadoutText, MicrosecondTimeBases) {
  EXPECT_EQ(CursorReadoutText(k100usPerDiv, 250, 250), "d=0.00us  f=0.0000kHz");
  EXPECT_EQ(CursorReadoutText(k100usPerDiv, 100, 150), "d=100.00us  f=10.0000kHz");
  EXPECT_EQ(CursorReadoutText(k100usPerDiv, 100, 101), "d=2.00us  f=500.0000kHz");
  // A column is at least 2 us long, so these time bases always show kHz;
  // a negative span keeps its sign in both numbers.
  EXPECT_EQ(CursorReadoutText(5, 200, 199), "d=-10.00us  f=-100.0000kHz");
}

TEST(CursorReadoutText, MillisecondTimeBases) {
  // The single-precision factor makes 50 columns slightly more than 1 ms, so
  // f stays below 1 kHz and is shown in Hz.
  EXPECT_EQ(CursorReadoutText(k1msPerDiv, 100, 150), "d=1.00ms  f=1000.0000Hz");
  EXPECT_EQ(CursorReadoutText(k1msPerDiv, 100, 125), "d=0.50ms  f=2.0000kHz");
  EXPECT_EQ(CursorReadoutText(k1msPerDiv, 100, 200), "d=2.00ms  f=500.0000Hz");
  EXPECT_EQ(CursorReadoutText(k1msPerDiv, 125, 100), "d=-0.50ms  f=-2.0000kHz");
  EXPECT_EQ(CursorReadoutText(k1msPerDiv, 7, 7), "d=0.00ms  f=0.0000Hz");
  EXPECT_EQ(CursorReadoutText(5000, 0, 1), "d=10.00ms  f=100.0000Hz");
}

TEST(CursorReadoutText, SecondTimeBase) {
  EXPECT_EQ(CursorReadoutText(k1sPerDiv, 300, 250), "d=-1.00s  f=-1.0000Hz");
  EXPECT_EQ(CursorReadoutText(k1sPerDiv, 0, 250), "d=5.00s  f=0.2000Hz");
  EXPECT_EQ(CursorReadoutText(k1sPerDiv, 40, 40), "d=0.00s  f=0.0000Hz");
}

TEST(CursorReadoutText, EmptyForTimeBasesOutsideTheTable) {
  EXPECT_EQ(CursorReadoutText(0, 0, 10), "");
  EXPECT_EQ(CursorReadoutText(7, 0, 10), "");
  EXPECT_EQ(CursorReadoutText(6000, 0, 10), "");
  EXPECT_EQ(CursorReadoutText(20000, 0, 10), "");
}

TEST(FormatReadouts, ThreeNumbersPerTickedChannelWithACapture) {
  ChannelCaptures captures;
  captures[0] = SampleCapture{12.5, 10.0, 30.0};
  captures[1] = SampleCapture{-1.23456, -2.0, -6.0};
  captures[3] = SampleCapture{1.0, 1.0, 1.0};
  const ChannelTicks ticked = {true, true, true, false};

  const ReadoutTexts on = FormatReadouts(captures, ticked, true);
  EXPECT_EQ(on[0], (ChannelReadout{"12.5000", "10.0000", "30.0000"}));
  EXPECT_EQ(on[1], (ChannelReadout{"-1.2346", "-2.0000", "-6.0000"}));
  EXPECT_EQ(on[2], ChannelReadout{}) << "no sample drawn at the cursor";
  EXPECT_EQ(on[3], ChannelReadout{}) << "channel not ticked";

  const ReadoutTexts off = FormatReadouts(captures, ticked, false);
  EXPECT_EQ(off[0], (ChannelReadout{"12.5000", "10.0000", ""}));
}

}  // namespace
}  // namespace kestrova
