#include "app/AboutDlg.h"

#include <QPushButton>

#include "app/ProgramIcon.h"
#include "resources/DialogTemplate.h"

namespace kestrova {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  controls_ = DialogBuilder::Build(*this, res::AboutDialogTemplate());
  setWindowIcon(ProgramIcon());
  if (auto* ok = controls_.FindAs<QPushButton>(res::kOkButtonId)) {
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  }
}

}  // namespace kestrova
