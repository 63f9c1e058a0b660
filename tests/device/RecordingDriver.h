#pragma once

// A scriptable, recording stand-in for the driver library, for tests of
// everything above the driver interface. Header-only so that other test
// suites can include it.
//
// Every call is logged as one line of text ("SetDivisor #1 3"; handles are
// numbered #1, #2, ... in the order OpenEx hands them out), statuses can be
// scripted per call name, and bytes "arrive" through Receive(). All members
// are thread-safe: the receive thread calls in while the test scripts and
// inspects.

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "WireText.h"
#include "device/D2xx.h"
#include "device/DriverApi.h"
#include "device/Event.h"

namespace kestrova::fakes {

// Status the fake answers for a device that is not attached.
inline constexpr d2xx::FT_STATUS kDeviceNotFound = 2;
// Status a scripted failure answers unless told otherwise.
inline constexpr d2xx::FT_STATUS kIoError = 4;

class RecordingDriver {
 public:
  struct Device {
    std::string serial;
    std::string description;
  };

  // ---- script ----

  void AddDevice(std::string serial, std::string description) {
    const std::lock_guard lock(mutex_);
    devices_.push_back({std::move(serial), std::move(description)});
  }
  void RemoveAllDevices() {
    const std::lock_guard lock(mutex_);
    devices_.clear();
  }
  // The next `times` calls named `call` (every call when times < 0) answer
  // `status` instead of doing their work.
  void FailCall(const std::string& call, d2xx::FT_STATUS status = kIoError, int times = -1) {
    const std::lock_guard lock(mutex_);
    failures_[call] = {status, times};
  }
  void ClearFailures() {
    const std::lock_guard lock(mutex_);
    failures_.clear();
  }
  // True: the backend cannot set the registered event (the receive loop
  // must poll), and Receive() does not set it.
  void SetNeedsRxPolling(bool polling) {
    const std::lock_guard lock(mutex_);
    polling_ = polling;
  }
  // Bytes arriving from the unit: queued, then the registered event is set.
  void Receive(std::span<const std::uint8_t> bytes) {
    {
      const std::lock_guard lock(mutex_);
      rxQueue_.insert(rxQueue_.end(), bytes.begin(), bytes.end());
      if (registeredEvent_ != nullptr && !polling_) registeredEvent_->Set();
    }
    changed_.notify_all();
  }
  void Receive(std::string_view text) {
    Receive(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  }
  // What GetModemStatus answers from now on (it is not logged: the session
  // asks after every read).
  void SetModemStatus(d2xx::ULONG status) {
    const std::lock_guard lock(mutex_);
    modemStatus_ = status;
  }
  [[nodiscard]] d2xx::ULONG ModemStatus() const {
    const std::lock_guard lock(mutex_);
    return modemStatus_;
  }
  // A reply the unit sends whenever a write equal to `command` arrives.
  void ReplyTo(std::string command, std::string reply) {
    const std::lock_guard lock(mutex_);
    replies_[std::move(command)] = std::move(reply);
  }

  // Calls named `call` block on entry (before they are logged) until
  // ReleaseHeldCalls: a test can stop the receive thread at a known point.
  void HoldCalls(const std::string& call) {
    const std::lock_guard lock(mutex_);
    held_ = call;
  }
  void ReleaseHeldCalls() {
    {
      const std::lock_guard lock(mutex_);
      held_.clear();
    }
    changed_.notify_all();
  }
  // Calls currently blocked by HoldCalls.
  [[nodiscard]] int BlockedCalls() const {
    const std::lock_guard lock(mutex_);
    return blocked_;
  }

  // ---- inspection ----

  [[nodiscard]] std::vector<std::string> Calls() const {
    const std::lock_guard lock(mutex_);
    return calls_;
  }
  // The log without the calls whose line starts with one of the prefixes
  // (for instance the receive thread's "GetStatus" polling).
  [[nodiscard]] std::vector<std::string> CallsWithout(
      std::initializer_list<std::string_view> prefixes) const {
    std::vector<std::string> kept;
    for (auto& call : Calls()) {
      if (std::ranges::none_of(prefixes, [&](std::string_view p) { return call.starts_with(p); }))
        kept.push_back(call);
    }
    return kept;
  }
  [[nodiscard]] int CountCalls(std::string_view prefix) const {
    const std::lock_guard lock(mutex_);
    return static_cast<int>(
        std::ranges::count_if(calls_, [&](const std::string& c) { return c.starts_with(prefix); }));
  }
  void ClearCalls() {
    const std::lock_guard lock(mutex_);
    calls_.clear();
  }
  [[nodiscard]] std::vector<std::vector<std::uint8_t>> Writes() const {
    const std::lock_guard lock(mutex_);
    return writes_;
  }
  [[nodiscard]] std::size_t RxQueued() const {
    const std::lock_guard lock(mutex_);
    return rxQueue_.size();
  }
  [[nodiscard]] int OpenHandleCount() const {
    const std::lock_guard lock(mutex_);
    return static_cast<int>(openHandles_.size());
  }
  [[nodiscard]] bool HasRegisteredEvent() const {
    const std::lock_guard lock(mutex_);
    return registeredEvent_ != nullptr;
  }
  // Waits until `condition` holds, re-testing it after every driver call
  // and every Receive. The limit is generous: it only stops a broken test.
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

  // ---- the driver calls (through RecordingDriverApi) ----

  d2xx::FT_STATUS Call(const std::string& line, const std::function<d2xx::FT_STATUS()>& work) {
    d2xx::FT_STATUS status = d2xx::FT_OK;
    const std::string name = line.substr(0, line.find(' '));
    {
      std::unique_lock lock(mutex_);
      if (!held_.empty() && name == held_) {
        ++blocked_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return held_ != name; });
        --blocked_;
      }
      calls_.push_back(line);
      auto failure = failures_.find(name);
      if (failure != failures_.end() && failure->second.times != 0) {
        if (failure->second.times > 0) --failure->second.times;
        status = failure->second.status;
      } else {
        status = work();
      }
    }
    changed_.notify_all();
    return status;
  }

