#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "output/RealTimeLogger.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "OutputTestSupport.h"
#include "acquisition/ControlIds.h"
#include "acquisition/FakeControlPanel.h"

namespace kestrova {
namespace {

using testing::ReadBytes;

constexpr LocalTime kMorning{
    .year = 2026, .month = 12, .day = 6, .hour = 8, .minute = 47, .second = 2, .millisecond = 123};

class RealTimeLoggerTest : public ::testing::Test {
 protected:
  RealTimeLoggerTest() {
    settings_.realSaveEnable = 1;
    settings_.realSavePath = path_;
    buffer_.Allocate();
  }

  // Sample 250 of each channel in the slot at writeIndex.
  void StoreMiddleSamples(const std::array<double, kChannelCount>& values) {
    for (int c = 0; c < kChannelCount; ++c)
      buffer_.Values(buffer_.writeIndex, c)[kLoggedSample] = values[static_cast<std::size_t>(c)];
  }

  // Feeds frames and returns the numbers (from 1) of those that wrote a line.
  std::vector<int> FramesWithLines(int frames) {
    std::vector<int> written;
    for (int k = 1; k <= frames; ++k) {
      const RealSaveWrite result = logger_.WriteRealSaveLine(settings_, buffer_);
      if (result == RealSaveWrite::Written) written.push_back(k);
      EXPECT_TRUE(result == RealSaveWrite::Written || result == RealSaveWrite::Counted) << "frame " << k;
    }
    return written;
  }

  // Start's share of the log: the counter reset, then the file.
  RealSaveStart Start(RealTimeLogger& logger, const ScopeSettings& settings) {
    logger.BeginRealSave();
    return logger.CreateRealSaveFile(settings);
  }
  RealSaveStart Start() { return Start(logger_, settings_); }
  RealSaveStart Start(RealTimeLogger& logger) { return Start(logger, settings_); }

  static std::string LineAt(const LocalTime& time, const std::array<double, kChannelCount>& values) {
    return FormatRealSaveLine(time, values);
  }

