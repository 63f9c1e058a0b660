#include "display/HistoryWindow.h"

#include <algorithm>

#include "acquisition/TimeBaseTable.h"

namespace kestrova {

namespace {
int Wrap(long long slot) {
  const long long wrapped = slot % kHistoryFrames;
  return static_cast<int>(wrapped < 0 ? wrapped + kHistoryFrames : wrapped);
}
}  // namespace

int FramesPerScreenFor(const ScopeSettings& settings) {
  if (settings.autoTrigger == 0) return 1;
  return std::clamp(FramesPerScreen(settings.timePerDivision), 1, kHistoryFrames);
}

HistoryWindow ComputeHistoryWindow(int framesPerScreen, const SampleBuffer& buffer, bool acquisitionRunning) {
  const int n = std::clamp(framesPerScreen, 1, kHistoryFrames);
  const bool filled = buffer.frameCount >= n;
  HistoryWindow window;
  if (acquisitionRunning) {
    const int end = Wrap(buffer.writeIndex);
    const int start = end - n;
    window.end = end;
    window.start = start >= 0 ? start : (filled ? start + kHistoryFrames : 0);
    const int span = Wrap(static_cast<long long>(window.end) - window.start);
    // Start and end meet when the window is the whole ring; with fewer frames
    // than needed they can also meet at slot 0 (nothing stored at this time
    // base yet), where the window is the n cleared slots from 0 on.
    window.frames = span == 0 ? n : std::min(span, n);
    return window;
  }
  const long long start = static_cast<long long>(buffer.writeIndex) - n +
                          (static_cast<long long>(buffer.viewIndex) - buffer.viewIndexAtStop);
  window.start = start < 0 && !filled ? 0 : Wrap(start);
  window.end = Wrap(static_cast<long long>(window.start) + n);
  window.frames = n;
  return window;
}

}  // namespace kestrova