  // Everything below runs with mutex_ held (inside Call's work).
  std::string HandleName(d2xx::FT_HANDLE handle) const {
    const auto found = handleNumbers_.find(handle);
    return found == handleNumbers_.end() ? "#?" : "#" + std::to_string(found->second);
  }
  d2xx::FT_STATUS DoListDeviceCount(d2xx::DWORD& count) const {
    count = static_cast<d2xx::DWORD>(devices_.size());
    return d2xx::FT_OK;
  }
  d2xx::FT_STATUS DoListDescription(d2xx::DWORD index, std::span<char, 64> description) const {
    if (index >= devices_.size()) return kDeviceNotFound;
    const std::string& text = devices_[index].description;
    std::memcpy(description.data(), text.data(), std::min(text.size(), description.size()));
    return d2xx::FT_OK;
  }
  d2xx::FT_STATUS DoOpen(const char* serial, d2xx::FT_HANDLE& handle) {
    const bool attached =
        std::ranges::any_of(devices_, [&](const Device& d) { return d.serial == std::string_view(serial); });
    if (!attached) return kDeviceNotFound;
    const int number = ++handleCount_;
    handle = &handleTokens_[static_cast<std::size_t>(number) % handleTokens_.size()];
    handleNumbers_[handle] = number;
    openHandles_.push_back(handle);
    return d2xx::FT_OK;
  }
  d2xx::FT_STATUS DoClose(d2xx::FT_HANDLE handle) {
    std::erase(openHandles_, handle);
    registeredEvent_ = nullptr;
    return d2xx::FT_OK;
  }
  d2xx::FT_STATUS DoPurge(d2xx::ULONG mask) {
    if ((mask & d2xx::FT_PURGE_RX) != 0) rxQueue_.clear();
    return d2xx::FT_OK;
  }
  d2xx::FT_STATUS DoRegister(Event& event) {
    registeredEvent_ = &event;
    return d2xx::FT_OK;
  }
  d2xx::FT_STATUS DoStatus(d2xx::DWORD& rx, d2xx::DWORD& tx, d2xx::DWORD& events) const {
    rx = static_cast<d2xx::DWORD>(rxQueue_.size());
    tx = 0;
    events = 0;
    return d2xx::FT_OK;
  }
  d2xx::FT_STATUS DoRead(std::span<std::uint8_t> buffer, d2xx::DWORD& bytesRead) {
    const std::size_t n = std::min(buffer.size(), rxQueue_.size());
    std::copy_n(rxQueue_.begin(), n, buffer.begin());
    rxQueue_.erase(rxQueue_.begin(), rxQueue_.begin() + static_cast<std::ptrdiff_t>(n));
    bytesRead = static_cast<d2xx::DWORD>(n);
    return d2xx::FT_OK;
  }
  d2xx::FT_STATUS DoWrite(std::span<const std::uint8_t> bytes, d2xx::DWORD& written) {
    writes_.emplace_back(bytes.begin(), bytes.end());
    written = static_cast<d2xx::DWORD>(bytes.size());
    const auto reply = replies_.find(std::string(bytes.begin(), bytes.end()));
    if (reply != replies_.end()) {
      rxQueue_.insert(rxQueue_.end(), reply->second.begin(), reply->second.end());
      if (registeredEvent_ != nullptr && !polling_) registeredEvent_->Set();
    }
    return d2xx::FT_OK;
  }
  d2xx::FT_STATUS DoDeviceInfo(std::span<d2xx::FT_DEVICE_LIST_INFO_NODE> nodes, d2xx::DWORD& count) const {
    const std::size_t n = std::min(nodes.size(), devices_.size());
    for (std::size_t i = 0; i < n; ++i) {
      nodes[i] = {};
      const Device& d = devices_[i];
      std::memcpy(nodes[i].SerialNumber, d.serial.data(),
                  std::min(d.serial.size(), sizeof nodes[i].SerialNumber));
      std::memcpy(nodes[i].Description, d.description.data(),
                  std::min(d.description.size(), sizeof nodes[i].Description));
    }
    count = static_cast<d2xx::DWORD>(n);
    return d2xx::FT_OK;
  }
  [[nodiscard]] bool Polling() const {
    const std::lock_guard lock(mutex_);
    return polling_;
  }
  void Log(std::string line) {
    {
      const std::lock_guard lock(mutex_);
      calls_.push_back(std::move(line));
    }
    changed_.notify_all();
  }
  std::string Name(d2xx::FT_HANDLE handle) const {
    const std::lock_guard lock(mutex_);
    return HandleName(handle);
  }

