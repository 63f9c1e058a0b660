#pragma once

namespace kestrova::cli {

// What kestrova-cli tells the script that ran it.
enum class ExitCode : int {
  Done = 0,
  UnitFailure = 1,    // no unit, the driver or the link failed
  Usage = 2,          // bad command line, or a value the window would refuse
  NoTrigger = 3,      // nothing triggered within --timeout
  OutputFailure = 4,  // the output could not be created or written
};

}  // namespace kestrova::cli
