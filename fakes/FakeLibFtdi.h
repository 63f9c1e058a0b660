#pragma once

// A scriptable stand-in for libftdi1 and libusb behind the backend's call
// table: a bench of attached USB devices, a log of every call except the
// bulk-in transfers ("ftdi_set_baudrate #1 1000000"; contexts are numbered
// #1, #2, ... as they open a device), and a model of the bridge chip's
// receive side with the chip's limits:
//  - the unit sends its bytes at the link's rate (1 000 000 baud, 11 bit
//    times a byte: one byte every 11 us) into the chip's 256-byte receive
//    FIFO; a byte that finds the FIFO full is dropped and counted, and the
//    next packet's line status carries the overrun bit (0x02);
//  - the host drains the FIFO only while an IN transfer is queued, in
//    64-byte packets that each start with two status bytes; a full packet
//    goes as soon as 62 data bytes wait, a short one (status bytes only when
//    the FIFO is empty) when the latency timer runs out. A short packet or
//    a full buffer completes the transfer;
//  - completed transfers reach their callbacks only inside
//    libusb_handle_events_timeout_completed, as in libusb;
//  - the moment the last byte of each Send reached the chip is kept, so a
//    caller can time what it sent against what the program did with it.
// The model runs on a clock (real time, or a virtual one the test advances)
// and is brought up to date lazily on every call: between two calls nothing
// the backend does can change which transfers are queued.
// Thread-safe: the backend's reader thread and the session's receive thread
// call in while the test scripts and inspects.

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "WireText.h"
#include "device/LibFtdiDriver.h"

namespace kestrova::fakes {

class FakeLibFtdi {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kFifoSize = 256;
  static constexpr std::size_t kPacketSize = 64;
  static constexpr std::size_t kPacketData = kPacketSize - 2;
  static constexpr std::chrono::microseconds kByteTime{11};
  static constexpr int kInEndpoint = 0x81;

  struct UsbDevice {
    int vendor;
    int product;
    std::string description;
    std::string serial;
    bool readable = true;  // false: opening it for its strings is refused
    int openError = 0;     // what ftdi_usb_open_dev answers (-4 no permission, -5 busy)
  };

  FakeLibFtdi() = default;
  FakeLibFtdi(const FakeLibFtdi&) = delete;
  FakeLibFtdi& operator=(const FakeLibFtdi&) = delete;
  ~FakeLibFtdi() {
    for (libusb_transfer* transfer : allocated_) std::free(transfer);  // NOLINT(cppcoreguidelines-no-malloc)
  }

  // ---- script ----

  void Attach(UsbDevice device) {
    const std::lock_guard lock(mutex_);
    devices_.push_back(std::move(device));
  }
  // Bytes the unit sends; they reach the chip at the link's rate, after
  // whatever is still on the wire.
  void Send(std::string_view bytes) {
    {
      const std::lock_guard lock(mutex_);
      Advance();
      if (wire_.empty()) nextByteAt_ = std::max(nextByteAt_, Now());
      wire_.insert(wire_.end(), bytes.begin(), bytes.end());
      sendEnds_.push_back(wireBytesDone_ + wire_.size());
      NoteArrivals(simNow_);  // an empty Send has arrived already
    }
    changed_.notify_all();
  }
  // Once the bytes sent so far have been drained, the unit is gone: queued
  // transfers end with LIBUSB_TRANSFER_NO_DEVICE and new ones are refused.
  void Unplug() {
    {
      const std::lock_guard lock(mutex_);
      unplugAfterDrain_ = true;
      Advance();
    }
    changed_.notify_all();
  }
  // The unit is back: new transfers are served again.
  void Replug() {
    {
      const std::lock_guard lock(mutex_);
      Advance();
      unplugAfterDrain_ = false;
      unplugged_ = false;
    }
    changed_.notify_all();
  }
  // A hung bridge answers no IN request at all (not even status bytes);
  // its FIFO still fills and overflows.
  void Hang(bool hung) {
    {
      const std::lock_guard lock(mutex_);
      Advance();
      hung_ = hung;
      lastPacketAt_ = Now();
    }
    changed_.notify_all();
  }
  // Writes put this many bytes fewer on the wire than asked.
  void ShortenWritesBy(int missing) {
    const std::lock_guard lock(mutex_);
    writeShortfall_ = missing;
  }
  // The host serves at most this many queued transfers until the completed
  // ones have been handled: 1 is a backend with one read in flight.
  void LimitTransfersInFlight(std::size_t depth) {
    const std::lock_guard lock(mutex_);
    depth_ = depth;
  }
  // The thread handling events is held off for `length` at each of these
  // moments (from now), before it runs the completions. On the real clock
  // it sleeps; on the virtual clock completions are held back until the
  // clock has passed the end of the stall.
  void StallCompletionsAt(std::vector<std::chrono::microseconds> moments, std::chrono::milliseconds length) {
    const std::lock_guard lock(mutex_);
    std::ranges::sort(moments);
    stalls_.clear();
    for (const auto moment : moments) stalls_.push_back(Now() + moment);
    stallLength_ = length;
  }
  // The virtual clock is inside a stall: completions wait.
  [[nodiscard]] bool Stalled() const {
    const std::lock_guard lock(mutex_);
    return virtual_ && InStall();
  }
  // From now on the model runs on a clock that only AdvanceClock moves.
  void UseVirtualClock() {
    const std::lock_guard lock(mutex_);
    virtualNow_ = Clock::now();
    virtual_ = true;
  }
  void AdvanceClock(std::chrono::microseconds step) {
    {
      const std::lock_guard lock(mutex_);
      virtualNow_ += step;
      Advance();
    }
    changed_.notify_all();
  }

