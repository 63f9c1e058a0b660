#pragma once

#include <memory>
#include <span>

#include "device/D2xx.h"
#include "device/Event.h"

namespace kestrova {

// The driver calls the program makes, one method per D2XX function, with the
// arguments in the form the program passes them. Two backends implement it:
// the vendor's library loaded at run time, and the simulated unit.
//
// Threads: listing, reload, open and configuration calls come from the
// user-interface thread while no receive thread runs on that handle; status,
// modem status, read, write and purge on an open session come from its
// receive thread; Close
// comes from the user-interface thread after the receive thread has ended.
class DriverApi {
 public:
  virtual ~DriverApi() = default;

  // FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY)
  virtual d2xx::FT_STATUS ListDeviceCount(d2xx::DWORD& count) = 0;
  // FT_ListDevices(index, description, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION);
  // the index is passed as a pointer-sized integer, the buffer holds 64 bytes.
  virtual d2xx::FT_STATUS ListDescriptionByIndex(d2xx::DWORD index, std::span<char, 64> description) = 0;
  // FT_Reload(vendorId, productId)
  virtual d2xx::FT_STATUS Reload(d2xx::WORD vendorId, d2xx::WORD productId) = 0;
  // FT_OpenEx(serialNumber, flags, &handle); serialNumber is NUL-terminated.
  virtual d2xx::FT_STATUS OpenEx(const char* serialNumber, d2xx::DWORD flags, d2xx::FT_HANDLE& handle) = 0;
  virtual d2xx::FT_STATUS ResetDevice(d2xx::FT_HANDLE handle) = 0;
  virtual d2xx::FT_STATUS SetLatencyTimer(d2xx::FT_HANDLE handle, d2xx::UCHAR milliseconds) = 0;
  virtual d2xx::FT_STATUS SetDivisor(d2xx::FT_HANDLE handle, d2xx::USHORT divisor) = 0;
  virtual d2xx::FT_STATUS SetDataCharacteristics(d2xx::FT_HANDLE handle, d2xx::UCHAR wordLength,
                                                 d2xx::UCHAR stopBits, d2xx::UCHAR parity) = 0;
  virtual d2xx::FT_STATUS SetFlowControl(d2xx::FT_HANDLE handle, d2xx::USHORT flowControl, d2xx::UCHAR xon,
                                         d2xx::UCHAR xoff) = 0;
  // FT_SetUSBParameters: the host driver's IN and OUT transfer sizes.
  virtual d2xx::FT_STATUS SetUSBParameters(d2xx::FT_HANDLE handle, d2xx::ULONG inTransferSize,
                                           d2xx::ULONG outTransferSize) = 0;
  virtual d2xx::FT_STATUS Purge(d2xx::FT_HANDLE handle, d2xx::ULONG mask) = 0;
  // Registers the event that the driver sets when characters arrive. The
  // event must stay valid until the handle is closed.
  virtual d2xx::FT_STATUS SetEventNotification(d2xx::FT_HANDLE handle, d2xx::DWORD mask, Event& event) = 0;
  virtual d2xx::FT_STATUS GetStatus(d2xx::FT_HANDLE handle, d2xx::DWORD& rxQueue, d2xx::DWORD& txQueue,
                                    d2xx::DWORD& eventStatus) = 0;
  // FT_GetModemStatus: modem status and line status (d2xx::kLineStatusOverrun).
  virtual d2xx::FT_STATUS GetModemStatus(d2xx::FT_HANDLE handle, d2xx::ULONG& status) = 0;
  // FT_Read of exactly buffer.size() bytes.
  virtual d2xx::FT_STATUS Read(d2xx::FT_HANDLE handle, std::span<std::uint8_t> buffer,
                               d2xx::DWORD& bytesRead) = 0;
  virtual d2xx::FT_STATUS Write(d2xx::FT_HANDLE handle, std::span<const std::uint8_t> bytes,
                                d2xx::DWORD& bytesWritten) = 0;
  virtual d2xx::FT_STATUS Close(d2xx::FT_HANDLE handle) = 0;
  virtual d2xx::FT_STATUS CreateDeviceInfoList(d2xx::DWORD& count) = 0;
  // Fills up to nodes.size() records; count is in/out as in the vendor API.
  virtual d2xx::FT_STATUS GetDeviceInfoList(std::span<d2xx::FT_DEVICE_LIST_INFO_NODE> nodes,
                                            d2xx::DWORD& count) = 0;

  // False when the backend sets the registered event itself whenever
  // characters arrive. True when it cannot (the vendor library on Linux
  // signals its own condition variable and sets no flag): the receive loop
  // then checks the receive count before each wait.
  [[nodiscard]] virtual bool NeedsRxPolling() const { return false; }
};

// Binds a driver backend: the equivalent of loading the library and
// resolving its functions. User-interface thread.
class DriverLoader {
 public:
  virtual ~DriverLoader() = default;
  // The bound driver, or nullptr when the library (or one of its functions)
  // cannot be loaded.
  virtual std::unique_ptr<DriverApi> Load() = 0;
};

}  // namespace kestrova
