#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "acquisition/OperationMode.h"

// The fixed entries of the main window's lists and the option box captions.
// Each list is filled in table order, so an entry's position is the list
// index the settings store. (The "Time" list takes its labels from
// TimeBaseTable.) Read-only data, safe from any thread.
namespace kestrova {

// "Channel" list of the trigger box: the trigger channel, 0..3.
inline constexpr std::array<std::string_view, kChannelCount> TriggerChannelLabels = {"Ch 1", "Ch 2", "Ch 3",
                                                                                     "Ch 4"};

// "Y Div" list: 6, 8 or 10 vertical divisions, stored as yDivision 0..2.
inline constexpr std::array<std::string_view, 3> YDivisionLabels = {"6", "8", "10"};

// "Mode" list of the trigger box: the trigger edge, 0 falling, 1 rising.
inline constexpr std::array<std::string_view, 2> TriggerSlopeLabels = {"Falling", "Rising"};

struct RealSaveInterval {
  std::string_view label;  // entry of the "Time interval" list
  int framesPerLine;       // accepted frames per log line
};

// "Time interval" list of the real-time log. The logger counts frames; each
// label is the interval that results when a frame arrives every 100 ms.
inline constexpr std::array<RealSaveInterval, 14> RealSaveIntervalTable = {{
    {"100 ms", 1},
    {"200 ms", 2},
    {"500 ms", 5},
    {"1 sec", 10},
    {"2 sec", 20},
    {"5 sec", 50},
    {"10 sec", 100},
    {"30 sec", 300},
    {"1 min", 600},
    {"2 min", 1200},
    {"5 min", 3000},
    {"10 min", 6000},
    {"30 min", 18000},
    {"1 hour", 36000},
}};

// The entry for an index, with out-of-range indices pulled to the nearest end.
constexpr const RealSaveInterval& RealSaveIntervalAt(int index) {
  if (index < 0) return RealSaveIntervalTable.front();
  if (static_cast<std::size_t>(index) >= RealSaveIntervalTable.size()) return RealSaveIntervalTable.back();
  return RealSaveIntervalTable[static_cast<std::size_t>(index)];
}

// Captions of the option boxes B1, B2, B3: entry 3 * mode + box.
inline constexpr std::array<std::string_view, 12> OptionLabels = {
    "+/-3V, +/-18V(chk)", "Send UART(115200)",  "Send CAN(1M, 2.0B)",  // ADC
    "GAP: 50(chk)/25us",  "CLK_POL : 1 (chk)",  "CLK_PHS : 1 (chk)",   // SPI
    "2.0B(chk) or 2.0A",  "Fast(chk),Slow inc", "CAN  Send Test",      // CAN
    "115200(chk),38400",  "Fast(chk),Slow inc", "UART Send Test",      // UART
};
static_assert(OptionLabels.size() == static_cast<std::size_t>(kModeCount * kOptionBitCount));

// The caption of option box b (0..2) in mode m (0..3); both are pulled into range.
constexpr std::string_view OptionLabel(int mode, int box) {
  const int m = mode < 0 ? 0 : (mode >= kModeCount ? kModeCount - 1 : mode);
  const int b = box < 0 ? 0 : (box >= kOptionBitCount ? kOptionBitCount - 1 : box);
  return OptionLabels[(static_cast<std::size_t>(m) * kOptionBitCount) + static_cast<std::size_t>(b)];
}

}  // namespace kestrova
