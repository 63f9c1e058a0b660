#include "simulator/SimulatedDriver.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>
#include <utility>

namespace kestrova {

namespace {

using d2xx::DWORD;
using d2xx::FT_HANDLE;
using d2xx::FT_OK;
using d2xx::FT_STATUS;

// Handles are opaque tokens: a number that is never reused, never
// dereferenced and never null.
FT_HANDLE ToHandle(std::uint64_t id) {
  return reinterpret_cast<FT_HANDLE>(static_cast<std::uintptr_t>(id));  // NOLINT(performance-no-int-to-ptr)
}

std::uint64_t FromHandle(FT_HANDLE handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

template <std::size_t N>
void CopyText(std::string_view text, char (&field)[N]) {
  std::fill(std::begin(field), std::end(field), '\0');
  std::copy_n(text.begin(), std::min(text.size(), N - 1), std::begin(field));
}

class SimulatedDriverLoader final : public DriverLoader {
 public:
  explicit SimulatedDriverLoader(std::shared_ptr<SimulatedBench> bench) : bench_(std::move(bench)) {}
  std::unique_ptr<DriverApi> Load() override { return std::make_unique<SimulatedDriver>(bench_); }

 private:
  std::shared_ptr<SimulatedBench> bench_;
};

}  // namespace

SimulatedDriver::SimulatedDriver(std::shared_ptr<SimulatedBench> bench) : bench_(std::move(bench)) {
  const std::lock_guard lock(bench_->mutex_);
  id_ = bench_->nextDriver_++;
}

SimulatedDriver::~SimulatedDriver() {
  const std::lock_guard lock(bench_->mutex_);
  for (auto it = bench_->handles_.begin(); it != bench_->handles_.end();) {
    if (it->second.driver != id_) {
      ++it;
      continue;
    }
    Device& device = bench_->devices_.at(it->second.device);
    if (!it->second.dead) {
      device.openHandle = 0;
      device.rxEvent = nullptr;
    }
    it = bench_->handles_.erase(it);
  }
}

SimulatedDriver::Lookup SimulatedDriver::Find(FT_HANDLE handle) {
  const auto it = bench_->handles_.find(FromHandle(handle));
  if (it == bench_->handles_.end() || it->second.driver != id_) return {nullptr, kFtInvalidHandle};
  if (it->second.dead) return {nullptr, kFtIoError};
  return {&bench_->devices_.at(it->second.device), FT_OK};
}

FT_HANDLE SimulatedDriver::HandleOf(const Device& device) const {
  return device.openHandle == 0 ? nullptr : ToHandle(device.openHandle);
}

std::vector<d2xx::FT_DEVICE_LIST_INFO_NODE> SimulatedDriver::BuildInfoList() const {
  std::vector<d2xx::FT_DEVICE_LIST_INFO_NODE> list;
  for (const Device& device : bench_->devices_) {
    if (!device.attached) continue;
    d2xx::FT_DEVICE_LIST_INFO_NODE node{};
    const bool open = device.openHandle != 0;
    node.Flags = open ? kFtFlagsOpened : 0;
    node.Type = kFtDevice232R;
    node.ID = device.id;
    node.LocId = device.locationId;
    // The vendor library does not report the texts of a device that is open.
    CopyText(open ? std::string_view() : device.serialNumber, node.SerialNumber);
    CopyText(open ? std::string_view() : device.description, node.Description);
    node.ftHandle = HandleOf(device);
    list.push_back(node);
  }
  return list;
}

FT_STATUS SimulatedDriver::ListDeviceCount(DWORD& count) {
  const std::lock_guard lock(bench_->mutex_);
  if (const auto fault = bench_->TakeFault(DriverCall::ListDevices)) return *fault;
  count = static_cast<DWORD>(std::count_if(bench_->devices_.begin(), bench_->devices_.end(),
                                           [](const Device& d) { return d.attached; }));
  return FT_OK;
}

FT_STATUS SimulatedDriver::ListDescriptionByIndex(DWORD index, std::span<char, 64> description) {
  const std::lock_guard lock(bench_->mutex_);
  if (const auto fault = bench_->TakeFault(DriverCall::ListDevices)) return *fault;
  const auto list = BuildInfoList();
  if (index >= list.size()) return kFtDeviceNotFound;
  std::fill(description.begin(), description.end(), '\0');
  const std::string_view text(list[index].Description);
  std::copy_n(text.begin(), std::min(text.size(), description.size() - 1), description.begin());
  return FT_OK;
}

FT_STATUS SimulatedDriver::Reload(d2xx::WORD /*vendorId*/, d2xx::WORD /*productId*/) {
  const std::lock_guard lock(bench_->mutex_);
  if (const auto fault = bench_->TakeFault(DriverCall::Reload)) return *fault;
  return FT_OK;
}

FT_STATUS SimulatedDriver::OpenEx(const char* serialNumber, DWORD flags, FT_HANDLE& handle) {
  const std::lock_guard lock(bench_->mutex_);
  if (const auto fault = bench_->TakeFault(DriverCall::OpenEx)) return *fault;
  if (serialNumber == nullptr) return kFtInvalidParameter;
  // The name is NUL-terminated within its field: 16 bytes for a serial
  // number, 64 for a description.
  const std::size_t field = flags == d2xx::FT_OPEN_BY_DESCRIPTION ? 64 : 16;
  const std::string_view name(serialNumber, strnlen(serialNumber, field));
  if (name.size() == field) return kFtDeviceNotFound;
  Device* found = nullptr;
  for (Device& device : bench_->devices_) {
    if (!device.attached) continue;
    const bool matches = flags == d2xx::FT_OPEN_BY_SERIAL_NUMBER ? device.serialNumber == name
                         : flags == d2xx::FT_OPEN_BY_DESCRIPTION ? device.description == name
                                                                 : false;
    if (!matches) continue;
    found = &device;
    // By description the first one that is free is taken.
    if (device.openHandle == 0) break;
  }
  if (found == nullptr) return kFtDeviceNotFound;
  if (found->openHandle != 0) return kFtDeviceNotOpened;

  const std::uint64_t id = bench_->nextHandle_++;
  const auto index = static_cast<std::size_t>(found - bench_->devices_.data());
  bench_->handles_.emplace(id, SimulatedBench::Handle{index, id_, false});
  found->openHandle = id;
  found->link = LinkSettings{};
  found->receiveQueue.clear();
  found->rxEvent = nullptr;
  found->rxEventStatus = false;
  // The unit's stream picks up at its next frame boundary.
  found->onWire.clear();
  found->sent = 0;
  found->wireFree = std::max(found->wireFree, bench_->clock_->Now());
  found->bridge.Reset(bench_->clock_->Now());
  found->bytesLostShown = found->bytesLost;
  handle = ToHandle(id);
  bench_->WireChanged();
  return FT_OK;
}

FT_STATUS SimulatedDriver::ResetDevice(FT_HANDLE handle) {
  const std::lock_guard lock(bench_->mutex_);
  if (const auto fault = bench_->TakeFault(DriverCall::ResetDevice)) return *fault;
  const Lookup found = Find(handle);
  if (found.device == nullptr) return found.status;
  ++found.device->link.resets;
  return FT_OK;
}

FT_STATUS SimulatedDriver::SetLatencyTimer(FT_HANDLE handle, d2xx::UCHAR milliseconds) {
  const std::lock_guard lock(bench_->mutex_);
  if (const auto fault = bench_->TakeFault(DriverCall::SetLatencyTimer)) return *fault;
  const Lookup found = Find(handle);
  if (found.device == nullptr) return found.status;
  // Bytes that came before the change were timed by the old value.
  bench_->Pump(*found.device, bench_->clock_->Now());
  if (!found.device->attached) return kFtIoError;
  found.device->link.latencyTimer = milliseconds;
  found.device->bridge.SetLatencyTimer(std::chrono::milliseconds(milliseconds));
  bench_->WireChanged();  // a shorter timer expires sooner
  return FT_OK;
}

FT_STATUS SimulatedDriver::SetDivisor(FT_HANDLE handle, d2xx::USHORT divisor) {
  const std::lock_guard lock(bench_->mutex_);
  if (const auto fault = bench_->TakeFault(DriverCall::SetDivisor)) return *fault;
  const Lookup found = Find(handle);
  if (found.device == nullptr) return found.status;
  found.device->link.divisor = divisor;
  return FT_OK;
}

FT_STATUS SimulatedDriver::SetDataCharacteristics(FT_HANDLE handle, d2xx::UCHAR wordLength,
                                                  d2xx::UCHAR stopBits, d2xx::UCHAR parity) {
  const std::lock_guard lock(bench_->mutex_);
  if (const auto fault = bench_->TakeFault(DriverCall::SetDataCharacteristics)) return *fault;
  const Lookup found = Find(handle);
  if (found.device == nullptr) return found.status;
  found.device->link.dataCharacteristics = std::array<d2xx::UCHAR, 3>{wordLength, stopBits, parity};
  return FT_OK;
}

FT_STATUS SimulatedDriver::SetFlowControl(FT_HANDLE handle, d2xx::USHORT flowControl, d2xx::UCHAR /*xon*/,
                                          d2xx::UCHAR /*xoff*/) {
  const std::lock_guard lock(bench_->mutex_);
  if (const auto fault = bench_->TakeFault(DriverCall::SetFlowControl)) return *fault;
  const Lookup found = Find(handle);
  if (found.device == nullptr) return found.status;
  found.device->link.flowControl = flowControl;
  return FT_OK;
}

FT_STATUS SimulatedDriver::Purge(FT_HANDLE handle, d2xx::ULONG mask) {
  const std::lock_guard lock(bench_->mutex_);
  if (const auto fault = bench_->TakeFault(DriverCall::Purge)) return *fault;
  const Lookup found = Find(handle);
  if (found.device == nullptr) return found.status;
  Device& device = *found.device;
  // Bring the wire up to now first, so that exactly what has arrived goes.
  bench_->Pump(device, bench_->clock_->Now());
  if ((mask & d2xx::FT_PURGE_RX) != 0) {
    device.receiveQueue.clear();
    device.bridge.Discard();
    ++device.link.receivePurges;
  }
  if ((mask & d2xx::FT_PURGE_TX) != 0) ++device.link.transmitPurges;
  return FT_OK;
}

FT_STATUS SimulatedDriver::SetEventNotification(FT_HANDLE handle, DWORD mask, Event& event) {
  const std::lock_guard lock(bench_->mutex_);
  if (const auto fault = bench_->TakeFault(DriverCall::SetEventNotification)) return *fault;
  const Lookup found = Find(handle);
  if (found.device == nullptr) return found.status;
  found.device->link.eventMask = mask;
  found.device->rxEvent = (mask & d2xx::FT_EVENT_RXCHAR) != 0 ? &event : nullptr;
  return FT_OK;
}

FT_STATUS SimulatedDriver::SetUSBParameters(FT_HANDLE handle, d2xx::ULONG inTransferSize,
                                            d2xx::ULONG outTransferSize) {
  const std::lock_guard lock(bench_->mutex_);
  if (const auto fault = bench_->TakeFault(DriverCall::SetUSBParameters)) return *fault;
  const Lookup found = Find(handle);
  if (found.device == nullptr) return found.status;
  const auto valid = [](d2xx::ULONG size) {
    return size >= d2xx::kUsbTransferGranule && size <= d2xx::kUsbTransferMax &&
           size % d2xx::kUsbTransferGranule == 0;
  };
  if (!valid(inTransferSize) || !valid(outTransferSize)) return kFtInvalidParameter;
  // Bytes that came before the change went in transfers of the old size.
  bench_->Pump(*found.device, bench_->clock_->Now());
  if (!found.device->attached) return kFtIoError;
  found.device->link.usbParameters = std::array{inTransferSize, outTransferSize};
  found.device->bridge.SetTransferSize(inTransferSize);
  bench_->WireChanged();  // a shorter transfer completes sooner
  return FT_OK;
}

FT_STATUS SimulatedDriver::GetModemStatus(FT_HANDLE handle, d2xx::ULONG& status) {
  const std::lock_guard lock(bench_->mutex_);
  status = 0;
  if (const auto fault = bench_->TakeFault(DriverCall::GetModemStatus)) return *fault;
  const Lookup found = Find(handle);
  if (found.device == nullptr) return found.status;
  Device& device = *found.device;
  bench_->Pump(device, bench_->clock_->Now());
  if (!device.attached) return kFtIoError;
  if (device.bytesLost != device.bytesLostShown) status |= d2xx::kLineStatusOverrun;
  device.bytesLostShown = device.bytesLost;
  return FT_OK;
}

FT_STATUS SimulatedDriver::GetStatus(FT_HANDLE handle, DWORD& rxQueue, DWORD& txQueue, DWORD& eventStatus) {
  const std::lock_guard lock(bench_->mutex_);
  if (const auto fault = bench_->TakeFault(DriverCall::GetStatus)) return *fault;
  const Lookup found = Find(handle);
  if (found.device == nullptr) return found.status;
  Device& device = *found.device;
  bench_->Pump(device, bench_->clock_->Now());
  if (!device.attached) return kFtIoError;  // vanished while the wire caught up
  rxQueue = static_cast<DWORD>(device.receiveQueue.size());
  txQueue = 0;
  eventStatus = device.rxEventStatus ? d2xx::FT_EVENT_RXCHAR : 0;
  device.rxEventStatus = false;
  return FT_OK;
}

FT_STATUS SimulatedDriver::Read(FT_HANDLE handle, std::span<std::uint8_t> buffer, DWORD& bytesRead) {
  const std::lock_guard lock(bench_->mutex_);
  bytesRead = 0;
  if (const auto fault = bench_->TakeFault(DriverCall::Read)) return *fault;
  const Lookup found = Find(handle);
  if (found.device == nullptr) return found.status;
  Device& device = *found.device;
  const SimTime now = bench_->clock_->Now();
  bench_->Pump(device, now);
  if (!device.attached) return kFtIoError;
  const std::size_t count = std::min(buffer.size(), device.receiveQueue.size());
  const auto end = device.receiveQueue.begin() + static_cast<std::ptrdiff_t>(count);
  std::copy(device.receiveQueue.begin(), end, buffer.begin());
  device.receiveQueue.erase(device.receiveQueue.begin(), end);
  bytesRead = static_cast<DWORD>(count);
  // Un-paced, this is where the next transmission comes in.
  bench_->Pump(device, now);
  return FT_OK;
}

FT_STATUS SimulatedDriver::Write(FT_HANDLE handle, std::span<const std::uint8_t> bytes, DWORD& bytesWritten) {
  const std::lock_guard lock(bench_->mutex_);
  bytesWritten = 0;
  if (const auto fault = bench_->TakeFault(DriverCall::Write)) return *fault;
  const Lookup found = Find(handle);
  if (found.device == nullptr) return found.status;
  Device& device = *found.device;
  const SimTime now = bench_->clock_->Now();
  bench_->Pump(device, now);
  if (!device.attached) return kFtIoError;
  // The device that is not a unit swallows what it is sent.
  if (device.unit) {
    device.unit->ReceiveFromHost(bytes, now);
    bench_->Pump(device, now);
  }
  bytesWritten = static_cast<DWORD>(bytes.size());
  return FT_OK;
}

FT_STATUS SimulatedDriver::Close(FT_HANDLE handle) {
  const std::lock_guard lock(bench_->mutex_);
  if (const auto fault = bench_->TakeFault(DriverCall::Close)) return *fault;
  const auto it = bench_->handles_.find(FromHandle(handle));
  if (it == bench_->handles_.end() || it->second.driver != id_) return kFtInvalidHandle;
  if (!it->second.dead) {
    Device& device = bench_->devices_.at(it->second.device);
    device.openHandle = 0;
    device.rxEvent = nullptr;
    device.receiveQueue.clear();
    device.bridge.Discard();
  }
  bench_->handles_.erase(it);
  return FT_OK;
}

FT_STATUS SimulatedDriver::CreateDeviceInfoList(DWORD& count) {
  const std::lock_guard lock(bench_->mutex_);
  if (const auto fault = bench_->TakeFault(DriverCall::CreateDeviceInfoList)) return *fault;
  infoList_ = BuildInfoList();
  infoListCreated_ = true;
  count = static_cast<DWORD>(infoList_.size());
  return FT_OK;
}

FT_STATUS SimulatedDriver::GetDeviceInfoList(std::span<d2xx::FT_DEVICE_LIST_INFO_NODE> nodes, DWORD& count) {
  const std::lock_guard lock(bench_->mutex_);
  if (const auto fault = bench_->TakeFault(DriverCall::GetDeviceInfoList)) return *fault;
  if (!infoListCreated_) {
    infoList_ = BuildInfoList();
    infoListCreated_ = true;
  }
  const std::size_t filled = std::min(nodes.size(), infoList_.size());
  std::copy_n(infoList_.begin(), filled, nodes.begin());
  count = static_cast<DWORD>(filled);
  return FT_OK;
}

std::unique_ptr<DriverLoader> MakeSimulatedDriverLoader(std::shared_ptr<SimulatedBench> bench) {
  return std::make_unique<SimulatedDriverLoader>(std::move(bench));
}

std::unique_ptr<DriverLoader> MakeSimulatedDriverLoader(SimulatedBenchOptions options) {
  return MakeSimulatedDriverLoader(std::make_shared<SimulatedBench>(std::move(options)));
}

}  // namespace kestrova
