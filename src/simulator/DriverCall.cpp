#include "simulator/DriverCall.h"

namespace kestrova {

namespace {

constexpr std::array<std::string_view, kDriverCallCount> kNames = {
    "FT_ListDevices",
    "FT_Reload",
    "FT_OpenEx",
    "FT_ResetDevice",
    "FT_SetLatencyTimer",
    "FT_SetDivisor",
    "FT_SetDataCharacteristics",
    "FT_SetFlowControl",
    "FT_Purge",
    "FT_SetEventNotification",
    "FT_GetStatus",
    "FT_Read",
    "FT_Write",
    "FT_Close",
    "FT_CreateDeviceInfoList",
    "FT_GetDeviceInfoList",
    "FT_SetUSBParameters",
    "FT_GetModemStatus",
};

}  // namespace

std::string_view DriverCallName(DriverCall call) {
  return kNames.at(static_cast<std::size_t>(call));
}

std::optional<DriverCall> DriverCallByName(std::string_view name) {
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    if (kNames[i] == name) return static_cast<DriverCall>(i);
  }
  return std::nullopt;
}

}  // namespace kestrova
