#include "acquisition/SettingsControls.h"

#include <string>

#include "acquisition/ControlIds.h"
#include "acquisition/NumberText.h"
#include "acquisition/TimeBaseTable.h"

namespace kestrova {

namespace {

constexpr double kLimit = 65535.0;
constexpr int kTriggerEdgeCount = 2;
constexpr int kYDivisionCount = 3;
constexpr int kRealSaveIntervalCount = 14;

// Reads a numeric edit: the stripped text is kept; an empty or unreadable
// entry takes the fallback value and text.
void ReadNumericEdit(const ControlPanel& panel, int id, std::string& text, double& value, double fallback,
                     const char* fallbackText) {
  text = std::string(StripWhitespace(panel.Text(id)));
  const std::optional<double> parsed = text.empty() ? std::nullopt : ParseNumberText(text);
  if (parsed) {
    value = *parsed;
  } else {
    value = fallback;
    text = fallbackText;
  }
}

// A list's selection, or the previous index while the list has none.
int SelectionOr(const ControlPanel& panel, int id, int previous) {
  const int selection = panel.Selection(id);
  return selection >= 0 ? selection : previous;
}

bool IsNumberEntry(std::string_view text) {
  return !text.empty() && ParseNumberText(text).has_value();
}

int ClampIndex(int index, int count) {
  if (index < 0) return 0;
  if (index >= count) return count - 1;
  return index;
}

}  // namespace

void ReadControls(ScopeSettings& settings, ControlPanel& panel, AxisLabelBuilder& labels) {
  const int m = settings.Mode();

  for (int k = 0; k < kGraphColorCount; ++k) {
    settings.liveColors[static_cast<std::size_t>(k)] =
        panel.ButtonColor(ctl::GraphColorButton[static_cast<std::size_t>(k)]);
  }

  for (std::size_t c = 0; c < kChannelCount; ++c) {
    const bool enabled = panel.IsChecked(ctl::ChannelEnable[c]);
    settings.channelEnable[m][c] = enabled ? 1 : 0;
    panel.SetEnabled(ctl::ScaleEdit[c], enabled);
    panel.SetEnabled(ctl::OffsetEdit[c], enabled);
    panel.SetEnabled(ctl::UnsignedCheck[c], enabled);
    panel.SetEnabled(ctl::TraceColor[c], enabled);

    ReadNumericEdit(panel, ctl::ScaleEdit[c], settings.scaleText[m][c], settings.scale[m][c], 1.0, "1");
    ReadNumericEdit(panel, ctl::OffsetEdit[c], settings.offsetText[m][c], settings.offset[m][c], 0.0, "0");
    settings.unsignedSamples[m][c] = panel.IsChecked(ctl::UnsignedCheck[c]) ? 1 : 0;
  }

  settings.graphColor = settings.liveColors;
  settings.timeIndex = SelectionOr(panel, ctl::TimeList, settings.timeIndex);

  ReadNumericEdit(panel, ctl::YMinEdit, settings.yMinText[m], settings.yMin[m], 0.0, "0");
  ReadNumericEdit(panel, ctl::YMaxEdit, settings.yMaxText[m], settings.yMax[m], 100.0, "100");

  settings.triggerChannel[m] = SelectionOr(panel, ctl::TriggerChannelList, settings.triggerChannel[m]);
  settings.triggerEdge = SelectionOr(panel, ctl::TriggerSlopeList, settings.triggerEdge);
  ReadNumericEdit(panel, ctl::TriggerLevelEdit, settings.triggerLevelText[m], settings.triggerLevel[m], 10.0,
                  "10");

  // The labels are redrawn with the plain decimal reading of the factor; the
  // factor is then read again with the edits' own rule and fallback.
  settings.axisScaleEnable[m] = panel.IsChecked(ctl::AxisScaleCheck) ? 1 : 0;
  settings.axisScaleFactor[m] = LeadingDecimalValue(panel.Text(ctl::AxisScaleEdit));
  labels.BuildAxisLabels();
  const std::string factorText(StripWhitespace(panel.Text(ctl::AxisScaleEdit)));
  const std::optional<double> factor = factorText.empty() ? std::nullopt : ParseNumberText(factorText);
  settings.axisScaleFactor[m] = factor.value_or(1.0);

  for (std::size_t b = 0; b < kOptionBitCount; ++b) {
    settings.optionBits[m][b] = panel.IsChecked(ctl::OptionCheck[b]) ? 1 : 0;
  }

  for (std::size_t k = 0; k < ctl::ModeRadio.size(); ++k) {
    if (panel.IsChecked(ctl::ModeRadio[k])) {
      settings.operationMode = static_cast<int>(k);
      break;
    }
  }

  settings.realSaveEnable = panel.IsChecked(ctl::RealSaveEnable) ? 1 : 0;
  settings.realSaveIndex = SelectionOr(panel, ctl::RealSaveInterval, settings.realSaveIndex);

  RefreshDisplayMapping(settings);
}

bool ValidateInputs(ControlPanel& panel) {
  const auto checkChannelEdit = [&panel](int id, const char* emptyText) {
    const std::string entry = panel.Text(id);
    const std::string_view text = StripWhitespace(entry);
    if (text.empty()) {
      panel.SetText(id, emptyText);
      return true;
    }
    return ParseNumberText(text).has_value();
  };
  for (std::size_t c = 0; c < kChannelCount; ++c) {
    if (!checkChannelEdit(ctl::ScaleEdit[c], "1")) return false;
    if (!checkChannelEdit(ctl::OffsetEdit[c], "0")) return false;
  }
  for (const int id : {ctl::YMinEdit, ctl::YMaxEdit, ctl::TriggerLevelEdit}) {
    if (!IsNumberEntry(StripWhitespace(panel.Text(id)))) return false;
  }
  return true;
}

void ClampSettings(ScopeSettings& settings, ControlPanel& panel) {
  settings.operationMode = ClampIndex(settings.operationMode, kModeCount);
  const int m = settings.operationMode;
  double& yMin = settings.yMin[m];
  double& yMax = settings.yMax[m];
  std::string& yMinText = settings.yMinText[m];
  std::string& yMaxText = settings.yMaxText[m];

  // 1-2: axis limits, written as integer texts.
  const auto limit = [](double& value, std::string& text) {
    if (value > kLimit) {
      value = kLimit;
      text = "65535";
    }
    if (value < -kLimit) {
      value = -kLimit;
      text = "-65535";
    }
  };
  limit(yMin, yMinText);
  limit(yMax, yMaxText);

  // 3-4: an inverted or empty axis, written with four decimals.
  if (yMin > yMax) {
    std::swap(yMin, yMax);
    yMinText = FormatFixed(yMin, 4);
    yMaxText = FormatFixed(yMax, 4);
  }
  if (yMin == yMax) {
    yMin = yMax - 1.0;
    if (yMin < -kLimit) {
      yMin = -kLimit;
      yMax = -kLimit + 1.0;
    }
    yMinText = FormatFixed(yMin, 4);
    yMaxText = FormatFixed(yMax, 4);
  }

  // 5: channel scale and offset; a zero scale would lose the signal.
  for (std::size_t c = 0; c < kChannelCount; ++c) {
    double& scale = settings.scale[m][c];
    limit(scale, settings.scaleText[m][c]);
    if (scale == 0.0) {
      scale = 1.0;
      settings.scaleText[m][c] = std::string("1");  // (not = "1": GCC 12 -Wrestrict false alarm)
    }
    limit(settings.offset[m][c], settings.offsetText[m][c]);
  }

  // 6-7: list indices. Negative indices (only possible from a damaged
  // settings store) are pulled up as well.
  settings.timeIndex = ClampIndex(settings.timeIndex, kTimeBaseCount);
  settings.triggerChannel[m] = ClampIndex(settings.triggerChannel[m], kChannelCount);
  settings.triggerEdge = ClampIndex(settings.triggerEdge, kTriggerEdgeCount);
  settings.yDivision = ClampIndex(settings.yDivision, kYDivisionCount);
  settings.realSaveIndex = ClampIndex(settings.realSaveIndex, kRealSaveIntervalCount);

  // 8: the trigger level stays on the axis.
  double& level = settings.triggerLevel[m];
  if (level < yMin) {
    level = yMin;
    settings.triggerLevelText[m] = FormatFixed(level, 4);
  }
  if (level > yMax) {
    level = yMax;
    settings.triggerLevelText[m] = FormatFixed(level, 4);
  }

  // 9: show the current mode's texts.
  panel.SetText(ctl::YMinEdit, yMinText);
  panel.SetText(ctl::YMaxEdit, yMaxText);
  panel.SetText(ctl::TriggerLevelEdit, settings.triggerLevelText[m]);
  for (std::size_t c = 0; c < kChannelCount; ++c) {
    panel.SetText(ctl::ScaleEdit[c], settings.scaleText[m][c]);
    panel.SetText(ctl::OffsetEdit[c], settings.offsetText[m][c]);
  }
}

}  // namespace kestrova
