#pragma once

#include <map>
#include <string>
#include <string_view>

#include "acquisition/ControlPanel.h"

namespace kestrova::cli {

// The main window's controls without a window: texts, ticks and selections
// by control id, so that the command line's settings pass through the
// window's own reading and clamping rules. Main thread.
class MemoryControlPanel final : public ControlPanel {
 public:
  [[nodiscard]] std::string Text(int id) const override;
  void SetText(int id, std::string_view text) override { texts_[id] = std::string(text); }
  [[nodiscard]] bool IsChecked(int id) const override;
  void SetChecked(int id, bool checked) override { checks_[id] = checked; }
  [[nodiscard]] int Selection(int id) const override;
  void SetSelection(int id, int index) override { selections_[id] = index; }
  void SetEnabled(int /*id*/, bool /*enabled*/) override {}
  [[nodiscard]] ColorRef ButtonColor(int id) const override;
  void SetButtonColor(int id, ColorRef color) { colors_[id] = color; }

 private:
  std::map<int, std::string> texts_;
  std::map<int, bool> checks_;
  std::map<int, int> selections_;
  std::map<int, ColorRef> colors_;
};

// A text field nobody sees; it keeps the last text (the session's status
// line says there why the unit could not be opened).
class RecordingTextField final : public ColorTextField {
 public:
  void SetTextColor(ColorRef /*color*/) override {}
  void SetBackgroundColor(ColorRef /*color*/) override {}
  void SetText(std::string_view text) override { text_ = std::string(text); }
  [[nodiscard]] const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// The history scroll bar without a window: a position kept in its range.
class MemoryScrollBar final : public ScrollBarControl {
 public:
  void SetRange(int minimum, int maximum) override;
  void SetPosition(int position) override;
  [[nodiscard]] int Position() const override { return position_; }

 private:
  int minimum_ = 0;
  int maximum_ = 0x7FFFFFFF;
  int position_ = 0;
};

// Nothing to draw.
class NoAxisLabels final : public AxisLabelBuilder {
 public:
  void BuildAxisLabels() override {}
};

}  // namespace kestrova::cli
