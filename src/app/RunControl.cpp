#include "app/RunControl.h"

#include <chrono>
#include <thread>

#include "acquisition/ControlIds.h"
#include "acquisition/SettingsControls.h"
#include "app/Translation.h"
#include "device/CommandProtocol.h"
#include "output/RealSaveControls.h"

namespace kestrova {

namespace {

constexpr ColorRef kRed = Rgb(255, 0, 0);

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

RunControl::RunControl(ScopeSettings& settings, SampleBuffer& buffer, DeviceSession& session,
                       ControlPanel& panel, AxisLabelBuilder& labels, Prompts& prompts,
                       ColorTextField& statusLine, ColorTextField& triggerStatus,
                       ScrollBarControl& historyScroll, RunControlHost& host)
    : settings_(settings),
      buffer_(buffer),
      session_(session),
      panel_(panel),
      labels_(labels),
      prompts_(prompts),
      statusLine_(statusLine),
      triggerStatus_(triggerStatus),
      historyScroll_(historyScroll),
      host_(host) {}

bool RunControl::ApplyConfiguration() {
  if (!ValidateInputs(panel_)) {
    prompts_.ShowMessage(TrUtf8(kInvalidInputText), PromptIcon::Information);
    return false;
  }
  ReadControls(settings_, panel_, labels_);
  ClampSettings(settings_, panel_);
  if (!session_.EnsureOpen()) return false;
  session_.Running().Set(true);
  buffer_.lastFrameType = 0;
  SendConfiguration(session_, settings_, panel_.Selection(ctl::TimeList));
  return true;
}

void RunControl::ResetTriggerStatus() {
  triggerStatus_.SetTextColor(kStatusIdleText);
  triggerStatus_.SetBackgroundColor(kTriggerIdleBackground);
  triggerStatus_.SetText("");
}

void RunControl::OnStart() {
  statusLine_.SetTextColor(kStatusIdleText);
  statusLine_.SetBackgroundColor(kStatusIdleBackground);
  statusLine_.SetText("");
  ResetTriggerStatus();

  buffer_.writeIndex = 0;
  buffer_.viewIndex = 0;
  buffer_.frameCount = 0;
  buffer_.triggerCount = 0;
  historyScroll_.SetPosition(0);
  ClearSampleBuffer(buffer_, settings_.mapping);
  // Frames of an earlier session that the window has not taken yet belong
  // to no run any more, and neither do its losses.
  session_.Frames().DiscardQueued();
  session_.Frames().Losses().Reset();
  shownLosses_ = {};

  host_.BeginRealSave();
  host_.BuildGraticule();
  host_.BuildAxisLabels();
  if (!ApplyConfiguration()) {
    host_.EndRealSave();
    return;
  }
  host_.MarkRunStart();
  SetStartedButtons();
  // The log file only now that the unit is open, so a Start that cannot open
  // it leaves the previous run's log untouched. No frame has been handled
  // yet: frames reach this thread as events, after OnStart returns.
  host_.CreateRealSaveFile();
  host_.FocusTimeList();
}

void RunControl::StopStreaming() {
  kestrova::StopStreaming(session_, settings_, panel_.Selection(ctl::TimeList), buffer_,
                          [this] { host_.InvalidateDisplay(); });
}

void RunControl::OnStop() {
  StopStreaming();
  session_.CloseSession();
  SetStoppedButtons();
  host_.EndRealSave();
  host_.FocusTimeList();
}

void RunControl::OnLinkLost() {
  // A notification that arrives after the session was closed (by Stop, or by
  // an earlier notification of the same failure) has nothing left to recover;
  // reconnecting then would restart a run the user has stopped.
  if (!session_.IsOpen()) return;

  session_.CloseSession();
  session_.UnloadDriver();
  SleepMs(1);
  session_.LoadDriver();
  SleepMs(10);
  if (session_.DriverReady()) {
    if (session_.OpenAndConfigure()) {
      ApplyConfiguration();
      return;
    }
    session_.UnloadDriver();
  }
  statusLine_.SetTextColor(kRed);
  statusLine_.SetText(kLinkLostText);
  for (const int id : {ctl::Start, ctl::FileSave, ctl::ScreenSave, ctl::HistoryScroll})
    panel_.SetEnabled(id, true);
  for (const int id : {ctl::Stop, ctl::Apply}) panel_.SetEnabled(id, false);
  host_.EndRealSave();
  host_.InvalidateDisplay();
}

void RunControl::ShowLosses() {
  const LossCounts losses = session_.Frames().Losses().Counts();
  if (losses == shownLosses_) return;
  shownLosses_ = losses;
  statusLine_.SetTextColor(kRed);
  statusLine_.SetText(LossNoteText(losses, TrUtf8));
}

bool RunControl::SingleShotDone() const {
  return buffer_.lastFrameType == 'T' && settings_.triggerStop != 0 && Running();
}

void RunControl::SetStartedButtons() {
  for (const int id : {ctl::Stop, ctl::Apply}) panel_.SetEnabled(id, true);
  for (const int id : {ctl::Start, ctl::FileSave, ctl::ScreenSave, ctl::HistoryScroll, ctl::TerminalButton,
                       ctl::UnitCheck}) {
    panel_.SetEnabled(id, false);
  }
  LockRealSaveControls(panel_);
}

void RunControl::SetStoppedButtons() {
  for (const int id : {ctl::Start, ctl::FileSave, ctl::ScreenSave, ctl::HistoryScroll, ctl::TerminalButton,
                       ctl::UnitCheck}) {
    panel_.SetEnabled(id, true);
  }
  for (const int id : {ctl::Stop, ctl::Apply}) panel_.SetEnabled(id, false);
  UnlockRealSaveControls(panel_, settings_);
}

}  // namespace kestrova