  // ---- inspect ----

  [[nodiscard]] std::vector<std::string> Log() const {
    const std::lock_guard lock(mutex_);
    return log_;
  }
  // Calls on a context that was not (or no longer) allocated, a device
  // opened on a context that did not list it, transfers
  // submitted twice, freed while queued or submitted to a wrong endpoint.
  [[nodiscard]] int StrayCalls() const {
    const std::lock_guard lock(mutex_);
    return strayCalls_;
  }
  // Transfers still queued or unreaped when their device was closed.
  [[nodiscard]] int TransfersAliveAtClose() const {
    const std::lock_guard lock(mutex_);
    return transfersAliveAtClose_;
  }
  [[nodiscard]] std::size_t LiveContexts() const {
    const std::lock_guard lock(mutex_);
    return contexts_.size();
  }
  [[nodiscard]] std::size_t LiveTransfers() const {
    const std::lock_guard lock(mutex_);
    return allocated_.size();
  }
  [[nodiscard]] std::size_t QueuedTransfers() const {
    const std::lock_guard lock(mutex_);
    return queued_.size();
  }
  // Every allocated transfer is queued again: nothing waits to be handled.
  [[nodiscard]] bool AllTransfersQueued() const {
    const std::lock_guard lock(mutex_);
    return !allocated_.empty() && queued_.size() == allocated_.size();
  }
  [[nodiscard]] std::size_t DroppedBytes() const {
    const std::lock_guard lock(mutex_);
    return dropped_;
  }
  // Data bytes in the transfers that have completed.
  [[nodiscard]] std::size_t DeliveredBytes() const {
    const std::lock_guard lock(mutex_);
    return delivered_;
  }
  [[nodiscard]] std::size_t BytesInChip() const {
    const std::lock_guard lock(mutex_);
    return fifo_.size();
  }
  // Bytes sent that have not reached the chip yet.
  [[nodiscard]] std::size_t BytesOnWire() {
    const std::lock_guard lock(mutex_);
    Advance();
    return wire_.size();
  }
  // When the last byte of the Send with that index (0 for the first) reached
  // the chip, whether the FIFO took it or dropped it; nothing while it is
  // still on the wire.
  [[nodiscard]] std::optional<Clock::time_point> ArrivalOfSend(std::size_t index) {
    const std::lock_guard lock(mutex_);
    Advance();
    if (index >= arrivals_.size()) return std::nullopt;
    return arrivals_[index];
  }
  [[nodiscard]] int StallsDone() const {
    const std::lock_guard lock(mutex_);
    return stallsDone_;
  }

  // ---- the call table ----

