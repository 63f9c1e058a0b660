#include <map>
#include <string>

#include <gtest/gtest.h>

#include "FakeControlPanel.h"
#include "acquisition/ControlIds.h"
#include "acquisition/OperationModes.h"

namespace kestrova {
namespace {

using testing::FakeControlPanel;
using testing::RecordingAxisLabels;

// A window showing the given settings, with the radio of their mode ticked.
struct ModeWindow {
  ScopeSettings settings;
  FakeControlPanel panel;
  RecordingAxisLabels labels{&settings};

  ModeWindow() { panel.ShowSettings(settings); }

  // Ticks radio k as a click does, then runs the handler.
  WindowActions ClickMode(int k, bool running = false) {
    for (std::size_t r = 0; r < ctl::ModeRadio.size(); ++r)
      panel.checks[ctl::ModeRadio[r]] = static_cast<int>(r) == k;
    return HandleModeRadio(k, running, settings, panel, labels);
  }

  // Every text the per-mode edits show.
  [[nodiscard]] std::map<int, std::string> EditTexts() const {
    std::map<int, std::string> texts;
    for (const int id : {ctl::YMinEdit, ctl::YMaxEdit, ctl::TriggerLevelEdit, ctl::AxisScaleEdit}) {
      texts[id] = panel.Text(id);
    }
    for (std::size_t c = 0; c < kChannelCount; ++c) {
      texts[ctl::ScaleEdit[c]] = panel.Text(ctl::ScaleEdit[c]);
      texts[ctl::OffsetEdit[c]] = panel.Text(ctl::OffsetEdit[c]);
    }
    return texts;
  }
};

TEST(OperationModes, OptionCaptionsFollowTheMode) {
  ModeWindow w;
  const std::array<std::array<const char*, 3>, kModeCount> captions = {{
      {"+/-3V, +/-18V(chk)", "Send UART(115200)", "Send CAN(1M, 2.0B)"},
      {"GAP: 50(chk)/25us", "CLK_POL : 1 (chk)", "CLK_PHS : 1 (chk)"},
      {"2.0B(chk) or 2.0A", "Fast(chk),Slow inc", "CAN  Send Test"},
      {"115200(chk),38400", "Fast(chk),Slow inc", "UART Send Test"},
  }};
  for (int k : {1, 2, 3, 0}) {
    w.ClickMode(k);
    for (std::size_t b = 0; b < kOptionBitCount; ++b) {
      EXPECT_EQ(w.panel.Text(ctl::OptionCheck[b]), captions[static_cast<std::size_t>(k)][b]) << k << "," << b;
    }
  }
}

TEST(OperationModes, SwitchingAwayAndBackRestoresEveryEditAsTyped) {
  ModeWindow w;
  // Entries that a zero-stripping display would damage.
  w.panel.texts[ctl::ScaleEdit[0]] = "0x10";
  w.panel.texts[ctl::ScaleEdit[1]] = "1FH";
  w.panel.texts[ctl::ScaleEdit[2]] = "0x100";
  w.panel.texts[ctl::ScaleEdit[3]] = "007.500";
  w.panel.texts[ctl::OffsetEdit[0]] = "-0x0A";
  w.panel.texts[ctl::OffsetEdit[1]] = "0A0H";
  w.panel.texts[ctl::OffsetEdit[2]] = "-20";
  w.panel.texts[ctl::OffsetEdit[3]] = "0.50";
  w.panel.texts[ctl::YMinEdit] = "-0x10";
  w.panel.texts[ctl::YMaxEdit] = "0x200";
  w.panel.texts[ctl::TriggerLevelEdit] = "0x20";
  w.panel.texts[ctl::AxisScaleEdit] = "2.5";
  w.panel.checks[ctl::AxisScaleCheck] = true;
  w.panel.checks[ctl::ChannelEnable[1]] = false;
  w.panel.checks[ctl::UnsignedCheck[2]] = false;
  w.panel.checks[ctl::OptionCheck[0]] = true;
  w.panel.selections[ctl::TriggerChannelList] = 2;
  const std::map<int, std::string> typed = [&w] {
    auto texts = w.EditTexts();
    texts[ctl::AxisScaleEdit] = "2.500000";  // the factor comes back as "%f"
    return texts;
  }();

  EXPECT_EQ(w.ClickMode(1), (WindowActions{.invalidateDisplay = true, .run = RunStep::None}));
  EXPECT_EQ(w.settings.operationMode, 1);
  EXPECT_EQ(w.settings.scaleText[0][0], "0x10");
  EXPECT_EQ(w.settings.offsetText[0][1], "0A0H");

  w.ClickMode(0);
  EXPECT_EQ(w.EditTexts(), typed);
  EXPECT_TRUE(w.panel.IsChecked(ctl::AxisScaleCheck));
  EXPECT_FALSE(w.panel.IsChecked(ctl::ChannelEnable[1]));
  EXPECT_TRUE(w.panel.IsChecked(ctl::ChannelEnable[2]));
  EXPECT_FALSE(w.panel.IsChecked(ctl::UnsignedCheck[2]));
  EXPECT_TRUE(w.panel.IsChecked(ctl::OptionCheck[0]));
  EXPECT_EQ(w.panel.Selection(ctl::TriggerChannelList), 2);
  // The restored texts still read as the numbers they were typed as.
  EXPECT_EQ(w.settings.scale[0][0], 16.0);
  EXPECT_EQ(w.settings.offset[0][1], 160.0);
  EXPECT_EQ(w.settings.yMax[0], 512.0);
}

TEST(OperationModes, ANeverUsedModeShowsItsDefaults) {
  ModeWindow w;
  w.panel.texts[ctl::ScaleEdit[0]] = "3";
  w.panel.texts[ctl::OffsetEdit[3]] = "-7";
  w.panel.texts[ctl::YMinEdit] = "-10";
  w.panel.texts[ctl::YMaxEdit] = "10";
  w.panel.texts[ctl::TriggerLevelEdit] = "2";
  w.panel.texts[ctl::AxisScaleEdit] = "4";
  w.panel.checks[ctl::AxisScaleCheck] = true;
  for (const int id : ctl::OptionCheck) w.panel.checks[id] = true;
  w.panel.selections[ctl::TriggerChannelList] = 3;

  w.ClickMode(3);
  for (std::size_t b = 0; b < kOptionBitCount; ++b) EXPECT_FALSE(w.panel.IsChecked(ctl::OptionCheck[b]));
  EXPECT_EQ(w.panel.Text(ctl::OptionCheck[2]), "UART Send Test");
  for (std::size_t c = 0; c < kChannelCount; ++c) {
    EXPECT_EQ(w.panel.Text(ctl::ScaleEdit[c]), "1");
    EXPECT_EQ(w.panel.Text(ctl::OffsetEdit[c]), "0");
    EXPECT_TRUE(w.panel.IsChecked(ctl::ChannelEnable[c]));
    EXPECT_TRUE(w.panel.IsChecked(ctl::UnsignedCheck[c]));
  }
  EXPECT_EQ(w.panel.Text(ctl::YMinEdit), "0");
  EXPECT_EQ(w.panel.Text(ctl::YMaxEdit), "100");
  EXPECT_EQ(w.panel.Text(ctl::TriggerLevelEdit), "10");
  EXPECT_EQ(w.panel.Text(ctl::AxisScaleEdit), "1.000000");
  EXPECT_FALSE(w.panel.IsChecked(ctl::AxisScaleCheck));
  EXPECT_EQ(w.panel.Selection(ctl::TriggerChannelList), 0);

  // The mapping and the trigger row follow the new mode's axis at once.
  EXPECT_EQ(w.settings.mapping.pixelsPerUnit, 4.0);
  EXPECT_EQ(w.settings.triggerRow, 360);
}

TEST(OperationModes, OptionBitsArePerMode) {
  ModeWindow w;
  w.ClickMode(2);
  w.panel.checks[ctl::OptionCheck[1]] = true;
  EXPECT_EQ(HandleOptionBox(1, false, w.settings, w.panel),
            (WindowActions{.invalidateDisplay = true, .run = RunStep::None}));
  EXPECT_EQ(w.settings.optionBits[2][1], 1);

  w.ClickMode(3);
  EXPECT_FALSE(w.panel.IsChecked(ctl::OptionCheck[1]));
  EXPECT_EQ(w.panel.Text(ctl::OptionCheck[1]), "Fast(chk),Slow inc");
  EXPECT_EQ(w.settings.optionBits[3][1], 0);

  w.ClickMode(2);
  EXPECT_TRUE(w.panel.IsChecked(ctl::OptionCheck[1]));

  // Unticking while running sends the bit at once.
  w.panel.checks[ctl::OptionCheck[1]] = false;
  EXPECT_EQ(HandleOptionBox(1, true, w.settings, w.panel).run, RunStep::Apply);
  EXPECT_EQ(w.settings.optionBits[2][1], 0);
}

TEST(OperationModes, HandlersIgnoreIdsOutsideTheirRange) {
  ModeWindow w;
  const ScopeSettings before = w.settings;
  EXPECT_EQ(w.ClickMode(4, true), WindowActions{});
  EXPECT_EQ(HandleModeRadio(-1, true, w.settings, w.panel, w.labels), WindowActions{});
  EXPECT_EQ(HandleOptionBox(3, true, w.settings, w.panel), WindowActions{});
  EXPECT_EQ(w.settings.operationMode, before.operationMode);
  EXPECT_EQ(w.settings.optionBits, before.optionBits);

  // A switch while running asks for exactly one apply.
  EXPECT_EQ(w.ClickMode(1, true), (WindowActions{.invalidateDisplay = true, .run = RunStep::Apply}));
}

}  // namespace
}  // namespace kestrova
