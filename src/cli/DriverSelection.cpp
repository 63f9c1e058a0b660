#include "cli/DriverSelection.h"

#include "device/VendorDriver.h"
#include "simulator/SimulatedDriver.h"
#ifdef KESTROVA_HAVE_LIBFTDI
#include "device/LibFtdiDriver.h"
#endif

namespace kestrova::cli {

namespace {

DriverSelection LibFtdi([[maybe_unused]] const std::string& why) {
#ifdef KESTROVA_HAVE_LIBFTDI
  return {MakeLibFtdiDriverLoader(), DriverBackend::LibFtdi, LibFtdiVersionText() + why};
#else
  return {nullptr, DriverBackend::LibFtdi, "this build has no libftdi1 backend"};
#endif
}

}  // namespace

DriverSelection SelectDriver(DriverBackend requested, const std::optional<std::vector<std::string>>& simulatedUnits) {
  const std::string vendor = "the vendor library " + std::string(kVendorLibraryName);
  switch (requested) {
    case DriverBackend::Simulated: {
      SimulatedBenchOptions bench;
      if (simulatedUnits) bench.unitSerialNumbers = *simulatedUnits;
      return {MakeSimulatedDriverLoader(bench), DriverBackend::Simulated, "the simulated unit"};
    }
    case DriverBackend::Vendor:
      return {MakeVendorDriverLoader(), DriverBackend::Vendor, vendor};
    case DriverBackend::LibFtdi:
      return LibFtdi("");
    case DriverBackend::Automatic:
      break;
  }
#ifndef _WIN32
  // Loading it once here unloads it again; the session binds its own.
  if (MakeVendorDriverLoader()->Load() != nullptr) return {MakeVendorDriverLoader(), DriverBackend::Vendor, vendor};
#ifdef KESTROVA_HAVE_LIBFTDI
  return LibFtdi(" (" + vendor + " did not load)");
#endif
#endif
  return {MakeVendorDriverLoader(), DriverBackend::Vendor, vendor};
}

}  // namespace kestrova::cli
