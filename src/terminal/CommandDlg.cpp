#include "terminal/CommandDlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <optional>

#include "device/CommandProtocol.h"
#include "device/DeviceSession.h"
#include "device/TerminalCommand.h"

namespace kestrova {

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

template <class Widget>
Widget& CCommandDlg::Find(int id) const {
  auto* widget = qobject_cast<Widget*>(controls_(id));
  // The template is fixed data: a missing control is a build mistake.
  if (widget == nullptr) qFatal("Custom Command dialog: control %d missing from its template", id);
  return *widget;
}

CCommandDlg::CCommandDlg(DeviceSession& session, const ControlBuilder& buildControls,
                         ShowExclamation showExclamation, QWidget* parent)
    : QDialog(parent),
      session_(session),
      showExclamation_(std::move(showExclamation)),
      controls_(buildControls(*this, res::CommandDialogTemplate())),
      startEdit_(Find<QLineEdit>(terminal_ctl::StartEdit)),
      commandEdit_(Find<QLineEdit>(terminal_ctl::CommandEdit)),
      checksumDisplay_(Find<QLineEdit>(terminal_ctl::ChecksumDisplay)),
      endEdit_(Find<QLineEdit>(terminal_ctl::EndEdit)),
      checksumCheck_(Find<QCheckBox>(terminal_ctl::ChecksumCheck)),
      receiveBox_(Find<QPlainTextEdit>(terminal_ctl::ReceiveBox)),
      enableCheck_(Find<QCheckBox>(terminal_ctl::Enable)) {
  // No push button is the default one: Enter neither sends nor closes.
  for (const int id : {terminal_ctl::Send, terminal_ctl::Clear, terminal_ctl::Exit}) {
    auto& button = Find<QPushButton>(id);
    button.setAutoDefault(false);
    button.setDefault(false);
  }
  connect(&Find<QPushButton>(terminal_ctl::Send), &QPushButton::clicked, this, [this] { OnSend(); });
  connect(&Find<QPushButton>(terminal_ctl::Clear), &QPushButton::clicked, this, [this] { OnClear(); });
  connect(&Find<QPushButton>(terminal_ctl::Exit), &QPushButton::clicked, this, [this] { OnExit(); });
  connect(&enableCheck_, &QCheckBox::clicked, this, [this] { OnShowReceived(); });
  connect(&commandEdit_, &QLineEdit::textChanged, this, [this] { OnCommandChange(); });
}

CCommandDlg::~CCommandDlg() {
  if (sessionHeld_) session_.CloseSession();
}

int CCommandDlg::DoModal() {
  if (!OnInitDialog()) {
    done(QDialog::Rejected);
    return QDialog::Rejected;
  }
  return exec();
}

bool CCommandDlg::OnInitDialog() {
  // The session reports a failure in the main window's status line.
  if (!session_.EnsureOpen()) return false;
  sessionHeld_ = true;
  ended_ = false;
  startEdit_.setText(QStringLiteral("0x02"));
  endEdit_.setText(QStringLiteral("0x03"));
  commandEdit_.setFocus();
  return true;
}

void CCommandDlg::OnCommandChange() {
  commandChecksum_ = BodyChecksum(commandEdit_.text().toStdString());
  checksumDisplay_.setText(FromUtf8(ChecksumDisplay(static_cast<std::uint8_t>(commandChecksum_ & 0xFFU))));
}

void CCommandDlg::OnSend() {
  // Ended (EXIT, or the program told to end): the unit stays closed.
  if (ended_) return;
  if (!session_.EnsureOpen()) {
    showExclamation_(kTerminalLinkFailedText);
    return;
  }
  // A start text without digits sends nothing; an end text without digits
  // leaves the end byte off.
  const std::optional<std::uint8_t> start = FramingByte(startEdit_.text().toStdString());
  if (!start) return;
  const std::optional<std::uint8_t> end = FramingByte(endEdit_.text().toStdString());
  const std::string command = commandEdit_.text().toStdString();
  std::optional<std::uint8_t> checksum;
  if (checksumCheck_.isChecked()) checksum = static_cast<std::uint8_t>(commandChecksum_ & 0xFFU);
  // The session's transmit buffer takes a command of any length, so a long
  // command goes on the wire whole; no reply is awaited.
  session_.QueueCommand(TerminalFrame(start, CommandBytes(command), checksum, end));
}

void CCommandDlg::OnClear() {
  receiveBox_.clear();
}

void CCommandDlg::OnShowReceived() {
  showReceived_ = enableCheck_.isChecked();
}

void CCommandDlg::OnTerminalRx(std::span<const std::uint8_t> payload) {
  if (!showReceived_) return;
  receiveBox_.setPlainText(FromUtf8(PayloadText(payload)));
}

void CCommandDlg::done(int result) {
  ended_ = true;
  session_.CloseSession();
  sessionHeld_ = false;
  QDialog::done(result);
}

}  // namespace kestrova
