#pragma once

namespace kestrova {

// The run-control step the main window takes after a settings handler has
// done its part. The handlers only decide; the window owns the device and
// the run state and carries the step out.
enum class RunStep {
  None,
  Apply,           // ApplyConfiguration
  Start,           // OnStart
  StopPauseApply,  // stop streaming, pause 200 ms, then ApplyConfiguration
};

// What the main window must do after a settings handler returns.
struct WindowActions {
  bool invalidateDisplay = false;
  RunStep run = RunStep::None;

  friend bool operator==(const WindowActions&, const WindowActions&) = default;
};

}  // namespace kestrova
