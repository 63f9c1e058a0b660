#pragma once

#include <string>
#include <vector>

namespace kestrova {

// The application object: holds the program-wide lock, points the settings
// store at the user's profile, and runs the main window until it closes.
class CScopeApp {
 public:
  // The whole program run. `arguments` are the command-line arguments after
  // the program name; "--simulate" selects the simulated unit. Returns the
  // process exit code.
  int InitInstance(const std::vector<std::string>& arguments);

  // True when the arguments ask for the simulated unit.
  static bool WantsSimulation(const std::vector<std::string>& arguments);
};

}  // namespace kestrova
