#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "simulator/SimClock.h"

namespace kestrova {

// How the USB bridge and the host driver move received bytes; the defaults
// are the full-speed bridge under the vendor library as the program leaves
// it (the program never changes the transfer size, and sets no latency
// timer on the session's handle, so the driver's default applies).
struct BridgeTiming {
  // A bulk-in packet: two status bytes, then up to 62 data bytes.
  std::size_t packetSize = 64;
  // The host driver's IN transfer (the vendor library's default, 4 KiB:
  // 64 packets, 3968 data bytes).
  std::size_t inTransferSize = 4096;
  // The chip's latency timer until one is set on the handle.
  std::chrono::milliseconds defaultLatency{16};
};

// The path a received byte takes from the wire to the host driver's
// receive queue, with the timing of the real parts:
//
//  - The bridge chip collects bytes from the wire and sends a full packet
//    as soon as it holds 62 data bytes. When its latency timer runs out (it
//    counts from the last packet sent) it sends what it holds as a short
//    packet, status bytes only when it holds nothing, and starts again.
//  - The host keeps an IN transfer queued; the transfer completes when its
//    buffer is full or a short packet ends it. Only then do its bytes reach
//    the receive queue and the driver signal the receive event.
//
// So a steady stream completes one transfer per 3968 bytes (23 a second at
// 90 909 bytes/s), and the last bytes before a pause arrive within one
// latency timer. Bytes keep their order; none is dropped here.
//
// Not thread-safe: the bench calls it under its lock only.
class BridgeReceivePath {
 public:
  explicit BridgeReceivePath(BridgeTiming timing = {});

  // Nothing held, the default latency timer and transfer size, the timer
  // restarted at `now`: the state of a freshly opened handle.
  void Reset(SimTime now);
  // Drops what the chip and the queued transfer hold (a receive purge); the
  // timer keeps running.
  void Discard();
  // The chip's latency timer; 0 is taken as 1 ms, the shortest the chip has.
  void SetLatencyTimer(std::chrono::milliseconds latency);
  // The host driver's IN transfer size (whole packets, at least one); a
  // transfer under way that already holds as much completes with the next
  // packet.
  void SetTransferSize(std::size_t inTransferSize);

  // Bytes leaving the wire back to back, one every `byteTime`, the first at
  // `firstArrival`. Appends the bytes of every transfer that completes by
  // the arrival of the last one to `completed`; returns how many completed.
  int Accept(std::span<const std::uint8_t> bytes, SimTime firstArrival, SimTime byteTime,
             std::vector<std::uint8_t>& completed);
  // Runs the latency timer up to `now` (nothing arrives meanwhile): a
  // transfer that a short packet ends by then completes into `completed`.
  int AdvanceTo(SimTime now, std::vector<std::uint8_t>& completed);
  // Ends the queued transfer now with everything held, as if a short packet
  // came: for bytes that must reach the receive queue at once, behind these.
  int Flush(std::vector<std::uint8_t>& completed);

  // The earliest a transfer can complete, as seen at `now` after AdvanceTo:
  // the timer's next expiry, or sooner, once bytes arriving back to back
  // from now could fill the transfer.
  [[nodiscard]] SimTime EarliestCompletion(SimTime now, SimTime byteTime) const;

  // Bytes off the wire that have not reached the receive queue yet.
  [[nodiscard]] std::size_t Held() const { return held_.size(); }
  // Data bytes a full transfer carries.
  [[nodiscard]] std::size_t TransferDataBytes() const { return transferData_; }
  [[nodiscard]] SimTime LatencyTimer() const { return latency_; }

 private:
  // Sends the latency timer's short packets that fall before `limit` (or at
  // it, when `inclusive`).
  int Expire(SimTime limit, bool inclusive, std::vector<std::uint8_t>& completed);
  int Complete(std::vector<std::uint8_t>& completed);

  std::size_t packetData_;
  std::size_t transferData_;
  std::size_t defaultTransferData_;
  SimTime defaultLatency_;
  SimTime latency_;
  std::vector<std::uint8_t> held_;  // the transfer's data bytes, then the chip's
  std::size_t inChip_ = 0;          // the last inChip_ bytes of held_
  SimTime lastSend_{};              // when the chip last sent a packet
};

}  // namespace kestrova
