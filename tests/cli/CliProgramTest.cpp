// kestrova-cli from end to end: the built program against the simulated
// unit, as a script runs it.
#include <charconv>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ProgramRunner.h"
#include "acquisition/FrameDecoder.h"
#include "acquisition/Payloads.h"
#include "acquisition/ScopeSettings.h"
#include "acquisition/TimeBaseTable.h"
#include "captures/Capture.h"
#include "cli/MemoryControlPanel.h"
#include "output/CsvExport.h"

#ifndef _WIN32
#include <csignal>
#include <thread>
#endif

namespace kestrova::cli {
namespace {

using testing::ProgramResult;
using testing::ReadFile;
using testing::RunProgram;
using testing::ScratchFolder;

std::vector<std::string> Lines(const std::string& text, std::string_view end = "\r\n") {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at = text.find(end); at != std::string::npos; at = text.find(end, from)) {
    lines.push_back(text.substr(from, at - from));
    from = at + end.size();
  }
  if (from < text.size()) lines.push_back(text.substr(from));  // a line without its end
  return lines;
}

std::vector<double> Fields(const std::string& line, char separator = ',') {
  std::vector<double> fields;
  std::size_t from = 0;
  while (from <= line.size()) {
    std::size_t at = line.find(separator, from);
    if (at == std::string::npos) at = line.size();
    std::string_view field(line.data() + from, at - from);
    while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
    double value = 0.0;
    std::from_chars(field.data(), field.data() + field.size(), value);
    fields.push_back(value);
    from = at + 1;
  }
  return fields;
}

// The file the window's File Save writes for the frames of a capture file:
// each frame's raw samples (the default settings show them unscaled) sent
// through the window's decoder into its history and written by its writer.
std::string FileSaveOf(const std::string& captured, int timeIndex) {
  const std::vector<std::string> lines = Lines(captured);
  const std::size_t frames = (lines.size() - 1) / kSamplesPerFrame;
  ScopeSettings settings;
  settings.timeIndex = timeIndex;
  settings.timePerDivision = TimeBaseAt(timeIndex).perDivision;
  SampleBuffer buffer;
  AllocateSampleBuffer(buffer, settings);
  AcquisitionRunning running;
  running.Set(true);
  RecordingTextField status;
  MemoryScrollBar scroll;
  struct : FrameDecoderHooks {
    void WriteRealSaveLine() override {}
    void InvalidateDisplay() override {}
    void ShowElapsedTime() override {}
  } hooks;
  FrameDecoder decoder(settings, buffer, running, status, scroll, hooks);
  for (std::size_t f = 0; f < frames; ++f) {
    const auto payload = kestrova::testing::MakePayload('M', [&](int i, int c) {
      const std::vector<double> fields =
          Fields(lines[1 + f * kSamplesPerFrame + static_cast<std::size_t>(i)]);
      char text[5];
      std::snprintf(text, sizeof text, "%04X",
                    static_cast<unsigned>(fields[static_cast<std::size_t>(c) + 1]));
      return std::string(text);
    });
    EXPECT_EQ(decoder.OnFrameReady(payload), FrameOutcome::Stored);
  }
  ScratchFolder scratch;
  EXPECT_EQ(WriteCsvExport((scratch / "f5.csv").string(), settings, buffer), CsvExportResult::Saved);
  return ReadFile(scratch / "f5.csv");
}

struct FileSaveCase {
  std::string timeBase;
  int timeIndex;
  int frames;
  std::string output;  // "-" or a file name
  friend void PrintTo(const FileSaveCase& c, std::ostream* os) { *os << c.timeBase << " x" << c.frames; }
};

class CaptureIsFileSave : public ::testing::TestWithParam<FileSaveCase> {};

// One frame up to 5 ms/div and the history from 10 ms/div on: the capture
// is, byte for byte, what File Save writes for the same frames.
TEST_P(CaptureIsFileSave, ByteForByte) {
  const FileSaveCase& c = GetParam();
  ScratchFolder scratch;
  const std::string output = c.output == "-" ? "-" : (scratch / c.output).string();
  const ProgramResult result = RunProgram({"--simulate", "capture", "--time-base", c.timeBase, "--frames",
                                           std::to_string(c.frames), "-o", output, "--no-progress"},
                                          scratch);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string captured = c.output == "-" ? result.out : ReadFile(output);
  ASSERT_EQ(Lines(captured).size(), 1 + static_cast<std::size_t>(c.frames) * kSamplesPerFrame);
  EXPECT_EQ(captured, FileSaveOf(captured, c.timeIndex));
}

INSTANTIATE_TEST_SUITE_P(Cli, CaptureIsFileSave,
                         ::testing::Values(FileSaveCase{"2 ms", 4, 1, "-"},
                                           FileSaveCase{"100us", 0, 1, "one.csv"},
                                           FileSaveCase{"10 ms", 6, 3, "history.csv"}));

// More frames than File Save holds at a single-frame time base: each frame
// starts its time again, so the file splits where the time goes back to 0.
TEST(CliCapture, FramesAtSingleFrameTimeBasesStartTheirTimeAgain) {
  ScratchFolder scratch;
  const ProgramResult result = RunProgram({"--simulate", "capture", "--frames", "2"}, scratch);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");  // no progress line: standard error is not a terminal
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 1001U);
  EXPECT_TRUE(lines[1].starts_with("0.000000, "));
  EXPECT_TRUE(lines[500].starts_with("0.019960, "));
  EXPECT_TRUE(lines[501].starts_with("0.000000, "));
}

