#pragma once

#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"

namespace kestrova {

// The slots of the history ring shown at a multi-frame time base: `frames`
// slots from `start` on, wrapping from 99 to 0; `end` is the slot after the
// last one (equal to `start` when the window is the whole ring).
struct HistoryWindow {
  int start = 0;
  int end = 0;
  int frames = 0;

  bool operator==(const HistoryWindow&) const = default;
};

// Frames per screen at a multi-frame time base: T / 100, or 1 when the trigger
// is not in Auto mode (one frame at full resolution).
int FramesPerScreenFor(const ScopeSettings& settings);

// The window of `framesPerScreen` (1..100) frames. While acquiring it ends at
// the newest frame and holds only frames stored since Start when there are
// fewer than it needs; while stopped it follows the scroll bar
// (viewIndex - viewIndexAtStop frames from where acquisition stopped) and
// always spans `framesPerScreen` slots. User-interface thread only.
HistoryWindow ComputeHistoryWindow(int framesPerScreen, const SampleBuffer& buffer, bool acquisitionRunning);

}  // namespace kestrova
