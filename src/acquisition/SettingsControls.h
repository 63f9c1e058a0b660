#pragma once

#include "acquisition/ControlPanel.h"
#include "acquisition/ScopeSettings.h"

// Moving the settings between the main window's controls and ScopeSettings.
// User-interface thread only.
namespace kestrova {

// Copies the controls of the current mode into the settings (an empty or
// unreadable entry takes its field's fallback), picks up the ticked mode
// radio, then refreshes the display mapping and the trigger row.
void ReadControls(ScopeSettings& settings, ControlPanel& panel, AxisLabelBuilder& labels);

// True when every numeric edit holds a number. Empty scale and offset edits
// are filled with "1" and "0" and count as valid.
bool ValidateInputs(ControlPanel& panel);

// Keeps the current mode's values inside their limits (+-65535, yMin < yMax,
// scale not 0, level on the axis, list indices in range) and writes the
// current mode's texts back into their edits.
void ClampSettings(ScopeSettings& settings, ControlPanel& panel);

}  // namespace kestrova
