#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "SimTestSupport.h"
#include "acquisition/FrameDecoder.h"
#include "simulator/BridgeReceivePath.h"

namespace kestrova {
namespace {

using simtest::Control;
using simtest::Rig;
using std::chrono::microseconds;
using std::chrono::milliseconds;

constexpr SimTime kStep = microseconds(100);
// Data bytes of the vendor driver's default 4 KiB IN transfer.
constexpr std::size_t kTransferData = 3968;

// Drives the manual clock in small steps and reads after every step, as the
// receive thread does on each event, noting when each byte left the wire
// and when the event announced it.
struct EventWatch {
  explicit EventWatch(Rig& rig) : rig(rig) {}

  void Run(SimTime duration) {
    for (SimTime left = duration; left > SimTime::zero(); left -= kStep) {
      rig.clock->Advance(kStep);
      const SimTime now = rig.clock->Now();
      const auto status = *rig.bench->StatusOf("SIM00001");
      offWire.push_back({now, status.bytesDelivered + status.bytesLost + status.heldInBridge});
      if (!rig.rxEvent.IsSet()) {
        EXPECT_EQ(status.receiveQueued, 0U) << "bytes arrived without the event";
        continue;
      }
      rig.rxEvent.Reset();
      const auto bytes = rig.ReadAll();
      ASSERT_FALSE(bytes.empty()) << "the event came without bytes";
      events.push_back({now, bytes.size()});
      // The oldest byte of this read left the wire in the first step whose
      // count reached it: it waited at most from that step's start.
      const std::uint64_t oldest = received + 1;
      const auto leftWire = std::ranges::find_if(offWire, [&](const Sample& s) { return s.bytes >= oldest; });
      longestWait = std::max(longestWait, now - (leftWire->time - kStep));
      received += bytes.size();
      stream.insert(stream.end(), bytes.begin(), bytes.end());
    }
  }