// JSON lines: one object a frame, read back field by field.
TEST(CliCapture, JsonLinesReadBack) {
  ScratchFolder scratch;
  const ProgramResult result =
      RunProgram({"--simulate", "capture", "--frames", "2", "--format", "jsonl", "--channels", "1,3",
                  "--scale", "3=2", "--offset", "3=-5", "--time-base", "5 ms"},
                 scratch);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::vector<std::string> lines = Lines(result.out, "\n");
  ASSERT_EQ(lines.size(), 2U);
  const std::regex object(
      R"(\{"frame":(\d+),"type":"[TM]","time_base":"5 ms","time_step":1e-04,"mode":"ADC","channels":\{"1":\[([^\]]*)\],"3":\[([^\]]*)\]\}\})");
  for (std::size_t f = 0; f < lines.size(); ++f) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[f], match, object)) << lines[f].substr(0, 200);
    EXPECT_EQ(match[1].str(), std::to_string(f));
    const std::vector<double> one = Fields(match[2].str());
    const std::vector<double> three = Fields(match[3].str());
    ASSERT_EQ(one.size(), 500U);
    ASSERT_EQ(three.size(), 500U);
    // Channel 3 is a triangle in 10..90 raw units: scaled by 2, offset by -5.
    for (const double value : three) {
      EXPECT_GE(value, 2 * 9 - 5);
      EXPECT_LE(value, 2 * 91 - 5);
    }
  }
}

