// Termination signals close the program the way EXIT does. POSIX only: a
// windowed program on Windows gets no such signals.
#ifndef _WIN32

#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "acquisition/ControlIds.h"
#include "acquisition/MemoryProfile.h"
#include "acquisition/SettingsPersistence.h"
#include "app/ScopeDlg.h"
#include "app/ShutdownSignals.h"
#include "simulator/SimulatedDriver.h"
#include "support/AnsweringPrompts.h"

namespace kestrova {
namespace {

// True when nobody holds the file's write lock any more (the log is closed).
bool Unlocked(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
}

TEST(ShutdownSignalsTest, SigtermDuringALoggedRunClosesTheWindowAsExitDoes) {
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

  ASSERT_EQ(std::raise(SIGTERM), 0);
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

TEST(ShutdownSignalsTest, TheSessionsSigtermAndSighupMakeOneRequest) {
  int requests = 0;
  {
    const ShutdownSignals shutdown([&requests] { ++requests; });
    ASSERT_EQ(std::raise(SIGTERM), 0);
    ASSERT_EQ(std::raise(SIGHUP), 0);  // logind's follow-up must not kill the program
    EXPECT_TRUE(QTest::qWaitFor([&] { return requests > 0; }, 30000));
    EXPECT_EQ(requests, 1);
  }
  // Destroyed: the next window gets its own request.
  const ShutdownSignals again([&requests] { ++requests; });
  ASSERT_EQ(std::raise(SIGINT), 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return requests == 2; }, 30000));
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

}  // namespace
}  // namespace kestrova

#endif
