#pragma once

#include <QIcon>
#include <QImage>

namespace kestrova {

// The program's icon: a small scope screen with a trace, drawn at 16, 32 and
// 48 pixels. User-interface thread only.
QIcon ProgramIcon();

// One size of the icon, drawn anew (transparent corners, ARGB32).
QImage PaintProgramIcon(int side);

}  // namespace kestrova
