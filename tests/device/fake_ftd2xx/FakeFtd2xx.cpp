// A stand-in for the bridge vendor's driver library, exporting the same C
// functions under the same names, for the vendor backend's tests. It keeps
// its own declarations of the vendor's types (independent of the program's)
// so that a mismatch in the program's declarations shows up as a failure.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// The driver functions are __stdcall (WINAPI), as the vendor declares them;
// the test controls keep the C default.
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#define FAKE_API WINAPI
#else
#include <pthread.h>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#define FAKE_API
#endif

namespace {

#ifndef _WIN32
// On Windows these come from <windows.h>, as in the vendor's header.
using DWORD = unsigned int;
using ULONG = unsigned int;
#endif
using FT_STATUS = unsigned int;
using FT_HANDLE = void*;

constexpr FT_STATUS kOk = 0;
constexpr FT_STATUS kInvalidHandle = 1;
constexpr FT_STATUS kDeviceNotFound = 2;
constexpr FT_STATUS kInvalidParameter = 6;

constexpr DWORD kListNumberOnly = 0x80000000;
constexpr DWORD kListByIndex = 0x40000000;
constexpr DWORD kOpenBySerial = 1;
constexpr DWORD kOpenByDescription = 2;

struct DeviceListNode {
  ULONG Flags;
  ULONG Type;
  ULONG ID;
  DWORD LocId;
  char SerialNumber[16];
  char Description[64];
  FT_HANDLE ftHandle;
};

#ifndef _WIN32
// The Linux event record the program passes to FT_SetEventNotification.
struct EventRecord {
  pthread_cond_t eCondVar;
  pthread_mutex_t eMutex;
  int iVar;
};
#endif

struct Device {
  std::string serial;
  std::string description;
};

struct State {
  std::mutex mutex;
  std::vector<Device> devices;
  std::map<std::string, FT_STATUS> statuses;
  std::map<std::string, std::string> replies;
  std::string log;
  std::vector<unsigned char> rxQueue;
  DWORD modemStatus = 0;
  std::array<char, 32> handleTokens{};
  std::map<FT_HANDLE, int> handleNumbers;
  int handleCount = 0;
#ifdef _WIN32
  // The Win32 event handle the program registered.
  HANDLE record = nullptr;
  int signals = 0;
  // The Windows library has no FT_SetVIDPID: it sees the unit at once.
  bool vidPidSet = true;
#else
  EventRecord* record = nullptr;
  int signals = 0;
  bool vidPidSet = false;
#endif
};

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

// A program started by a test (the command-line client) cannot be scripted
// through the control functions: it reads its script from the file that
// FAKE_FTD2XX_SCRIPT names, one entry a line:
//   device SERIAL DESCRIPTION...
//   reply COMMAND-HEX REPLY-HEX
void LoadScript(State& s) {
  const char* path = std::getenv("FAKE_FTD2XX_SCRIPT");
  if (path == nullptr) return;
  std::ifstream script(path);
  std::string line;
  while (std::getline(script, line)) {
    std::istringstream words(line);
    std::string kind;
    std::string first;
    std::string rest;
    words >> kind >> first >> std::ws;
    std::getline(words, rest);
    if (kind == "device") s.devices.push_back({first, rest});
    if (kind == "reply") s.replies[FromHex(first)] = FromHex(rest);
  }
}

State& TheState() {
  static State state;
  static const bool scripted = [] {
    LoadScript(state);
    return true;
  }();
  (void)scripted;
  return state;
}

std::string Hex(unsigned value, int digits) {
  static const char* kHex = "0123456789ABCDEF";
  std::string text;
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) text += kHex[(value >> shift) & 0xFU];
  return text;
}

std::string Show(const unsigned char* bytes, std::size_t length) {
  std::string text;
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned char b = bytes[i];
    if (b >= 0x20 && b < 0x7F && b != '<') {
      text += static_cast<char>(b);
    } else {
      text += "<" + Hex(b, 2) + ">";
    }
  }
  return text;
}

// Logs the call; answers the scripted status, or 0 when the call should do
// its work. Called with the state locked.
FT_STATUS Enter(State& s, const std::string& function, const std::string& arguments) {
  s.log += function;
  if (!arguments.empty()) s.log += " " + arguments;
  s.log += "\n";
  const auto scripted = s.statuses.find(function);
  return scripted == s.statuses.end() ? kOk : scripted->second;
}

bool KnownHandle(const State& s, FT_HANDLE handle) {
  return s.handleNumbers.count(handle) != 0;
}

