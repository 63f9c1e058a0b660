#pragma once

#include <cstdint>

namespace kestrova {

inline constexpr int kPlotWidth = 500;
inline constexpr int kPlotHeight = 400;

// Maps scaled values to plot rows: yMax lies on row 0, yMin on row 400.
struct DisplayMapping {
  double pixelsPerUnit = 4.0;    // 400 / (yMax - yMin)
  std::int32_t pixelOffset = 0;  // trunc(-yMin * pixelsPerUnit)
};

// The mapping for a Y axis. The axis is normally valid (yMin < yMax), but the
// controls can be read before they are clamped, so degenerate axes must still
// give finite, well-defined numbers.
DisplayMapping MappingForAxis(double yMin, double yMax);

// Truncation toward zero into the int32 range: NaN gives 0, values beyond
// +-1e9 saturate there (far outside any canvas, and safe to add to).
// Branch-free, so that mapping a frame's values vectorises.
inline std::int32_t TruncToRowRange(double value) {
  constexpr double kRowLimit = 1.0e9;
  const double finite = value == value ? value : 0.0;  // NaN compares unequal to itself
  const double limited = finite < -kRowLimit ? -kRowLimit : (finite > kRowLimit ? kRowLimit : finite);
  return static_cast<std::int32_t>(limited);  // truncates toward zero
}

// 400 - trunc(value * pixelsPerUnit + pixelOffset). Rows outside 0..399 are
// returned as they are; results too large for a row saturate far outside the
// plot instead of overflowing. Inline: the decoder maps 2000 values a frame.
inline std::int32_t ValueToRow(const DisplayMapping& mapping, double value) {
  return kPlotHeight - TruncToRowRange(value * mapping.pixelsPerUnit + mapping.pixelOffset);
}

// (400 - pixelOffset - row) / pixelsPerUnit.
double RowToValue(const DisplayMapping& mapping, std::int32_t row);

}  // namespace kestrova
