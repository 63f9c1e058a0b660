#include "display/DisplayControls.h"

#include <algorithm>
#include <array>
#include <optional>

#include "acquisition/ControlIds.h"
#include "acquisition/NumberText.h"
#include "acquisition/TimeBaseTable.h"
#include "display/DisplayGeometry.h"

namespace kestrova {

namespace {

constexpr int kPageStep = 10;

// The channel panel that "Extended Display" shows and hides: the group box,
// the column titles "Scale" to "Disp_data", and per channel its "Ch n" box,
// scale and offset edits, unsigned box, colour button and value read-out.
constexpr std::array<int, 30> kChannelPanelControls = [] {
  std::array<int, 30> ids{};
  std::size_t i = 0;
  ids[i++] = ctl::ChannelGroup;
  for (const int id : {ctl::ScaleCaption, ctl::OffsetCaption, ctl::UnsignedCaption, ctl::ColorCaption,
                       ctl::DispDataCaption}) {
    ids[i++] = id;
  }
  for (std::size_t c = 0; c < 4; ++c) {
    ids[i++] = ctl::ChannelEnable[c];
    ids[i++] = ctl::ScaleEdit[c];
    ids[i++] = ctl::OffsetEdit[c];
    ids[i++] = ctl::UnsignedCheck[c];
    ids[i++] = ctl::TraceColor[c];
    ids[i++] = ctl::ValueReadout[c];
  }
  return ids;
}();

constexpr DisplayRefresh kRebuildAll{true, true, true};

}  // namespace

std::optional<int> ScrollTarget(ScrollRequest request, int current, int trackPosition) {
  switch (request) {
    case ScrollRequest::LineLeft:
      return current - 1;
    case ScrollRequest::LineRight:
      return current + 1;
    case ScrollRequest::PageLeft:
      return current - kPageStep;
    case ScrollRequest::PageRight:
      return current + kPageStep;
    case ScrollRequest::ThumbTrack:
      return trackPosition;
    case ScrollRequest::ThumbPosition:
    case ScrollRequest::EndScroll:
    case ScrollRequest::Other:
      break;
  }
  return std::nullopt;
}

void ResetHistoryScroll(int timeIndex, ScrollBarControl& bar) {
  bar.SetRange(0, TimeBaseAt(timeIndex).scrollMax);
  bar.SetPosition(0);
}

bool ScrollHistory(ScrollRequest request, int trackPosition, const ScopeSettings& settings,
                   bool acquisitionRunning, ScrollBarControl& bar, SampleBuffer& buffer) {
  if (acquisitionRunning || settings.timePerDivision >= 10000) return false;
  const std::optional<int> target = ScrollTarget(request, bar.Position(), trackPosition);
  if (target) {
    bar.SetPosition(*target);
    buffer.viewIndex = bar.Position();
  }
  return true;
}

TimeBaseChange ChangeTimeBase(int selection, bool acquisitionRunning, ScopeSettings& settings,
                              SampleBuffer& buffer, ScrollBarControl& bar) {
  settings.timePerDivision = TimeBaseAt(selection).perDivision;
  ResetHistoryScroll(selection, bar);
  buffer.writeIndex = 0;
  buffer.viewIndex = 0;
  TimeBaseChange change;
  change.refresh = DisplayRefresh{false, true, true};
  if (acquisitionRunning) {
    buffer.viewIndexAtStop = 0;
    ClearSampleBuffer(buffer, settings.mapping);
    change.applyConfiguration = true;
  }
  return change;
}

DisplayRefresh ChangeYDivision(int selection, ScopeSettings& settings) {
  settings.yDivision = std::clamp(selection, 0, kYDivisionCount - 1);
  return kRebuildAll;
}

ExtendedDisplayLayout SetExtendedDisplay(bool ticked, ScopeSettings& settings) {
  settings.extendedDisplay = ticked ? 1 : 0;
  return ExtendedDisplayLayout{ticked ? kExtendedWindowHeight : kCompactWindowHeight, ticked,
                               kChannelPanelControls};
}

int UncutClientHeight(int wanted, std::span<const ControlRows> controls) {
  int height = std::max(wanted, 0);
  // Moving up can land inside another control that starts higher: repeat
  // until the edge crosses none.
  for (bool moved = true; moved;) {
    moved = false;
    for (const ControlRows& control : controls) {
      if (control.top < height && control.bottom > height) {
        height = std::max(control.top, 0);
        moved = true;
      }
    }
  }
  return height;
}

DisplayRefresh SetAxisScale(bool ticked, std::string_view factorText, ScopeSettings& settings) {
  const int m = settings.Mode();
  settings.axisScaleEnable[m] = ticked ? 1 : 0;
  settings.axisScaleFactor[m] = LeadingDecimalValue(factorText);
  return DisplayRefresh{false, true, true};
}

DisplayRefresh SetColorReverse(bool ticked, ScopeSettings& settings) {
  settings.colorReverse = ticked ? 1 : 0;
  return kRebuildAll;
}

ShowCursorChange SetShowCursor(bool ticked, ScopeSettings& settings) {
  settings.cursorEnable = ticked ? 1 : 0;
  return ShowCursorChange{!ticked, DisplayRefresh{false, false, true}};
}

}  // namespace kestrova
