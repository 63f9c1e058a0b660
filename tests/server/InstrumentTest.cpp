#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeUnitPort.h"
#include "device/CommandProtocol.h"
#include "server/Instrument.h"

namespace kestrova::server {
namespace {

// A data frame payload: type, 2000 hexadecimal fields (sample i of channel
// c at 1 + 4 * (4 * i + c)), checksum.
std::vector<std::uint8_t> Frame(char type, const std::function<int(int channel, int i)>& sample) {
  std::string text(1, type);
  for (int i = 0; i < kSamplesPerFrame; ++i) {
    for (int c = 0; c < kChannelCount; ++c) {
      char field[8];
      std::snprintf(field, sizeof field, "%04X", sample(c, i) & 0xFFFF);
      text += field;
    }
  }
  unsigned sum = 0;
  for (const char ch : text) sum += static_cast<unsigned char>(ch);
  char checksum[4];
  std::snprintf(checksum, sizeof checksum, "%02X", sum & 0xFF);
  text += checksum;
  return {text.begin(), text.end()};
}

// Channel 1 counts i % 7, channel 2 a 20/80 square of 100 samples, channel
// 3 stands at `level`, channel 4 at 0.
std::vector<std::uint8_t> TestFrame(char type, int level = 5) {
  return Frame(type, [level](int c, int i) {
    switch (c) {
      case 0:
        return i % 7;
      case 1:
        return i % 100 < 50 ? 80 : 20;
      case 2:
        return level;
      default:
        return 0;
    }
  });
}

class InstrumentTest : public ::testing::Test {
 protected:
  // The whole reply to a message that needs no frame.
  std::string Ask(std::string_view message) {
    EXPECT_EQ(instrument.Input(message), Instrument::Progress::Done) << message;
    return instrument.TakeReply();
  }

