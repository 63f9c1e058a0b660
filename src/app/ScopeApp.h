#pragma once

#include "app/CommandLine.h"

namespace kestrova {

// The application object: holds the program-wide lock, points the settings
// store at the user's profile, and runs the main window until it closes.
class CScopeApp {
 public:
  // The whole program run with the given driver backend; names the bound
  // backend on standard error once. Returns the process exit code (2 when
  // the backend asked for is not in this build).
  int InitInstance(DriverBackend driver);
};

}  // namespace kestrova
