#include "device/DriverChoice.h"

#ifdef KESTROVA_HAVE_LIBFTDI
#include "device/LibFtdiDriver.h"
#endif

namespace kestrova {

bool LibFtdiBackendBuilt() {
#ifdef KESTROVA_HAVE_LIBFTDI
  return true;
#else
  return false;
#endif
}

namespace {

DriverChoice LibFtdiChoice(const std::string& why) {
#ifdef KESTROVA_HAVE_LIBFTDI
  return {MakeLibFtdiDriverLoader(), DriverBackend::LibFtdi, LibFtdiVersionText() + why};
#else
  return {nullptr, DriverBackend::LibFtdi,
          "this build has no libftdi1 backend (libftdi1 was not found when it was built)" + why};
#endif
}

}  // namespace

DriverChoice ChooseDriver(DriverBackend requested, const SimulatedLoaderFactory& simulated,
                          const std::string& vendorLibrary) {
  const std::string vendor = "the vendor library " + vendorLibrary;
  switch (requested) {
    case DriverBackend::Simulated:
      return {simulated(), DriverBackend::Simulated, "the simulated unit"};
    case DriverBackend::Vendor:
      return {MakeVendorDriverLoader(vendorLibrary), DriverBackend::Vendor, vendor};
    case DriverBackend::LibFtdi:
      return LibFtdiChoice("");
    case DriverBackend::Automatic:
      break;
  }
#ifndef _WIN32
  // Loading it once here also unloads it again; the session binds its own.
  if (MakeVendorDriverLoader(vendorLibrary)->Load() != nullptr)
    return {MakeVendorDriverLoader(vendorLibrary), DriverBackend::Vendor, vendor};
  if (LibFtdiBackendBuilt()) return LibFtdiChoice(" (" + vendor + " did not load)");
  return {MakeVendorDriverLoader(vendorLibrary), DriverBackend::Vendor,
          vendor + " (it did not load, and this build has no libftdi1 backend)"};
#else
  return {MakeVendorDriverLoader(vendorLibrary), DriverBackend::Vendor, vendor};
#endif
}

}  // namespace kestrova
