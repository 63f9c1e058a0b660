#include "cli/CaptureSettings.h"

#include <optional>
#include <string_view>

#include "acquisition/ControlIds.h"
#include "acquisition/NumberText.h"
#include "acquisition/SettingsControls.h"
#include "acquisition/TimeBaseTable.h"
#include "acquisition/TriggerModes.h"
#include "cli/MemoryControlPanel.h"

namespace kestrova::cli {

namespace {

// One numeric entry typed on the command line: its option name and the
// edit it goes into.
struct TypedNumber {
  std::string option;
  int control;
  std::string text;
  bool channelEdit = false;  // a scale or offset
};

std::vector<TypedNumber> TypedNumbers(const SettingsOptions& o) {
  std::vector<TypedNumber> typed;
  if (o.yMin) typed.push_back({"--ymin", ctl::YMinEdit, *o.yMin});
  if (o.yMax) typed.push_back({"--ymax", ctl::YMaxEdit, *o.yMax});
  if (o.level) typed.push_back({"--level", ctl::TriggerLevelEdit, *o.level});
  for (std::size_t c = 0; c < kChannelCount; ++c) {
    const std::string channel = " (channel " + std::to_string(c + 1) + ")";
    if (o.scale[c]) typed.push_back({"--scale" + channel, ctl::ScaleEdit[c], *o.scale[c], true});
    if (o.offset[c]) typed.push_back({"--offset" + channel, ctl::OffsetEdit[c], *o.offset[c], true});
  }
  return typed;
}

// The current mode of the settings on the controls, as the window's set-up
// shows it.
void ShowSettings(const ScopeSettings& s, MemoryControlPanel& panel) {
  const int m = s.Mode();
  for (std::size_t c = 0; c < kChannelCount; ++c) {
    panel.SetChecked(ctl::ChannelEnable[c], s.channelEnable[m][c] != 0);
    panel.SetText(ctl::ScaleEdit[c], s.scaleText[m][c]);
    panel.SetText(ctl::OffsetEdit[c], s.offsetText[m][c]);
    panel.SetChecked(ctl::UnsignedCheck[c], s.unsignedSamples[m][c] != 0);
  }
  for (std::size_t k = 0; k < ctl::GraphColorButton.size(); ++k)
    panel.SetButtonColor(ctl::GraphColorButton[k], s.graphColor[k]);
  panel.SetSelection(ctl::TimeList, s.timeIndex);
  panel.SetSelection(ctl::YDivList, s.yDivision);
  panel.SetText(ctl::YMinEdit, s.yMinText[m]);
  panel.SetText(ctl::YMaxEdit, s.yMaxText[m]);
  panel.SetSelection(ctl::TriggerChannelList, s.triggerChannel[m]);
  panel.SetSelection(ctl::TriggerSlopeList, s.triggerEdge);
  panel.SetText(ctl::TriggerLevelEdit, s.triggerLevelText[m]);
  panel.SetChecked(ctl::AxisScaleCheck, s.axisScaleEnable[m] != 0);
  panel.SetText(ctl::AxisScaleEdit, FormatGeneral(s.axisScaleFactor[m]));
  for (std::size_t b = 0; b < ctl::OptionCheck.size(); ++b)
    panel.SetChecked(ctl::OptionCheck[b], s.optionBits[m][b] != 0);
  for (std::size_t k = 0; k < ctl::ModeRadio.size(); ++k)
    panel.SetChecked(ctl::ModeRadio[k], static_cast<int>(k) == m);
  panel.SetChecked(ctl::RealSaveEnable, false);
  panel.SetSelection(ctl::RealSaveInterval, s.realSaveIndex);
}

void ApplyOptions(const SettingsOptions& o, MemoryControlPanel& panel) {
  for (std::size_t b = 0; b < kOptionBitCount; ++b) {
    if (o.optionBits[b]) panel.SetChecked(ctl::OptionCheck[b], true);
  }
  if (o.timeIndex) panel.SetSelection(ctl::TimeList, *o.timeIndex);
  if (o.triggerChannel) panel.SetSelection(ctl::TriggerChannelList, *o.triggerChannel);
  if (o.edge) panel.SetSelection(ctl::TriggerSlopeList, *o.edge);
  for (std::size_t c = 0; c < kChannelCount; ++c) {
    if (o.channels) panel.SetChecked(ctl::ChannelEnable[c], (*o.channels)[c]);
    if (o.unsignedSamples[c]) panel.SetChecked(ctl::UnsignedCheck[c], *o.unsignedSamples[c]);
  }
  for (const TypedNumber& number : TypedNumbers(o)) panel.SetText(number.control, number.text);
}

}  // namespace

CaptureSettings BuildCaptureSettings(const SettingsOptions& options) {
  CaptureSettings out;
  ScopeSettings& s = out.settings;
  // A mode radio switches the window to that mode's own values first.
  if (options.mode) s.operationMode = *options.mode;

  MemoryControlPanel panel;
  ShowSettings(s, panel);
  ApplyOptions(options, panel);

  const std::vector<TypedNumber> typed = TypedNumbers(options);
  if (!ValidateInputs(panel)) {
    for (const TypedNumber& number : typed) {
      const std::string_view text = StripWhitespace(number.text);
      // The window fills an empty scale or offset in; the axis and the level
      // must hold a number.
      if (text.empty() && number.channelEdit) continue;
      if (!text.empty() && ParseNumberText(text)) continue;
      out.refusal = number.option + ": '" + number.text +
                    "' is not a number the window accepts (decimal, integer, or hexadecimal as 0x1F or 1FH)";
      return out;
    }
    out.refusal = "the window refuses these settings as invalid input";
    return out;
  }

  NoAxisLabels labels;
  ReadControls(s, panel, labels);
  ClampSettings(s, panel);
  s.timePerDivision = TimeBaseAt(s.timeIndex).perDivision;
  if (options.trigger) {
    const TriggerFlags& flags = TriggerModeFlags[static_cast<std::size_t>(*options.trigger)];
    s.autoTrigger = flags.autoTrigger;
    s.triggerUse = flags.triggerUse;
    s.triggerOnly = flags.triggerOnly;
    s.triggerStop = flags.triggerStop;
  }
  RefreshDisplayMapping(s);

  // What the window's rules made of the typed numbers, where it differs.
  for (const TypedNumber& number : typed) {
    const std::string shown = panel.Text(number.control);
    if (shown != StripWhitespace(number.text))
      out.adjustments.push_back(number.option + " '" + number.text + "' is taken as " + shown +
                                ", as the window takes it");
  }
  return out;
}

}  // namespace kestrova::cli
