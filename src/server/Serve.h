#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "cli/CliOptions.h"
#include "cli/UnitLink.h"
#include "server/Instrument.h"
#include "server/InstrumentServer.h"

namespace kestrova::server {

// The instrument's unit: the command line's link to it. The thread that
// owns the link.
class LinkPort final : public UnitPort {
 public:
  explicit LinkPort(cli::UnitLink& link) : link_(link) {}
  void Configure(const ScopeSettings& settings, bool running) override;
  const AcquisitionRunning& Running() const override;
  void DiscardQueuedFrames() override;
  void SendTerminal(std::span<const std::uint8_t> frame) override;
  std::vector<std::string> FinishTerminal() override;

 private:
  cli::UnitLink& link_;
};

// `kestrova-cli serve`: listens, opens the unit and streams, and answers
// SCPI commands until SIGINT or SIGTERM; then stops and parks the unit and
// returns the exit code. Messages go to `err`. Main thread.
int RunServe(const cli::Options& options, cli::UnitLink& link, std::ostream& err);

// The serving itself, on an open link with the instrument started: sockets,
// frames and a lost link, until `stopRequested` (polled every 10 ms) or the
// link cannot be reconnected. The caller then stops and parks the unit.
// The thread that owns the link, the instrument and the server.
cli::Failure ServeUntilStopped(cli::UnitLink& link, Instrument& instrument, InstrumentServer& server,
                               const std::function<bool()>& stopRequested,
                               const std::function<void(const std::string&)>& note);

}  // namespace kestrova::server
