#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeLibFtdi.h"
#include "SessionTestSupport.h"
#include "device/DeviceDiscovery.h"
#include "device/LibFtdiDriver.h"

namespace kestrova {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr int kVendor = 0x0403;
constexpr int kUnitProduct = 0x6120;

// A session on the libftdi backend over the fake, as the window wires it.
struct LibFtdiRig {
  explicit LibFtdiRig(fakes::FakeLibFtdi& fake) : loader(MakeLibFtdiDriverLoader(fake.Calls())) {}
  std::unique_ptr<DriverLoader> loader;
  FrameHandoff frames;
  AcquisitionRunning running;
  fakes::RecordingSessionEvents events;
  fakes::RecordingStatusLine status;
  DeviceSession session{*loader, frames, running, events, status};
};

std::vector<std::string> ConfigureCalls(const std::string& port, bool park) {
  std::vector<std::string> calls = {
      "ftdi_read_data_set_chunksize " + port + " 512",
      "ftdi_usb_reset " + port,
  };
  if (park) calls.push_back("ftdi_set_latency_timer " + port + " 1");
  calls.insert(calls.end(), {
                                "ftdi_set_baudrate " + port + " 1000000",
                                "ftdi_set_line_property " + port + " 8 2 0",
                                "ftdi_setflowctrl " + port + " 0",
                                "ftdi_tcioflush " + port,
                            });
  return calls;
}

TEST(LibFtdiDriverTest, OpensConfiguresClosesAndParksCallByCall) {
  fakes::FakeLibFtdi fake;
  fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0001"});
  {
    LibFtdiRig rig(fake);
    rig.session.SetSerialNumber("KV0001");
    ASSERT_TRUE(rig.session.EnsureOpen());
    rig.session.CloseSession();
    rig.session.ParkUnit();
  }
  std::vector<std::string> expected = {
      // Binding: is the unit attached? (count, then description by index)
      "ftdi_usb_find_all 0403:6120",
      "ftdi_usb_find_all 0403:6120",
      "ftdi_usb_get_strings dev1",
      "ftdi_usb_open_desc 0403:6120 - KV0001 -> #1",
  };
  std::ranges::copy(ConfigureCalls("#1", false), std::back_inserter(expected));
  expected.insert(expected.end(),
                  {"ftdi_usb_close #1", "ftdi_free #1", "ftdi_usb_open_desc 0403:6120 - KV0001 -> #2"});
  std::ranges::copy(ConfigureCalls("#2", true), std::back_inserter(expected));
  expected.insert(expected.end(), {
                                      "ftdi_write_data #2 <02>S40000000D7<03>",
                                      "ftdi_tcioflush #2",
                                      "ftdi_usb_close #2",
                                      "ftdi_free #2",
                                  });
  EXPECT_THAT(fake.Log(), ElementsAreArray(expected));
  EXPECT_EQ(fake.StrayCalls(), 0);
  EXPECT_EQ(fake.LiveContexts(), 0U);  // the listing context is freed with the driver
}

TEST(LibFtdiDriverTest, ListsTheUnitsOnlyAndFailsToBindWithoutOne) {
  fakes::FakeLibFtdi fake;
  fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0001"});
  fake.Attach({kVendor, 0x6001, "Orvanta USBCOM", "FT6001"});  // another product id: not asked for
  fake.Attach({kVendor, kUnitProduct, "USB Serial Converter", "FT0001"});
  fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0003", false});  // no permission
  fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0002-LONG-SERIAL-NUMBER"});
  LibFtdiRig rig(fake);
  fakes::FakeDeviceListView view;
  DeviceDiscovery discovery(rig.session, view);
  discovery.SearchDevices();
  // Serial numbers are cut to the record's 16 bytes, as the vendor library's.
  EXPECT_THAT(view.entries, ElementsAre("KV0001", "KV0002-LONG-SER"));
  EXPECT_EQ(view.reply, "");

  // No unit: the library is there, but the unit is neither listed nor
  // reloadable, which is what the vendor path reports too.
  fakes::FakeLibFtdi bare;
  bare.Attach({kVendor, kUnitProduct, "USB Serial Converter", "FT0001"});
  LibFtdiRig empty(bare);
  empty.session.SetSerialNumber("KV0001");
  EXPECT_FALSE(empty.session.EnsureOpen());
  EXPECT_EQ(empty.status.text, kDriverLoadFailedText);
  EXPECT_FALSE(empty.session.IsLibraryLoaded());
}

// Payload i of the stream: a type letter, then bytes that encode the frame
// number and position, so a lost, repeated or misplaced byte shows.
std::string StreamPayload(int frame) {
  std::string payload = "T";
  for (std::size_t i = 1; i < kMaxPayloadLength; ++i) {
    payload += static_cast<char>('0' + (static_cast<std::size_t>(frame) * 7 + i * 13) % 64);
  }
  return payload;
}

TEST(LibFtdiDriverTest, StreamsAtTheFullRateWithoutLosingOrRepeatingABytes) {
  fakes::FakeLibFtdi fake;
  fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0001"});
  LibFtdiRig rig(fake);
  rig.session.SetSerialNumber("KV0001");
  ASSERT_TRUE(rig.session.EnsureOpen());
  rig.running.Set(true);

  // The unit's stream at its real rate: 1 000 000 baud with 11 bit times a
  // byte is 90 909 bytes/s, one 8005-byte frame every 88 ms.
  constexpr int kFrames = 11;
  std::string stream;
  for (int f = 0; f < kFrames; ++f) stream += fakes::Framed(StreamPayload(f));
  std::jthread wire([&] {
    const auto start = std::chrono::steady_clock::now();
    std::size_t sent = 0;
    while (sent < stream.size()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      const auto elapsed =
          std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
      const auto due =
          std::min(stream.size(), static_cast<std::size_t>(elapsed.count()) * 90'909 / 1'000'000);
      fake.Send(std::string_view(stream).substr(sent, due - sent));
      sent = due;
    }
  });

  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.FrameReadyCount() >= kFrames; }))
      << "frames arrived: " << rig.events.FrameReadyCount() << " of " << kFrames;
  wire.join();
  rig.session.CloseSession();
  EXPECT_EQ(rig.events.FrameReadyCount(), kFrames);
  EXPECT_EQ(rig.events.LinkLostCount(), 0);
  EXPECT_EQ(rig.frames.DroppedCount(), 0U);
  for (int f = 0; f < kFrames; ++f) {
    FramePayload payload;
    ASSERT_TRUE(rig.frames.TakeNext(payload)) << "frame " << f;
    const std::string received(payload.View().begin(), payload.View().end());
    ASSERT_EQ(received, StreamPayload(f)) << "frame " << f;
  }
  EXPECT_EQ(fake.StrayCalls(), 0);
}

