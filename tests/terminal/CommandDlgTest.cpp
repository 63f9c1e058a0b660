#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RecordingDriver.h"
#include "SessionTestSupport.h"
#include "app/DialogBuilder.h"
#include "device/DeviceSession.h"
#include "device/TerminalCommand.h"
#include "terminal/CommandDlg.h"

namespace kestrova {
namespace {

using fakes::Bytes;
using fakes::Framed;
using fakes::ShowBytes;
namespace id = terminal_ctl;

// Hands the receive thread's frames to the dialog on the user-interface
// thread, as the main window does, and counts those handed over.
class DialogEvents final : public SessionEvents {
 public:
  void PostFrameReady() override {}
  void PostLinkLost() override {}
  void PostTerminalFrame(std::vector<std::uint8_t> payload) override {
    QMetaObject::invokeMethod(
        &context_,
        [this, payload = std::move(payload)] {
          if (dialog != nullptr) dialog->OnTerminalRx(payload);
          ++handed;
        },
        Qt::QueuedConnection);
  }
  CCommandDlg* dialog = nullptr;  // user-interface thread
  int handed = 0;                 // user-interface thread

 private:
  QObject context_;  // calls still queued when it goes are dropped
};

// The dialog on a session whose unit is a recording driver.
class CommandDlgTest : public ::testing::Test {
 protected:
  CommandDlgTest() {
    driver_.AddDevice("KV0001", "Orvanta USBCOM");
    session_.SetSerialNumber("KV0001");
    session_.SetTerminalOpen(true);
    dialog_ = std::make_unique<CCommandDlg>(session_, &DialogBuilder::BuildLookup,
                                            [this](std::string_view text) { messages_.emplace_back(text); });
    events_.dialog = dialog_.get();
  }

  // Initialises and shows the dialog without its own modal loop.
  void Open() {
    ASSERT_TRUE(dialog_->OnInitDialog());
    dialog_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
  }

  template <class Widget>
  Widget& Get(int controlId) {
    auto* widget = qobject_cast<Widget*>(dialog_->Control(controlId));
    EXPECT_NE(widget, nullptr) << controlId;
    return *widget;
  }
  void Type(int controlId, const QString& text) {
    auto& edit = Get<QLineEdit>(controlId);
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_Delete);
    QTest::keyClicks(&edit, text);
  }
  // A check box is clicked on its box, a button in its middle.
  void Click(int controlId) {
    QWidget* widget = dialog_->Control(controlId);
    const QPoint at = qobject_cast<QCheckBox*>(widget) != nullptr ? QPoint(6, widget->height() / 2)
                                                                  : widget->rect().center();
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
  }
  // Bytes from the unit, and a wait until the dialog has been handed their frames.
  void UnitSends(std::string_view bytes, int frames = 1) {
    const int expected = events_.handed + frames;
    driver_.Receive(bytes);
    ASSERT_TRUE(QTest::qWaitFor([&] { return events_.handed >= expected; }, 20000))
        << "frame never reached the dialog";
  }
  [[nodiscard]] QString Received() { return Get<QPlainTextEdit>(id::ReceiveBox).toPlainText(); }

