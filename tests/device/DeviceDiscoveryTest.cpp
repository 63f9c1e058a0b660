#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "SessionTestSupport.h"
#include "device/DeviceDiscovery.h"

namespace kestrova {
namespace {

using fakes::Bytes;
using fakes::FakeDeviceListView;
using fakes::SessionRig;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kUnit = "Orvanta USBCOM";

struct DiscoveryRig : SessionRig {
  explicit DiscoveryRig(const std::string& stored = "") : SessionRig(stored) {}
  FakeDeviceListView view;
  DeviceDiscovery discovery{session, view};
};

TEST(DeviceDiscoveryTest, ListsUnitsInLibraryOrderAndKeepsTheStoredOne) {
  DiscoveryRig rig("KV0002");
  rig.driver.AddDevice("FT0001", "USB Serial Converter");
  rig.driver.AddDevice("KV0001", kUnit);
  rig.driver.AddDevice("KV0002", kUnit);
  rig.discovery.SearchDevices();
  EXPECT_THAT(rig.view.entries, ElementsAre("KV0001", "KV0002"));
  EXPECT_EQ(rig.view.selected, 1);
  EXPECT_EQ(rig.session.SerialNumber(), "KV0002");
  EXPECT_THAT(rig.view.replyWrites, IsEmpty());
}

TEST(DeviceDiscoveryTest, WithoutTheStoredUnitTheFirstIsChosen) {
  DiscoveryRig rig("GONE");
  rig.driver.AddDevice("KV0001", kUnit);
  rig.driver.AddDevice("KV0002", kUnit);
  rig.discovery.SearchDevices();
  EXPECT_EQ(rig.view.selected, 0);
  EXPECT_EQ(rig.session.SerialNumber(), "KV0001");
}

TEST(DeviceDiscoveryTest, NoUnitKeepsTheStoredSerialSilently) {
  DiscoveryRig rig("KV0009");
  rig.view.entries = {"stale"};
  rig.discovery.SearchDevices();  // nothing attached at all
  EXPECT_THAT(rig.view.entries, IsEmpty());
  EXPECT_EQ(rig.session.SerialNumber(), "KV0009");

  rig.driver.AddDevice("FT0001", "USB Serial Converter");
  rig.discovery.SearchDevices();  // only a device of another kind
  EXPECT_THAT(rig.view.entries, IsEmpty());
  EXPECT_EQ(rig.session.SerialNumber(), "KV0009");
  EXPECT_THAT(rig.view.replyWrites, IsEmpty());
}

TEST(DeviceDiscoveryTest, ListingFailuresAreReported) {
  for (const char* failing : {"CreateDeviceInfoList", "GetDeviceInfoList"}) {
    SCOPED_TRACE(failing);
    DiscoveryRig rig("KV0001");
    rig.driver.AddDevice("KV0001", kUnit);
    rig.driver.FailCall(failing);
    rig.discovery.SearchDevices();
    EXPECT_THAT(rig.view.entries, IsEmpty());
    EXPECT_EQ(rig.view.reply, "장치를 검색할 수 없습니다.");
  }
  DiscoveryRig rig;
  rig.loader.SetLoadable(false);
  rig.discovery.SearchDevices();
  EXPECT_EQ(rig.view.reply, "장치를 검색할 수 없습니다.");
}

TEST(DeviceDiscoveryTest, AFullLengthSerialFieldIsReadSafely) {
  DiscoveryRig rig;
  rig.driver.AddDevice("0123456789ABCDEF", kUnit);  // 16 bytes, no room for a NUL
  rig.discovery.SearchDevices();
  EXPECT_THAT(rig.view.entries, ElementsAre("0123456789ABCDEF"));
  EXPECT_EQ(rig.session.SerialNumber(), "0123456789ABCDE");
}

TEST(DeviceDiscoveryTest, SelectionBecomesTheSerialNumber) {
  DiscoveryRig rig;
  rig.view.entries = {"KV0001", "KV0002"};
  rig.view.selected = 1;
  rig.discovery.OnDeviceSelected();
  EXPECT_EQ(rig.session.SerialNumber(), "KV0002");
}

TEST(DeviceDiscoveryTest, UnitCheckShowsTheReplyAndClosesTheSession) {
  DiscoveryRig rig("KV0001");
  rig.driver.AddDevice("KV0001", kUnit);
  rig.driver.ReplyTo("\x02?\x03", fakes::Framed("KV-4 scope 1.2"));
  // The window's 100 ms can pass on a busy machine before the receive
  // thread has had a turn; the reply ends the wait as soon as it is there.
  rig.discovery.UnitCheck(20000);
  EXPECT_EQ(rig.view.reply, "KV-4 scope 1.2");
  EXPECT_EQ(rig.view.replyWrites.front(), "");
  EXPECT_THAT(rig.driver.Writes(), ElementsAre(Bytes("\x02?\x03")));
  EXPECT_FALSE(rig.session.IsOpen());
  EXPECT_TRUE(rig.session.DriverReady());  // the library stays bound
  EXPECT_EQ(rig.driver.CallsWithout({"GetStatus", "Read"}).back(), "Close #1");
}

TEST(DeviceDiscoveryTest, UnitCheckWithoutAReply) {
  const char* kEmptyFrame = "\x02\x03";
  for (const char* reply : {kEmptyFrame, static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(reply == nullptr ? "silence" : "empty frame");
    DiscoveryRig rig("KV0001");
    rig.driver.AddDevice("KV0001", kUnit);
    if (reply != nullptr) rig.driver.ReplyTo("\x02?\x03", reply);
    // An older frame must not pass for the reply.
    const auto old = Bytes("OLD");
    rig.frames.StoreLatest(old);
    rig.view.reply = "previous";

    rig.discovery.UnitCheck();
    EXPECT_EQ(rig.view.reply, "");
    EXPECT_FALSE(rig.session.IsOpen());
    EXPECT_THAT(rig.driver.Calls(), Contains("Close #1"));
  }
}

TEST(DeviceDiscoveryTest, UnitCheckThatCannotOpen) {
  DiscoveryRig rig("KV0001");  // bound by reload, but the unit is absent
  rig.discovery.UnitCheck();
  EXPECT_EQ(rig.status.text, "USB 포트를 여는데 실패하였습니다");
  EXPECT_THAT(rig.driver.Writes(), IsEmpty());
  EXPECT_EQ(rig.driver.CountCalls("Close"), 0);
  EXPECT_THAT(rig.view.replyWrites, ElementsAre(""));
}

}  // namespace
}  // namespace kestrova