  LibFtdiCalls Calls() {
    LibFtdiCalls c;
    c.ftdi_new = [this] {
      const std::lock_guard lock(mutex_);
      auto* context = new ftdi_context{};
      context->usb_read_timeout = 5000;
      context->usb_write_timeout = 5000;
      contexts_[context] = 0;
      return context;
    };
    c.ftdi_free = [this](ftdi_context* context) {
      const std::lock_guard lock(mutex_);
      const auto found = contexts_.find(context);
      if (found == contexts_.end()) {
        ++strayCalls_;
        return;
      }
      if (found->second != 0) log_.push_back("ftdi_free " + Name(context));
      contexts_.erase(found);
      delete context;
    };
    c.ftdi_usb_find_all = [this](ftdi_context* context, ftdi_device_list** list, int vendor, int product) {
      const std::lock_guard lock(mutex_);
      Check(context);
      log_.push_back("ftdi_usb_find_all " + Ids(vendor, product));
      int found = 0;
      ftdi_device_list** tail = list;
      for (std::size_t i = 0; i < devices_.size(); ++i) {
        if (devices_[i].vendor != vendor || devices_[i].product != product) continue;
        *tail = new ftdi_device_list{nullptr, DeviceOf(i)};
        listedBy_[i] = context;
        tail = &(*tail)->next;
        ++found;
      }
      *tail = nullptr;
      return found;
    };
    c.ftdi_list_free = [](ftdi_device_list** list) {
      while (*list != nullptr) delete std::exchange(*list, (*list)->next);
    };
    c.ftdi_usb_get_strings = [this](ftdi_context* context, libusb_device* dev, char* manufacturer,
                                    int manufacturerLength, char* description, int descriptionLength,
                                    char* serial, int serialLength) {
      const std::lock_guard lock(mutex_);
      Check(context);
      const std::size_t index = IndexOf(dev);
      log_.push_back("ftdi_usb_get_strings dev" + std::to_string(index + 1));
      const UsbDevice& device = devices_.at(index);
      if (!device.readable) return -4;  // "unable to open device"
      CopyString("Orvanta", manufacturer, manufacturerLength);
      CopyString(device.description, description, descriptionLength);
      CopyString(device.serial, serial, serialLength);
      return 0;
    };
    c.ftdi_usb_open_dev = [this](ftdi_context* context, libusb_device* dev) {
      const std::lock_guard lock(mutex_);
      Check(context);
      const std::size_t index = IndexOf(dev);
      log_.push_back("ftdi_usb_open_dev dev" + std::to_string(index + 1));
      // libusb opens a device on the context that listed it; the port's
      // transfers would then complete on that other context's events.
      if (listedBy_[index] != context) ++strayCalls_;
      const UsbDevice& device = devices_.at(index);
      if (device.openError != 0) return device.openError;
      contexts_[context] = ++opened_;
      log_.back() += " -> " + Name(context);
      // What libftdi fills in at open, for a full-speed chip's interface A.
      context->usb_ctx = reinterpret_cast<libusb_context*>(this);       // NOLINT
      context->usb_dev = reinterpret_cast<libusb_device_handle*>(dev);  // NOLINT
      context->max_packet_size = kPacketSize;
      context->in_ep = 0x02;
      context->out_ep = kInEndpoint;
      return 0;
    };
    c.ftdi_usb_close = [this](ftdi_context* context) {
      const std::lock_guard lock(mutex_);
      for (const libusb_transfer* transfer : allocated_) {
        if (transfer->dev_handle == context->usb_dev && Live(transfer)) ++transfersAliveAtClose_;
      }
      return LoggedLocked("ftdi_usb_close", context, {});
    };
    c.ftdi_usb_reset = [this](ftdi_context* context) { return Logged("ftdi_usb_reset", context); };
    c.ftdi_set_latency_timer = [this](ftdi_context* context, unsigned char latency) {
      const std::lock_guard lock(mutex_);
      Advance();
      latency_ = std::chrono::milliseconds(latency);
      return LoggedLocked("ftdi_set_latency_timer", context, std::to_string(latency));
    };
    c.ftdi_set_baudrate = [this](ftdi_context* context, int baudrate) {
      return Logged("ftdi_set_baudrate", context, std::to_string(baudrate));
    };
    c.ftdi_set_line_property = [this](ftdi_context* context, ftdi_bits_type bits, ftdi_stopbits_type stop,
                                      ftdi_parity_type parity) {
      return Logged("ftdi_set_line_property", context,
                    std::to_string(bits) + " " + std::to_string(stop) + " " + std::to_string(parity));
    };
    c.ftdi_setflowctrl = [this](ftdi_context* context, int flow) {
      return Logged("ftdi_setflowctrl", context, std::to_string(flow));
    };
    c.ftdi_setflowctrl_xonxoff = [this](ftdi_context* context, unsigned char xon, unsigned char xoff) {
      return Logged("ftdi_setflowctrl_xonxoff", context, std::to_string(xon) + " " + std::to_string(xoff));
    };
    // The chip's receive flush empties its FIFO; the transmit flush leaves
    // every received byte alone.
    c.ftdi_tciflush = [this](ftdi_context* context) { return Flush("ftdi_tciflush", context, true); };
    c.ftdi_tcoflush = [this](ftdi_context* context) { return Flush("ftdi_tcoflush", context, false); };
    c.ftdi_tcioflush = [this](ftdi_context* context) { return Flush("ftdi_tcioflush", context, true); };
    c.ftdi_write_data = [this](ftdi_context* context, const unsigned char* bytes, int size) {
      const std::lock_guard lock(mutex_);
      Check(context);
      log_.push_back("ftdi_write_data " + Name(context) + " " +
                     ShowBytes(std::span(bytes, static_cast<std::size_t>(size))));
      return size - writeShortfall_;
    };

    c.libusb_alloc_transfer = [this](int isoPackets) -> libusb_transfer* {
      if (isoPackets != 0) return nullptr;
      // NOLINTNEXTLINE(cppcoreguidelines-no-malloc): libusb_transfer ends in a flexible array
      auto* transfer = static_cast<libusb_transfer*>(std::calloc(1, sizeof(libusb_transfer)));
      const std::lock_guard lock(mutex_);
      allocated_.insert(transfer);
      return transfer;
    };
    c.libusb_free_transfer = [this](libusb_transfer* transfer) {
      if (transfer == nullptr) return;
      const std::lock_guard lock(mutex_);
      if (allocated_.erase(transfer) == 0 || Live(transfer)) {
        ++strayCalls_;
        return;
      }
      std::free(transfer);  // NOLINT(cppcoreguidelines-no-malloc)
    };
    c.libusb_submit_transfer = [this](libusb_transfer* transfer) { return Submit(transfer); };
    c.libusb_cancel_transfer = [this](libusb_transfer* transfer) { return Cancel(transfer); };
    c.libusb_handle_events_timeout_completed = [this](libusb_context* context, timeval* turn,
                                                      int* completed) {
      return HandleEvents(context, turn, completed);
    };
    c.steady_now = [this] {
      const std::lock_guard lock(mutex_);
      return Now();
    };
    return c;
  }

