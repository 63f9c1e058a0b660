#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <iostream>
#include <limits>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeLibFtdi.h"
#include "SessionTestSupport.h"
#include "device/DeviceDiscovery.h"
#include "device/FrameExtractor.h"
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

// Opening by serial number lists the units and reads their strings; the
// latency timer is set before anything else.
std::vector<std::string> OpenCalls(const std::string& port) {
  return {"ftdi_usb_find_all 0403:6120", "ftdi_usb_get_strings dev1", "ftdi_usb_open_dev dev1 -> " + port,
          "ftdi_set_latency_timer " + port + " 4"};
}

std::vector<std::string> ConfigureCalls(const std::string& port, bool park) {
  std::vector<std::string> calls = OpenCalls(port);
  calls.push_back("ftdi_usb_reset " + port);
  // The session sets the timer again (4 ms streaming, 1 ms parking); the
  // USB parameters have no libftdi call.
  calls.push_back("ftdi_set_latency_timer " + port + (park ? " 1" : " 4"));
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
  };
  std::ranges::copy(ConfigureCalls("#1", false), std::back_inserter(expected));
  expected.insert(expected.end(), {"ftdi_usb_close #1", "ftdi_free #1"});
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
  EXPECT_EQ(fake.LiveTransfers(), 0U);
  EXPECT_EQ(fake.TransfersAliveAtClose(), 0);
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

// Waits for a condition on the fake, which tells nobody when it changes.
bool Eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

// Takes the frames as the window would, each as soon as it is posted, and
// checks them against the stream: in order, whole, none missing or twice.
void ExpectFrames(LibFtdiRig& rig, int count) {
  for (int f = 0; f < count; ++f) {
    ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.FrameReadyCount() > f; }))
        << "frames arrived: " << rig.events.FrameReadyCount() << " of " << count;
    FramePayload payload;
    ASSERT_TRUE(rig.frames.TakeNext(payload)) << "frame " << f;
    const std::string received(payload.View().begin(), payload.View().end());
    ASSERT_EQ(received, StreamPayload(f)) << "frame " << f;
  }
}

// Streams `frames` frames at the link's full rate on the chip's virtual
// clock, which moves a millisecond at a time once the backend has queued its
// transfers again and the session has decoded every frame the chip has
// handed over (or while a stall holds the completions back): a slow machine
// slows the test down but cannot change what the chip sees.
// `caughtUp(whole)`: the reader has taken everything of the first `whole`
// frames.
void RunClockInLockstep(fakes::FakeLibFtdi& fake, int frames, const std::function<bool(int)>& caughtUp,
                        const std::function<void()>& expect) {
  const std::size_t frameSize = fakes::Framed(StreamPayload(0)).size();
  for (int f = 0; f < frames; ++f) fake.Send(fakes::Framed(StreamPayload(f)));
  std::jthread clock([&fake, &caughtUp, frames, frameSize](const std::stop_token& stop) {
    const std::size_t total = static_cast<std::size_t>(frames) * frameSize;
    // The last frame's tail leaves with the latency timer, a few ms later.
    for (int tail = 0; !stop.stop_requested() && tail < 10;) {
      if (fake.DeliveredBytes() + fake.DroppedBytes() >= total) ++tail;
      const auto whole = static_cast<int>(fake.DeliveredBytes() / frameSize);
      const bool ready = Eventually([&] {
        return stop.stop_requested() || fake.Stalled() || (fake.AllTransfersQueued() && caughtUp(whole));
      });
      if (!ready) return;
      fake.AdvanceClock(std::chrono::milliseconds(1));
    }
  });
  expect();
  clock.request_stop();
  clock.join();
  // A stall the clock did not get through would hold the completions of
  // the transfers that closing cancels.
  fake.StallCompletionsAt({}, std::chrono::milliseconds(0));
}

TEST(LibFtdiDriverTest, StreamsAtTheFullRateWithoutLosingOrRepeatingABytes) {
  fakes::FakeLibFtdi fake;
  fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0001"});
  fake.UseVirtualClock();
  LibFtdiRig rig(fake);
  rig.session.SetSerialNumber("KV0001");
  ASSERT_TRUE(rig.session.EnsureOpen());
  rig.running.Set(true);
  RunClockInLockstep(
      fake, 11, [&](int whole) { return rig.events.FrameReadyCount() >= whole; },
      [&] { ExpectFrames(rig, 11); });
  rig.session.CloseSession();
  EXPECT_EQ(rig.events.LinkLostCount(), 0);
  EXPECT_EQ(fake.DroppedBytes(), 0U);
  EXPECT_EQ(fake.StrayCalls(), 0);
}

