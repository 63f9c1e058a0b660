// The main window's File Save and Screen Save commands (button or F5/F6,
// while stopped).
#include "app/DataOutputCommands.h"
#include "app/ScopeDlg.h"

namespace kestrova {

void CScopeDlg::OnFileSave() {
  if (review_) {
    SaveCaptureFile(prompts_, settings_, review_->Source());
  } else {
    SaveCsvFile(prompts_, settings_, buffer_);
  }
}

void CScopeDlg::OnScreenSave() {
  SaveScreenPicture(prompts_, [this] {
    // Paint the whole window again first, so nothing the file dialog covered
    // lingers, then take the client area as the window draws it.
    repaint();
    return grab().toImage();
  });
}

}  // namespace kestrova