  fakes::RecordingDriver driver_;
  fakes::RecordingDriverLoader loader_{driver_};
  FrameHandoff frames_;
  AcquisitionRunning running_;
  DialogEvents events_;
  fakes::RecordingStatusLine status_;
  DeviceSession session_{loader_, frames_, running_, events_, status_};
  std::vector<std::string> messages_;
  std::unique_ptr<CCommandDlg> dialog_;
};

// What SEND puts on the wire for typed framing, command and checksum box.
TEST_F(CommandDlgTest, SendWritesTheFramedCommand) {
  struct Case {
    std::optional<QString> start;  // nothing: the dialog's default "0x02"
    std::optional<QString> end;    // nothing: the dialog's default "0x03"
    QString command;
    bool checksum;
    std::string wire;
    QString shownChecksum;
  };
  const std::string longCommand(100, 'x');
  const std::vector<Case> cases = {
      {{},
       {},
       "A",
       true,
       "\x02"
       "A41\x03",
       "0x41"},
      {{},
       {},
       "A",
       false,
       "\x02"
       "A\x03",
       "0x41"},
      {{},
       {},
       "",
       true,
       std::string("\x02"
                   "00\x03"),
       ""},
      {{},
       {},
       "abc",
       true,
       "\x02"
       "abc26\x03",
       "0x26"},
      {"1B", "0D", "A", false,
       "\x1B"
       "A\x0D",
       "0x41"},
      // A zero goes on the wire where one was typed.
      {"0x00",
       {},
       "A",
       false,
       std::string("\x00"
                   "A\x03",
                   3),
       "0x41"},
      {{},
       "0",
       "A",
       true,
       std::string("\x02"
                   "A41\x00",
                   5),
       "0x41"},
      // An end text without digits: no end byte.
      {{}, "xyz", "A", true, "\x02" "A41", "0x41"},
      {{}, "", "A", false, "\x02" "A", "0x41"},
      // A start text without digits: nothing at all; the next SEND (with
      // the start "2") is the next write.
      {"xyz", {}, "A", false, "", "0x41"},
      {"", "0D", "A", false, "", "0x41"},
      {"0x", {}, "A", false, "", "0x41"},
      {"1b", "0d", "A", false, "\x1B"
                              "A\x0D", "0x41"},
      {"0x1FF", " -1", "A", false,
       "\xFF"
       "A\xFF",
       "0x41"},
      // Longer than the unit's own commands: sent whole, never cut.
      {{}, {}, QString::fromStdString(longCommand), false, "\x02" + longCommand + "\x03", "0xE0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command.left(10).toStdString() + " start " + c.start.value_or("-").toStdString() +
                 " end " + c.end.value_or("-").toStdString());
    driver_.ClearCalls();
    dialog_ = std::make_unique<CCommandDlg>(session_, &DialogBuilder::BuildLookup, [](std::string_view) {});
    events_.dialog = dialog_.get();
    Open();
    EXPECT_EQ(Get<QLineEdit>(id::StartEdit).text(), "0x02");
    EXPECT_EQ(Get<QLineEdit>(id::EndEdit).text(), "0x03");
    if (c.start) Type(id::StartEdit, *c.start);
    if (c.end) Type(id::EndEdit, *c.end);
    Type(id::CommandEdit, c.command);
    EXPECT_EQ(Get<QLineEdit>(id::ChecksumDisplay).text(), c.shownChecksum);
    if (c.checksum) Click(id::ChecksumCheck);
    const std::size_t before = driver_.Writes().size();
    Click(id::Send);
    std::string wire = c.wire;
    if (wire.empty()) {
      Type(id::StartEdit, "2");
      Click(id::Send);
      wire = std::string("\x02") + c.command.toStdString();
      if (c.checksum) wire += c.shownChecksum.mid(2).toStdString();
      if (const std::optional<std::uint8_t> end = FramingByte(c.end.value_or("0x03").toStdString())) wire += static_cast<char>(*end);
    }
    ASSERT_TRUE(driver_.WaitUntil([&] { return driver_.Writes().size() > before; })) << "nothing written";
    EXPECT_EQ(driver_.Writes().size(), before + 1);
    EXPECT_EQ(ShowBytes(driver_.Writes().back()), ShowBytes(Bytes(wire)));
    dialog_->close();
    EXPECT_FALSE(session_.IsOpen());
  }
}

TEST_F(CommandDlgTest, ShowsOnlyTheLatestFrameAndOnlyWhileEnabled) {
  Open();
  UnitSends(Framed("dropped"));
  EXPECT_EQ(Received(), "");

  Click(id::Enable);
  UnitSends(Framed("first"));
  EXPECT_EQ(Received(), "first");
  UnitSends(Framed("second") + Framed(std::string("te\0xt", 5)), 2);
  EXPECT_EQ(Received(), "te");

  Click(id::Clear);
  EXPECT_EQ(Received(), "");
  Click(id::Enable);
  UnitSends(Framed("ignored"));
  EXPECT_EQ(Received(), "");
}

TEST_F(CommandDlgTest, EnterNeitherSendsNorClosesAndEscapeClosesTheSession) {
  Open();
  auto& command = Get<QLineEdit>(id::CommandEdit);
  EXPECT_TRUE(command.hasFocus());
  QTest::keyClicks(&command, "A");
  QTest::keyClick(&command, Qt::Key_Return);
  QTest::keyClick(&command, Qt::Key_Enter, Qt::KeypadModifier);
  // A send would be written within a wait tick of the receive thread.
  EXPECT_FALSE(driver_.WaitUntil([&] { return !driver_.Writes().empty(); }, std::chrono::milliseconds(300)));
  EXPECT_TRUE(dialog_->isVisible());
  EXPECT_TRUE(session_.IsOpen());

  QTest::keyClick(&command, Qt::Key_Escape);
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_EQ(dialog_->result(), QDialog::Rejected);
  EXPECT_FALSE(session_.IsOpen());
  EXPECT_TRUE(driver_.Writes().empty());
}

TEST_F(CommandDlgTest, SendWithTheUnitGoneWarnsAndSendsNothing) {
  Open();
  session_.CloseSession();
  driver_.RemoveAllDevices();
  Type(id::CommandEdit, "A");
  Click(id::Send);
  ASSERT_EQ(messages_, std::vector<std::string>{std::string(kTerminalLinkFailedText)});
  EXPECT_EQ(status_.text, kPortOpenFailedText);
  EXPECT_TRUE(driver_.Writes().empty());
}

TEST_F(CommandDlgTest, EndsAtOnceWhenTheUnitCannotBeOpened) {
  driver_.RemoveAllDevices();
  EXPECT_EQ(dialog_->DoModal(), QDialog::Rejected);
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_EQ(status_.text, kPortOpenFailedText);
}

}  // namespace
}  // namespace kestrova
