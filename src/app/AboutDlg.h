#pragma once

#include <QDialog>

#include "app/DialogBuilder.h"

namespace kestrova {

// The about box (template 100): the program icon, the version, the maker
// and what the unit does, and an OK button. Opened modally from the main
// window's system menu. User-interface thread only.
class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);

  [[nodiscard]] const DialogControls& Controls() const { return controls_; }

 private:
  DialogControls controls_;
};

}  // namespace kestrova
