// Termination requests from outside the window close the program the way
// EXIT does: the POSIX signals, and on Windows the session's end and the
// console's control events.

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#ifdef _WIN32
#include <filesystem>

#include <io.h>
#include <share.h>

#include "device/Win32.h"
#else
#include <sys/file.h>
#include <unistd.h>
#endif

#include "acquisition/ControlIds.h"
#include "acquisition/MemoryProfile.h"
#include "acquisition/SettingsPersistence.h"
#include "app/QtPrompts.h"
#include "app/ScopeDlg.h"
#include "app/ShutdownSignals.h"
#include "simulator/SimulatedDriver.h"
#include "support/AnsweringPrompts.h"
#include "terminal/CommandDlg.h"

namespace kestrova {
namespace {

#ifdef _WIN32

// True when nobody holds the file open for writing any more (the log is closed).
bool Unlocked(const std::string& path) {
  const std::filesystem::path name(std::u8string(path.begin(), path.end()));
  int fd = -1;
  if (::_wsopen_s(&fd, name.c_str(), _O_WRONLY | _O_APPEND | _O_BINARY, _SH_DENYNO, 0) != 0) return false;
  ::_close(fd);
  return true;
}

// What the system sends the program's windows when the session ends.
void SendSessionEnd(bool ending = true) {
  ASSERT_NE(
      ::PostThreadMessageW(::GetCurrentThreadId(), WM_ENDSESSION, ending ? TRUE : FALSE, ENDSESSION_LOGOFF),
      FALSE);
}

// The outside request the program most often gets.
void RequestEnd() {
  SendSessionEnd();
}

#else

// True when nobody holds the file's write lock any more (the log is closed).
bool Unlocked(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
}

void RequestEnd() {
  ASSERT_EQ(std::raise(SIGTERM), 0);
}

#endif

TEST(ShutdownSignalsTest, AnEndRequestDuringALoggedRunClosesTheWindowAsExitDoes) {
  QTemporaryDir directory;
  const std::string log = directory.filePath(QStringLiteral("log.txt")).toStdString();
  auto bench = std::make_shared<SimulatedBench>();
  MemoryProfile profile;
  test::AnsweringPrompts prompts;
  prompts.savePath = log;
  prompts.yes = true;
  CScopeDlg dialog(MakeSimulatedDriverLoader(bench), profile, prompts);
  const ShutdownSignals shutdown([&dialog] { dialog.OnSessionEnd(); });
  ASSERT_TRUE(shutdown.WatchingSignals());
  dialog.show();
  QWidget* enable = dialog.Panel().Controls().Find(ctl::RealSaveEnable);
  QTest::mouseClick(enable, Qt::LeftButton, {}, QPoint(6, enable->height() / 2));  // on the box
  QTest::mouseClick(dialog.Panel().Controls().Find(ctl::RealSaveBrowse), Qt::LeftButton);
  QTest::mouseClick(dialog.Panel().Controls().Find(ctl::Start), Qt::LeftButton);
  ASSERT_TRUE(dialog.Running());
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Buffer().frameCount >= 2; }, 30000)) << "no frames arrived";
  ASSERT_FALSE(Unlocked(log));

  RequestEnd();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }, 30000)) << "the window did not close";

  // All of it before the window is destroyed: the process may end any time now.
  EXPECT_TRUE(Unlocked(log));
  std::ifstream in(log, std::ios::binary);
  const std::string lines{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_GE(lines.size(),
            2 * std::string_view("2026-1-1, 00:00:00:000, 0.0000, 0.0000, 0.0000, 0.0000\r\n").size());
  EXPECT_TRUE(lines.ends_with("\r\n"));
  EXPECT_EQ(profile.KeyCount(kSettingsSection), kSettingsKeyCount);
  EXPECT_EQ(profile.StoredText(kSettingsSection, "Real Save File Path"), log);
  const UnitStatus unit = *bench->StatusOf("SIM00001")->unit;
  EXPECT_EQ(unit.configuration.controlWord, 0x4000);  // parked
  EXPECT_FALSE(unit.streaming);
  EXPECT_FALSE(dialog.Session().IsOpen());
  EXPECT_TRUE(prompts.messages.empty());
}