// The thread that runs the transfers' completions is held off for 50 ms at
// random moments, as a busy laptop does to it (a sleeping thread woke up to
// 42 ms late on a two-core machine with two busy processes), while the unit
// streams at the full rate into the chip's 256-byte FIFO. With the transfers
// queued ahead the chip is drained all along; with one transfer in flight
// (a backend that reads one buffer at a time) the FIFO overflows.
constexpr std::chrono::milliseconds kStall{50};

// `count` random moments over the stream of `frames` frames, one in each of
// `count` equal slots and at least one stall apart: each stall holds the
// thread off for 50 ms, not stalls piled onto each other (holds piled past
// the 176 ms the queued transfers cover would overflow the chip).
std::vector<std::chrono::microseconds> StallMoments(int frames, int count) {
  const auto stream = fakes::FakeLibFtdi::kByteTime * (frames * 8005);
  const auto slot = stream / count;
  std::mt19937 random(20261209);
  std::uniform_int_distribution<std::int64_t> within(0, (slot - 2 * kStall).count());
  std::vector<std::chrono::microseconds> moments;
  moments.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) moments.push_back(slot * i + std::chrono::microseconds(within(random)));
  return moments;
}

// The backend's driver over the fake, opened and receiving, without a session.
struct OpenPort {
  explicit OpenPort(fakes::FakeLibFtdi& fake) : loader(MakeLibFtdiDriverLoader(fake.Calls())) {
    driver = loader->Load();
    if (driver == nullptr ||
        driver->OpenEx("KV0001", d2xx::FT_OPEN_BY_SERIAL_NUMBER, handle) != d2xx::FT_OK ||
        driver->SetEventNotification(handle, d2xx::FT_EVENT_RXCHAR, rx) != d2xx::FT_OK) {
      handle = nullptr;
    }
  }
  [[nodiscard]] d2xx::DWORD Waiting() const {
    d2xx::DWORD rxQueue = 0;
    d2xx::DWORD txQueue = 0;
    d2xx::DWORD status = 0;
    return driver->GetStatus(handle, rxQueue, txQueue, status) == d2xx::FT_OK ? rxQueue : 0xFFFFFFFF;
  }
  [[nodiscard]] std::string ReadAll() const {
    std::vector<std::uint8_t> bytes(Waiting());
    d2xx::DWORD got = 0;
    driver->Read(handle, bytes, got);
    return {bytes.begin(), bytes.begin() + got};
  }
  std::unique_ptr<DriverLoader> loader;
  std::unique_ptr<DriverApi> driver;
  d2xx::FT_HANDLE handle = nullptr;
  EventHub hub;
  Event rx{hub, Event::ResetMode::Auto};
};

