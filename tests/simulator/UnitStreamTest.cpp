#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SimTestSupport.h"
#include "acquisition/FrameDecoder.h"

namespace kestrova {
namespace {

using simtest::Control;
using simtest::Rig;
using std::chrono::microseconds;
using std::chrono::milliseconds;

using Payload = std::vector<std::uint8_t>;

RawFrame Decode(const Payload& payload) {
  RawFrame raw{};
  DecodeSampleFields(payload, raw);
  return raw;
}

// The payload is a checksum-valid data frame carrying exactly what the
// unit's waveform holds from `firstSample` on.
void ExpectFrameOfWaveform(const Payload& payload, const TestWaveform& wave, std::int64_t firstSample) {
  ASSERT_EQ(payload.size(), 8003U);
  EXPECT_TRUE(ChecksumMatches(payload));
  const RawFrame raw = Decode(payload);
  for (int c = 0; c < 4; ++c) {
    for (int i = 0; i < 500; ++i) {
      ASSERT_EQ(raw[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)],
                wave.Sample(c, firstSample + i))
          << "channel " << c << " sample " << i;
    }
  }
}

TEST(SimulatedUnitStreamTest, StreamsFramesOfTheSeededWaveformWhileTheRunBitIsSet) {
  Rig rig;
  rig.Open();
  EXPECT_TRUE(rig.Run(milliseconds(500)).empty());  // parked after power-up

  rig.Configure(Control{});
  const auto frames = rig.Run(milliseconds(500));
  ASSERT_GE(frames.size(), 4U);
  const UnitStatus unit = rig.Unit();
  EXPECT_TRUE(unit.streaming);
  EXPECT_EQ(unit.configuration.controlWord, Control{}.Word());
  EXPECT_EQ(unit.configuration.levelWord, 10);
  ASSERT_EQ(static_cast<std::int64_t>(unit.recentFrames.size()), unit.dataFramesSent);
  for (std::size_t k = 0; k < frames.size(); ++k) {
    const SentFrame& sent = unit.recentFrames[k];
    EXPECT_EQ(frames[k][0], static_cast<std::uint8_t>(sent.type));
    ExpectFrameOfWaveform(frames[k], unit.waveform, sent.firstSample);
  }
  // The default setup (channel 1, rising, level 10) triggers on the test signal.
  EXPECT_GT(unit.triggeredFramesSent, 0);
}

TEST(SimulatedUnitStreamTest, OperationModeAndOptionsSelectTheWaveform) {
  Rig rig;
  rig.Open();
  rig.Configure(Control{.timeIndex = 7, .options = 0b011, .mode = 1});
  const auto frames = rig.Run(milliseconds(250));
  ASSERT_FALSE(frames.empty());
  const UnitStatus unit = rig.Unit();
  EXPECT_EQ(unit.configuration.Mode(), 1);
  EXPECT_EQ(unit.configuration.OptionBits(), 0b011);
  const TestWaveform spi(unit.seed, 1, 0b011, 1000);  // 20 ms/div: two frames a screen
  ExpectFrameOfWaveform(frames[0], spi, unit.recentFrames[0].firstSample);
}

TEST(SimulatedUnitStreamTest, IgnoresConfigurationsWithABadChecksumAndMalformedCommands) {
  Rig rig;
  rig.Open();
  std::vector<std::uint8_t> damaged = simtest::ConfigurationCommand(Control{}.Word(), 10);
  damaged[damaged.size() - 2] ^= 0x01;  // last checksum digit
  rig.Write(damaged);
  rig.Write({'S', '4', '1', '0', '0'});  // bytes outside a frame
  rig.Write({0x02, 'S', 0x02});          // a command cut short by the next STX...
  rig.Write({0x03});                     // ...is an empty one
  EXPECT_TRUE(rig.Run(milliseconds(300)).empty());
  UnitStatus unit = rig.Unit();
  EXPECT_FALSE(unit.streaming);
  EXPECT_EQ(unit.commandsRejected, 1);
  EXPECT_EQ(unit.configurationsAccepted, 0);

  // A configuration that arrives in pieces is taken whole.
  const auto command = simtest::ConfigurationCommand(Control{}.Word(), 10);
  rig.Write({command.begin(), command.begin() + 5});
  rig.Write({command.begin() + 5, command.end()});
  EXPECT_TRUE(rig.Unit().streaming);

  // Over-long commands are dropped without an answer.
  std::vector<std::uint8_t> longCommand(102, 'A');
  longCommand.front() = 0x02;
  longCommand.back() = 0x03;
  rig.Write(longCommand);
  unit = rig.Unit();
  EXPECT_EQ(unit.unknownCommands, 0);
  EXPECT_EQ(unit.configurationsAccepted, 1);
}

TEST(SimulatedUnitStreamTest, AnswersTheIdentificationQueryAndUnknownCommands) {
  Rig rig;
  rig.Open();
  rig.Write({0x02, '?', 0x03});
  rig.Write(simtest::FramedCommand("X12"));
  const auto replies = rig.Run(milliseconds(50));
  ASSERT_EQ(replies.size(), 2U);
  const std::string id = simtest::Text(replies[0]);
  EXPECT_EQ(id, rig.Unit().identification);
  EXPECT_NE(id.find("SIM00001"), std::string::npos);
  EXPECT_NE(id.find("4 channel, 16bit data"), std::string::npos);
  EXPECT_EQ(simtest::Text(replies[1]), "ERR UNKNOWN COMMAND");
  EXPECT_EQ(rig.Unit().identificationQueries, 1);
  EXPECT_EQ(rig.Unit().unknownCommands, 1);
}

TEST(SimulatedUnitStreamTest, ReplyWaitsForTheFrameOnTheWire) {
  Rig rig;
  rig.Open();
  rig.Configure(Control{.timeIndex = 0});
  rig.clock->Advance(milliseconds(5));  // a frame is under way
  rig.Configure(Control{.timeIndex = 0, .run = false});
  rig.Write({0x02, '?', 0x03});
  const auto payloads = rig.Run(milliseconds(200));
  ASSERT_EQ(payloads.size(), 2U);  // the rest of the frame, then the reply
  EXPECT_EQ(payloads[0].size(), 8003U);
  EXPECT_EQ(simtest::Text(payloads[1]).rfind("Orvanta USBCOM", 0), 0U);
}

TEST(SimulatedUnitStreamTest, ParkCommandStopsTheStreamAfterTheCurrentFrame) {
  Rig rig;
  rig.Open();
  rig.Configure(Control{});
  ASSERT_FALSE(rig.Run(milliseconds(300)).empty());
  // The park command exactly as the program sends it.
  rig.Write({0x02, 'S', '4', '0', '0', '0', '0', '0', '0', '0', 'D', '7', 0x03});
  const UnitStatus unit = rig.Unit();
  EXPECT_FALSE(unit.streaming);
  EXPECT_EQ(unit.configuration, (UnitConfiguration{0x4000, 0}));
  EXPECT_LE(rig.Run(milliseconds(100)).size(), 1U);  // the frame already under way
  EXPECT_TRUE(rig.Run(milliseconds(1000)).empty());
  EXPECT_EQ(rig.Queued(), 0U);
}

TEST(SimulatedUnitStreamTest, PacesBytesAtTheWireRate) {
  Rig rig(simtest::WireLevel());
  rig.Open();
  // 10 ms/div in Auto: the first frame holds samples 0..499 at 200 us and
  // leaves once they are taken, 100 ms after the command.
  rig.Configure(Control{.timeIndex = 6});
  rig.clock->Advance(milliseconds(100));
  EXPECT_EQ(rig.Queued(), 0U);
  rig.clock->Advance(microseconds(11));
  EXPECT_EQ(rig.Queued(), 1U);
  rig.clock->Advance(microseconds(11 * 999 + 10));
  EXPECT_EQ(rig.Queued(), 1000U);
  rig.clock->Advance(microseconds(1));
  EXPECT_EQ(rig.Queued(), 1001U);
  rig.clock->Advance(microseconds(11 * 7004));
  EXPECT_EQ(rig.Queued(), 8005U);
  // The next frame waits for its samples: 200 ms after the command.
  rig.clock->Advance(milliseconds(200) - microseconds(100'000 + 11 * 8005));
  EXPECT_EQ(rig.Queued(), 8005U);
  rig.clock->Advance(microseconds(11));
  EXPECT_EQ(rig.Queued(), 8006U);
}

TEST(SimulatedUnitStreamTest, SendsBackToBackFramesWhenTheWireIsTheBottleneck) {
  Rig rig(simtest::WireLevel());
  rig.Open();
  // 2 ms/div with a level the signal never reaches: every frame is a
  // monitor frame of the newest samples, ready as soon as the wire is free.
  rig.Configure(Control{.timeIndex = 4}, 0x0FFF);
  rig.clock->Advance(milliseconds(20));  // the first frame's samples
  rig.splitter.Feed(rig.ReadAll());
  std::size_t bytes = 0;
  for (int step = 0; step < 100; ++step) {  // one second
    rig.clock->Advance(milliseconds(10));
    const auto chunk = rig.ReadAll();
    bytes += chunk.size();
    rig.splitter.Feed(chunk);
  }
  EXPECT_EQ(bytes, 1'000'000U / 11U);            // 90 909
  ASSERT_EQ(rig.splitter.payloads.size(), 11U);  // 88.055 ms each
  for (const Payload& frame : rig.splitter.payloads) {
    EXPECT_EQ(frame[0], 'M');
    EXPECT_TRUE(ChecksumMatches(frame));
  }
  EXPECT_TRUE(rig.splitter.outside.empty());
  EXPECT_EQ(rig.Unit().triggeredFramesSent, 0);
}

TEST(SimulatedUnitStreamTest, RunsUnpacedAsFastAsTheReaderTakesFrames) {
  SimulatedBenchOptions options;
  options.paced = false;
  Rig rig(options);
  rig.Open();
  rig.Configure(Control{});
  std::array<Event*, 1> events{&rig.rxEvent};
  // No time passes at all: each read brings in the next frame.
  for (int k = 0; k < 50; ++k) {
    ASSERT_EQ(WaitAny(events, milliseconds(0)), 0) << "frame " << k;
    EXPECT_EQ(rig.Queued(), 8005U);
    rig.splitter.Feed(rig.ReadAll());
  }
  ASSERT_EQ(rig.splitter.payloads.size(), 50U);
  const UnitStatus unit = rig.Unit();
  for (std::size_t k = 0; k < 10; ++k) {
    ExpectFrameOfWaveform(rig.splitter.payloads[k + 40], unit.waveform,
                          unit.recentFrames[unit.recentFrames.size() - 11 + k].firstSample);
  }
  // Stopping empties the pipe after what is queued.
  rig.Configure(Control{.run = false});
  rig.ReadAll();
  EXPECT_EQ(rig.Queued(), 0U);
}

// --- Trigger -----------------------------------------------------------------

std::int32_t AsNumber(std::uint16_t raw, bool signedChannel) {
  return signedChannel ? static_cast<std::int16_t>(raw) : raw;
}

// Frames of the first 600 ms of a run with this configuration.
std::vector<Payload> FramesWith(const Control& control, std::uint16_t level) {
  Rig rig;
  rig.Open();
  rig.Configure(control, level);
  return rig.Run(milliseconds(600));
}

TEST(SimulatedUnitTriggerTest, PlacesTheCrossingAtTheTriggerSampleOnEitherEdge) {
  for (const bool rising : {true, false}) {
    for (const int channel : {0, 2}) {
      const auto frames = FramesWith(Control{.rising = rising, .channel = channel}, 50);
      ASSERT_GE(frames.size(), 4U);
      for (const Payload& frame : frames) {
        ASSERT_EQ(frame[0], 'T') << "rising " << rising << " channel " << channel;
        const RawFrame raw = Decode(frame);
        const auto& trace = raw[static_cast<std::size_t>(channel)];
        const std::uint16_t before = trace[kTriggerSample - 1];
        const std::uint16_t at = trace[kTriggerSample];
        if (rising) {
          EXPECT_TRUE(before < 50 && at >= 50) << before << " " << at;
        } else {
          EXPECT_TRUE(before > 50 && at <= 50) << before << " " << at;
        }
      }
    }
  }
}

TEST(SimulatedUnitTriggerTest, SendsMonitorFramesWhenTheLevelIsNeverCrossed) {
  for (const bool normal : {false, true}) {
    const auto frames = FramesWith(Control{.normal = normal}, 150);
    ASSERT_GE(frames.size(), 5U);
    for (const Payload& frame : frames) EXPECT_EQ(frame[0], 'M');
  }
}

TEST(SimulatedUnitTriggerTest, ComparesSignedOrUnsignedAsTheControlWordSays) {
  // With B2 channel 4 dips briefly below zero. Rising through 0: only a
  // signed comparison sees values below 0.
  const auto signedZero = FramesWith(Control{.options = 2, .signedChannel = true, .channel = 3}, 0x0000);
  ASSERT_FALSE(signedZero.empty());
  EXPECT_EQ(signedZero[0][0], 'T');
  const auto crossing = Decode(signedZero[0])[3];
  EXPECT_LT(AsNumber(crossing[kTriggerSample - 1], true), 0);
  EXPECT_GE(AsNumber(crossing[kTriggerSample], true), 0);
  for (const Payload& frame :
       FramesWith(Control{.options = 2, .signedChannel = false, .channel = 3}, 0x0000)) {
    EXPECT_EQ(frame[0], 'M');
  }

  // Falling through 0x8000: unsigned, the dip reads as 65 5xx and the way
  // back up to small values falls through 32768; signed, -32768 is never
  // passed.
  const auto unsignedWrap = FramesWith(Control{.options = 2, .rising = false, .channel = 3}, 0x8000);
  ASSERT_FALSE(unsignedWrap.empty());
  EXPECT_EQ(unsignedWrap[0][0], 'T');
  for (const Payload& frame :
       FramesWith(Control{.options = 2, .rising = false, .signedChannel = true, .channel = 3}, 0x8000)) {
    EXPECT_EQ(frame[0], 'M');
  }
}

TEST(SimulatedUnitTriggerTest, SingleSendsOneTriggeredFrameUntilReArmed) {
  Rig rig;
  rig.Open();
  const Control single{.single = true};
  rig.Configure(single, 50);
  const auto shot = rig.Run(milliseconds(1000));
  ASSERT_EQ(shot.size(), 1U);
  EXPECT_EQ(shot[0][0], 'T');
  EXPECT_TRUE(rig.Unit().singleShotTaken);
  EXPECT_TRUE(rig.Run(milliseconds(1000)).empty());

  // The program re-arms with a stop and a new start.
  rig.Configure(Control{.run = false, .single = true}, 50);
  rig.Configure(single, 50);
  const auto again = rig.Run(milliseconds(1000));
  ASSERT_EQ(again.size(), 1U);
  EXPECT_EQ(again[0][0], 'T');
  EXPECT_EQ(rig.Unit().triggeredFramesSent, 2);
}

TEST(SimulatedUnitTriggerTest, AutoAtAHistoryTimeBaseSendsAnUnbrokenStream) {
  Rig rig(simtest::WireLevel());
  rig.Open();
  rig.Configure(Control{.timeIndex = 8});  // 50 ms/div: five frames a screen
  // Frame k leaves when its samples are taken, (k + 1) x 100 ms after the
  // command, and is on the wire for 88 ms.
  const auto frames = rig.Run(milliseconds(1100));
  ASSERT_EQ(frames.size(), 10U);
  const UnitStatus unit = rig.Unit();
  int triggered = 0;
  for (std::size_t k = 0; k < frames.size(); ++k) {
    EXPECT_EQ(unit.recentFrames[k].firstSample, static_cast<std::int64_t>(k) * 500);
    ExpectFrameOfWaveform(frames[k], unit.waveform, unit.recentFrames[k].firstSample);
    triggered += frames[k][0] == 'T' ? 1 : 0;
  }
  // Three periods of channel 1 in 2500 samples: some frames hold a crossing, some do not.
  EXPECT_GT(triggered, 0);
  EXPECT_LT(triggered, 10);
}

}  // namespace
}  // namespace kestrova
