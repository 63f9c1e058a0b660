#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kestrova::cli {

// The whole program behind main(): reads the arguments, runs the command,
// writes results to `out` (text output; frame data goes through the output
// sink) and messages to `err`, and returns the exit code. Main thread.
int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace kestrova::cli
