#pragma once

#include "acquisition/ControlPanel.h"

class QScrollBar;

namespace kestrova {

// The frame-history scroll bar seen as the settings logic's scroll bar.
// Programmatic moves emit valueChanged but no user action. User-interface
// thread only.
class WidgetScrollBar : public ScrollBarControl {
 public:
  // bar must outlive this object.
  explicit WidgetScrollBar(QScrollBar& bar) : bar_(bar) {}

  void SetRange(int minimum, int maximum) override;
  void SetPosition(int position) override;
  [[nodiscard]] int Position() const override;

 private:
  QScrollBar& bar_;
};

}  // namespace kestrova
