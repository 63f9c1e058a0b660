#include "device/FrameExtractor.h"

namespace kestrova {

bool FrameExtractor::Push(std::uint8_t byte) {
  if (byte == kStx) {
    if (inFrame_) ++brokenFrames_;
    inFrame_ = true;
    length_ = 0;
    return false;
  }
  if (!inFrame_) return false;
  if (byte == kEtx) {
    completedLength_ = length_;
    inFrame_ = false;
    length_ = 0;
    return true;
  }
  if (length_ == collect_.size()) {
    // One byte more than the longest payload: the frame is over-long.
    ++brokenFrames_;
    inFrame_ = false;
    length_ = 0;
    return false;
  }
  collect_[length_++] = byte;
  return false;
}

}  // namespace kestrova