std::string Name(const State& s, FT_HANDLE handle) {
  const auto found = s.handleNumbers.find(handle);
  return found == s.handleNumbers.end() ? "#?" : "#" + std::to_string(found->second);
}

// As the library does when characters arrive: signal the registered record.
// On Windows only a signal the system accepted counts.
void Signal(State& s) {
  if (s.record == nullptr) return;
#ifdef _WIN32
  if (::SetEvent(s.record) != FALSE) ++s.signals;
#else
  pthread_mutex_lock(&s.record->eMutex);
  pthread_cond_signal(&s.record->eCondVar);
  pthread_mutex_unlock(&s.record->eMutex);
  ++s.signals;
#endif
}

}  // namespace

// ---- the driver functions ----

#if !defined(FAKE_FTD2XX_WITHOUT_VIDPID) && !defined(_WIN32)
FAKE_EXPORT FT_STATUS FAKE_API FT_SetVIDPID(DWORD vendorId, DWORD productId) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  const FT_STATUS status = Enter(s, "FT_SetVIDPID", Hex(vendorId, 4) + " " + Hex(productId, 4));
  if (status == kOk && vendorId == 0x0403 && productId == 0x6120) s.vidPidSet = true;
  return status;
}
#endif

FAKE_EXPORT FT_STATUS FAKE_API FT_ListDevices(void* arg1, void* arg2, DWORD flags) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  // Devices with the unit's product id are only seen once the program has
  // told the library about it.
  const std::size_t visible = s.vidPidSet ? s.devices.size() : 0;
  if (flags == kListNumberOnly) {
    const FT_STATUS status = Enter(s, "FT_ListDevices", "number-only");
    if (status != kOk) return status;
    *static_cast<DWORD*>(arg1) = static_cast<DWORD>(visible);
    return kOk;
  }
  if ((flags & kListByIndex) != 0) {
    // The index travels as the pointer argument's value.
    const auto index = reinterpret_cast<std::uintptr_t>(arg1);
    const bool description = (flags & ~kListByIndex) == kOpenByDescription;
    const FT_STATUS status = Enter(
        s, "FT_ListDevices", "index " + std::to_string(index) + (description ? " description" : " serial"));
    if (status != kOk) return status;
    if (index >= visible) return kDeviceNotFound;
    const std::string& text = description ? s.devices[index].description : s.devices[index].serial;
    std::memcpy(arg2, text.c_str(), std::min<std::size_t>(text.size() + 1, 64));
    return kOk;
  }
  Enter(s, "FT_ListDevices", "flags " + Hex(flags, 8));
  return kInvalidParameter;
}

FAKE_EXPORT FT_STATUS FAKE_API FT_Reload(unsigned short vendorId, unsigned short productId) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  const FT_STATUS status = Enter(s, "FT_Reload", Hex(vendorId, 4) + " " + Hex(productId, 4));
#ifdef _WIN32
  return status;
#else
  return status != kOk ? status : 17;  // FT_NOT_SUPPORTED, as on Linux
#endif
}

FAKE_EXPORT FT_STATUS FAKE_API FT_OpenEx(void* arg1, DWORD flags, FT_HANDLE* handle) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  const std::string serial(static_cast<const char*>(arg1));
  const FT_STATUS status = Enter(s, "FT_OpenEx", serial + " " + std::to_string(flags));
  if (status != kOk) return status;
  if (flags != kOpenBySerial || !s.vidPidSet) return kDeviceNotFound;
  if (std::none_of(s.devices.begin(), s.devices.end(), [&](const Device& d) { return d.serial == serial; })) {
    return kDeviceNotFound;
  }
  const int number = ++s.handleCount;
  *handle = &s.handleTokens[static_cast<std::size_t>(number) % s.handleTokens.size()];
  s.handleNumbers[*handle] = number;
  return kOk;
}

namespace {

// The calls that take a handle and a few numbers and change nothing here.
FT_STATUS SimpleCall(const char* function, FT_HANDLE handle, const std::string& arguments = "") {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  const FT_STATUS status = Enter(s, function, Name(s, handle) + (arguments.empty() ? "" : " " + arguments));
  if (status != kOk) return status;
  return KnownHandle(s, handle) ? kOk : kInvalidHandle;
}

}  // namespace

FAKE_EXPORT FT_STATUS FAKE_API FT_ResetDevice(FT_HANDLE handle) {
  return SimpleCall("FT_ResetDevice", handle);
}

