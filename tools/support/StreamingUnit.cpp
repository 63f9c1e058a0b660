#include "support/StreamingUnit.h"

#include "device/ThreadName.h"
#include "support/NumberedFrames.h"

namespace kestrova::tools {

void StreamingUnit::Start() {
  if (thread_.joinable()) return;
  thread_ = std::jthread([this](const std::stop_token& stop) { Stream(stop); });
}

void StreamingUnit::Stop() {
  if (!thread_.joinable()) return;
  thread_.request_stop();
  thread_.join();
}

void StreamingUnit::Stream(const std::stop_token& stop) {
  SetCurrentThreadName(kUnitThreadName);
  std::uint32_t next = sent_.load();
  std::unique_lock lock(mutex_);
  while (!stop.stop_requested()) {
    const std::string frame = NumberedUnitFrame(next);
    chip_.Send(frame);
    sent_.store(++next);
    // Sleep while more than one frame waits on the wire: the next one goes
    // out as the one before it starts to leave.
    const std::size_t onWire = chip_.BytesOnWire();
    if (onWire > frame.size()) {
      wake_.wait_for(lock, stop, fakes::FakeLibFtdi::kByteTime * static_cast<long>(onWire - frame.size()),
                     [] { return false; });
    }
  }
}

}  // namespace kestrova::tools
