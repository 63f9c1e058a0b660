// The main window's share of real-time logging: the log file of a run and
// the elapsed-time field.
#include <QFileInfo>

#include "acquisition/ControlIds.h"
#include "app/ScopeDlg.h"
#include "output/RealSaveControls.h"

namespace kestrova {

void CScopeDlg::BeginRealSave() {
  if (realTimeLog_.BeginRealSave(settings_) == RealSaveStart::CreateFailed) {
    prompts_.ShowMessage(kRealSaveCreateFailedMessage, PromptIcon::Stop);
    panel_.SetChecked(ctl::RealSaveEnable, false);
    OnRealSaveEnable();
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
