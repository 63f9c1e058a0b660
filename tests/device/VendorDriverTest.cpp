#include <algorithm>
#include <array>
#include <chrono>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "SessionTestSupport.h"
#include "acquisition/FrameDecoder.h"
#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "device/CommandProtocol.h"
#include "device/DeviceDiscovery.h"
#include "device/VendorDriver.h"
#include "device/Win32.h"
#include "fake_ftd2xx/FakeFtd2xxControl.h"
#ifndef _WIN32
#include <dlfcn.h>
#endif

namespace kestrova {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

// The platform loader, as the backend uses it.
#ifdef _WIN32
constexpr const char* kFakeLibrary = "Ftd2xx.dll";
constexpr const char* kWhereTheFakeIs = "Ftd2xx.dll (the fake) not found beside the test program";
void* OpenLibrary(const char* name) {
  return ::LoadLibraryA(name);
}
void CloseLibrary(void* handle) {
  ::FreeLibrary(static_cast<HMODULE>(handle));
}
void* Symbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle), name));
}
bool IsFakeLoaded() {
  return ::GetModuleHandleA(kFakeLibrary) != nullptr;
}
#else
constexpr const char* kFakeLibrary = "libftd2xx.so";
constexpr const char* kWhereTheFakeIs =
    "libftd2xx.so (the fake) not found: run through ctest, which sets LD_LIBRARY_PATH";
