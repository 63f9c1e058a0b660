#include "acquisition/DisplayMapping.h"

#include <cmath>

namespace kestrova {

namespace {
constexpr double kRowLimit = 1.0e9;
}

DisplayMapping MappingForAxis(double yMin, double yMax) {
  DisplayMapping mapping;
  mapping.pixelsPerUnit = kPlotHeight / (yMax - yMin);
  // An empty or unreadable axis (read from the controls before they were
  // clamped): keep every number finite; the next clamp makes the axis valid.
  if (std::isnan(mapping.pixelsPerUnit)) {
    mapping.pixelsPerUnit = 1.0;
  } else if (std::isinf(mapping.pixelsPerUnit)) {
    mapping.pixelsPerUnit = mapping.pixelsPerUnit > 0 ? kRowLimit : -kRowLimit;
  } else if (mapping.pixelsPerUnit == 0.0) {
    mapping.pixelsPerUnit = 1.0 / kRowLimit;
  }
  mapping.pixelOffset = TruncToRowRange(-yMin * mapping.pixelsPerUnit);
  return mapping;
}

double RowToValue(const DisplayMapping& mapping, std::int32_t row) {
  return (kPlotHeight - mapping.pixelOffset - static_cast<double>(row)) / mapping.pixelsPerUnit;
}

}  // namespace kestrova
