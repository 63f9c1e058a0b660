#pragma once

#include "acquisition/Color.h"

// The display's own colours. The six configurable colours (traces, trigger
// line, cursors) come from the live colour set of ScopeSettings instead.
namespace kestrova {

struct DisplayColors {
  ColorRef foreground;  // grid, ticks, tick and Y labels, plot frame
  ColorRef background;  // graticule and label area
};

inline constexpr ColorRef kBlack = Rgb(0, 0, 0);
inline constexpr ColorRef kWhite = Rgb(255, 255, 255);

// White on black, or black on white with "Graph Color Reverse".
constexpr DisplayColors DisplayColorsFor(bool colorReverse) {
  return colorReverse ? DisplayColors{kBlack, kWhite} : DisplayColors{kWhite, kBlack};
}

// Fixed colours that "Graph Color Reverse" leaves alone.
inline constexpr ColorRef kTimeUnitTextColor = Rgb(0, 170, 255);
inline constexpr ColorRef kCursorReadoutTextColor = Rgb(0, 170, 255);
inline constexpr ColorRef kScaledLabelColor = Rgb(252, 165, 3);
// Text colour of the twelve per-channel read-out statics; the window sets it
// once at start-up.
inline constexpr ColorRef kChannelReadoutTextColor = Rgb(0, 128, 255);

}  // namespace kestrova