// A sigrok session holds the ticked channels' displayed values, as the JSON
// lines of the same capture, with the time base, scale and offset Kestrova
// needs to show it again; the client's CSV opens frame by frame.
TEST(CliCapture, SessionAndCsvOpenForReview) {
  ScratchFolder scratch;
  const std::vector<std::string> options = {
      "--simulate", "capture",  "--frames", "2",           "--channels", "1,3",          "--scale",
      "3=2",        "--offset", "3=-5",     "--time-base", "5 ms",       "--no-progress"};
  auto run = [&](const std::string& format, const std::string& name) {
    std::vector<std::string> arguments = options;
    arguments.insert(arguments.end(), {"--format", format, "-o", (scratch / name).string()});
    const ProgramResult result = RunProgram(arguments, scratch);
    EXPECT_EQ(result.exitCode, 0) << result.err;
  };
  run("sr", "capture.sr");
  run("jsonl", "capture.jsonl");
  run("csv", "capture.csv");

  OpenedCapture session = OpenCaptureFile((scratch / "capture.sr").string());
  ASSERT_TRUE(session.source) << session.error.Compose();
  const CaptureInfo& info = session.source->Info();
  EXPECT_EQ(info.channels, (std::vector<int>{1, 3}));
  EXPECT_EQ(info.timePerDivision, 50);
  EXPECT_EQ(info.frameCount, 2);
  EXPECT_EQ(info.scale[2], 2.0);
  EXPECT_EQ(info.offset[2], -5.0);
  FrameBlock frames;
  LocalText error;
  ASSERT_TRUE(session.source->ReadFrames(0, 2, frames, error)) << error.Compose();
  const std::vector<std::string> objects = Lines(ReadFile(scratch / "capture.jsonl"), "\n");
  ASSERT_EQ(objects.size(), 2U);
  const std::regex arrays(R"("1":\[([^\]]*)\],"3":\[([^\]]*)\])");
  for (std::size_t f = 0; f < 2; ++f) {
    std::smatch match;
    ASSERT_TRUE(std::regex_search(objects[f], match, arrays));
    for (int k = 0; k < 2; ++k) {
      const std::vector<double> expected = Fields(match[k + 1].str());
      const auto samples = frames.Samples(static_cast<long long>(f), k);
      ASSERT_EQ(samples.size(), expected.size());
      for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(samples[i], static_cast<double>(static_cast<float>(expected[i])))
            << f << " " << k << " " << i;
    }
  }

  OpenedCapture csv = OpenCaptureFile((scratch / "capture.csv").string());
  ASSERT_TRUE(csv.source) << csv.error.Compose();
  EXPECT_EQ(csv.source->Info().timePerDivision, 50);
  EXPECT_EQ(csv.source->Info().frameCount, 2);
  ASSERT_TRUE(csv.source->ReadFrames(1, 1, frames, error)) << error.Compose();
  const std::vector<std::string> lines = Lines(ReadFile(scratch / "capture.csv"));
  // The last line of the last frame: CSV values are minus the offset.
  EXPECT_EQ(frames.Samples(0, 2)[499], Fields(lines.back())[3]);
}

struct KnownWaveforms {
  std::string timeBase;
  double sineHz;    // channel 1: a sine 5..95, three periods a frame
  double squareHz;  // channel 2: a square 20/80 high 40 % of the time, five periods a frame
  friend void PrintTo(const KnownWaveforms& w, std::ostream* os) { *os << w.timeBase; }
};

class CliMeasure : public ::testing::TestWithParam<KnownWaveforms> {};

// The simulated unit's waveforms measured per frame: frequency within
// 0.5 %, duty cycle within 1 %, peak-to-peak exact.
TEST_P(CliMeasure, KnownWaveformsPerFrame) {
  const KnownWaveforms& w = GetParam();
  ScratchFolder scratch;
  const ProgramResult result = RunProgram(
      {"--simulate", "measure", "--frames", "4", "--channels", "1,2", "--time-base", w.timeBase}, scratch);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::vector<std::string> lines = Lines(result.out, "\n");
  ASSERT_EQ(lines.size(), 5U);
  EXPECT_EQ(lines[0],
            "frame,seconds,ch1_min,ch1_max,ch1_pp,ch1_mean,ch1_rms,ch1_freq_hz,ch1_period_s,ch1_duty_pct,"
            "ch2_min,ch2_max,ch2_pp,ch2_mean,ch2_rms,ch2_freq_hz,ch2_period_s,ch2_duty_pct");
  for (std::size_t f = 1; f < lines.size(); ++f) {
    const std::vector<double> v = Fields(lines[f]);
    ASSERT_EQ(v.size(), 18U) << lines[f];
    EXPECT_EQ(v[0], static_cast<double>(f - 1));
    EXPECT_EQ(v[4], 90.0);
    EXPECT_NEAR(v[7], w.sineHz, w.sineHz * 0.005);
    EXPECT_NEAR(v[8], 1.0 / w.sineHz, 0.005 / w.sineHz);
    EXPECT_NEAR(v[9], 50.0, 0.5);
    EXPECT_EQ(v[12], 60.0);
    EXPECT_NEAR(v[13], 44.0, 1e-9);
    EXPECT_NEAR(v[15], w.squareHz, w.squareHz * 0.005);
    EXPECT_NEAR(v[17], 40.0, 0.4);
  }
}

INSTANTIATE_TEST_SUITE_P(Cli, CliMeasure,
                         ::testing::Values(KnownWaveforms{"2 ms", 150.0, 250.0},
                                           KnownWaveforms{"500 us", 600.0, 1000.0}),
                         [](const ::testing::TestParamInfo<KnownWaveforms>& info) {
                           return info.param.timeBase == "2 ms" ? std::string("TwoMs")
                                                                : std::string("HalfMs");
                         });

