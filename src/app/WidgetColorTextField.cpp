#include "app/WidgetColorTextField.h"

#include "controls/ColorStatic.h"

namespace kestrova {

void WidgetColorTextField::SetTextColor(ColorRef color) {
  field_.SetTextColor(color, true);
}

void WidgetColorTextField::SetBackgroundColor(ColorRef color) {
  field_.SetBackgroundColor(color, true);
}

void WidgetColorTextField::SetText(std::string_view text) {
  field_.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace kestrova
