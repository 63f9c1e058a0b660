#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "captures/CaptureExport.h"
#include "captures/CaptureReview.h"
#include "captures/CsvCapture.h"
#include "captures/SrFile.h"
#include "captures/Zip.h"
#include "display/HistoryWindow.h"
#include "support/ScratchFolder.h"

namespace kestrova {
namespace {

std::span<const std::uint8_t> ViewOfBytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {(std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()};
}

// File Save's CSV of `lines` samples, the time running on (history) or
// starting again with each frame of 500 (the client's single-frame layout).
std::string FileSaveCsv(long long stepMicroseconds, bool restart, int lines) {
  std::string text(kCsvHeaderLine);
  for (int line = 0; line < lines; ++line) {
    const long long us = (restart ? line % kCaptureFrameLength : line) * stepMicroseconds;
    std::array<char, 160> row{};
    std::snprintf(row.data(), row.size(), "%lld.%06lld, %.4f, %.4f, %.4f, %.4f\r\n", us / 1'000'000,
                  us % 1'000'000, (line % 400) * 0.25, -1.5, line / 500 * 1.0, 1000.0 - line);
    text += row.data();
  }
  return text;
}

// Every frame of what is open, the last one short, written back as CSV and
// as a session: the CSV is the file's own bytes, and so is the session's
// CSV.
TEST(CaptureExport, WritesEveryFrameOfWhatIsOpen) {
  const test::ScratchFolder scratch;
  const std::filesystem::path& folder = scratch.Path();
  for (const auto& [step, restart] : std::vector<std::tuple<long long, bool>>{{200, false}, {40, true}}) {
    SCOPED_TRACE(step);
    const std::string text = FileSaveCsv(step, restart, 1200);
    OpenedCapture opened = OpenCsvCapture(MemorySource(ViewOfBytes(text)));
    ASSERT_TRUE(opened.source) << opened.error.Compose();
    ScopeSettings settings;
    CaptureReview review(std::move(opened.source), "in.csv");
    review.ApplyTo(settings);
    ASSERT_EQ(WriteCaptureExport((folder / "out.csv").string(), settings, review.Source()),
              CsvExportResult::Saved);
    EXPECT_EQ(ReadAll(folder / "out.csv"), text);
    ASSERT_EQ(WriteCaptureExport((folder / "out.sr").string(), settings, review.Source()),
              CsvExportResult::Saved);
    OpenedCapture session = OpenCaptureFile((folder / "out.sr").string());
    ASSERT_TRUE(session.source) << session.error.Compose();
    ASSERT_EQ(WriteCaptureExport((folder / "again.csv").string(), settings, *session.source),
              CsvExportResult::Saved);
    session.source.reset();  // Windows removes no file that is open
    EXPECT_EQ(ReadAll(folder / "again.csv"), text);
  }
}

// A window of frames in the ring: clipped to the file, slots from 0 as the
// display and File Save read them, a channel the file lacks at its offset,
// a short last frame padded with its last sample; the user's settings come
// back afterwards.
TEST(CaptureReview, ShowsTheWindowInTheRing) {
  SrCaptureHeader header;
  header.timePerDivision = 500;
  header.mode = 2;
  header.channels = {2, 4};
  header.offset = {0.0, 0.0, 0.0, -2.0};
  SrWriter writer(header);
  std::string bytes = writer.Begin();
  std::vector<double> a(kCaptureFrameLength);
  std::vector<double> b(kCaptureFrameLength);
  for (int f = 0; f < 7; ++f) {
    for (int i = 0; i < kCaptureFrameLength; ++i) {
      a[static_cast<std::size_t>(i)] = f * 10.0 + i % 7;
      b[static_cast<std::size_t>(i)] = -f;
    }
    const std::size_t length = f == 6 ? 120 : kCaptureFrameLength;
    const std::array<std::span<const double>, 2> frame{std::span(a).first(length),
                                                       std::span(b).first(length)};
    bytes += writer.AddFrame(frame);
  }
  bytes += writer.Finish();
  OpenedCapture opened = OpenSrCapture(MemorySource(ViewOfBytes(bytes)));
  ASSERT_TRUE(opened.source) << opened.error.Compose();
  CaptureReview review(std::move(opened.source), "/data/night/run.sr");
  EXPECT_EQ(review.FileName(), "run.sr");
  EXPECT_EQ(review.LastPosition(5), 2);
  EXPECT_EQ(review.LastPosition(100), 0);

  const ScopeSettings live;
  ScopeSettings settings = live;
  review.ApplyTo(settings);
  EXPECT_EQ(settings.Mode(), 2);
  EXPECT_EQ(settings.timePerDivision, 500);
  EXPECT_EQ(settings.channelEnable[2], (std::array<int, 4>{0, 1, 0, 1}));
  EXPECT_EQ(settings.offsetText[2][3], "-2");
  SampleBuffer buffer;
  AllocateSampleBuffer(buffer, settings);
  LocalText error;
  ASSERT_TRUE(review.Show(9, FramesPerScreenFor(settings), settings, buffer, error)) << error.Compose();
  EXPECT_EQ(review.Position(), 2);
  EXPECT_EQ(ComputeHistoryWindow(5, buffer, false), (HistoryWindow{0, 5, 5}));
  EXPECT_EQ(CaptureSlots(buffer), (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(buffer.Values(0, 1)[3], 23.0);
  EXPECT_EQ(buffer.Values(4, 1)[119], 60.0 + 119 % 7);
  EXPECT_EQ(buffer.Values(4, 1)[499], 60.0 + 119 % 7);
  EXPECT_EQ(buffer.Values(4, 3)[0], -6.0);
  EXPECT_EQ(buffer.Values(2, 0)[7], settings.offset[2][0]);
  EXPECT_EQ(buffer.Rows(0, 1)[3], ValueToRow(settings.mapping, 23.0));

  CaptureReview::RestoreLive(settings, live);
  EXPECT_EQ(settings.Mode(), live.Mode());
  EXPECT_EQ(settings.timePerDivision, live.timePerDivision);
  EXPECT_EQ(settings.channelEnable, live.channelEnable);
  EXPECT_EQ(settings.offsetText, live.offsetText);
  EXPECT_EQ(settings.offset, live.offset);
}

}  // namespace
}  // namespace kestrova
