// kestrova-cli through the vendor backend, against the fake driver library
// scripted as a unit: on Linux libftd2xx.so, on Windows (under Wine)
// Ftd2xx.dll beside the program.
#include <string>

#include <gtest/gtest.h>

#include "ProgramRunner.h"
#include "acquisition/FrameDecoder.h"
#include "acquisition/Payloads.h"
#include "cli/MemoryControlPanel.h"
#include "device/CommandProtocol.h"
#include "output/CsvExport.h"

namespace kestrova::cli {
namespace {

using testing::ProgramResult;
using testing::ReadFile;
using testing::RunProgram;
using testing::ScratchFolder;

constexpr std::string_view kIdentification = "Orvanta USBCOM fake unit, S/N FAKE0001";

std::string Hex(std::string_view bytes) {
  static constexpr std::string_view kDigits = "0123456789ABCDEF";
  std::string hex;
  for (const char c : bytes) {
    hex += kDigits[(static_cast<unsigned char>(c) >> 4U) & 0xFU];
    hex += kDigits[static_cast<unsigned char>(c) & 0xFU];
  }
  return hex;
}

// A frame of every sample different: raw value 7 * i + 100 * c.
std::vector<std::uint8_t> DataPayload() {
  return kestrova::testing::MakePayload('M', [](int i, int c) {
    char text[5];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(7 * i + 100 * c));
    return std::string(text);
  });
}

// What File Save writes for that frame with the window's defaults.
std::string FileSaveOf(const std::vector<std::uint8_t>& payload) {
  ScopeSettings settings;
  SampleBuffer buffer;
  AllocateSampleBuffer(buffer, settings);
  AcquisitionRunning running;
  RecordingTextField status;
  MemoryScrollBar scroll;
  struct : FrameDecoderHooks {
    void WriteRealSaveLine() override {}
    void InvalidateDisplay() override {}
    void ShowElapsedTime() override {}
  } hooks;
  FrameDecoder decoder(settings, buffer, running, status, scroll, hooks);
  EXPECT_EQ(decoder.OnFrameReady(payload), FrameOutcome::Stored);
  ScratchFolder scratch;
  EXPECT_EQ(WriteCsvExport((scratch / "f5.csv").string(), settings, buffer), CsvExportResult::Saved);
  return ReadFile(scratch / "f5.csv");
}

class CliVendorTest : public ::testing::Test {
 protected:
  CliVendorTest() {
    // The unit answers the identification query, and the window's default
    // configuration with the run bit with one data frame.
    const ScopeSettings defaults;
    const std::vector<std::uint8_t> payload = DataPayload();
    const std::string frame = "\x02" + std::string(payload.begin(), payload.end()) + "\x03";
    const std::string start = ConfigurationCommand(ControlWord(defaults, defaults.timeIndex, true), LevelWord(defaults));
    testing::WriteFile(scratch_ / "script.txt",
                       "device FAKE0001 Orvanta USBCOM\n"
                       "reply " + Hex(IdentificationQuery()) + " " + Hex("\x02" + std::string(kIdentification) + "\x03") +
                           "\n"
                           "reply " + Hex(start) + " " + Hex(frame) + "\n");
    testing::SetEnvironment("FAKE_FTD2XX_SCRIPT", (scratch_ / "script.txt").string());
#ifndef _WIN32
    testing::SetEnvironment("LD_LIBRARY_PATH", KESTROVA_FAKE_FTD2XX_DIR);
#endif
  }
  ~CliVendorTest() override { testing::SetEnvironment("FAKE_FTD2XX_SCRIPT", ""); }

  ScratchFolder scratch_;
};

TEST_F(CliVendorTest, OneFrameCaptureIsFileSavesFile) {
  const ProgramResult result = RunProgram({"--driver=vendor", "capture", "-o", "-", "--timeout", "10"}, scratch_);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, FileSaveOf(DataPayload()));
}

TEST_F(CliVendorTest, SendPrintsTheReply) {
  const ProgramResult result = RunProgram({"--driver=vendor", "send", "?", "--wait", "500"}, scratch_);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, std::string(kIdentification) + "\n");
}

}  // namespace
}  // namespace kestrova::cli
