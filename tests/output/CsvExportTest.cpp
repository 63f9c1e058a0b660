#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifdef __linux__
#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "OutputTestSupport.h"
#include "output/CsvExport.h"
#include "output/LogFile.h"

namespace kestrova {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

constexpr int kMode = 2;  // CAN: its offsets are the ones taken off
constexpr std::array<double, kChannelCount> kOffsets = {2.0, -0.25, 0.0, 1000.5};

// The file as printf makes it (this program keeps the C locale), the time accumulated by
// repeated addition of the sample step, over the given slots in order.
std::string ExpectedFile(const SampleBuffer& buffer, const std::vector<int>& slots, double step) {
  std::string file = "Time(sec), Channel1, Channel2, Channel3, Channel4\r\n";
  double t = 0.0;
  std::array<char, 2048> line{};
  for (const int slot : slots) {
    for (int i = 0; i < kSamplesPerFrame; ++i) {
      std::array<double, kChannelCount> v{};
      for (int c = 0; c < kChannelCount; ++c) {
        v[static_cast<std::size_t>(c)] =
            buffer.Values(slot, c)[static_cast<std::size_t>(i)] - kOffsets[static_cast<std::size_t>(c)];
      }
      const int n = std::snprintf(line.data(), line.size(), "%f, %.4f, %.4f, %.4f, %.4f\r\n", t, v[0], v[1],
                                  v[2], v[3]);
      file.append(line.data(), static_cast<std::size_t>(n));
      t += step;
    }
  }
  return file;
}

class CsvExportTest : public ::testing::Test {
 protected:
  CsvExportTest() {
    buffer_.Allocate();
    settings_.operationMode = kMode;
    for (int m = 0; m < kModeCount; ++m) {
      for (std::size_t c = 0; c < kChannelCount; ++c)
        settings_.offset[m][c] = m == kMode ? kOffsets[c] : 77.0;
    }
    settings_.channelEnable[kMode][1] = 0;  // hidden on the display, still exported
    // Every slot different; values of every size and sign, with ties and
    // values that round to "-0.0000".
    std::uint32_t seed = 12345;
    for (int slot = 0; slot < kHistoryFrames; ++slot) {
      for (int c = 0; c < kChannelCount; ++c) {
        for (double& value : buffer_.Values(slot, c)) {
          seed = seed * 1664525U + 1013904223U;
          value = static_cast<double>(static_cast<std::int32_t>((seed >> 4U) % 2000001U) - 1000000) / 13.0 +
                  slot + kOffsets[static_cast<std::size_t>(c)];
        }
      }
    }
    const std::array<double, 6> special = {-1.5, -0.00004, 0.00005, -0.00005, 4294836225.0, -0.0};
    for (std::size_t k = 0; k < special.size(); ++k) {
      for (int c = 0; c < kChannelCount; ++c)
        buffer_.Values(0, c)[k] = special[k] + kOffsets[static_cast<std::size_t>(c)];
    }
  }

