#include "device/VendorDriver.h"

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "device/Win32.h"
#ifndef _WIN32
#include <dlfcn.h>
#include <pthread.h>
#endif

namespace kestrova {

namespace {

using d2xx::DWORD;
using d2xx::FT_HANDLE;
using d2xx::FT_STATUS;
using d2xx::UCHAR;
using d2xx::ULONG;
using d2xx::USHORT;
using d2xx::WORD;

// The library's exports, as its programmer's guide declares them.
struct Functions {
  FT_STATUS(KESTROVA_D2XX_API* ListDevices)(void* arg1, void* arg2, DWORD flags) = nullptr;
  FT_STATUS(KESTROVA_D2XX_API* Reload)(WORD vendorId, WORD productId) = nullptr;
  FT_STATUS(KESTROVA_D2XX_API* OpenEx)(void* arg1, DWORD flags, FT_HANDLE* handle) = nullptr;
  FT_STATUS(KESTROVA_D2XX_API* ResetDevice)(FT_HANDLE handle) = nullptr;
  FT_STATUS(KESTROVA_D2XX_API* SetLatencyTimer)(FT_HANDLE handle, UCHAR latency) = nullptr;
  FT_STATUS(KESTROVA_D2XX_API* SetDivisor)(FT_HANDLE handle, USHORT divisor) = nullptr;
  FT_STATUS(KESTROVA_D2XX_API* SetDataCharacteristics)
  (FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits, UCHAR parity) = nullptr;
  FT_STATUS(KESTROVA_D2XX_API* SetFlowControl)
  (FT_HANDLE handle, USHORT flowControl, UCHAR xon, UCHAR xoff) = nullptr;
  FT_STATUS(KESTROVA_D2XX_API* SetUSBParameters)(FT_HANDLE handle, ULONG inSize, ULONG outSize) = nullptr;
  FT_STATUS(KESTROVA_D2XX_API* Purge)(FT_HANDLE handle, ULONG mask) = nullptr;
  FT_STATUS(KESTROVA_D2XX_API* SetEventNotification)(FT_HANDLE handle, DWORD mask, void* param) = nullptr;
  FT_STATUS(KESTROVA_D2XX_API* GetStatus)
  (FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes, DWORD* eventStatus) = nullptr;
  FT_STATUS(KESTROVA_D2XX_API* GetModemStatus)(FT_HANDLE handle, ULONG* status) = nullptr;
  FT_STATUS(KESTROVA_D2XX_API* Read)
  (FT_HANDLE handle, void* buffer, DWORD bytesToRead, DWORD* bytesReturned) = nullptr;
  FT_STATUS(KESTROVA_D2XX_API* Write)
  (FT_HANDLE handle, void* buffer, DWORD bytesToWrite, DWORD* bytesWritten) = nullptr;
  FT_STATUS(KESTROVA_D2XX_API* Close)(FT_HANDLE handle) = nullptr;
  FT_STATUS(KESTROVA_D2XX_API* CreateDeviceInfoList)(DWORD* deviceCount) = nullptr;
  FT_STATUS(KESTROVA_D2XX_API* GetDeviceInfoList)
  (d2xx::FT_DEVICE_LIST_INFO_NODE* nodes, DWORD* deviceCount) = nullptr;
#ifndef _WIN32
  // Linux only: adds a vendor/product id pair to those the library handles.
  FT_STATUS(KESTROVA_D2XX_API* SetVIDPID)(DWORD vendorId, DWORD productId) = nullptr;
#endif
};

// A loaded shared library; unloaded on destruction.
class SharedLibrary {
 public:
  explicit SharedLibrary(const std::string& name) {
#ifdef _WIN32
    module_ = ::LoadLibraryA(name.c_str());
#else
    module_ = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
  }
  ~SharedLibrary() {
    if (module_ == nullptr) return;
#ifdef _WIN32
    ::FreeLibrary(module_);
#else
    ::dlclose(module_);
#endif
  }
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  [[nodiscard]] bool IsLoaded() const {
    return module_ != nullptr;
  }

