#pragma once

#include <memory>
#include <string>
#include <utility>

#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "captures/SrFile.h"
#include "output/LogClock.h"

// What a run writes for each frame it stores, as text: the caller hands
// each piece to the output in one write, so an interrupted run leaves whole
// frames and whole lines only. Main thread.
namespace kestrova::cli {

// A stored frame as the writers see it.
struct StoredFrame {
  const ScopeSettings& settings;
  const SampleBuffer& buffer;
  int slot;             // history slot the frame was decoded into
  long long number;     // counting from 0 in this run
  char type;            // 'T' triggered, 'M' monitor
  double seconds;       // since the run started, when the frame was taken
};

class FrameWriter {
 public:
  virtual ~FrameWriter() = default;
  // Written before the first frame (a header line, or nothing).
  [[nodiscard]] virtual std::string Begin(const ScopeSettings& settings) = 0;
  // Written for a frame (possibly nothing, as for a log line not yet due).
  [[nodiscard]] virtual std::string Frame(const StoredFrame& frame) = 0;
  // Written after the last frame, however the run ended (a trailer, or
  // nothing). False when the output cannot be completed; text then says why.
  [[nodiscard]] virtual bool End(std::string& text) {
    text.clear();
    return true;
  }
};

// The window's CSV layout (File Save): the header, then 500 lines a frame.
// At the history time bases (10 ms/div and slower) the frames are one
// stream and the time runs on across them, exactly as F5 writes the
// history; at the single-frame time bases each frame is a capture of its
// own and its time starts again at 0, so that one frame is F5's file.
class CsvFrameWriter final : public FrameWriter {
 public:
  [[nodiscard]] std::string Begin(const ScopeSettings& settings) override;
  [[nodiscard]] std::string Frame(const StoredFrame& frame) override;

 private:
  long long microseconds_ = 0;
};

// One JSON object per frame and line: frame number, type, time base, sample
// step in seconds, mode, and each ticked channel's scaled values (the
// values the display shows: sample x scale + offset).
class JsonlFrameWriter final : public FrameWriter {
 public:
  [[nodiscard]] std::string Begin(const ScopeSettings& settings) override;
  [[nodiscard]] std::string Frame(const StoredFrame& frame) override;
};

// A sigrok session file (.sr): each ticked channel's displayed values
// (sample x scale + offset) as CH1..CH4, frames one after another; the zip
// directory and metadata come at the end, so a run must reach End() for the
// file to open.
class SrFrameWriter final : public FrameWriter {
 public:
  [[nodiscard]] std::string Begin(const ScopeSettings& settings) override;
  [[nodiscard]] std::string Frame(const StoredFrame& frame) override;
  [[nodiscard]] bool End(std::string& text) override;

 private:
  std::unique_ptr<SrWriter> writer_;
};

// The window's real-time log: for every N stored frames (N from the
// interval list) one line with the local time and each channel's middle
// sample minus its offset.
class LogLineWriter final : public FrameWriter {
 public:
  explicit LogLineWriter(LocalTimeSource localTime = CurrentLocalTime) : localTime_(std::move(localTime)) {}
  [[nodiscard]] std::string Begin(const ScopeSettings& settings) override;
  [[nodiscard]] std::string Frame(const StoredFrame& frame) override;

 private:
  LocalTimeSource localTime_;
  int counter_ = 0;
};

// "%.17g"-like shortest text that reads back to the same double; JSON has
// no NaN or infinity, which become null.
std::string JsonNumber(double value);

}  // namespace kestrova::cli
