#pragma once

#include <array>

#include "acquisition/ControlPanel.h"
#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "acquisition/WindowActions.h"

// The controls of the "Trigger mode" box: the Auto, Normal and Single radios,
// the channel and edge lists and the level edit.
namespace kestrova {

enum class TriggerMode : int { Auto = 0, Normal = 1, Single = 2 };

// The four trigger flags of ScopeSettings as one radio sets them.
struct TriggerFlags {
  int autoTrigger = 0;
  int triggerUse = 0;
  int triggerOnly = 0;
  int triggerStop = 0;

  friend bool operator==(const TriggerFlags&, const TriggerFlags&) = default;
};

// Indexed by TriggerMode.
inline constexpr std::array<TriggerFlags, 3> TriggerModeFlags = {{
    {.autoTrigger = 1, .triggerUse = 1, .triggerOnly = 0, .triggerStop = 0},  // Auto
    {.autoTrigger = 0, .triggerUse = 1, .triggerOnly = 1, .triggerStop = 0},  // Normal
    {.autoTrigger = 0, .triggerUse = 1, .triggerOnly = 1, .triggerStop = 1},  // Single
}};

// From this time per division on (20 ms/div), choosing Normal clears the
// history so the screen does not keep frames of the untriggered run.
inline constexpr int kNormalClearsHistoryFrom = 200;

// The radio the settings stand for: Auto when autoTrigger is set, else Single
// when triggerStop is set, else Normal. Any thread.
TriggerMode TriggerModeOf(const ScopeSettings& settings);

// A trigger radio was clicked: sets the four flags (Normal also clears the
// history from 20 ms/div on). The window then invalidates the display and
// runs the returned step: while running Auto and Normal re-apply and Single
// stops, pauses and re-applies (re-arming the shot); while stopped every
// radio starts. User-interface thread only.
WindowActions HandleTriggerRadio(TriggerMode mode, bool running, ScopeSettings& settings,
                                 SampleBuffer& buffer);

// The channel list changed: its selection becomes the current mode's trigger
// channel (a list without a valid selection changes nothing). The window then
// invalidates the display and applies while running. User-interface thread
// only.
WindowActions HandleTriggerChannelChange(bool running, ScopeSettings& settings, const ControlPanel& panel);

// The edge list changed. The edge is taken from the list by the next
// ReadControls, which applying while running does at once. User-interface
// thread only.
WindowActions HandleTriggerEdgeChange(bool running);

// The level edit changed. Ignored while running (the next apply reads it) and
// while the stripped text is empty. Otherwise the stripped text becomes the
// current mode's level text and its value the level; a text that is not a
// number gives level 10 with text "10", also written back into the edit. The
// trigger row follows; the window invalidates the display. User-interface
// thread only.
WindowActions HandleTriggerLevelChange(bool running, ScopeSettings& settings, ControlPanel& panel);

}  // namespace kestrova
