#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "device/D2xx.h"

namespace kestrova {

// The driver calls of the program, by the vendor library's function names.
// A test names one to make it fail (SimulatedBench::FailCall).
enum class DriverCall {
  ListDevices,
  Reload,
  OpenEx,
  ResetDevice,
  SetLatencyTimer,
  SetDivisor,
  SetDataCharacteristics,
  SetFlowControl,
  Purge,
  SetEventNotification,
  GetStatus,
  Read,
  Write,
  Close,
  CreateDeviceInfoList,
  GetDeviceInfoList,
  SetUSBParameters,
  GetModemStatus,
};

inline constexpr std::size_t kDriverCallCount = 18;

// "FT_ListDevices", "FT_Reload", ... "FT_GetModemStatus".
std::string_view DriverCallName(DriverCall call);
// The call with that function name, or nothing.
std::optional<DriverCall> DriverCallByName(std::string_view name);

// Status codes the simulated driver reports, with the vendor library's values.
inline constexpr d2xx::FT_STATUS kFtInvalidHandle = 1;
inline constexpr d2xx::FT_STATUS kFtDeviceNotFound = 2;
inline constexpr d2xx::FT_STATUS kFtDeviceNotOpened = 3;
inline constexpr d2xx::FT_STATUS kFtIoError = 4;
inline constexpr d2xx::FT_STATUS kFtInvalidParameter = 6;

// Device information flags and the bridge type reported for every device.
inline constexpr d2xx::ULONG kFtFlagsOpened = 1;
inline constexpr d2xx::ULONG kFtDevice232R = 5;

}  // namespace kestrova