  // Resolves an export into a typed function pointer; false when missing.
  template <typename Function>
  bool Resolve(Function& function, const char* name) const {
#ifdef _WIN32
    const FARPROC address = ::GetProcAddress(module_, name);
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
#else
    function = reinterpret_cast<Function>(::dlsym(module_, name));
#endif
    return function != nullptr;
  }

 private:
#ifdef _WIN32
  HMODULE module_ = nullptr;
#else
  void* module_ = nullptr;
#endif
};

// What the library is given for FT_SetEventNotification, and signals when
// characters arrive. It must stay valid until the handle is closed.
#ifdef _WIN32
// The library sets a Win32 auto-reset event. A watcher thread waits on it
// (and on its own quit event) and sets the program's receive event at once,
// so the receive loop wakes on arriving characters as it does on Linux with
// libftdi, instead of looking at the receive queue on every tick.
class NotificationRecord {
 public:
  explicit NotificationRecord(Event& target)
      : event_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)),
        quit_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    if (IsValid()) watcher_ = std::thread([this, &target] { Watch(target); });
  }
  ~NotificationRecord() {
    StopWatching();
    if (event_ != nullptr) ::CloseHandle(event_);
    if (quit_ != nullptr) ::CloseHandle(quit_);
  }
  NotificationRecord(const NotificationRecord&) = delete;
  NotificationRecord& operator=(const NotificationRecord&) = delete;
  [[nodiscard]] bool IsValid() const { return event_ != nullptr && quit_ != nullptr; }
  [[nodiscard]] void* Param() const { return event_; }
  // The program's event is not set any more; the library may still set the
  // record's own event.
  void StopWatching() {
    if (!watcher_.joinable()) return;
    ::SetEvent(quit_);
    watcher_.join();
  }

 private:
  void Watch(Event& target) {
    const std::array<HANDLE, 2> waits = {quit_, event_};
    for (;;) {
      const auto woken =
          ::WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, INFINITE);
      if (woken != WAIT_OBJECT_0 + 1) return;  // quit, or a wait that failed
      target.Set();
    }
  }

  HANDLE event_;
  HANDLE quit_;
  std::thread watcher_;
};
#else
// The Linux library's event record: a condition variable, its mutex and a
// spare int, in this order.
struct LinuxEventRecord {
  pthread_cond_t eCondVar;
  pthread_mutex_t eMutex;
  int iVar;
};

class NotificationRecord {
 public:
  explicit NotificationRecord(Event& /*target*/) {
    valid_ = ::pthread_cond_init(&record_.eCondVar, nullptr) == 0;
    if (valid_ && ::pthread_mutex_init(&record_.eMutex, nullptr) != 0) {
      ::pthread_cond_destroy(&record_.eCondVar);
      valid_ = false;
    }
  }
  ~NotificationRecord() {
    if (!valid_) return;
    ::pthread_mutex_destroy(&record_.eMutex);
    ::pthread_cond_destroy(&record_.eCondVar);
  }
  NotificationRecord(const NotificationRecord&) = delete;
  NotificationRecord& operator=(const NotificationRecord&) = delete;
  [[nodiscard]] bool IsValid() const { return valid_; }
  [[nodiscard]] void* Param() { return &record_; }
  void StopWatching() {}

 private:
  LinuxEventRecord record_{};
  bool valid_ = false;
};
#endif

// Any non-zero status: the call failed.
constexpr FT_STATUS kCannotRegister = 4;

class VendorDriver final : public DriverApi {
 public:
  VendorDriver(std::unique_ptr<SharedLibrary> library, const Functions& functions)
      : functions_(functions), library_(std::move(library)) {}

