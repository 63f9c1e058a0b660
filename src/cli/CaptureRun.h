#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "cli/FrameWriters.h"
#include "cli/OutputSink.h"
#include "cli/ProgressLine.h"
#include "cli/UnitLink.h"

namespace kestrova::cli {

// When a run ends by itself. Without frames or seconds it runs until a stop
// is requested.
struct RunLimits {
  std::optional<long long> frames;
  std::optional<double> seconds;
  // No frame stored for this long (Normal/Single waiting for a trigger):
  // exit 3.
  std::optional<double> timeout;
};

// One acquisition run from the command line, as the window runs it: Start
// with the settings, each frame decoded by the window's decoder into the
// history ring and written at once, a lost link reconnected as the window
// reconnects it, Single stopping after its triggered frame, and at the end
// the unit stopped and parked and the output closed. Main thread.
class CaptureRun {
 public:
  // note: a line for standard error (a lost link, a reconnection).
  // stopRequested: polled between frames and at least every 50 ms.
  CaptureRun(UnitLink& link, ScopeSettings& settings, FrameWriter& writer, OutputSink& output,
             ProgressLine& progress, std::function<void(const std::string&)> note,
             std::function<bool()> stopRequested);

  // The unit must be chosen (UnitLink::ChooseUnit); the output is opened
  // here, before the unit starts.
  Failure Run(const RunLimits& limits);

  [[nodiscard]] const RunCounts& Counts() const { return counts_; }

 private:
  Failure Stream(const RunLimits& limits);
  // Decodes and writes every frame waiting in the hand-off queue. `done`
  // when a limit is reached (or Single took its shot).
  Failure TakeFrames(const RunLimits& limits, bool& done);
  // The receive side's losses into counts_.
  void NoteLinkLosses();
  // What a refused write means for the run.
  [[nodiscard]] Failure WriteFailure() const;
  // The window's reconnection after a lost link.
  bool Reconnect();

  UnitLink& link_;
  ScopeSettings& settings_;
  FrameWriter& writer_;
  OutputSink& output_;
  ProgressLine& progress_;
  std::function<void(const std::string&)> note_;
  std::function<bool()> stopRequested_;
  SampleBuffer buffer_;
  std::chrono::steady_clock::time_point start_{};
  RunCounts counts_;
};

}  // namespace kestrova::cli
