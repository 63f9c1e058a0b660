#include <gtest/gtest.h>

#include "DisplayTestSupport.h"
#include "display/DisplayMouse.h"

namespace kestrova {
namespace {

// The display control at (12, 12) in the main window's client area: the plot
// spans x 72..571 and y 32..431, the marker strip x 572..591.
constexpr Box kDisplay{12, 12, 12 + 580, 12 + 460};
constexpr MouseButtons kLeft{true, false};
constexpr MouseButtons kRight{false, true};
constexpr MouseButtons kNone{};

QPoint AtPlot(int x, int y) {
  return {kDisplay.left + 60 + x, kDisplay.top + 20 + y};
}

struct MouseFixture : ::testing::Test {
  ScopeSettings settings = test::SettingsAt(4);  // axis 0..100: 4 rows per unit
  DisplayState state;
};

TEST_F(MouseFixture, RightPressPutsBothCursorsOnTheColumnAndDragMovesTheSolidOne) {
  MouseOutcome out = DisplayRightButtonDown(AtPlot(120, 30), kDisplay, kRight, settings, state);
  EXPECT_EQ(state.cursor1X, 120);
  EXPECT_EQ(state.cursor2X, 120);
  EXPECT_TRUE(out.invalidate);
  out = DisplayMouseMove(AtPlot(170, 300), kDisplay, kRight, settings, state);
  EXPECT_EQ(state.cursor1X, 120);
  EXPECT_EQ(state.cursor2X, 170);
  EXPECT_TRUE(out.invalidate);
  EXPECT_FALSE(out.levelText.has_value());
  // Outside the plot nothing moves and nothing is redrawn.
  out = DisplayMouseMove(AtPlot(500, 10), kDisplay, kRight, settings, state);
  EXPECT_EQ(state.cursor2X, 170);
  EXPECT_FALSE(out.invalidate);
  out = DisplayRightButtonDown(AtPlot(-1, 10), kDisplay, kRight, settings, state);
  EXPECT_EQ(state.cursor1X, 120);
  EXPECT_FALSE(out.invalidate);
  // Moves without a button change nothing.
  out = DisplayMouseMove(AtPlot(10, 10), kDisplay, kNone, settings, state);
  EXPECT_EQ(state.cursor2X, 170);
  EXPECT_FALSE(out.invalidate);
}

TEST_F(MouseFixture, LeftDragMovesTheTriggerLevelWhenTheTriggerIsInUse) {
  settings.triggerUse = 1;
  MouseOutcome out = DisplayLeftButtonDown(AtPlot(300, 101), kDisplay, kLeft, settings, state);
  EXPECT_EQ(state.draggedMarker, -1);
  EXPECT_EQ(settings.triggerRow, 101);
  EXPECT_EQ(settings.triggerLevel[0], 74.75);
  EXPECT_EQ(settings.triggerLevelText[0], "74.7500");
  ASSERT_TRUE(out.levelText.has_value());
  EXPECT_EQ(*out.levelText, "74.7500");
  EXPECT_TRUE(out.invalidate);
  EXPECT_EQ(state.cursor2X, 250) << "the left button leaves the cursors alone";

  settings.triggerUse = 0;
  out = DisplayMouseMove(AtPlot(300, 200), kDisplay, kLeft, settings, state);
  EXPECT_EQ(settings.triggerRow, 101);
  EXPECT_FALSE(out.levelText.has_value());
  EXPECT_TRUE(out.invalidate) << "a plain left press still repaints";
}

TEST_F(MouseFixture, LeftPressOnAMarkerDragsThatChannelsOffset) {
  settings.offset[0][2] = 50.0;  // row 200: marker box y 216..223 below the display top
  const QPoint onMarker{kDisplay.left + 575, kDisplay.top + 221};
  MouseOutcome out = DisplayLeftButtonDown(onMarker, kDisplay, kLeft, settings, state);
  EXPECT_EQ(state.draggedMarker, 2);
  // The press itself moves the offset to the pressed row.
  EXPECT_EQ(settings.offset[0][2], RowToValue(settings.mapping, 201));
  ASSERT_TRUE(out.offsetText.has_value());
  EXPECT_EQ(out.offsetText->channel, 2);
  EXPECT_EQ(out.offsetText->text, "49");  // 49.75 truncated

  out = DisplayMouseMove(AtPlot(10, 99), kDisplay, kLeft, settings, state);
  EXPECT_EQ(settings.offset[0][2], 75.25);
  EXPECT_EQ(out.offsetText->text, "75");
  EXPECT_EQ(settings.offsetText[0][2], "0") << "the text follows at the next ReadControls";
  EXPECT_FALSE(out.levelText.has_value());
  // Over the marker strip still counts; beyond the plot's bottom does not.
  out = DisplayMouseMove({kDisplay.left + 579, kDisplay.top + 20}, kDisplay, kLeft, settings, state);
  EXPECT_EQ(out.offsetText->text, "100");
  out = DisplayMouseMove(AtPlot(10, 400), kDisplay, kLeft, settings, state);
  EXPECT_FALSE(out.invalidate);
  EXPECT_EQ(settings.offset[0][2], 100.0);
}

TEST_F(MouseFixture, OffsetTextIsTruncatedTowardZero) {
  settings.yMin[0] = -50.0;
  settings.yMax[0] = 50.0;
  RefreshDisplayMapping(settings);  // 4 rows per unit, offset 200
  state.draggedMarker = 1;
  const MouseOutcome out = DisplayMouseMove(AtPlot(0, 251), kDisplay, kLeft, settings, state);
  EXPECT_EQ(settings.offset[0][1], -12.75);
  EXPECT_EQ(out.offsetText->text, "-12");
}

TEST_F(MouseFixture, MarkerBoxesAreTestedInChannelOrderWhetherShownOrNot) {
  settings.offset[0][0] = 20.0;
  settings.offset[0][3] = 20.0;  // same place: Ch 1 wins
  DisplayLeftButtonDown({kDisplay.left + 560, kDisplay.top + 320 + 16}, kDisplay, kLeft, settings, state);
  EXPECT_EQ(state.draggedMarker, 0);
  // Just outside the box: top + 8 and x 580 are not inside.
  DisplayLeftButtonDown({kDisplay.left + 560, kDisplay.top + 320 + 24}, kDisplay, kLeft, settings, state);
  EXPECT_EQ(state.draggedMarker, -1);
  DisplayLeftButtonDown({kDisplay.left + 580, kDisplay.top + 340}, kDisplay, kLeft, settings, state);
  EXPECT_EQ(state.draggedMarker, -1);
}

TEST_F(MouseFixture, LeftReleaseAppliesWhileAcquiringAndEndsTheDrag) {
  settings.triggerUse = 1;
  state.draggedMarker = 3;
  LeftButtonUpOutcome out = DisplayLeftButtonUp(AtPlot(10, 10), kDisplay, true, settings, state);
  EXPECT_TRUE(out.applyForTrigger);
  EXPECT_TRUE(out.applyForMarker);
  EXPECT_EQ(state.draggedMarker, -1);

  // A plain click with the trigger in use re-sends too.
  out = DisplayLeftButtonUp(AtPlot(10, 10), kDisplay, true, settings, state);
  EXPECT_TRUE(out.applyForTrigger);
  EXPECT_FALSE(out.applyForMarker);

  // Outside the display, or stopped: nothing is applied, the drag still ends.
  state.draggedMarker = 2;
  out = DisplayLeftButtonUp({kDisplay.right, kDisplay.top + 5}, kDisplay, true, settings, state);
  EXPECT_FALSE(out.applyForTrigger || out.applyForMarker);
  EXPECT_EQ(state.draggedMarker, -1);
  state.draggedMarker = 2;
  out = DisplayLeftButtonUp(AtPlot(10, 10), kDisplay, false, settings, state);
  EXPECT_FALSE(out.applyForTrigger || out.applyForMarker);
  EXPECT_EQ(state.draggedMarker, -1);
}

}  // namespace
}  // namespace kestrova
