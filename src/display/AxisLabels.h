#pragma once

#include <string_view>

#include "acquisition/ScopeSettings.h"
#include "display/Canvas.h"

namespace kestrova {

// The unit text of the time axis and the value of tick k (0..10) for a time
// per division of T x 100 us.
struct TimeAxis {
  std::string_view unit;  // "[usec]", "[msec]" or "[sec]"
  int tickStep;           // tick k reads k * tickStep
};
TimeAxis TimeAxisFor(int timePerDivision);

// The display area's static picture (580 x 460): background, the eleven time
// tick labels with their unit, and the Y labels of the current mode's axis
// (with the second, scaled set when "Y-axis scale" is on). Every text is also
// recorded in the canvas's text list. The main window keeps the result as its
// label canvas. User-interface thread only.
Canvas BuildAxisLabels(const ScopeSettings& settings);

}  // namespace kestrova
