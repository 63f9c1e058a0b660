#include "device/LibFtdiDriver.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "device/LibFtdiPort.h"

namespace kestrova {

namespace {

using d2xx::DWORD;
using d2xx::FT_HANDLE;
using d2xx::FT_OK;
using d2xx::FT_STATUS;
using d2xx::UCHAR;
using d2xx::ULONG;
using d2xx::USHORT;
using d2xx::WORD;

// libftdi answers 0 (or a count) for success and a negative code otherwise;
// past success or failure the codes mean nothing to the session.
FT_STATUS Result(int code) {
  return code < 0 ? d2xx::FT_IO_ERROR : FT_OK;
}

// Baud rate of a vendor divisor value on the bridge's 3 MHz baud clock: the
// low 14 bits are the integer divisor, the top two bits add 1/2, 1/4 or 1/8;
// the integer values 0 and 1 stand for 3 and 2 Mbaud. The divisor 3 of the
// session is exactly 1 000 000 baud, and ftdi_set_baudrate, which picks the
// chip's nearest divisor to the rate asked for, programs that same divisor.
std::optional<int> BaudRateOfDivisor(USHORT divisor) {
  static constexpr std::array<int, 4> kEighths = {0, 4, 2, 1};
  const int integer = divisor & 0x3FFF;
  const int eighths = kEighths[static_cast<std::size_t>(divisor >> 14)];
  if (eighths == 0 && integer == 0) return 3'000'000;
  if (eighths == 0 && integer == 1) return 2'000'000;
  if (integer < 2) return std::nullopt;
  const int denominator = 8 * integer + eighths;
  return (24'000'000 + denominator / 2) / denominator;
}

// One listed device: the strings cut to the vendor record's field sizes.
struct ListedDevice {
  std::array<char, sizeof(d2xx::FT_DEVICE_LIST_INFO_NODE::SerialNumber)> serial{};
  std::array<char, sizeof(d2xx::FT_DEVICE_LIST_INFO_NODE::Description)> description{};
};

// Copies a NUL-terminated (or full) buffer into a field, cut so that the
// field stays NUL-terminated.
template <std::size_t N>
void CopyCut(std::span<const char> text, std::array<char, N>& field) {
  const auto length =
      std::min<std::size_t>(static_cast<std::size_t>(std::ranges::find(text, '\0') - text.begin()), N - 1);
  field.fill('\0');
  std::copy_n(text.begin(), length, field.begin());
}

class LibFtdiDriver final : public DriverApi {
 public:
  LibFtdiDriver(LibFtdiCalls calls, ftdi_context* listing) : calls_(std::move(calls)), listing_(listing) {}
  ~LibFtdiDriver() override {
    // Close whatever is still open; the readers end before their contexts go.
    std::map<FT_HANDLE, std::unique_ptr<LibFtdiPort>> ports;
    {
      const std::lock_guard lock(portsMutex_);
      ports.swap(ports_);
    }
    for (auto& [handle, port] : ports) (void)Release(std::move(port));  // nobody to tell at teardown
    calls_.ftdi_free(listing_);
  }
  LibFtdiDriver(const LibFtdiDriver&) = delete;
  LibFtdiDriver& operator=(const LibFtdiDriver&) = delete;

  FT_STATUS ListDeviceCount(DWORD& count) override {
    std::vector<ListedDevice> devices;
    const FT_STATUS status = Enumerate(devices, false);
    count = status == FT_OK ? static_cast<DWORD>(devices.size()) : 0;
    return status;
  }

  FT_STATUS ListDescriptionByIndex(DWORD index, std::span<char, 64> description) override {
    std::vector<ListedDevice> devices;
    const FT_STATUS status = Enumerate(devices, true);
    if (status != FT_OK) return status;
    if (index >= devices.size()) return d2xx::FT_DEVICE_NOT_FOUND;
    std::ranges::copy(devices[index].description, description.begin());
    return FT_OK;
  }

  // libftdi needs no driver reload; like the vendor library on Linux it
  // does not offer one.
  FT_STATUS Reload(WORD /*vendorId*/, WORD /*productId*/) override { return d2xx::FT_NOT_SUPPORTED; }