  testing::TempDir dir_;
  std::string path_ = dir_.File("data.csv");
  ScopeSettings settings_;
  SampleBuffer buffer_;
};

TEST_F(CsvExportTest, FilesMatchPrintfAtEveryTimeBaseOfTheCapture) {
  struct Case {
    int timePerDivision;  // of the capture
    int end;              // the slot after the newest frame
    int frames;
    std::vector<int> slots;  // written, oldest first
    double step;             // seconds between lines
    const char* lastLineStart;
  };
  std::vector<int> all;
  all.reserve(kHistoryFrames);
  for (int k = 0; k < kHistoryFrames; ++k) all.push_back((37 + k) % kHistoryFrames);
  const std::vector<Case> cases = {
      // Single-frame time bases: the newest frame only, whatever the count says.
      {1, 1, 1, {0}, 2e-6, "0.000998, "},
      {20, 1, 100, {0}, 40e-6, "0.019960, "},
      {50, 1, 7, {0}, 100e-6, "0.049900, "},
      // History time bases: the last frames, oldest first, across the wrap.
      {100, 5, 1, {4}, 0.0002, "0.099800, "},
      {1000, 2, 5, {97, 98, 99, 0, 1}, 0.0002, "0.499800, "},
      {10000, 37, 100, all, 0.0002, "9.999800, "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("T " + std::to_string(c.timePerDivision) + ", frames " + std::to_string(c.frames));
    buffer_.captureTimePerDivision = c.timePerDivision;
    buffer_.captureEnd = c.end;
    buffer_.captureFrames = c.frames;
    // The Time list has moved on since the capture, to the other kind of
    // time base, which also took the display back to slot 0.
    for (const int chosen : {c.timePerDivision, c.timePerDivision > 50 ? 10 : 10000}) {
      settings_.timePerDivision = chosen;
      buffer_.writeIndex = chosen == c.timePerDivision ? c.end % kHistoryFrames : 0;
      buffer_.frameCount = chosen == c.timePerDivision ? c.frames : 100;
      ASSERT_EQ(WriteCsvExport(path_, settings_, buffer_), CsvExportResult::Saved);
      const std::string file = ReadBytes(path_);
      EXPECT_TRUE(file == ExpectedFile(buffer_, c.slots, c.step)) << "the file differs from printf's";
      const std::size_t lastLine = file.rfind("\r\n", file.size() - 3) + 2;
      EXPECT_EQ(file.substr(lastLine, 10), c.lastLineStart);
      EXPECT_EQ(static_cast<std::size_t>(std::count(file.begin(), file.end(), '\n')), 1 + 500 * c.slots.size());
    }
  }
  // The values the rounding rules are about, as printf writes them.
  buffer_.captureTimePerDivision = 20;
  buffer_.captureEnd = 1;
  ASSERT_EQ(WriteCsvExport(path_, settings_, buffer_), CsvExportResult::Saved);
  const std::string file = ReadBytes(path_);
  EXPECT_EQ(file.substr(file.find('\n') + 1, 46), "0.000000, -1.5000, -1.5000, -1.5000, -1.5000\r\n");
}

TEST_F(CsvExportTest, NothingIsCreatedWithoutDataOrWhereNoFileCanBe) {
  // Frames counted since Start, but the ring was cleared since.
  buffer_.frameCount = 5;
  buffer_.captureFrames = 0;
  EXPECT_EQ(WriteCsvExport(path_, settings_, buffer_), CsvExportResult::NoData);
  EXPECT_FALSE(std::filesystem::exists(path_));

  buffer_.captureFrames = 1;
  WriteBytes(dir_.File("plain"), "x");
  // A folder that is a file, and a folder itself: checked even as root.
  for (const std::string& path : {dir_.File("plain") + "/data.csv", dir_.File(""), std::string()}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(WriteCsvExport(path, settings_, buffer_), CsvExportResult::CreateFailed);
  }
  EXPECT_EQ(ReadBytes(dir_.File("plain")), "x");
}

#ifdef __linux__
// A device is no file of ours to hold: two writers to /dev/null (two
// scripts, or a log and an export) both get it, while a regular file that
// another writer holds is refused.
TEST_F(CsvExportTest, OnlyARegularFileIsHeldFromASecondWriter) {
  buffer_.captureFrames = 1;
  LogFile device;
  ASSERT_TRUE(device.Create("/dev/null"));
  EXPECT_EQ(WriteCsvExport("/dev/null", settings_, buffer_), CsvExportResult::Saved);

  LogFile held;
  ASSERT_TRUE(held.Create(path_));
  EXPECT_EQ(WriteCsvExport(path_, settings_, buffer_), CsvExportResult::CreateFailed);
}

// A named pipe read slowly, as by a script that processes each line: the
// export waits for the reader instead of failing once the pipe is full.
TEST_F(CsvExportTest, APipeReadSlowlyGetsTheWholeFile) {
  buffer_.captureTimePerDivision = 10000;
  buffer_.captureEnd = 37;
  buffer_.captureFrames = 100;
  ASSERT_EQ(WriteCsvExport(path_, settings_, buffer_), CsvExportResult::Saved);
  const std::string expected = ReadBytes(path_);
  ASSERT_GT(expected.size(), std::size_t{1} << 20U);  // many times what a pipe holds

  const std::string pipe = dir_.File("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  std::atomic<bool> written{false};
  std::string received;
  std::thread slowReader([&] {
    std::array<char, 4096> chunk{};
    for (;;) {
      pollfd ready{reader, POLLIN, 0};
      ::poll(&ready, 1, 10);
      const ssize_t n = ::read(reader, chunk.data(), chunk.size());
      if (n > 0) {
        received.append(chunk.data(), static_cast<std::size_t>(n));
        std::this_thread::sleep_for(std::chrono::microseconds(200));  // a slow reader
      } else if (written) {
        break;  // the writer is gone and the pipe is empty
      }
    }
  });
  const CsvExportResult result = WriteCsvExport(pipe, settings_, buffer_);
  written = true;
  slowReader.join();
  ::close(reader);
  EXPECT_EQ(result, CsvExportResult::Saved);
  EXPECT_EQ(received.size(), expected.size());
  EXPECT_TRUE(received == expected);
}

TEST_F(CsvExportTest, ADiskThatRefusesTheLinesIsAFailure) {
  // Every write to /dev/full fails as on a full disk.
  buffer_.captureTimePerDivision = 10000;
  buffer_.captureFrames = 100;
  EXPECT_EQ(WriteCsvExport("/dev/full", settings_, buffer_), CsvExportResult::WriteFailed);
  // So does a single frame, written in one block.
  buffer_.captureTimePerDivision = 1;
  buffer_.captureFrames = 1;
  EXPECT_EQ(WriteCsvExport("/dev/full", settings_, buffer_), CsvExportResult::WriteFailed);
}
#endif

}  // namespace
}  // namespace kestrova