  FT_STATUS ListDeviceCount(DWORD& count) override {
    return functions_.ListDevices(&count, nullptr, d2xx::FT_LIST_NUMBER_ONLY);
  }
  FT_STATUS ListDescriptionByIndex(DWORD index, std::span<char, 64> description) override {
    // By index, the first argument carries the index itself, pointer-sized.
    return functions_.ListDevices(
        reinterpret_cast<void*>(static_cast<std::uintptr_t>(index)),  // NOLINT(performance-no-int-to-ptr)
        description.data(), d2xx::FT_LIST_BY_INDEX | d2xx::FT_OPEN_BY_DESCRIPTION);
  }
  FT_STATUS Reload(WORD vendorId, WORD productId) override { return functions_.Reload(vendorId, productId); }
  FT_STATUS OpenEx(const char* serialNumber, DWORD flags, FT_HANDLE& handle) override {
    // The library only reads the serial number.
    return functions_.OpenEx(const_cast<char*>(serialNumber), flags, &handle);
  }
  FT_STATUS ResetDevice(FT_HANDLE handle) override { return functions_.ResetDevice(handle); }
  FT_STATUS SetLatencyTimer(FT_HANDLE handle, UCHAR milliseconds) override {
    return functions_.SetLatencyTimer(handle, milliseconds);
  }
  FT_STATUS SetDivisor(FT_HANDLE handle, USHORT divisor) override {
    return functions_.SetDivisor(handle, divisor);
  }
  FT_STATUS SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits,
                                   UCHAR parity) override {
    return functions_.SetDataCharacteristics(handle, wordLength, stopBits, parity);
  }
  FT_STATUS SetFlowControl(FT_HANDLE handle, USHORT flowControl, UCHAR xon, UCHAR xoff) override {
    return functions_.SetFlowControl(handle, flowControl, xon, xoff);
  }
  FT_STATUS SetUSBParameters(FT_HANDLE handle, ULONG inTransferSize, ULONG outTransferSize) override {
    return functions_.SetUSBParameters(handle, inTransferSize, outTransferSize);
  }
  FT_STATUS Purge(FT_HANDLE handle, ULONG mask) override { return functions_.Purge(handle, mask); }

  // The library is given its own record, not the program's event. On
  // Windows the record's watcher sets the program's event; the Linux
  // library signals a condition variable without a flag, which cannot be
  // waited on together with the stop and transmit events, so there the
  // receive loop polls (NeedsRxPolling).
  FT_STATUS SetEventNotification(FT_HANDLE handle, DWORD mask, Event& event) override {
    auto record = std::make_unique<NotificationRecord>(event);
    if (!record->IsValid()) return kCannotRegister;
    const FT_STATUS status = functions_.SetEventNotification(handle, mask, record->Param());
    // Kept until the handle is closed whatever the answer: the library may
    // have stored the address before it failed.
    const std::lock_guard lock(recordsMutex_);
    records_[handle].push_back(std::move(record));
    return status;
  }
  FT_STATUS GetStatus(FT_HANDLE handle, DWORD& rxQueue, DWORD& txQueue, DWORD& eventStatus) override {
    return functions_.GetStatus(handle, &rxQueue, &txQueue, &eventStatus);
  }
  FT_STATUS GetModemStatus(FT_HANDLE handle, ULONG& status) override {
    return functions_.GetModemStatus(handle, &status);
  }
  FT_STATUS Read(FT_HANDLE handle, std::span<std::uint8_t> buffer, DWORD& bytesRead) override {
    return functions_.Read(handle, buffer.data(), static_cast<DWORD>(buffer.size()), &bytesRead);
  }
  FT_STATUS Write(FT_HANDLE handle, std::span<const std::uint8_t> bytes, DWORD& bytesWritten) override {
    // The library only reads the buffer.
    return functions_.Write(handle, const_cast<std::uint8_t*>(bytes.data()), static_cast<DWORD>(bytes.size()),
                            &bytesWritten);
  }
  FT_STATUS Close(FT_HANDLE handle) override {
    const FT_STATUS status = functions_.Close(handle);
    const std::lock_guard lock(recordsMutex_);
    if (status == d2xx::FT_OK) {
      records_.erase(handle);
    } else if (const auto found = records_.find(handle); found != records_.end()) {
      // The caller frees its event after this: no watcher may set it later.
      for (const auto& record : found->second) record->StopWatching();
    }
    return status;
  }
  FT_STATUS CreateDeviceInfoList(DWORD& count) override { return functions_.CreateDeviceInfoList(&count); }
  FT_STATUS GetDeviceInfoList(std::span<d2xx::FT_DEVICE_LIST_INFO_NODE> nodes, DWORD& count) override {
    return functions_.GetDeviceInfoList(nodes.data(), &count);
  }

  [[nodiscard]] bool NeedsRxPolling() const override {
#ifdef _WIN32
    return false;  // the record's watcher sets the event
#else
    return true;
#endif
  }

 private:
  Functions functions_;
  std::mutex recordsMutex_;
  std::map<FT_HANDLE, std::vector<std::unique_ptr<NotificationRecord>>> records_;
  // Declared last so that it is unloaded first, before the records the
  // library may still refer to are freed.
  std::unique_ptr<SharedLibrary> library_;
};