FAKE_EXPORT FT_STATUS FAKE_API FT_SetLatencyTimer(FT_HANDLE handle, unsigned char latency) {
  return SimpleCall("FT_SetLatencyTimer", handle, std::to_string(latency));
}

FAKE_EXPORT FT_STATUS FAKE_API FT_SetUSBParameters(FT_HANDLE handle, DWORD inSize, DWORD outSize) {
  return SimpleCall("FT_SetUSBParameters", handle, std::to_string(inSize) + " " + std::to_string(outSize));
}

FAKE_EXPORT FT_STATUS FAKE_API FT_GetModemStatus(FT_HANDLE handle, DWORD* status) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  // Not logged: the program asks after every read.
  const auto scripted = s.statuses.find("FT_GetModemStatus");
  if (scripted != s.statuses.end()) return scripted->second;
  if (!KnownHandle(s, handle)) return kInvalidHandle;
  *status = s.modemStatus;
  return kOk;
}

FAKE_EXPORT FT_STATUS FAKE_API FT_SetDivisor(FT_HANDLE handle, unsigned short divisor) {
  return SimpleCall("FT_SetDivisor", handle, std::to_string(divisor));
}

FAKE_EXPORT FT_STATUS FAKE_API FT_SetDataCharacteristics(FT_HANDLE handle, unsigned char wordLength,
                                                         unsigned char stopBits, unsigned char parity) {
  return SimpleCall(
      "FT_SetDataCharacteristics", handle,
      std::to_string(wordLength) + " " + std::to_string(stopBits) + " " + std::to_string(parity));
}

FAKE_EXPORT FT_STATUS FAKE_API FT_SetFlowControl(FT_HANDLE handle, unsigned short flowControl,
                                                 unsigned char xon, unsigned char xoff) {
  return SimpleCall("FT_SetFlowControl", handle,
                    std::to_string(flowControl) + " " + std::to_string(xon) + " " + std::to_string(xoff));
}

FAKE_EXPORT FT_STATUS FAKE_API FT_Purge(FT_HANDLE handle, ULONG mask) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  const FT_STATUS status = Enter(s, "FT_Purge", Name(s, handle) + " " + std::to_string(mask));
  if (status != kOk) return status;
  if (!KnownHandle(s, handle)) return kInvalidHandle;
  if ((mask & 1U) != 0) s.rxQueue.clear();
  return kOk;
}

FAKE_EXPORT FT_STATUS FAKE_API FT_SetEventNotification(FT_HANDLE handle, DWORD mask, void* param) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  const FT_STATUS status = Enter(s, "FT_SetEventNotification", Name(s, handle) + " " + std::to_string(mask));
  if (status != kOk) return status;
  if (!KnownHandle(s, handle) || param == nullptr) return kInvalidParameter;
#ifdef _WIN32
  // The parameter is an event handle; one the system does not know is not
  // one the library can set.
  DWORD handleFlags = 0;
  if (::GetHandleInformation(static_cast<HANDLE>(param), &handleFlags) == FALSE) return kInvalidParameter;
  s.record = static_cast<HANDLE>(param);
#else
  s.record = static_cast<EventRecord*>(param);
  // A record whose mutex cannot be taken is not one the library can use.
  if (pthread_mutex_trylock(&s.record->eMutex) != 0) return kInvalidParameter;
  pthread_mutex_unlock(&s.record->eMutex);
#endif
  return kOk;
}

FAKE_EXPORT FT_STATUS FAKE_API FT_GetStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes,
                                            DWORD* eventStatus) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  // Not logged: the program polls it on every turn of its receive loop.
  const auto scripted = s.statuses.find("FT_GetStatus");
  if (scripted != s.statuses.end()) return scripted->second;
  if (!KnownHandle(s, handle)) return kInvalidHandle;
  *rxBytes = static_cast<DWORD>(s.rxQueue.size());
  *txBytes = 0;
  *eventStatus = s.rxQueue.empty() ? 0 : 1;
  return kOk;
}

#ifndef FAKE_FTD2XX_WITHOUT_READ
FAKE_EXPORT FT_STATUS FAKE_API FT_Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead,
                                       DWORD* bytesReturned) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  const FT_STATUS status = Enter(s, "FT_Read", Name(s, handle) + " " + std::to_string(bytesToRead));
  if (status != kOk) return status;
  if (!KnownHandle(s, handle)) return kInvalidHandle;
  const std::size_t n = std::min<std::size_t>(bytesToRead, s.rxQueue.size());
  std::memcpy(buffer, s.rxQueue.data(), n);
  s.rxQueue.erase(s.rxQueue.begin(), s.rxQueue.begin() + static_cast<std::ptrdiff_t>(n));
  *bytesReturned = static_cast<DWORD>(n);
  return kOk;
}
#endif

