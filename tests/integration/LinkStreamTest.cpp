#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LinkTestSupport.h"

namespace kestrova {
namespace {

using linktest::Link;
using linktest::LinkOptions;
using linktest::MatchSent;
using linktest::NoThreadBeyond;
using linktest::ThreadBaseline;
using linktest::WaitFor;

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

using linktest::kTenMsPerDivision;

// Real clock and wire thread: Start, a few frames, Stop. What the decoder
// stored is what the unit generated, slot by slot, and the session leaves
// nothing running behind it.
TEST(LinkStreamTest, HistoryHoldsExactlyWhatTheUnitSentAndStopClosesEverything) {
  Link link(LinkOptions{.timeIndex = kTenMsPerDivision});
  const auto threadsBefore = ThreadBaseline();
  ASSERT_TRUE(link.Start());
  ASSERT_TRUE(link.DecodeUntil(6));
  link.Stop();
  link.DecodeWaiting();

  EXPECT_FALSE(link.session->IsOpen());
  EXPECT_FALSE(link.running.Get());
  if (threadsBefore) {
    EXPECT_TRUE(NoThreadBeyond(*threadsBefore)) << "the receive thread outlived CloseSession";
  }

  // The commands on the wire: running, then the same configuration with the
  // run bit clear.
  const auto writes = link.tap.Writes();
  ASSERT_EQ(writes.size(), 2U);
  const std::uint16_t level = LevelWord(link.settings);
  EXPECT_EQ(writes[0],
            Bytes(ConfigurationCommand(ControlWord(link.settings, kTenMsPerDivision, true), level)));
  EXPECT_EQ(writes[1],
            Bytes(ConfigurationCommand(ControlWord(link.settings, kTenMsPerDivision, false), level)));
  const auto device = link.Device();
  EXPECT_FALSE(device.open);
  const UnitStatus unit = link.Unit();
  EXPECT_FALSE(unit.configuration.Running());
  EXPECT_FALSE(unit.streaming);

  // Every frame the session read reached the decoder once, in order. What
  // was still queued at the close (the frame on the wire, and more when the
  // receive thread was slow to run) goes with the close, as on the unit.
  const auto matches = MatchSent(link.decoded, unit);
  ASSERT_TRUE(matches.has_value()) << "a payload the unit never sent";
  EXPECT_GE(unit.dataFramesSent, static_cast<std::int64_t>(link.decoded.size()));
  EXPECT_EQ(link.events.FrameReadyCount(), static_cast<int>(link.decoded.size()));
  EXPECT_EQ(link.frames.DroppedCount(), 0U);
  EXPECT_EQ(link.events.LinkLostCount(), 0);
  // A receive thread starved long enough to overflow the queue would lose
  // frames through no fault of the link; only an unhindered run must be
  // gapless.
  const bool unhindered = device.link.receivePurges == 1;
  if (unhindered) {
    EXPECT_EQ(link.decoded.size(), link.tap.BytesRead() / kDataFrameBytes);
  }
  for (std::size_t k = 0; k < link.decoded.size(); ++k) {
    const auto& frame = link.decoded[k];
    ASSERT_EQ(frame.outcome, FrameOutcome::Stored) << k;
    if (unhindered) {
      EXPECT_EQ((*matches)[k], k);
      // Auto at a history time base: one unbroken stream into successive slots.
      EXPECT_EQ(frame.slot, static_cast<int>(k));
      EXPECT_EQ(unit.recentFrames[k].firstSample, static_cast<std::int64_t>(k) * kSamplesPerFrame);
    }
    link.ExpectSlotHolds(frame.slot, unit.waveform, unit.recentFrames[(*matches)[k]].firstSample);
  }
  EXPECT_EQ(link.buffer.frameCount, static_cast<int>(link.decoded.size()));
}

// Manual clock: the session takes frames exactly as fast as the wire brings
// them, 90 909 bytes a second, no more and no fewer.
TEST(LinkStreamTest, FramesArriveAtTheWireRate) {
  Link link(LinkOptions{.manualClock = true});
  link.settings.triggerLevel[0] = 4095;  // never crossed: frames go back to back
  ASSERT_TRUE(link.Start());
  link.Advance(std::chrono::seconds(2));

  const auto device = link.Device();
  const std::uint64_t complete = device.bytesDelivered / kDataFrameBytes;
  EXPECT_LE(device.bytesDelivered, 2U * 90910U);
  EXPECT_GE(complete, 21U);  // 2 s at 11.36 frames a second, less the first capture
  EXPECT_LE(complete, 22U);
  EXPECT_EQ(link.decoded.size(), complete);
  EXPECT_EQ(device.bytesLost, 0U);
  EXPECT_EQ(device.link.receivePurges, 1);  // the one at open

  const UnitStatus unit = link.Unit();
  EXPECT_LE(unit.dataFramesSent - static_cast<std::int64_t>(complete), 1);
  const auto matches = MatchSent(link.decoded, unit);
  ASSERT_TRUE(matches.has_value());
  for (std::size_t k = 0; k < matches->size(); ++k) {
    EXPECT_EQ((*matches)[k], k);
    EXPECT_EQ(link.decoded[k].outcome, FrameOutcome::Stored);
  }
  // Below 10 ms a division every frame replaces the one on screen.
  EXPECT_EQ(link.buffer.writeIndex, 0);
  EXPECT_EQ(link.buffer.frameCount, static_cast<int>(complete));
  link.ExpectSlotHolds(0, unit.waveform, unit.recentFrames[matches->back()].firstSample);
  link.Stop();
}

TEST(LinkStreamTest, ParkUnitClosesTheSessionAndParksTheUnit) {
  Link link(LinkOptions{.manualClock = true});
  const auto threadsBefore = ThreadBaseline();
  ASSERT_TRUE(link.Start());
  link.Advance(std::chrono::milliseconds(200));
  ASSERT_FALSE(link.decoded.empty());

  link.session->ParkUnit();
  EXPECT_FALSE(link.session->IsOpen());
  if (threadsBefore) {
    EXPECT_TRUE(NoThreadBeyond(*threadsBefore));
  }
  const std::vector<std::uint8_t> park = {0x02, 'S', '4', '0', '0', '0', '0', '0', '0', '0', 'D', '7', 0x03};
  ASSERT_FALSE(link.tap.Writes().empty());
  EXPECT_EQ(link.tap.Writes().back(), park);

  const auto device = link.Device();
  EXPECT_FALSE(device.open);
  EXPECT_EQ(device.link.latencyTimer, 1);
  const UnitStatus unit = link.Unit();
  EXPECT_EQ(unit.configuration, (UnitConfiguration{0x4000, 0}));
  EXPECT_FALSE(unit.streaming);
  EXPECT_EQ(unit.commandsRejected, 0);
}

// The identification query over the live link: the reply reaches the
// latest frame and the window, or only the terminal while it is open.
TEST(LinkStreamTest, IdentificationReplyGoesToTheWindowOrToTheOpenTerminal) {
  Link link;
  ASSERT_TRUE(link.session->EnsureOpen());
  const std::string expected = link.Unit().identification;
  ASSERT_FALSE(expected.empty());

  link.frames.ClearLatestLength();
  link.session->QueueCommand(IdentificationQuery());
  // The notification is posted after the frame is stored: wait for it.
  ASSERT_TRUE(WaitFor([&] { return link.events.FrameReadyCount() >= 1; }, "the frame-ready notification"));
  EXPECT_EQ(link.frames.LatestText(), expected);
  EXPECT_EQ(link.events.FrameReadyCount(), 1);

  link.session->SetTerminalOpen(true);
  link.frames.ClearLatestLength();
  link.session->QueueCommand(IdentificationQuery());
  ASSERT_TRUE(WaitFor([&] { return link.events.TerminalFrames().size() == 1; }, "the terminal frame"));
  EXPECT_EQ(linktest::Text(link.events.TerminalFrames()[0]), expected);
  EXPECT_EQ(link.events.FrameReadyCount(), 1);
  link.session->CloseSession();
}

}  // namespace
}  // namespace kestrova
