#include "app/WidgetColorTextField.h"

#include "app/Translation.h"
#include "controls/ColorStatic.h"

namespace kestrova {

void WidgetColorTextField::SetTextColor(ColorRef color) {
  field_.SetTextColor(color, true);
}

void WidgetColorTextField::SetBackgroundColor(ColorRef color) {
  field_.SetBackgroundColor(color, true);
}

void WidgetColorTextField::SetText(std::string_view text) {
  // The status texts of the layers below are marked texts (or counts and
  // empty texts, which come back as they are).
  field_.setText(Tr(text));
}

}  // namespace kestrova
