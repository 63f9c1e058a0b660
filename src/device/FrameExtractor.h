#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "acquisition/FrameHandoff.h"

namespace kestrova {

inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;

// Cuts the unit's byte stream into frame payloads: the bytes between STX and
// ETX. Its state persists from one Push to the next, so a frame may span any
// number of reads.
//
//  - STX always starts a new frame; a partial frame in progress is dropped.
//  - ETX inside a frame completes it (an empty payload included); outside a
//    frame it is ignored.
//  - Any other byte inside a frame is collected; the byte that would make the
//    payload longer than kMaxPayloadLength drops the frame, and the bytes
//    after it are ignored up to the next STX.
//  - Bytes outside a frame are ignored.
//
// Owned and used by one thread at a time (the receive thread).
class FrameExtractor {
 public:
  // Takes one byte. True when it completed a frame; Payload() then shows it
  // until the next Push.
  bool Push(std::uint8_t byte);

  // Feeds every byte in order and calls deliver(std::span<const std::uint8_t>)
  // for each frame completed on the way.
  template <typename Deliver>
  void Feed(std::span<const std::uint8_t> bytes, Deliver&& deliver) {
    for (const std::uint8_t byte : bytes) {
      if (Push(byte)) deliver(Payload());
    }
  }

  // The payload completed by the last Push that returned true.
  [[nodiscard]] std::span<const std::uint8_t> Payload() const { return {collect_.data(), completedLength_}; }

  // Forgets the frame in progress; bytes are ignored up to the next STX.
  // For when bytes of the stream were thrown away unread: the frame in
  // progress can then only be completed by bytes of another frame.
  void DropFrame() {
    inFrame_ = false;
    length_ = 0;
  }

  // Frames given up since the last call: cut short by the next STX, or
  // over-long. A frame DropFrame forgets is not counted.
  [[nodiscard]] std::uint64_t TakeBrokenFrames() { return std::exchange(brokenFrames_, 0); }

  [[nodiscard]] bool InFrame() const { return inFrame_; }
  // Bytes collected so far in the frame in progress.
  [[nodiscard]] std::size_t Length() const { return length_; }

 private:
  std::array<std::uint8_t, kMaxPayloadLength> collect_{};
  std::size_t length_ = 0;
  std::size_t completedLength_ = 0;
  bool inFrame_ = false;
  std::uint64_t brokenFrames_ = 0;
};

}  // namespace kestrova