 private:
  struct Failure {
    d2xx::FT_STATUS status;
    int times;
  };

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Device> devices_;
  std::map<std::string, Failure> failures_;
  std::map<std::string, std::string> replies_;
  std::vector<std::string> calls_;
  std::vector<std::vector<std::uint8_t>> writes_;
  std::vector<std::uint8_t> rxQueue_;
  d2xx::ULONG modemStatus_ = 0;
  std::array<char, 64> handleTokens_{};
  std::map<d2xx::FT_HANDLE, int> handleNumbers_;
  std::vector<d2xx::FT_HANDLE> openHandles_;
  int handleCount_ = 0;
  std::string held_;
  int blocked_ = 0;
  Event* registeredEvent_ = nullptr;
  bool polling_ = false;
};

// One bound "library": forwards every call to the shared RecordingDriver and
// logs "Unload" when it is destroyed.
class RecordingDriverApi final : public DriverApi {
 public:
  explicit RecordingDriverApi(RecordingDriver& driver) : d_(driver) {}
  ~RecordingDriverApi() override { d_.Log("Unload"); }
  RecordingDriverApi(const RecordingDriverApi&) = delete;
  RecordingDriverApi& operator=(const RecordingDriverApi&) = delete;

  d2xx::FT_STATUS ListDeviceCount(d2xx::DWORD& count) override {
    return d_.Call("ListDeviceCount", [&] { return d_.DoListDeviceCount(count); });
  }
  d2xx::FT_STATUS ListDescriptionByIndex(d2xx::DWORD index, std::span<char, 64> description) override {
    return d_.Call("ListDescriptionByIndex " + std::to_string(index),
                   [&] { return d_.DoListDescription(index, description); });
  }
  d2xx::FT_STATUS Reload(d2xx::WORD vendorId, d2xx::WORD productId) override {
    return d_.Call("Reload " + Hex4(vendorId) + " " + Hex4(productId), [] { return d2xx::FT_OK; });
  }
  d2xx::FT_STATUS OpenEx(const char* serialNumber, d2xx::DWORD flags, d2xx::FT_HANDLE& handle) override {
    return d_.Call("OpenEx " + std::string(serialNumber) + " " + std::to_string(flags),
                   [&] { return d_.DoOpen(serialNumber, handle); });
  }
  d2xx::FT_STATUS ResetDevice(d2xx::FT_HANDLE handle) override {
    return d_.Call("ResetDevice " + d_.Name(handle), Ok);
  }
  d2xx::FT_STATUS SetLatencyTimer(d2xx::FT_HANDLE handle, d2xx::UCHAR milliseconds) override {
    return d_.Call("SetLatencyTimer " + d_.Name(handle) + " " + std::to_string(milliseconds), Ok);
  }
  d2xx::FT_STATUS SetDivisor(d2xx::FT_HANDLE handle, d2xx::USHORT divisor) override {
    return d_.Call("SetDivisor " + d_.Name(handle) + " " + std::to_string(divisor), Ok);
  }
  d2xx::FT_STATUS SetDataCharacteristics(d2xx::FT_HANDLE handle, d2xx::UCHAR wordLength, d2xx::UCHAR stopBits,
                                         d2xx::UCHAR parity) override {
    return d_.Call("SetDataCharacteristics " + d_.Name(handle) + " " + std::to_string(wordLength) + " " +
                       std::to_string(stopBits) + " " + std::to_string(parity),
                   Ok);
  }
  d2xx::FT_STATUS SetFlowControl(d2xx::FT_HANDLE handle, d2xx::USHORT flowControl, d2xx::UCHAR xon,
                                 d2xx::UCHAR xoff) override {
    return d_.Call("SetFlowControl " + d_.Name(handle) + " " + std::to_string(flowControl) + " " +
                       std::to_string(xon) + " " + std::to_string(xoff),
                   Ok);
  }
  d2xx::FT_STATUS SetUSBParameters(d2xx::FT_HANDLE handle, d2xx::ULONG inTransferSize,
                                   d2xx::ULONG outTransferSize) override {
    return d_.Call("SetUSBParameters " + d_.Name(handle) + " " + std::to_string(inTransferSize) + " " +
                       std::to_string(outTransferSize),
                   Ok);
  }
  d2xx::FT_STATUS GetModemStatus(d2xx::FT_HANDLE /*handle*/, d2xx::ULONG& status) override {
    status = d_.ModemStatus();
    return d2xx::FT_OK;
  }
  d2xx::FT_STATUS Purge(d2xx::FT_HANDLE handle, d2xx::ULONG mask) override {
    return d_.Call("Purge " + d_.Name(handle) + " " + std::to_string(mask), [&] { return d_.DoPurge(mask); });
  }
  d2xx::FT_STATUS SetEventNotification(d2xx::FT_HANDLE handle, d2xx::DWORD mask, Event& event) override {
    return d_.Call("SetEventNotification " + d_.Name(handle) + " " + std::to_string(mask),
                   [&] { return d_.DoRegister(event); });
  }
  d2xx::FT_STATUS GetStatus(d2xx::FT_HANDLE handle, d2xx::DWORD& rxQueue, d2xx::DWORD& txQueue,
                            d2xx::DWORD& eventStatus) override {
    return d_.Call("GetStatus " + d_.Name(handle),
                   [&] { return d_.DoStatus(rxQueue, txQueue, eventStatus); });
  }
  d2xx::FT_STATUS Read(d2xx::FT_HANDLE handle, std::span<std::uint8_t> buffer,
                       d2xx::DWORD& bytesRead) override {
    return d_.Call("Read " + d_.Name(handle) + " " + std::to_string(buffer.size()),
                   [&] { return d_.DoRead(buffer, bytesRead); });
  }
  d2xx::FT_STATUS Write(d2xx::FT_HANDLE handle, std::span<const std::uint8_t> bytes,
                        d2xx::DWORD& bytesWritten) override {
    return d_.Call("Write " + d_.Name(handle) + " " + ShowBytes(bytes),
                   [&] { return d_.DoWrite(bytes, bytesWritten); });
  }
  d2xx::FT_STATUS Close(d2xx::FT_HANDLE handle) override {
    return d_.Call("Close " + d_.Name(handle), [&] { return d_.DoClose(handle); });
  }
  d2xx::FT_STATUS CreateDeviceInfoList(d2xx::DWORD& count) override {
    return d_.Call("CreateDeviceInfoList", [&] { return d_.DoListDeviceCount(count); });
  }
  d2xx::FT_STATUS GetDeviceInfoList(std::span<d2xx::FT_DEVICE_LIST_INFO_NODE> nodes,
                                    d2xx::DWORD& count) override {
    return d_.Call("GetDeviceInfoList " + std::to_string(nodes.size()),
                   [&] { return d_.DoDeviceInfo(nodes, count); });
  }
  [[nodiscard]] bool NeedsRxPolling() const override { return d_.Polling(); }

 private:
  static d2xx::FT_STATUS Ok() { return d2xx::FT_OK; }
  static std::string Hex4(unsigned value) {
    static constexpr std::string_view kHex = "0123456789ABCDEF";
    std::string text;
    for (int shift = 12; shift >= 0; shift -= 4) text += kHex[(value >> shift) & 0xFU];
    return text;
  }

  RecordingDriver& d_;
};

// Binds the recording driver, logging "Load"; can be told the library is
// missing.
class RecordingDriverLoader final : public DriverLoader {
 public:
  explicit RecordingDriverLoader(RecordingDriver& driver) : driver_(driver) {}
  void SetLoadable(bool loadable) { loadable_ = loadable; }
  std::unique_ptr<DriverApi> Load() override {
    driver_.Log(loadable_ ? "Load" : "Load failed");
    if (!loadable_) return nullptr;
    return std::make_unique<RecordingDriverApi>(driver_);
  }

 private:
  RecordingDriver& driver_;
  bool loadable_ = true;
};

}  // namespace kestrova::fakes
