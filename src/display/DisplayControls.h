#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "acquisition/ControlPanel.h"
#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"

// The display-related control handlers of the main window, as logic over the
// settings, the history ring and the scroll bar. Each returns what the window
// must do next; the window carries that out in the order the fields are
// listed. User-interface thread only.
namespace kestrova {

// Which of the display's rebuild steps follow a change.
struct DisplayRefresh {
  bool buildGraticule = false;
  bool buildAxisLabels = false;
  bool invalidate = false;  // InvalidateDisplay

  bool operator==(const DisplayRefresh&) const = default;
};

// The history scroll bar gets the range of the time base at `timeIndex` and
// position 0 (start-up and time base change).
void ResetHistoryScroll(int timeIndex, ScrollBarControl& bar);

// Requests of the history scroll bar (control 1080).
enum class ScrollRequest {
  LineLeft,
  LineRight,
  PageLeft,
  PageRight,
  ThumbTrack,
  ThumbPosition,
  EndScroll,
  Other
};

// The position a request asks for, from `current` (lines of 1, pages of 10,
// the thumb where it is dragged); none for the requests that leave the bar.
std::optional<int> ScrollTarget(ScrollRequest request, int current, int trackPosition);

// Serves a scroll request while acquisition is stopped and the time base is
// below "1 s": line and page steps of 1 and 10 and thumb tracking move the bar
// (which limits the position) and viewIndex takes the bar's position. Returns
// true when the request was served: the window then runs InvalidateDisplay.
// Either way the request also gets the bar's default handling.
bool ScrollHistory(ScrollRequest request, int trackPosition, const ScopeSettings& settings,
                   bool acquisitionRunning, ScrollBarControl& bar, SampleBuffer& buffer);

// Selection change of the "Time" list (1022): new time per division, scroll
// range and position 0, ring positions back to 0; while acquiring the ring is
// also cleared and the window must run ApplyConfiguration after the refresh.
// timeIndex itself follows at the next ReadControls.
struct TimeBaseChange {
  DisplayRefresh refresh;
  bool applyConfiguration = false;
};
TimeBaseChange ChangeTimeBase(int selection, bool acquisitionRunning, ScopeSettings& settings,
                              SampleBuffer& buffer, ScrollBarControl& bar);

// Selection change of the "Y Div" list (1047).
DisplayRefresh ChangeYDivision(int selection, ScopeSettings& settings);

// "Extended Display" (1096): the main window keeps its left, top and width
// and takes `outerHeight`; each control of `panelControls` is shown when
// `panelVisible`, else hidden. The display area keeps its size.
struct ExtendedDisplayLayout {
  int outerHeight = 0;
  bool panelVisible = false;
  std::span<const int> panelControls;
};
inline constexpr int kExtendedWindowHeight = 737;
inline constexpr int kCompactWindowHeight = 612;
ExtendedDisplayLayout SetExtendedDisplay(bool ticked, ScopeSettings& settings);

// The rows a shown control covers in the window's client area, [top, bottom).
struct ControlRows {
  int top = 0;
  int bottom = 0;
};
// The client height, at most `wanted`, whose bottom edge cuts through none of
// the controls: where the edge would cross one, it moves up to that control's
// top. With the window frame the outer height allows for, the compact window
// ends right above the channel rows; without a frame (or with a thinner one)
// this keeps it from showing them cut in half.
int UncutClientHeight(int wanted, std::span<const ControlRows> controls);

// "Y-axis scale" (1097) with the text of edit 1098: the factor is the plain
// decimal reading of the text (its leading number, 0 when there is none).
DisplayRefresh SetAxisScale(bool ticked, std::string_view factorText, ScopeSettings& settings);

// "Graph Color Reverse" (1111).
DisplayRefresh SetColorReverse(bool ticked, ScopeSettings& settings);

// "Show Cursor" (1099): when it becomes unticked the window empties the twelve
// read-out statics. The cursor positions do not change.
struct ShowCursorChange {
  bool clearReadouts = false;
  DisplayRefresh refresh;
};
ShowCursorChange SetShowCursor(bool ticked, ScopeSettings& settings);

}  // namespace kestrova
