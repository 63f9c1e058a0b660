#include "acquisition/SampleBuffer.h"

#include <algorithm>
#include <cassert>

#include "acquisition/OperationMode.h"
#include "acquisition/ScopeSettings.h"

namespace kestrova {

namespace {
constexpr std::size_t kSlotCount =
    static_cast<std::size_t>(kHistoryFrames) * kChannelCount * kSamplesPerFrame;
}

void SampleBuffer::Allocate() {
  if (IsAllocated()) return;
  values_.assign(kSlotCount, 0.0);
  rows_.assign(kSlotCount, 0);
}

std::size_t SampleBuffer::Offset(int frame, int channel) {
  assert(frame >= 0 && frame < kHistoryFrames && channel >= 0 && channel < kChannelCount);
  return (static_cast<std::size_t>(frame) * kChannelCount + static_cast<std::size_t>(channel)) *
         kSamplesPerFrame;
}

std::span<double, kSamplesPerFrame> SampleBuffer::Values(int frame, int channel) {
  return std::span<double, kSamplesPerFrame>(values_.data() + Offset(frame, channel), kSamplesPerFrame);
}
std::span<const double, kSamplesPerFrame> SampleBuffer::Values(int frame, int channel) const {
  return std::span<const double, kSamplesPerFrame>(values_.data() + Offset(frame, channel), kSamplesPerFrame);
}
std::span<std::int32_t, kSamplesPerFrame> SampleBuffer::Rows(int frame, int channel) {
  return std::span<std::int32_t, kSamplesPerFrame>(rows_.data() + Offset(frame, channel), kSamplesPerFrame);
}
std::span<const std::int32_t, kSamplesPerFrame> SampleBuffer::Rows(int frame, int channel) const {
  return std::span<const std::int32_t, kSamplesPerFrame>(rows_.data() + Offset(frame, channel),
                                                         kSamplesPerFrame);
}

void ClearSampleBuffer(SampleBuffer& buffer, const DisplayMapping& mapping) {
  buffer.Allocate();
  buffer.captureFrames = 0;
  const std::int32_t zeroRow = ValueToRow(mapping, 0.0);
  for (int f = 0; f < kHistoryFrames; ++f) {
    for (int c = 0; c < kChannelCount; ++c) {
      std::ranges::fill(buffer.Values(f, c), 0.0);
      std::ranges::fill(buffer.Rows(f, c), zeroRow);
    }
  }
}

void AllocateSampleBuffer(SampleBuffer& buffer, ScopeSettings& settings) {
  buffer.Allocate();
  RefreshDisplayMapping(settings);
  ClearSampleBuffer(buffer, settings.mapping);
  buffer.writeIndex = 0;
  buffer.viewIndex = 0;
  buffer.frameCount = 0;
  buffer.triggerCount = 0;
}

}  // namespace kestrova
