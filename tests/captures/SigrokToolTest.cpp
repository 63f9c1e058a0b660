// The sigrok tools as the real consumer and producer of session files:
// sigrok-cli reads what Kestrova writes with the same channels, rate, length
// and values, and what its demo device writes opens in Kestrova.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "captures/SrFile.h"
#include "support/ScratchFolder.h"

namespace kestrova {
namespace {

// sigrok-cli's standard output; the test fails when it does not exit with 0.
// Its analog output ends with a failed reference-count assertion in the tool
// itself (status 1, on its own demo files too), after every sample is
// printed: there the sample counts checked by the caller stand for success.
std::string Sigrok(const std::string& arguments, bool analogOutput = false) {
  const std::string command =
      std::string(KESTROVA_SIGROK_CLI) + " " + arguments + (analogOutput ? " 2>/dev/null" : " 2>&1");
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return {};
  }
  std::string out;
  std::array<char, 4096> buffer{};
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
    out.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  if (!analogOutput) {
    EXPECT_EQ(status, 0) << command << "\n" << out;
  }
  return out;
}

// "-O analog": one "NAME: VALUE UNIT" line a sample; the values by channel.
std::map<std::string, std::vector<double>> AnalogValues(const std::string& text) {
  std::map<std::string, std::vector<double>> values;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(from, end - from);
    from = end + 1;
    const std::size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    char* parsed = nullptr;
    const double value = std::strtod(line.c_str() + colon + 2, &parsed);
    if (parsed != line.c_str() + colon + 2) values[line.substr(0, colon)].push_back(value);
  }
  return values;
}

// What Kestrova's reader gives for every sample of every channel.
std::vector<std::vector<double>> ReadAll(CaptureSource& source) {
  const CaptureInfo& info = source.Info();
  std::vector<std::vector<double>> all(info.channels.size());
  FrameBlock block;
  LocalText error;
  EXPECT_TRUE(source.ReadFrames(0, info.frameCount, block, error)) << error.Compose();
  for (long long f = 0; f < block.Count(); ++f)
    for (std::size_t c = 0; c < all.size(); ++c)
      for (const double v : block.Samples(f, static_cast<int>(c))) all[c].push_back(v);
  return all;
}

// The tool prints two decimals.
constexpr double kPrinted = 0.0051;

TEST(SigrokCli, ReadsKestrovasFile) {
  test::ScratchFolder scratch;
  SrCaptureHeader header;
  header.timePerDivision = 20;  // 2 ms/div: 40 us a sample, 25 kHz
  header.channels = {1, 3};
  SrWriter writer(header);
  std::string file = writer.Begin();
  std::vector<std::vector<double>> written(2);
  for (int f = 0; f < 3; ++f) {
    std::array<std::vector<double>, 2> frame;
    for (int i = 0; i < 500; ++i) {
      frame[0].push_back((f * 500 + i) % 173 * 0.25);
      frame[1].push_back(-((f * 500 + i) % 91) * 0.5);
    }
    for (std::size_t c = 0; c < 2; ++c) written[c].insert(written[c].end(), frame[c].begin(), frame[c].end());
    const std::array<std::span<const double>, 2> spans{frame[0], frame[1]};
    file += writer.AddFrame(spans);
  }
  file += writer.Finish();
  const std::string path = scratch.File("kestrova.sr");
  std::FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(std::fwrite(file.data(), 1, file.size(), out), file.size());
  std::fclose(out);

  const std::string shown = Sigrok("-i " + path + " --show");
  EXPECT_NE(shown.find("Samplerate: 25000\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Channels: 2\n- CH1: analog\n- CH3: analog\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Analog sample count: 1500\n"), std::string::npos) << shown;

  const auto values = AnalogValues(Sigrok("-i " + path + " -O analog", true));
  ASSERT_EQ(values.size(), 2U);
  const std::array<std::string, 2> names{"CH1", "CH3"};
  for (std::size_t c = 0; c < 2; ++c) {
    const std::vector<double>& read = values.at(names[c]);
    ASSERT_EQ(read.size(), written[c].size()) << names[c];
    for (std::size_t i = 0; i < read.size(); ++i)
      ASSERT_NEAR(read[i], written[c][i], kPrinted) << names[c] << " " << i;
  }
}

struct DemoCase {
  std::string channels;
  int samples;
  std::vector<std::string> analog;
  bool logic;
};

class DemoFile : public ::testing::TestWithParam<DemoCase> {};

TEST_P(DemoFile, OpensWithItsChannelsAndValues) {
  const DemoCase& c = GetParam();
  test::ScratchFolder scratch;
  const std::string path = scratch.File("demo.sr");
  Sigrok("-d demo --channels " + c.channels + " --samples " + std::to_string(c.samples) + " -o " + path);
  OpenedCapture opened = OpenCaptureFile(path);
  ASSERT_TRUE(opened.source) << opened.error.Compose();
  const CaptureInfo& info = opened.source->Info();
  ASSERT_EQ(info.channels.size(), c.analog.size());
  EXPECT_EQ(info.sampleCount, c.samples);
  EXPECT_DOUBLE_EQ(info.sampleSeconds, 5e-6);  // the demo's 200 kHz
  bool logicNoted = false;
  for (const LocalText& note : info.notes)
    logicNoted = logicNoted || note.Compose().find("논리 채널") != std::string::npos;
  EXPECT_EQ(logicNoted, c.logic);

  const auto expected = AnalogValues(Sigrok(
      "-i " + path + " -O analog -C " +
          [&] {
            std::string list;
            for (const std::string& name : c.analog) list += (list.empty() ? "" : ",") + name;
            return list;
          }(),
      true));
  const auto read = ReadAll(*opened.source);
  for (std::size_t k = 0; k < c.analog.size(); ++k) {
    const std::vector<double>& tool = expected.at(c.analog[k]);
    ASSERT_EQ(read[k].size(), tool.size()) << c.analog[k];
    for (std::size_t i = 0; i < tool.size(); ++i)
      ASSERT_NEAR(read[k][i], tool[i], kPrinted) << c.analog[k] << " " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(SigrokCli, DemoFile,
                         ::testing::Values(DemoCase{"A0,A1", 1200, {"A0", "A1"}, false},
                                           DemoCase{"D0,D1,A0,A2", 100, {"A0", "A2"}, true}));

}  // namespace
}  // namespace kestrova
