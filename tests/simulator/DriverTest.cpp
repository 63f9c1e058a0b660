#include <array>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SimTestSupport.h"
#include "simulator/DriverCall.h"

namespace kestrova {
namespace {

using d2xx::DWORD;
using d2xx::FT_HANDLE;
using d2xx::FT_OK;
using simtest::Rig;

std::vector<std::string> Descriptions(DriverApi& driver) {
  DWORD count = 0;
  EXPECT_EQ(driver.ListDeviceCount(count), FT_OK);
  std::vector<std::string> texts;
  for (DWORD i = 0; i < count; ++i) {
    std::array<char, 64> text{};
    EXPECT_EQ(driver.ListDescriptionByIndex(i, text), FT_OK);
    texts.emplace_back(text.data());
  }
  return texts;
}

std::vector<d2xx::FT_DEVICE_LIST_INFO_NODE> InfoList(DriverApi& driver) {
  DWORD count = 0;
  EXPECT_EQ(driver.CreateDeviceInfoList(count), FT_OK);
  std::vector<d2xx::FT_DEVICE_LIST_INFO_NODE> nodes(count);
  EXPECT_EQ(driver.GetDeviceInfoList(nodes, count), FT_OK);
  nodes.resize(count);
  return nodes;
}

SimulatedBenchOptions TwoUnits() {
  SimulatedBenchOptions options;
  options.unitSerialNumbers = {"SIM00001", "SIM00002"};
  return options;
}

TEST(SimulatedDriverListingTest, ListsTheUnitsBesideAnotherBridgeDevice) {
  Rig rig(TwoUnits());
  EXPECT_EQ(Descriptions(*rig.driver),
            (std::vector<std::string>{"USB Serial Converter", "Orvanta USBCOM", "Orvanta USBCOM"}));

  std::array<char, 64> text{};
  EXPECT_EQ(rig.driver->ListDescriptionByIndex(3, text), kFtDeviceNotFound);

  const auto nodes = InfoList(*rig.driver);
  ASSERT_EQ(nodes.size(), 3U);
  EXPECT_STREQ(nodes[0].SerialNumber, "FT3QX7KD");
  EXPECT_STREQ(nodes[1].SerialNumber, "SIM00001");
  EXPECT_STREQ(nodes[2].SerialNumber, "SIM00002");
  EXPECT_STREQ(nodes[2].Description, "Orvanta USBCOM");
  EXPECT_EQ(nodes[1].ID, 0x04036120U);
  EXPECT_NE(nodes[0].ID, nodes[1].ID);
  EXPECT_NE(nodes[1].LocId, nodes[2].LocId);
  EXPECT_EQ(nodes[1].Flags, 0U);
  EXPECT_EQ(nodes[1].ftHandle, nullptr);

  // The record area is bounded by the caller's array.
  std::vector<d2xx::FT_DEVICE_LIST_INFO_NODE> two(2);
  DWORD count = 0;
  EXPECT_EQ(rig.driver->GetDeviceInfoList(two, count), FT_OK);
  EXPECT_EQ(count, 2U);
}

TEST(SimulatedDriverListingTest, FollowsUnitsThatVanishReturnOrAreOpen) {
  Rig rig(TwoUnits());
  ASSERT_TRUE(rig.bench->Vanish("SIM00001"));
  EXPECT_FALSE(rig.bench->Vanish("SIM00001"));
  auto nodes = InfoList(*rig.driver);
  ASSERT_EQ(nodes.size(), 2U);
  EXPECT_STREQ(nodes[1].SerialNumber, "SIM00002");

  ASSERT_TRUE(rig.bench->AttachUnit("SIM00001"));
  EXPECT_FALSE(rig.bench->AttachUnit("SIM00001"));
  EXPECT_FALSE(rig.bench->AttachUnit("0123456789ABCDEF"));  // 16 characters
  ASSERT_TRUE(rig.bench->AttachUnit("SIM00003"));
  nodes = InfoList(*rig.driver);
  ASSERT_EQ(nodes.size(), 4U);
  EXPECT_STREQ(nodes[1].SerialNumber, "SIM00001");
  EXPECT_STREQ(nodes[3].SerialNumber, "SIM00003");

  // An open device keeps its place but shows only its Opened flag.
  rig.Open("SIM00002");
  nodes = InfoList(*rig.driver);
  EXPECT_EQ(nodes[2].Flags & kFtFlagsOpened, kFtFlagsOpened);
  EXPECT_STREQ(nodes[2].SerialNumber, "");
  EXPECT_STREQ(nodes[2].Description, "");
  EXPECT_EQ(nodes[2].ftHandle, rig.handle);
  EXPECT_EQ(Descriptions(*rig.driver)[2], "");
}

TEST(SimulatedDriverOpenTest, OpensAttachedDevicesOnceBySerialNumber) {
  Rig rig;
  FT_HANDLE handle = nullptr;
  EXPECT_EQ(rig.driver->OpenEx("SIM00009", d2xx::FT_OPEN_BY_SERIAL_NUMBER, handle), kFtDeviceNotFound);
  EXPECT_EQ(rig.driver->OpenEx("SIM0000", d2xx::FT_OPEN_BY_SERIAL_NUMBER, handle), kFtDeviceNotFound);
  EXPECT_EQ(rig.driver->OpenEx(nullptr, d2xx::FT_OPEN_BY_SERIAL_NUMBER, handle), kFtInvalidParameter);
  // Sixteen characters without a NUL can never name a device.
  const std::array<char, 17> unterminated{"SIM00001SIM00001"};
  EXPECT_EQ(rig.driver->OpenEx(unterminated.data(), d2xx::FT_OPEN_BY_SERIAL_NUMBER, handle),
            kFtDeviceNotFound);

  ASSERT_EQ(rig.driver->OpenEx("SIM00001", d2xx::FT_OPEN_BY_SERIAL_NUMBER, handle), FT_OK);
  ASSERT_NE(handle, nullptr);
  FT_HANDLE second = nullptr;
  EXPECT_EQ(rig.driver->OpenEx("SIM00001", d2xx::FT_OPEN_BY_SERIAL_NUMBER, second), kFtDeviceNotOpened);
  // Another driver loaded on the same bench sees the unit taken as well.
  auto other = rig.loader->Load();
  EXPECT_EQ(other->OpenEx("SIM00001", d2xx::FT_OPEN_BY_SERIAL_NUMBER, second), kFtDeviceNotOpened);
  EXPECT_EQ(other->ResetDevice(handle), kFtInvalidHandle);

  EXPECT_EQ(rig.driver->Close(handle), FT_OK);
  EXPECT_EQ(rig.driver->Close(handle), kFtInvalidHandle);
  EXPECT_EQ(rig.driver->ResetDevice(handle), kFtInvalidHandle);
  ASSERT_EQ(rig.driver->OpenEx("SIM00001", d2xx::FT_OPEN_BY_SERIAL_NUMBER, second), FT_OK);
  EXPECT_NE(second, handle);  // handles are never reused

  // The other bridge device opens too, and swallows what it is sent.
  FT_HANDLE bridge = nullptr;
  ASSERT_EQ(rig.driver->OpenEx("FT3QX7KD", d2xx::FT_OPEN_BY_SERIAL_NUMBER, bridge), FT_OK);
  DWORD written = 0;
  const std::vector<std::uint8_t> query{0x02, '?', 0x03};
  EXPECT_EQ(rig.driver->Write(bridge, query, written), FT_OK);
  EXPECT_EQ(written, 3U);
  rig.clock->Advance(std::chrono::seconds(1));
  DWORD rx = 1;
  DWORD tx = 1;
  DWORD events = 1;
  EXPECT_EQ(rig.driver->GetStatus(bridge, rx, tx, events), FT_OK);
  EXPECT_EQ(rx, 0U);
}

TEST(SimulatedDriverOpenTest, UnloadingTheDriverReleasesItsHandlesAndKeepsTheUnits) {
  Rig rig;
  rig.Open();
  rig.Configure(simtest::Control{});
  rig.driver.reset();  // unload with the handle still open
  rig.clock->Advance(std::chrono::seconds(1));

  rig.driver = rig.loader->Load();
  rig.Open();
  // The unit kept its configuration across the reload and still streams.
  EXPECT_TRUE(rig.Unit().streaming);
  EXPECT_FALSE(rig.Run(std::chrono::milliseconds(300)).empty());
}

TEST(SimulatedDriverOpenTest, RecordsTheLinkSettingsOfTheOpenHandle) {
  Rig rig;
  rig.Open();
  EXPECT_EQ(rig.driver->ResetDevice(rig.handle), FT_OK);
  EXPECT_EQ(rig.driver->SetLatencyTimer(rig.handle, 1), FT_OK);
  EXPECT_EQ(rig.driver->SetDivisor(rig.handle, 3), FT_OK);
  EXPECT_EQ(rig.driver->SetDataCharacteristics(rig.handle, d2xx::FT_BITS_8, d2xx::FT_STOP_BITS_2,
                                               d2xx::FT_PARITY_NONE),
            FT_OK);
  EXPECT_EQ(rig.driver->SetFlowControl(rig.handle, d2xx::FT_FLOW_NONE, 0, 0), FT_OK);
  EXPECT_EQ(rig.driver->Purge(rig.handle, d2xx::FT_PURGE_RX | d2xx::FT_PURGE_TX), FT_OK);
  EXPECT_EQ(rig.driver->Reload(d2xx::kUnitVendorId, d2xx::kUnitProductId), FT_OK);

  const auto status = rig.bench->StatusOf("SIM00001");
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(status->open);
  EXPECT_EQ(status->link.resets, 1);
  EXPECT_EQ(status->link.latencyTimer, 1);
  EXPECT_EQ(status->link.divisor, 3);
  EXPECT_EQ(status->link.dataCharacteristics, (std::array<d2xx::UCHAR, 3>{8, 2, 0}));
  EXPECT_EQ(status->link.flowControl, 0);
  EXPECT_EQ(status->link.receivePurges, 1);
  EXPECT_EQ(status->link.transmitPurges, 1);
  EXPECT_EQ(status->link.eventMask, d2xx::FT_EVENT_RXCHAR);

  // A fresh opening starts from the bridge's defaults again.
  EXPECT_EQ(rig.driver->Close(rig.handle), FT_OK);
  rig.Open();
  EXPECT_FALSE(rig.bench->StatusOf("SIM00001")->link.divisor.has_value());
}

TEST(SimulatedDriverOpenTest, ReadTakesAtMostWhatIsAskedAndPurgeEmptiesTheQueue) {
  Rig rig;
  rig.Open();
  rig.Write({0x02, '?', 0x03});
  // The reply's short packet: within the default latency timer of 16 ms.
  rig.clock->Advance(std::chrono::milliseconds(20));
  const std::size_t queued = rig.Queued();
  ASSERT_GT(queued, 10U);

  std::array<std::uint8_t, 4> head{};
  DWORD read = 0;
  ASSERT_EQ(rig.driver->Read(rig.handle, head, read), FT_OK);
  EXPECT_EQ(read, 4U);
  EXPECT_EQ(head[0], 0x02);
  EXPECT_EQ(rig.Queued(), queued - 4);

  ASSERT_EQ(rig.driver->Purge(rig.handle, d2xx::FT_PURGE_RX), FT_OK);
  EXPECT_EQ(rig.Queued(), 0U);
  std::vector<std::uint8_t> more(16);
  ASSERT_EQ(rig.driver->Read(rig.handle, more, read), FT_OK);
  EXPECT_EQ(read, 0U);
}

TEST(SimulatedDriverOpenTest, SetsTheRegisteredEventWhenBytesArrive) {
  Rig rig(simtest::WireLevel());
  rig.Open();
  std::array<Event*, 1> events{&rig.rxEvent};
  EXPECT_EQ(WaitAny(events, std::chrono::milliseconds(0)), kWaitTimeout);
  rig.Write({0x02, '?', 0x03});
  rig.clock->Advance(std::chrono::microseconds(10));
  EXPECT_EQ(WaitAny(events, std::chrono::milliseconds(0)), kWaitTimeout);  // not one byte time yet
  rig.clock->Advance(std::chrono::microseconds(1));
  EXPECT_EQ(WaitAny(events, std::chrono::milliseconds(0)), 0);

  DWORD rx = 0;
  DWORD tx = 0;
  DWORD status = 0;
  ASSERT_EQ(rig.driver->GetStatus(rig.handle, rx, tx, status), FT_OK);
  EXPECT_EQ(rx, 1U);
  EXPECT_EQ(tx, 0U);
  EXPECT_EQ(status, d2xx::FT_EVENT_RXCHAR);
  ASSERT_EQ(rig.driver->GetStatus(rig.handle, rx, tx, status), FT_OK);
  EXPECT_EQ(status, 0U);

  // With the notification switched off the event stays clear.
  ASSERT_EQ(rig.driver->SetEventNotification(rig.handle, 0, rig.rxEvent), FT_OK);
  rig.clock->Advance(std::chrono::milliseconds(1));
  EXPECT_GT(rig.Queued(), 1U);
  EXPECT_EQ(WaitAny(events, std::chrono::milliseconds(0)), kWaitTimeout);
}

}  // namespace
}  // namespace kestrova
