#pragma once

#include <iosfwd>

#include "cli/CliOptions.h"
#include "cli/UnitLink.h"

namespace kestrova::server {

// `kestrova-cli serve`: listens, opens the unit and streams, and answers
// SCPI commands until SIGINT or SIGTERM; then stops and parks the unit and
// returns the exit code. Messages go to `err`. Main thread.
int RunServe(const cli::Options& options, cli::UnitLink& link, std::ostream& err);

}  // namespace kestrova::server
