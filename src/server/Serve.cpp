#include "server/Serve.h"

#include <array>
#include <ostream>
#include <string>
#include <utility>

#include "acquisition/FrameDecoder.h"
#include "acquisition/FrameHandoff.h"
#include "cli/StopSignals.h"
#include "device/CommandProtocol.h"
#include "device/TerminalCommand.h"
#include "server/Instrument.h"
#include "server/InstrumentServer.h"

namespace kestrova::server {

namespace {

// How long a turn waits for the sockets before it looks at the frames, the
// link and the stop request again (a frame comes every ~88 ms).
constexpr std::chrono::milliseconds kTurn{10};

int Fail(std::ostream& err, const cli::Failure& failure) {
  err << "kestrova-cli: " << failure.message << '\n';
  return static_cast<int>(failure.code);
}

}  // namespace

void LinkPort::Configure(const ScopeSettings& settings, bool running) {
  link_.Running().Set(running);
  SendConfiguration(link_.Session(), settings, settings.timeIndex);
}

const AcquisitionRunning& LinkPort::Running() const {
  return link_.Running();
}

void LinkPort::DiscardQueuedFrames() {
  link_.Frames().DiscardQueued();
}

void LinkPort::SendTerminal(std::span<const std::uint8_t> frame) {
  (void)link_.Events().TakeTerminalFrames();
  link_.Session().SetTerminalOpen(true);
  link_.Session().QueueCommand(frame);
}

std::vector<std::string> LinkPort::FinishTerminal() {
  link_.Session().SetTerminalOpen(false);
  std::vector<std::string> replies;
  for (const std::vector<std::uint8_t>& payload : link_.Events().TakeTerminalFrames()) {
    // The stream's own frames are no reply.
    const bool dataFrame =
        payload.size() > kSampleFieldCount && (payload[0] == kTriggeredFrame || payload[0] == kMonitorFrame);
    if (!dataFrame) replies.emplace_back(PayloadText(payload));
  }
  return replies;
}

cli::Failure ServeUntilStopped(cli::UnitLink& link, Instrument& instrument, InstrumentServer& server,
                               const std::function<bool()>& stopRequested,
                               const std::function<void(const std::string&)>& note) {
  cli::WaitableSessionEvents& events = link.Events();
  cli::Failure failure;
  FramePayload payload;
  while (!stopRequested()) {
    server.Turn(kTurn);
    bool framed = false;
    while (link.Frames().TakeNext(payload)) {
      instrument.OnFrame(payload.View());
      framed = true;
    }
    if (framed) server.Process();
    if (!events.linkLost.IsSet()) continue;
    events.linkLost.Reset();
    DeviceSession& session = link.Session();
    if (!session.IsOpen()) continue;  // late news of a session already closed
    instrument.OnLinkLost();
    note("the link to unit " + std::string(session.SerialNumber()) + " was lost; reconnecting");
    if (!link.Reopen()) {
      failure = {cli::ExitCode::UnitFailure, "the link to unit " + std::string(session.SerialNumber()) +
                                                 " was lost and reconnecting failed"};
      break;
    }
    instrument.Reapply();
    note("reconnected to unit " + std::string(session.SerialNumber()));
  }
  return failure;
}

int RunServe(const cli::Options& options, cli::UnitLink& link, std::ostream& err) {
  ServerOptions serverOptions;
  const std::optional<Endpoint> listen = ParseEndpoint(options.listen);
  if (!listen)
    return Fail(err, {cli::ExitCode::Usage, "--listen: '" + options.listen + "' is not ADDRESS:PORT (IPv4)"});
  serverOptions.listen = *listen;
  for (const std::string& text : options.allow) {
    const std::optional<AddressRange> range = ParseRange(text);
    if (!range)
      return Fail(err, {cli::ExitCode::Usage, "--allow: '" + text + "' is not an address or ADDRESS/BITS"});
    serverOptions.allow.push_back(*range);
  }

  const NetworkLibrary network;
  if (!network.Ready())
    return Fail(err, {cli::ExitCode::OutputFailure, "the socket library cannot be started"});
  if (cli::Failure failure = link.ChooseUnit(options.serial); failure.failed()) return Fail(err, failure);
  std::string identification;
  if (cli::Failure failure = link.CheckUnit(identification); failure.failed()) return Fail(err, failure);

  const auto note = [&err](const std::string& line) {
    err << "kestrova-cli: " << line << '\n' << std::flush;
  };
  LinkPort port(link);
  Instrument instrument(port, {identification, std::string(link.Session().SerialNumber()), KESTROVA_VERSION});
  InstrumentServer server(instrument, serverOptions, note);
  std::string error;
  if (!server.Listen(error)) return Fail(err, {cli::ExitCode::OutputFailure, error});
  const std::string where = FormatAddress(listen->address) + ":" + std::to_string(server.Port());
  if (!IsLoopback(listen->address)) {
    note("warning: the unit is reachable from the network on " + where +
         "; anyone who can connect controls it (--allow limits who may)");
  }

  if (cli::Failure failure = link.Open(); failure.failed()) return Fail(err, failure);
  instrument.Start();
  note("serving unit " + std::string(link.Session().SerialNumber()) + " on " + where);

  const cli::Failure failure = ServeUntilStopped(
      link, instrument, server, [] { return cli::StopSignals::Requested(); }, note);
  link.StopAndPark(instrument.Settings());
  if (failure.failed()) return Fail(err, failure);
  return 0;
}

}  // namespace kestrova::server