  struct Sample {
    SimTime time;
    std::uint64_t bytes;
  };
  struct Arrival {
    SimTime time;
    std::size_t bytes;
  };
  Rig& rig;
  std::vector<Sample> offWire;
  std::vector<Arrival> events;
  std::vector<std::uint8_t> stream;
  std::uint64_t received = 0;
  SimTime longestWait{};
};

TEST(SimulatedBridgeTimingTest, StreamArrivesInWholeTransfersAboutTwentyThreeTimesASecond) {
  Rig rig;
  rig.Open();
  rig.Configure(Control{}, 0x0FFF);  // never triggers: frames back to back
  EventWatch watch(rig);
  watch.Run(std::chrono::seconds(2));

  // Every event but a transfer ended by a pause carries one full transfer;
  // the stream never pauses long enough for the latency timer.
  ASSERT_FALSE(watch.events.empty());
  for (const auto& event : watch.events) EXPECT_EQ(event.bytes, kTransferData);
  const auto status = *rig.bench->StatusOf("SIM00001");
  EXPECT_EQ(status.inTransfers, watch.events.size());
  EXPECT_LT(status.heldInBridge, kTransferData);
  EXPECT_EQ(status.bytesLost, 0U);
  // At 90 909 bytes a second: 22.9 transfers a second, after the first
  // frame's samples were taken.
  const double streamSeconds =
      std::chrono::duration<double>(watch.events.back().time - watch.events.front().time).count();
  const double perSecond = static_cast<double>(watch.events.size() - 1) / streamSeconds;
  EXPECT_NEAR(perSecond, 90909.0 / kTransferData, 0.5);
  // No byte waits longer than it takes to fill a transfer (43.6 ms), plus
  // the step of this test.
  EXPECT_LE(watch.longestWait, kWireByteTime * kTransferData + 2 * kStep);

  simtest::Splitter splitter;
  splitter.Feed(watch.stream);
  ASSERT_GE(splitter.payloads.size(), 19U);
  for (const auto& frame : splitter.payloads) EXPECT_TRUE(ChecksumMatches(frame));
}

TEST(SimulatedBridgeTimingTest, TransfersChangeTheTimingButNeverTheBytes) {
  // The same stream (10 ms/div: 12 ms pauses between frames, noise and a
  // reply in between) through the default bridge and through one that hands
  // on every packet at once: the same bytes in the same order.
  const auto receive = [](BridgeTiming timing) {
    SimulatedBenchOptions options;
    options.bridge = timing;
    Rig rig(options);
    rig.Open();
    rig.Configure(Control{.timeIndex = 6});
    std::vector<std::uint8_t> bytes;
    const auto run = [&](int steps) {
      for (int k = 0; k < steps; ++k) {
        rig.clock->Advance(milliseconds(10));
        const auto read = rig.ReadAll();
        bytes.insert(bytes.end(), read.begin(), read.end());
      }
    };
    run(20);
    rig.bench->InjectNoise("SIM00001", 300);
    rig.Write({0x02, '?', 0x03});
    run(50);
    rig.Configure(Control{.run = false});
    run(20);  // the frame on the wire, and what the bridge still holds
    const auto status = *rig.bench->StatusOf("SIM00001");
    EXPECT_EQ(status.heldInBridge, 0U);
    EXPECT_EQ(status.bytesDelivered, bytes.size());
    return bytes;
  };
  const auto viaTransfers = receive(BridgeTiming{});
  const auto perPacket =
      receive(BridgeTiming{.packetSize = 64, .inTransferSize = 64, .defaultLatency = milliseconds(1)});
  EXPECT_GT(viaTransfers.size(), 6U * 8005U);
  EXPECT_TRUE(viaTransfers == perPacket);
}

TEST(SimulatedBridgeTimingTest, ReplyArrivesOnceWithinTheLatencyTimer) {
  struct Case {
    std::optional<unsigned char> latencyTimer;  // none: the driver's default
    SimTime limit;
  };
  for (const Case& c : {Case{std::nullopt, milliseconds(16)}, Case{1, milliseconds(1)},
                        Case{4, milliseconds(4)}, Case{0, milliseconds(1)}}) {
    SCOPED_TRACE(c.latencyTimer.value_or(16));
    Rig rig;
    rig.Open();
    if (c.latencyTimer) {
      ASSERT_EQ(rig.driver->SetLatencyTimer(rig.handle, *c.latencyTimer), d2xx::FT_OK);
    }
    EventWatch watch(rig);
    watch.Run(milliseconds(100));  // a parked unit: the chip's status packets bring no event
    EXPECT_TRUE(watch.events.empty());

    rig.Write({0x02, '?', 0x03});
    const SimTime sent = rig.clock->Now();
    watch.Run(milliseconds(100));
    const std::string reply = "\x02" + rig.Unit().identification + "\x03";
    ASSERT_EQ(watch.events.size(), 1U);
    EXPECT_EQ(simtest::Text(watch.stream), reply);
    const SimTime lastByte = sent + kWireByteTime * static_cast<std::int64_t>(reply.size());
    EXPECT_GT(watch.events[0].time, lastByte);
    EXPECT_LE(watch.events[0].time, lastByte + c.limit + kStep);
  }
}

TEST(BridgeReceivePathTest, NoTransferCompletesBeforeItsEarliestTime) {
  // Runs of bytes at the wire rate with pauses around the latency timer;
  // the wire thread sleeps until EarliestCompletion, so no transfer may
  // complete before it.
  BridgeReceivePath path;
  path.Reset(SimTime::zero());
  const std::vector<std::pair<std::size_t, SimTime>> runs = {
      {500, milliseconds(5)}, {30, milliseconds(40)},   {9000, microseconds(300)},
      {62, milliseconds(16)}, {3968, milliseconds(15)}, {100, milliseconds(100)}};
  std::vector<std::uint8_t> completed;
  std::vector<std::uint8_t> sent;
  SimTime now{};
  int transfers = 0;
  const auto step = [&](std::size_t bytes) {
    const SimTime earliest = path.EarliestCompletion(now, kWireByteTime);
    const std::vector<std::uint8_t> run(bytes, static_cast<std::uint8_t>(sent.size()));
    int done = path.Accept(run, now + kWireByteTime, kWireByteTime, completed);
    now += kWireByteTime;
    done += path.AdvanceTo(now, completed);
    sent.insert(sent.end(), run.begin(), run.end());
    if (done > 0) {
      EXPECT_GE(now, earliest) << "completed before " << earliest.count() << " ns";
    }
    transfers += done;
  };
  for (const auto& [bytes, pause] : runs) {
    for (std::size_t k = 0; k < bytes; ++k) step(1);
    for (SimTime quiet{}; quiet < pause; quiet += kWireByteTime) step(0);
  }
  EXPECT_EQ(path.Held(), 0U);
  EXPECT_EQ(completed, sent);
  EXPECT_GT(transfers, 5);
}

}  // namespace
}  // namespace kestrova
