// Captures opened for review: sigrok session files and the CSV layouts, read
// back exactly, and every damaged or foreign input refused with a message
// that says what and where.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "acquisition/TimeBaseTable.h"
#include "captures/CaptureExport.h"
#include "captures/CsvCapture.h"
#include "captures/SrFile.h"
#include "captures/Zip.h"
#include "support/ScratchFolder.h"

namespace kestrova {
namespace {

std::span<const std::uint8_t> AsBytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// A frame's value at sample i of channel k: fractions that float32 keeps.
double Value(long long frame, int k, int i) {
  return static_cast<double>((frame * 7 + i) % 400) * 0.25 - 10.0 * k;
}

std::string WriteSr(const SrCaptureHeader& header, long long frames) {
  SrWriter writer(header);
  std::string file = writer.Begin();
  std::vector<std::vector<double>> values(header.channels.size(), std::vector<double>(kCaptureFrameLength));
  std::vector<std::span<const double>> spans;
  for (auto& v : values) spans.emplace_back(v);
  for (long long f = 0; f < frames; ++f) {
    for (std::size_t k = 0; k < values.size(); ++k)
      for (int i = 0; i < kCaptureFrameLength; ++i)
        values[k][static_cast<std::size_t>(i)] = Value(f, static_cast<int>(k), i);
    file += writer.AddFrame(spans);
  }
  return file + writer.Finish();
}

// An archive of the given entries, in order.
std::string Zip(const std::vector<std::pair<std::string, std::string>>& entries) {
  ZipWriter zip;
  std::string file;
  for (const auto& [name, data] : entries) file += zip.Add(name, AsBytes(data));
  return file + zip.Finish();
}

std::string Floats(std::size_t count, float value = 1.5F) {
  std::string bytes(count * 4, '\0');
  for (std::size_t i = 0; i < count; ++i) std::memcpy(&bytes[i * 4], &value, 4);
  return bytes;
}

const std::string kMetadata =
    "[global]\nsigrok version=0.5.2\n\n[device 1]\nsamplerate=25 kHz\ntotal "
    "analog=2\nanalog1=CH1\nanalog2=CH2\n";

// The capture reads from the caller's bytes for as long as it is open.
OpenedCapture OpenSr(const std::string& bytes) {
  return OpenSrCapture(MemorySource(AsBytes(bytes)));
}
OpenedCapture OpenCsv(const std::string& bytes) {
  return OpenCsvCapture(MemorySource(AsBytes(bytes)));
}

// 250 frames of channels 2 and 4 cross two chunk boundaries and end in a
// partial chunk; every fact and sample comes back.
TEST(SrFile, WrittenCaptureReadsBackFrameByFrame) {
  SrCaptureHeader header;
  header.timePerDivision = 100;
  header.mode = 2;
  header.channels = {2, 4};
  header.scale = {1, 0.5, 1, 3};
  header.offset = {0, -2.5, 0, 7};
  const std::string file = WriteSr(header, 250);
  OpenedCapture opened = OpenSr(file);
  ASSERT_TRUE(opened.source) << opened.error.Compose();
  const CaptureInfo& info = opened.source->Info();
  EXPECT_EQ(info.channels, (std::vector<int>{2, 4}));
  EXPECT_EQ(info.timePerDivision, 100);
  EXPECT_EQ(info.mode, 2);
  EXPECT_DOUBLE_EQ(info.sampleSeconds, 200e-6);
  EXPECT_EQ(info.sampleCount, 250 * 500);
  EXPECT_EQ(info.frameCount, 250);
  EXPECT_EQ(info.scale, header.scale);
  EXPECT_EQ(info.offset, header.offset);
  EXPECT_TRUE(info.notes.empty());

  FrameBlock block;
  LocalText error;
  ASSERT_TRUE(opened.source->ReadFrames(98, 4, block, error)) << error.Compose();
  ASSERT_EQ(block.Count(), 4);
  for (long long f = 0; f < 4; ++f)
    for (int k = 0; k < 2; ++k) {
      const auto samples = block.Samples(f, k);
      ASSERT_EQ(samples.size(), 500U);
      for (int i = 0; i < 500; ++i)
        ASSERT_EQ(samples[static_cast<std::size_t>(i)], Value(98 + f, k, i)) << f << k << i;
    }
  // Clipped to the end of the capture.
  ASSERT_TRUE(opened.source->ReadFrames(249, 10, block, error)) << error.Compose();
  EXPECT_EQ(block.Count(), 1);
  EXPECT_EQ(block.Samples(0, 1)[499], Value(249, 1, 499));
}

// Files from other programs: channels by their index among all channels,
// logic channels skipped with a note, a rate shown at the nearest time base,
// chunks of any length and a last frame shorter than 500.
TEST(SrFile, ForeignLayoutOpens) {
  const std::string metadata =
      "[global]\nsigrok version=0.5.2\n\n[device 1]\ncapturefile=logic-1\ntotal probes=8\nsamplerate=200 "
      "kHz\n"
      "total analog=2\nprobe1=D0\nprobe2=D1\nanalog9=A0\nanalog10=A2\nunitsize=1\n";
  std::string a0 = Floats(700, 2.0F);
  std::string a2a = Floats(300, -1.0F);
  std::string a2b = Floats(400, 4.0F);
  const std::string file = Zip({{"version", "2"},
                                {"metadata", metadata},
                                {"logic-1-1", std::string(700, '\x55')},
                                {"analog-1-9-1", a0},
                                {"analog-1-10-1", a2a},
                                {"analog-1-10-2", a2b}});
  OpenedCapture opened = OpenSr(file);  // reads from file's bytes while open
  ASSERT_TRUE(opened.source) << opened.error.Compose();
  const CaptureInfo& info = opened.source->Info();
  EXPECT_EQ(info.channels, (std::vector<int>{1, 2}));
  EXPECT_EQ(info.sampleCount, 700);
  EXPECT_EQ(info.frameCount, 2);
  EXPECT_EQ(info.timePerDivision, 2);  // 4 us a sample, nearest to 5 us
  ASSERT_EQ(info.notes.size(), 4U);
  EXPECT_NE(info.notes[0].Compose().find("논리 채널 8개"), std::string::npos);
  FrameBlock block;
  LocalText error;
  ASSERT_TRUE(opened.source->ReadFrames(0, 2, block, error)) << error.Compose();
  EXPECT_EQ(block.Samples(1, 0).size(), 200U);
  EXPECT_EQ(block.Samples(0, 1)[299], -1.0);
  EXPECT_EQ(block.Samples(0, 1)[300], 4.0);
  EXPECT_EQ(block.Samples(1, 1)[199], 4.0);
}

struct BadFile {
  std::string name;
  std::string bytes;
  std::string message;  // part of the error
};

std::vector<BadFile> BadSrFiles() {
  SrCaptureHeader header;
  header.channels = {1};
  const std::string good = WriteSr(header, 3);
  std::string damaged = good;
  damaged[200] = static_cast<char>(damaged[200] ^ 0x5A);  // inside analog-1-1-1's data
  std::string swollen = Zip(
      {{"version", "2"}, {"metadata", kMetadata}, {"analog-1-1-1", Floats(4)}, {"analog-1-2-1", Floats(4)}});
  // The directory claims 64 MiB + 4 bytes for the first chunk.
  const auto at = swollen.find("analog-1-1-1", swollen.size() - 200) - 46 + 24;
  swollen[at + 3] = 0x04;
  swollen[at] = 0x04;
  auto with = [](std::string metadata) {
    return Zip({{"version", "2"},
                {"metadata", std::move(metadata)},
                {"analog-1-1-1", Floats(4)},
                {"analog-1-2-1", Floats(4)}});
  };
  auto replace = [](std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
  };
  std::string five = "[device 1]\nsamplerate=1 kHz\n";
  std::vector<std::pair<std::string, std::string>> fiveEntries{{"version", "2"}};
  for (int k = 1; k <= 5; ++k) {
    five += "analog" + std::to_string(k) + "=A" + std::to_string(k) + "\n";
    fiveEntries.emplace_back("analog-1-" + std::to_string(k) + "-1", Floats(4));
  }
  fiveEntries.emplace_back("metadata", five);
  return {
      {"Empty", "", "zip 파일이 아니거나"},
      {"Truncated", good.substr(0, good.size() / 2), "zip 디렉터리의 끝을 찾을 수 없습니다"},
      {"DamagedChunk", damaged, "analog-1-1-1"},
      {"NoVersion", Zip({{"metadata", kMetadata}}), "version 항목이 없습니다"},
      {"OtherVersion", Zip({{"version", "3"}, {"metadata", kMetadata}}), "version 3"},
      {"NoMetadata", Zip({{"version", "2"}, {"analog-1-1-1", Floats(4)}}), "metadata 항목이 없습니다"},
      {"NoChunk", Zip({{"version", "2"}, {"metadata", kMetadata}, {"analog-1-1-1", Floats(4)}}),
       "analog-1-2-1"},
      {"ChunkGap",
       Zip({{"version", "2"},
            {"metadata", kMetadata},
            {"analog-1-1-1", Floats(4)},
            {"analog-1-1-3", Floats(4)},
            {"analog-1-2-1", Floats(8)}}),
       "데이터 청크가 빠져 있습니다 (analog-1-1-2)"},
      {"ChunkLengthsDiffer",
       Zip({{"version", "2"},
            {"metadata", kMetadata},
            {"analog-1-1-1", Floats(4)},
            {"analog-1-2-1", Floats(5)}}),
       "채널마다 샘플 수가 다릅니다 (CH1: 4, CH2: 5)"},
      {"ChunkNotFloats",
       Zip({{"version", "2"},
            {"metadata", kMetadata},
            {"analog-1-1-1", "abcde"},
            {"analog-1-2-1", Floats(4)}}),
       "청크 길이가 잘못되었습니다 (analog-1-1-1, 5 바이트)"},
      {"HugeChunk", swollen, "analog-1-1-1"},
      {"RateZero", with(replace(kMetadata, "25 kHz", "0 Hz")), "samplerate가 잘못되었습니다: 0 Hz"},
      {"RateText", with(replace(kMetadata, "25 kHz", "fast")), "samplerate가 잘못되었습니다: fast"},
      {"NoRate", with(replace(kMetadata, "samplerate=25 kHz\n", "")), "samplerate가 없습니다"},
      {"NoSamples",
       Zip({{"version", "2"}, {"metadata", kMetadata}, {"analog-1-1-1", ""}, {"analog-1-2-1", ""}}),
       "데이터 청크가 없습니다"},
      {"NoAnalog", with("[device 1]\nsamplerate=1 kHz\ntotal probes=8\n"), "아날로그 채널이 없습니다"},
      {"FiveAnalog", Zip(fiveEntries), "아날로그 채널이 5개입니다 (최대 4개)"},
      {"TotalDisagrees", with(replace(kMetadata, "total analog=2", "total analog=3")), "total analog(3)"},
      {"OwnTimeBaseUnknown", with(kMetadata + "kestrova time per division=7\n"),
       "kestrova time per division(7)"},
  };
}

class SrFileRefuses : public ::testing::TestWithParam<BadFile> {};

// Refused on opening or, for what only the data shows, on the first read;
// never a crash, never a capture that silently holds wrong samples.
TEST_P(SrFileRefuses, SaysWhatAndWhere) {
  OpenedCapture opened = OpenSr(GetParam().bytes);
  LocalText error = opened.error;
  if (opened.source) {
    FrameBlock block;
    EXPECT_FALSE(opened.source->ReadFrames(0, opened.source->Info().frameCount, block, error));
    EXPECT_EQ(block.Count(), 0);
  }
  EXPECT_NE(error.Compose().find(GetParam().message), std::string::npos) << error.Compose();
}

INSTANTIATE_TEST_SUITE_P(Captures, SrFileRefuses, ::testing::ValuesIn(BadSrFiles()),
                         [](const auto& info) { return info.param.name; });

// The archive's own checks: a stream longer or shorter than its directory
// says is refused, as is a CRC that does not match.
TEST(Zip, EntryMustMatchItsDirectory) {
  const std::string data(5000, 'x');  // deflates
  std::string file = Zip({{"a", data}});
  ZipReader zip(MemorySource(AsBytes(file)));
  LocalText error;
  ASSERT_TRUE(zip.Open(error)) << error.Compose();
  std::vector<std::uint8_t> out;
  ASSERT_TRUE(zip.Read(*zip.Find("a"), out, error)) << error.Compose();
  EXPECT_EQ(std::string(out.begin(), out.end()), data);
  for (const std::uint64_t size : {4999ULL, 5001ULL}) {
    ZipEntry lying = *zip.Find("a");
    lying.size = size;
    EXPECT_FALSE(zip.Read(lying, out, error));
    EXPECT_NE(error.Compose().find("길이가 맞지 않습니다"), std::string::npos) << error.Compose();
  }
  ZipEntry wrongCrc = *zip.Find("a");
  wrongCrc.crc ^= 1;
  EXPECT_FALSE(zip.Read(wrongCrc, out, error));
  EXPECT_NE(error.Compose().find("CRC"), std::string::npos) << error.Compose();
}

std::string CsvLines(std::initializer_list<std::string> lines) {
  std::string text = "Time(sec), Channel1, Channel2, Channel3, Channel4\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// Both layouts: the time step gives the time base (200 us is the history's),
// lines split into frames of 500, values come back as written.
TEST(CsvCapture, LayoutsOpenAtTheirTimeBase) {
  for (const auto& [step, perDivision, restart] : std::vector<std::tuple<double, int, bool>>{
           {0.0002, 100, false}, {0.00004, 20, true}, {0.000002, 1, true}}) {
    std::string text = "Time(sec), Channel1, Channel2, Channel3, Channel4\n";  // LF alone reads too
    for (int line = 0; line < 1200; ++line) {
      const int i = restart ? line % 500 : line;
      text += std::to_string(i * step) + ", " + std::to_string(line) + ".2500, -1.0000, 2, 3.5\n";
    }
    OpenedCapture opened = OpenCsv(text);
    ASSERT_TRUE(opened.source) << opened.error.Compose();
    const CaptureInfo& info = opened.source->Info();
    EXPECT_EQ(info.timePerDivision, perDivision);
    EXPECT_EQ(info.channels, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(info.frameCount, 3);
    EXPECT_TRUE(info.notes.empty()) << info.notes[0].Compose();
    FrameBlock block;
    LocalText error;
    ASSERT_TRUE(opened.source->ReadFrames(1, 5, block, error)) << error.Compose();
    ASSERT_EQ(block.Count(), 2);
    EXPECT_EQ(block.Samples(0, 0)[0], 500.25);
    EXPECT_EQ(block.Samples(1, 0).size(), 200U);
    EXPECT_EQ(block.Samples(1, 0)[199], 1199.25);
    EXPECT_EQ(block.Samples(1, 3)[199], 3.5);
    // Again, overlapping what was read before: frames kept and frames parsed
    // now come out in their places.
    ASSERT_TRUE(opened.source->ReadFrames(0, 2, block, error)) << error.Compose();
    EXPECT_EQ(block.Samples(0, 0)[499], 499.25);
    EXPECT_EQ(block.Samples(1, 0)[0], 500.25);
  }
}

TEST(CsvCapture, RefusesWithTheLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "Kestrova CSV 파일이 아닙니다"},
      {"Time,a,b\r\n0,1,2\r\n", "Kestrova CSV 파일이 아닙니다"},
      {CsvLines({"0.000000, 1, 2, 3, 4", "0.000040, 1, 2, 3"}), "3번째 줄: 열이 5개가 아니고 4개입니다"},
      {CsvLines({"0.000000, 1, 2, 3, 4", "0.000040, 1, 2, 3, 4, 5"}), "3번째 줄: 열이 5개보다 많습니다"},
      {CsvLines({"0.000000, 1, 2, 3, 4", "0.000040, 1, x2, 3, 4"}),
       "3번째 줄: 3번째 열이 숫자가 아닙니다 ('x2')"},
      {CsvLines({"0.000000, 1, 2, 3, 4", "0.000040, 1, , 3, 4"}),
       "3번째 줄: 3번째 열이 숫자가 아닙니다 ('')"},
      {CsvLines({"0.000000, 1, 2, 3, 4", "0.000040, nan, 2, 3, 4"}),
       "3번째 줄: 2번째 열이 숫자가 아닙니다 ('nan')"},
      {CsvLines({"0.000000, 1, 2, 3, 4", std::string(2000, '1')}), "3번째 줄: 줄이 너무 깁니다"},
      {CsvLines({"0.000000, 1, 2, 3, 4"}), "데이터 줄이 1개입니다"},
      {CsvLines({"0.000040, 1, 2, 3, 4", "0.000040, 1, 2, 3, 4"}), "시간이 앞 줄보다 크지 않습니다"},
  };
  for (const auto& [text, message] : cases) {
    const OpenedCapture opened = OpenCsv(text);
    EXPECT_FALSE(opened.source);
    EXPECT_NE(opened.error.Compose().find(message), std::string::npos)
        << opened.error.Compose() << " / " << message;
  }
}

// F5's layout made from an opened capture: the time from its time base,
// each channel's value minus its offset.
std::string CsvOf(CaptureSource& source) {
  const CaptureInfo& info = source.Info();
  std::string text(kCsvHeaderLine);
  FrameBlock block;
  LocalText error;
  EXPECT_TRUE(source.ReadFrames(0, info.frameCount, block, error)) << error.Compose();
  const long long step = CsvSampleStepMicroseconds(info.timePerDivision);
  long long microseconds = 0;
  for (long long f = 0; f < block.Count(); ++f) {
    for (std::size_t i = 0; i < block.Samples(f, 0).size(); ++i) {
      std::array<char, 256> line{};
      std::snprintf(line.data(), line.size(), "%lld.%06lld", microseconds / 1'000'000,
                    microseconds % 1'000'000);
      text += line.data();
      for (int k = 0; k < block.channelCount; ++k) {
        const double offset =
            info.offset[static_cast<std::size_t>(info.channels[static_cast<std::size_t>(k)] - 1)];
        std::snprintf(line.data(), line.size(), ", %.4f", block.Samples(f, k)[i] - offset);
        text += line.data();
      }
      text += "\r\n";
      microseconds += step;
    }
  }
  return text;
}

// File Save as a session and back: at 2 ms/div the frame on screen, at
// 10 ms/div the 100-frame history from the ring's middle; the session read
// back gives File Save's CSV byte for byte.
TEST(SrExport, SessionGivesBackFileSavesCsv) {
  for (const auto& [perDivision, frames, end] :
       std::vector<std::tuple<int, int, int>>{{20, 1, 37}, {100, 100, 37}}) {
    SCOPED_TRACE(perDivision);
    ScopeSettings settings;
    settings.offset[0] = {0.0, 2.5, -100.0, 0.0};
    settings.scale[0] = {1.0, 1.0, 1.0, 0.25};
    SampleBuffer buffer;
    buffer.Allocate();
    for (int slot = 0; slot < kHistoryFrames; ++slot)
      for (int c = 0; c < kChannelCount; ++c) {
        int i = 0;
        for (double& v : buffer.Values(slot, c))
          v = static_cast<double>((slot * 131 + i++ * 7 + c * 1000) % 4096) *
                  settings.scale[0][static_cast<std::size_t>(c)] +
              settings.offset[0][static_cast<std::size_t>(c)];
      }
    buffer.captureTimePerDivision = perDivision;
    buffer.captureEnd = end;
    buffer.captureFrames = frames;
    const test::ScratchFolder folder;
    const std::string sr = folder.File("capture.SR");
    const std::string csv = folder.File("capture.csv");
    ASSERT_TRUE(IsSrPath(sr));
    ASSERT_EQ(WriteSrExport(sr, settings, buffer), CsvExportResult::Saved);
    ASSERT_EQ(WriteCsvExport(csv, settings, buffer), CsvExportResult::Saved);
    OpenedCapture opened = OpenCaptureFile(sr);
    ASSERT_TRUE(opened.source) << opened.error.Compose();
    EXPECT_EQ(opened.source->Info().frameCount, frames);
    std::ifstream in(csv, std::ios::binary);
    const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    EXPECT_EQ(CsvOf(*opened.source), expected);
    opened.source.reset();  // Windows removes no file that is open
  }
}

TEST(SampleRate, TextBothWays) {
  EXPECT_EQ(SampleRateText(5000), "5 kHz");
  EXPECT_EQ(SampleRateText(500000), "500 kHz");
  EXPECT_EQ(SampleRateText(2000000), "2 MHz");
  EXPECT_EQ(SampleRateText(1500), "1500 Hz");
  EXPECT_EQ(ParseSampleRateText("200 kHz"), 200e3);
  EXPECT_EQ(ParseSampleRateText("1.5 MHz"), 1.5e6);
  EXPECT_EQ(ParseSampleRateText("25000"), 25e3);
  for (const char* bad : {"", "kHz", "-5 kHz", "0", "1e999 Hz", "5 kHz x"})
    EXPECT_EQ(ParseSampleRateText(bad), 0.0) << bad;
}

}  // namespace
}  // namespace kestrova