// Every box, dialog and the terminal runs an event loop of its own: a signal
// while one is open must end it, and the program, without anybody answering.
TEST(ShutdownSignalsTest, ASignalWhileADialogIsOpenEndsItAndTheProgram) {
  for (const bool terminal : {false, true}) {
    SCOPED_TRACE(terminal ? "the terminal open" : "a message box open");
    auto bench = std::make_shared<SimulatedBench>();
    MemoryProfile profile;
    QtPrompts prompts;
    CScopeDlg dialog(MakeSimulatedDriverLoader(bench), profile, prompts);
    prompts.SetParent(&dialog);
    bool requested = false;
    std::optional<int> opensAfterRequest;
    const ShutdownSignals shutdown([&] {
      requested = true;
      dialog.OnSessionEnd();
      opensAfterRequest = bench->CallCount(DriverCall::OpenEx);
    });
    ASSERT_TRUE(shutdown.WatchingSignals());

    // "D" opens the terminal; F5 with nothing captured a message box.
    QTimer::singleShot(0, &dialog, [&] {
      if (terminal) {
        QTest::mouseClick(dialog.Panel().Controls().Find(ctl::TerminalButton), Qt::LeftButton);
      } else {
        QTest::keyClick(dialog.Panel().Controls().Find(ctl::TimeList), Qt::Key_F5);
      }
    });
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> signalled;
    bool sendTried = false;
    bool answeredByHand = false;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!signalled) {
        if (modal == nullptr || modal == &dialog) return;
        signalled = Clock::now();
        RequestEnd();
        return;
      }
      if (requested && !sendTried) {
        sendTried = true;
        // A terminal still open takes SEND as ever.
        for (QWidget* window : QApplication::topLevelWidgets()) {
          if (auto* open = qobject_cast<CCommandDlg*>(window); open != nullptr && open->isVisible())
            QTest::mouseClick(open->Control(terminal_ctl::Send), Qt::LeftButton);
        }
      }
      // Long past the time allowed: answer by hand so that the test ends.
      if (Clock::now() - *signalled > std::chrono::seconds(10) && !answeredByHand) {
        answeredByHand = true;
        for (QWidget* window : QApplication::topLevelWidgets()) {
          if (auto* other = qobject_cast<QDialog*>(window); other != nullptr && other != &dialog)
            other->reject();
        }
        dialog.close();
      }
    });
    watch.start();
    dialog.exec();
    const auto ended = Clock::now();
    watch.stop();

    ASSERT_TRUE(signalled.has_value()) << "no dialog opened";
    EXPECT_TRUE(requested);
    EXPECT_FALSE(answeredByHand) << "the program waited for the open dialog to be answered";
    std::printf("[ measured ] from the signal to the end of the window's loop: %lld ms\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(ended - *signalled).count()));
    // Nothing opened the unit again once it was parked, and it stays quiet.
    ASSERT_TRUE(opensAfterRequest.has_value());
    EXPECT_EQ(bench->CallCount(DriverCall::OpenEx), *opensAfterRequest);
    const UnitStatus unit = *bench->StatusOf("SIM00001")->unit;
    EXPECT_EQ(unit.configuration.controlWord, 0x4000);  // parked
    EXPECT_FALSE(bench->StatusOf("SIM00001")->open);
    EXPECT_EQ(profile.KeyCount(kSettingsSection), kSettingsKeyCount);
    for (QWidget* window : QApplication::topLevelWidgets()) {
      EXPECT_FALSE(window->isVisible()) << "still open: " << window->metaObject()->className();
    }
  }
}

// The session's quit notice, as Qt gives it when the desktop session ends.
void SendQuitNotice() {
  ASSERT_TRUE(QMetaObject::invokeMethod(qApp, "aboutToQuit", Qt::DirectConnection));
}

#ifndef _WIN32

TEST(ShutdownSignalsTest, ARequestIsDeliveredOnceWhateverFollowsIt) {
  // 0 stands for the session's quit notice.
  struct Row {
    int first;
    int then;
    bool together;  // the second before the first is handled
  };
  const std::vector<Row> rows = {
      {SIGTERM, SIGHUP, true},  // logind's follow-up must not kill the program
      {SIGTERM, SIGTERM, false}, {SIGTERM, SIGHUP, false}, {SIGTERM, 0, false},
      {SIGHUP, SIGTERM, false},  {SIGINT, 0, false},       {0, SIGTERM, false},
  };
  const auto send = [](int what) {
    if (what == 0) {
      SendQuitNotice();
    } else {
      ASSERT_EQ(std::raise(what), 0);
    }
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.first) + " then " + std::to_string(row.then));
    int requests = 0;
    const ShutdownSignals shutdown([&requests] { ++requests; });
    send(row.first);
    if (row.together) send(row.then);
    EXPECT_TRUE(QTest::qWaitFor([&] { return requests > 0; }, 30000));
    if (!row.together) send(row.then);
    // Time for a second delivery, were there one.
    QTest::qWait(50);
    EXPECT_EQ(requests, 1);
  }
  // Each watcher gets its own request.
  int requests = 0;
  const ShutdownSignals again([&requests] { ++requests; });
  ASSERT_EQ(std::raise(SIGINT), 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return requests == 1; }, 30000));
}

