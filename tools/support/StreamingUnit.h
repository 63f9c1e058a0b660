#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

#include "FakeLibFtdi.h"

namespace kestrova::tools {

// The unit at full rate behind the model of the bridge chip: numbered 'T'
// frames (NumberedUnitFrame 0, 1, 2, ...) back to back on the wire, one
// queued behind the one in flight so the link never idles. It must be the
// only sender to the chip, so that frame n is the chip's Send n.
// Thread-safe; the frames go out from a thread of its own
// (kUnitThreadName) from Start until Stop or destruction.
class StreamingUnit {
 public:
  static constexpr const char* kUnitThreadName = "kes-unit-model";

  explicit StreamingUnit(fakes::FakeLibFtdi& chip) : chip_(chip) {}
  ~StreamingUnit() { Stop(); }
  StreamingUnit(const StreamingUnit&) = delete;
  StreamingUnit& operator=(const StreamingUnit&) = delete;

  void Start();
  // No frame goes out after this returns; the last ones may still be on the
  // wire.
  void Stop();

  // Frames put on the wire so far.
  [[nodiscard]] std::uint32_t Sent() const { return sent_.load(); }
  // When the last byte of frame n reached the chip; nothing before it has.
  [[nodiscard]] std::optional<std::chrono::steady_clock::time_point> LastByteAtChip(std::uint32_t n) {
    return chip_.ArrivalOfSend(n);
  }

 private:
  void Stream(const std::stop_token& stop);

  fakes::FakeLibFtdi& chip_;
  std::atomic<std::uint32_t> sent_{0};
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::jthread thread_;
};

}  // namespace kestrova::tools
