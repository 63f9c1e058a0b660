#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "acquisition/ControlPanel.h"
#include "acquisition/LabelTables.h"
#include "acquisition/OperationMode.h"
#include "acquisition/ScopeSettings.h"
#include "acquisition/WindowActions.h"

// The operation-mode radios and the option boxes B1-B3: which per-mode slots
// the controls show, and the option captions of each mode.
namespace kestrova {

// Fills the per-mode controls from the slots of the current mode: the option
// boxes (tick and caption, the caption through SetText on the box's id), Y Min
// and Y Max, the Y-axis scale box and factor ("%f"), the trigger channel, the
// level, and each channel's enable box, scale, offset and unsigned box.
// Every text is shown exactly as stored. The enabled state of the channel
// controls is left to the next ReadControls. User-interface thread only.
void ShowModeSettings(const ScopeSettings& settings, ControlPanel& panel);

// Mode radio `mode` (0..3) was clicked; the radio is already ticked. Stores
// the controls into the slots of the mode that was current, switches to the
// new mode and shows its slots. The window then invalidates the display and,
// while running, applies the configuration. A mode outside 0..3 is ignored.
// User-interface thread only.
WindowActions HandleModeRadio(int mode, bool running, ScopeSettings& settings, ControlPanel& panel,
                              AxisLabelBuilder& labels);

// Option box `box` (0 = B1 .. 2 = B3) was clicked: its tick state becomes the
// current mode's option bit. The window then invalidates the display and,
// while running, applies the configuration so the unit gets the bit at once.
// A box outside 0..2 is ignored. User-interface thread only.
WindowActions HandleOptionBox(int box, bool running, ScopeSettings& settings, const ControlPanel& panel);

}  // namespace kestrova
