#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "acquisition/AcquisitionRunning.h"
#include "acquisition/FrameHandoff.h"
#include "acquisition/ScopeSettings.h"
#include "cli/ExitCode.h"
#include "cli/MemoryControlPanel.h"
#include "device/DeviceSession.h"
#include "device/Event.h"
#include "device/SessionEvents.h"

namespace kestrova::cli {

// The receive thread's notifications as events the main thread waits on.
// The Post... members run on the receive thread and only set an event (and
// queue a terminal payload): they never wait for the main thread.
class WaitableSessionEvents final : public SessionEvents {
 public:
  void PostFrameReady() override { frameReady.Set(); }
  void PostLinkLost() override { linkLost.Set(); }
  void PostTerminalFrame(std::vector<std::uint8_t> payload) override;

  // Main thread: the terminal payloads received so far, oldest first.
  std::vector<std::vector<std::uint8_t>> TakeTerminalFrames();

  EventHub hub;
  Event linkLost{hub, Event::ResetMode::Auto};
  Event frameReady{hub, Event::ResetMode::Auto};

 private:
  std::mutex mutex_;
  std::vector<std::vector<std::uint8_t>> terminalFrames_;
};

// A failure for the user: what went wrong and the exit code it gives.
struct Failure {
  ExitCode code = ExitCode::Done;
  std::string message;
  [[nodiscard]] bool failed() const { return code != ExitCode::Done; }
};

// The unit as a command-line run sees it: the window's device session with
// its receive thread, discovery of the attached units, and the session's
// status line translated into English. Main thread, except the events.
class UnitLink {
 public:
  // driverName names the driver in messages.
  UnitLink(std::unique_ptr<DriverLoader> loader, std::string driverName);
  // Closes the session and unloads the driver.
  ~UnitLink();
  UnitLink(const UnitLink&) = delete;
  UnitLink& operator=(const UnitLink&) = delete;

  // The serial numbers of the attached units, in the driver's order. Fails
  // (exit 1) when the driver cannot be loaded or cannot list devices.
  Failure ListUnits(std::vector<std::string>& serials);

  // Chooses the unit to open: `serial` when given (it must be attached),
  // else the only one attached. Several without a serial number is a usage
  // error (exit 2) that lists them; none is exit 1.
  Failure ChooseUnit(const std::string& serial);

  // Opens the chosen unit (EnsureOpen); on failure says why, in English.
  Failure Open();

  // The window's Unit Check on the chosen unit: opens it, asks for its
  // identification, and closes it again. No answer within a second is a
  // unit failure: the window's 100 ms can pass on a busy machine before the
  // receive thread has had a turn, and a script cannot click again.
  Failure CheckUnit(std::string& identification);

  // After a lost link, as the window reconnects: closes the session, binds
  // the driver afresh and opens the unit again. False when the unit does
  // not come back (the driver is then unloaded).
  bool Reopen();

  // After the last frame: stop streaming, close the session, park the unit
  // on a private handle and unload the driver, as the window does on exit.
  void StopAndPark(const ScopeSettings& settings);

  [[nodiscard]] DeviceSession& Session() { return session_; }
  [[nodiscard]] FrameHandoff& Frames() { return frames_; }
  [[nodiscard]] WaitableSessionEvents& Events() { return events_; }
  [[nodiscard]] AcquisitionRunning& Running() { return running_; }
  [[nodiscard]] const std::string& DriverName() const { return driverName_; }

 private:
  std::unique_ptr<DriverLoader> loader_;
  std::string driverName_;
  FrameHandoff frames_;
  AcquisitionRunning running_;
  WaitableSessionEvents events_;
  RecordingTextField statusLine_;
  DeviceSession session_;
};

}  // namespace kestrova::cli