TEST(CliList, ListsEveryUnitWithItsDriver) {
  ScratchFolder scratch;
  const ProgramResult two = RunProgram({"--simulate-units", "SIMA,SIMB", "list"}, scratch);
  EXPECT_EQ(two.exitCode, 0);
  EXPECT_EQ(two.out, "SIMA\tOrvanta USBCOM\tsimulated\nSIMB\tOrvanta USBCOM\tsimulated\n");
  const ProgramResult none = RunProgram({"--simulate-units=", "list"}, scratch);
  EXPECT_EQ(none.exitCode, 0);
  EXPECT_EQ(none.out, "");
}

TEST(CliCheck, PrintsTheIdentification) {
  ScratchFolder scratch;
  const ProgramResult result =
      RunProgram({"--simulate-units", "SIMA,SIMB", "check", "--serial", "SIMB"}, scratch);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("S/N SIMB"), std::string::npos) << result.out;
}

TEST(CliSend, QuestionMarkPrintsTheIdentification) {
  ScratchFolder scratch;
  const ProgramResult result = RunProgram({"--simulate", "send", "?", "--wait", "300"}, scratch);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("S/N SIM00001"), std::string::npos) << result.out;
  EXPECT_TRUE(result.out.ends_with("\n"));
}

struct BadInput {
  std::string name;
  std::vector<std::string> arguments;
  int exitCode;
  std::string message;  // part of standard error
  friend void PrintTo(const BadInput& c, std::ostream* os) { *os << c.name; }
};

class CliBadInput : public ::testing::TestWithParam<BadInput> {};

// Each mistake gives its exit code and says what is wrong; nothing is
// written to standard output.
TEST_P(CliBadInput, ExitsWithItsCodeAndSaysWhy) {
  const BadInput& c = GetParam();
  ScratchFolder scratch;
  std::vector<std::string> arguments;
  for (const std::string& argument : c.arguments) {
    arguments.push_back(argument.starts_with("@") ? (scratch / argument.substr(1)).string() : argument);
  }
  const ProgramResult result = RunProgram(arguments, scratch);
  EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
  EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  EXPECT_EQ(result.out, "");
}

std::vector<BadInput> BadInputs() {
  std::vector<BadInput> cases = {
      BadInput{"UnknownCommand", {"--simulate", "record"}, 2, "unknown command 'record'"},
      BadInput{"NoCommand", {"--simulate"}, 2, "no command"},
      BadInput{"UnknownOption", {"--simulate", "capture", "--colour", "red"}, 2, "unknown option '--colour'"},
      BadInput{
          "OptionOfAnotherCommand", {"--simulate", "list", "--frames", "3"}, 2, "does not apply to 'list'"},
      BadInput{"NotANumber", {"--simulate", "capture", "--ymin", "ten"}, 2, "--ymin: 'ten' is not a number"},
      BadInput{"ScaleNotANumber",
               {"--simulate", "capture", "--scale", "2=1.2.3"},
               2,
               "--scale (channel 2): '1.2.3' is not a number"},
      BadInput{"UnknownTimeBase",
               {"--simulate", "capture", "--time-base", "3 ms"},
               2,
               "'3 ms' is not a time base"},
      BadInput{"TwoUnitsWithoutSerial",
               {"--simulate-units", "SIMA,SIMB", "capture"},
               2,
               "several units are attached; choose one with --serial:\n  SIMA\n  SIMB"},
      BadInput{"NoUnit", {"--simulate-units=", "capture"}, 1, "no unit is attached"},
      BadInput{
          "UnknownSerial", {"--simulate", "check", "--serial", "XYZ"}, 1, "no unit with serial number 'XYZ'"},
      BadInput{"MissingFolder", {"--simulate", "capture", "-o", "@missing/out.csv"}, 4, "does not exist"}};
#ifndef _WIN32
  cases.push_back({"FullDisk",
                   {"--simulate", "capture", "-o", "/dev/full"},
                   4,
                   "writing '/dev/full' failed (is the disk full?); the output is incomplete"});
#endif
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Cli, CliBadInput, ::testing::ValuesIn(BadInputs()),
                         [](const ::testing::TestParamInfo<BadInput>& info) { return info.param.name; });

