#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "acquisition/StreamLosses.h"

namespace kestrova {

// The longest payload the unit sends: type letter, 2000 four-digit fields and
// a two-digit checksum.
inline constexpr std::size_t kMaxPayloadLength = 8003;
// The frame area that holds the latest payload, zero-filled behind it.
inline constexpr std::size_t kFrameAreaSize = 10000;

// One complete frame payload (the bytes between STX and ETX).
struct FramePayload {
  std::array<std::uint8_t, kMaxPayloadLength> bytes{};
  std::uint16_t length = 0;
  // When the receive thread queued it: right after the frame's last byte was
  // read. For latency figures.
  std::chrono::steady_clock::time_point received{};

  [[nodiscard]] std::span<const std::uint8_t> View() const { return {bytes.data(), length}; }
};

// Hands complete frame payloads from the receive thread to the user-interface
// thread.
//
// Two views of the same stream:
//  - a bounded queue from which the frame decoder takes every payload exactly
//    once, in arrival order, however many arrive before it runs (when the
//    queue is full the oldest waiting payload gives way to the newest, and the
//    loss is counted, in DroppedCount and in the run's losses);
//  - the "latest frame" (FrameBuffer): the newest payload in a 10000-byte area
//    zero-filled behind it, with a 16-bit length, which the unit check and
//    the terminal read.
//
// The receive thread never waits for the user-interface thread here: the lock
// is only held for a copy of at most one payload. It also keeps the run's
// loss counters (Losses), which both threads count into.
class FrameHandoff {
 public:
  // 32 frames are 2.8 s of the stream: a receive backlog read at once (at
  // most the session's one-second limit, 11 frames) fits with room to spare
  // for a window that is itself held up meanwhile.
  static constexpr std::size_t kDefaultCapacity = 32;

  explicit FrameHandoff(std::size_t capacity = kDefaultCapacity);

  // Receive thread: stores the payload as the latest frame. Payloads longer
  // than kMaxPayloadLength are refused (the extractor never delivers one).
  bool StoreLatest(std::span<const std::uint8_t> payload);

  // Receive thread: queues the payload for the decoder. False when refused
  // for its length.
  bool Enqueue(std::span<const std::uint8_t> payload);

  // User-interface thread: the oldest queued payload, false when none waits.
  bool TakeNext(FramePayload& out);

  // Length of the latest payload; 0 until a frame arrives after the last
  // ClearLatestLength. Any thread.
  [[nodiscard]] std::uint16_t LatestLength() const { return latestLength_.load(std::memory_order_acquire); }
  // User-interface thread, before it sends a query whose reply it awaits.
  void ClearLatestLength();
  // The latest payload read as text, up to its first NUL. Any thread.
  [[nodiscard]] std::string LatestText() const;

  // User-interface thread: forget every queued payload (a new session).
  void DiscardQueued();
  [[nodiscard]] std::size_t QueuedCount() const;
  [[nodiscard]] std::uint64_t DroppedCount() const;
  // User-interface thread: when the payload TakeNext gave last was queued
  // (the epoch before the first).
  [[nodiscard]] std::chrono::steady_clock::time_point LastTakenReceived() const;

  // The losses of the current run. Any thread.
  [[nodiscard]] StreamLosses& Losses() { return losses_; }
  [[nodiscard]] const StreamLosses& Losses() const { return losses_; }

 private:
  mutable std::mutex mutex_;
  std::vector<FramePayload> slots_;
  std::size_t head_ = 0;   // oldest queued slot
  std::size_t count_ = 0;  // queued payloads
  std::uint64_t dropped_ = 0;
  std::chrono::steady_clock::time_point lastTakenReceived_{};

  std::array<std::uint8_t, kFrameAreaSize> latest_{};
  std::atomic<std::uint16_t> latestLength_{0};

  StreamLosses losses_;
};

}  // namespace kestrova
