#include "acquisition/OperationModes.h"

#include "acquisition/ControlIds.h"
#include "acquisition/NumberText.h"
#include "acquisition/SettingsControls.h"

namespace kestrova {

namespace {
constexpr int kFactorDecimals = 6;  // "%f"
}

void ShowModeSettings(const ScopeSettings& settings, ControlPanel& panel) {
  const auto m = static_cast<std::size_t>(settings.Mode());

  for (std::size_t b = 0; b < kOptionBitCount; ++b) {
    panel.SetChecked(ctl::OptionCheck[b], settings.optionBits[m][b] != 0);
    panel.SetText(ctl::OptionCheck[b], OptionLabels[m * kOptionBitCount + b]);
  }

  panel.SetText(ctl::YMinEdit, settings.yMinText[m]);
  panel.SetText(ctl::YMaxEdit, settings.yMaxText[m]);

  panel.SetChecked(ctl::AxisScaleCheck, settings.axisScaleEnable[m] != 0);
  panel.SetText(ctl::AxisScaleEdit, FormatFixed(settings.axisScaleFactor[m], kFactorDecimals));

  panel.SetSelection(ctl::TriggerChannelList, settings.triggerChannel[m]);

  // The texts are shown as they were typed or last rewritten: hexadecimal
  // entries such as "0x10" or "1FH" must come back exactly, or they would
  // read differently (or not at all) at the next apply.
  panel.SetText(ctl::TriggerLevelEdit, settings.triggerLevelText[m]);

  for (std::size_t c = 0; c < kChannelCount; ++c) {
    panel.SetChecked(ctl::ChannelEnable[c], settings.channelEnable[m][c] != 0);
    panel.SetText(ctl::ScaleEdit[c], settings.scaleText[m][c]);
    panel.SetText(ctl::OffsetEdit[c], settings.offsetText[m][c]);
    panel.SetChecked(ctl::UnsignedCheck[c], settings.unsignedSamples[m][c] != 0);
  }
}

WindowActions HandleModeRadio(int mode, bool running, ScopeSettings& settings, ControlPanel& panel,
                              AxisLabelBuilder& labels) {
  if (mode < 0 || mode >= kModeCount) return {};
  // The clicked radio is already ticked, so this stores the controls into the
  // old mode's slots and then selects the new mode.
  ReadControls(settings, panel, labels);
  settings.operationMode = mode;
  // Already done by ReadControls when the radio was ticked; repeated so the
  // mapping follows the new mode even when it was not.
  RefreshDisplayMapping(settings);
  ShowModeSettings(settings, panel);
  return {.invalidateDisplay = true, .run = running ? RunStep::Apply : RunStep::None};
}

WindowActions HandleOptionBox(int box, bool running, ScopeSettings& settings, const ControlPanel& panel) {
  if (box < 0 || box >= kOptionBitCount) return {};
  const auto b = static_cast<std::size_t>(box);
  settings.optionBits[static_cast<std::size_t>(settings.Mode())][b] =
      panel.IsChecked(ctl::OptionCheck[b]) ? 1 : 0;
  return {.invalidateDisplay = true, .run = running ? RunStep::Apply : RunStep::None};
}

}  // namespace kestrova
