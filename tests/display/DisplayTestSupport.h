#pragma once

#include <algorithm>
#include <functional>

#include "acquisition/ControlPanel.h"
#include "acquisition/DisplayMapping.h"
#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "acquisition/TimeBaseTable.h"
#include "display/Canvas.h"
#include "display/DisplayGeometry.h"

namespace kestrova::test {

// Indices into the time-base list of the time bases the tests use by name.
inline constexpr int k2ms = 4;  // 40 us between samples: 500 samples are 20 ms
inline constexpr int k20ms = 7;
inline constexpr int k100ms = 9;
inline constexpr int k500ms = 11;
inline constexpr int k1s = 12;  // 200 us between samples, 100 frames per screen

// A scroll bar that limits its position to its range, as the real one does.
class FakeScrollBar : public ScrollBarControl {
 public:
  void SetRange(int minimum, int maximum) override {
    minimum_ = minimum;
    maximum_ = maximum;
    position_ = std::clamp(position_, minimum_, maximum_);
  }
  void SetPosition(int position) override { position_ = std::clamp(position, minimum_, maximum_); }
  [[nodiscard]] int Position() const override { return position_; }
  [[nodiscard]] int Minimum() const { return minimum_; }
  [[nodiscard]] int Maximum() const { return maximum_; }

 private:
  int minimum_ = 0;
  int maximum_ = 0;
  int position_ = 0;
};

// Settings with the given time base entry, mapping refreshed.
inline ScopeSettings SettingsAt(int timeIndex) {
  ScopeSettings settings;
  settings.timeIndex = timeIndex;
  settings.timePerDivision = TimeBaseAt(timeIndex).perDivision;
  RefreshDisplayMapping(settings);
  return settings;
}

inline SampleBuffer ClearedBuffer(const ScopeSettings& settings) {
  SampleBuffer buffer;
  ClearSampleBuffer(buffer, settings.mapping);
  return buffer;
}

// Fills one slot of one channel: value(sample) as the value, its row under
// the mapping as the row, as the frame path would store them.
inline void FillSlot(SampleBuffer& buffer, const DisplayMapping& mapping, int slot, int channel,
                     const std::function<double(int)>& value) {
  auto values = buffer.Values(slot, channel);
  auto rows = buffer.Rows(slot, channel);
  for (int k = 0; k < kSamplesPerFrame; ++k) {
    values[static_cast<std::size_t>(k)] = value(k);
    rows[static_cast<std::size_t>(k)] = ValueToRow(mapping, value(k));
  }
}

// Display-area pixel of plot point (x, y).
inline ColorRef PlotPixel(const Canvas& frame, int x, int y) {
  return frame.PixelAt(x + kPlotLeft, y + kPlotTop);
}

inline int CountPixels(const Canvas& canvas, const Box& box, ColorRef color) {
  int count = 0;
  for (int y = box.top; y < box.bottom; ++y) {
    for (int x = box.left; x < box.right; ++x) count += canvas.PixelAt(x, y) == color ? 1 : 0;
  }
  return count;
}

}  // namespace kestrova::test