 private:
  [[nodiscard]] Clock::time_point Now() const { return virtual_ ? virtualNow_ : Clock::now(); }

  // Under mutex_. Runs the chip from simNow_ up to now.
  void Advance() {
    const Clock::time_point now = Now();
    constexpr auto kNever = Clock::time_point::max();
    for (;;) {
      const bool serve = Serving();
      if (serve && fifo_.size() >= kPacketData) {
        SendPacket(kPacketData);
        continue;
      }
      const Clock::time_point byteAt = wire_.empty() ? kNever : nextByteAt_;
      const Clock::time_point latencyAt = serve ? lastPacketAt_ + latency_ : kNever;
      const Clock::time_point at = std::min(byteAt, latencyAt);
      if (at > now) break;
      simNow_ = std::max(simNow_, at);
      if (at == byteAt) {
        if (fifo_.size() < kFifoSize) {
          fifo_.push_back(wire_.front());
        } else {
          ++dropped_;
          overrunPending_ = true;
        }
        wire_.pop_front();
        ++wireBytesDone_;
        NoteArrivals(at);
        nextByteAt_ += kByteTime;
      } else {
        SendPacket(fifo_.size());
      }
    }
    simNow_ = std::max(simNow_, now);
    if (unplugAfterDrain_ && !unplugged_ && wire_.empty() && fifo_.empty()) {
      unplugged_ = true;
      while (!queued_.empty()) Complete(LIBUSB_TRANSFER_NO_DEVICE);
    }
  }

  // Under mutex_: the Sends whose last byte has now left the wire.
  void NoteArrivals(Clock::time_point at) {
    while (!sendEnds_.empty() && sendEnds_.front() <= wireBytesDone_) {
      sendEnds_.pop_front();
      arrivals_.push_back(at);
    }
  }

  // Under mutex_.
  [[nodiscard]] bool Serving() const {
    return !hung_ && !unplugged_ && !queued_.empty() && done_.size() + inCallbacks_ < depth_;
  }

