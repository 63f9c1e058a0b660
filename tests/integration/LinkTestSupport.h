#pragma once

// The whole link in one rig: a simulated bench, the device session with its
// receive thread, the frame hand-off and the frame decoder, wired as the main
// window wires them. The test's own thread plays the user-interface thread.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#if defined(__linux__)
#include <unistd.h>
#endif

#include "SessionTestSupport.h"
#include "acquisition/FrameDecoder.h"
#include "acquisition/FrameHandoff.h"
#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "acquisition/TimeBaseTable.h"
#include "device/CommandProtocol.h"
#include "device/DeviceSession.h"
#include "simulator/ManualSimClock.h"
#include "simulator/SimulatedBench.h"
#include "simulator/SimulatedDriver.h"
#include "support/WaitFor.h"

namespace kestrova::linktest {

// The index of 10 ms/div, the first time base that shows the history.
inline constexpr int kTenMsPerDivision = 6;

inline constexpr std::string_view kSerial = "SIM00001";

using test::WaitFor;

inline std::string Text(const std::vector<std::uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

// The ids of this process's threads right now (Linux); nothing elsewhere.
inline std::optional<std::set<int>> ThreadIds() {
#if defined(__linux__)
  std::error_code error;
  std::set<int> ids;
  for (std::filesystem::directory_iterator it("/proc/self/task", error), end; !error && it != end;
       it.increment(error)) {
    ids.insert(std::atoi(it->path().filename().c_str()));
  }
  if (error) return std::nullopt;
  return ids;
#else
  return std::nullopt;
#endif
}

// A join returns once the kernel has woken the joining thread, which it does
// on the way out of the ended thread, a little before it drops that thread
// from /proc/self/task. So a thread just joined may still be listed for a
// moment: the checks below wait for the kernel to let go of it. A thread that
// is still running is never let go of, and the wait fails the test.

// The threads to compare with once a session has come and gone. A thread is
// started and joined first (a sanitizer's runtime starts its own helper
// thread with the first thread of the program and keeps it), and the list is
// taken once that thread has left it.
inline std::optional<std::set<int>> ThreadBaseline() {
#if defined(__linux__)
  std::atomic<int> joined{0};
  std::thread([&joined] { joined = static_cast<int>(::gettid()); }).join();
  std::optional<std::set<int>> ids;
  if (!WaitFor(
          [&] {
            ids = ThreadIds();
            return !ids || !ids->contains(joined);
          },
          "a joined thread to leave /proc/self/task")) {
    return std::nullopt;
  }
  return ids;
#else
  return std::nullopt;
#endif
}

// True once every thread listed was already in `before`: whatever started a
// thread since has ended and joined it.
inline bool NoThreadBeyond(const std::set<int>& before) {
  return WaitFor(
      [&] {
        const auto ids = ThreadIds();
        return ids && std::includes(before.begin(), before.end(), ids->begin(), ids->end());
      },
      "the threads started since the baseline to end");
}

// Forwards every call to the simulated driver and keeps a copy of each
// block of bytes written, in order, and the count of bytes read. Any thread.
class WriteTap {
 public:
  void Note(std::span<const std::uint8_t> bytes) {
    const std::lock_guard lock(mutex_);
    writes_.emplace_back(bytes.begin(), bytes.end());
  }
  void NoteRead(std::size_t count) {
    const std::lock_guard lock(mutex_);
    bytesRead_ += count;
  }
  [[nodiscard]] std::size_t BytesRead() const {
    const std::lock_guard lock(mutex_);
    return bytesRead_;
  }
  [[nodiscard]] std::vector<std::vector<std::uint8_t>> Writes() const {
    const std::lock_guard lock(mutex_);
    return writes_;
  }
  [[nodiscard]] std::size_t Count() const {
    const std::lock_guard lock(mutex_);
    return writes_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::vector<std::uint8_t>> writes_;
  std::size_t bytesRead_ = 0;
};

class TappedDriver final : public DriverApi {
 public:
  TappedDriver(std::unique_ptr<DriverApi> inner, WriteTap& tap) : inner_(std::move(inner)), tap_(tap) {}

  d2xx::FT_STATUS ListDeviceCount(d2xx::DWORD& count) override { return inner_->ListDeviceCount(count); }
  d2xx::FT_STATUS ListDescriptionByIndex(d2xx::DWORD index, std::span<char, 64> description) override {
    return inner_->ListDescriptionByIndex(index, description);
  }
  d2xx::FT_STATUS Reload(d2xx::WORD vendorId, d2xx::WORD productId) override {
    return inner_->Reload(vendorId, productId);
  }
  d2xx::FT_STATUS OpenEx(const char* serialNumber, d2xx::DWORD flags, d2xx::FT_HANDLE& handle) override {
    return inner_->OpenEx(serialNumber, flags, handle);
  }
  d2xx::FT_STATUS ResetDevice(d2xx::FT_HANDLE handle) override { return inner_->ResetDevice(handle); }
  d2xx::FT_STATUS SetLatencyTimer(d2xx::FT_HANDLE handle, d2xx::UCHAR milliseconds) override {
    return inner_->SetLatencyTimer(handle, milliseconds);
  }
  d2xx::FT_STATUS SetDivisor(d2xx::FT_HANDLE handle, d2xx::USHORT divisor) override {
    return inner_->SetDivisor(handle, divisor);
  }
  d2xx::FT_STATUS SetDataCharacteristics(d2xx::FT_HANDLE handle, d2xx::UCHAR wordLength, d2xx::UCHAR stopBits,
                                         d2xx::UCHAR parity) override {
    return inner_->SetDataCharacteristics(handle, wordLength, stopBits, parity);
  }
  d2xx::FT_STATUS SetFlowControl(d2xx::FT_HANDLE handle, d2xx::USHORT flowControl, d2xx::UCHAR xon,
                                 d2xx::UCHAR xoff) override {
    return inner_->SetFlowControl(handle, flowControl, xon, xoff);
  }
  d2xx::FT_STATUS SetUSBParameters(d2xx::FT_HANDLE handle, d2xx::ULONG inTransferSize,
                                   d2xx::ULONG outTransferSize) override {
    return inner_->SetUSBParameters(handle, inTransferSize, outTransferSize);
  }
  d2xx::FT_STATUS GetModemStatus(d2xx::FT_HANDLE handle, d2xx::ULONG& status) override {
    return inner_->GetModemStatus(handle, status);
  }
  d2xx::FT_STATUS Purge(d2xx::FT_HANDLE handle, d2xx::ULONG mask) override {
    return inner_->Purge(handle, mask);
  }
  d2xx::FT_STATUS SetEventNotification(d2xx::FT_HANDLE handle, d2xx::DWORD mask, Event& event) override {
    return inner_->SetEventNotification(handle, mask, event);
  }
  d2xx::FT_STATUS GetStatus(d2xx::FT_HANDLE handle, d2xx::DWORD& rxQueue, d2xx::DWORD& txQueue,
                            d2xx::DWORD& eventStatus) override {
    return inner_->GetStatus(handle, rxQueue, txQueue, eventStatus);
  }
  d2xx::FT_STATUS Read(d2xx::FT_HANDLE handle, std::span<std::uint8_t> buffer,
                       d2xx::DWORD& bytesRead) override {
    const d2xx::FT_STATUS status = inner_->Read(handle, buffer, bytesRead);
    if (status == d2xx::FT_OK) tap_.NoteRead(bytesRead);
    return status;
  }
  d2xx::FT_STATUS Write(d2xx::FT_HANDLE handle, std::span<const std::uint8_t> bytes,
                        d2xx::DWORD& bytesWritten) override {
    tap_.Note(bytes);
    return inner_->Write(handle, bytes, bytesWritten);
  }
  d2xx::FT_STATUS Close(d2xx::FT_HANDLE handle) override { return inner_->Close(handle); }
  d2xx::FT_STATUS CreateDeviceInfoList(d2xx::DWORD& count) override {
    return inner_->CreateDeviceInfoList(count);
  }
  d2xx::FT_STATUS GetDeviceInfoList(std::span<d2xx::FT_DEVICE_LIST_INFO_NODE> nodes,
                                    d2xx::DWORD& count) override {
    return inner_->GetDeviceInfoList(nodes, count);
  }
  [[nodiscard]] bool NeedsRxPolling() const override { return inner_->NeedsRxPolling(); }

 private:
  std::unique_ptr<DriverApi> inner_;
  WriteTap& tap_;
};

class TappedLoader final : public DriverLoader {
 public:
  TappedLoader(std::unique_ptr<DriverLoader> inner, WriteTap& tap) : inner_(std::move(inner)), tap_(tap) {}
  std::unique_ptr<DriverApi> Load() override {
    auto driver = inner_->Load();
    if (!driver) return nullptr;
    return std::make_unique<TappedDriver>(std::move(driver), tap_);
  }

 private:
  std::unique_ptr<DriverLoader> inner_;
  WriteTap& tap_;
};

class FakeScrollBar final : public ScrollBarControl {
 public:
  void SetRange(int minimum, int maximum) override {
    minimum_ = minimum;
    maximum_ = maximum;
  }
  void SetPosition(int position) override { position_ = std::clamp(position, minimum_, maximum_); }
  [[nodiscard]] int Position() const override { return position_; }

 private:
  int minimum_ = 0;
  int maximum_ = 99;
  int position_ = 0;
};

class CountingHooks final : public FrameDecoderHooks {
 public:
  void WriteRealSaveLine() override {}
  void InvalidateDisplay() override { ++invalidated; }
  void ShowElapsedTime() override {}
  int invalidated = 0;
};

// One payload the decoder was given and what it made of it.
struct Decoded {
  std::vector<std::uint8_t> payload;
  FrameOutcome outcome = FrameOutcome::Rejected;
  int slot = 0;  // the ring slot it was decoded into (when stored)
};

// The payload a sent data frame carries: type letter, the 2000 sample
// fields of the waveform from its first sample on, the checksum (one too
// high when the unit corrupted it).
inline std::vector<std::uint8_t> ExpectedPayload(const TestWaveform& waveform, const SentFrame& frame) {
  std::vector<std::uint8_t> payload;
  payload.reserve(kMaxPayloadLength);
  payload.push_back(static_cast<std::uint8_t>(frame.type));
  unsigned sum = static_cast<unsigned char>(frame.type);
  std::array<char, 5> digits{};
  for (int i = 0; i < kSamplesPerFrame; ++i) {
    for (int c = 0; c < 4; ++c) {
      std::snprintf(digits.data(), digits.size(), "%04X", waveform.Sample(c, frame.firstSample + i));
      for (int k = 0; k < 4; ++k) {
        payload.push_back(static_cast<std::uint8_t>(digits[static_cast<std::size_t>(k)]));
        sum += static_cast<unsigned char>(digits[static_cast<std::size_t>(k)]);
      }
    }
  }
  if (frame.checksumCorrupted) ++sum;
  std::snprintf(digits.data(), digits.size(), "%02X", sum & 0xFFU);
  payload.push_back(static_cast<std::uint8_t>(digits[0]));
  payload.push_back(static_cast<std::uint8_t>(digits[1]));
  return payload;
}

// For each received payload, the index of the sent frame it is, searching
// forward from the previous match; nothing when one is not among them.
inline std::optional<std::vector<std::size_t>> MatchSent(const std::vector<Decoded>& received,
                                                         const UnitStatus& unit) {
  std::vector<std::size_t> matches;
  std::size_t next = 0;
  for (const Decoded& frame : received) {
    while (next < unit.recentFrames.size() &&
           ExpectedPayload(unit.waveform, unit.recentFrames[next]) != frame.payload) {
      ++next;
    }
    if (next == unit.recentFrames.size()) return std::nullopt;
    matches.push_back(next++);
  }
  return matches;
}

struct LinkOptions {
  bool manualClock = false;
  int timeIndex = 4;
  // Channel 4 is read as signed samples, with B2 so that it dips below
  // zero: both conversions are checked.
  bool signedChannel4 = true;
};

class Link {
 public:
  explicit Link(LinkOptions options = {}) : options_(options) {
    SimulatedBenchOptions benchOptions;
    if (options.manualClock) {
      clock = std::make_shared<ManualSimClock>();
      benchOptions.clock = clock;
    }
    bench = std::make_shared<SimulatedBench>(benchOptions);
    loader = std::make_unique<TappedLoader>(MakeSimulatedDriverLoader(bench), tap);
    session = std::make_unique<DeviceSession>(*loader, frames, running, events, status);
    session->SetSerialNumber(kSerial);

    settings.timeIndex = options.timeIndex;
    settings.timePerDivision = TimeBaseAt(options.timeIndex).perDivision;
    if (options.signedChannel4) {
      settings.unsignedSamples[0][3] = 0;
      settings.optionBits[0][1] = 1;
    }
    AllocateSampleBuffer(buffer, settings);
    scroll.SetRange(0, TimeBaseAt(options.timeIndex).scrollMax);
  }
  ~Link() { session->UnloadDriver(); }
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // Opens the session and starts the unit streaming, as Start does; returns
  // once the unit has taken the configuration.
  bool Start() {
    if (!session->EnsureOpen()) return false;
    const int accepted = Unit().configurationsAccepted;
    running.Set(true);
    SendConfiguration(*session, settings, settings.timeIndex);
    return WaitFor([&] { return Unit().configurationsAccepted > accepted; },
                   "the unit to take the configuration");
  }

  // Stops the unit and closes the session, as Stop does.
  void Stop() {
    StopStreaming(*session, settings, settings.timeIndex, buffer, [] {});
    session->CloseSession();
  }

  // Takes and decodes every payload waiting in the hand-off.
  void DecodeWaiting() {
    FramePayload payload;
    while (frames.TakeNext(payload)) {
      Decoded entry;
      entry.payload.assign(payload.View().begin(), payload.View().end());
      entry.slot = buffer.writeIndex;
      entry.outcome = decoder.OnFrameReady(payload.View());
      decoded.push_back(std::move(entry));
    }
  }

  // Decodes as frames arrive until `count` have been decoded (false after a
  // while without them).
  bool DecodeUntil(std::size_t count) {
    return WaitFor(
        [&] {
          DecodeWaiting();
          return decoded.size() >= count;
        },
        "frames to decode");
  }

  // Manual clock: moves time on in steps the receive thread can always take
  // in one read (10 ms of wire, 909 bytes), letting it empty the receive
  // queue after each, then makes sure it has finished with what it read.
  void Advance(SimTime duration) {
    const SimTime step = std::chrono::milliseconds(10);
    for (SimTime done{}; done < duration; done += step) {
      clock->Advance(std::min(step, duration - done));
      ASSERT_TRUE(
          WaitFor([&] { return Device().receiveQueued == 0; }, "the receive thread to empty the queue"));
      DecodeWaiting();
    }
    Settle();
  }

  // Lets the receive thread finish the turn in which it last read: it
  // handles a write only after that turn. The byte written is outside any
  // frame, so the unit ignores it.
  void Settle() {
    const std::size_t writes = tap.Count();
    session->QueueCommand(std::string_view("\0", 1));
    ASSERT_TRUE(WaitFor([&] { return tap.Count() > writes; }, "the receive thread to write"));
    DecodeWaiting();
  }

  [[nodiscard]] DeviceStatus Device() const {
    auto found = bench->StatusOf(kSerial);
    return found ? *found : DeviceStatus{};
  }
  [[nodiscard]] UnitStatus Unit() const {
    const DeviceStatus device = Device();
    return device.unit ? *device.unit : UnitStatus{};
  }

  // The data frame fields of one stored slot, compared with the waveform
  // the unit sent: values exactly raw * 1 + 0, channel 4 as signed.
  void ExpectSlotHolds(int slot, const TestWaveform& waveform, std::int64_t firstSample) const {
    for (int c = 0; c < 4; ++c) {
      const auto values = buffer.Values(slot, c);
      for (int i = 0; i < kSamplesPerFrame; ++i) {
        const std::uint16_t raw = waveform.Sample(c, firstSample + i);
        const double expected = (c == 3 && options_.signedChannel4) ? static_cast<std::int16_t>(raw) : raw;
        if (values[static_cast<std::size_t>(i)] != expected) {
          ADD_FAILURE() << "slot " << slot << " channel " << c << " sample " << i << ": "
                        << values[static_cast<std::size_t>(i)] << " != " << expected;
          return;
        }
      }
    }
  }

  LinkOptions options_;
  std::shared_ptr<ManualSimClock> clock;
  std::shared_ptr<SimulatedBench> bench;
  WriteTap tap;
  std::unique_ptr<DriverLoader> loader;
  FrameHandoff frames;
  AcquisitionRunning running;
  fakes::RecordingSessionEvents events;
  fakes::RecordingStatusLine status;
  std::unique_ptr<DeviceSession> session;

  ScopeSettings settings;
  SampleBuffer buffer;
  fakes::RecordingStatusLine triggerStatus;
  FakeScrollBar scroll;
  CountingHooks hooks;
  FrameDecoder decoder{settings, buffer, running, triggerStatus, scroll, hooks};
  std::vector<Decoded> decoded;
};

}  // namespace kestrova::linktest
