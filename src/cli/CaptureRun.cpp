#include "cli/CaptureRun.h"

#include <array>
#include <chrono>
#include <utility>

#include "acquisition/FrameDecoder.h"
#include "acquisition/NumberText.h"
#include "device/CommandProtocol.h"

namespace kestrova::cli {

namespace {

using Clock = std::chrono::steady_clock;

// How often the run looks at the stop request and its limits while no
// frame comes (a frame arrives every ~88 ms at the link's rate).
constexpr std::chrono::milliseconds kPollInterval{50};

// The decoder's calls into the window: nothing to show here.
class NoDecoderHooks final : public FrameDecoderHooks {
 public:
  void WriteRealSaveLine() override {}
  void InvalidateDisplay() override {}
  void ShowElapsedTime() override {}
};

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

CaptureRun::CaptureRun(UnitLink& link, ScopeSettings& settings, FrameWriter& writer, OutputSink& output,
                       ProgressLine& progress, std::function<void(const std::string&)> note,
                       std::function<bool()> stopRequested)
    : link_(link),
      settings_(settings),
      writer_(writer),
      output_(output),
      progress_(progress),
      note_(std::move(note)),
      stopRequested_(std::move(stopRequested)) {}

Failure CaptureRun::Run(const RunLimits& limits) {
  if (!output_.Open()) return {ExitCode::OutputFailure, output_.Error()};
  if (Failure failure = link_.Open(); failure.failed()) {
    output_.Close();
    return failure;
  }
  Failure failure = Stream(limits);
  link_.StopAndPark(settings_);
  // The trailer (a .sr file's directory) whatever ended the run, so that the
  // frames already written stay readable; not after the output failed.
  if (failure.code != ExitCode::OutputFailure) {
    std::string trailer;
    if (!writer_.End(trailer)) {
      if (!failure.failed()) failure = {ExitCode::OutputFailure, trailer};
    } else if (!trailer.empty() && !output_.Write(trailer) && !failure.failed()) {
      failure = WriteFailure();
    }
  }
  progress_.Update(counts_, true);
  progress_.Finish();
  // Said whether or not the progress line was shown.
  if (const std::string losses = LossSummary(counts_); !losses.empty()) note_(losses);
  if (!output_.Close() && !failure.failed()) failure = {ExitCode::OutputFailure, output_.Error()};
  if (failure.code == ExitCode::OutputFailure) failure.message += "; the output is incomplete";
  return failure;
}

Failure CaptureRun::Stream(const RunLimits& limits) {
  // The header first: an output that refuses it never sees the unit start.
  if (!output_.Write(writer_.Begin(settings_))) return WriteFailure();

  // Start, as the window's Start does it: a fresh history, nothing left
  // from an earlier session, the configuration with the run bit.
  AllocateSampleBuffer(buffer_, settings_);
  link_.Frames().DiscardQueued();
  link_.Frames().Losses().Reset();
  link_.Running().Set(true);
  buffer_.lastFrameType = 0;
  SendConfiguration(link_.Session(), settings_, settings_.timeIndex);

  start_ = Clock::now();
  Clock::time_point lastFrame = start_;
  WaitableSessionEvents& events = link_.Events();
  const std::array<Event*, 2> waited = {&events.linkLost, &events.frameReady};
  while (!stopRequested_()) {
    if (limits.seconds && SecondsSince(start_) >= *limits.seconds) return {};
    if (limits.timeout && SecondsSince(lastFrame) >= *limits.timeout) {
      return {ExitCode::NoTrigger, "nothing triggered within " + FormatGeneral(*limits.timeout) + " s"};
    }
    const int signalled = WaitAny(waited, kPollInterval);
    if (signalled == 0 && !Reconnect()) {
      return {ExitCode::UnitFailure, "the link to unit " + std::string(link_.Session().SerialNumber()) +
                                         " was lost and reconnecting failed; the frames before are kept"};
    }
    const long long before = counts_.stored;
    bool done = false;
    if (Failure failure = TakeFrames(limits, done); failure.failed() || done) return failure;
    if (counts_.stored != before) lastFrame = Clock::now();
    progress_.Update(counts_);
  }
  return {};
}

Failure CaptureRun::TakeFrames(const RunLimits& limits, bool& done) {
  NoDecoderHooks hooks;
  RecordingTextField triggerStatus;
  MemoryScrollBar scroll;
  FrameDecoder decoder(settings_, buffer_, link_.Running(), triggerStatus, scroll, hooks);
  FramePayload payload;
  while (link_.Frames().TakeNext(payload)) {
    const int slot = buffer_.writeIndex;
    const FrameOutcome outcome = decoder.OnFrameReady(payload.View());
    if (outcome == FrameOutcome::Rejected) ++counts_.checksumDropped;
    if (outcome != FrameOutcome::Stored) continue;
    const StoredFrame frame{settings_, buffer_, slot, counts_.stored, buffer_.lastFrameType, SecondsSince(start_)};
    if (!output_.Write(writer_.Frame(frame))) {
      done = true;
      return WriteFailure();
    }
    ++counts_.stored;
    NoteLinkLosses();
    // Single shot: the triggered frame ends the run, as in the window.
    const bool singleShot = buffer_.lastFrameType == 'T' && settings_.triggerStop != 0;
    if ((limits.frames && counts_.stored >= *limits.frames) || singleShot) {
      done = true;
      return {};
    }
  }
  NoteLinkLosses();
  return {};
}

void CaptureRun::NoteLinkLosses() {
  const LossCounts losses = link_.Frames().Losses().Counts();
  counts_.queueDropped = losses.queueFrames;
  counts_.brokenFrames = losses.brokenFrames;
  counts_.discardedBytes = losses.discardedBytes;
  counts_.overruns = losses.overruns;
}

Failure CaptureRun::WriteFailure() const {
  // A reader that closed the pipe (`| head`) ends the run as a stop request
  // does: the unit is stopped and parked, and that is no failure.
  if (output_.ReaderClosed()) return {};
  return {ExitCode::OutputFailure, output_.Error()};
}

bool CaptureRun::Reconnect() {
  DeviceSession& session = link_.Session();
  // Late news of a session already closed: nothing to recover.
  if (!session.IsOpen()) return true;
  note_("the link to unit " + std::string(session.SerialNumber()) + " was lost; reconnecting");
  if (!link_.Reopen()) return false;
  link_.Running().Set(true);
  buffer_.lastFrameType = 0;
  SendConfiguration(session, settings_, settings_.timeIndex);
  note_("reconnected to unit " + std::string(session.SerialNumber()));
  return true;
}

}  // namespace kestrova::cli
