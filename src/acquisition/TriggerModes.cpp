#include "acquisition/TriggerModes.h"

#include <optional>
#include <string>

#include "acquisition/ControlIds.h"
#include "acquisition/NumberText.h"

namespace kestrova {

namespace {
constexpr double kLevelFallback = 10.0;
constexpr const char* kLevelFallbackText = "10";
}  // namespace

TriggerMode TriggerModeOf(const ScopeSettings& settings) {
  if (settings.autoTrigger != 0) return TriggerMode::Auto;
  return settings.triggerStop != 0 ? TriggerMode::Single : TriggerMode::Normal;
}

WindowActions HandleTriggerRadio(TriggerMode mode, bool running, ScopeSettings& settings,
                                 SampleBuffer& buffer) {
  const auto index = static_cast<std::size_t>(mode);
  if (index >= TriggerModeFlags.size()) return {};
  const TriggerFlags& flags = TriggerModeFlags[index];
  settings.autoTrigger = flags.autoTrigger;
  settings.triggerUse = flags.triggerUse;
  settings.triggerOnly = flags.triggerOnly;
  settings.triggerStop = flags.triggerStop;

  if (mode == TriggerMode::Normal && settings.timePerDivision >= kNormalClearsHistoryFrom) {
    ClearSampleBuffer(buffer, settings.mapping);
  }

  WindowActions actions{.invalidateDisplay = true};
  if (!running) {
    actions.run = RunStep::Start;
  } else {
    actions.run = mode == TriggerMode::Single ? RunStep::StopPauseApply : RunStep::Apply;
  }
  return actions;
}

WindowActions HandleTriggerChannelChange(bool running, ScopeSettings& settings, const ControlPanel& panel) {
  const int selection = panel.Selection(ctl::TriggerChannelList);
  if (selection >= 0 && selection < kChannelCount) {
    settings.triggerChannel[static_cast<std::size_t>(settings.Mode())] = selection;
  }
  return {.invalidateDisplay = true, .run = running ? RunStep::Apply : RunStep::None};
}

WindowActions HandleTriggerEdgeChange(bool running) {
  return {.invalidateDisplay = true, .run = running ? RunStep::Apply : RunStep::None};
}

WindowActions HandleTriggerLevelChange(bool running, ScopeSettings& settings, ControlPanel& panel) {
  const std::string text(StripWhitespace(panel.Text(ctl::TriggerLevelEdit)));
  if (text.empty() || running) return {};

  const auto m = static_cast<std::size_t>(settings.Mode());
  if (const std::optional<double> level = ParseNumberText(text)) {
    settings.triggerLevel[m] = *level;
    settings.triggerLevelText[m] = text;
  } else {
    settings.triggerLevel[m] = kLevelFallback;
    settings.triggerLevelText[m] = kLevelFallbackText;
    panel.SetText(ctl::TriggerLevelEdit, kLevelFallbackText);
  }
  settings.triggerRow = ValueToRow(settings.mapping, settings.triggerLevel[m]);
  return {.invalidateDisplay = true};
}

}  // namespace kestrova
