#include "cli/Commands.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>

#include "acquisition/LabelTables.h"
#include "cli/CaptureRun.h"
#include "cli/CaptureSettings.h"
#include "cli/CliOptions.h"
#include "cli/MeasureWriter.h"
#include "cli/OutputSink.h"
#include "cli/StopSignals.h"
#include "cli/UnitLink.h"
#include "device/CommandProtocol.h"
#include "device/DriverChoice.h"
#include "device/TerminalCommand.h"
#include "simulator/SimulatedDriver.h"

namespace kestrova::cli {

namespace {

int Report(std::ostream& err, const Failure& failure) {
  if (failure.failed()) err << "kestrova-cli: " << failure.message << '\n';
  return static_cast<int>(failure.code);
}

// The text a command prints on standard output, each piece flushed. A
// reader that closed the pipe (`| head -1`) has had what it wanted: the rest
// is dropped and the command ends as it would have, nothing said. Any other
// refusal (a full disk) leaves the output incomplete, which is a failure.
class PrintedText {
 public:
  explicit PrintedText(std::ostream& out) : out_(out) {}

  // False once the output is gone.
  bool Print(const std::string& text) {
    if (!out_.good()) return false;
    errno = 0;
    out_ << text << std::flush;
    if (out_.good()) return true;
    readerClosed_ = errno == EPIPE;
    if (readerClosed_ && &out_ == &std::cout) DropUnwrittenStandardOutput();
    return false;
  }

  // The command's exit code, or OutputFailure when its output was refused.
  [[nodiscard]] int Finish(std::ostream& err, int code) const {
    if (out_.good() || readerClosed_ || code != 0) return code;
    return Report(err, {ExitCode::OutputFailure, std::string(kStandardOutputFailed) + "; the output is incomplete"});
  }

