#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "device/DriverApi.h"

namespace kestrova {

// The bridge vendor's driver library under its platform name. It is found
// by the platform loader's normal search (on Linux LD_LIBRARY_PATH, then the
// system's library paths).
#ifdef _WIN32
inline constexpr std::string_view kVendorLibraryName = "Ftd2xx.dll";
#else
inline constexpr std::string_view kVendorLibraryName = "libftd2xx.so";
#endif

// A loader that binds the vendor library: each Load() loads the library and
// resolves every function the program calls by name. A missing library or
// function makes Load() answer nullptr. Destroying the returned driver
// unloads the library again.
//
// On Linux the library learns the unit's product id (FT_SetVIDPID) before
// anything else is called, and since it signals its own condition variable
// rather than the program's event, the driver asks the receive loop to poll
// (NeedsRxPolling). User-interface thread.
std::unique_ptr<DriverLoader> MakeVendorDriverLoader(
    std::string libraryName = std::string(kVendorLibraryName));

}  // namespace kestrova