void* OpenLibrary(const char* name) {
  return ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
}
void CloseLibrary(void* handle) {
  ::dlclose(handle);
}
void* Symbol(void* handle, const char* name) {
  return ::dlsym(handle, name);
}
bool IsFakeLoaded() {
  void* handle = ::dlopen(kFakeLibrary, RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  ::dlclose(handle);
  return true;
}
#endif

// True when the file at path loads as a library at all.
bool Loadable(const char* path) {
  void* handle = OpenLibrary(path);
  if (handle == nullptr) return false;
  CloseLibrary(handle);
  return true;
}

// The fake library, loaded by bare name through the loader's normal search
// (on Linux the test runs with LD_LIBRARY_PATH pointing at the fake; on
// Windows it lies beside the test program) and kept loaded while the test
// scripts it, so the backend's own load finds the same instance.
class FakeLibrary {
 public:
  FakeLibrary() : handle_(OpenLibrary(kFakeLibrary)) {
    if (handle_ == nullptr) return;
    reset_ = Resolve<FakeFtd2xxResetFn>("FakeFtd2xx_Reset");
    addDevice_ = Resolve<FakeFtd2xxAddDeviceFn>("FakeFtd2xx_AddDevice");
    setStatus_ = Resolve<FakeFtd2xxSetStatusFn>("FakeFtd2xx_SetStatus");
    receive_ = Resolve<FakeFtd2xxReceiveFn>("FakeFtd2xx_Receive");
    replyTo_ = Resolve<FakeFtd2xxReplyToFn>("FakeFtd2xx_ReplyTo");
    callLog_ = Resolve<FakeFtd2xxCallLogFn>("FakeFtd2xx_CallLog");
    signalCount_ = Resolve<FakeFtd2xxSignalCountFn>("FakeFtd2xx_SignalCount");
    setModemStatus_ = Resolve<FakeFtd2xxSetModemStatusFn>("FakeFtd2xx_SetModemStatus");
    reset_();
  }
  ~FakeLibrary() {
    if (handle_ != nullptr) CloseLibrary(handle_);
  }
  FakeLibrary(const FakeLibrary&) = delete;
  FakeLibrary& operator=(const FakeLibrary&) = delete;

  [[nodiscard]] bool Loaded() const { return handle_ != nullptr; }
  void AddDevice(const char* serial, const char* description) { addDevice_(serial, description); }
  void SetStatus(const char* function, unsigned status) { setStatus_(function, status); }
  void Receive(const std::string& bytes) {
    receive_(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  }
  void ReplyTo(const std::string& command, const std::string& reply) {
    replyTo_(reinterpret_cast<const unsigned char*>(command.data()), command.size(),
             reinterpret_cast<const unsigned char*>(reply.data()), reply.size());
  }
  [[nodiscard]] std::vector<std::string> Log() const {
    std::string text(callLog_(nullptr, 0) + 1, '\0');
    callLog_(text.data(), text.size());
    std::vector<std::string> lines;
    std::istringstream in(text.c_str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  [[nodiscard]] int SignalCount() const { return signalCount_(); }
  void SetModemStatus(unsigned status) const { setModemStatus_(status); }

 private:
  template <typename F>
  F Resolve(const char* name) {
    return reinterpret_cast<F>(Symbol(handle_, name));
  }

  void* handle_;
  FakeFtd2xxResetFn reset_ = nullptr;
  FakeFtd2xxAddDeviceFn addDevice_ = nullptr;
  FakeFtd2xxSetStatusFn setStatus_ = nullptr;
  FakeFtd2xxReceiveFn receive_ = nullptr;
  FakeFtd2xxReplyToFn replyTo_ = nullptr;
  FakeFtd2xxCallLogFn callLog_ = nullptr;
  FakeFtd2xxSignalCountFn signalCount_ = nullptr;
  FakeFtd2xxSetModemStatusFn setModemStatus_ = nullptr;
};

// A session on the vendor backend, as the window wires it.
struct VendorRig {
  std::unique_ptr<DriverLoader> loader = MakeVendorDriverLoader();
  FrameHandoff frames;
  AcquisitionRunning running;
  fakes::RecordingSessionEvents events;
  fakes::RecordingStatusLine status;
  DeviceSession session{*loader, frames, running, events, status};
};

#define REQUIRE_FAKE(lib) ASSERT_TRUE((lib).Loaded()) << kWhereTheFakeIs

// What the program tells the library before anything else: the unit's
// product id, where the platform's library needs it.
std::vector<std::string> BindingCalls() {
#ifdef _WIN32
  return {};
#else
  return {"FT_SetVIDPID 0403 6120"};
#endif
}

TEST(VendorDriverTest, LoadsByNameAndNamesTheUnitBeforeAnythingElse) {
  FakeLibrary lib;
  REQUIRE_FAKE(lib);
  auto driver = MakeVendorDriverLoader()->Load();
  ASSERT_NE(driver, nullptr);
  EXPECT_EQ(lib.Log(), BindingCalls());
#ifdef _WIN32
  EXPECT_FALSE(driver->NeedsRxPolling());  // the library's event wakes the receive loop
#else
  EXPECT_TRUE(driver->NeedsRxPolling());
#endif

  // The index goes over as the pointer argument's value.
  lib.AddDevice("KV0001", "Orvanta USBCOM");
  d2xx::DWORD count = 0;
  EXPECT_EQ(driver->ListDeviceCount(count), d2xx::FT_OK);
  EXPECT_EQ(count, 1U);
  std::array<char, 64> description{};
  EXPECT_EQ(driver->ListDescriptionByIndex(0, description), d2xx::FT_OK);
  EXPECT_STREQ(description.data(), "Orvanta USBCOM");
  EXPECT_NE(driver->ListDescriptionByIndex(1, description), d2xx::FT_OK);
}

TEST(VendorDriverTest, AMissingLibraryOrFunctionCannotBeLoaded) {
  EXPECT_EQ(MakeVendorDriverLoader("libkestrova-absent-driver.so")->Load(), nullptr);
  ASSERT_TRUE(Loadable(KESTROVA_FAKE_WITHOUT_READ));
  EXPECT_EQ(MakeVendorDriverLoader(KESTROVA_FAKE_WITHOUT_READ)->Load(), nullptr);  // no FT_Read
#ifndef _WIN32
  ASSERT_TRUE(Loadable(KESTROVA_FAKE_WITHOUT_VIDPID));
  EXPECT_EQ(MakeVendorDriverLoader(KESTROVA_FAKE_WITHOUT_VIDPID)->Load(), nullptr);  // no FT_SetVIDPID

  FakeLibrary lib;
  REQUIRE_FAKE(lib);
  lib.SetStatus("FT_SetVIDPID", 4);
  EXPECT_EQ(MakeVendorDriverLoader()->Load(), nullptr);
#endif
}

TEST(VendorDriverTest, DestroyingTheDriverUnloadsTheLibrary) {
  ASSERT_FALSE(IsFakeLoaded());
  auto driver = MakeVendorDriverLoader()->Load();
  ASSERT_NE(driver, nullptr) << kWhereTheFakeIs;
  EXPECT_TRUE(IsFakeLoaded());
  driver.reset();
  EXPECT_FALSE(IsFakeLoaded());
}

// Without the unit the library is asked to reload for it. The Linux library
// cannot, so the driver stays unbound; the Windows one can, and then the
// unit that is not there cannot be opened.
TEST(VendorDriverTest, WithoutTheUnitTheLibraryIsAskedToReload) {
  FakeLibrary lib;
  REQUIRE_FAKE(lib);
  lib.AddDevice("FT0001", "USB Serial Converter");
  VendorRig rig;
  EXPECT_FALSE(rig.session.EnsureOpen());
#ifdef _WIN32
  EXPECT_EQ(rig.status.text, "USB 포트를 여는데 실패하였습니다");
#else
  EXPECT_EQ(rig.status.text, "USB Driver를 로드할 수 없습니다");
#endif
  EXPECT_THAT(lib.Log(), Contains("FT_Reload 0403 6120"));
}

// Sample i of channel c in the generated frame.
std::uint16_t GeneratedSample(int channel, int index) {
  return static_cast<std::uint16_t>((channel * 4096 + index * 37 + (index % 3) * 1000) & 0x0FFF);
}

std::string GeneratedFrame() {
  static constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string payload = "T";
  for (int i = 0; i < kSamplesPerFrame; ++i) {
    for (int c = 0; c < kChannelCount; ++c) {
      const unsigned raw = GeneratedSample(c, i);
      for (int shift = 12; shift >= 0; shift -= 4) payload += kHex[(raw >> shift) & 0xFU];
    }
  }
  const std::uint8_t sum = BodyChecksum(payload);
  payload += kHex[sum >> 4];
  payload += kHex[sum & 0xFU];
  return "\x02" + payload + "\x03";
}

struct NullScrollBar final : ScrollBarControl {
  void SetRange(int /*minimum*/, int /*maximum*/) override {}
  void SetPosition(int position) override { position_ = position; }
  [[nodiscard]] int Position() const override { return position_; }
  int position_ = 0;
};

struct CountingHooks final : FrameDecoderHooks {
  void WriteRealSaveLine() override {}
  void InvalidateDisplay() override { ++invalidated; }
  void ShowElapsedTime() override {}
  int invalidated = 0;
};

TEST(VendorDriverTest, EndToEndFromTheWireToDecodedSamples) {
  FakeLibrary lib;
  REQUIRE_FAKE(lib);
  lib.AddDevice("FT0001", "USB Serial Converter");
  lib.AddDevice("KV0001", "Orvanta USBCOM");
  VendorRig rig;
  rig.session.SetSerialNumber("KV0001");
  ASSERT_TRUE(rig.session.EnsureOpen());
  std::vector<std::string> expected = BindingCalls();
  expected.insert(expected.end(), {
                                      "FT_ListDevices number-only",
                                      "FT_ListDevices index 0 description",
                                      "FT_ListDevices index 1 description",
                                      "FT_OpenEx KV0001 1",
                                      "FT_ResetDevice #1",
                                      "FT_SetLatencyTimer #1 4",
                                      "FT_SetUSBParameters #1 512 4096",
                                      "FT_SetDivisor #1 3",
                                      "FT_SetDataCharacteristics #1 8 2 0",
                                      "FT_SetFlowControl #1 0 0 0",
                                      "FT_Purge #1 3",
                                      "FT_SetEventNotification #1 1",
                                  });
  EXPECT_EQ(lib.Log(), expected);

  // Start streaming: the unit answers the configuration with a data frame.
  ScopeSettings settings;
  SampleBuffer buffer;
  AllocateSampleBuffer(buffer, settings);
  rig.running.Set(true);
  lib.ReplyTo(ConfigurationCommand(ControlWord(settings, settings.timeIndex, true), LevelWord(settings)),
              GeneratedFrame());
  SendConfiguration(rig.session, settings, settings.timeIndex);
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.FrameReadyCount() == 1; }));
  EXPECT_GT(lib.SignalCount(), 0);  // the library could signal the record it was given

  FramePayload payload;
  ASSERT_TRUE(rig.frames.TakeNext(payload));
  EXPECT_EQ(payload.length, kMaxPayloadLength);
  fakes::RecordingStatusLine triggerStatus;
  NullScrollBar scroll;
  CountingHooks hooks;
  FrameDecoder decoder(settings, buffer, rig.running, triggerStatus, scroll, hooks);
  const int slot = buffer.writeIndex;
  ASSERT_EQ(decoder.OnFrameReady(payload.View()), FrameOutcome::Stored);
  for (int c = 0; c < kChannelCount; ++c) {
    for (int i = 0; i < kSamplesPerFrame; ++i) {
      ASSERT_EQ(buffer.Values(slot, c)[static_cast<std::size_t>(i)], GeneratedSample(c, i)) << c << "/" << i;
    }
  }

  // The bridge's overrun bit, in the line status byte of FT_GetModemStatus,
  // is counted as a loss.
  EXPECT_EQ(rig.frames.Losses().Counts().overruns, 0U);
  lib.SetModemStatus(0x0260);
  lib.Receive(fakes::Framed("X"));
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.FrameReadyCount() == 2; }));
  EXPECT_EQ(rig.frames.Losses().Counts().overruns, 1U);

  rig.session.CloseSession();
  EXPECT_EQ(lib.Log().back(), "FT_Close #1");
}

