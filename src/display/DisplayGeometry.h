#pragma once

#include <array>
#include <cstdint>

#include "acquisition/DisplayMapping.h"

// Fixed geometry of the scope display. Display coordinates have their origin
// at the top-left corner of the display area, plot coordinates at the top-left
// corner of the plot.
namespace kestrova {

// A rectangle given by its edges: a point (x, y) lies inside when
// left <= x < right and top <= y < bottom.
struct Box {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  [[nodiscard]] constexpr int Width() const { return right - left; }
  [[nodiscard]] constexpr int Height() const { return bottom - top; }
  [[nodiscard]] constexpr bool Contains(long long x, long long y) const {
    return left <= x && x < right && top <= y && y < bottom;
  }
  constexpr bool operator==(const Box&) const = default;
};

inline constexpr int kDisplayWidth = 580;
inline constexpr int kDisplayHeight = 460;

// The plot (kPlotWidth x kPlotHeight) lies at this display position.
inline constexpr int kPlotLeft = 60;
inline constexpr int kPlotTop = 20;

// Corners of the frame around the plot, in display coordinates.
inline constexpr int kFrameLeft = 59;
inline constexpr int kFrameTop = 19;
inline constexpr int kFrameRight = 560;
inline constexpr int kFrameBottom = 420;

// The strip right of the plot that holds the offset markers.
inline constexpr int kMarkerStripLeft = 560;
inline constexpr int kMarkerStripRight = 580;
inline constexpr int kMarkerLength = 20;
inline constexpr int kMarkerHalfHeight = 4;

// Text boxes in display coordinates.
inline constexpr int kYLabelLeft = 0;
inline constexpr int kYLabelRight = 60;
inline constexpr Box kTimeUnitBox{290, 440, 330, 480};
inline constexpr Box kCursorReadoutBox{10, 440, 200, 480};
// Time tick label k (0..10) sits centred under plot column 50k.
constexpr Box TimeTickBox(int k) {
  return Box{35 + 50 * k, 425, 85 + 50 * k, 460};
}
inline constexpr int kTimeTickCount = 11;

// Ten horizontal divisions of 50 columns each.
inline constexpr int kHorizontalDivisions = 10;
inline constexpr int kColumnsPerDivision = 50;

// One entry of the "Y Div" list: the number of divisions and the plot rows of
// the division lines (count + 1 of them, padded to 11).
struct YDivision {
  int divisions;
  int lineCount;
  std::array<int, 11> lineRows;
};

inline constexpr int kYDivisionCount = 3;
inline constexpr std::array<YDivision, kYDivisionCount> YDivisionTable = {{
    {6, 7, {0, 66, 133, 200, 266, 333, 400, 0, 0, 0, 0}},
    {8, 9, {0, 50, 100, 150, 200, 250, 300, 350, 400, 0, 0}},
    {10, 11, {0, 40, 80, 120, 160, 200, 240, 280, 320, 360, 400}},
}};

// The entry for an index of the list, out-of-range indices pulled to the
// nearest end (the index comes from stored settings).
constexpr const YDivision& YDivisionAt(int index) {
  if (index < 0) return YDivisionTable.front();
  if (index >= kYDivisionCount) return YDivisionTable.back();
  return YDivisionTable[static_cast<std::size_t>(index)];
}

// The plot rectangle and the plot-and-marker-strip rectangle for a display
// whose rectangle is `display` (in whatever coordinates `display` is given).
constexpr Box PlotBoxIn(const Box& display) {
  return Box{display.left + kPlotLeft, display.top + kPlotTop, display.left + kPlotLeft + kPlotWidth,
             display.top + kPlotTop + kPlotHeight};
}
constexpr Box PlotAndStripBoxIn(const Box& display) {
  return Box{display.left + kPlotLeft, display.top + kPlotTop, display.right,
             display.top + kPlotTop + kPlotHeight};
}

}  // namespace kestrova