  FakeUnitPort unit;
  Instrument instrument{unit, {"Orvanta USBCOM test unit, firmware 2, S/N T0001", "T0001", "9.9"}};
};

TEST_F(InstrumentTest, AnswersTheCommandTreeAndQueuesItsErrors) {
  instrument.Start();
  const std::vector<std::pair<std::string, std::string>> exchanges = {
      {"*IDN?", "Orvanta,USBCOM test unit,T0001,9.9\n"},
      {"SYST:UNIT?", "\"Orvanta USBCOM test unit, firmware 2, S/N T0001\"\n"},
      {"RUN", ""},
      // Short and long forms, any case, the path kept after ';'.
      {"TIM:SCAL?;:timebase:scale 1 MS;SCAL?;:TIM:SCAL 0.5e-3;SCAL?", "0.002;0.001;5e-04\n"},
      {"TIM:SCAL 3ms;:SYST:ERR?;ERR:NEXT?", "-224,\"Illegal parameter value\";0,\"No error\"\n"},
      {"CHAN2:SCAL 2.5;SCAL?;OFFS -3;OFFS?;DISP OFF;DISP?;UNS 0;UNS?", "2.5;-3;0;0\n"},
      {"CHAN1:DISP?;:CHANNEL3:DISPLAY?", "1;1\n"},
      {"CHAN5:DISP?;:CHAN0:SCAL 1;:SYST:ERR?;ERR?",
       "-114,\"Header suffix out of range\";-114,\"Header suffix out of range\"\n"},
      {"CHAN1:SCAL 70000;:SYST:ERR?;:CHAN1:SCAL?", "-222,\"Data out of range\";1\n"},
      {"CHAN1:SCAL 1 V;:SYST:ERR?", "-138,\"Suffix not allowed\"\n"},
      {"CHAN1:SCAL ON;:SYST:ERR?", "-104,\"Data type error\"\n"},
      {"CHAN1:SCAL;:SYST:ERR?;:CHAN1:SCAL 1,2;:SYST:ERR?",
       "-109,\"Missing parameter\";-108,\"Parameter not allowed\"\n"},
      {"TRIG:MODE NORMAL;MODE?;SOUR CHAN3;SOUR?;LEV 20;LEV?;SLOP NEG;SLOP?", "NORM;CHAN3;20;NEG\n"},
      // The window's limits: a level off the axis comes back onto it.
      {"TRIG:LEV 500;LEV?", "100\n"},
      {"TRIG:MODE BOTH;:SYST:ERR?;:TRIG:SOUR CHAN9;:SYST:ERR?",
       "-224,\"Illegal parameter value\";-224,\"Illegal parameter value\"\n"},
      {"ACQ:MODE uart;MODE?;OPT2 ON;OPT2?;OPT1?;OPT4 ON;:SYST:ERR?",
       "UART;1;0;-114,\"Header suffix out of range\"\n"},
      {"ACQ:MODE ADC;:TRIG:MODE AUTO", ""},
      {"WAV:FORM BIN;:SYST:ERR?;:WAV:SOUR 3;:SYST:ERR?;:WAV:SOUR CHAN4;SOUR?;FORM REAL;FORM?",
       "-224,\"Illegal parameter value\";-104,\"Data type error\";CHAN4;REAL\n"},
      {"WAV:POIN?;XINC?;:TIM:SCAL 20MS;:WAV:XINC?", "500;1e-05;2e-04\n"},
      {"*IDN? 1;:SYST:ERR?;:FOO;:SYST:ERR?;:TIM:SCAL?5",
       "-108,\"Parameter not allowed\";-113,\"Undefined header\"\n"},
      {"SYST:ERR?", "-102,\"Syntax error\"\n"},
      {"*IDN;:SYST:ERR?;:WAV:DATA 1;:SYST:ERR?", "-113,\"Undefined header\";-113,\"Undefined header\"\n"},
      // Status: a command error sets bit 5 of *ESR; *STB? shows the queue
      // and the summary of the enabled events.
      {"*CLS;FOO;*ESE 32;*ESE?;*STB?;*ESR?;*ESR?;*STB?", "32;36;32;0;4\n"},
      {"*CLS;*STB?;*OPC;*ESR?", "0;1\n"},
      {"*RST;TIM:SCAL?;:WAV:FORM?;SOUR?;:ACQ:STAT?", "0.002;ASC;CHAN1;RUN\n"},
      {"STOP;:ACQ:STAT?;:WAV:DATA?;:SYST:ERR?",
       "STOP;-230,\"Data corrupt or stale; no frame since the last change\"\n"},
      {"RUN;*OPC?", "1\n"},
  };
  for (const auto& [message, reply] : exchanges) EXPECT_EQ(Ask(message), reply) << message;
}

TEST_F(InstrumentTest, SettingsReachTheUnitAndRestartTheRun) {
  instrument.Start();
  const std::size_t before = unit.controlWords.size();
  Ask("TRIG:SLOP NEG;:ACQ:OPT3 ON");
  ASSERT_EQ(unit.controlWords.size(), before + 2);
  const std::uint16_t word = unit.controlWords.back();
  EXPECT_EQ(word & control::kRunning, control::kRunning);
  EXPECT_EQ(word & control::kRising, 0);
  EXPECT_EQ(word & control::kOptionB3, control::kOptionB3);
  // A refused value changes nothing on the unit.
  Ask("TIM:SCAL 7");
  EXPECT_EQ(unit.controlWords.size(), before + 2);
  Ask("STOP");
  EXPECT_EQ(unit.controlWords.back() & control::kRunning, 0);
}

TEST_F(InstrumentTest, WaveformsAndMeasurementsComeFromTheLatestFrame) {
  instrument.Start();
  // Before the first frame a query waits for it.
  ASSERT_EQ(instrument.Input("WAV:DATA?"), Instrument::Progress::Waiting);
  EXPECT_EQ(instrument.Resume(), Instrument::Progress::Waiting);
  instrument.OnFrame(TestFrame('M', 1));
  ASSERT_EQ(instrument.Resume(), Instrument::Progress::Done);
  std::string ascii;
  for (int i = 0; i < kSamplesPerFrame; ++i) ascii += (i > 0 ? "," : "") + std::to_string(i % 7);
  EXPECT_EQ(instrument.TakeReply(), ascii + "\n");

  instrument.OnFrame(TestFrame('M', 7));
  Ask("STOP");
  instrument.OnFrame(TestFrame('M', 9));  // still on its way when stopped: not kept
  std::string real = "#42000";
  for (int i = 0; i < kSamplesPerFrame; ++i) {
    const float value = 7.0F;
    char bytes[4];
    std::memcpy(bytes, &value, 4);  // the test machines are little-endian
    real.append(bytes, 4);
  }
  EXPECT_EQ(Ask("WAV:SOUR CHAN3;FORM REAL;DATA?"), real + "\n");

  EXPECT_EQ(Ask("MEAS:VPP? CHAN2;VMIN? CHAN2;VMAX? CHAN2;VAV? CHAN2;FREQ? CHAN2;PER? CHAN2;DUTY? CHAN2"),
            "60;20;80;50;250;0.004;50\n");
  EXPECT_EQ(Ask("MEAS:VRMS?;FREQ?;PER?;DUTY?"), "7;9.91E37;9.91E37;9.91E37\n");
  EXPECT_EQ(Ask("MEAS:VPP? CHAN5;:SYST:ERR?"), "-224,\"Illegal parameter value\"\n");
}

TEST_F(InstrumentTest, HistoryDataSpansTheScreenAtHistoryTimeBases) {
  instrument.Start();
  EXPECT_EQ(Ask("WAV:HIST:DATA?;:SYST:ERR?"), "-221,\"Settings conflict; not a history time base\"\n");
  Ask("TIM:SCAL 20 ms;:WAV:SOUR CHAN3");  // two frames a screen
  for (const int level : {1, 2, 3}) instrument.OnFrame(TestFrame('M', level));
  std::string expected;
  for (const int level : {2, 3}) {
    for (int i = 0; i < kSamplesPerFrame; ++i)
      expected += (expected.empty() ? "" : ",") + std::to_string(level);
  }
  EXPECT_EQ(Ask("WAV:HIST:DATA?"), expected + "\n");
}

TEST_F(InstrumentTest, OperationCompleteWaitsForTheSingleShot) {
  instrument.Start();
  ASSERT_EQ(instrument.Input("SING;*OPC;*OPC?;:ACQ:STAT?"), Instrument::Progress::Waiting);
  EXPECT_EQ(unit.controlWords.back() & (control::kSingle | control::kRunning),
            control::kSingle | control::kRunning);
  instrument.OnFrame(TestFrame('M'));
  EXPECT_EQ(instrument.Resume(), Instrument::Progress::Waiting);
  instrument.OnFrame(TestFrame('T', 4));
  ASSERT_EQ(instrument.Resume(), Instrument::Progress::Done);
  EXPECT_EQ(instrument.TakeReply(), "1;STOP\n");
  EXPECT_EQ(unit.controlWords.back() & control::kRunning, 0);
  EXPECT_EQ(Ask("*ESR?;:WAV:SOUR CHAN3;DATA?").substr(0, 8), "1;4,4,4,");
  // A client gone while waiting leaves nothing behind.
  ASSERT_EQ(instrument.Input("SING;*WAI;*IDN?"), Instrument::Progress::Waiting);
  instrument.ClientGone();
  EXPECT_EQ(instrument.TakeReply(), "");
  EXPECT_EQ(Ask("SYST:ERR?"), "0,\"No error\"\n");
}

TEST_F(InstrumentTest, RawCommandCollectsTheTerminalReplies) {
  unit.replies = {"OK 1", "line\nbreak \"q\""};
  ASSERT_EQ(instrument.Input("SYST:RAW? \"V?\""), Instrument::Progress::Waiting);
  EXPECT_EQ(unit.sent, (std::vector<std::vector<std::uint8_t>>{{0x02, 'V', '?', 0x03}}));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (instrument.Resume() == Instrument::Progress::Waiting &&
         std::chrono::steady_clock::now() < deadline) {
  }
  EXPECT_EQ(instrument.TakeReply(), "\"OK 1\",\"line break \"\"q\"\"\"\n");
  EXPECT_EQ(Ask("SYST:RAW? 5;:SYST:ERR?"), "-104,\"Data type error\"\n");
}

TEST_F(InstrumentTest, LinkLossIsQueuedAsAHardwareError) {
  instrument.Start();
  instrument.OnLinkLost();
  EXPECT_EQ(Ask("SYST:ERR?"), "-240,\"Hardware error; the link to the unit was lost\"\n");
}

}  // namespace
}  // namespace kestrova::server
