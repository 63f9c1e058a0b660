#include "display/DisplayMouse.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "acquisition/DisplayMapping.h"
#include "acquisition/NumberText.h"

namespace kestrova {

namespace {

bool IsChannel(int index) {
  return index >= 0 && index < kChannelCount;
}

// "%d" of a value truncated toward zero; the value is a row mapped back onto
// the axis, so it is finite, but keep the conversion defined regardless.
std::string TruncatedText(double value) {
  if (std::isnan(value)) return "0";
  constexpr auto kMax = static_cast<double>(std::numeric_limits<int>::max());
  constexpr auto kMin = static_cast<double>(std::numeric_limits<int>::min());
  return FormatInt(static_cast<long long>(std::trunc(std::clamp(value, kMin, kMax))));
}

}  // namespace

MouseOutcome DisplayMouseMove(QPoint point, const Box& display, MouseButtons buttons, ScopeSettings& settings,
                              DisplayState& state) {
  MouseOutcome outcome;
  const Box plot = PlotBoxIn(display);
  const int m = settings.Mode();
  if ((buttons.left || buttons.right) && state.draggedMarker == -1 && plot.Contains(point.x(), point.y())) {
    if (buttons.right) state.cursor2X = point.x() - plot.left;
    if (buttons.left && settings.triggerUse != 0) {
      settings.triggerRow = point.y() - plot.top;
      settings.triggerLevel[m] = RowToValue(settings.mapping, settings.triggerRow);
      settings.triggerLevelText[m] = FormatFixed(settings.triggerLevel[m], 4);
      outcome.levelText = settings.triggerLevelText[m];
    }
    outcome.invalidate = true;
  } else if (buttons.left && IsChannel(state.draggedMarker) &&
             PlotAndStripBoxIn(display).Contains(point.x(), point.y())) {
    const double offset = RowToValue(settings.mapping, point.y() - plot.top);
    settings.offset[m][static_cast<std::size_t>(state.draggedMarker)] = offset;
    outcome.offsetText = OffsetEditText{state.draggedMarker, TruncatedText(offset)};
    outcome.invalidate = true;
  }
  return outcome;
}

MouseOutcome DisplayLeftButtonDown(QPoint point, const Box& display, MouseButtons buttons,
                                   ScopeSettings& settings, DisplayState& state) {
  state.draggedMarker = -1;
  const int m = settings.Mode();
  for (int c = 0; c < kChannelCount; ++c) {
    // The box around the triangle that DrawOffsetMarkers draws.
    const long long top = static_cast<long long>(display.top) +
                          ValueToRow(settings.mapping, settings.offset[m][static_cast<std::size_t>(c)]) +
                          kPlotTop - kMarkerHalfHeight;
    const long long left = static_cast<long long>(display.left) + kMarkerStripLeft;
    const long long right = static_cast<long long>(display.left) + kMarkerStripRight;
    if (left <= point.x() && point.x() < right && top <= point.y() &&
        point.y() < top + 2LL * kMarkerHalfHeight) {
      state.draggedMarker = c;
      break;
    }
  }
  return DisplayMouseMove(point, display, buttons, settings, state);
}

MouseOutcome DisplayRightButtonDown(QPoint point, const Box& display, MouseButtons buttons,
                                    ScopeSettings& settings, DisplayState& state) {
  const Box plot = PlotBoxIn(display);
  if (plot.Contains(point.x(), point.y())) state.cursor1X = point.x() - plot.left;
  return DisplayMouseMove(point, display, buttons, settings, state);
}

LeftButtonUpOutcome DisplayLeftButtonUp(QPoint point, const Box& display, bool acquisitionRunning,
                                        const ScopeSettings& settings, DisplayState& state) {
  LeftButtonUpOutcome outcome;
  if (acquisitionRunning && display.Contains(point.x(), point.y())) {
    outcome.applyForTrigger = settings.triggerUse != 0;
    outcome.applyForMarker = IsChannel(state.draggedMarker);
  }
  state.draggedMarker = -1;
  return outcome;
}

}  // namespace kestrova
