#include <algorithm>

#include <gtest/gtest.h>

#include "FakeControlPanel.h"
#include "acquisition/ControlIds.h"
#include "acquisition/TriggerModes.h"

namespace kestrova {
namespace {

using testing::FakeControlPanel;

TriggerFlags FlagsOf(const ScopeSettings& s) {
  return {.autoTrigger = s.autoTrigger,
          .triggerUse = s.triggerUse,
          .triggerOnly = s.triggerOnly,
          .triggerStop = s.triggerStop};
}

TEST(TriggerRadios, EachRadioSetsItsFourFlagsAndRunStep) {
  struct Case {
    TriggerMode mode = TriggerMode::Auto;
    TriggerFlags flags;
    RunStep whileRunning = RunStep::None;
  };
  const Case cases[] = {
      {TriggerMode::Auto, {1, 1, 0, 0}, RunStep::Apply},
      {TriggerMode::Normal, {0, 1, 1, 0}, RunStep::Apply},
      {TriggerMode::Single, {0, 1, 1, 1}, RunStep::StopPauseApply},
  };
  for (const Case& c : cases) {
    for (const bool running : {false, true}) {
      ScopeSettings s;
      // Start from the opposite of every flag.
      s.autoTrigger = 1 - c.flags.autoTrigger;
      s.triggerUse = 0;
      s.triggerOnly = 1 - c.flags.triggerOnly;
      s.triggerStop = 1 - c.flags.triggerStop;
      SampleBuffer buffer;
      const WindowActions actions = HandleTriggerRadio(c.mode, running, s, buffer);
      EXPECT_EQ(FlagsOf(s), c.flags) << static_cast<int>(c.mode);
      EXPECT_EQ(TriggerModeOf(s), c.mode);
      EXPECT_TRUE(actions.invalidateDisplay);
      EXPECT_EQ(actions.run, running ? c.whileRunning : RunStep::Start) << static_cast<int>(c.mode);
    }
  }

  // Never-saved settings (Auto without the trigger line) still tick Auto.
  ScopeSettings fresh;
  EXPECT_EQ(TriggerModeOf(fresh), TriggerMode::Auto);
}

TEST(TriggerRadios, NormalClearsTheHistoryFromTwentyMillisecondsPerDivision) {
  const auto run = [](TriggerMode mode, int timePerDivision) {
    ScopeSettings s;
    s.timePerDivision = timePerDivision;
    SampleBuffer buffer;
    AllocateSampleBuffer(buffer, s);
    std::ranges::fill(buffer.Values(42, 1), 3.5);
    std::ranges::fill(buffer.Rows(42, 1), 7);
    HandleTriggerRadio(mode, true, s, buffer);
    const bool cleared =
        buffer.Values(42, 1)[0] == 0.0 && buffer.Rows(42, 1)[499] == ValueToRow(s.mapping, 0.0);
    return cleared;
  };
  EXPECT_TRUE(run(TriggerMode::Normal, 200));
  EXPECT_TRUE(run(TriggerMode::Normal, 10000));
  EXPECT_FALSE(run(TriggerMode::Normal, 100));
  EXPECT_FALSE(run(TriggerMode::Auto, 200));
  EXPECT_FALSE(run(TriggerMode::Single, 200));
}

TEST(TriggerLists, ChannelIsPerModeAndEdgeWaitsForTheNextRead) {
  ScopeSettings s;
  s.operationMode = 2;
  FakeControlPanel panel;
  panel.selections[ctl::TriggerChannelList] = 3;
  EXPECT_EQ(HandleTriggerChannelChange(false, s, panel),
            (WindowActions{.invalidateDisplay = true, .run = RunStep::None}));
  EXPECT_EQ(s.triggerChannel, (PerMode<int>{0, 0, 3, 0}));

  // A list without a usable selection leaves the channel alone.
  panel.selections[ctl::TriggerChannelList] = -1;
  EXPECT_EQ(HandleTriggerChannelChange(true, s, panel).run, RunStep::Apply);
  EXPECT_EQ(s.triggerChannel[2], 3);
  panel.selections[ctl::TriggerChannelList] = 4;
  HandleTriggerChannelChange(true, s, panel);
  EXPECT_EQ(s.triggerChannel[2], 3);

  EXPECT_EQ(HandleTriggerEdgeChange(false), (WindowActions{.invalidateDisplay = true, .run = RunStep::None}));
  EXPECT_EQ(HandleTriggerEdgeChange(true), (WindowActions{.invalidateDisplay = true, .run = RunStep::Apply}));
}

TEST(TriggerLevelEdit, TakesTypedLevelsWhileStopped) {
  ScopeSettings s;
  s.operationMode = 1;
  s.yMin[1] = -100.0;
  s.yMax[1] = 100.0;
  RefreshDisplayMapping(s);
  FakeControlPanel panel;

  panel.texts[ctl::TriggerLevelEdit] = "  50 ";
  EXPECT_EQ(HandleTriggerLevelChange(false, s, panel), (WindowActions{.invalidateDisplay = true}));
  EXPECT_EQ(s.triggerLevelText[1], "50");
  EXPECT_EQ(s.triggerLevel[1], 50.0);
  EXPECT_EQ(s.triggerRow, 100);
  EXPECT_EQ(panel.Text(ctl::TriggerLevelEdit), "  50 ");  // a valid entry is left as typed

  panel.texts[ctl::TriggerLevelEdit] = "0x20";
  HandleTriggerLevelChange(false, s, panel);
  EXPECT_EQ(s.triggerLevelText[1], "0x20");
  EXPECT_EQ(s.triggerLevel[1], 32.0);

  // Not a number: level 10, and "10" in the settings and in the edit.
  panel.texts[ctl::TriggerLevelEdit] = "5V";
  EXPECT_EQ(HandleTriggerLevelChange(false, s, panel), (WindowActions{.invalidateDisplay = true}));
  EXPECT_EQ(s.triggerLevel[1], 10.0);
  EXPECT_EQ(s.triggerLevelText[1], "10");
  EXPECT_EQ(panel.Text(ctl::TriggerLevelEdit), "10");
  EXPECT_EQ(s.triggerRow, 180);

  // Other modes keep their level.
  EXPECT_EQ(s.triggerLevelText[0], "10");
  EXPECT_EQ(s.triggerLevel[2], 10.0);
}

TEST(TriggerLevelEdit, IgnoresEmptyTextAndTypingWhileRunning) {
  ScopeSettings s;
  s.triggerLevelText[0] = "25";
  s.triggerLevel[0] = 25.0;
  s.triggerRow = 300;
  FakeControlPanel panel;

  for (const char* text : {"", "   "}) {
    panel.texts[ctl::TriggerLevelEdit] = text;
    EXPECT_EQ(HandleTriggerLevelChange(false, s, panel), WindowActions{});
  }
  panel.texts[ctl::TriggerLevelEdit] = "xyz";
  EXPECT_EQ(HandleTriggerLevelChange(true, s, panel), WindowActions{});
  EXPECT_EQ(panel.Text(ctl::TriggerLevelEdit), "xyz");
  panel.texts[ctl::TriggerLevelEdit] = "75";
  HandleTriggerLevelChange(true, s, panel);

  EXPECT_EQ(s.triggerLevelText[0], "25");
  EXPECT_EQ(s.triggerLevel[0], 25.0);
  EXPECT_EQ(s.triggerRow, 300);
}

}  // namespace
}  // namespace kestrova
