#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "device/DriverApi.h"

namespace kestrova::cli {

// The backend a run talks to the unit through.
struct DriverSelection {
  // Null when the requested backend is not in this build.
  std::unique_ptr<DriverLoader> loader;
  DriverBackend backend = DriverBackend::Automatic;  // the one chosen
  std::string description;  // for messages: which driver, and why not another
};

// Picks the backend as the window does. Automatic on Linux: the vendor
// library when it loads, else libftdi1 when built, else the vendor library
// (whose absence is then reported); on Windows the vendor library. The
// simulated bench gets the given units (SIM00001 when none). Main thread.
DriverSelection SelectDriver(DriverBackend requested, const std::optional<std::vector<std::string>>& simulatedUnits);

}  // namespace kestrova::cli
