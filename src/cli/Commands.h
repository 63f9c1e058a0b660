#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace kestrova::cli {

struct Options;
class UnitLink;

// The `serve` command, from the layer above the command line; empty in a
// program built without it. Returns the exit code.
using ServeCommand = std::function<int(const Options& options, UnitLink& link, std::ostream& err)>;

// The whole program behind main(): reads the arguments, runs the command,
// writes results to `out` (text output; frame data goes through the output
// sink) and messages to `err`, and returns the exit code. Main thread.
int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                   const ServeCommand& serve = {});

}  // namespace kestrova::cli
