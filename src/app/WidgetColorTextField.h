#pragma once

#include "acquisition/ControlPanel.h"

namespace kestrova {

class CColorStatic;

// A colour static seen as the settings logic's coloured text field. Every
// change repaints the static. User-interface thread only.
class WidgetColorTextField : public ColorTextField {
 public:
  // field must outlive this object.
  explicit WidgetColorTextField(CColorStatic& field) : field_(field) {}

  void SetTextColor(ColorRef color) override;
  void SetBackgroundColor(ColorRef color) override;
  void SetText(std::string_view text) override;

 private:
  CColorStatic& field_;
};

}  // namespace kestrova