TEST(CliCapture, MissingFolderIsNotCreated) {
  ScratchFolder scratch;
  const ProgramResult result =
      RunProgram({"--simulate", "capture", "-o", (scratch / "no/out.csv").string()}, scratch);
  EXPECT_EQ(result.exitCode, 4);
  EXPECT_FALSE(std::filesystem::exists(scratch / "no"));
}

#ifndef _WIN32

// The real-time log runs until interrupted; SIGINT ends it cleanly with
// every line whole.
TEST(CliLog, InterruptedLogKeepsWholeLines) {
  ScratchFolder scratch;
  const std::filesystem::path log = scratch / "log.txt";
  testing::RunningProgram program({"--simulate", "log", "-o", log.string()}, scratch);
  // The scenario itself: two seconds of logging.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  program.Signal(SIGINT);
  const ProgramResult result = program.Wait();
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::string text = ReadFile(log);
  ASSERT_TRUE(text.ends_with("\r\n"));
  const std::vector<std::string> lines = Lines(text);
  EXPECT_GE(lines.size(), 10U);  // a line every ~88 ms frame
  const std::regex line(R"(\d{4}-\d{1,2}-\d{1,2}, \d\d:\d\d:\d\d:\d{3}(, -?\d+\.\d{4}){4})");
  for (const std::string& entry : lines) EXPECT_TRUE(std::regex_match(entry, line)) << entry;
}

// `-o - | head -3`: a reader that has read enough and closes the pipe ends
// the run as a signal does (exit 0, nothing said), long before the frames
// asked for; a signal at exit would say 141.
TEST(CliCapture, ReaderClosingThePipeEndsTheRunQuietly) {
  ScratchFolder scratch;
  const ProgramResult result =
      testing::RunIntoClosingPipe({"--simulate", "capture", "--frames", "1000", "-o", "-"}, scratch, 3);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_GE(Lines(result.out).size(), 3U);
}

// Every command's standard output, refused by a full disk: exit 4 and the
// reason; into a pipe whose reader has gone: the end the command would have
// had, in silence.
TEST(CliOutput, EveryCommandSaysWhenStandardOutputIsRefused) {
  const std::vector<std::vector<std::string>> commands = {{"--simulate", "list"},
                                                          {"--simulate", "check"},
                                                          {"--simulate", "send", "?", "--wait", "300"},
                                                          {"--simulate", "capture", "-o", "-"},
                                                          {"--help"},
                                                          {"--version"}};
  for (const std::vector<std::string>& arguments : commands) {
    SCOPED_TRACE(arguments.back());
    ScratchFolder scratch;
    const ProgramResult full = testing::RunProgramWritingTo(arguments, scratch, "/dev/full");
    EXPECT_EQ(full.exitCode, 4);
    EXPECT_EQ(full.err,
              "kestrova-cli: writing to standard output failed (is the disk full?); the output is incomplete\n");
    const ProgramResult closed = testing::RunIntoClosingPipe(arguments, scratch, 0);
    EXPECT_EQ(closed.exitCode, 0);
    EXPECT_EQ(closed.err, "");
  }
}

// SIGTERM ends a long capture with the frames taken so far, each whole.
TEST(CliCapture, TerminatedCaptureKeepsWholeFrames) {
  ScratchFolder scratch;
  const std::filesystem::path file = scratch / "frames.csv";
  testing::RunningProgram program({"--simulate", "capture", "--frames", "1000", "-o", file.string()},
                                  scratch);
  std::this_thread::sleep_for(std::chrono::seconds(1));
  program.Signal(SIGTERM);
  const ProgramResult result = program.Wait();
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::string text = ReadFile(file);
  ASSERT_TRUE(text.ends_with("\r\n"));
  const std::size_t lines = Lines(text).size();
  EXPECT_GE(lines, 1U + kSamplesPerFrame);
  EXPECT_EQ((lines - 1) % kSamplesPerFrame, 0U) << lines;
}

#endif

}  // namespace
}  // namespace kestrova::cli
