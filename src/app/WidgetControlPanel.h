#pragma once

#include <span>
#include <string>
#include <string_view>

#include "acquisition/ControlPanel.h"
#include "app/DialogBuilder.h"

namespace kestrova {

class CColorPickerButton;
class CColorStatic;

// The settings logic's view of the main window, over the widgets built from
// its template. Operations on an id the window does not have, or on a control
// of a kind the operation does not fit, do nothing (reads give an empty text,
// false, -1 or 0). Programmatic changes emit Qt's change signals
// (textChanged, toggled, currentIndexChanged) but not clicked or activated.
// User-interface thread only.
class WidgetControlPanel : public ControlPanel {
 public:
  // controls must outlive the panel.
  explicit WidgetControlPanel(const DialogControls& controls) : controls_(controls) {}

  // Edits, statics, group boxes and button captions; the selected entry's
  // text for a drop-down list (which cannot be set).
  [[nodiscard]] std::string Text(int id) const override;
  void SetText(int id, std::string_view text) override;

  // Check boxes and radio buttons. Clearing the ticked radio button of a
  // group leaves the whole group clear.
  [[nodiscard]] bool IsChecked(int id) const override;
  void SetChecked(int id, bool checked) override;

  // Drop-down lists. An index outside the list clears the selection.
  [[nodiscard]] int Selection(int id) const override;
  void SetSelection(int id, int index) override;

  void SetEnabled(int id, bool enabled) override;

  // Current colour of a colour button, 0 for other controls.
  [[nodiscard]] ColorRef ButtonColor(int id) const override;

  // Extras the window needs.

  // Replaces the entries of a drop-down list, in order; no entry is selected.
  void SetListItems(int id, std::span<const std::string_view> items);
  void AddListItem(int id, std::string_view item);
  void ClearList(int id);
  [[nodiscard]] int ListCount(int id) const;
  [[nodiscard]] std::string ListItem(int id, int index) const;

  [[nodiscard]] bool IsEnabled(int id) const;
  void SetVisible(int id, bool visible);
  [[nodiscard]] bool IsVisible(int id) const;  // not hidden; says nothing about the window
  void SetFocus(int id);

  // Typed access to the special controls, nullptr for other ids.
  [[nodiscard]] CColorStatic* ColorStatic(int id) const;
  [[nodiscard]] CColorPickerButton* ColorButton(int id) const;

  [[nodiscard]] const DialogControls& Controls() const { return controls_; }

 private:
  const DialogControls& controls_;
};

}  // namespace kestrova