FAKE_EXPORT FT_STATUS FAKE_API FT_Write(FT_HANDLE handle, void* buffer, DWORD bytesToWrite,
                                        DWORD* bytesWritten) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  const FT_STATUS status = Enter(s, "FT_Write", Name(s, handle) + " " + Show(bytes, bytesToWrite));
  if (status != kOk) return status;
  if (!KnownHandle(s, handle)) return kInvalidHandle;
  *bytesWritten = bytesToWrite;
  const auto reply = s.replies.find(std::string(bytes, bytes + bytesToWrite));
  if (reply != s.replies.end()) {
    s.rxQueue.insert(s.rxQueue.end(), reply->second.begin(), reply->second.end());
    Signal(s);
  }
  return kOk;
}

FAKE_EXPORT FT_STATUS FAKE_API FT_Close(FT_HANDLE handle) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  const FT_STATUS status = Enter(s, "FT_Close", Name(s, handle));
  if (status != kOk) return status;
  if (s.handleNumbers.erase(handle) == 0) return kInvalidHandle;
  s.record = nullptr;
  return kOk;
}

FAKE_EXPORT FT_STATUS FAKE_API FT_CreateDeviceInfoList(DWORD* count) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  const FT_STATUS status = Enter(s, "FT_CreateDeviceInfoList", "");
  if (status != kOk) return status;
  *count = static_cast<DWORD>(s.vidPidSet ? s.devices.size() : 0);
  return kOk;
}

FAKE_EXPORT FT_STATUS FAKE_API FT_GetDeviceInfoList(DeviceListNode* nodes, DWORD* count) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  const FT_STATUS status = Enter(s, "FT_GetDeviceInfoList", "");
  if (status != kOk) return status;
  const std::size_t n = s.vidPidSet ? s.devices.size() : 0;
  for (std::size_t i = 0; i < n; ++i) {
    DeviceListNode node{};
    node.Type = 5;
    node.ID = 0x04036120;
    // Fields are filled like the library does: a full-width text has no NUL.
    const std::string& serial = s.devices[i].serial;
    const std::string& description = s.devices[i].description;
    std::memcpy(node.SerialNumber, serial.data(), std::min(serial.size(), sizeof node.SerialNumber));
    std::memcpy(node.Description, description.data(), std::min(description.size(), sizeof node.Description));
    nodes[i] = node;
  }
  *count = static_cast<DWORD>(n);
  return kOk;
}

// ---- controls for the tests ----

FAKE_EXPORT void FakeFtd2xx_Reset() {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  s.devices.clear();
  s.statuses.clear();
  s.replies.clear();
  s.log.clear();
  s.rxQueue.clear();
  s.modemStatus = 0;
  s.signals = 0;
}

FAKE_EXPORT void FakeFtd2xx_SetModemStatus(unsigned status) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  s.modemStatus = status;
}

FAKE_EXPORT void FakeFtd2xx_AddDevice(const char* serial, const char* description) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  s.devices.push_back({serial, description});
}

FAKE_EXPORT void FakeFtd2xx_SetStatus(const char* function, unsigned status) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  if (status == kOk) {
    s.statuses.erase(function);
  } else {
    s.statuses[function] = status;
  }
}

FAKE_EXPORT void FakeFtd2xx_Receive(const unsigned char* bytes, std::size_t length) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  s.rxQueue.insert(s.rxQueue.end(), bytes, bytes + length);
  Signal(s);
}

FAKE_EXPORT void FakeFtd2xx_ReplyTo(const unsigned char* command, std::size_t commandLength,
                                    const unsigned char* reply, std::size_t replyLength) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  s.replies[std::string(command, command + commandLength)] = std::string(reply, reply + replyLength);
}

FAKE_EXPORT std::size_t FakeFtd2xx_CallLog(char* buffer, std::size_t size) {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  if (buffer != nullptr && size > 0) {
    const std::size_t n = std::min(size - 1, s.log.size());
    std::memcpy(buffer, s.log.data(), n);
    buffer[n] = '\0';
  }
  return s.log.size();
}

FAKE_EXPORT int FakeFtd2xx_SignalCount() {
  State& s = TheState();
  const std::lock_guard lock(s.mutex);
  return s.signals;
}
