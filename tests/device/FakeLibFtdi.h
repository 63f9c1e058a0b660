#pragma once

// A scriptable stand-in for libftdi1 behind the backend's call table: a bench
// of attached USB devices, one wire of received bytes, and a log of every
// call except the reads ("ftdi_set_baudrate #1 1000000"; contexts are
// numbered #1, #2, ... as they open a device). Thread-safe: the backend's
// reader thread and the session's receive thread call in while the test
// scripts and inspects.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "RecordingDriver.h"
#include "device/LibFtdiDriver.h"

namespace kestrova::fakes {

class FakeLibFtdi {
 public:
  struct UsbDevice {
    int vendor;
    int product;
    std::string description;
    std::string serial;
    bool readable = true;  // false: opening it for its strings is refused
  };

  // ---- script ----

  void Attach(UsbDevice device) {
    const std::lock_guard lock(mutex_);
    devices_.push_back(std::move(device));
  }
  // Bytes the unit sends.
  void Send(std::string_view bytes) {
    {
      const std::lock_guard lock(mutex_);
      wire_.insert(wire_.end(), bytes.begin(), bytes.end());
    }
    changed_.notify_all();
  }
  // From now on reads answer this libusb error once the wire is drained
  // (the unit was unplugged after sending what is on the wire).
  void FailReadsWith(int code) {
    {
      const std::lock_guard lock(mutex_);
      readError_ = code;
    }
    changed_.notify_all();
  }
  // Writes put this many bytes fewer on the wire than asked.
  void ShortenWritesBy(int missing) {
    const std::lock_guard lock(mutex_);
    writeShortfall_ = missing;
  }

  // ---- inspect ----

  [[nodiscard]] std::vector<std::string> Log() const {
    const std::lock_guard lock(mutex_);
    return log_;
  }
  // Calls on a context that was not (or no longer) allocated.
  [[nodiscard]] int StrayCalls() const {
    const std::lock_guard lock(mutex_);
    return strayCalls_;
  }
  [[nodiscard]] int ReadsInProgress() const {
    const std::lock_guard lock(mutex_);
    return readsInProgress_;
  }
  [[nodiscard]] std::size_t LiveContexts() const {
    const std::lock_guard lock(mutex_);
    return contexts_.size();
  }

  // ---- the call table ----

  LibFtdiCalls Calls() {
    LibFtdiCalls c;
    c.ftdi_new = [this] {
      const std::lock_guard lock(mutex_);
      // The library's defaults: 5 s USB time-outs, 4096-byte read chunks.
      auto* context = new ftdi_context{};
      context->usb_read_timeout = 5000;
      context->usb_write_timeout = 5000;
      context->readbuffer_chunksize = 4096;
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
        // libusb_device is opaque: the fake hands out the device's number.
        *tail = new ftdi_device_list{
            nullptr, reinterpret_cast<libusb_device*>(i + 1)};  // NOLINT(performance-no-int-to-ptr)
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
      const auto index = reinterpret_cast<std::uintptr_t>(dev) - 1;
      log_.push_back("ftdi_usb_get_strings dev" + std::to_string(index + 1));
      const UsbDevice& device = devices_.at(index);
      if (!device.readable) return -4;  // "unable to open device"
      CopyString("Orvanta", manufacturer, manufacturerLength);
      CopyString(device.description, description, descriptionLength);
      CopyString(device.serial, serial, serialLength);
      return 0;
    };
    c.ftdi_usb_open_desc = [this](ftdi_context* context, int vendor, int product, const char* description,
                                  const char* serial) {
      const std::lock_guard lock(mutex_);
      Check(context);
      log_.push_back("ftdi_usb_open_desc " + Ids(vendor, product) + " " + (description ? description : "-") +
                     " " + (serial ? serial : "-"));
      for (const UsbDevice& device : devices_) {
        if (device.vendor != vendor || device.product != product) continue;
        if (serial != nullptr && device.serial != serial) continue;
        if (description != nullptr && device.description != description) continue;
        contexts_[context] = ++opened_;
        log_.back() += " -> " + Name(context);
        return 0;
      }
      return -3;  // "device not found"
    };
    c.ftdi_usb_close = [this](ftdi_context* context) { return Logged("ftdi_usb_close", context); };
    c.ftdi_usb_reset = [this](ftdi_context* context) { return Logged("ftdi_usb_reset", context); };
    c.ftdi_set_latency_timer = [this](ftdi_context* context, unsigned char latency) {
      return Logged("ftdi_set_latency_timer", context, std::to_string(latency));
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
    c.ftdi_tciflush = [this](ftdi_context* context) { return Logged("ftdi_tciflush", context); };
    c.ftdi_tcoflush = [this](ftdi_context* context) { return Logged("ftdi_tcoflush", context); };
    c.ftdi_tcioflush = [this](ftdi_context* context) { return Logged("ftdi_tcioflush", context); };
    c.ftdi_read_data_set_chunksize = [this](ftdi_context* context, unsigned int size) {
      const int result = Logged("ftdi_read_data_set_chunksize", context, std::to_string(size));
      const std::lock_guard lock(mutex_);
      context->readbuffer_chunksize = size;
      return result;
    };
    c.ftdi_read_data = [this](ftdi_context* context, unsigned char* buffer, int size) {
      return Read(context, buffer, size);
    };
    c.ftdi_write_data = [this](ftdi_context* context, const unsigned char* bytes, int size) {
      const std::lock_guard lock(mutex_);
      Check(context);
      log_.push_back("ftdi_write_data " + Name(context) + " " +
                     ShowBytes(std::span(bytes, static_cast<std::size_t>(size))));
      return size - writeShortfall_;
    };
    return c;
  }

 private:
  // Like the bridge: hands over what has arrived, or waits for bytes up to
  // the context's USB read time-out and answers libusb's time-out code.
  int Read(ftdi_context* context, unsigned char* buffer, int size) {
    std::unique_lock lock(mutex_);
    Check(context);
    ++readsInProgress_;
    changed_.wait_for(lock, std::chrono::milliseconds(context->usb_read_timeout),
                      [this] { return !wire_.empty() || readError_ != 0; });
    --readsInProgress_;
    if (wire_.empty()) return readError_ != 0 ? readError_ : LIBUSB_ERROR_TIMEOUT;
    const auto count = std::min(wire_.size(), static_cast<std::size_t>(size));
    std::copy_n(wire_.begin(), count, buffer);
    wire_.erase(wire_.begin(), wire_.begin() + static_cast<std::ptrdiff_t>(count));
    return static_cast<int>(count);
  }

  int Logged(const char* call, ftdi_context* context, const std::string& arguments = {}) {
    const std::lock_guard lock(mutex_);
    Check(context);
    log_.push_back(std::string(call) + " " + Name(context) + (arguments.empty() ? "" : " " + arguments));
    return 0;
  }

  // Under mutex_.
  void Check(ftdi_context* context) {
    if (!contexts_.contains(context)) ++strayCalls_;
  }
  std::string Name(ftdi_context* context) const {
    const auto found = contexts_.find(context);
    return found == contexts_.end() || found->second == 0 ? "#?" : "#" + std::to_string(found->second);
  }
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
  std::map<ftdi_context*, int> contexts_;  // live contexts, with their number once open
  int opened_ = 0;
  std::vector<std::string> log_;
  std::deque<std::uint8_t> wire_;
  int readError_ = 0;
  int writeShortfall_ = 0;
  int strayCalls_ = 0;
  int readsInProgress_ = 0;
};

}  // namespace kestrova::fakes
