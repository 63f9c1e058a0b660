#pragma once

#include <QPoint>
#include <optional>
#include <string>

#include "acquisition/ScopeSettings.h"
#include "display/DisplayGeometry.h"
#include "display/DisplayState.h"

// Mouse handling on the display area. The main window handles the mouse in
// its own client coordinates: `point` is the event's position and `display`
// the display control's rectangle, both in those coordinates. Each handler
// changes the cursors, the trigger level or a dragged offset in place and
// returns what the window must show; the window ends every event with its
// default handling. User-interface thread only.
namespace kestrova {

// Button state of the event.
struct MouseButtons {
  bool left = false;
  bool right = false;
};

struct OffsetEditText {
  int channel = 0;   // the edit is ctl::OffsetEdit[channel]
  std::string text;  // "%d" of the new offset, truncated toward zero
};

struct MouseOutcome {
  bool invalidate = false;                   // InvalidateDisplay
  std::optional<std::string> levelText;      // new text of the "Level" edit (1028)
  std::optional<OffsetEditText> offsetText;  // new text of a channel's offset edit
};

// Move with a button held: the right button moves the solid cursor; the left
// button drags the trigger level (when the trigger is in use) or the held
// offset marker. Outside the plot (for a marker: outside the plot and marker
// strip) nothing changes.
MouseOutcome DisplayMouseMove(QPoint point, const Box& display, MouseButtons buttons, ScopeSettings& settings,
                              DisplayState& state);

// Left press: picks up the first channel (in order 1..4) whose marker box
// holds the point, shown or not; then acts as a move.
MouseOutcome DisplayLeftButtonDown(QPoint point, const Box& display, MouseButtons buttons,
                                   ScopeSettings& settings, DisplayState& state);

// Right press inside the plot: both cursors jump to the column (the anchor
// here, the solid one through the move that follows).
MouseOutcome DisplayRightButtonDown(QPoint point, const Box& display, MouseButtons buttons,
                                    ScopeSettings& settings, DisplayState& state);

// Left release: ends a marker drag. While acquiring and with the point over
// the display, the window runs ApplyConfiguration when `applyForTrigger`, and
// then, if acquisition is still running, once more when `applyForMarker`.
struct LeftButtonUpOutcome {
  bool applyForTrigger = false;
  bool applyForMarker = false;
};
LeftButtonUpOutcome DisplayLeftButtonUp(QPoint point, const Box& display, bool acquisitionRunning,
                                        const ScopeSettings& settings, DisplayState& state);

}  // namespace kestrova
