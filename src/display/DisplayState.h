#pragma once

namespace kestrova {

// Display state the main window keeps besides the settings; not persisted.
// User-interface thread only.
struct DisplayState {
  int cursor1X = 250;      // plot column of the dashed cursor (the anchor)
  int cursor2X = 250;      // plot column of the solid cursor; the read-outs follow it
  int draggedMarker = -1;  // channel whose offset marker the left button holds, -1 for none
};

}  // namespace kestrova
