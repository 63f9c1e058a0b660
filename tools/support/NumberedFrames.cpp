#include "support/NumberedFrames.h"

#include <array>
#include <cstdlib>
#include <iterator>
#include <string_view>

#include "acquisition/FrameDecoder.h"
#include "acquisition/SampleBuffer.h"
#include "device/CommandProtocol.h"

namespace kestrova::tools {

namespace {

constexpr std::uint32_t kFieldMask = 0xFFF;
constexpr int kFieldBits = 12;

void AppendField(std::string& body, unsigned value) {
  static constexpr std::string_view kHex = "0123456789ABCDEF";
  for (int shift = 12; shift >= 0; shift -= 4) body += kHex[(value >> static_cast<unsigned>(shift)) & 0xFU];
}

}  // namespace

std::string NumberedUnitFrame(std::uint32_t number) {
  std::string body;
  body.reserve(1 + static_cast<std::size_t>(kSamplesPerFrame) * kChannelCount * 4);
  body += static_cast<char>(kTriggeredFrame);
  for (int i = 0; i < kSamplesPerFrame; ++i) {
    for (int c = 0; c < static_cast<int>(kChannelCount); ++c) {
      unsigned value = static_cast<unsigned>(std::abs((i * (c + 1)) % 80 - 40) + 10 * c);
      if (i == 0 && c == 0) value = number & kFieldMask;
      if (i == 0 && c == 1) value = (number >> kFieldBits) & kFieldMask;
      AppendField(body, value);
    }
  }
  return FrameCommand(body);
}

std::uint32_t FrameNumberOf(std::uint16_t channel1, std::uint16_t channel2) {
  return (channel1 & kFieldMask) | ((channel2 & kFieldMask) << kFieldBits);
}

void FrameSequence::Stored(std::uint32_t number) {
  ++stored_;
  if (!seen_.insert(number).second) {
    ++duplicated_;
    return;
  }
  if (number < highest_) ++reordered_;
  highest_ = std::max<std::int64_t>(highest_, number);
}

std::uint64_t FrameSequence::StoredOf(std::uint32_t sent) const {
  return static_cast<std::uint64_t>(std::distance(seen_.begin(), seen_.lower_bound(sent)));
}

FrameSequence::Summary FrameSequence::Check(std::uint32_t sent) const {
  Summary summary;
  summary.stored = stored_;
  summary.duplicated = duplicated_;
  summary.reordered = reordered_;
  const std::uint64_t known = StoredOf(sent);
  summary.missing = sent - known;
  summary.foreign = seen_.size() - known;
  return summary;
}

}  // namespace kestrova::tools
