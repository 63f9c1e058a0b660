#include "acquisition/FrameHandoff.h"

#include <algorithm>

namespace kestrova {

FrameHandoff::FrameHandoff(std::size_t capacity) : slots_(std::max<std::size_t>(capacity, 1)) {}

bool FrameHandoff::StoreLatest(std::span<const std::uint8_t> payload) {
  if (payload.size() > kMaxPayloadLength) return false;
  const std::lock_guard lock(mutex_);
  latest_.fill(0);
  std::ranges::copy(payload, latest_.begin());
  latestLength_.store(static_cast<std::uint16_t>(payload.size()), std::memory_order_release);
  return true;
}

bool FrameHandoff::Enqueue(std::span<const std::uint8_t> payload) {
  if (payload.size() > kMaxPayloadLength) return false;
  const std::lock_guard lock(mutex_);
  if (count_ == slots_.size()) {
    head_ = (head_ + 1) % slots_.size();
    --count_;
    ++dropped_;
    losses_.AddQueueFrames(1);
  }
  FramePayload& slot = slots_[(head_ + count_) % slots_.size()];
  std::ranges::copy(payload, slot.bytes.begin());
  slot.length = static_cast<std::uint16_t>(payload.size());
  slot.received = std::chrono::steady_clock::now();
  ++count_;
  return true;
}

bool FrameHandoff::TakeNext(FramePayload& out) {
  const std::lock_guard lock(mutex_);
  if (count_ == 0) return false;
  const FramePayload& slot = slots_[head_];
  std::copy_n(slot.bytes.begin(), slot.length, out.bytes.begin());
  out.length = slot.length;
  out.received = slot.received;
  lastTakenReceived_ = slot.received;
  head_ = (head_ + 1) % slots_.size();
  --count_;
  return true;
}

void FrameHandoff::ClearLatestLength() {
  latestLength_.store(0, std::memory_order_release);
}

std::string FrameHandoff::LatestText() const {
  const std::lock_guard lock(mutex_);
  const auto end = std::find(latest_.begin(), latest_.end(), std::uint8_t{0});
  return std::string(latest_.begin(), end);
}

void FrameHandoff::DiscardQueued() {
  const std::lock_guard lock(mutex_);
  head_ = 0;
  count_ = 0;
}

std::size_t FrameHandoff::QueuedCount() const {
  const std::lock_guard lock(mutex_);
  return count_;
}

std::uint64_t FrameHandoff::DroppedCount() const {
  const std::lock_guard lock(mutex_);
  return dropped_;
}

std::chrono::steady_clock::time_point FrameHandoff::LastTakenReceived() const {
  const std::lock_guard lock(mutex_);
  return lastTakenReceived_;
}

}  // namespace kestrova
