#pragma once

#include <array>
#include <string_view>

namespace kestrova {

struct TimeBase {
  std::string_view label;  // entry of the "Time" list
  int perDivision;         // time per division, in units of 100 us
  int scrollMax;           // upper end of the history scroll bar's range
};

inline constexpr int kTimeBaseCount = 13;

inline constexpr std::array<TimeBase, kTimeBaseCount> TimeBaseTable = {{
    {"100 us", 1, 0},
    {"200 us", 2, 0},
    {"500 us", 5, 0},
    {"1 ms", 10, 0},
    {"2 ms", 20, 0},
    {"5 ms", 50, 0},
    {"10 ms", 100, 99},
    {"20 ms", 200, 98},
    {"50 ms", 500, 96},
    {"100 ms", 1000, 89},
    {"200 ms", 2000, 79},
    {"500 ms", 5000, 49},
    {"1 s", 10000, 0},
}};

// Up to 5 ms per division every frame replaces the one frame on screen; from
// 10 ms per division on, frames fill successive slots of the history ring.
constexpr bool IsHistoryTimeBase(int timePerDivision) {
  return timePerDivision > 50;
}

// Frames per screen at a history time base (1, 2, 5, ..., 100).
constexpr int FramesPerScreen(int timePerDivision) {
  return timePerDivision / 100;
}

// The entry for an index, with out-of-range indices pulled to the nearest end.
constexpr const TimeBase& TimeBaseAt(int index) {
  if (index < 0) return TimeBaseTable.front();
  if (index >= kTimeBaseCount) return TimeBaseTable.back();
  return TimeBaseTable[static_cast<std::size_t>(index)];
}

}  // namespace kestrova
