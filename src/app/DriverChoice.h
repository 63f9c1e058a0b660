#pragma once

#include <memory>
#include <string>

#include "app/CommandLine.h"
#include "device/DriverApi.h"
#include "device/VendorDriver.h"

namespace kestrova {

// True when this build has the libftdi1 backend (libftdi1 was found when it
// was built).
bool LibFtdiBackendBuilt();

// The backend the program runs with.
struct DriverChoice {
  // Null when the requested backend is not in this build.
  std::unique_ptr<DriverLoader> loader;
  // For standard error: which backend is bound and why, or why none is.
  std::string description;
};

// Picks the backend. Automatic on Linux: the vendor library when it loads
// (tried once here, by `vendorLibrary`), else libftdi1 when built, else the
// vendor library anyway, whose absence the status line then reports as it
// always has. Automatic on Windows: the vendor library. User-interface
// thread, at start.
DriverChoice ChooseDriver(DriverBackend requested,
                          const std::string& vendorLibrary = std::string(kVendorLibraryName));

}  // namespace kestrova
