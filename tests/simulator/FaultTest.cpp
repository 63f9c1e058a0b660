#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "SimTestSupport.h"
#include "acquisition/FrameDecoder.h"
#include "simulator/DriverCall.h"

namespace kestrova {
namespace {

using d2xx::DWORD;
using d2xx::FT_OK;
using simtest::Control;
using simtest::Rig;
using std::chrono::milliseconds;

TEST(DriverCallTest, NamesEveryCallAfterTheVendorFunction) {
  for (std::size_t i = 0; i < kDriverCallCount; ++i) {
    const auto call = static_cast<DriverCall>(i);
    const auto name = DriverCallName(call);
    EXPECT_EQ(name.rfind("FT_", 0), 0U);
    EXPECT_EQ(DriverCallByName(name), call);
  }
  EXPECT_EQ(DriverCallByName("FT_Read"), DriverCall::Read);
  EXPECT_FALSE(DriverCallByName("FT_Nothing").has_value());
}

TEST(SimulatedFaultTest, FailsANamedCallOnceOrUntilCleared) {
  Rig rig;
  EXPECT_FALSE(rig.bench->FailCall("FT_Nothing", FaultRepeat::Once));
  ASSERT_TRUE(rig.bench->FailCall("FT_OpenEx", FaultRepeat::Once, kFtDeviceNotFound));
  d2xx::FT_HANDLE handle = nullptr;
  EXPECT_EQ(rig.driver->OpenEx("SIM00001", d2xx::FT_OPEN_BY_SERIAL_NUMBER, handle), kFtDeviceNotFound);
  EXPECT_FALSE(rig.bench->StatusOf("SIM00001")->open);  // a failed call does nothing
  rig.Open();

  rig.bench->FailCall(DriverCall::GetStatus, FaultRepeat::UntilCleared);
  DWORD rx = 0;
  DWORD tx = 0;
  DWORD events = 0;
  for (int k = 0; k < 3; ++k) EXPECT_EQ(rig.driver->GetStatus(rig.handle, rx, tx, events), kFtIoError);
  // Other calls are untouched.
  EXPECT_EQ(rig.driver->ResetDevice(rig.handle), FT_OK);
  rig.bench->ClearCallFaults();
  EXPECT_EQ(rig.driver->GetStatus(rig.handle, rx, tx, events), FT_OK);
  EXPECT_EQ(rig.bench->CallCount(DriverCall::GetStatus), 4);
  EXPECT_EQ(rig.bench->CallCount(DriverCall::OpenEx), 2);

  // A failing write does not reach the unit.
  rig.bench->FailCall(DriverCall::Write, FaultRepeat::Once);
  DWORD written = 7;
  const auto command = simtest::ConfigurationCommand(Control{}.Word(), 10);
  EXPECT_EQ(rig.driver->Write(rig.handle, command, written), kFtIoError);
  EXPECT_EQ(written, 0U);
  EXPECT_FALSE(rig.Unit().streaming);
  rig.Write(command);
  EXPECT_TRUE(rig.Unit().streaming);

  // Listing fails as a whole.
  rig.bench->FailCall(DriverCall::CreateDeviceInfoList, FaultRepeat::Once);
  DWORD count = 0;
  EXPECT_EQ(rig.driver->CreateDeviceInfoList(count), kFtIoError);
  EXPECT_EQ(rig.driver->CreateDeviceInfoList(count), FT_OK);
}

TEST(SimulatedFaultTest, UnitVanishesInTheMiddleOfAFrameAndComesBack) {
  Rig rig;
  rig.Open();
  rig.Configure(Control{});
  ASSERT_TRUE(rig.bench->VanishAfterBytes("SIM00001", 4000));
  rig.clock->Advance(milliseconds(300));

  // What arrived before it went was read by nobody, and is gone with it.
  DWORD rx = 0;
  DWORD tx = 0;
  DWORD events = 0;
  EXPECT_EQ(rig.driver->GetStatus(rig.handle, rx, tx, events), kFtIoError);
  std::vector<std::uint8_t> buffer(100);
  DWORD read = 0;
  EXPECT_EQ(rig.driver->Read(rig.handle, buffer, read), kFtIoError);
  DWORD written = 0;
  EXPECT_EQ(rig.driver->Write(rig.handle, std::vector<std::uint8_t>{0x02, '?', 0x03}, written), kFtIoError);
  EXPECT_EQ(rig.driver->Purge(rig.handle, d2xx::FT_PURGE_RX), kFtIoError);
  auto status = rig.bench->StatusOf("SIM00001");
  EXPECT_FALSE(status->attached);
  EXPECT_EQ(status->bytesDelivered, 4000U);
  DWORD count = 0;
  ASSERT_EQ(rig.driver->ListDeviceCount(count), FT_OK);
  EXPECT_EQ(count, 1U);
  d2xx::FT_HANDLE other = nullptr;
  EXPECT_EQ(rig.driver->OpenEx("SIM00001", d2xx::FT_OPEN_BY_SERIAL_NUMBER, other), kFtDeviceNotFound);

  // Close still releases the dead handle.
  EXPECT_EQ(rig.driver->Close(rig.handle), FT_OK);
  EXPECT_EQ(rig.driver->Close(rig.handle), kFtInvalidHandle);

  // Plugged in again it is a fresh unit: listed, openable, parked.
  ASSERT_TRUE(rig.bench->AttachUnit("SIM00001"));
  rig.Open();
  EXPECT_FALSE(rig.Unit().streaming);
  EXPECT_TRUE(rig.Run(milliseconds(300)).empty());
  rig.Configure(Control{});
  EXPECT_FALSE(rig.Run(milliseconds(300)).empty());
}

TEST(SimulatedFaultTest, VanishesRightAwayWhileOpen) {
  Rig rig;
  rig.Open();
  rig.Configure(Control{});
  rig.clock->Advance(milliseconds(50));
  ASSERT_TRUE(rig.bench->Vanish("SIM00001"));
  EXPECT_EQ(rig.driver->ResetDevice(rig.handle), kFtIoError);
  EXPECT_EQ(rig.driver->SetDivisor(rig.handle, 3), kFtIoError);
  // The registered event is forgotten: time passing sets nothing.
  rig.rxEvent.Reset();
  rig.clock->Advance(milliseconds(300));
  EXPECT_FALSE(rig.rxEvent.IsSet());
  EXPECT_FALSE(rig.bench->Vanish("SIM00009"));
}

TEST(SimulatedFaultTest, CorruptsTheChecksumOfTheNextFrameOnly) {
  Rig rig;
  rig.Open();
  rig.Configure(Control{});
  ASSERT_TRUE(rig.bench->CorruptNextChecksum("SIM00001"));
  const auto frames = rig.Run(milliseconds(300));
  ASSERT_GE(frames.size(), 2U);
  EXPECT_EQ(frames[0].size(), 8003U);
  EXPECT_FALSE(ChecksumMatches(frames[0]));
  for (std::size_t k = 1; k < frames.size(); ++k) EXPECT_TRUE(ChecksumMatches(frames[k]));
  EXPECT_TRUE(rig.Unit().recentFrames[0].checksumCorrupted);
}

TEST(SimulatedFaultTest, PutsNoiseAndRawBytesBetweenFrames) {
  Rig rig;
  rig.Open();
  rig.Configure(Control{});
  rig.clock->Advance(milliseconds(30));  // the first frame is under way
  ASSERT_TRUE(rig.bench->InjectNoise("SIM00001", 500));
  ASSERT_TRUE(rig.bench->InjectBytes("SIM00001", std::vector<std::uint8_t>{'x', 0x03, 'y'}));
  const auto frames = rig.Run(milliseconds(400));
  ASSERT_GE(frames.size(), 3U);
  for (const auto& frame : frames) {
    EXPECT_EQ(frame.size(), 8003U);
    EXPECT_TRUE(ChecksumMatches(frame));
  }
  // Everything outside the frames is the injected bytes, noise first.
  const auto& outside = rig.splitter.outside;
  ASSERT_GE(outside.size(), 502U);
  EXPECT_LE(outside.size(), 503U);  // an ETX in the noise is swallowed by a splitter outside a frame
  EXPECT_EQ(std::count(outside.begin(), outside.end(), 0x02), 0);
  EXPECT_EQ(outside.back(), 'y');
  EXPECT_FALSE(rig.bench->InjectNoise("FT3QX7KD", 5));  // not a unit
}

TEST(SimulatedFaultTest, SendsAnOverlongFrameWithAMatchingChecksum) {
  Rig rig;
  rig.Open();
  ASSERT_TRUE(rig.bench->InjectOverlongFrame("SIM00001", 8100));
  ASSERT_TRUE(rig.bench->InjectOverlongFrame("SIM00001", 10));  // never shorter than 8004
  const auto frames = rig.Run(milliseconds(300));
  ASSERT_EQ(frames.size(), 2U);
  EXPECT_EQ(frames[0].size(), 8100U);
  EXPECT_TRUE(ChecksumMatches(frames[0]));
  EXPECT_EQ(frames[1].size(), 8004U);
  EXPECT_TRUE(ChecksumMatches(frames[1]));
}

TEST(SimulatedFaultTest, BurstQueuesMoreThanTheReceiveLimitAtOnce) {
  Rig rig;
  rig.Open();
  ASSERT_TRUE(rig.bench->InjectBurst("SIM00001"));
  // Nothing else is on the wire, so the burst is there at once.
  EXPECT_EQ(rig.Queued(), 2U * 8005U);
  std::array<Event*, 1> events{&rig.rxEvent};
  EXPECT_EQ(WaitAny(events, milliseconds(0)), 0);
  ASSERT_EQ(rig.driver->Purge(rig.handle, d2xx::FT_PURGE_RX), FT_OK);
  EXPECT_EQ(rig.Queued(), 0U);

  // While streaming it comes at the next frame boundary, with the data of
  // the stream.
  rig.Configure(Control{});
  rig.clock->Advance(milliseconds(40));
  const std::size_t before = rig.Queued();
  ASSERT_TRUE(rig.bench->InjectBurst("SIM00001", 3));
  EXPECT_EQ(rig.Queued(), before);
  rig.clock->Advance(milliseconds(100));
  EXPECT_GT(rig.Queued(), 3U * 8005U);
  rig.splitter.Feed(rig.ReadAll());
  ASSERT_GE(rig.splitter.payloads.size(), 4U);
  for (const auto& frame : rig.splitter.payloads) EXPECT_TRUE(ChecksumMatches(frame));
}

TEST(SimulatedFaultTest, ReceiveQueueLosesBytesBeyondItsCapacity) {
  Rig rig;
  rig.Open();
  rig.Configure(Control{}, 0x0FFF);
  rig.clock->Advance(std::chrono::seconds(2));
  const auto status = rig.bench->StatusOf("SIM00001");
  EXPECT_EQ(status->receiveQueued, kReceiveQueueCapacity);
  EXPECT_GT(status->bytesLost, 0U);
  EXPECT_EQ(status->bytesDelivered + status->bytesLost + status->heldInBridge,
            (std::chrono::seconds(2) - milliseconds(20)) / kWireByteTime);
}

}  // namespace
}  // namespace kestrova