  // Under mutex_: one packet of `data` FIFO bytes into the head transfer.
  void SendPacket(std::size_t data) {
    libusb_transfer* transfer = queued_.front();
    lastPacketAt_ = simNow_;
    if (transfer->length - transfer->actual_length < static_cast<int>(kPacketSize)) {
      Complete(LIBUSB_TRANSFER_OVERFLOW);  // a buffer that cannot take a whole packet
      return;
    }
    unsigned char* out = transfer->buffer + transfer->actual_length;
    out[0] = 0x31;                           // modem status
    out[1] = overrunPending_ ? 0x62 : 0x60;  // line status: transmitter empty, overrun
    overrunPending_ = false;
    for (std::size_t i = 0; i < data; ++i) {
      out[2 + i] = fifo_.front();
      fifo_.pop_front();
    }
    transfer->actual_length += static_cast<int>(2 + data);
    if (data < kPacketData || transfer->actual_length == transfer->length)
      Complete(LIBUSB_TRANSFER_COMPLETED);
  }

  // Under mutex_: the head transfer ends.
  void Complete(libusb_transfer_status status) {
    libusb_transfer* transfer = queued_.front();
    queued_.pop_front();
    transfer->status = status;
    if (status == LIBUSB_TRANSFER_COMPLETED) {
      const auto length = static_cast<std::size_t>(transfer->actual_length);
      delivered_ += length - 2 * ((length + kPacketSize - 1) / kPacketSize);
    }
    done_.push_back(transfer);
  }

  int Submit(libusb_transfer* transfer) {
    {
      const std::lock_guard lock(mutex_);
      Advance();
      if (!allocated_.contains(transfer) || Live(transfer) || transfer->endpoint != kInEndpoint ||
          transfer->type != LIBUSB_TRANSFER_TYPE_BULK || transfer->callback == nullptr) {
        ++strayCalls_;
        return LIBUSB_ERROR_INVALID_PARAM;
      }
      if (unplugged_) return LIBUSB_ERROR_NO_DEVICE;
      transfer->actual_length = 0;
      queued_.push_back(transfer);
      Advance();
    }
    changed_.notify_all();
    return 0;
  }

  int Cancel(libusb_transfer* transfer) {
    {
      const std::lock_guard lock(mutex_);
      Advance();
      const auto found = std::ranges::find(queued_, transfer);
      if (found == queued_.end()) return LIBUSB_ERROR_NOT_FOUND;
      queued_.erase(found);
      transfer->status = LIBUSB_TRANSFER_CANCELLED;  // keeps what it holds, as libusb
      done_.push_back(transfer);
    }
    changed_.notify_all();
    return 0;
  }

  int HandleEvents(libusb_context* context, const timeval* turn, const int* completed) {
    const auto deadline =
        Clock::now() + std::chrono::seconds(turn->tv_sec) + std::chrono::microseconds(turn->tv_usec);
    std::unique_lock lock(mutex_);
    if (context != reinterpret_cast<libusb_context*>(this)) ++strayCalls_;  // NOLINT
    if (!virtual_ && !stalls_.empty() && Clock::now() >= stalls_.front()) {
      stalls_.pop_front();
      lock.unlock();
      std::this_thread::sleep_for(stallLength_);
      lock.lock();
      ++stallsDone_;
    }
    for (;;) {
      Advance();
      while (virtual_ && !stalls_.empty() && Now() >= stalls_.front() + stallLength_) {
        stalls_.pop_front();
        ++stallsDone_;
      }
      const bool held = virtual_ && InStall();
      if (!held && (!done_.empty() || (completed != nullptr && *completed != 0))) break;
      if (Clock::now() >= deadline) return 0;
      changed_.wait_until(lock, std::min(deadline, NextChange()));
    }
    std::vector<libusb_transfer*> finished(done_.begin(), done_.end());
    done_.clear();
    inCallbacks_ = finished.size();
    lock.unlock();
    for (libusb_transfer* transfer : finished) {
      transfer->callback(transfer);
      const std::lock_guard relock(mutex_);
      Advance();
      --inCallbacks_;
    }
    changed_.notify_all();
    return 0;
  }

  // Under mutex_: the virtual clock is inside one of the stalls.
  [[nodiscard]] bool InStall() const {
    const Clock::time_point now = Now();
    for (const Clock::time_point start : stalls_) {
      if (start > now) return false;
      if (now < start + stallLength_) return true;
    }
    return false;
  }

