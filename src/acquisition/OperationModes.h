#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "acquisition/ControlPanel.h"
#include "acquisition/OperationMode.h"
#include "acquisition/ScopeSettings.h"
#include "acquisition/WindowActions.h"

// The operation-mode radios and the option boxes B1-B3: which per-mode slots
// the controls show, and the option captions of each mode.
namespace kestrova {

// Captions of B1, B2, B3 per mode; entry 3 x M + b.
inline constexpr std::size_t kOptionLabelCount = std::size_t{kModeCount} * kOptionBitCount;
inline constexpr std::array<std::string_view, kOptionLabelCount> OptionLabels = {
    "+/-3V, +/-18V(chk)", "Send UART(115200)",  "Send CAN(1M, 2.0B)",  // ADC
    "GAP: 50(chk)/25us",  "CLK_POL : 1 (chk)",  "CLK_PHS : 1 (chk)",   // SPI
    "2.0B(chk) or 2.0A",  "Fast(chk),Slow inc", "CAN  Send Test",      // CAN
    "115200(chk),38400",  "Fast(chk),Slow inc", "UART Send Test",      // UART
};

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