TEST(ShutdownSignalsDeathTest, ASecondCtrlCEndsAStuckProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const ShutdownSignals shutdown([] {});
        std::raise(SIGINT);
        std::raise(SIGINT);  // the first was never handled: the program is stuck
        std::_Exit(0);
      },
      ::testing::KilledBySignal(SIGINT), "");
}

#else

TEST(ShutdownSignalsTest, ARequestIsDeliveredOnceWhateverFollowsIt) {
  enum class Request { SessionEnd, CancelledSessionEnd, CtrlBreak, QuitNotice };
  const auto send = [](Request what) {
    switch (what) {
      case Request::SessionEnd:
        SendSessionEnd();
        break;
      case Request::CancelledSessionEnd:
        SendSessionEnd(false);
        break;
      case Request::CtrlBreak:
        ASSERT_NE(::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0), FALSE);
        break;
      case Request::QuitNotice:
        SendQuitNotice();
        break;
    }
  };
  // Ctrl+Break needs a console; under Wine a program whose standard handles
  // are pipes (ctest's) has none and can make none.
  DWORD attached[4] = {};
  const bool console = ::GetConsoleProcessList(attached, 4) != 0 || ::AllocConsole() != FALSE;
  struct Row {
    Request first;
    Request then;
  };
  const std::vector<Row> rows = {
      {Request::SessionEnd, Request::SessionEnd},  // every top-level window gets the message
      {Request::SessionEnd, Request::QuitNotice}, {Request::QuitNotice, Request::SessionEnd},
      {Request::SessionEnd, Request::CtrlBreak},  {Request::CtrlBreak, Request::SessionEnd},
      {Request::CtrlBreak, Request::QuitNotice},
  };
  for (const Row& row : rows) {
    if (!console && (row.first == Request::CtrlBreak || row.then == Request::CtrlBreak)) continue;
    SCOPED_TRACE(std::to_string(static_cast<int>(row.first)) + " then " +
                 std::to_string(static_cast<int>(row.then)));
    int requests = 0;
    const ShutdownSignals shutdown([&requests] { ++requests; });
    ASSERT_TRUE(shutdown.WatchingSignals());
    send(row.first);
    EXPECT_TRUE(QTest::qWaitFor([&] { return requests > 0; }, 30000));
    send(row.then);
    // Time for a second delivery, were there one.
    QTest::qWait(50);
    EXPECT_EQ(requests, 1);
  }
  // A session end that another program cancelled leaves the program running:
  // nothing was delivered by the time a message posted after it arrives.
  struct Mark final : QAbstractNativeEventFilter {
    std::optional<int> requestsThen;
    const int* requests = nullptr;
    bool nativeEventFilter(const QByteArray& /*type*/, void* message, qintptr* /*result*/) override {
      if (static_cast<const MSG*>(message)->message == WM_APP) requestsThen = *requests;
      return false;
    }
  };
  int requests = 0;
  Mark mark;
  mark.requests = &requests;
  qApp->installNativeEventFilter(&mark);
  const ShutdownSignals cancelled([&requests] { ++requests; });
  send(Request::CancelledSessionEnd);
  ASSERT_NE(::PostThreadMessageW(::GetCurrentThreadId(), WM_APP, 0, 0), FALSE);
  EXPECT_TRUE(QTest::qWaitFor([&] { return mark.requestsThen.has_value(); }, 30000));
  qApp->removeNativeEventFilter(&mark);
  EXPECT_EQ(mark.requestsThen, 0);
  if (!console) GTEST_SKIP() << "the Ctrl+Break rows: no console (Wine gives none to a program on pipes)";
}

#endif

}  // namespace
}  // namespace kestrova
