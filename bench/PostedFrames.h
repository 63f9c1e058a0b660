#pragma once

// The user-interface thread's side of a streaming session, for the link
// benchmarks: what the receive thread posts is counted, and the benchmark's
// thread takes the frames as the window would, waiting for the next one.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <vector>

#include "acquisition/ControlPanel.h"
#include "acquisition/FrameHandoff.h"
#include "device/SessionEvents.h"

namespace kestrova::bench {

// Frame notifications and link-lost reports, counted. The receive thread
// posts; the benchmark's thread reads and waits.
class PostedFrames final : public SessionEvents {
 public:
  void PostFrameReady() override {
    {
      const std::lock_guard lock(mutex_);
      ++posted_;
    }
    changed_.notify_one();
  }
  void PostLinkLost() override {
    const std::lock_guard lock(mutex_);
    ++linkLost_;
  }
  void PostTerminalFrame(std::vector<std::uint8_t> /*payload*/) override {}

  // The oldest payload the hand-off holds, waiting up to `limit` for a
  // frame to be posted when none is queued; false when none came.
  bool TakeNext(FrameHandoff& frames, FramePayload& out, std::chrono::milliseconds limit) {
    while (!frames.TakeNext(out)) {
      const long seen = Posted();
      if (frames.TakeNext(out)) break;  // queued before the count was read
      std::unique_lock lock(mutex_);
      if (!changed_.wait_for(lock, limit, [&] { return posted_ > seen; })) return false;
    }
    return true;
  }
  long Posted() {
    const std::lock_guard lock(mutex_);
    return posted_;
  }
  int LinkLost() {
    const std::lock_guard lock(mutex_);
    return linkLost_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  long posted_ = 0;
  int linkLost_ = 0;
};

// A status text nobody reads.
class NullField final : public ColorTextField {
 public:
  void SetTextColor(ColorRef /*color*/) override {}
  void SetBackgroundColor(ColorRef /*color*/) override {}
  void SetText(std::string_view /*text*/) override {}
};

}  // namespace kestrova::bench
