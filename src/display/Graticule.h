#pragma once

#include "acquisition/ScopeSettings.h"
#include "display/Canvas.h"

namespace kestrova {

// The plot's static picture (500 x 400): background, centre axes with their
// ticks, top, bottom and side ticks, and the dotted grid of the current "Y
// Div" entry, in the display colours of `colorReverse`. The main window keeps
// the result as its graticule canvas and rebuilds it after a change of "Y Div",
// "Graph Color Reverse", Enter/F4 and at Start. User-interface thread only.
Canvas BuildGraticule(const ScopeSettings& settings);

}  // namespace kestrova