  FT_STATUS OpenEx(const char* serialNumber, DWORD flags, FT_HANDLE& handle) override {
    handle = nullptr;
    if (flags != d2xx::FT_OPEN_BY_SERIAL_NUMBER || serialNumber == nullptr) return d2xx::FT_NOT_SUPPORTED;
    ftdi_context* context = calls_.ftdi_new();
    if (context == nullptr) return d2xx::FT_INSUFFICIENT_RESOURCES;
    const FT_STATUS opened = OpenBySerial(context, serialNumber);
    if (opened != FT_OK) {
      calls_.ftdi_free(context);
      return opened;
    }
    context->usb_write_timeout = static_cast<int>(LibFtdiTuning::kUsbWriteTimeout.count());
    // Whatever the chip holds (16 ms after power-up, 1 ms after a park,
    // anything after another program) would set the session's latency.
    if (calls_.ftdi_set_latency_timer(context, LibFtdiTuning::kLatencyTimerMs) < 0) {
      calls_.ftdi_usb_close(context);
      calls_.ftdi_free(context);
      return d2xx::FT_DEVICE_NOT_OPENED;
    }
    auto port = std::make_unique<LibFtdiPort>(calls_, context);
    handle = port.get();
    const std::lock_guard lock(portsMutex_);
    ports_.emplace(handle, std::move(port));
    return FT_OK;
  }

  FT_STATUS ResetDevice(FT_HANDLE handle) override {
    LibFtdiPort* port = Find(handle);
    return port == nullptr ? d2xx::FT_INVALID_HANDLE : Result(calls_.ftdi_usb_reset(port->Context()));
  }

  FT_STATUS SetLatencyTimer(FT_HANDLE handle, UCHAR milliseconds) override {
    LibFtdiPort* port = Find(handle);
    if (port == nullptr) return d2xx::FT_INVALID_HANDLE;
    return Result(calls_.ftdi_set_latency_timer(port->Context(), milliseconds));
  }

  FT_STATUS SetDivisor(FT_HANDLE handle, USHORT divisor) override {
    LibFtdiPort* port = Find(handle);
    if (port == nullptr) return d2xx::FT_INVALID_HANDLE;
    const std::optional<int> baud = BaudRateOfDivisor(divisor);
    if (!baud) return d2xx::FT_INVALID_BAUD_RATE;
    return Result(calls_.ftdi_set_baudrate(port->Context(), *baud));
  }

  FT_STATUS SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits,
                                   UCHAR parity) override {
    LibFtdiPort* port = Find(handle);
    if (port == nullptr) return d2xx::FT_INVALID_HANDLE;
    // The vendor's values and libftdi's enumerations coincide; anything
    // else (1.5 stop bits, odd word lengths) has no counterpart.
    const bool valid = (wordLength == d2xx::FT_BITS_7 || wordLength == d2xx::FT_BITS_8) &&
                       (stopBits == d2xx::FT_STOP_BITS_1 || stopBits == d2xx::FT_STOP_BITS_2) &&
                       parity <= d2xx::FT_PARITY_SPACE;
    if (!valid) return d2xx::FT_INVALID_PARAMETER;
    return Result(calls_.ftdi_set_line_property(port->Context(), static_cast<ftdi_bits_type>(wordLength),
                                                static_cast<ftdi_stopbits_type>(stopBits),
                                                static_cast<ftdi_parity_type>(parity)));
  }

  FT_STATUS SetFlowControl(FT_HANDLE handle, USHORT flowControl, UCHAR xon, UCHAR xoff) override {
    LibFtdiPort* port = Find(handle);
    if (port == nullptr) return d2xx::FT_INVALID_HANDLE;
    switch (flowControl) {
      case d2xx::FT_FLOW_NONE:
        return Result(calls_.ftdi_setflowctrl(port->Context(), SIO_DISABLE_FLOW_CTRL));
      case d2xx::FT_FLOW_RTS_CTS:
        return Result(calls_.ftdi_setflowctrl(port->Context(), SIO_RTS_CTS_HS));
      case d2xx::FT_FLOW_DTR_DSR:
        return Result(calls_.ftdi_setflowctrl(port->Context(), SIO_DTR_DSR_HS));
      case d2xx::FT_FLOW_XON_XOFF:
        return Result(calls_.ftdi_setflowctrl_xonxoff(port->Context(), xon, xoff));
      default:
        return d2xx::FT_INVALID_PARAMETER;
    }
  }

