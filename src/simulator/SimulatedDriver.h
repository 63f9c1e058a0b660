#pragma once

#include <memory>
#include <vector>

#include "device/DriverApi.h"
#include "simulator/SimulatedBench.h"

namespace kestrova {

// The driver backend over a simulated bench: every call of the driver
// interface with the vendor library's semantics as the program sees them.
//
//  - Listing counts the attached devices; an open device is listed with its
//    Opened flag and blank serial number and description, as the vendor
//    library lists it.
//  - FT_OpenEx by serial number (or by description) fails with
//    FT_DEVICE_NOT_FOUND for an unknown or vanished device and with
//    FT_DEVICE_NOT_OPENED for one that is open already. Opening empties the
//    receive queue and gives the bridge the driver's default latency timer.
//  - Reset, latency timer, divisor, data characteristics and flow control
//    are accepted and recorded (SimulatedBench::StatusOf); the latency timer
//    also times the bridge's short packets from then on, and the USB
//    parameters set the IN transfer's size (sizes the vendor library
//    refuses are refused).
//  - FT_GetModemStatus reports the overrun bit when bytes found the receive
//    queue full since it was last asked.
//  - Received bytes reach the receive queue in whole IN transfers, and the
//    registered event is set for each (BridgeReceivePath): about 23 times a
//    second while the unit streams, not for every byte.
//  - FT_Purge of receive empties the receive queue and what the bridge
//    holds; bytes still on the wire keep coming. Written bytes reach the unit at once, so the transmit
//    queue is always empty.
//  - FT_Read is non-blocking: it returns what is queued, up to the request.
//  - A handle whose device vanished fails every call with FT_IO_ERROR except
//    FT_Close, which releases it.
//  - A call a test made fail returns its status and does nothing else.
//
// Unloading the driver (destroying it) closes the handles it left open.
// Threads: as DriverApi; the bench's lock makes every call safe from any
// thread.
class SimulatedDriver final : public DriverApi {
 public:
  explicit SimulatedDriver(std::shared_ptr<SimulatedBench> bench);
  ~SimulatedDriver() override;
  SimulatedDriver(const SimulatedDriver&) = delete;
  SimulatedDriver& operator=(const SimulatedDriver&) = delete;

  d2xx::FT_STATUS ListDeviceCount(d2xx::DWORD& count) override;
  d2xx::FT_STATUS ListDescriptionByIndex(d2xx::DWORD index, std::span<char, 64> description) override;
  d2xx::FT_STATUS Reload(d2xx::WORD vendorId, d2xx::WORD productId) override;
  d2xx::FT_STATUS OpenEx(const char* serialNumber, d2xx::DWORD flags, d2xx::FT_HANDLE& handle) override;
  d2xx::FT_STATUS ResetDevice(d2xx::FT_HANDLE handle) override;
  d2xx::FT_STATUS SetLatencyTimer(d2xx::FT_HANDLE handle, d2xx::UCHAR milliseconds) override;
  d2xx::FT_STATUS SetDivisor(d2xx::FT_HANDLE handle, d2xx::USHORT divisor) override;
  d2xx::FT_STATUS SetDataCharacteristics(d2xx::FT_HANDLE handle, d2xx::UCHAR wordLength, d2xx::UCHAR stopBits,
                                         d2xx::UCHAR parity) override;
  d2xx::FT_STATUS SetFlowControl(d2xx::FT_HANDLE handle, d2xx::USHORT flowControl, d2xx::UCHAR xon,
                                 d2xx::UCHAR xoff) override;
  d2xx::FT_STATUS SetUSBParameters(d2xx::FT_HANDLE handle, d2xx::ULONG inTransferSize,
                                   d2xx::ULONG outTransferSize) override;
  d2xx::FT_STATUS Purge(d2xx::FT_HANDLE handle, d2xx::ULONG mask) override;
  d2xx::FT_STATUS SetEventNotification(d2xx::FT_HANDLE handle, d2xx::DWORD mask, Event& event) override;
  d2xx::FT_STATUS GetStatus(d2xx::FT_HANDLE handle, d2xx::DWORD& rxQueue, d2xx::DWORD& txQueue,
                            d2xx::DWORD& eventStatus) override;
  d2xx::FT_STATUS GetModemStatus(d2xx::FT_HANDLE handle, d2xx::ULONG& status) override;
  d2xx::FT_STATUS Read(d2xx::FT_HANDLE handle, std::span<std::uint8_t> buffer,
                       d2xx::DWORD& bytesRead) override;
  d2xx::FT_STATUS Write(d2xx::FT_HANDLE handle, std::span<const std::uint8_t> bytes,
                        d2xx::DWORD& bytesWritten) override;
  d2xx::FT_STATUS Close(d2xx::FT_HANDLE handle) override;
  d2xx::FT_STATUS CreateDeviceInfoList(d2xx::DWORD& count) override;
  d2xx::FT_STATUS GetDeviceInfoList(std::span<d2xx::FT_DEVICE_LIST_INFO_NODE> nodes,
                                    d2xx::DWORD& count) override;
  [[nodiscard]] bool NeedsRxPolling() const override { return false; }

 private:
  using Device = SimulatedBench::Device;

  // With the bench locked: the device behind a live handle of this driver,
  // or the status to return.
  struct Lookup {
    Device* device = nullptr;
    d2xx::FT_STATUS status = d2xx::FT_OK;
  };
  Lookup Find(d2xx::FT_HANDLE handle);
  [[nodiscard]] std::vector<d2xx::FT_DEVICE_LIST_INFO_NODE> BuildInfoList() const;
  [[nodiscard]] d2xx::FT_HANDLE HandleOf(const Device& device) const;

  std::shared_ptr<SimulatedBench> bench_;
  std::uint64_t id_;
  std::vector<d2xx::FT_DEVICE_LIST_INFO_NODE> infoList_;  // as of the last FT_CreateDeviceInfoList
  bool infoListCreated_ = false;
};

// Binds the simulated driver: every Load gives a new driver on the same
// bench, so units stay attached (and keep their state) across reloads.
std::unique_ptr<DriverLoader> MakeSimulatedDriverLoader(std::shared_ptr<SimulatedBench> bench);
// The same on a bench of its own, made from the options.
std::unique_ptr<DriverLoader> MakeSimulatedDriverLoader(SimulatedBenchOptions options = {});

}  // namespace kestrova