TEST(LibFtdiDriverTest, HeldOffCompletionsLoseNothingWithTransfersQueuedAhead) {
  // Read through the driver as the receive thread does, by a reader that
  // always keeps up, so that only the backend and the chip decide.
  struct Case {
    std::size_t inFlight;
    int frames;
    int stalls;
  };
  for (const Case c : {Case{std::numeric_limits<std::size_t>::max(), 200, 100}, Case{1, 3, 2}}) {
    const bool oneInFlight = c.inFlight == 1;
    SCOPED_TRACE(oneInFlight ? "one transfer in flight" : "transfers queued ahead");
    fakes::FakeLibFtdi fake;
    fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0001"});
    fake.UseVirtualClock();
    fake.LimitTransfersInFlight(c.inFlight);
    OpenPort port(fake);
    ASSERT_NE(port.handle, nullptr);
    fake.StallCompletionsAt(StallMoments(c.frames, c.stalls), kStall);
    if (oneInFlight) {
      for (int f = 0; f < c.frames; ++f) fake.Send(fakes::Framed(StreamPayload(f)));
      for (int ms = 0; ms < 300; ++ms) fake.AdvanceClock(std::chrono::milliseconds(1));
      EXPECT_GT(fake.DroppedBytes(), 0U);
      // The overflow reaches the program as the line status's overrun bit,
      // in the chip's next packet: time goes on until the backend, however
      // late its reader, has had a transfer queued for it.
      d2xx::ULONG seen = 0;
      EXPECT_TRUE(Eventually([&] {
        fake.AdvanceClock(std::chrono::milliseconds(1));
        d2xx::ULONG status = 0;
        EXPECT_EQ(port.driver->GetModemStatus(port.handle, status), d2xx::FT_OK);
        seen |= status;
        return (seen & d2xx::kLineStatusOverrun) != 0;
      }));
      fake.StallCompletionsAt({}, std::chrono::milliseconds(0));
      EXPECT_EQ(port.driver->Close(port.handle), d2xx::FT_OK);
      continue;
    }

    std::mutex mutex;
    std::vector<std::string> received;
    std::atomic<std::size_t> taken{0};
    std::jthread reader([&](const std::stop_token& stop) {
      FrameExtractor extractor;
      const std::array<Event*, 1> waitList = {&port.rx};
      while (!stop.stop_requested()) {
        (void)WaitAny(waitList, std::chrono::milliseconds(10));
        const std::string bytes = port.ReadAll();
        extractor.Feed(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                       [&](std::span<const std::uint8_t> payload) {
                         const std::lock_guard lock(mutex);
                         received.emplace_back(payload.begin(), payload.end());
                       });
        taken += bytes.size();
      }
    });
    const std::size_t frameSize = fakes::Framed(StreamPayload(0)).size();
    const auto count = [&] {
      const std::lock_guard lock(mutex);
      return static_cast<int>(received.size());
    };
    RunClockInLockstep(
        fake, c.frames, [&](int whole) { return count() >= whole && taken.load() == fake.DeliveredBytes(); },
        [&] {
          ASSERT_TRUE(
              Eventually([&] { return taken.load() >= frameSize * static_cast<std::size_t>(c.frames); }));
        });
    reader.request_stop();
    reader.join();
    EXPECT_EQ(port.driver->Close(port.handle), d2xx::FT_OK);
    EXPECT_EQ(fake.StallsDone(), c.stalls);
    EXPECT_EQ(fake.DroppedBytes(), 0U);
    ASSERT_EQ(received.size(), static_cast<std::size_t>(c.frames));
    for (int f = 0; f < c.frames; ++f)
      ASSERT_EQ(received[static_cast<std::size_t>(f)], StreamPayload(f)) << f;
  }
}

// Purges as the chip does them. At the moment of the purge, received bytes
// sit in three places: taken into the backend's ring ("ring-"), in a
// transfer still filling ("transfer-"), and in the chip's FIFO ("chip").
TEST(LibFtdiDriverTest, AReceivePurgeEmptiesChipAndBackendAndATransmitPurgeKeepsEveryByte) {
  const std::string ring(100, 'r');
  const std::string held =
      std::string(124, 't') + std::string(26, 'c');  // 2 packets in a transfer, 26 in the chip
  struct Case {
    d2xx::ULONG mask;
    std::string flush;
    std::string received;
  };
  for (const Case& c : {Case{d2xx::FT_PURGE_RX, "ftdi_tciflush #1", "after"},
                        Case{d2xx::FT_PURGE_RX | d2xx::FT_PURGE_TX, "ftdi_tcioflush #1", "after"},
                        Case{d2xx::FT_PURGE_TX, "ftdi_tcoflush #1", ring + held + "after"}}) {
    SCOPED_TRACE(c.flush);
    fakes::FakeLibFtdi fake;
    fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0001"});
    fake.UseVirtualClock();
    OpenPort port(fake);
    ASSERT_NE(port.handle, nullptr);
    fake.Send(ring);
    fake.AdvanceClock(std::chrono::milliseconds(10));  // 1.1 ms on the wire, then the latency timer
    ASSERT_TRUE(Eventually([&] { return port.Waiting() == ring.size(); }));
    fake.Send(held);
    fake.AdvanceClock(std::chrono::microseconds(11 * 150));
    ASSERT_EQ(fake.BytesInChip(), 26U);

    const auto logged = fake.Log().size();
    ASSERT_EQ(port.driver->Purge(port.handle, c.mask), d2xx::FT_OK);
    const std::vector<std::string> log = fake.Log();
    EXPECT_THAT(std::vector(log.begin() + static_cast<std::ptrdiff_t>(logged), log.end()),
                ElementsAre(c.flush));
    fake.Send("after");
    fake.AdvanceClock(std::chrono::milliseconds(10));
    ASSERT_TRUE(Eventually([&] { return port.Waiting() >= c.received.size(); }, std::chrono::seconds(2)));
    EXPECT_EQ(port.ReadAll(), c.received);
    EXPECT_EQ(port.driver->Close(port.handle), d2xx::FT_OK);
    EXPECT_EQ(fake.StrayCalls(), 0);
  }
}

