#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "resources/DialogTemplate.h"
#include "resources/Translatable.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace kestrova {

class DeviceSession;

// Control ids of the Custom Command dialog (template 131).
namespace terminal_ctl {
inline constexpr int StartEdit = 1111;
inline constexpr int CommandEdit = 1112;
inline constexpr int ChecksumDisplay = 1113;
inline constexpr int EndEdit = 1114;
inline constexpr int ChecksumCheck = 1115;
inline constexpr int ReceiveBox = 1116;
inline constexpr int Send = 1117;
inline constexpr int Clear = 1118;
inline constexpr int Exit = 1036;
inline constexpr int Enable = 1120;
}  // namespace terminal_ctl

// The message SEND shows when the unit cannot be opened.
inline constexpr std::string_view kTerminalLinkFailedText =
    KESTROVA_TR_NOOP("Kestrova", "USB통신에 문제가 발생하였습니다.");

// The Custom Command dialog: a small terminal that frames a typed command
// with start and end bytes of the user's choice (and, if asked, a checksum),
// sends it to the unit through the session's pending-command path, and shows
// the latest frame the unit sends back.
//
// It opens the session when it starts and closes it however it ends. While
// it runs, the owner routes every received frame to OnTerminalRx instead of
// the scope display. User-interface thread only.
class CCommandDlg final : public QDialog {
  Q_OBJECT

 public:
  // The dialog's controls by id (nullptr for an unknown id).
  using ControlLookup = std::function<QWidget*(int id)>;
  // Creates a dialog's controls from its template (the application's
  // dialog builder).
  using ControlBuilder =
      std::function<ControlLookup(QDialog& dialog, const res::DialogTemplate& dialogTemplate)>;
  // Shows a message with the exclamation icon (a message box, answered by
  // tests).
  using ShowExclamation = std::function<void(std::string_view text)>;

  // session is the main window's; it must outlive the dialog.
  CCommandDlg(DeviceSession& session, const ControlBuilder& buildControls, ShowExclamation showExclamation,
              QWidget* parent = nullptr);
  // Closes the session if the dialog is still running.
  ~CCommandDlg() override;
  CCommandDlg(const CCommandDlg&) = delete;
  CCommandDlg& operator=(const CCommandDlg&) = delete;

  // OnInitDialog, then the modal loop. QDialog::Rejected at once, without
  // showing the dialog, when the unit cannot be opened.
  int DoModal();

  // Handlers, public so that tests can drive the dialog as a user would.
  // Opens the unit (false when it cannot be opened) and sets the default
  // framing "0x02" / "0x03".
  bool OnInitDialog();
  void OnCommandChange();
  void OnSend();
  void OnClear();
  void OnShowReceived();
  void OnExit() { reject(); }
  // A frame from the unit (the receive thread's posted copy of the payload).
  // Shown, replacing the previous one, only while Enable is ticked.
  void OnTerminalRx(std::span<const std::uint8_t> payload);

  [[nodiscard]] QWidget* Control(int id) const { return controls_(id); }

  // Enter does not close the dialog.
  void accept() override {}
  // Every ending (EXIT, Escape, the close box) closes the session.
  void done(int result) override;

 private:
  template <class Widget>
  Widget& Find(int id) const;

  DeviceSession& session_;
  ShowExclamation showExclamation_;
  ControlLookup controls_;
  QLineEdit& startEdit_;
  QLineEdit& commandEdit_;
  QLineEdit& checksumDisplay_;
  QLineEdit& endEdit_;
  QCheckBox& checksumCheck_;
  QPlainTextEdit& receiveBox_;
  QCheckBox& enableCheck_;
  std::uint16_t commandChecksum_ = 0;  // only the low 8 bits are used
  bool showReceived_ = false;
  bool sessionHeld_ = false;  // opened by OnInitDialog, not yet closed
  bool ended_ = false;        // ended since it was last opened
};

}  // namespace kestrova
