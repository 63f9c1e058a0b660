#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "device/DriverChoice.h"

namespace kestrova {

// What the command line asks for.
struct CommandLineOptions {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Run;
  DriverBackend driver = DriverBackend::Automatic;
  // --lang's language code ("ko", "en", "pt_BR"), empty for the desktop's.
  // Only its form is checked here; whether the program has the language,
  // main asks the translations it carries (AvailableLanguages).
  std::string language;
  std::string error;  // with Action::Error: what is wrong, for the user
};

// Reads the arguments after the program name (Qt's own options already
// taken out): --driver=vendor|libftdi|simulated (or "--driver NAME"),
// --simulate (the short form of --driver=simulated), --lang=CODE (or
// "--lang CODE"; the last one given counts), --help / -h and --version.
// Help and version win over everything else; anything unknown, a bad backend
// name, a language that is no language code, or two different backends are
// errors. Main thread, at start; the functions below too.
CommandLineOptions ParseCommandLine(const std::vector<std::string>& arguments);

// The program's own options checked before Qt starts, so that a mistake in
// them is answered with or without a display: everything that starts with
// "--" except the options Qt takes for itself (which it also accepts with
// two dashes, "--platform NAME"), read as ParseCommandLine reads them.
// Single-dash arguments (-platform, -style, ...) and plain words are left to
// Qt and to ParseCommandLine once Qt has taken its own.
CommandLineOptions ParseOptionsBeforeQt(const std::vector<std::string>& arguments);

// The --help text; `libftdiBuilt` says whether this build has the libftdi1
// backend.
std::string HelpText(bool libftdiBuilt);

// "kestrova 1.0".
std::string VersionText();

// The backend's name as --driver takes it.
std::string_view DriverBackendName(DriverBackend backend);

}  // namespace kestrova
