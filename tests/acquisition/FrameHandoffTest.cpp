#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Payloads.h"
#include "acquisition/FrameHandoff.h"

namespace kestrova {
namespace {

using testing::Bytes;

std::string AsText(const FramePayload& p) {
  return std::string(p.bytes.begin(), p.bytes.begin() + p.length);
}

TEST(FrameHandoff, BackToBackFramesAreEachTakenOnceInOrder) {
  FrameHandoff handoff;
  ASSERT_TRUE(handoff.Enqueue(Bytes("first")));
  ASSERT_TRUE(handoff.Enqueue(Bytes("second")));
  FramePayload out;
  ASSERT_TRUE(handoff.TakeNext(out));
  EXPECT_EQ(AsText(out), "first");
  ASSERT_TRUE(handoff.TakeNext(out));
  EXPECT_EQ(AsText(out), "second");
  EXPECT_FALSE(handoff.TakeNext(out));
  EXPECT_EQ(handoff.DroppedCount(), 0U);
}

TEST(FrameHandoff, AFullQueueGivesWayToTheNewestAndCountsTheLoss) {
  FrameHandoff handoff(3);
  for (const char* p : {"a", "b", "c", "d", "e"}) handoff.Enqueue(Bytes(p));
  EXPECT_EQ(handoff.QueuedCount(), 3U);
  EXPECT_EQ(handoff.DroppedCount(), 2U);
  EXPECT_EQ(handoff.Losses().Counts().queueFrames, 2U);
  FramePayload out;
  std::string order;
  while (handoff.TakeNext(out)) order += AsText(out);
  EXPECT_EQ(order, "cde");
}

TEST(FrameHandoff, RefusesPayloadsLongerThanAFrame) {
  FrameHandoff handoff;
  const std::vector<std::uint8_t> longest(kMaxPayloadLength, '1');
  const std::vector<std::uint8_t> tooLong(kMaxPayloadLength + 1, '1');
  EXPECT_TRUE(handoff.Enqueue(longest));
  EXPECT_FALSE(handoff.Enqueue(tooLong));
  EXPECT_TRUE(handoff.StoreLatest(longest));
  EXPECT_FALSE(handoff.StoreLatest(tooLong));
  EXPECT_EQ(handoff.LatestLength(), kMaxPayloadLength);
}

TEST(FrameHandoff, LatestFrameIsZeroFilledBehindItsPayload) {
  FrameHandoff handoff;
  handoff.StoreLatest(Bytes("LONGER REPLY"));
  handoff.StoreLatest(Bytes("OK"));
  EXPECT_EQ(handoff.LatestLength(), 2);
  EXPECT_EQ(handoff.LatestText(), "OK");
  handoff.ClearLatestLength();
  EXPECT_EQ(handoff.LatestLength(), 0);
  handoff.StoreLatest({});
  EXPECT_EQ(handoff.LatestLength(), 0);  // an empty frame is no reply
  EXPECT_EQ(handoff.LatestText(), "");
}

TEST(FrameHandoff, DiscardForgetsQueuedFramesOnly) {
  FrameHandoff handoff;
  handoff.Enqueue(Bytes("x"));
  handoff.StoreLatest(Bytes("x"));
  handoff.DiscardQueued();
  FramePayload out;
  EXPECT_FALSE(handoff.TakeNext(out));
  EXPECT_EQ(handoff.LatestText(), "x");
}

// A producer thread and a consumer thread: nothing is lost, duplicated or torn
// while the queue has room.
TEST(FrameHandoff, ConcurrentHandOffDeliversEveryFrameIntact) {
  constexpr int kFrames = 2000;
  FrameHandoff handoff(kFrames);
  std::atomic<bool> done{false};
  std::thread producer([&] {
    for (int k = 0; k < kFrames; ++k) {
      const std::vector<std::uint8_t> payload(static_cast<std::size_t>(1 + k % 500),
                                              static_cast<std::uint8_t>(k % 251));
      handoff.Enqueue(payload);
      handoff.StoreLatest(payload);
    }
    done = true;
  });
  int received = 0;
  FramePayload out;
  while (received < kFrames) {
    if (!handoff.TakeNext(out)) {
      if (done && handoff.QueuedCount() == 0) break;
      std::this_thread::yield();
      continue;
    }
    ASSERT_EQ(out.length, 1 + received % 500);
    for (std::size_t i = 0; i < out.length; ++i) ASSERT_EQ(out.bytes[i], received % 251);
    ++received;
  }
  producer.join();
  EXPECT_EQ(received, kFrames);
  EXPECT_EQ(handoff.DroppedCount(), 0U);
}

}  // namespace
}  // namespace kestrova
