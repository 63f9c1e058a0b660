#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>
#include <thread>
#include <vector>

#include "acquisition/AcquisitionRunning.h"
#include "acquisition/Color.h"
#include "acquisition/ControlPanel.h"
#include "acquisition/FrameHandoff.h"
#include "device/DriverApi.h"
#include "device/Event.h"
#include "device/FrameExtractor.h"
#include "device/SessionEvents.h"
#include "resources/Translatable.h"

namespace kestrova {

// The description every unit reports over USB.
inline constexpr std::string_view kUnitDescription = "Orvanta USBCOM";

// Status-line texts and colours of EnsureOpen.
inline constexpr std::string_view kDriverLoadFailedText =
    KESTROVA_TR_NOOP("Kestrova", "USB Driver를 로드할 수 없습니다");
inline constexpr std::string_view kPortOpenFailedText =
    KESTROVA_TR_NOOP("Kestrova", "USB 포트를 여는데 실패하였습니다");
inline constexpr ColorRef kStatusFailureColor = Rgb(255, 0, 0);
inline constexpr ColorRef kStatusOpenColor = Rgb(255, 255, 128);

// The program's only path to the unit: binds the driver, opens the unit by
// serial number and configures the bridge, and while the session is open
// runs the receive thread, which owns every read and write on the handle.
// The receive thread cuts the byte stream into frames, keeps the newest as
// the FrameHandoff's latest frame, and hands each to the main window (queue
// and WM_FRAME_READY) or, while the terminal is open, to the terminal
// (WM_TERMINAL_RX). A failing status, read or write call clears
// AcquisitionRunning and posts WM_LINK_LOST (a call that keeps failing is
// reported once, until it has succeeded again); the window decides what
// next, normally by closing the session.
//
// Owned by the main window. Every public member function is called on the
// user-interface thread, never from inside a SessionEvents callback.
class DeviceSession {
 public:
  // Milliseconds of a free-running clock; differences are taken modulo 2^32.
  using MillisecondClock = std::function<std::uint32_t()>;

  // Bytes of serialNumber, terminating NUL included.
  static constexpr std::size_t kSerialNumberSize = 16;
  // The longest receive backlog that is read whole: one second of the
  // stream (1 000 000 baud, 11 bit times a byte). A backlog is read in
  // pieces and every frame in it reaches the window, which draws only the
  // newest; of a longer one (a receive thread held off for more than a
  // second) the oldest bytes beyond this are read and discarded, and
  // counted, so the window never lags more than a second behind the unit.
  static constexpr std::uint32_t kReceiveQueueLimit = 90909;
  // Bytes one read asks for.
  static constexpr std::size_t kReadPiece = 16384;
  // What the bridge is set to while the session streams: a 4 ms latency
  // timer, and 512-byte IN transfers (8 packets, 496 data bytes, 5.5 ms of
  // the stream) in place of the vendor driver's 4 KiB (44 ms), so a
  // frame's last byte reaches the receive queue within about 5.5 ms. The
  // OUT size stays the driver's default.
  static constexpr d2xx::UCHAR kStreamLatencyMs = 4;
  static constexpr d2xx::ULONG kStreamInTransferSize = 512;
  static constexpr d2xx::ULONG kStreamOutTransferSize = 4096;
  // Receive-loop wait of a driver that must be polled for data.
  static constexpr std::chrono::milliseconds kWaitTick{10};
  // Idle waits of a running session before the link is probed.
  static constexpr int kIdleTurnsBeforeProbe = 50;
  // Without polling the loop sleeps until an event, or until a running
  // session has heard nothing for this long and probes the link.
  static constexpr std::chrono::milliseconds kProbeAfter = kWaitTick * kIdleTurnsBeforeProbe;
  // Listing counts above this are taken for a failing library.
  static constexpr d2xx::DWORD kMaxListedDevices = 1024;

  // All references must outlive the session. The loader binds the driver
  // (vendor library or simulated unit); statusLine is the window's status
  // line, written by EnsureOpen.
  DeviceSession(DriverLoader& loader, FrameHandoff& frames, AcquisitionRunning& running,
                SessionEvents& events, ColorTextField& statusLine);
  // Closes the session and unloads the driver.
  ~DeviceSession();
  DeviceSession(const DeviceSession&) = delete;
  DeviceSession& operator=(const DeviceSession&) = delete;

  // Loads the driver library if it is not loaded and accepts the unit: it is
  // listed by description, or the driver takes the unit's ids on reload.
  // Otherwise the library is unloaded again. Sets DriverReady().
  void LoadDriver();
  // Closes an open session first, then unloads the library.
  void UnloadDriver();
  // True when an attached device reports the unit's description.
  bool FindUnitByDescription();
  // Opens the session unless it is open, binding the driver first if
  // needed, and reports the outcome in the status line.
  bool EnsureOpen();
  // Opens the unit by serialNumber, configures it, creates the events and
  // starts the receive thread. The first failing step closes what was
  // opened and returns false.
  bool OpenAndConfigure();
  // Ends and joins the receive thread, then closes the handle and releases
  // the events and the transmit buffer. Safe when nothing is open; the
  // library stays loaded.
  void CloseSession();
  // At shutdown: sends the park command to the unit on a private handle.
  // Closes an open session first. Failures are silent.
  void ParkUnit();
  // Hands a framed command to the receive thread, which writes it. A command
  // queued before the previous one was written replaces it. Dropped when the
  // session is not open.
  void QueueCommand(std::span<const std::uint8_t> command);
  void QueueCommand(std::string_view command);
  // Sleeps in 1 ms steps until the latest frame length is non-zero (true)
  // or at least `milliseconds` have passed (false). The length is tested
  // before the time.
  bool WaitForReply(int milliseconds);

