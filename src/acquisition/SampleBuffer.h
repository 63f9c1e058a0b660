#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "acquisition/DisplayMapping.h"

namespace kestrova {

struct ScopeSettings;

inline constexpr int kHistoryFrames = 100;
inline constexpr int kSamplesPerFrame = 500;

// The history ring: 100 frames of 4 channels of 500 samples, each as a scaled
// value and as the display row it had when it was decoded.
//
// Owned by the main window; user-interface thread only.
class SampleBuffer {
 public:
  // Sizes the ring; the storage lives until the buffer is destroyed.
  void Allocate();
  [[nodiscard]] bool IsAllocated() const { return !values_.empty(); }

  // Frame f (0..99), channel c (0..3).
  std::span<double, kSamplesPerFrame> Values(int frame, int channel);
  [[nodiscard]] std::span<const double, kSamplesPerFrame> Values(int frame, int channel) const;
  std::span<std::int32_t, kSamplesPerFrame> Rows(int frame, int channel);
  [[nodiscard]] std::span<const std::int32_t, kSamplesPerFrame> Rows(int frame, int channel) const;

  int writeIndex = 0;       // slot the next decoded frame goes into, 0..99
  int viewIndex = 0;        // history position chosen with the scroll bar
  int viewIndexAtStop = 0;  // viewIndex when acquisition last stopped
  int frameCount = 0;       // frames stored since Start, saturating at 100
  char lastFrameType = 0;   // type of the last checksum-valid frame
  int triggerCount = 0;     // triggered frames counted since Start

  // The capture the ring holds, as the frames were stored: the time base
  // they were sampled at, the slot after the newest one, and how many there
  // are (0..100, counted afresh when the time base changes). The Time list
  // may move on while stopped, which resets writeIndex for the display; the
  // export still describes what was captured. Clearing the ring empties it.
  int captureTimePerDivision = 0;
  int captureEnd = 0;
  int captureFrames = 0;

 private:
  [[nodiscard]] static std::size_t Offset(int frame, int channel);

  std::vector<double> values_;
  std::vector<std::int32_t> rows_;
};

// Every value 0.0 and every row that of value 0 under the given mapping.
void ClearSampleBuffer(SampleBuffer& buffer, const DisplayMapping& mapping);

// Start-up: allocate and clear the ring, reset its indices and counters, and
// compute the display mapping of the current mode.
void AllocateSampleBuffer(SampleBuffer& buffer, ScopeSettings& settings);

}  // namespace kestrova
