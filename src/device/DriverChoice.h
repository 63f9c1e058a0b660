#pragma once

#include <functional>
#include <memory>
#include <string>

#include "device/DriverApi.h"
#include "device/VendorDriver.h"

namespace kestrova {

// Which driver backend talks to the unit.
enum class DriverBackend {
  Automatic,  // on Linux the vendor library when it loads, else libftdi1
  Vendor,
  LibFtdi,
  Simulated,
};

// True when this build has the libftdi1 backend (libftdi1 was found when it
// was built).
bool LibFtdiBackendBuilt();

// The backend a run talks to the unit through.
struct DriverChoice {
  // Null when the requested backend is not in this build.
  std::unique_ptr<DriverLoader> loader;
  DriverBackend backend = DriverBackend::Automatic;  // the one chosen
  // For messages: which backend is bound and why, or why none is.
  std::string description;
};

// Makes the simulated unit's loader. The simulator is built on this layer,
// so the caller brings it, set up as the caller needs.
using SimulatedLoaderFactory = std::function<std::unique_ptr<DriverLoader>()>;

// Picks the backend, for the window and the command-line client alike.
// Automatic on Linux: the vendor library when it loads (tried once here, by
// `vendorLibrary`), else libftdi1 when built, else the vendor library anyway,
// whose absence is then reported when the unit is opened. Automatic on
// Windows: the vendor library. Main thread, at start.
DriverChoice ChooseDriver(DriverBackend requested, const SimulatedLoaderFactory& simulated,
                          const std::string& vendorLibrary = std::string(kVendorLibraryName));

}  // namespace kestrova