  // Under mutex_: the real time by which the model next changes on its own
  // (a packet goes out); with the virtual clock only AdvanceClock moves it.
  [[nodiscard]] Clock::time_point NextChange() const {
    const Clock::time_point soon = Clock::now() + std::chrono::milliseconds(1);
    if (virtual_) return soon + std::chrono::milliseconds(9);
    Clock::time_point next = soon;
    if (Serving()) next = std::min(next, lastPacketAt_ + latency_);
    if (!wire_.empty()) {
      const auto missing = kPacketData - std::min(kPacketData, fifo_.size());
      next = std::min(next, nextByteAt_ + kByteTime * static_cast<int>(std::min(missing, wire_.size())));
    }
    return std::max(next, Clock::now() + std::chrono::microseconds(100));
  }

  int Flush(const char* call, ftdi_context* context, bool receive) {
    const std::lock_guard lock(mutex_);
    Advance();
    if (receive) fifo_.clear();
    return LoggedLocked(call, context, {});
  }

  int Logged(const char* call, ftdi_context* context, const std::string& arguments = {}) {
    const std::lock_guard lock(mutex_);
    return LoggedLocked(call, context, arguments);
  }
  int LoggedLocked(const char* call, ftdi_context* context, const std::string& arguments) {
    Check(context);
    log_.push_back(std::string(call) + " " + Name(context) + (arguments.empty() ? "" : " " + arguments));
    return 0;
  }

  // Under mutex_.
  [[nodiscard]] bool Live(const libusb_transfer* transfer) const {
    return std::ranges::find(queued_, transfer) != queued_.end() ||
           std::ranges::find(done_, transfer) != done_.end();
  }
  void Check(ftdi_context* context) {
    if (!contexts_.contains(context)) ++strayCalls_;
  }
  [[nodiscard]] std::string Name(ftdi_context* context) const {
    const auto found = contexts_.find(context);
    return found == contexts_.end() || found->second == 0 ? "#?" : "#" + std::to_string(found->second);
  }
  // libusb_device is opaque: the fake hands out the device's number.
  static libusb_device* DeviceOf(std::size_t index) {
    return reinterpret_cast<libusb_device*>(index + 1);  // NOLINT(performance-no-int-to-ptr)
  }
  static std::size_t IndexOf(libusb_device* dev) { return reinterpret_cast<std::uintptr_t>(dev) - 1; }
  static std::string Ids(int vendor, int product) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%04x:%04x", vendor, product);
    return text.data();
  }
  // As libusb: cut to the buffer, always NUL-terminated.
  static void CopyString(const std::string& text, char* buffer, int length) {
    if (buffer == nullptr || length <= 0) return;
    const auto count = std::min(text.size(), static_cast<std::size_t>(length - 1));
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<UsbDevice> devices_;
  std::map<ftdi_context*, int> contexts_;          // live contexts, with their number once open
  std::map<std::size_t, ftdi_context*> listedBy_;  // the context that last listed each device
  int opened_ = 0;
  std::vector<std::string> log_;
  int writeShortfall_ = 0;
  int strayCalls_ = 0;
  int transfersAliveAtClose_ = 0;

  // The clock.
  bool virtual_ = false;
  Clock::time_point virtualNow_;
  Clock::time_point simNow_ = Clock::now();

  // The chip.
  std::deque<std::uint8_t> wire_;
  Clock::time_point nextByteAt_;
  std::uint64_t wireBytesDone_ = 0;          // bytes that have left the wire
  std::deque<std::uint64_t> sendEnds_;       // wireBytesDone_ once each pending Send has arrived
  std::vector<Clock::time_point> arrivals_;  // per Send, when its last byte reached the chip
  std::deque<std::uint8_t> fifo_;
  std::chrono::milliseconds latency_{16};  // after power-up
  Clock::time_point lastPacketAt_;
  std::size_t dropped_ = 0;
  bool overrunPending_ = false;  // a byte was dropped since the last packet
  std::size_t delivered_ = 0;
  bool hung_ = false;
  bool unplugAfterDrain_ = false;
  bool unplugged_ = false;

  // The host's transfers.
  std::set<libusb_transfer*> allocated_;
  std::deque<libusb_transfer*> queued_;
  std::deque<libusb_transfer*> done_;
  std::size_t inCallbacks_ = 0;
  std::size_t depth_ = std::numeric_limits<std::size_t>::max();
  std::deque<Clock::time_point> stalls_;
  std::chrono::milliseconds stallLength_{0};
  int stallsDone_ = 0;
};

}  // namespace kestrova::fakes
