#pragma once

#include <string>
#include <vector>

#include "acquisition/ScopeSettings.h"
#include "cli/CliOptions.h"

namespace kestrova::cli {

// The settings a run of the command line captures with.
struct CaptureSettings {
  ScopeSettings settings;
  // Not empty: the window would refuse the input; says which option and why.
  std::string refusal;
  // Values the window's rules changed (limited or filled in), one sentence
  // each, for standard error.
  std::vector<std::string> adjustments;
};

// The window's defaults with the given options on top, put onto an
// in-memory copy of the window's controls and read back through the
// window's own rules: the same validation (and refusal), reading and
// clamping as F4 in the window. Main thread.
CaptureSettings BuildCaptureSettings(const SettingsOptions& options);

}  // namespace kestrova::cli