  // The backend keeps its own IN transfers queued (LibFtdiTuning), no
  // longer than the session asks for; sizes the vendor library would refuse
  // are refused here too.
  FT_STATUS SetUSBParameters(FT_HANDLE handle, ULONG inTransferSize, ULONG outTransferSize) override {
    if (Find(handle) == nullptr) return d2xx::FT_INVALID_HANDLE;
    const auto valid = [](ULONG size) {
      return size >= d2xx::kUsbTransferGranule && size <= d2xx::kUsbTransferMax &&
             size % d2xx::kUsbTransferGranule == 0;
    };
    return valid(inTransferSize) && valid(outTransferSize) ? FT_OK : d2xx::FT_INVALID_PARAMETER;
  }

  FT_STATUS Purge(FT_HANDLE handle, ULONG mask) override {
    LibFtdiPort* port = Find(handle);
    return port == nullptr ? d2xx::FT_INVALID_HANDLE : port->Purge(mask);
  }

  FT_STATUS SetEventNotification(FT_HANDLE handle, DWORD mask, Event& event) override {
    LibFtdiPort* port = Find(handle);
    if (port == nullptr) return d2xx::FT_INVALID_HANDLE;
    if ((mask & d2xx::FT_EVENT_RXCHAR) == 0) return d2xx::FT_NOT_SUPPORTED;
    return port->Notify(event);
  }

  FT_STATUS GetStatus(FT_HANDLE handle, DWORD& rxQueue, DWORD& txQueue, DWORD& eventStatus) override {
    rxQueue = 0;
    txQueue = 0;
    eventStatus = 0;
    LibFtdiPort* port = Find(handle);
    return port == nullptr ? d2xx::FT_INVALID_HANDLE : port->Status(rxQueue);
  }

  FT_STATUS GetModemStatus(FT_HANDLE handle, ULONG& status) override {
    status = 0;
    LibFtdiPort* port = Find(handle);
    if (port == nullptr) return d2xx::FT_INVALID_HANDLE;
    status = port->ModemStatus();
    return FT_OK;
  }

  FT_STATUS Read(FT_HANDLE handle, std::span<std::uint8_t> buffer, DWORD& bytesRead) override {
    bytesRead = 0;
    LibFtdiPort* port = Find(handle);
    if (port == nullptr) return d2xx::FT_INVALID_HANDLE;
    bytesRead = port->Take(buffer);
    return FT_OK;
  }

  FT_STATUS Write(FT_HANDLE handle, std::span<const std::uint8_t> bytes, DWORD& bytesWritten) override {
    bytesWritten = 0;
    LibFtdiPort* port = Find(handle);
    if (port == nullptr) return d2xx::FT_INVALID_HANDLE;
    const int written = calls_.ftdi_write_data(port->Context(), bytes.data(), static_cast<int>(bytes.size()));
    if (written < 0) return d2xx::FT_IO_ERROR;
    bytesWritten = static_cast<DWORD>(written);
    // A command that did not go out whole is a broken link.
    return static_cast<std::size_t>(written) == bytes.size() ? FT_OK : d2xx::FT_IO_ERROR;
  }

  FT_STATUS Close(FT_HANDLE handle) override {
    std::unique_ptr<LibFtdiPort> port;
    {
      const std::lock_guard lock(portsMutex_);
      const auto found = ports_.find(handle);
      if (found == ports_.end()) return d2xx::FT_INVALID_HANDLE;
      port = std::move(found->second);
      ports_.erase(found);
    }
    return Release(std::move(port));
  }

  FT_STATUS CreateDeviceInfoList(DWORD& count) override {
    snapshot_.clear();
    const FT_STATUS status = Enumerate(snapshot_, true);
    count = static_cast<DWORD>(snapshot_.size());
    return status;
  }

