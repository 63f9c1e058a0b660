// The main window's share of real-time logging: the log file of a run and
// the elapsed-time field.
#include <QFileInfo>

#include "app/ScopeDlg.h"
#include "output/RealSaveControls.h"

namespace kestrova {

void CScopeDlg::BeginRealSave() {
  realTimeLog_.BeginRealSave();
}

void CScopeDlg::CreateRealSaveFile() {
  if (realTimeLog_.CreateRealSaveFile(settings_) == RealSaveStart::CreateFailed) {
    // The run goes on without a log.
    prompts_.ShowMessage(kRealSaveCreateFailedMessage, PromptIcon::Stop);
    SwitchRealSaveOff(panel_, settings_);
  }
}

void CScopeDlg::MarkRunStart() { realTimeLog_.MarkRunStart(); }

void CScopeDlg::EndRealSave() {
  if (realTimeLog_.EndRealSave() == RealSaveEnd::WriteFailed) {
    prompts_.ShowMessage(kRealSaveWriteFailedMessage, PromptIcon::Stop);
  }
}

void CScopeDlg::OnRealSaveEnable() { kestrova::OnRealSaveEnable(panel_, settings_); }

void CScopeDlg::WriteRealSaveLine() {
  if (realTimeLog_.WriteRealSaveLine(settings_, buffer_) == RealSaveWrite::WriteFailed) {
    // Logging ends for the rest of the run, and the next Start does not
    // empty the file that holds what was written. The box is unticked before
    // the message: frames handled while it is up must not come back here.
    SwitchRealSaveOff(panel_, settings_);
    prompts_.ShowMessage(kRealSaveWriteFailedMessage, PromptIcon::Stop);
  }
}

void CScopeDlg::ShowElapsedTime() { realTimeLog_.ShowElapsedTime(panel_); }

void CScopeDlg::OnRealSaveBrowse() {
  const std::optional<std::string> chosen =
      prompts_.AskSaveFileName(kRealSaveDialogTitle, kRealSaveDialogQtFilter, kRealSaveDefaultExtension);
  kestrova::OnRealSaveBrowse(
      chosen, [](const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); },
      [this](std::string_view question) { return prompts_.AskYesNo(question); }, settings_, panel_);
}

}  // namespace kestrova