  // The loaded driver library, loading it if needed without accepting the
  // unit (device listing works on any loaded library); nullptr when it
  // cannot be loaded.
  DriverApi* EnsureLibrary();

  [[nodiscard]] bool DriverReady() const { return driverReady_; }
  [[nodiscard]] bool IsLibraryLoaded() const { return driverModule_ != nullptr; }
  // deviceHandle is set: the session is open and its receive thread runs.
  [[nodiscard]] bool IsOpen() const { return deviceHandle_ != nullptr; }

  // The serial number of the unit to open (at most 15 characters).
  [[nodiscard]] std::string_view SerialNumber() const;
  // Stores the text up to its first NUL, cut to 15 characters.
  void SetSerialNumber(std::string_view serial);

  // terminalOpen: while true, frames go to the terminal instead of the main
  // window. Read by the receive thread.
  void SetTerminalOpen(bool open) { terminalOpen_.store(open, std::memory_order_release); }
  [[nodiscard]] bool TerminalOpen() const { return terminalOpen_.load(std::memory_order_acquire); }

  [[nodiscard]] AcquisitionRunning& Running() { return running_; }
  [[nodiscard]] FrameHandoff& Frames() { return frames_; }

  // Replaces the millisecond clock of WaitForReply (tests drive it).
  void SetMillisecondClock(MillisecondClock clock) { clock_ = std::move(clock); }

 private:
  // The three events the receive thread waits on, in priority order.
  struct Signals {
    EventHub hub;
    Event stop{hub, Event::ResetMode::Manual};
    Event rx{hub, Event::ResetMode::Auto};
    Event tx{hub, Event::ResetMode::Manual};
  };

  // Opens the unit by serial number and runs the bridge set-up shared by
  // the session and the park path; nullptr (and the handle closed) on the
  // first failure.
  d2xx::FT_HANDLE OpenConfigured(bool parkLatency);

  // The receive-thread calls whose failure means the link is lost.
  enum class LinkCall : std::uint8_t { Status, Read, Write };

  // What the receive thread keeps from turn to turn; its own, never shared.
  struct ReceiveState {
    DriverApi& driver;
    d2xx::FT_HANDLE handle;
    FrameExtractor extractor{};
    std::vector<std::uint8_t> readBuffer = std::vector<std::uint8_t>(kReadPiece);
    std::array<bool, 3> failureReported{};  // per LinkCall
    bool overrunShown = false;              // the last modem status had the overrun bit
  };

  // Receive thread.
  void ReceiveLoop(DriverApi& driver, d2xx::FT_HANDLE handle, Signals& events);
  // Reads the whole receive queue into the extractor (beyond
  // kReceiveQueueLimit its oldest bytes are discarded). True when
  // something was queued.
  bool ReceiveQueued(ReceiveState& state);
  // Reads `count` bytes in pieces and hands each piece to `use`; stops
  // early when the driver has fewer. False when a read failed.
  bool ReadPieces(ReceiveState& state, d2xx::DWORD count,
                  const std::function<void(std::span<const std::uint8_t>)>& use);
  // Counts an overrun the bridge reports (once per report, however many
  // status reads show it in a row).
  void CheckOverrun(ReceiveState& state);
  void SendPending(ReceiveState& state, Signals& events);
  void SendPendingAtClose(ReceiveState& state);
  void DeliverFrame(std::span<const std::uint8_t> payload);
  // False (and the link failure reported) unless the call succeeded.
  bool LinkResult(ReceiveState& state, LinkCall call, d2xx::FT_STATUS status);

  DriverLoader& loader_;
  FrameHandoff& frames_;
  AcquisitionRunning& running_;
  SessionEvents& events_;
  ColorTextField& statusLine_;

  // User-interface thread only, except where noted. driverModule_,
  // deviceHandle_ and signals_ change only while no receive thread runs.
  std::unique_ptr<DriverApi> driverModule_;
  bool driverReady_ = false;
  d2xx::FT_HANDLE deviceHandle_ = nullptr;
  std::array<char, kSerialNumberSize> serialNumber_{};
  std::unique_ptr<Signals> signals_;
  std::atomic<bool> terminalOpen_{false};
  MillisecondClock clock_;

  // The pending command: written by the user-interface thread, taken by the
  // receive thread.
  std::mutex txMutex_;
  std::vector<std::uint8_t> txBuffer_;

  std::jthread receiveThread_;
};

}  // namespace kestrova
