#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "acquisition/ControlPanel.h"
#include "acquisition/ScopeSettings.h"
#include "resources/Translatable.h"

// The controls of the "Real time data save" box: the Enable check box, the
// interval list with its label, the path edit and the "..." button.
// User-interface thread only.
namespace kestrova {

// The save dialog of the "..." button.
inline constexpr std::string_view kRealSaveDialogTitle =
    KESTROVA_TR_NOOP("Kestrova", "실시간 데이터 기록 파일 저장");
// The dialog's file filter.
inline constexpr std::string_view kRealSaveDialogQtFilter =
    KESTROVA_TR_NOOP("Kestrova", "실시간 데이터 기록 파일 (*.txt)");
// Added to a chosen file name that has no extension.
inline constexpr std::string_view kRealSaveDefaultExtension = "txt";

// The Yes/No question (question icon) asked before an existing file is
// chosen as the log file; "%1" is the file's path.
inline constexpr std::string_view kRealSaveOverwriteWording =
    KESTROVA_TR_NOOP("Kestrova", "%1 파일이 이미 있습니다\n파일를 덮어 쓰시겠습니까?");
// The question about path, in wording (a translation of kRealSaveOverwriteWording).
std::string RealSaveOverwriteQuestion(std::string_view path,
                                      std::string_view wording = kRealSaveOverwriteWording);

// The chosen name with ".txt" added when its file name has no extension.
// Both '/' and '\' end a directory name.
std::string WithRealSaveExtension(std::string path);

// The decision after the save dialog closed. chosen is the path the user
// picked (empty or none: cancelled). When a file exists at the path (after
// the default extension), askYesNo is asked RealSaveOverwriteQuestion (in
// wording) and must answer Yes. Returns the new log path, or none to keep the old one.
// Nothing is created or changed on disk.
std::optional<std::string> ChooseRealSavePath(const std::optional<std::string>& chosen,
                                              const std::function<bool(const std::string& path)>& fileExists,
                                              const std::function<bool(std::string_view question)>& askYesNo,
                                              std::string_view wording = kRealSaveOverwriteWording);

// The "..." button after its dialog: the chosen path (see ChooseRealSavePath)
// becomes realSavePath and is shown in the path edit. True when it changed.
bool OnRealSaveBrowse(const std::optional<std::string>& chosen,
                      const std::function<bool(const std::string& path)>& fileExists,
                      const std::function<bool(std::string_view question)>& askYesNo, ScopeSettings& settings,
                      ControlPanel& panel, std::string_view wording = kRealSaveOverwriteWording);

// The Enable box changed (or was set by the program): realSaveEnable follows
// the box, and the interval label, the interval list, the path edit and the
// "..." button are enabled exactly while it is ticked.
void OnRealSaveEnable(ControlPanel& panel, ScopeSettings& settings);

// Logging cannot go on (the log file could not be created or written):
// untick the Enable box and run OnRealSaveEnable.
void SwitchRealSaveOff(ControlPanel& panel, ScopeSettings& settings);

// A run started: the Enable box and the four controls it governs are
// disabled until the run ends.
void LockRealSaveControls(ControlPanel& panel);

// The run stopped: the Enable box is enabled again and OnRealSaveEnable
// restores the other four.
void UnlockRealSaveControls(ControlPanel& panel, ScopeSettings& settings);

// Window set-up: ticks the Enable box, selects the interval (the list is
// already filled) and shows the path from the settings. The set-up runs
// OnRealSaveEnable later, as if the box had been clicked.
void ShowRealSaveSettings(ControlPanel& panel, const ScopeSettings& settings);

}  // namespace kestrova