bool ResolveAll(const SharedLibrary& library, Functions& f) {
  bool ok = library.Resolve(f.ListDevices, "FT_ListDevices");
  ok = library.Resolve(f.Reload, "FT_Reload") && ok;
  ok = library.Resolve(f.OpenEx, "FT_OpenEx") && ok;
  ok = library.Resolve(f.ResetDevice, "FT_ResetDevice") && ok;
  ok = library.Resolve(f.SetLatencyTimer, "FT_SetLatencyTimer") && ok;
  ok = library.Resolve(f.SetDivisor, "FT_SetDivisor") && ok;
  ok = library.Resolve(f.SetDataCharacteristics, "FT_SetDataCharacteristics") && ok;
  ok = library.Resolve(f.SetFlowControl, "FT_SetFlowControl") && ok;
  ok = library.Resolve(f.SetUSBParameters, "FT_SetUSBParameters") && ok;
  ok = library.Resolve(f.Purge, "FT_Purge") && ok;
  ok = library.Resolve(f.SetEventNotification, "FT_SetEventNotification") && ok;
  ok = library.Resolve(f.GetStatus, "FT_GetStatus") && ok;
  ok = library.Resolve(f.GetModemStatus, "FT_GetModemStatus") && ok;
  ok = library.Resolve(f.Read, "FT_Read") && ok;
  ok = library.Resolve(f.Write, "FT_Write") && ok;
  ok = library.Resolve(f.Close, "FT_Close") && ok;
  ok = library.Resolve(f.CreateDeviceInfoList, "FT_CreateDeviceInfoList") && ok;
  ok = library.Resolve(f.GetDeviceInfoList, "FT_GetDeviceInfoList") && ok;
#ifndef _WIN32
  ok = library.Resolve(f.SetVIDPID, "FT_SetVIDPID") && ok;
#endif
  return ok;
}

class VendorDriverLoader final : public DriverLoader {
 public:
  explicit VendorDriverLoader(std::string libraryName) : libraryName_(std::move(libraryName)) {}

  std::unique_ptr<DriverApi> Load() override {
    auto library = std::make_unique<SharedLibrary>(libraryName_);
    if (!library->IsLoaded()) return nullptr;
    Functions functions;
    if (!ResolveAll(*library, functions)) return nullptr;
#ifndef _WIN32
    // Without the unit's product id the Linux library neither lists nor
    // opens it, and its reload request is not supported.
    if (functions.SetVIDPID(d2xx::kUnitVendorId, d2xx::kUnitProductId) != d2xx::FT_OK) return nullptr;
#endif
    return std::make_unique<VendorDriver>(std::move(library), functions);
  }

 private:
  std::string libraryName_;
};

}  // namespace

std::unique_ptr<DriverLoader> MakeVendorDriverLoader(std::string libraryName) {
  return std::make_unique<VendorDriverLoader>(std::move(libraryName));
}

}  // namespace kestrova
