#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "acquisition/ControlIds.h"
#include "acquisition/MemoryProfile.h"
#include "app/ScopeDlg.h"
#include "controls/ColorStatic.h"
#include "simulator/SimulatedDriver.h"
#include "support/AnsweringPrompts.h"
#include "terminal/CommandDlg.h"

namespace kestrova {
namespace {

void ClickMiddle(QWidget* widget) {
  ASSERT_NE(widget, nullptr);
  QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

// The terminal as a user meets it: "D" in the stopped main window on the
// simulated unit, the identification query typed and sent, the reply read,
// Escape, and the window's keys working again.
TEST(TerminalWindowTest, DSendsTheQueryShowsTheReplyAndGivesTheWindowBack) {
  auto bench = std::make_shared<SimulatedBench>();
  MemoryProfile profile;
  test::AnsweringPrompts prompts;
  CScopeDlg window(MakeSimulatedDriverLoader(bench), profile, prompts);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.Panel().SetText(ctl::TriggerStatus, "Trigger!");
  window.Panel().ColorStatic(ctl::TriggerStatus)->SetBackgroundColor(Rgb(255, 0, 0));
  const auto unit = [&] { return *bench->StatusOf("SIM00001")->unit; };

  bool sawTerminal = false;
  QTimer::singleShot(0, &window, [&] {
    CCommandDlg* terminal = nullptr;
    const bool shown = QTest::qWaitFor(
        [&] { return (terminal = qobject_cast<CCommandDlg*>(QApplication::activeModalWidget())) != nullptr; },
        20000);
    ASSERT_TRUE(shown) << "the terminal did not open";
    sawTerminal = true;
    // Whatever fails below, the modal loop must end.
    const auto closeAnyway = qScopeGuard([terminal] { terminal->reject(); });

    EXPECT_TRUE(window.Running());
    EXPECT_EQ(window.Panel().Text(ctl::TriggerStatus), "");
    EXPECT_EQ(window.Panel().ColorStatic(ctl::TriggerStatus)->BackgroundColor(), Rgb(0, 255, 128));

    auto* command = qobject_cast<QLineEdit*>(terminal->Control(terminal_ctl::CommandEdit));
    ASSERT_NE(command, nullptr);
    QTest::keyClicks(command, "?");
    auto* enable = terminal->Control(terminal_ctl::Enable);
    QTest::mouseClick(enable, Qt::LeftButton, Qt::NoModifier, QPoint(6, enable->height() / 2));
    ClickMiddle(terminal->Control(terminal_ctl::Send));

    auto* received = qobject_cast<QPlainTextEdit*>(terminal->Control(terminal_ctl::ReceiveBox));
    const QString identification = QString::fromStdString(unit().identification);
    EXPECT_TRUE(QTest::qWaitFor([&] { return received->toPlainText() == identification; }, 20000))
        << "shown: " << received->toPlainText().toStdString();
    // STX ? ETX reached the unit as a query; the scope display saw nothing.
    EXPECT_EQ(unit().identificationQueries, 1);
    EXPECT_EQ(unit().unknownCommands, 0);
    EXPECT_EQ(window.Buffer().frameCount, 0);

    QTest::keyClick(command, Qt::Key_Escape);
    EXPECT_FALSE(terminal->isVisible());
  });
  ClickMiddle(window.Panel().Controls().Find(ctl::TerminalButton));
  ASSERT_TRUE(sawTerminal);

  EXPECT_FALSE(window.Running());
  EXPECT_FALSE(window.Session().IsOpen());
  EXPECT_FALSE(window.Session().TerminalOpen());
  QKeyEvent f2(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
  QApplication::sendEvent(window.Panel().Controls().Find(ctl::TimeList), &f2);
  EXPECT_TRUE(window.Running());
  EXPECT_TRUE(window.Session().IsOpen());
  window.OnStop();
}

}  // namespace
}  // namespace kestrova
