// The main window's share of real-time logging: the log file of a run and
// the elapsed-time field.
#include <QFileInfo>
#include <QMetaObject>
#include <string>

#include "app/ScopeDlg.h"
#include "app/Translation.h"
#include "output/RealSaveControls.h"

namespace kestrova {

void CScopeDlg::BeginRealSave() {
  realTimeLog_.BeginRealSave();
}

void CScopeDlg::CreateRealSaveFile() {
  if (realTimeLog_.CreateRealSaveFile(settings_) == RealSaveStart::CreateFailed) {
    // The run goes on without a log; the frames that arrive while the
    // message is up must find logging off already.
    SwitchRealSaveOff(panel_, settings_);
    ShowMessageLater(kRealSaveCreateFailedMessage, PromptIcon::Stop);
  }
}

void CScopeDlg::MarkRunStart() {
  realTimeLog_.MarkRunStart();
}

void CScopeDlg::EndRealSave() {
  // Ends a run from Stop, a failed Start or a lost link: the message waits
  // until that step is over.
  if (realTimeLog_.EndRealSave() == RealSaveEnd::WriteFailed) {
    ShowMessageLater(kRealSaveWriteFailedMessage, PromptIcon::Stop);
  }
}

void CScopeDlg::ShowMessageLater(std::string_view text, PromptIcon icon) {
  // text is a marked text, shown in the program's language.
  ShowComposedLater(TrUtf8(text), icon);
}

void CScopeDlg::ShowComposedLater(std::string message, PromptIcon icon) {
  // A message box runs an event loop of its own, which handles the next
  // frames and link events: never open one in the middle of such a step.
  // Posted, it opens once the step is over; after the program was told to
  // end, nobody is there to answer it.
  if (sessionEnded_) return;
  QMetaObject::invokeMethod(
      this,
      [this, message = std::move(message), icon] {
        if (!sessionEnded_) prompts_.ShowMessage(message, icon);
      },
      Qt::QueuedConnection);
}

void CScopeDlg::OnRealSaveEnable() {
  kestrova::OnRealSaveEnable(panel_, settings_);
}

void CScopeDlg::WriteRealSaveLine() {
  if (realTimeLog_.WriteRealSaveLine(settings_, buffer_) == RealSaveWrite::WriteFailed) {
    // Logging ends for the rest of the run, and the next Start does not
    // empty the file that holds what was written. This runs in the middle of
    // a frame (stored, the ring not yet advanced): the message is shown once
    // the frame is done, and the box is unticked first, so frames handled
    // while the message is up do not come back here.
    SwitchRealSaveOff(panel_, settings_);
    ShowMessageLater(kRealSaveWriteFailedMessage, PromptIcon::Stop);
  }
}

void CScopeDlg::ShowElapsedTime() {
  realTimeLog_.ShowElapsedTime(panel_);
}

void CScopeDlg::OnRealSaveBrowse() {
  const std::optional<std::string> chosen = prompts_.AskSaveFileName(
      TrUtf8(kRealSaveDialogTitle), TrUtf8(kRealSaveDialogQtFilter), kRealSaveDefaultExtension);
  kestrova::OnRealSaveBrowse(
      chosen, [](const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); },
      [this](std::string_view question) { return prompts_.AskYesNo(question); }, settings_, panel_,
      TrUtf8(kRealSaveOverwriteWording));
}

}  // namespace kestrova