TEST(LibFtdiDriverTest, AQuietBridgeAnsweringWithStatusBytesIsNoFailure) {
  // Normal trigger without a trigger: the unit sends nothing, the chip
  // answers every request with its two status bytes.
  fakes::FakeLibFtdi fake;
  fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0001"});
  LibFtdiRig rig(fake);
  rig.session.SetSerialNumber("KV0001");
  ASSERT_TRUE(rig.session.EnsureOpen());
  rig.running.Set(true);
  // Past the session's idle probe (50 quiet turns of 10 ms) and the hung
  // bridge's 500 ms, twice over.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(rig.events.LinkLostCount(), 0);
  EXPECT_TRUE(rig.running.Get());
  fake.Send(fakes::Framed("still here"));
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.FrameReadyCount() == 1; }));
  EXPECT_EQ(rig.frames.LatestText(), "still here");
}

TEST(LibFtdiDriverTest, ABridgeThatStopsAnsweringIsALostLinkUntilItAnswersAgain) {
  fakes::FakeLibFtdi fake;
  fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0001"});
  LibFtdiRig rig(fake);
  rig.session.SetSerialNumber("KV0001");
  ASSERT_TRUE(rig.session.EnsureOpen());
  rig.running.Set(true);
  fake.Send(fakes::Framed("before"));
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.FrameReadyCount() == 1; }));

  fake.Hang(true);
  const auto hung = std::chrono::steady_clock::now();
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.LinkLostCount() >= 1; }));
  std::cout << "silent bridge reported after "
            << std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - hung)
                   .count()
            << " ms\n";
  EXPECT_FALSE(rig.running.Get());
  // The window's recovery: close and open again. A bridge that still does
  // not answer is not opened, so the loss is told once, not in a loop.
  rig.session.CloseSession();
  EXPECT_FALSE(rig.session.OpenAndConfigure());
  EXPECT_EQ(rig.events.LinkLostCount(), 1);

  fake.Hang(false);
  ASSERT_TRUE(rig.session.EnsureOpen());
  rig.running.Set(true);
  fake.Send(fakes::Framed("after"));
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.FrameReadyCount() == 2; }));
  EXPECT_EQ(rig.frames.LatestText(), "after");
  rig.session.CloseSession();
  EXPECT_EQ(fake.StrayCalls(), 0);
  EXPECT_EQ(fake.TransfersAliveAtClose(), 0);
}

TEST(LibFtdiDriverTest, CloseAndPurgeCancelAndReapEveryQueuedTransfer) {
  // While the unit streams, and while the bridge answers nothing at all.
  fakes::FakeLibFtdi fake;
  fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0001"});
  for (int round = 0; round < 20; ++round) {
    OpenPort port(fake);
    ASSERT_NE(port.handle, nullptr);
    EXPECT_EQ(fake.LiveTransfers(), static_cast<std::size_t>(LibFtdiTuning::kInTransfers));
    fake.Send(std::string(3000, 's'));
    std::this_thread::sleep_for(std::chrono::microseconds(500 * round));
    if (round % 2 == 0) {
      EXPECT_EQ(port.driver->Purge(port.handle, d2xx::FT_PURGE_RX), d2xx::FT_OK);
    }
    if (round % 5 == 4) fake.Hang(true);
    // Cancelling needs no answer from the bridge: a silent one closes too.
    EXPECT_EQ(port.driver->Close(port.handle), d2xx::FT_OK);
    fake.Hang(false);
    EXPECT_EQ(fake.QueuedTransfers(), 0U);
  }
  EXPECT_EQ(fake.LiveTransfers(), 0U);
  EXPECT_EQ(fake.TransfersAliveAtClose(), 0);
  EXPECT_EQ(fake.StrayCalls(), 0);
}