  testing::TempDir dir_;
  std::string path_ = dir_.File("log.txt");
  std::uint32_t tick_ = 0;
  LocalTime now_ = kMorning;
  ScopeSettings settings_;
  SampleBuffer buffer_;
  RealTimeLogger logger_{[this] { return tick_; }, [this] { return now_; }};
};

TEST_F(RealTimeLoggerTest, LinesFollowTheChosenInterval) {
  struct Case {
    int index;
    int framesPerLine;
  };
  // "100 ms", "1 sec", "1 hour", and indices outside the list.
  for (const Case& c : {Case{0, 1}, Case{3, 10}, Case{13, 36000}, Case{99, 36000}, Case{-4, 1}}) {
    SCOPED_TRACE("index " + std::to_string(c.index));
    settings_.realSaveIndex = c.index;
    ASSERT_EQ(Start(), RealSaveStart::Logging);
    EXPECT_EQ(FramesWithLines(2 * c.framesPerLine + c.framesPerLine - 1),
              (std::vector<int>{c.framesPerLine, 2 * c.framesPerLine}));
    EXPECT_EQ(logger_.RealSaveCounter(), c.framesPerLine - 1);
    ASSERT_EQ(logger_.EndRealSave(), RealSaveEnd::Closed);
    EXPECT_EQ(ReadBytes(path_), LineAt(kMorning, {}) + LineAt(kMorning, {}));
  }
}

TEST_F(RealTimeLoggerTest, LineHoldsLocalTimeAndMiddleSamplesLessTheModeOffsets) {
  settings_.operationMode = 2;
  settings_.offset[2] = {1.0, 0.0, -2.0, 0.5};
  settings_.offset[0] = {100.0, 100.0, 100.0, 100.0};
  buffer_.writeIndex = 7;
  StoreMiddleSamples({3.5, -1.25, 1.0, -0.5});
  // Neighbouring samples and slots must not leak into the line.
  for (int c = 0; c < kChannelCount; ++c) {
    buffer_.Values(7, c)[kLoggedSample - 1] = 900.0;
    buffer_.Values(7, c)[kLoggedSample + 1] = 900.0;
    buffer_.Values(6, c)[kLoggedSample] = 900.0;
    buffer_.Values(8, c)[kLoggedSample] = 900.0;
  }

  ASSERT_EQ(Start(), RealSaveStart::Logging);
  EXPECT_EQ(logger_.WriteRealSaveLine(settings_, buffer_), RealSaveWrite::Written);
  // The time is read when each line is written.
  now_ = {.year = 2027, .month = 1, .day = 2, .hour = 0, .minute = 0, .second = 9, .millisecond = 7};
  EXPECT_EQ(logger_.WriteRealSaveLine(settings_, buffer_), RealSaveWrite::Written);
  ASSERT_EQ(logger_.EndRealSave(), RealSaveEnd::Closed);

  // No header, CR LF on disk.
  EXPECT_EQ(ReadBytes(path_),
            "2026-12-6, 08:47:02:123, 2.5000, -1.2500, 3.0000, -1.0000\r\n"
            "2027-1-2, 00:00:09:007, 2.5000, -1.2500, 3.0000, -1.0000\r\n");
}

TEST_F(RealTimeLoggerTest, LineFormatsLargeAndTinyValuesLikePrintf) {
  EXPECT_EQ(FormatRealSaveLine(kMorning, {65535.0, -65535.0, 0.00004, -0.00004}),
            "2026-12-6, 08:47:02:123, 65535.0000, -65535.0000, 0.0000, -0.0000\r\n");
  EXPECT_EQ(
      FormatRealSaveLine(
          {.year = 2030, .month = 10, .day = 31, .hour = 23, .minute = 59, .second = 59, .millisecond = 999},
          {0.12345, 1.99999, 10.0, -3.25}),
      "2030-10-31, 23:59:59:999, 0.1235, 2.0000, 10.0000, -3.2500\r\n");
}

TEST_F(RealTimeLoggerTest, EachRunEmptiesTheFileOfThePreviousOne) {
  testing::WriteBytes(path_, std::string(10000, 'x'));
  ASSERT_EQ(Start(), RealSaveStart::Logging);
  FramesWithLines(3);
  ASSERT_EQ(logger_.EndRealSave(), RealSaveEnd::Closed);
  EXPECT_EQ(ReadBytes(path_), LineAt(kMorning, {}) + LineAt(kMorning, {}) + LineAt(kMorning, {}));

  now_.second = 30;
  ASSERT_EQ(Start(), RealSaveStart::Logging);
  FramesWithLines(1);
  ASSERT_EQ(logger_.EndRealSave(), RealSaveEnd::Closed);
  EXPECT_EQ(ReadBytes(path_), LineAt(now_, {}));
}

TEST_F(RealTimeLoggerTest, StartingAgainResetsTheFrameCount) {
  settings_.realSaveIndex = 3;
  ASSERT_EQ(Start(), RealSaveStart::Logging);
  EXPECT_TRUE(FramesWithLines(7).empty());
  logger_.EndRealSave();

  ASSERT_EQ(Start(), RealSaveStart::Logging);
  EXPECT_EQ(logger_.RealSaveCounter(), 0);
  EXPECT_EQ(FramesWithLines(10), std::vector<int>{10});
}

TEST_F(RealTimeLoggerTest, FileThatCannotBeCreatedLeavesTheRunWithoutLog) {
  for (const std::string& path :
       {std::string(), dir_.File("missing/log.txt"), dir_.File(""), std::string("log\0.txt", 8)}) {
    SCOPED_TRACE(path);
    settings_.realSavePath = path;
    EXPECT_EQ(Start(), RealSaveStart::CreateFailed);
    EXPECT_FALSE(logger_.IsOpen());
    // If the window keeps calling, due lines go nowhere and nothing breaks.
    EXPECT_EQ(logger_.WriteRealSaveLine(settings_, buffer_), RealSaveWrite::NotOpen);
    EXPECT_EQ(logger_.EndRealSave(), RealSaveEnd::NotOpen);
  }
  EXPECT_FALSE(std::filesystem::exists("log"));  // the name cut at the NUL

#ifndef _WIN32
  // A named pipe nobody reads must not hang the window.
  const std::string pipe = dir_.File("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  settings_.realSavePath = pipe;
  EXPECT_EQ(Start(), RealSaveStart::CreateFailed);
#endif

  // The next start with a usable path logs again.
  settings_.realSavePath = path_;
  ASSERT_EQ(Start(), RealSaveStart::Logging);
  FramesWithLines(1);
  EXPECT_EQ(logger_.EndRealSave(), RealSaveEnd::Closed);
  EXPECT_EQ(ReadBytes(path_), LineAt(kMorning, {}));
}

TEST_F(RealTimeLoggerTest, ANonAsciiFileNameIsKeptWhole) {
  // The path is UTF-8 whatever the system's code page is.
  const std::u8string name = u8"실시간 로그.txt";
  const std::u8string path = (dir_.Path() / name).u8string();
  settings_.realSavePath.assign(path.begin(), path.end());
  ASSERT_EQ(Start(), RealSaveStart::Logging);
  FramesWithLines(1);
  EXPECT_EQ(logger_.EndRealSave(), RealSaveEnd::Closed);
  EXPECT_EQ(ReadBytes(dir_.Path() / name), LineAt(kMorning, {}));
}

TEST_F(RealTimeLoggerTest, LoggingOffCreatesNoFileAndClosesAnEarlierOne) {
  ASSERT_EQ(Start(), RealSaveStart::Logging);
  FramesWithLines(1);

  ScopeSettings off = settings_;
  off.realSaveEnable = 0;
  off.realSavePath = dir_.File("other.txt");
  EXPECT_EQ(Start(logger_, off), RealSaveStart::Off);
  EXPECT_FALSE(logger_.IsOpen());
  EXPECT_FALSE(std::filesystem::exists(off.realSavePath));
  EXPECT_EQ(ReadBytes(path_), LineAt(kMorning, {}));
}

TEST_F(RealTimeLoggerTest, EndingTwiceIsHarmlessAndTheSamePathWorksNextRun) {
  ASSERT_EQ(Start(), RealSaveStart::Logging);
  EXPECT_TRUE(logger_.IsOpen());
  FramesWithLines(2);
  EXPECT_EQ(logger_.EndRealSave(), RealSaveEnd::Closed);
  EXPECT_FALSE(logger_.IsOpen());
  EXPECT_EQ(logger_.EndRealSave(), RealSaveEnd::NotOpen);
  EXPECT_EQ(ReadBytes(path_), LineAt(kMorning, {}) + LineAt(kMorning, {}));

  ASSERT_EQ(Start(), RealSaveStart::Logging);
  FramesWithLines(1);
  EXPECT_EQ(logger_.EndRealSave(), RealSaveEnd::Closed);
  EXPECT_EQ(ReadBytes(path_), LineAt(kMorning, {}));
}

TEST_F(RealTimeLoggerTest, EachLineIsInTheFileBeforeTheNextFrame) {
  ASSERT_EQ(Start(), RealSaveStart::Logging);
  std::string expected;
  for (int k = 0; k < 3; ++k) {
    now_.millisecond = k;
    ASSERT_EQ(logger_.WriteRealSaveLine(settings_, buffer_), RealSaveWrite::Written);
    expected += LineAt(now_, {});
    // A second reader, while the logger still holds the file.
    EXPECT_EQ(ReadBytes(path_), expected) << "after line " << k;
  }
}

TEST_F(RealTimeLoggerTest, FileCutFromOutsideGetsTheNextLineAtItsNewEnd) {
  ASSERT_EQ(Start(), RealSaveStart::Logging);
  FramesWithLines(3);
  std::error_code cut;
  std::filesystem::resize_file(path_, 0, cut);
  if (cut) GTEST_SKIP() << "the system keeps others from cutting the file: " << cut.message();

  FramesWithLines(1);
  ASSERT_EQ(logger_.EndRealSave(), RealSaveEnd::Closed);
  // No block of NUL bytes where the three lines were.
  EXPECT_EQ(ReadBytes(path_), LineAt(kMorning, {}));
}

TEST_F(RealTimeLoggerTest, FileInUseByAnotherLogIsNeitherTakenNorEmptied) {
  ASSERT_EQ(Start(), RealSaveStart::Logging);
  FramesWithLines(1);
  ASSERT_EQ(logger_.EndRealSave(), RealSaveEnd::Closed);
  ASSERT_EQ(Start(), RealSaveStart::Logging);
  FramesWithLines(2);

  RealTimeLogger second([this] { return tick_; }, [this] { return now_; });
  EXPECT_EQ(Start(second), RealSaveStart::CreateFailed);

  ASSERT_EQ(logger_.EndRealSave(), RealSaveEnd::Closed);
  EXPECT_EQ(ReadBytes(path_), LineAt(kMorning, {}) + LineAt(kMorning, {}));
  EXPECT_EQ(Start(second), RealSaveStart::Logging);
}

class RealTimeLoggerFullDiskTest : public RealTimeLoggerTest {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    settings_.realSavePath = "/dev/full";
  }
};

TEST_F(RealTimeLoggerFullDiskTest, FailedWriteEndsLoggingForTheRunAndIsReportedOnce) {
  ASSERT_EQ(Start(), RealSaveStart::Logging);
  std::vector<RealSaveWrite> results;
  results.reserve(100);
  for (int k = 0; k < 100; ++k) results.push_back(logger_.WriteRealSaveLine(settings_, buffer_));

  // The first line already goes to the device.
  ASSERT_EQ(results.front(), RealSaveWrite::WriteFailed);
  EXPECT_TRUE(std::all_of(results.begin() + 1, results.end(),
                          [](RealSaveWrite r) { return r == RealSaveWrite::NotOpen; }));
  EXPECT_FALSE(logger_.IsOpen());
  EXPECT_EQ(logger_.EndRealSave(), RealSaveEnd::NotOpen);
}

TEST(ElapsedTimeTest, ReadsDaysHoursMinutesSecondsAndMilliseconds) {
  EXPECT_EQ(FormatElapsedTime(0), "0 - 00:00:00:000");
  EXPECT_EQ(FormatElapsedTime(65'250), "0 - 00:01:05:250");
  EXPECT_EQ(FormatElapsedTime((2 * 86'400'000U) + (3 * 3'600'000U) + 4'000U), "2 - 03:00:04:000");
  EXPECT_EQ(FormatElapsedTime(86'399'999), "0 - 23:59:59:999");
  EXPECT_EQ(FormatElapsedTime(0xFFFF'FFFFU), "49 - 17:02:47:295");
}

TEST_F(RealTimeLoggerTest, ElapsedTimeCountsFromRunStartAcrossTheTickWrap) {
  tick_ = 0xFFFF'F000U;
  logger_.MarkRunStart();
  tick_ += 65'250U;  // wraps past zero
  EXPECT_EQ(logger_.ElapsedTimeText(), "0 - 00:01:05:250");

  testing::FakeControlPanel panel;
  tick_ += 1'000U;
  logger_.ShowElapsedTime(panel);
  EXPECT_EQ(panel.Text(ctl::RealSaveStatus), "0 - 00:01:06:250");

  // A new start does not touch the run time until the unit streams.
  tick_ = 5'000U;
  ASSERT_EQ(Start(), RealSaveStart::Logging);
  EXPECT_EQ(logger_.RunStartTick(), 0xFFFF'F000U);
  logger_.MarkRunStart();
  EXPECT_EQ(logger_.ElapsedTimeText(), "0 - 00:00:00:000");
}

TEST(LogClockTest, LocalTimeIsACalendarTime) {
  const LocalTime now = CurrentLocalTime();
  EXPECT_GE(now.year, 2024);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
  EXPECT_GE(now.hour, 0);
  EXPECT_LE(now.hour, 23);
  EXPECT_GE(now.minute, 0);
  EXPECT_LE(now.minute, 59);
  EXPECT_GE(now.second, 0);
  EXPECT_LE(now.second, 60);
  EXPECT_GE(now.millisecond, 0);
  EXPECT_LE(now.millisecond, 999);
}

}  // namespace
}  // namespace kestrova
