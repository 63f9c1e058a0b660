// The main window's side of the Custom Command dialog: open it modally,
// route the unit's frames to it while it runs, and take the window back
// when it ends.
#include "app/ScopeDlg.h"
#include "app/Translation.h"
#include "terminal/CommandDlg.h"

namespace kestrova {

void CScopeDlg::OnOpenTerminal() {
  // "D" is enabled only while stopped; a run in progress owns the unit.
  if (running_.Get() || sessionEnded_) return;
  CCommandDlg terminal(
      session_, &DialogBuilder::BuildLookup,
      [this](std::string_view text) { prompts_.ShowMessage(TrUtf8(text), PromptIcon::Exclamation); }, this);
  terminalDialog_ = &terminal;
  // Running while the terminal is open, so that the receive thread watches
  // the link (a failure reaches OnLinkLost as during a run).
  running_.Set(true);
  run_.ResetTriggerStatus();
  session_.SetTerminalOpen(true);
  terminal.DoModal();
  session_.SetTerminalOpen(false);
  running_.Set(false);
  terminalDialog_ = nullptr;
}

}  // namespace kestrova