TEST(LibFtdiDriverTest, OpensTheChosenUnitPastBusyAndUnreadableOnes) {
  fakes::FakeLibFtdi fake;
  fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0009", true, -5});  // held by another program
  fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0008", false});     // no permission
  fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0001"});
  fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0007", true, -4});
  auto loader = MakeLibFtdiDriverLoader(fake.Calls());
  auto driver = loader->Load();
  ASSERT_NE(driver, nullptr);
  struct Case {
    const char* serial;
    d2xx::FT_STATUS status;
    std::string said;
  };
  for (const Case& c : {Case{"KV0001", d2xx::FT_OK, ""},
                        Case{"KV0009", d2xx::FT_DEVICE_NOT_OPENED,
                             "kestrova: unit KV0009 cannot be opened: it is in use by another program\n"},
                        Case{"KV0007", d2xx::FT_DEVICE_NOT_OPENED,
                             "kestrova: unit KV0007 cannot be opened: no permission (is the udev rule "
                             "installed and loaded?)\n"},
                        Case{"KV0005", d2xx::FT_DEVICE_NOT_FOUND,
                             "kestrova: unit KV0005 not found; a USB device 0403:6120 whose serial number "
                             "cannot be read may be it (no permission, or in use by another program)\n"}}) {
    SCOPED_TRACE(c.serial);
    d2xx::FT_HANDLE handle = nullptr;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(driver->OpenEx(c.serial, d2xx::FT_OPEN_BY_SERIAL_NUMBER, handle), c.status);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.said);
    EXPECT_EQ(handle != nullptr, c.status == d2xx::FT_OK);
    if (handle != nullptr) {
      EXPECT_EQ(driver->Close(handle), d2xx::FT_OK);
    }
  }
  EXPECT_THAT(fake.Log(), ::testing::Contains("ftdi_usb_open_dev dev3 -> #1"));
  driver.reset();
  EXPECT_EQ(fake.LiveContexts(), 0U);
}

TEST(LibFtdiDriverTest, StripsTheTwoStatusBytesOfEveryPacket) {
  // Transfers of 6-byte packets; only the last packet of a transfer may be
  // short, down to the status bytes alone.
  struct Case {
    std::string transfer;
    std::string data;
    std::uint8_t line = 0x60;  // every packet's line status bits together
  };
  for (const Case& c :
       {Case{"", "", 0}, Case{"\x31\x60", ""},  // NOLINT(modernize-raw-string-literal): bytes, not text
        Case{"\x31\x60"
             "abcd",
             "abcd"},
        Case{"\x31\x60"
             "abcd"
             "\x31\x60"
             "efgh"
             "\x31\x60",
             "abcdefgh"},
        Case{"\x31\x62"
             "abcd"
             "\x31\x60"
             "e",
             "abcde", 0x62}}) {
    std::vector<std::uint8_t> out = {'>'};
    const std::vector<unsigned char> transfer(c.transfer.begin(), c.transfer.end());
    const PacketStatus status = AppendWithoutStatusBytes(transfer, 6, out);
    EXPECT_EQ(std::string(out.begin(), out.end()), ">" + c.data);
    EXPECT_EQ(status.line, c.line);
  }
}

TEST(LibFtdiDriverTest, AnUnplugIsReportedOnceAfterTheBytesBeforeIt) {
  fakes::FakeLibFtdi fake;
  fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0001"});
  {
    LibFtdiRig rig(fake);
    rig.session.SetSerialNumber("KV0001");
    ASSERT_TRUE(rig.session.EnsureOpen());
    rig.running.Set(true);
    // The unit sends a frame and is unplugged.
    fake.Send(fakes::Framed("last"));
    fake.Unplug();
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

// The unit's last bytes come in a transfer that is reaped after another
// one found the unit gone on being queued again: they are still read, and
// only then is the link reported lost.
TEST(LibFtdiDriverTest, TheLastBytesBeforeAnUnplugAreReadWhicheverTransferFailsFirst) {
  fakes::FakeLibFtdi fake;
  fake.Attach({kVendor, kUnitProduct, "Orvanta USBCOM", "KV0001"});
  fake.UseVirtualClock();
  LibFtdiRig rig(fake);
  rig.session.SetSerialNumber("KV0001");
  ASSERT_TRUE(rig.session.EnsureOpen());
  ASSERT_TRUE(Eventually([&] { return fake.AllTransfersQueued(); }));
  // The completions are held back while a quiet answer and then the one
  // with the bytes complete, and the unit goes: the quiet one is handled
  // first, and queuing it again fails.
  fake.StallCompletionsAt({std::chrono::microseconds(0)}, std::chrono::milliseconds(10));
  fake.AdvanceClock(std::chrono::milliseconds(4));
  fake.Send(fakes::Framed("last"));
  fake.Unplug();
  fake.AdvanceClock(std::chrono::milliseconds(4));
  ASSERT_EQ(fake.DeliveredBytes(), 6U);
  fake.AdvanceClock(std::chrono::milliseconds(3));
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.LinkLostCount() >= 1; }));
  EXPECT_EQ(rig.frames.LatestText(), "last");
  rig.session.CloseSession();
  EXPECT_EQ(rig.events.LinkLostCount(), 1);
}

