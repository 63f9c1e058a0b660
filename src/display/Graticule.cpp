#include "display/Graticule.h"

#include "display/DisplayColors.h"
#include "display/DisplayGeometry.h"

namespace kestrova {

namespace {
constexpr int kCentreRow = kPlotHeight / 2;
constexpr int kCentreColumn = kPlotWidth / 2;
constexpr int kTickLength = 5;
constexpr int kSideTicksPerDivision = 5;
constexpr int kDotSpacing = 5;
}  // namespace

Canvas BuildGraticule(const ScopeSettings& settings) {
  const DisplayColors colors = DisplayColorsFor(settings.colorReverse != 0);
  const ColorRef ink = colors.foreground;
  Canvas canvas(kPlotWidth, kPlotHeight, colors.background);

  // Horizontal centre axis: a dot on every second column, a short cross tick
  // every ten.
  for (int x = 2; x <= kPlotWidth; x += 2) {
    canvas.SetPixel(x, kCentreRow, ink);
    if (x % 10 == 0) canvas.DrawLine(x, kCentreRow - kTickLength, x, kCentreRow + kTickLength, ink);
  }
  // Ticks along the top and bottom edges every ten columns.
  for (int x = 10; x <= kPlotWidth; x += 10) {
    canvas.DrawLine(x, 0, x, kTickLength, ink);
    canvas.DrawLine(x, kPlotHeight, x, kPlotHeight - kTickLength, ink);
  }
  // Vertical centre axis, likewise.
  for (int y = 2; y <= kPlotHeight; y += 2) {
    canvas.SetPixel(kCentreColumn, y, ink);
    if (y % 10 == 0) canvas.DrawLine(kCentreColumn - kTickLength, y, kCentreColumn + kTickLength, y, ink);
  }

  // Five ticks per vertical division along both side edges; none on row 0,
  // where the top edge ticks already are.
  const YDivision& division = YDivisionAt(settings.yDivision);
  for (int line = 0; line + 1 < division.lineCount; ++line) {
    const int upper = division.lineRows[static_cast<std::size_t>(line)];
    const int lower = division.lineRows[static_cast<std::size_t>(line) + 1];
    const int gap = (lower - upper) / kSideTicksPerDivision;
    for (int r = upper; r <= lower - gap; r += gap) {
      if (r == 0) continue;
      canvas.DrawLine(0, r, kTickLength, r, ink);
      canvas.DrawLine(kPlotWidth, r, kPlotWidth - kTickLength, r, ink);
    }
  }

  // Dotted grid: inner division lines across, every fifth column; the nine
  // inner time divisions down, every fifth row.
  for (int line = 1; line + 1 < division.lineCount; ++line) {
    const int row = division.lineRows[static_cast<std::size_t>(line)];
    for (int x = 0; x < kPlotWidth; x += kDotSpacing) canvas.SetPixel(x, row, ink);
  }
  for (int x = kColumnsPerDivision; x < kPlotWidth; x += kColumnsPerDivision) {
    for (int y = 0; y < kPlotHeight; y += kDotSpacing) canvas.SetPixel(x, y, ink);
  }
  return canvas;
}

}  // namespace kestrova
