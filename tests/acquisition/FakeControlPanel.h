#pragma once

#include <map>
#include <string>
#include <string_view>

#include "acquisition/ControlIds.h"
#include "acquisition/ControlPanel.h"
#include "acquisition/ScopeSettings.h"

namespace kestrova::testing {

// An in-memory main window: texts, ticks, selections, enabled states and
// colour-button colours by control id.
class FakeControlPanel : public ControlPanel {
 public:
  [[nodiscard]] std::string Text(int id) const override {
    const auto it = texts.find(id);
    return it == texts.end() ? std::string() : it->second;
  }
  void SetText(int id, std::string_view text) override { texts[id] = std::string(text); }
  [[nodiscard]] bool IsChecked(int id) const override {
    const auto it = checks.find(id);
    return it != checks.end() && it->second;
  }
  void SetChecked(int id, bool checked) override { checks[id] = checked; }
  [[nodiscard]] int Selection(int id) const override {
    const auto it = selections.find(id);
    return it == selections.end() ? -1 : it->second;
  }
  void SetSelection(int id, int index) override { selections[id] = index; }
  void SetEnabled(int id, bool enabled) override { enabled_[id] = enabled; }
  [[nodiscard]] ColorRef ButtonColor(int id) const override {
    const auto it = colors.find(id);
    return it == colors.end() ? 0 : it->second;
  }

  [[nodiscard]] bool IsEnabled(int id) const {
    const auto it = enabled_.find(id);
    return it == enabled_.end() || it->second;
  }

  // Shows the current mode of the settings the way the window's set-up does.
  void ShowSettings(const ScopeSettings& s) {
    const int m = s.Mode();
    for (std::size_t c = 0; c < kChannelCount; ++c) {
      checks[ctl::ChannelEnable[c]] = s.channelEnable[m][c] != 0;
      texts[ctl::ScaleEdit[c]] = s.scaleText[m][c];
      texts[ctl::OffsetEdit[c]] = s.offsetText[m][c];
      checks[ctl::UnsignedCheck[c]] = s.unsignedSamples[m][c] != 0;
    }
    for (std::size_t k = 0; k < ctl::GraphColorButton.size(); ++k)
      colors[ctl::GraphColorButton[k]] = s.graphColor[k];
    selections[ctl::TimeList] = s.timeIndex;
    selections[ctl::YDivList] = s.yDivision;
    texts[ctl::YMinEdit] = s.yMinText[m];
    texts[ctl::YMaxEdit] = s.yMaxText[m];
    selections[ctl::TriggerChannelList] = s.triggerChannel[m];
    selections[ctl::TriggerSlopeList] = s.triggerEdge;
    texts[ctl::TriggerLevelEdit] = s.triggerLevelText[m];
    checks[ctl::AxisScaleCheck] = s.axisScaleEnable[m] != 0;
    texts[ctl::AxisScaleEdit] = "1";
    for (std::size_t b = 0; b < ctl::OptionCheck.size(); ++b)
      checks[ctl::OptionCheck[b]] = s.optionBits[m][b] != 0;
    for (std::size_t k = 0; k < ctl::ModeRadio.size(); ++k)
      checks[ctl::ModeRadio[k]] = static_cast<int>(k) == m;
    checks[ctl::RealSaveEnable] = s.realSaveEnable != 0;
    selections[ctl::RealSaveInterval] = s.realSaveIndex;
  }

  std::map<int, std::string> texts;
  std::map<int, bool> checks;
  std::map<int, int> selections;
  std::map<int, ColorRef> colors;

 private:
  std::map<int, bool> enabled_;
};

// Counts axis-label rebuilds and remembers the factor they saw.
class RecordingAxisLabels : public AxisLabelBuilder {
 public:
  explicit RecordingAxisLabels(const ScopeSettings* settings = nullptr) : settings_(settings) {}
  void BuildAxisLabels() override {
    ++builds;
    if (settings_ != nullptr) lastFactor = settings_->axisScaleFactor[settings_->Mode()];
  }
  int builds = 0;
  double lastFactor = 0.0;

 private:
  const ScopeSettings* settings_;
};

}  // namespace kestrova::testing