  FT_STATUS GetDeviceInfoList(std::span<d2xx::FT_DEVICE_LIST_INFO_NODE> nodes, DWORD& count) override {
    const std::size_t filled = std::min(nodes.size(), snapshot_.size());
    for (std::size_t i = 0; i < filled; ++i) {
      d2xx::FT_DEVICE_LIST_INFO_NODE& node = nodes[i];
      node = {};
      node.ID = (static_cast<ULONG>(d2xx::kUnitVendorId) << 16) | d2xx::kUnitProductId;
      std::ranges::copy(snapshot_[i].serial, std::begin(node.SerialNumber));
      std::ranges::copy(snapshot_[i].description, std::begin(node.Description));
    }
    count = static_cast<DWORD>(filled);
    return FT_OK;
  }

 private:
  LibFtdiPort* Find(FT_HANDLE handle) {
    const std::lock_guard lock(portsMutex_);
    const auto found = ports_.find(handle);
    return found == ports_.end() ? nullptr : found->second.get();
  }

  // Lists the attached devices with the unit's ids, reads their strings and
  // opens the one whose serial number matches on `context`. A device that is
  // busy or unreadable elsewhere on the bus is passed over; the reason the
  // chosen unit cannot be opened goes to standard error, since the status
  // line only says that it failed.
  //
  // The listing runs on `context` itself: each libftdi context has its own
  // libusb context, a device opens on the libusb context it was listed on,
  // and the reader handles the events of the port's context.
  FT_STATUS OpenBySerial(ftdi_context* context, std::string_view serial) {
    ftdi_device_list* list = nullptr;
    const int found = calls_.ftdi_usb_find_all(context, &list, d2xx::kUnitVendorId, d2xx::kUnitProductId);
    FT_STATUS status = found < 0 ? d2xx::FT_IO_ERROR : d2xx::FT_DEVICE_NOT_FOUND;
    bool unreadable = false;
    for (const ftdi_device_list* node = list; found >= 0 && node != nullptr; node = node->next) {
      std::array<char, 256> serialText{};
      if (calls_.ftdi_usb_get_strings(context, node->dev, nullptr, 0, nullptr, 0, serialText.data(),
                                      static_cast<int>(serialText.size())) < 0) {
        unreadable = true;
        continue;
      }
      serialText.back() = '\0';
      if (std::string_view(serialText.data()) != serial) continue;
      const int opened = calls_.ftdi_usb_open_dev(context, node->dev);
      status = opened < 0 ? d2xx::FT_DEVICE_NOT_OPENED : FT_OK;
      if (opened < 0) ReportNotOpened(serial, opened);
      break;
    }
    if (status == d2xx::FT_DEVICE_NOT_FOUND && unreadable) {
      std::cerr << "kestrova: unit " << serial
                << " not found; a USB device 0403:6120 whose serial number cannot be read may be it (no "
                   "permission, or in use by another program)\n";
    }
    if (list != nullptr) calls_.ftdi_list_free(&list);
    return status;
  }

  // ftdi_usb_open_dev's codes: -4 the device cannot be opened (permission),
  // -5 its interface is claimed (another program or driver holds it).
  static void ReportNotOpened(std::string_view serial, int code) {
    std::cerr << "kestrova: unit " << serial << " cannot be opened: "
              << (code == -5   ? "it is in use by another program"
                  : code == -4 ? "no permission (is the udev rule installed and loaded?)"
                               : "libftdi error " + std::to_string(code))
              << "\n";
  }

  // Joins the reader, then closes and frees the context.
  [[nodiscard]] FT_STATUS Release(std::unique_ptr<LibFtdiPort> port) const {
    port->Shutdown();
    ftdi_context* context = port->Context();
    port.reset();
    const int closed = calls_.ftdi_usb_close(context);
    calls_.ftdi_free(context);
    return Result(closed);
  }

