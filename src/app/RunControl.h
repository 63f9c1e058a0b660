#pragma once

#include "acquisition/ControlPanel.h"
#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "acquisition/StreamLosses.h"
#include "app/Prompts.h"
#include "device/DeviceSession.h"
#include "resources/Translatable.h"

namespace kestrova {

// What run control asks of the rest of the main window. User-interface
// thread only.
class RunControlHost {
 public:
  virtual ~RunControlHost() = default;
  virtual void BuildGraticule() = 0;
  virtual void BuildAxisLabels() = 0;
  virtual void InvalidateDisplay() = 0;
  virtual void FocusTimeList() = 0;
  // The real-time log of a run: its counter reset as Start begins, its file
  // created once the unit is open, closed whenever a run ends.
  virtual void BeginRealSave() = 0;
  virtual void CreateRealSaveFile() = 0;
  virtual void MarkRunStart() = 0;
  virtual void EndRealSave() = 0;
};

// The idle look of the status line and the trigger status: black text on
// light yellow and on green.
inline constexpr ColorRef kStatusIdleText = Rgb(0, 0, 0);
inline constexpr ColorRef kStatusIdleBackground = Rgb(255, 255, 128);
inline constexpr ColorRef kTriggerIdleBackground = Rgb(0, 255, 128);

inline constexpr std::string_view kInvalidInputText =
    KESTROVA_TR_NOOP("Kestrova", "데이터 입력이 잘못되었습니다");
inline constexpr std::string_view kLinkLostText =
    KESTROVA_TR_NOOP("Kestrova", "USB통신에 문제가 발생하여 USB 포트를 닫습니다");

// Start, Stop and Apply, the reconnection after a lost link, and the
// single-shot stop: which of them may run is decided by AcquisitionRunning.
// User-interface thread only.
class RunControl {
 public:
  RunControl(ScopeSettings& settings, SampleBuffer& buffer, DeviceSession& session, ControlPanel& panel,
             AxisLabelBuilder& labels, Prompts& prompts, ColorTextField& statusLine,
             ColorTextField& triggerStatus, ScrollBarControl& historyScroll, RunControlHost& host);

  [[nodiscard]] bool Running() const { return session_.Running().Get(); }

  // Validates and reads the controls, opens the unit if needed and sends
  // the configuration with the run bit set. False when the input is invalid
  // (after telling the user) or the unit cannot be opened (the status line
  // says why).
  bool ApplyConfiguration();
  void OnApply() { ApplyConfiguration(); }
  // A fresh capture: counters and history reset, configuration, log file.
  void OnStart();
  // Stops streaming, closes the unit and the log.
  void OnStop();
  // The receive thread lost the link: reconnect once, or report and stop.
  void OnLinkLost();
  // Tells the unit to stop streaming (when open) and freezes the history view.
  void StopStreaming();
  // Single shot: true when the frame just shown was the triggered one and
  // the run should stop now.
  [[nodiscard]] bool SingleShotDone() const;
  // The run's losses on the status line, in red, when they changed since
  // last shown (kept until the next Start).
  void ShowLosses();
  // The trigger status line as a fresh capture starts it: black on green,
  // empty (Start, and the terminal when it opens).
  void ResetTriggerStatus();

 private:
  void SetStartedButtons();
  void SetStoppedButtons();

  ScopeSettings& settings_;
  SampleBuffer& buffer_;
  DeviceSession& session_;
  ControlPanel& panel_;
  AxisLabelBuilder& labels_;
  Prompts& prompts_;
  ColorTextField& statusLine_;
  ColorTextField& triggerStatus_;
  ScrollBarControl& historyScroll_;
  RunControlHost& host_;
  LossCounts shownLosses_;
};

}  // namespace kestrova
