#include "output/RealSaveControls.h"

#include <array>
#include <utility>

#include "acquisition/ControlIds.h"

namespace kestrova {

namespace {

// The controls the Enable box governs.
constexpr std::array<int, 4> kGovernedControls = {ctl::RealSaveIntervalCaption, ctl::RealSaveInterval,
                                                  ctl::RealSavePath, ctl::RealSaveBrowse};

}  // namespace

std::string RealSaveOverwriteQuestion(std::string_view path, std::string_view wording) {
  return WithArgument(wording, path);
}

std::string WithRealSaveExtension(std::string path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = path.rfind('.');
  // "log" and "log." have no extension; "log.txt" and "a.b.csv" do.
  const bool hasExtension = dot != std::string::npos && dot >= nameStart && dot + 1 < path.size();
  if (hasExtension || nameStart == path.size()) return path;
  if (path.back() != '.') path += '.';
  path += kRealSaveDefaultExtension;
  return path;
}

std::optional<std::string> ChooseRealSavePath(const std::optional<std::string>& chosen,
                                              const std::function<bool(const std::string& path)>& fileExists,
                                              const std::function<bool(std::string_view question)>& askYesNo,
                                              std::string_view wording) {
  if (!chosen || chosen->empty()) return std::nullopt;
  std::string path = WithRealSaveExtension(*chosen);
  if (fileExists(path) && !askYesNo(RealSaveOverwriteQuestion(path, wording))) return std::nullopt;
  return path;
}

bool OnRealSaveBrowse(const std::optional<std::string>& chosen,
                      const std::function<bool(const std::string& path)>& fileExists,
                      const std::function<bool(std::string_view question)>& askYesNo, ScopeSettings& settings,
                      ControlPanel& panel, std::string_view wording) {
  std::optional<std::string> path = ChooseRealSavePath(chosen, fileExists, askYesNo, wording);
  if (!path) return false;
  settings.realSavePath = std::move(*path);
  panel.SetText(ctl::RealSavePath, settings.realSavePath);
  return true;
}

void OnRealSaveEnable(ControlPanel& panel, ScopeSettings& settings) {
  const bool enabled = panel.IsChecked(ctl::RealSaveEnable);
  settings.realSaveEnable = enabled ? 1 : 0;
  for (const int id : kGovernedControls) panel.SetEnabled(id, enabled);
}

void SwitchRealSaveOff(ControlPanel& panel, ScopeSettings& settings) {
  panel.SetChecked(ctl::RealSaveEnable, false);
  OnRealSaveEnable(panel, settings);
}

void LockRealSaveControls(ControlPanel& panel) {
  panel.SetEnabled(ctl::RealSaveEnable, false);
  for (const int id : kGovernedControls) panel.SetEnabled(id, false);
}

void UnlockRealSaveControls(ControlPanel& panel, ScopeSettings& settings) {
  panel.SetEnabled(ctl::RealSaveEnable, true);
  OnRealSaveEnable(panel, settings);
}

void ShowRealSaveSettings(ControlPanel& panel, const ScopeSettings& settings) {
  panel.SetChecked(ctl::RealSaveEnable, settings.realSaveEnable != 0);
  panel.SetSelection(ctl::RealSaveInterval, settings.realSaveIndex);
  panel.SetText(ctl::RealSavePath, settings.realSavePath);
}

}  // namespace kestrova
