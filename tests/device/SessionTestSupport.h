#pragma once

// Recording stand-ins for what the window gives the device session: the
// notifications, the status line and the device bar.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "RecordingDriver.h"
#include "acquisition/AcquisitionRunning.h"
#include "acquisition/ControlPanel.h"
#include "acquisition/FrameHandoff.h"
#include "device/DeviceDiscovery.h"
#include "device/DeviceSession.h"
#include "device/SessionEvents.h"

namespace kestrova::fakes {

// Counts what the receive thread posts; any thread may wait for a count.
class RecordingSessionEvents final : public SessionEvents {
 public:
  void PostFrameReady() override {
    Note([this] { ++frameReady_; });
  }
  void PostLinkLost() override {
    Note([this] { ++linkLost_; });
  }
  void PostTerminalFrame(std::vector<std::uint8_t> payload) override {
    Note([&] { terminalFrames_.push_back(std::move(payload)); });
  }

  [[nodiscard]] int FrameReadyCount() const {
    const std::lock_guard lock(mutex_);
    return frameReady_;
  }
  [[nodiscard]] int LinkLostCount() const {
    const std::lock_guard lock(mutex_);
    return linkLost_;
  }
  [[nodiscard]] std::vector<std::vector<std::uint8_t>> TerminalFrames() const {
    const std::lock_guard lock(mutex_);
    return terminalFrames_;
  }
  bool WaitUntil(const std::function<bool()>& condition,
                 std::chrono::milliseconds limit = std::chrono::seconds(20)) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
      lock.unlock();
      const bool met = condition();
      lock.lock();
      return met;
    });
  }

 private:
  template <typename F>
  void Note(F&& change) {
    {
      const std::lock_guard lock(mutex_);
      change();
    }
    changed_.notify_all();
  }
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  int frameReady_ = 0;
  int linkLost_ = 0;
  std::vector<std::vector<std::uint8_t>> terminalFrames_;
};

// The status line: remembers what it shows and how often it was written.
class RecordingStatusLine final : public ColorTextField {
 public:
  void SetTextColor(ColorRef color) override {
    textColor = color;
    ++writes;
  }
  void SetBackgroundColor(ColorRef color) override {
    background = color;
    ++writes;
  }
  void SetText(std::string_view value) override {
    text = value;
    ++writes;
  }

  ColorRef textColor = 0;
  ColorRef background = 0;
  std::string text = "untouched";
  int writes = 0;
};

// The device list and reply box.
class FakeDeviceListView final : public DeviceListView {
 public:
  void ClearDevices() override {
    entries.clear();
    selected = -1;
  }
  void AppendDevice(std::string_view serialNumber) override { entries.emplace_back(serialNumber); }
  void SelectDevice(int index) override { selected = index; }
  [[nodiscard]] std::string SelectedDevice() const override {
    return selected >= 0 && selected < static_cast<int>(entries.size())
               ? entries[static_cast<std::size_t>(selected)]
               : std::string();
  }
  void SetReplyText(std::string_view text) override {
    reply = text;
    replyWrites.emplace_back(text);
  }

  std::vector<std::string> entries;
  int selected = -1;
  std::string reply;
  std::vector<std::string> replyWrites;
};

// A session wired to recording stand-ins, as the window wires the real one.
struct SessionRig {
  explicit SessionRig(const std::string& serial = "KV0001") { session.SetSerialNumber(serial); }

  // Binds and opens the session on an attached unit with this serial.
  bool OpenWithUnit(const std::string& serial = "KV0001") {
    driver.AddDevice(serial, "Orvanta USBCOM");
    session.SetSerialNumber(serial);
    return session.EnsureOpen();
  }

  RecordingDriver driver;
  RecordingDriverLoader loader{driver};
  FrameHandoff frames;
  AcquisitionRunning running;
  RecordingSessionEvents events;
  RecordingStatusLine status;
  DeviceSession session{loader, frames, running, events, status};
};

}  // namespace kestrova::fakes