TEST(VendorDriverTest, DiscoveryAndUnitCheckThroughTheLibrary) {
  FakeLibrary lib;
  REQUIRE_FAKE(lib);
  lib.AddDevice("KV0001", "Orvanta USBCOM");
  lib.AddDevice("FT0001", "USB Serial Converter");
  lib.AddDevice("KV0002", "Orvanta USBCOM");
  lib.ReplyTo("\x02?\x03", "\x02Orvanta KV-4\x03");
  VendorRig rig;
  rig.session.SetSerialNumber("KV0002");
  fakes::FakeDeviceListView view;
  DeviceDiscovery discovery(rig.session, view);

  discovery.SearchDevices();
  EXPECT_THAT(view.entries, ElementsAre("KV0001", "KV0002"));
  EXPECT_EQ(view.selected, 1);

  discovery.UnitCheck(20000);  // the reply ends the wait; 100 ms can pass on a busy machine
  EXPECT_EQ(view.reply, "Orvanta KV-4");
  EXPECT_FALSE(rig.session.IsOpen());
  EXPECT_THAT(lib.Log(), Contains("FT_Write #1 <02>?<03>"));
  EXPECT_EQ(lib.Log().back(), "FT_Close #1");
}

TEST(VendorDriverTest, ALinkFailureIsReportedOnce) {
  FakeLibrary lib;
  REQUIRE_FAKE(lib);
  lib.AddDevice("KV0001", "Orvanta USBCOM");
  VendorRig rig;
  rig.session.SetSerialNumber("KV0001");
  ASSERT_TRUE(rig.session.EnsureOpen());
  rig.running.Set(true);
  lib.SetStatus("FT_Read", 4);
  lib.Receive(fakes::Framed("lost"));
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.LinkLostCount() >= 1; }));
  EXPECT_FALSE(rig.running.Get());
  // The receive loop tries again every 10 ms and every read fails; still
  // one notification.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(rig.events.LinkLostCount(), 1);

  // Once the unit is back the bytes still waiting are read.
  lib.SetStatus("FT_Read", 0);
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.FrameReadyCount() == 1; }));
  EXPECT_EQ(rig.frames.LatestText(), "lost");
  rig.session.ParkUnit();
  EXPECT_THAT(lib.Log(), Contains("FT_Write #2 <02>S40000000D7<03>"));
}

