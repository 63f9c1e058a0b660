#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kestrova::cli {

// What a run has done so far.
struct RunCounts {
  long long stored = 0;           // frames stored (and written)
  long long checksumDropped = 0;  // frames refused for their checksum
  std::uint64_t queueDropped = 0; // frames that waited too long in the hand-off queue
};

// "12 frames, 11.4 frames/s, 0 dropped by checksum" (with the queue's losses
// when there are any).
std::string ProgressText(const RunCounts& counts, double seconds);

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