TEST(LibFtdiDriverTest, StopEndsTheReaderEvenWhenTheBridgeAnswersNothing) {
  // The fake's reads wait up to the context's USB read time-out, as a bridge
  // that sends not even its status bytes would; left at libftdi's default
  // of 5 s, closing would wait that long for the reader.
  fakes::FakeLibFtdi fake;
  fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0001"});
  LibFtdiRig rig(fake);
  rig.session.SetSerialNumber("KV0001");
  ASSERT_TRUE(rig.session.EnsureOpen());
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the reader block in a read
  const auto start = std::chrono::steady_clock::now();
  rig.session.CloseSession();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(2)) << "closing waited for a blocked reader";
  EXPECT_EQ(fake.ReadsInProgress(), 0);
  EXPECT_EQ(fake.StrayCalls(), 0);  // no read on a freed context
}

TEST(LibFtdiDriverTest, AUsbErrorIsReportedOnceAfterTheBytesBeforeIt) {
  fakes::FakeLibFtdi fake;
  fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0001"});
  {
    LibFtdiRig rig(fake);
    rig.session.SetSerialNumber("KV0001");
    ASSERT_TRUE(rig.session.EnsureOpen());
    rig.running.Set(true);
    // The unit sends a frame and is unplugged.
    fake.Send(fakes::Framed("last"));
    fake.FailReadsWith(LIBUSB_ERROR_NO_DEVICE);
    ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.LinkLostCount() >= 1; }));
    EXPECT_EQ(rig.frames.LatestText(), "last");
    EXPECT_FALSE(rig.running.Get());
    // The idle probe keeps finding the link down: still one notification.
    rig.running.Set(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(rig.events.LinkLostCount(), 1);
  }

  // A command that does not go out whole is a lost link too.
  fakes::FakeLibFtdi shortWrites;
  shortWrites.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0001"});
  shortWrites.ShortenWritesBy(1);
  LibFtdiRig rig(shortWrites);
  rig.session.SetSerialNumber("KV0001");
  ASSERT_TRUE(rig.session.EnsureOpen());
  rig.session.QueueCommand(std::string_view("\x02?\x03"));
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.LinkLostCount() == 1; }));
}

}  // namespace
}  // namespace kestrova