TEST(VendorDriverTest, OnWindowsTheLibrarysEventWakesTheReceiveLoopWithoutATick) {
#ifndef _WIN32
  GTEST_SKIP()
      << "the Linux library signals a condition variable; the receive loop looks at the queue instead";
#else
  FakeLibrary lib;
  REQUIRE_FAKE(lib);
  lib.AddDevice("KV0001", "Orvanta USBCOM");
  auto loader = MakeVendorDriverLoader();
  auto driver = loader->Load();
  ASSERT_NE(driver, nullptr);
  EXPECT_FALSE(driver->NeedsRxPolling());
  d2xx::FT_HANDLE handle = nullptr;
  ASSERT_EQ(driver->OpenEx("KV0001", d2xx::FT_OPEN_BY_SERIAL_NUMBER, handle), d2xx::FT_OK);
  EventHub hub;
  Event rx(hub, Event::ResetMode::Auto);
  const std::array<Event*, 1> waitList = {&rx};
  ASSERT_EQ(driver->SetEventNotification(handle, d2xx::FT_EVENT_RXCHAR, rx), d2xx::FT_OK);

  // From the library setting its event to the receive loop reading.
  std::vector<std::chrono::microseconds> wakeUps;
  for (int i = 0; i < 50; ++i) {
    const auto start = std::chrono::steady_clock::now();
    lib.Receive("x");
    ASSERT_EQ(WaitAny(waitList, std::chrono::seconds(5)), 0) << "not woken by the library's event";
    d2xx::DWORD waiting = 0;
    d2xx::DWORD txQueue = 0;
    d2xx::DWORD status = 0;
    ASSERT_EQ(driver->GetStatus(handle, waiting, txQueue, status), d2xx::FT_OK);
    std::array<std::uint8_t, 16> bytes{};
    d2xx::DWORD got = 0;
    ASSERT_EQ(driver->Read(handle, std::span(bytes).first(waiting), got), d2xx::FT_OK);
    wakeUps.push_back(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start));
    EXPECT_EQ(got, 1U);
  }
  std::ranges::sort(wakeUps);
  std::cout << "event to read: p50 " << wakeUps[wakeUps.size() / 2].count() << " us, max "
            << wakeUps.back().count() << " us over " << wakeUps.size() << " wake-ups\n";
  EXPECT_EQ(driver->Close(handle), d2xx::FT_OK);
#endif
}

}  // namespace
}  // namespace kestrova
