#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kestrova {

// What a run has lost of the unit's stream, by where it was lost.
struct LossCounts {
  std::uint64_t checksumFrames = 0;  // frames refused for their checksum
  std::uint64_t brokenFrames = 0;    // frames cut short by the next frame's start, or over-long
  std::uint64_t queueFrames = 0;     // frames the hand-off queue gave up for newer ones
  std::uint64_t discardedBytes = 0;  // bytes of a runaway receive backlog discarded unread
  std::uint64_t overruns = 0;        // times the bridge reported that its receive FIFO overran

  [[nodiscard]] std::uint64_t Frames() const { return checksumFrames + brokenFrames + queueFrames; }
  [[nodiscard]] bool Any() const { return Frames() != 0 || discardedBytes != 0 || overruns != 0; }
  bool operator==(const LossCounts&) const = default;
};

// The loss counters of a run. The receive thread counts broken frames,
// discarded bytes, overruns and queue drops; the window (or the
// command-line run) counts checksum failures and resets them at Start.
// Any thread; each counter is atomic on its own.
class StreamLosses {
 public:
  void AddChecksumFrames(std::uint64_t n) { checksumFrames_.fetch_add(n, std::memory_order_relaxed); }
  void AddBrokenFrames(std::uint64_t n) { brokenFrames_.fetch_add(n, std::memory_order_relaxed); }
  void AddQueueFrames(std::uint64_t n) { queueFrames_.fetch_add(n, std::memory_order_relaxed); }
  void AddDiscardedBytes(std::uint64_t n) { discardedBytes_.fetch_add(n, std::memory_order_relaxed); }
  void AddOverruns(std::uint64_t n) { overruns_.fetch_add(n, std::memory_order_relaxed); }

  [[nodiscard]] LossCounts Counts() const;
  void Reset();

 private:
  std::atomic<std::uint64_t> checksumFrames_{0};
  std::atomic<std::uint64_t> brokenFrames_{0};
  std::atomic<std::uint64_t> queueFrames_{0};
  std::atomic<std::uint64_t> discardedBytes_{0};
  std::atomic<std::uint64_t> overruns_{0};
};

// The status line's note of a run's losses: "" when nothing was lost, else
// for instance "손실: 프레임 3개, 24015바이트, USB 넘침 2회" (only the parts
// that are not zero). Each piece is a translatable text with "%1" for its
// number; `translate` gives the piece in the window's language.
using TranslateText = std::function<std::string(std::string_view)>;
std::string LossNoteText(const LossCounts& counts, const TranslateText& translate = {});

}  // namespace kestrova