 private:
  std::ostream& out_;
  bool readerClosed_ = false;
};

int RunList(const Options& options, UnitLink& link, std::ostream& out, std::ostream& err) {
  std::vector<std::string> serials;
  if (Failure failure = link.ListUnits(serials); failure.failed()) return Report(err, failure);
  std::string lines;
  for (const std::string& serial : serials) {
    lines += serial;
    lines += '\t';
    lines += kUnitDescription;
    lines += '\t';
    lines += BackendName(options.driver);
    lines += '\n';
  }
  PrintedText printed(out);
  printed.Print(lines);
  return printed.Finish(err, 0);
}

int RunCheck(const Options& options, UnitLink& link, std::ostream& out, std::ostream& err) {
  if (Failure failure = link.ChooseUnit(options.serial); failure.failed()) return Report(err, failure);
  std::string identification;
  if (Failure failure = link.CheckUnit(identification); failure.failed()) return Report(err, failure);
  PrintedText printed(out);
  printed.Print(identification + '\n');
  return printed.Finish(err, 0);
}

int RunSend(const Options& options, UnitLink& link, std::ostream& out, std::ostream& err) {
  if (Failure failure = link.ChooseUnit(options.serial); failure.failed()) return Report(err, failure);
  DeviceSession& session = link.Session();
  // Replies go to the terminal, as while the window's terminal is open.
  session.SetTerminalOpen(true);
  if (Failure failure = link.Open(); failure.failed()) return Report(err, failure);
  std::optional<std::uint8_t> checksum;
  if (options.checksum) checksum = BodyChecksum(options.text);
  session.QueueCommand(TerminalFrame(FramingByte(options.start), CommandBytes(options.text), checksum,
                                     FramingByte(options.end)));
  // Every reply within the wait, printed as it comes.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.waitMs);
  const std::array<Event*, 2> waited = {&link.Events().linkLost, &link.Events().frameReady};
  Failure failure;
  PrintedText printed(out);
  bool printing = true;
  while (printing && !StopSignals::Requested()) {
    const auto now = std::chrono::steady_clock::now();
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    const int signalled = WaitAny(waited, std::clamp(left, std::chrono::milliseconds(0), std::chrono::milliseconds(50)));
    for (const std::vector<std::uint8_t>& payload : link.Events().TakeTerminalFrames())
      printing = printing && printed.Print(std::string(PayloadText(payload)) + '\n');
    if (signalled == 0) {
      failure = {ExitCode::UnitFailure, "the link to unit " + std::string(session.SerialNumber()) + " was lost"};
      break;
    }
    if (now >= deadline) break;
  }
  session.CloseSession();
  session.SetTerminalOpen(false);
  return printed.Finish(err, Report(err, failure));
}

std::unique_ptr<FrameWriter> WriterFor(const Options& options) {
  switch (options.command) {
    case Command::Log: return std::make_unique<LogLineWriter>();
    case Command::Measure: return MakeMeasureWriter();
    default: break;
  }
  if (options.format == OutputFormat::Jsonl) return std::make_unique<JsonlFrameWriter>();
  if (options.format == OutputFormat::Sr) return std::make_unique<SrFrameWriter>();
  return std::make_unique<CsvFrameWriter>();
}

int RunAcquisition(const Options& options, UnitLink& link, std::ostream& err) {
  CaptureSettings capture = BuildCaptureSettings(options.settings);
  if (!capture.refusal.empty()) return Report(err, {ExitCode::Usage, capture.refusal});
  for (const std::string& adjustment : capture.adjustments) err << "kestrova-cli: note: " << adjustment << '\n';
  if (options.interval) capture.settings.realSaveIndex = *options.interval;

  RunLimits limits{options.frames, options.seconds, options.timeout};
  // A capture without a count takes one frame; log and measure run until
  // stopped.
  if (options.command == Command::Capture && !limits.frames && !limits.seconds) limits.frames = 1;

  if (Failure failure = link.ChooseUnit(options.serial); failure.failed()) return Report(err, failure);
  std::unique_ptr<FrameWriter> writer = WriterFor(options);
  if (writer == nullptr) return Report(err, {ExitCode::Usage, "this build has no measurement module"});
  OutputSink output(options.output);
  ProgressLine progress(options.progress);
  CaptureRun run(
      link, capture.settings, *writer, output, progress,
      [&err](const std::string& line) { err << "kestrova-cli: " << line << '\n' << std::flush; },
      [] { return StopSignals::Requested(); });
  return Report(err, run.Run(limits));
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                   const ServeCommand& serve) {
  // From the start: even the help text may meet a pipe that has closed.
  const StopSignals signals;
  const ParseResult parsed = ParseArguments(arguments);
  if (!parsed.ok()) {
    err << "kestrova-cli: " << parsed.error << "\nTry 'kestrova-cli --help'.\n";
    return static_cast<int>(ExitCode::Usage);
  }
  const Options& options = parsed.options;
  if (options.help || options.version) {
    PrintedText printed(out);
    printed.Print(options.help ? HelpText(options.command) : VersionText() + '\n');
    return printed.Finish(err, 0);
  }

  DriverChoice driver = ChooseDriver(options.driver, [&options] {
    SimulatedBenchOptions bench;
    if (options.simulatedUnits) bench.unitSerialNumbers = *options.simulatedUnits;
    return MakeSimulatedDriverLoader(bench);
  });
  if (driver.loader == nullptr) return Report(err, {ExitCode::UnitFailure, driver.description});
  Options chosen = options;
  chosen.driver = driver.backend;
  UnitLink link(std::move(driver.loader), driver.description);
  switch (options.command) {
    case Command::List: return RunList(chosen, link, out, err);
    case Command::Check: return RunCheck(chosen, link, out, err);
    case Command::Send: return RunSend(chosen, link, out, err);
    case Command::Capture:
    case Command::Log:
    case Command::Measure: return RunAcquisition(chosen, link, err);
    case Command::Serve:
      if (!serve) return Report(err, {ExitCode::Usage, "this build has no instrument server"});
      return serve(chosen, link, err);
    case Command::None: break;
  }
  return static_cast<int>(ExitCode::Usage);
}

}  // namespace kestrova::cli
