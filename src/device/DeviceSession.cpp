#include "device/DeviceSession.h"

#include <algorithm>
#include <utility>

#include "device/CommandProtocol.h"
#include "device/ThreadName.h"

namespace kestrova {

namespace {

using d2xx::FT_OK;

void SleepMilliseconds(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::uint32_t SteadyMilliseconds() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

// Text of a fixed-size field that the library may or may not have
// NUL-terminated.
std::string_view BoundedText(std::span<const char> field) {
  return {field.data(), static_cast<std::size_t>(std::ranges::find(field, '\0') - field.begin())};
}

}  // namespace

DeviceSession::DeviceSession(DriverLoader& loader, FrameHandoff& frames, AcquisitionRunning& running,
                             SessionEvents& events, ColorTextField& statusLine)
    : loader_(loader),
      frames_(frames),
      running_(running),
      events_(events),
      statusLine_(statusLine),
      clock_(SteadyMilliseconds) {}

DeviceSession::~DeviceSession() {
  UnloadDriver();
}

DriverApi* DeviceSession::EnsureLibrary() {
  if (!driverModule_) driverModule_ = loader_.Load();
  return driverModule_.get();
}

void DeviceSession::LoadDriver() {
  if (EnsureLibrary() == nullptr) {
    driverReady_ = false;
    return;
  }
  if (FindUnitByDescription() || driverModule_->Reload(d2xx::kUnitVendorId, d2xx::kUnitProductId) == FT_OK) {
    driverReady_ = true;
    return;
  }
  driverModule_.reset();
  driverReady_ = false;
}

void DeviceSession::UnloadDriver() {
  // The receive thread calls into the library: it must end first.
  CloseSession();
  driverModule_.reset();
  driverReady_ = false;
}

bool DeviceSession::FindUnitByDescription() {
  if (!driverModule_) return false;
  d2xx::DWORD count = 0;
  if (driverModule_->ListDeviceCount(count) != FT_OK || count == 0) return false;
  count = std::min(count, kMaxListedDevices);
  for (d2xx::DWORD index = 0; index < count; ++index) {
    std::array<char, 64> description{};
    if (driverModule_->ListDescriptionByIndex(index, description) == FT_OK &&
        BoundedText(description) == kUnitDescription) {
      return true;
    }
  }
  return false;
}

bool DeviceSession::EnsureOpen() {
  if (IsOpen()) return true;
  if (!driverReady_) {
    LoadDriver();
    SleepMilliseconds(10);
    if (!driverReady_) {
      statusLine_.SetBackgroundColor(kStatusFailureColor);
      statusLine_.SetText(kDriverLoadFailedText);
      return false;
    }
  }
  if (OpenAndConfigure()) {
    statusLine_.SetBackgroundColor(kStatusOpenColor);
    statusLine_.SetText("");
    return true;
  }
  UnloadDriver();
  statusLine_.SetBackgroundColor(kStatusFailureColor);
  statusLine_.SetText(kPortOpenFailedText);
  return false;
}

d2xx::FT_HANDLE DeviceSession::OpenConfigured(bool parkLatency) {
  DriverApi& driver = *driverModule_;
  d2xx::FT_HANDLE handle = nullptr;
  if (driver.OpenEx(serialNumber_.data(), d2xx::FT_OPEN_BY_SERIAL_NUMBER, handle) != FT_OK) return nullptr;
  if (handle == nullptr) return nullptr;  // "success" without a handle is no success
  // The park command goes out at once with the shortest timer; a streaming
  // session gets the timer and transfer size that bound a frame's delay.
  const auto setTimers = [&] {
    return parkLatency
               ? driver.SetLatencyTimer(handle, 1) == FT_OK
               : driver.SetLatencyTimer(handle, kStreamLatencyMs) == FT_OK &&
                     driver.SetUSBParameters(handle, kStreamInTransferSize, kStreamOutTransferSize) == FT_OK;
  };
  const bool configured =
      driver.ResetDevice(handle) == FT_OK && setTimers() && driver.SetDivisor(handle, 3) == FT_OK &&
      driver.SetDataCharacteristics(handle, d2xx::FT_BITS_8, d2xx::FT_STOP_BITS_2, d2xx::FT_PARITY_NONE) ==
          FT_OK &&
      driver.SetFlowControl(handle, d2xx::FT_FLOW_NONE, 0, 0) == FT_OK &&
      driver.Purge(handle, d2xx::FT_PURGE_RX | d2xx::FT_PURGE_TX) == FT_OK;
  if (!configured) {
    driver.Close(handle);
    return nullptr;
  }
  return handle;
}

bool DeviceSession::OpenAndConfigure() {
  if (IsOpen()) return true;
  if (!driverModule_) return false;
  d2xx::FT_HANDLE handle = OpenConfigured(false);
  if (handle == nullptr) return false;

  // The events exist before the thread starts and all start clear, so a
  // stop or a command issued right after this returns is never lost.
  auto events = std::make_unique<Signals>();
  if (driverModule_->SetEventNotification(handle, d2xx::FT_EVENT_RXCHAR, events->rx) != FT_OK) {
    driverModule_->Close(handle);
    return false;
  }
  {
    const std::lock_guard lock(txMutex_);
    txBuffer_.clear();
  }
  signals_ = std::move(events);
  deviceHandle_ = handle;
  receiveThread_ = std::jthread([this, driver = driverModule_.get(), handle, events = signals_.get()] {
    SetCurrentThreadName(kReceiveThreadName);
    ReceiveLoop(*driver, handle, *events);
  });
  return true;
}

void DeviceSession::CloseSession() {
  // The receive thread waits for nothing on this thread, so the join ends
  // within one wait tick. Only then are the handle and the events it uses
  // released: the driver may signal the registered event until the handle
  // is closed.
  if (signals_) signals_->stop.Set();
  if (receiveThread_.joinable()) receiveThread_.join();
  if (deviceHandle_ != nullptr && driverModule_) driverModule_->Close(deviceHandle_);
  deviceHandle_ = nullptr;
  signals_.reset();
  const std::lock_guard lock(txMutex_);
  txBuffer_ = {};
}

void DeviceSession::ParkUnit() {
  if (IsOpen()) {
    CloseSession();
    SleepMilliseconds(10);
  } else if (!driverReady_) {
    LoadDriver();
    SleepMilliseconds(10);
    if (!driverReady_) return;
  }
  if (!driverModule_) return;
  d2xx::FT_HANDLE handle = OpenConfigured(true);
  if (handle == nullptr) return;
  const std::string park = ParkCommand();
  d2xx::DWORD written = 0;
  driverModule_->Write(handle, CommandBytes(park), written);
  SleepMilliseconds(10);
  driverModule_->Purge(handle, d2xx::FT_PURGE_RX | d2xx::FT_PURGE_TX);
  driverModule_->Close(handle);
}

void DeviceSession::QueueCommand(std::span<const std::uint8_t> command) {
  if (!IsOpen()) return;
  {
    const std::lock_guard lock(txMutex_);
    txBuffer_.assign(command.begin(), command.end());
  }
  signals_->tx.Set();
}

void DeviceSession::QueueCommand(std::string_view command) {
  QueueCommand(CommandBytes(command));
}

bool DeviceSession::WaitForReply(int milliseconds) {
  const std::uint32_t start = clock_();
  for (;;) {
    SleepMilliseconds(1);
    const std::uint32_t elapsed = clock_() - start;
    if (frames_.LatestLength() != 0) return true;
    if (milliseconds <= 0 || elapsed >= static_cast<std::uint32_t>(milliseconds)) return false;
  }
}

std::string_view DeviceSession::SerialNumber() const {
  return BoundedText(serialNumber_);
}

void DeviceSession::SetSerialNumber(std::string_view serial) {
  serial = serial.substr(0, std::min(serial.find('\0'), kSerialNumberSize - 1));
  serialNumber_.fill('\0');
  std::ranges::copy(serial, serialNumber_.begin());
}

// ---- receive thread ----

void DeviceSession::ReceiveLoop(DriverApi& driver, d2xx::FT_HANDLE handle, Signals& events) {
  ReceiveState state{driver, handle};
  const std::array<Event*, 3> waitList = {&events.stop, &events.rx, &events.tx};
  const bool polling = driver.NeedsRxPolling();
  int idleTurns = 0;

  for (;;) {
    // A driver that cannot set rx itself: look at the receive queue before
    // each wait instead.
    if (polling && ReceiveQueued(state)) idleTurns = 0;

    // Only a polled driver, or a read that failed and left its bytes queued,
    // needs the short tick; otherwise the loop wakes on its events and once
    // per probe interval, so a stream costs no idle wake-ups.
    const bool retryingRead = state.failureReported[static_cast<std::size_t>(LinkCall::Read)];
    const int signalled = WaitAny(waitList, polling || retryingRead ? kWaitTick : kProbeAfter);
    if (signalled == 0) {
      SendPendingAtClose(state);
      return;
    }
    if (signalled == 1) {
      idleTurns = 0;
      ReceiveQueued(state);
      continue;
    }
    if (signalled == 2) {
      SendPending(state, events);
      continue;
    }
    // Time-out. A read that failed left its bytes queued, and a driver that
    // sets the receive event signals only new bytes: try again each turn.
    if (!polling && state.failureReported[static_cast<std::size_t>(LinkCall::Read)]) {
      if (ReceiveQueued(state)) idleTurns = 0;
      continue;
    }
    // A running session that has heard nothing for a while probes the
    // link; data is only read on a receive event.
    if (!running_.Get()) continue;
    if (polling && ++idleTurns < kIdleTurnsBeforeProbe) continue;
    idleTurns = 0;
    d2xx::DWORD rxCount = 0;
    d2xx::DWORD txCount = 0;
    d2xx::DWORD eventStatus = 0;
    LinkResult(state, LinkCall::Status, driver.GetStatus(handle, rxCount, txCount, eventStatus));
  }
}

bool DeviceSession::ReceiveQueued(ReceiveState& state) {
  d2xx::DWORD count = 0;
  d2xx::DWORD txCount = 0;
  d2xx::DWORD eventStatus = 0;
  if (!LinkResult(state, LinkCall::Status,
                  state.driver.GetStatus(state.handle, count, txCount, eventStatus))) {
    return false;
  }
  if (count == 0) return false;
  // Asked before the read, so a frame handed on has been counted with it.
  CheckOverrun(state);
  StreamLosses& losses = frames_.Losses();
  if (count > kReceiveQueueLimit) {
    // A runaway backlog: its oldest bytes are thrown away so the window
    // stays within a second of the unit. The frame in progress is lost with
    // them (what would complete it was discarded), and so is the start of
    // the first frame after them, whose remainder the extractor skips.
    d2xx::DWORD discarded = 0;
    const bool read =
        ReadPieces(state, count - kReceiveQueueLimit, [&discarded](std::span<const std::uint8_t> piece) {
          discarded += static_cast<d2xx::DWORD>(piece.size());
        });
    losses.AddDiscardedBytes(discarded);
    if (state.extractor.InFrame()) losses.AddBrokenFrames(1);
    state.extractor.DropFrame();
    if (!read) return false;
    count = kReceiveQueueLimit;
  }
  // Frames broken on the way are counted before the next frame goes out, so
  // the window that takes it sees them.
  const auto deliver = [&](std::span<const std::uint8_t> payload) {
    losses.AddBrokenFrames(state.extractor.TakeBrokenFrames());
    DeliverFrame(payload);
  };
  const bool read = ReadPieces(
      state, count, [&](std::span<const std::uint8_t> piece) { state.extractor.Feed(piece, deliver); });
  losses.AddBrokenFrames(state.extractor.TakeBrokenFrames());
  return read;
}

bool DeviceSession::ReadPieces(ReceiveState& state, d2xx::DWORD count,
                               const std::function<void(std::span<const std::uint8_t>)>& use) {
  while (count > 0) {
    const auto piece =
        std::span(state.readBuffer).first(std::min<std::size_t>(count, state.readBuffer.size()));
    d2xx::DWORD bytesRead = 0;
    if (!LinkResult(state, LinkCall::Read, state.driver.Read(state.handle, piece, bytesRead))) return false;
    const std::size_t got = std::min<std::size_t>(bytesRead, piece.size());
    use(piece.first(got));
    if (got < piece.size()) return true;  // fewer than counted: the rest comes with the next event
    count -= static_cast<d2xx::DWORD>(got);
  }
  return true;
}

void DeviceSession::CheckOverrun(ReceiveState& state) {
  d2xx::ULONG status = 0;
  // A failing call tells nothing here; a dead link fails the status call.
  if (state.driver.GetModemStatus(state.handle, status) != FT_OK) return;
  const bool overrun = (status & d2xx::kLineStatusOverrun) != 0;
  if (overrun && !state.overrunShown) frames_.Losses().AddOverruns(1);
  state.overrunShown = overrun;
}

void DeviceSession::DeliverFrame(std::span<const std::uint8_t> payload) {
  frames_.StoreLatest(payload);
  if (TerminalOpen()) {
    events_.PostTerminalFrame(std::vector<std::uint8_t>(payload.begin(), payload.end()));
    return;
  }
  frames_.Enqueue(payload);
  events_.PostFrameReady();
}

void DeviceSession::SendPending(ReceiveState& state, Signals& events) {
  events.tx.Reset();
  std::vector<std::uint8_t> command;
  {
    const std::lock_guard lock(txMutex_);
    command.swap(txBuffer_);
  }
  if (command.empty()) return;
  d2xx::DWORD written = 0;
  LinkResult(state, LinkCall::Write, state.driver.Write(state.handle, command, written));
}

// A command queued before the close still goes out, however late this thread
// got to run: Stop queues the configuration with the run bit clear and closes
// right after, and the unit must not go on streaming. Nothing is reported:
// the session is closing, and a link that fails now has no one to tell.
void DeviceSession::SendPendingAtClose(ReceiveState& state) {
  std::vector<std::uint8_t> command;
  {
    const std::lock_guard lock(txMutex_);
    command.swap(txBuffer_);
  }
  if (command.empty()) return;
  d2xx::DWORD written = 0;
  static_cast<void>(state.driver.Write(state.handle, command, written));
}

bool DeviceSession::LinkResult(ReceiveState& state, LinkCall call, d2xx::FT_STATUS status) {
  bool& reported = state.failureReported[static_cast<std::size_t>(call)];
  if (status == FT_OK) {
    reported = false;
    return true;
  }
  // One notification per failure: a call that keeps failing (a polled
  // status, a queue that cannot be read) is reported again only after it has
  // succeeded in between. The window closes the session on the first report
  // anyway.
  if (!reported) {
    running_.Set(false);
    events_.PostLinkLost();
  }
  reported = true;
  return false;
}

}  // namespace kestrova
