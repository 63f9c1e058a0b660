#pragma once

#include <string>
#include <string_view>

#include "acquisition/Color.h"

namespace kestrova {

// The main window's controls as the settings logic sees them, addressed by
// control id (ctl::...). The window implements it with its widgets; tests use
// an in-memory fake. User-interface thread only.
class ControlPanel {
 public:
  virtual ~ControlPanel() = default;

  // Text of an edit (UTF-8).
  [[nodiscard]] virtual std::string Text(int id) const = 0;
  virtual void SetText(int id, std::string_view text) = 0;

  // Tick state of a check box or radio button.
  [[nodiscard]] virtual bool IsChecked(int id) const = 0;
  virtual void SetChecked(int id, bool checked) = 0;

  // Selected entry of a drop-down list, -1 when none is selected.
  [[nodiscard]] virtual int Selection(int id) const = 0;
  virtual void SetSelection(int id, int index) = 0;

  virtual void SetEnabled(int id, bool enabled) = 0;

  // Current colour of a colour button.
  [[nodiscard]] virtual ColorRef ButtonColor(int id) const = 0;
};

// A text field with its own text and background colours (the status line,
// the trigger status, the read-outs). User-interface thread only.
class ColorTextField {
 public:
  virtual ~ColorTextField() = default;
  virtual void SetTextColor(ColorRef color) = 0;
  virtual void SetBackgroundColor(ColorRef color) = 0;
  virtual void SetText(std::string_view text) = 0;
};

// The frame-history scroll bar. User-interface thread only.
class ScrollBarControl {
 public:
  virtual ~ScrollBarControl() = default;
  virtual void SetRange(int minimum, int maximum) = 0;
  // Moves the thumb; the bar limits the position to its range.
  virtual void SetPosition(int position) = 0;
  [[nodiscard]] virtual int Position() const = 0;
};

// Rebuilds the axis labels of the display. User-interface thread only.
class AxisLabelBuilder {
 public:
  virtual ~AxisLabelBuilder() = default;
  virtual void BuildAxisLabels() = 0;
};

}  // namespace kestrova
