#include <gtest/gtest.h>

#include "DisplayTestSupport.h"
#include "display/HistoryWindow.h"

namespace kestrova {
namespace {

SampleBuffer Ring(int writeIndex, int frameCount, int viewIndex = 0, int viewIndexAtStop = 0) {
  SampleBuffer buffer;
  buffer.writeIndex = writeIndex;
  buffer.frameCount = frameCount;
  buffer.viewIndex = viewIndex;
  buffer.viewIndexAtStop = viewIndexAtStop;
  return buffer;
}

TEST(HistoryWindow, FramesPerScreenFollowTheTimeBaseUnlessTheTriggerIsNotAuto) {
  ScopeSettings s = test::SettingsAt(7);  // "20 ms"
  EXPECT_EQ(FramesPerScreenFor(s), 2);
  s = test::SettingsAt(12);  // "1 s"
  EXPECT_EQ(FramesPerScreenFor(s), 100);
  s.autoTrigger = 0;
  EXPECT_EQ(FramesPerScreenFor(s), 1);
}

TEST(HistoryWindow, WhileAcquiringEndsAtTheNewestFrame) {
  // Enough frames: n slots back from writeIndex, wrapping below slot 0.
  EXPECT_EQ(ComputeHistoryWindow(10, Ring(30, 30), true), (HistoryWindow{20, 30, 10}));
  EXPECT_EQ(ComputeHistoryWindow(10, Ring(3, 100), true), (HistoryWindow{93, 3, 10}));
  // The whole ring at "1 s": start and end meet at writeIndex.
  EXPECT_EQ(ComputeHistoryWindow(100, Ring(37, 100), true), (HistoryWindow{37, 37, 100}));
  // Fewer frames than the window needs: only those stored, from slot 0.
  EXPECT_EQ(ComputeHistoryWindow(10, Ring(3, 3), true), (HistoryWindow{0, 3, 3}));
  EXPECT_EQ(ComputeHistoryWindow(100, Ring(40, 40), true), (HistoryWindow{0, 40, 40}));
  // Nothing stored yet at this time base (the time base changed while frames
  // were counted): n cleared slots, never more than one screen.
  EXPECT_EQ(ComputeHistoryWindow(10, Ring(0, 5), true), (HistoryWindow{0, 0, 10}));
}

TEST(HistoryWindow, WhileStoppedFollowsTheScrollBar) {
  // "20 ms", writeIndex 5, scroll bar where it stopped: frames 3 and 4.
  EXPECT_EQ(ComputeHistoryWindow(2, Ring(5, 5, 4, 4), false), (HistoryWindow{3, 5, 2}));
  // One line left: frames 2 and 3.
  EXPECT_EQ(ComputeHistoryWindow(2, Ring(5, 5, 3, 4), false), (HistoryWindow{2, 4, 2}));
  // Scrolled back across slot 0 of a full ring.
  EXPECT_EQ(ComputeHistoryWindow(5, Ring(1, 100, 0, 10), false), (HistoryWindow{86, 91, 5}));
  // Further back than one ring.
  EXPECT_EQ(ComputeHistoryWindow(10, Ring(5, 100, 0, 89), false), (HistoryWindow{6, 16, 10}));
  EXPECT_EQ(ComputeHistoryWindow(10, Ring(5, 100, 0, 189), false), (HistoryWindow{6, 16, 10}));
  // Past slot 99 and a window that wraps.
  EXPECT_EQ(ComputeHistoryWindow(2, Ring(98, 100, 5, 0), false), (HistoryWindow{1, 3, 2}));
  EXPECT_EQ(ComputeHistoryWindow(10, Ring(95, 100, 4, 0), false), (HistoryWindow{89, 99, 10}));
  EXPECT_EQ(ComputeHistoryWindow(10, Ring(99, 100, 5, 0), false), (HistoryWindow{94, 4, 10}));
  // Fewer frames than needed: the window still spans n slots from slot 0.
  EXPECT_EQ(ComputeHistoryWindow(10, Ring(3, 3, 0, 0), false), (HistoryWindow{0, 10, 10}));
  // The whole ring.
  EXPECT_EQ(ComputeHistoryWindow(100, Ring(37, 100, 0, 0), false), (HistoryWindow{37, 37, 100}));
}

}  // namespace
}  // namespace kestrova
