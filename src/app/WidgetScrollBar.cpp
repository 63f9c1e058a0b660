#include "app/WidgetScrollBar.h"

#include <QScrollBar>

namespace kestrova {

void WidgetScrollBar::SetRange(int minimum, int maximum) {
  bar_.setRange(minimum, maximum);
}

// QScrollBar keeps the value inside its range, as the window expects.
void WidgetScrollBar::SetPosition(int position) {
  bar_.setValue(position);
}

int WidgetScrollBar::Position() const {
  return bar_.value();
}

}  // namespace kestrova
