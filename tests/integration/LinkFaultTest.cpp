#include <chrono>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "LinkTestSupport.h"

namespace kestrova {
namespace {

using linktest::kSerial;
using linktest::Link;
using linktest::LinkOptions;
using linktest::MatchSent;
using linktest::NoThreadBeyond;
using linktest::ThreadBaseline;
using std::chrono::milliseconds;

using linktest::kTenMsPerDivision;

// Each decoded frame is one the unit sent, and each stored one holds its
// samples.
void ExpectDecodedFramesAreSentFrames(const Link& link, std::size_t from = 0) {
  const UnitStatus unit = link.Unit();
  std::vector<linktest::Decoded> frames(link.decoded.begin() + static_cast<std::ptrdiff_t>(from),
                                        link.decoded.end());
  const auto matches = MatchSent(frames, unit);
  ASSERT_TRUE(matches.has_value()) << "a payload the unit never sent";
  for (std::size_t k = 0; k < frames.size(); ++k) {
    const SentFrame& sent = unit.recentFrames[(*matches)[k]];
    EXPECT_EQ(frames[k].outcome, sent.checksumCorrupted ? FrameOutcome::Rejected : FrameOutcome::Stored) << k;
    if (frames[k].outcome == FrameOutcome::Stored)
      link.ExpectSlotHolds(frames[k].slot, unit.waveform, sent.firstSample);
  }
}

// The unit goes away in the middle of a frame while the wire thread runs:
// one link-lost report, the run flag down, the partial frame never
// delivered, and the session still closes. Plugged back in, the link runs
// again as the window's reconnection does it.
TEST(LinkFaultTest, UnitVanishingMidFrameReportsTheLossOnceAndNothingHangs) {
  Link link(LinkOptions{.timeIndex = kTenMsPerDivision});
  const auto threadsBefore = ThreadBaseline();
  ASSERT_TRUE(link.Start());
  ASSERT_TRUE(link.DecodeUntil(2));
  ASSERT_TRUE(link.bench->VanishAfterBytes(kSerial, 3000));

  ASSERT_TRUE(
      link.events.WaitUntil([&] { return link.events.LinkLostCount() >= 1; }, std::chrono::seconds(20)));
  EXPECT_FALSE(link.running.Get());
  link.session->CloseSession();
  EXPECT_FALSE(link.session->IsOpen());
  if (threadsBefore) {
    EXPECT_TRUE(NoThreadBeyond(*threadsBefore));
  }
  EXPECT_EQ(link.events.LinkLostCount(), 1);
  EXPECT_FALSE(link.Device().attached);

  link.DecodeWaiting();
  for (const auto& frame : link.decoded) EXPECT_EQ(frame.payload.size(), kMaxPayloadLength);
  ExpectDecodedFramesAreSentFrames(link);
  const std::size_t beforeLoss = link.decoded.size();
  EXPECT_EQ(static_cast<int>(beforeLoss), link.events.FrameReadyCount());

  ASSERT_TRUE(link.bench->AttachUnit(kSerial));
  ASSERT_TRUE(link.Start());
  ASSERT_TRUE(link.DecodeUntil(beforeLoss + 2));
  link.Stop();
  link.DecodeWaiting();
  EXPECT_EQ(link.events.LinkLostCount(), 1);
  ExpectDecodedFramesAreSentFrames(link, beforeLoss);
}

// Line noise, a frame cut short by the next STX, stray ETX bytes, a frame
// with a wrong checksum and an over-long frame, all between good frames:
// the extractor and the decoder drop exactly the damaged data, and every
// good frame around it arrives intact and in order.
TEST(LinkFaultTest, DamagedDataBetweenFramesCostsOnlyItself) {
  Link link(LinkOptions{.manualClock = true, .timeIndex = kTenMsPerDivision});
  ASSERT_TRUE(link.Start());
  link.Advance(milliseconds(250));
  ASSERT_GE(link.decoded.size(), 1U);

  ASSERT_TRUE(link.bench->InjectNoise(kSerial, 600));
  const std::vector<std::uint8_t> cutShort = {0x02, 'M', '0', '0', '1', '2'};
  ASSERT_TRUE(link.bench->InjectBytes(kSerial, cutShort));
  ASSERT_TRUE(link.bench->CorruptNextChecksum(kSerial));
  ASSERT_TRUE(link.bench->InjectOverlongFrame(kSerial, 8100));
  const std::vector<std::uint8_t> strayEtx = {0x03, 0x78, 0x03};
  ASSERT_TRUE(link.bench->InjectBytes(kSerial, strayEtx));
  link.Advance(milliseconds(1500));
  link.Stop();
  link.DecodeWaiting();

  const auto device = link.Device();
  EXPECT_EQ(device.link.receivePurges, 1);
  EXPECT_EQ(device.bytesLost, 0U);
  EXPECT_EQ(link.events.LinkLostCount(), 0);
  const UnitStatus unit = link.Unit();
  // All data frames the unit sent arrived, the corrupted one included (the
  // decoder, not the link, rejects it); nothing else did.
  const auto matches = MatchSent(link.decoded, unit);
  ASSERT_TRUE(matches.has_value());
  EXPECT_LE(unit.dataFramesSent - static_cast<std::int64_t>(link.decoded.size()), 1);
  for (std::size_t k = 0; k < matches->size(); ++k) EXPECT_EQ((*matches)[k], k);
  int rejected = 0;
  for (const auto& frame : link.decoded) {
    EXPECT_EQ(frame.payload.size(), kMaxPayloadLength);
    rejected += frame.outcome == FrameOutcome::Rejected ? 1 : 0;
  }
  EXPECT_EQ(rejected, 1);
  EXPECT_EQ(link.events.FrameReadyCount(), static_cast<int>(link.decoded.size()));
  ExpectDecodedFramesAreSentFrames(link);
  EXPECT_GE(link.decoded.size(), 12U);
}

// Bursts of frames arriving at once: two frames (16 kB) are read whole,
// every frame decoded, nothing purged; twelve (96 kB, more than a second of
// the stream) lose only their oldest bytes beyond the limit, counted. The
// stream goes on after either.
TEST(LinkFaultTest, BurstsAreReadAndOnlyARunawayBacklogLosesItsOldestBytes) {
  for (const int burstFrames : {2, 12}) {
    SCOPED_TRACE(burstFrames);
    Link link(LinkOptions{.manualClock = true, .timeIndex = kTenMsPerDivision});
    ASSERT_TRUE(link.Start());
    link.Advance(milliseconds(250));
    const std::size_t beforeBurst = link.decoded.size();
    ASSERT_GE(beforeBurst, 1U);
    const int purgesBefore = link.Device().link.receivePurges;

    ASSERT_TRUE(link.bench->InjectBurst(kSerial, burstFrames));
    link.Advance(milliseconds(1000));
    link.Stop();
    link.DecodeWaiting();

    EXPECT_EQ(link.Device().link.receivePurges, purgesBefore);
    EXPECT_EQ(link.events.LinkLostCount(), 0);
    const UnitStatus unit = link.Unit();
    const auto missing = unit.dataFramesSent - static_cast<std::int64_t>(link.decoded.size());
    const LossCounts losses = link.frames.Losses().Counts();
    if (burstFrames == 2) {
      EXPECT_LE(missing, 1) << "a frame of the burst was lost";
      EXPECT_FALSE(losses.Any());
    } else {
      // 12 x 8005 bytes (and the stream's bytes queued with them) against
      // 90909: the first frame and the start of the second go.
      const std::uint64_t excess = 12U * 8005U - DeviceSession::kReceiveQueueLimit;
      EXPECT_GE(losses.discardedBytes, excess);
      EXPECT_LT(losses.discardedBytes, excess + 8005U);
      EXPECT_GE(missing, 2);
      EXPECT_LE(missing, 3);
    }
    EXPECT_GE(link.decoded.size() - beforeBurst, 5U);
    for (const auto& frame : link.decoded) EXPECT_EQ(frame.outcome, FrameOutcome::Stored);
    ExpectDecodedFramesAreSentFrames(link);
  }
}

}  // namespace
}  // namespace kestrova