  // Every attached device with the unit's ids, in the library's order, with
  // its description and serial number when asked for (reading them opens
  // each device). A device whose strings cannot be read (no permission, or
  // open elsewhere) is listed with empty strings.
  FT_STATUS Enumerate(std::vector<ListedDevice>& devices, bool withStrings) {
    ftdi_device_list* list = nullptr;
    const int found = calls_.ftdi_usb_find_all(listing_, &list, d2xx::kUnitVendorId, d2xx::kUnitProductId);
    if (found < 0) {
      if (list != nullptr) calls_.ftdi_list_free(&list);
      return d2xx::FT_IO_ERROR;
    }
    for (const ftdi_device_list* node = list; node != nullptr; node = node->next) {
      std::array<char, 256> description{};
      std::array<char, 256> serial{};
      ListedDevice& device = devices.emplace_back();
      if (!withStrings) continue;
      const int read = calls_.ftdi_usb_get_strings(listing_, node->dev, nullptr, 0, description.data(),
                                                   static_cast<int>(description.size()), serial.data(),
                                                   static_cast<int>(serial.size()));
      if (read < 0) {
        // -4: the device cannot be opened, mostly for want of the device
        // rule. The user sees only an empty device list, so say it once.
        if (read == -4 && !accessHintGiven_) {
          accessHintGiven_ = true;
          std::cerr << "kestrova: a USB device 0403:6120 is attached but cannot be opened; is the "
                       "udev rule installed and loaded? (README: \"Using a real unit on Linux\")\n";
        }
        continue;
      }
      description.back() = '\0';
      serial.back() = '\0';
      CopyCut(description, device.description);
      CopyCut(serial, device.serial);
    }
    calls_.ftdi_list_free(&list);
    return FT_OK;
  }

  LibFtdiCalls calls_;
  ftdi_context* listing_;  // the context listing runs on; never opens a port
  std::vector<ListedDevice> snapshot_;
  bool accessHintGiven_ = false;

  std::mutex portsMutex_;
  std::map<FT_HANDLE, std::unique_ptr<LibFtdiPort>> ports_;
};

class LibFtdiDriverLoader final : public DriverLoader {
 public:
  explicit LibFtdiDriverLoader(LibFtdiCalls calls) : calls_(std::move(calls)) {}

  std::unique_ptr<DriverApi> Load() override {
    // ftdi_new also starts libusb; without USB support it answers nothing.
    ftdi_context* listing = calls_.ftdi_new();
    if (listing == nullptr) return nullptr;
    return std::make_unique<LibFtdiDriver>(calls_, listing);
  }

 private:
  LibFtdiCalls calls_;
};

}  // namespace

LibFtdiCalls SystemLibFtdiCalls() {
  LibFtdiCalls calls;
  calls.ftdi_new = ::ftdi_new;
  calls.ftdi_free = ::ftdi_free;
  calls.ftdi_usb_find_all = ::ftdi_usb_find_all;
  calls.ftdi_list_free = ::ftdi_list_free;
  calls.ftdi_usb_get_strings = ::ftdi_usb_get_strings;
  calls.ftdi_usb_open_dev = ::ftdi_usb_open_dev;
  calls.ftdi_usb_close = ::ftdi_usb_close;
  calls.ftdi_usb_reset = ::ftdi_usb_reset;
  calls.ftdi_set_latency_timer = ::ftdi_set_latency_timer;
  calls.ftdi_set_baudrate = ::ftdi_set_baudrate;
  calls.ftdi_set_line_property = ::ftdi_set_line_property;
  calls.ftdi_setflowctrl = ::ftdi_setflowctrl;
  calls.ftdi_setflowctrl_xonxoff = ::ftdi_setflowctrl_xonxoff;
  calls.ftdi_tciflush = ::ftdi_tciflush;
  calls.ftdi_tcoflush = ::ftdi_tcoflush;
  calls.ftdi_tcioflush = ::ftdi_tcioflush;
  calls.ftdi_write_data = ::ftdi_write_data;
  calls.libusb_alloc_transfer = ::libusb_alloc_transfer;
  calls.libusb_free_transfer = ::libusb_free_transfer;
  calls.libusb_submit_transfer = ::libusb_submit_transfer;
  calls.libusb_cancel_transfer = ::libusb_cancel_transfer;
  calls.libusb_handle_events_timeout_completed = ::libusb_handle_events_timeout_completed;
  calls.steady_now = std::chrono::steady_clock::now;
  return calls;
}

std::string LibFtdiVersionText() {
  const ftdi_version_info version = ::ftdi_get_library_version();
  return std::string("libftdi1 ") + (version.version_str != nullptr ? version.version_str : "");
}

std::unique_ptr<DriverLoader> MakeLibFtdiDriverLoader(LibFtdiCalls calls) {
  return std::make_unique<LibFtdiDriverLoader>(std::move(calls));
}

}  // namespace kestrova
