#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kestrova::cli {

// What a run has done so far.
struct RunCounts {
  long long stored = 0;              // frames stored (and written)
  long long checksumDropped = 0;     // frames refused for their checksum
  std::uint64_t queueDropped = 0;    // frames that waited too long in the hand-off queue
  std::uint64_t brokenFrames = 0;    // frames cut short on the way (a lost start or end)
  std::uint64_t discardedBytes = 0;  // bytes of a runaway receive backlog discarded unread
  std::uint64_t overruns = 0;        // times the USB bridge reported its receive FIFO overran
};

// "12 frames in 2.0 s, 6.0 frames/s, 0 dropped by checksum", followed by
// the other losses that are not zero.
std::string ProgressText(const RunCounts& counts, double seconds);
// The run's losses for the last line on standard error, "" when nothing was
// lost: "losses: 1 dropped by checksum, 5151 bytes discarded, 2 USB overruns".
std::string LossSummary(const RunCounts& counts);

// The progress line on standard error, rewritten in place at most four
// times a second, only when standard error is a terminal. Main thread.
class ProgressLine {
 public:
  // enabled: the user did not turn it off; it still stays off when
  // standard error is not a terminal.
  explicit ProgressLine(bool enabled);
  void Update(const RunCounts& counts, bool force = false);
  // Ends the line, so later messages start on a line of their own.
  void Finish();

 private:
  bool enabled_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace kestrova::cli
