#include <string>

#include <gtest/gtest.h>

#include "cli/FrameWriters.h"
#include "acquisition/TimeBaseTable.h"
#include "output/CsvExport.h"
#include "ProgramRunner.h"

namespace kestrova::cli {
namespace {

class FrameWritersTest : public ::testing::Test {
 protected:
  FrameWritersTest() {
    settings_.operationMode = 1;
    settings_.offset[1] = {0.5, -2.0, 0.0, 100.0};
    AllocateSampleBuffer(buffer_, settings_);
    for (int slot = 0; slot < kHistoryFrames; ++slot) {
      for (int c = 0; c < kChannelCount; ++c) {
        auto values = buffer_.Values(slot, c);
        for (std::size_t i = 0; i < values.size(); ++i)
          values[i] = slot * 1000.0 + c * 100.0 + static_cast<double>(i) * 0.37 - 50.0;
      }
    }
  }

  void UseTimeBase(int index) {
    settings_.timeIndex = index;
    settings_.timePerDivision = TimeBaseAt(index).perDivision;
    buffer_.captureTimePerDivision = settings_.timePerDivision;
  }

  // What File Save writes with the first `frames` slots stored.
  std::string FileSave(int frames) {
    const bool history = IsHistoryTimeBase(settings_.timePerDivision);
    buffer_.frameCount = frames;
    buffer_.writeIndex = history ? frames % kHistoryFrames : 0;
    buffer_.captureTimePerDivision = settings_.timePerDivision;
    buffer_.captureFrames = frames;
    buffer_.captureEnd = history ? frames % kHistoryFrames : 1;
    testing::ScratchFolder scratch;
    EXPECT_EQ(WriteCsvExport((scratch / "f5.csv").string(), settings_, buffer_), CsvExportResult::Saved);
    return testing::ReadFile(scratch / "f5.csv");
  }

  std::string Write(FrameWriter& writer, int frames) {
    std::string text = writer.Begin(settings_);
    for (int f = 0; f < frames; ++f) text += writer.Frame({settings_, buffer_, f, f, 'M', 0.0});
    return text;
  }

  ScopeSettings settings_;
  SampleBuffer buffer_;
};

TEST_F(FrameWritersTest, CsvOfTheHistoryIsFileSavesFile) {
  UseTimeBase(7);  // 20 ms/div
  CsvFrameWriter writer;
  EXPECT_EQ(Write(writer, 3), FileSave(3));
}

TEST_F(FrameWritersTest, CsvOfOneFrameIsFileSavesFileAndLaterFramesStartAgain) {
  UseTimeBase(2);  // 500 us/div: 10 us a sample
  CsvFrameWriter writer;
  const std::string one = Write(writer, 1);
  EXPECT_EQ(one, FileSave(1));
  const std::string second = writer.Frame({settings_, buffer_, 1, 1, 'M', 0.0});
  EXPECT_TRUE(second.starts_with("0.000000, 949.5000, 1052.0000, 1150.0000, 1150.0000\r\n0.000010, ")) << second.substr(0, 80);
}

TEST_F(FrameWritersTest, JsonLineHoldsTheTickedChannels) {
  UseTimeBase(0);
  settings_.channelEnable[1] = {0, 1, 0, 1};
  JsonlFrameWriter writer;
  EXPECT_EQ(writer.Begin(settings_), "");
  const std::string line = writer.Frame({settings_, buffer_, 2, 7, 'T', 0.0});
  EXPECT_TRUE(line.starts_with(
      R"({"frame":7,"type":"T","time_base":"100 us","time_step":2e-06,"mode":"SPI","channels":{"2":[2050,2050.37,2050.74,)"))
      << line.substr(0, 120);
  EXPECT_NE(line.find(R"(],"4":[2250,2250.37,)"), std::string::npos);
  EXPECT_TRUE(line.ends_with("]}}\n"));
}

TEST(JsonNumber, ShortestTextOrNull) {
  EXPECT_EQ(JsonNumber(0.1), "0.1");
  EXPECT_EQ(JsonNumber(-65535.0), "-65535");
  EXPECT_EQ(JsonNumber(1e300 * 1e300), "null");
}

TEST_F(FrameWritersTest, LogWritesALinePerIntervalOfFrames) {
  settings_.realSaveIndex = 2;  // "500 ms": every fifth frame
  LogLineWriter writer([] { return LocalTime{2026, 12, 9, 8, 5, 7, 42}; });
  std::string text = writer.Begin(settings_);
  for (int f = 0; f < 10; ++f) text += writer.Frame({settings_, buffer_, f, f, 'M', 0.0});
  // Slots 4 and 9, sample 250, minus the offsets.
  EXPECT_EQ(text,
            "2026-12-9, 08:05:07:042, 4042.0000, 4144.5000, 4242.5000, 4242.5000\r\n"
            "2026-12-9, 08:05:07:042, 9042.0000, 9144.5000, 9242.5000, 9242.5000\r\n");
}

}  // namespace
}  // namespace kestrova::cli