// The chip answers a queued transfer when its latency timer runs out, one
// period after its last packet, period after period, also when the clock
// lands exactly on the expiry: the bytes waiting, or only its status bytes.
TEST(LibFtdiDriverTest, TheChipModelAnswersExactlyWhenItsLatencyTimerRunsOut) {
  fakes::FakeLibFtdi fake;
  fake.UseVirtualClock();
  LibFtdiCalls calls = fake.Calls();
  std::array<std::array<unsigned char, 512>, 4> buffers{};
  const auto submit = [&](std::size_t k) {
    libusb_transfer* transfer = calls.libusb_alloc_transfer(0);
    transfer->endpoint = fakes::FakeLibFtdi::kInEndpoint;
    transfer->type = LIBUSB_TRANSFER_TYPE_BULK;
    transfer->callback = [](libusb_transfer*) {};
    transfer->buffer = buffers[k].data();
    transfer->length = static_cast<int>(buffers[k].size());
    ASSERT_EQ(calls.libusb_submit_transfer(transfer), 0);
  };
  constexpr std::chrono::microseconds kPeriod = std::chrono::milliseconds(16);  // after power-up
  constexpr std::chrono::microseconds kJustBefore = kPeriod - std::chrono::microseconds(1);
  // Long idle: a request is answered at once, and so is one a timer period
  // later; the timer starts again from that packet, now.
  submit(0);
  ASSERT_EQ(fake.QueuedTransfers(), 0U);
  fake.AdvanceClock(kPeriod);
  submit(1);
  ASSERT_EQ(fake.QueuedTransfers(), 0U);

  submit(2);
  fake.Send("abc");
  fake.AdvanceClock(kJustBefore);
  EXPECT_EQ(fake.QueuedTransfers(), 1U);
  EXPECT_EQ(fake.BytesInChip(), 3U);
  fake.AdvanceClock(std::chrono::microseconds(1));
  EXPECT_EQ(fake.QueuedTransfers(), 0U);
  EXPECT_EQ(fake.DeliveredBytes(), 3U);

  submit(3);
  fake.AdvanceClock(kJustBefore);
  EXPECT_EQ(fake.QueuedTransfers(), 1U);
  fake.AdvanceClock(std::chrono::microseconds(1));
  EXPECT_EQ(fake.QueuedTransfers(), 0U);
  EXPECT_EQ(fake.StrayCalls(), 0);
}

// What the stream meter times its latency from: each Send's last byte
// reaches the chip at the link's rate after the bytes before it, whether
// the FIFO has room for it or drops it.
TEST(LibFtdiDriverTest, TheChipModelKeepsWhenEachSendsLastByteArrived) {
  fakes::FakeLibFtdi fake;
  fake.UseVirtualClock();
  const auto start = fake.Calls().steady_now();
  constexpr auto kByte = fakes::FakeLibFtdi::kByteTime;
  fake.Send(std::string(200, 'a'));  // bytes 0..199
  fake.Send(std::string(100, 'b'));  // bytes 200..299: the FIFO is full from byte 256 on
  fake.Send("");                     // nothing to wait for: it has arrived with the one before

  fake.AdvanceClock(kByte * 199 - std::chrono::microseconds(1));
  EXPECT_FALSE(fake.ArrivalOfSend(0).has_value());
  EXPECT_EQ(fake.BytesOnWire(), 101U);
  fake.AdvanceClock(std::chrono::microseconds(1));
  EXPECT_EQ(fake.ArrivalOfSend(0), start + kByte * 199);
  EXPECT_FALSE(fake.ArrivalOfSend(1).has_value());

  fake.AdvanceClock(kByte * 100);
  EXPECT_EQ(fake.ArrivalOfSend(1), start + kByte * 299);
  EXPECT_EQ(fake.ArrivalOfSend(2), start + kByte * 299);
  EXPECT_FALSE(fake.ArrivalOfSend(3).has_value());
  EXPECT_EQ(fake.BytesOnWire(), 0U);
  EXPECT_EQ(fake.DroppedBytes(), 44U);

  // After a pause the next Send starts on the wire at once.
  fake.AdvanceClock(std::chrono::milliseconds(5));
  const auto later = fake.Calls().steady_now();
  fake.Send("xy");
  fake.AdvanceClock(kByte * 2);
  EXPECT_EQ(fake.ArrivalOfSend(3), later + kByte);
}

}  // namespace
}  // namespace kestrova
