#include <algorithm>

#include <gtest/gtest.h>

#include "DisplayTestSupport.h"
#include "acquisition/ControlIds.h"
#include "display/DisplayControls.h"

namespace kestrova {
namespace {

using test::k100ms;
using test::k1s;
using test::k500ms;

struct ScrollFixture : ::testing::Test {
  void At(int timeIndex) {
    settings = test::SettingsAt(timeIndex);
    ResetHistoryScroll(timeIndex, bar);
  }
  bool Scroll(ScrollRequest request, int track = 0) {
    return ScrollHistory(request, track, settings, running, bar, buffer);
  }

  ScopeSettings settings;
  SampleBuffer buffer;
  test::FakeScrollBar bar;
  bool running = false;
};

TEST_F(ScrollFixture, RangeFollowsTheTimeBase) {
  At(k100ms);
  EXPECT_EQ(bar.Minimum(), 0);
  EXPECT_EQ(bar.Maximum(), 89);
  At(k1s);
  EXPECT_EQ(bar.Maximum(), 0);
}

TEST_F(ScrollFixture, LineAndPageStepsAndThumbTrackingMoveTheView) {
  At(k100ms);
  bar.SetPosition(50);
  EXPECT_TRUE(Scroll(ScrollRequest::LineLeft));
  EXPECT_EQ(buffer.viewIndex, 49);
  EXPECT_TRUE(Scroll(ScrollRequest::LineRight));
  EXPECT_TRUE(Scroll(ScrollRequest::LineRight));
  EXPECT_EQ(buffer.viewIndex, 51);
  EXPECT_TRUE(Scroll(ScrollRequest::PageLeft));
  EXPECT_EQ(buffer.viewIndex, 41);
  EXPECT_TRUE(Scroll(ScrollRequest::PageRight));
  EXPECT_EQ(buffer.viewIndex, 51);
  EXPECT_TRUE(Scroll(ScrollRequest::ThumbTrack, 7));
  EXPECT_EQ(buffer.viewIndex, 7);
  // The bar limits the position; the view takes the limited value.
  EXPECT_TRUE(Scroll(ScrollRequest::PageLeft));
  EXPECT_EQ(buffer.viewIndex, 0);
  EXPECT_TRUE(Scroll(ScrollRequest::ThumbTrack, 500));
  EXPECT_EQ(buffer.viewIndex, 89);
  // Served but not moving: the view stays, the display is still redrawn.
  buffer.viewIndex = 33;
  EXPECT_TRUE(Scroll(ScrollRequest::ThumbPosition, 12));
  EXPECT_TRUE(Scroll(ScrollRequest::EndScroll));
  EXPECT_EQ(buffer.viewIndex, 33);
  EXPECT_EQ(bar.Position(), 89);
}

TEST_F(ScrollFixture, IgnoredWhileAcquiringAndAtOneSecond) {
  At(k500ms);
  bar.SetPosition(20);
  buffer.viewIndex = 20;
  running = true;
  EXPECT_FALSE(Scroll(ScrollRequest::LineLeft));
  EXPECT_FALSE(Scroll(ScrollRequest::ThumbTrack, 3));
  EXPECT_EQ(bar.Position(), 20);
  EXPECT_EQ(buffer.viewIndex, 20);

  At(k1s);
  running = false;
  buffer.viewIndex = 0;
  EXPECT_FALSE(Scroll(ScrollRequest::LineRight));
  EXPECT_FALSE(Scroll(ScrollRequest::EndScroll));
}

TEST(ChangeTimeBase, ResetsTheRingPositionsAndClearsItOnlyWhileAcquiring) {
  for (const bool running : {false, true}) {
    ScopeSettings settings = test::SettingsAt(4);
    SampleBuffer buffer = test::ClearedBuffer(settings);
    buffer.Values(42, 1)[7] = 3.5;
    buffer.writeIndex = 42;
    buffer.viewIndex = 30;
    buffer.viewIndexAtStop = 25;
    buffer.frameCount = 60;
    test::FakeScrollBar bar;
    bar.SetRange(0, 99);
    bar.SetPosition(40);

    const TimeBaseChange change = ChangeTimeBase(k100ms, running, settings, buffer, bar);
    EXPECT_EQ(settings.timePerDivision, 1000);
    EXPECT_EQ(settings.timeIndex, 4) << "taken at the next ReadControls";
    EXPECT_EQ(bar.Maximum(), 89);
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_EQ(buffer.writeIndex, 0);
    EXPECT_EQ(buffer.viewIndex, 0);
    EXPECT_EQ(buffer.frameCount, 60);
    EXPECT_EQ(change.refresh, (DisplayRefresh{false, true, true}));
    EXPECT_EQ(change.applyConfiguration, running);
    EXPECT_EQ(buffer.viewIndexAtStop, running ? 0 : 25);
    EXPECT_EQ(buffer.Values(42, 1)[7], running ? 0.0 : 3.5);
  }
}

TEST(DisplayOptions, ExtendedDisplaySizesTheWindowAndListsTheChannelPanel) {
  ScopeSettings settings;
  const ExtendedDisplayLayout shown = SetExtendedDisplay(true, settings);
  EXPECT_EQ(settings.extendedDisplay, 1);
  EXPECT_EQ(shown.outerHeight, 737);
  EXPECT_TRUE(shown.panelVisible);
  const ExtendedDisplayLayout hidden = SetExtendedDisplay(false, settings);
  EXPECT_EQ(settings.extendedDisplay, 0);
  EXPECT_EQ(hidden.outerHeight, 612);
  EXPECT_FALSE(hidden.panelVisible);

  std::vector<int> ids(hidden.panelControls.begin(), hidden.panelControls.end());
  std::ranges::sort(ids);
  std::vector<int> expected = {1090, 1091, 1092, 1093, 1094, 1095};
  for (int id = 1081; id <= 1084; ++id) expected.push_back(id);
  for (int id = 1002; id <= 1021; ++id) expected.push_back(id);
  std::ranges::sort(expected);
  EXPECT_EQ(ids, expected);
}

TEST(DisplayOptions, TheClientAreaEndsAboveAControlItWouldCut) {
  // The compact window's lower controls, in pixels: the device bar, the
  // logging box and the channel table's group beside it, a caption row.
  const std::vector<ControlRows> controls = {{543, 579}, {582, 699}, {582, 700}, {597, 613}};
  struct Case {
    int wanted;
    int height;
  };
  const std::vector<Case> cases = {
      {582, 582},  // framed: the edge runs between the rows
      {612, 582},  // no frame: through the caption row, then the boxes above it
      {600, 582},  // through the boxes
      {737, 737},  // below everything
      {560, 543},  // through the device bar
      {543, 543},
      {-5, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(UncutClientHeight(c.wanted, controls), c.height) << c.wanted;
  EXPECT_EQ(UncutClientHeight(612, {}), 612);
}

TEST(DisplayOptions, AxisScaleReadsTheLeadingNumberOfTheFactorText) {
  ScopeSettings settings;
  settings.operationMode = 2;
  EXPECT_EQ(SetAxisScale(true, " 2.5abc", settings), (DisplayRefresh{false, true, true}));
  EXPECT_EQ(settings.axisScaleEnable[2], 1);
  EXPECT_EQ(settings.axisScaleFactor[2], 2.5);
  EXPECT_EQ(settings.axisScaleEnable[0], 0) << "other modes untouched";
  SetAxisScale(false, "x", settings);
  EXPECT_EQ(settings.axisScaleEnable[2], 0);
  EXPECT_EQ(settings.axisScaleFactor[2], 0.0);
}

TEST(DisplayOptions, YDivisionColourReverseAndShowCursor) {
  ScopeSettings settings;
  EXPECT_EQ(ChangeYDivision(2, settings), (DisplayRefresh{true, true, true}));
  EXPECT_EQ(settings.yDivision, 2);
  ChangeYDivision(9, settings);
  EXPECT_EQ(settings.yDivision, 2);
  EXPECT_EQ(SetColorReverse(true, settings), (DisplayRefresh{true, true, true}));
  EXPECT_EQ(settings.colorReverse, 1);

  ShowCursorChange change = SetShowCursor(true, settings);
  EXPECT_EQ(settings.cursorEnable, 1);
  EXPECT_FALSE(change.clearReadouts);
  EXPECT_TRUE(change.refresh.invalidate);
  change = SetShowCursor(false, settings);
  EXPECT_EQ(settings.cursorEnable, 0);
  EXPECT_TRUE(change.clearReadouts);
}

}  // namespace
}  // namespace kestrova
