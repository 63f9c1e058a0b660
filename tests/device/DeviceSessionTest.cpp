#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "SessionTestSupport.h"
#include "device/CommandProtocol.h"
#include "device/DeviceSession.h"

namespace kestrova {
namespace {

using fakes::Bytes;
using fakes::Framed;
using fakes::SessionRig;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

// Long enough for the receive loop to pass its idle probe point (50 ticks of
// 10 ms) several times over; used only to show that something does NOT
// happen, so a slow machine cannot make these tests fail.
void LetTheLoopIdle() {
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
}

// Twenty turns of the loop's short tick (10 ms) come well within this even
// on a busy machine; at the idle wait (500 ms) they would take ten seconds.
constexpr std::chrono::milliseconds kTwentyShortTicks{5000};

constexpr std::array<std::string_view, 9> kOpenSequence = {
    "OpenEx KV0001 1",           "ResetDevice #1",
    "SetLatencyTimer #1 4",      "SetUSBParameters #1 512 4096",
    "SetDivisor #1 3",           "SetDataCharacteristics #1 8 2 0",
    "SetFlowControl #1 0 0 0",   "Purge #1 3",
    "SetEventNotification #1 1",
};

// ---- binding the driver ----

TEST(DeviceSessionBindTest, AcceptsALibraryThatListsTheUnit) {
  SessionRig rig;
  rig.driver.AddDevice("A1", "Some other device");
  rig.driver.AddDevice("KV0001", "Orvanta USBCOM");
  rig.session.LoadDriver();
  EXPECT_TRUE(rig.session.DriverReady());
  EXPECT_THAT(rig.driver.Calls(),
              ElementsAre("Load", "ListDeviceCount", "ListDescriptionByIndex 0", "ListDescriptionByIndex 1"));
}

TEST(DeviceSessionBindTest, DescriptionMustMatchExactly) {
  SessionRig rig;
  rig.driver.AddDevice("A1", "orvanta usbcom");
  rig.driver.AddDevice("A2", "Orvanta USBCOM ");
  rig.driver.AddDevice("A3", "Orvanta USBCO");
  EXPECT_TRUE(rig.session.EnsureLibrary() != nullptr);
  EXPECT_FALSE(rig.session.FindUnitByDescription());
  rig.driver.AddDevice("A4", std::string(64, 'x'));  // fills the buffer without a NUL
  EXPECT_FALSE(rig.session.FindUnitByDescription());
  rig.driver.AddDevice("A5", "Orvanta USBCOM");
  EXPECT_TRUE(rig.session.FindUnitByDescription());
}

TEST(DeviceSessionBindTest, FallsBackToTheReloadRequest) {
  SessionRig rig;
  rig.session.LoadDriver();
  EXPECT_TRUE(rig.session.DriverReady());
  EXPECT_THAT(rig.driver.Calls(), ElementsAre("Load", "ListDeviceCount", "Reload 0403 6120"));
}

TEST(DeviceSessionBindTest, UnloadsWhenNeitherListingNorReloadAcceptsTheUnit) {
  SessionRig rig;
  rig.driver.FailCall("Reload");
  rig.driver.FailCall("ListDeviceCount");
  rig.session.LoadDriver();
  EXPECT_FALSE(rig.session.DriverReady());
  EXPECT_FALSE(rig.session.IsLibraryLoaded());
  EXPECT_THAT(rig.driver.Calls(), ElementsAre("Load", "ListDeviceCount", "Reload 0403 6120", "Unload"));
}

TEST(DeviceSessionBindTest, StaysLoadedAcrossSessionsUntilUnloaded) {
  SessionRig rig;
  ASSERT_TRUE(rig.OpenWithUnit());
  rig.session.CloseSession();
  ASSERT_TRUE(rig.session.EnsureOpen());
  rig.session.CloseSession();
  EXPECT_EQ(rig.driver.CountCalls("Load"), 1);
  EXPECT_EQ(rig.driver.CountCalls("Unload"), 0);
  rig.session.UnloadDriver();
  EXPECT_FALSE(rig.session.DriverReady());
  EXPECT_EQ(rig.driver.CountCalls("Unload"), 1);
}

// ---- EnsureOpen and the status line ----

TEST(DeviceSessionEnsureOpenTest, MissingLibrary) {
  SessionRig rig;
  rig.loader.SetLoadable(false);
  EXPECT_FALSE(rig.session.EnsureOpen());
  EXPECT_EQ(rig.status.text, "USB Driver를 로드할 수 없습니다");
  EXPECT_EQ(rig.status.background, Rgb(255, 0, 0));
}

TEST(DeviceSessionEnsureOpenTest, NoUnitAndNoReload) {
  SessionRig rig;
  rig.driver.FailCall("Reload");
  EXPECT_FALSE(rig.session.EnsureOpen());
  EXPECT_EQ(rig.status.text, "USB Driver를 로드할 수 없습니다");
  EXPECT_EQ(rig.status.background, Rgb(255, 0, 0));
}

TEST(DeviceSessionEnsureOpenTest, BoundButTheUnitCannotBeOpened) {
  SessionRig rig;  // reload succeeds, but no unit with the serial number is attached
  EXPECT_FALSE(rig.session.EnsureOpen());
  EXPECT_EQ(rig.status.text, "USB 포트를 여는데 실패하였습니다");
  EXPECT_EQ(rig.status.background, Rgb(255, 0, 0));
  EXPECT_FALSE(rig.session.DriverReady());
  EXPECT_EQ(rig.driver.Calls().back(), "Unload");
}

TEST(DeviceSessionEnsureOpenTest, SuccessClearsTheStatusLineAndAnOpenSessionLeavesItAlone) {
  SessionRig rig;
  ASSERT_TRUE(rig.OpenWithUnit());
  EXPECT_EQ(rig.status.text, "");
  EXPECT_EQ(rig.status.background, Rgb(255, 255, 128));
  const int writes = rig.status.writes;
  rig.driver.ClearCalls();
  EXPECT_TRUE(rig.session.EnsureOpen());
  EXPECT_EQ(rig.status.writes, writes);
  EXPECT_THAT(rig.driver.CallsWithout({"GetStatus"}), IsEmpty());
}

// ---- opening, closing, parking: the calls on the wire ----

TEST(DeviceSessionOpenTest, ConfiguresTheBridgeInOrder) {
  SessionRig rig;
  rig.driver.AddDevice("KV0001", "Orvanta USBCOM");
  rig.session.LoadDriver();
  rig.driver.ClearCalls();
  ASSERT_TRUE(rig.session.OpenAndConfigure());
  EXPECT_TRUE(rig.session.IsOpen());
  EXPECT_THAT(rig.driver.CallsWithout({"GetStatus"}), ElementsAreArray(kOpenSequence));
  EXPECT_TRUE(rig.driver.HasRegisteredEvent());
}

// Each configuration step in turn fails: what was opened is closed again,
// and nothing after the failing step happens.
TEST(DeviceSessionOpenTest, TheFirstFailureClosesTheHandle) {
  for (std::size_t failing = 1; failing < kOpenSequence.size(); ++failing) {
    SCOPED_TRACE(kOpenSequence[failing]);
    SessionRig rig;
    rig.driver.AddDevice("KV0001", "Orvanta USBCOM");
    rig.session.LoadDriver();
    rig.driver.ClearCalls();
    const std::string_view step = kOpenSequence[failing];
    rig.driver.FailCall(std::string(step.substr(0, step.find(' '))));

    EXPECT_FALSE(rig.session.OpenAndConfigure());
    std::vector<std::string> expected(kOpenSequence.begin(),
                                      kOpenSequence.begin() + static_cast<long>(failing) + 1);
    expected.emplace_back("Close #1");
    EXPECT_THAT(rig.driver.Calls(), ElementsAreArray(expected));
    EXPECT_FALSE(rig.session.IsOpen());
    EXPECT_EQ(rig.driver.OpenHandleCount(), 0);
  }
}

TEST(DeviceSessionOpenTest, AFailedOpenClosesNothing) {
  SessionRig rig;
  rig.driver.AddDevice("KV0001", "Orvanta USBCOM");
  rig.session.LoadDriver();
  rig.driver.ClearCalls();
  rig.driver.FailCall("OpenEx");
  EXPECT_FALSE(rig.session.OpenAndConfigure());
  EXPECT_THAT(rig.driver.Calls(), ElementsAre("OpenEx KV0001 1"));
}

TEST(DeviceSessionOpenTest, OpeningWithoutABoundDriverFails) {
  SessionRig rig;
  EXPECT_FALSE(rig.session.OpenAndConfigure());
  EXPECT_THAT(rig.driver.Calls(), IsEmpty());
}

TEST(DeviceSessionCloseTest, JoinsTheThreadThenClosesTheHandle) {
  SessionRig rig;
  rig.driver.SetNeedsRxPolling(true);  // the thread calls the driver on every turn
  ASSERT_TRUE(rig.OpenWithUnit());
  ASSERT_TRUE(rig.driver.WaitUntil([&] { return rig.driver.CountCalls("GetStatus") > 0; }));
  rig.session.CloseSession();
  EXPECT_FALSE(rig.session.IsOpen());
  EXPECT_FALSE(rig.driver.HasRegisteredEvent());
  EXPECT_EQ(rig.driver.OpenHandleCount(), 0);

  // Had the thread outlived the close, it would still be polling.
  LetTheLoopIdle();
  EXPECT_EQ(rig.driver.Calls().back(), "Close #1");

  // A second close, and a close of a session never opened, do nothing.
  rig.driver.ClearCalls();
  rig.session.CloseSession();
  SessionRig fresh;
  fresh.session.CloseSession();
  EXPECT_THAT(rig.driver.Calls(), IsEmpty());
  EXPECT_THAT(fresh.driver.Calls(), IsEmpty());
}

TEST(DeviceSessionCloseTest, StopAndCommandRightAfterOpenAreNotLost) {
  for (int round = 0; round < 20; ++round) {
    SessionRig rig;
    ASSERT_TRUE(rig.OpenWithUnit());
    rig.session.QueueCommand("\x02?\x03");
    if (round % 2 == 0) {
      ASSERT_TRUE(rig.driver.WaitUntil([&] { return rig.driver.Writes().size() == 1; }));
    }
    rig.session.CloseSession();  // would hang if the thread had missed the stop
    // Written even when the close came before the thread got to it.
    EXPECT_THAT(rig.driver.Writes(), ElementsAre(Bytes("\x02?\x03"))) << "round " << round;
  }
}

TEST(DeviceSessionCloseTest, UnloadingAnOpenSessionClosesItFirst) {
  SessionRig rig;
  ASSERT_TRUE(rig.OpenWithUnit());
  rig.session.UnloadDriver();
  EXPECT_THAT(rig.driver.CallsWithout({"GetStatus"}), ElementsAreArray([&] {
                std::vector<std::string> expected = {"Load", "ListDeviceCount", "ListDescriptionByIndex 0"};
                expected.insert(expected.end(), kOpenSequence.begin(), kOpenSequence.end());
                expected.insert(expected.end(), {"Close #1", "Unload"});
                return expected;
              }()));
}

TEST(DeviceSessionCloseTest, DestroyingAnOpenSessionClosesAndUnloads) {
  fakes::RecordingDriver driver;
  driver.AddDevice("KV0001", "Orvanta USBCOM");
  {
    fakes::RecordingDriverLoader loader(driver);
    FrameHandoff frames;
    AcquisitionRunning running;
    fakes::RecordingSessionEvents events;
    fakes::RecordingStatusLine status;
    DeviceSession session(loader, frames, running, events, status);
    session.SetSerialNumber("KV0001");
    ASSERT_TRUE(session.EnsureOpen());
  }
  const auto calls = driver.CallsWithout({"GetStatus"});
  EXPECT_THAT(std::vector(calls.end() - 2, calls.end()), ElementsAre("Close #1", "Unload"));
}

constexpr std::array<std::string_view, 10> kParkSequence = {
    "OpenEx KV0001 1",
    "ResetDevice #2",
    "SetLatencyTimer #2 1",
    "SetDivisor #2 3",
    "SetDataCharacteristics #2 8 2 0",
    "SetFlowControl #2 0 0 0",
    "Purge #2 3",
    "Write #2 <02>S40000000D7<03>",
    "Purge #2 3",
    "Close #2",
};

TEST(DeviceSessionParkTest, ShutdownPathParksOnAPrivateHandle) {
  SessionRig rig;
  ASSERT_TRUE(rig.OpenWithUnit());
  rig.driver.ClearCalls();
  rig.session.ParkUnit();
  rig.session.CloseSession();
  rig.session.UnloadDriver();

  std::vector<std::string> expected = {"Close #1"};
  expected.insert(expected.end(), kParkSequence.begin(), kParkSequence.end());
  expected.emplace_back("Unload");
  EXPECT_THAT(rig.driver.CallsWithout({"GetStatus"}), ElementsAreArray(expected));
  EXPECT_FALSE(rig.session.IsOpen());
  EXPECT_EQ(rig.driver.OpenHandleCount(), 0);
}

TEST(DeviceSessionParkTest, BindsTheDriverWhenNeeded) {
  SessionRig rig;
  rig.driver.AddDevice("KV0001", "Orvanta USBCOM");
  rig.session.ParkUnit();
  const auto calls = rig.driver.Calls();
  ASSERT_GE(calls.size(), 3U);
  EXPECT_THAT(std::vector(calls.begin(), calls.begin() + 3),
              ElementsAre("Load", "ListDeviceCount", "ListDescriptionByIndex 0"));
  EXPECT_THAT(calls, Contains("Write #1 <02>S40000000D7<03>"));
  EXPECT_EQ(calls.back(), "Close #1");
  EXPECT_FALSE(rig.session.IsOpen());
}

TEST(DeviceSessionParkTest, FailuresAreSilent) {
  {
    SessionRig rig;  // library missing: nothing is sent
    rig.loader.SetLoadable(false);
    rig.session.ParkUnit();
    EXPECT_THAT(rig.driver.Writes(), IsEmpty());
    EXPECT_EQ(rig.status.writes, 0);
  }
  {
    SessionRig rig;  // unit absent
    rig.session.ParkUnit();
    EXPECT_THAT(rig.driver.Writes(), IsEmpty());
    EXPECT_EQ(rig.driver.CountCalls("Close"), 0);
  }
  {
    SessionRig rig;  // a set-up step fails: the handle is closed, nothing written
    rig.driver.AddDevice("KV0001", "Orvanta USBCOM");
    rig.driver.FailCall("SetLatencyTimer");
    rig.session.ParkUnit();
    EXPECT_THAT(rig.driver.Writes(), IsEmpty());
    EXPECT_EQ(rig.driver.Calls().back(), "Close #1");
  }
  {
    SessionRig rig;  // the write fails: the queues are still purged and the handle closed
    rig.driver.AddDevice("KV0001", "Orvanta USBCOM");
    rig.driver.FailCall("Write");
    rig.session.ParkUnit();
    const auto calls = rig.driver.Calls();
    EXPECT_THAT(std::vector(calls.end() - 3, calls.end()),
                ElementsAre("Write #1 <02>S40000000D7<03>", "Purge #1 3", "Close #1"));
  }
}

// ---- serial number ----

TEST(DeviceSessionSerialTest, KeepsAtMostFifteenCharacters) {
  SessionRig rig;
  rig.session.SetSerialNumber("0123456789ABCDEFGHIJ");
  EXPECT_EQ(rig.session.SerialNumber(), "0123456789ABCDE");
  rig.session.SetSerialNumber(std::string_view("AB\0CD", 5));
  EXPECT_EQ(rig.session.SerialNumber(), "AB");
  rig.session.SetSerialNumber("");
  EXPECT_EQ(rig.session.SerialNumber(), "");

  rig.driver.AddDevice("0123456789ABCDE", "Orvanta USBCOM");
  rig.session.SetSerialNumber("0123456789ABCDEXYZ");
  ASSERT_TRUE(rig.session.EnsureOpen());
  EXPECT_THAT(rig.driver.Calls(), Contains("OpenEx 0123456789ABCDE 1"));
}

// ---- commands and replies ----

TEST(DeviceSessionCommandTest, WritesCommandsOfAnyLength) {
  SessionRig rig;
  ASSERT_TRUE(rig.OpenWithUnit());
  const std::string command = FrameCommand(std::string(100, 'Q'));
  rig.session.QueueCommand(command);
  ASSERT_TRUE(rig.driver.WaitUntil([&] { return rig.driver.Writes().size() == 1; }));
  EXPECT_EQ(rig.driver.Writes()[0], Bytes(command));
}

TEST(DeviceSessionCommandTest, ACommandQueuedBeforeTheLastWasWrittenReplacesIt) {
  SessionRig rig;
  ASSERT_TRUE(rig.OpenWithUnit());
  // Keep the receive thread busy in a status call, queue two commands, then
  // let it go on.
  rig.driver.HoldCalls("GetStatus");
  rig.driver.Receive(std::string("x"));
  ASSERT_TRUE(rig.driver.WaitUntil([&] { return rig.driver.BlockedCalls() == 1; }));
  rig.session.QueueCommand(Framed("first"));
  rig.session.QueueCommand(Framed("second"));
  rig.driver.ReleaseHeldCalls();
  ASSERT_TRUE(rig.driver.WaitUntil([&] { return !rig.driver.Writes().empty(); }));
  rig.session.CloseSession();
  EXPECT_THAT(rig.driver.Writes(), ElementsAre(Bytes(Framed("second"))));
}

TEST(DeviceSessionCommandTest, ACommandWithoutASessionIsDropped) {
  SessionRig rig;
  rig.session.QueueCommand("\x02?\x03");
  EXPECT_THAT(rig.driver.Calls(), IsEmpty());
}

// A clock that advances `step` per reading and can run an action on the
// reading that first reaches `at`.
struct DrivenClock {
  std::uint32_t now = 0;
  std::uint32_t step = 1;
  int readings = 0;
  std::uint32_t at = 0;
  std::function<void()> action;

  std::uint32_t Read() {
    ++readings;
    const std::uint32_t value = now;
    now += step;
    if (action && value - at < 0x80000000U) std::exchange(action, nullptr)();
    return value;
  }
};

TEST(DeviceSessionWaitTest, GivesUpWhenTheTimeIsUp) {
  SessionRig rig;
  DrivenClock clock;
  clock.now = 0xFFFFFFF0U;  // also crosses the 32-bit wrap
  clock.step = 10;
  rig.session.SetMillisecondClock([&] { return clock.Read(); });
  EXPECT_FALSE(rig.session.WaitForReply(100));
  EXPECT_EQ(clock.readings, 11);  // the start, then 10 steps of 10 ms
}

TEST(DeviceSessionWaitTest, TestsTheLengthBeforeTheTime) {
  SessionRig rig;
  const std::vector<std::uint8_t> reply = Bytes("ID");
  DrivenClock clock;
  clock.step = 10;
  clock.at = 100;
  clock.action = [&] { rig.frames.StoreLatest(reply); };  // lands as the time runs out
  rig.session.SetMillisecondClock([&] { return clock.Read(); });
  EXPECT_TRUE(rig.session.WaitForReply(100));

  DrivenClock early;
  rig.session.SetMillisecondClock([&] { return early.Read(); });
  EXPECT_TRUE(rig.session.WaitForReply(100));  // already there
  EXPECT_EQ(early.readings, 2);
}

// ---- the receive thread ----

TEST(DeviceSessionReceiveTest, FramesReachTheHandoffAndTheWindow) {
  SessionRig rig;
  ASSERT_TRUE(rig.OpenWithUnit());
  rig.driver.Receive("noise" + Framed("T1") + Framed("T2") + fakes::FrameStart("T3"));
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.FrameReadyCount() == 2; }));
  rig.driver.Receive(std::string("x\x03"));
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.FrameReadyCount() == 3; }));

  FramePayload payload;
  std::vector<std::string> taken;
  while (rig.frames.TakeNext(payload)) taken.emplace_back(payload.View().begin(), payload.View().end());
  EXPECT_THAT(taken, ElementsAre("T1", "T2", "T3x"));
  EXPECT_EQ(rig.frames.LatestText(), "T3x");
  EXPECT_EQ(rig.frames.LatestLength(), 3);
  EXPECT_THAT(rig.events.TerminalFrames(), IsEmpty());
}

TEST(DeviceSessionReceiveTest, WhileTheTerminalIsOpenFramesGoOnlyToIt) {
  SessionRig rig;
  ASSERT_TRUE(rig.OpenWithUnit());
  rig.session.SetTerminalOpen(true);
  rig.driver.Receive(Framed("hello") + Framed(""));
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.TerminalFrames().size() == 2; }));
  EXPECT_THAT(rig.events.TerminalFrames(), ElementsAre(Bytes("hello"), Bytes("")));
  EXPECT_EQ(rig.events.FrameReadyCount(), 0);
  EXPECT_EQ(rig.frames.QueuedCount(), 0U);

  rig.session.SetTerminalOpen(false);
  rig.driver.Receive(Framed("back"));
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.FrameReadyCount() == 1; }));
  EXPECT_EQ(rig.frames.LatestText(), "back");
}

// Every payload waiting in the hand-off queue, oldest first.
std::vector<std::string> TakeAllPayloads(FrameHandoff& frames) {
  std::vector<std::string> payloads;
  FramePayload payload;
  while (frames.TakeNext(payload))
    payloads.emplace_back(payload.bytes.begin(), payload.bytes.begin() + payload.length);
  return payloads;
}

// A backlog of exactly the limit (one second of the stream) is read whole,
// in pieces, and every frame in it is handed on in order: the frame in
// progress before it included.
TEST(DeviceSessionReceiveTest, ABacklogUpToTheLimitIsReadInPiecesEveryFrameInOrder) {
  SessionRig rig;
  ASSERT_TRUE(rig.OpenWithUnit());
  rig.driver.Receive(fakes::FrameStart("AB"));
  ASSERT_TRUE(rig.driver.WaitUntil([&] { return rig.driver.CountCalls("Read #1 3") == 1; }));

  std::string backlog = "CD\x03";
  std::vector<std::string> expected = {"ABCD"};
  for (int i = 0; i < 20; ++i) {
    expected.push_back("F" + std::to_string(i));
    backlog += Framed(expected.back()) + std::string(3000, 'z');
  }
  backlog.resize(DeviceSession::kReceiveQueueLimit - Framed("LAST").size(), 'z');
  backlog += Framed("LAST");
  expected.emplace_back("LAST");
  ASSERT_EQ(backlog.size(), DeviceSession::kReceiveQueueLimit);
  rig.driver.Receive(backlog);

  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.FrameReadyCount() == 22; }));
  EXPECT_THAT(TakeAllPayloads(rig.frames), ElementsAreArray(expected));
  constexpr std::size_t kWholePieces = DeviceSession::kReceiveQueueLimit / DeviceSession::kReadPiece;
  EXPECT_EQ(rig.driver.CountCalls("Read #1 " + std::to_string(DeviceSession::kReadPiece)), kWholePieces);
  EXPECT_EQ(rig.driver.CountCalls(
                "Read #1 " + std::to_string(DeviceSession::kReceiveQueueLimit % DeviceSession::kReadPiece)),
            1);
  EXPECT_EQ(rig.driver.CountCalls("Purge #1 1"), 0);
  EXPECT_FALSE(rig.frames.Losses().Counts().Any());
}

// One byte more than the limit: that oldest byte is read and discarded, and
// the frame in progress goes with it; the newest second is read as usual.
TEST(DeviceSessionReceiveTest, ARunawayBacklogLosesOnlyItsOldestBytesAndCountsThem) {
  SessionRig rig;
  ASSERT_TRUE(rig.OpenWithUnit());
  rig.driver.Receive(fakes::FrameStart("AB"));
  ASSERT_TRUE(rig.driver.WaitUntil([&] { return rig.driver.CountCalls("Read #1 3") == 1; }));

  // "C" is discarded; "D" + ETX must not complete "AB" into a payload.
  std::string backlog = "CD\x03" + Framed("KEPT");
  backlog.resize(DeviceSession::kReceiveQueueLimit + 1 - Framed("LAST").size(), 'z');
  backlog += Framed("LAST");
  rig.driver.Receive(backlog);

  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.FrameReadyCount() == 2; }));
  EXPECT_THAT(TakeAllPayloads(rig.frames), ElementsAre("KEPT", "LAST"));
  EXPECT_EQ(rig.driver.CountCalls("Purge #1 1"), 0);
  EXPECT_EQ(rig.frames.Losses().Counts(), (LossCounts{.brokenFrames = 1, .discardedBytes = 1}));
}

// Frames cut short by the next start and overruns the bridge reports are
// counted; an overrun shown by several status reads in a row counts once.
TEST(DeviceSessionReceiveTest, BrokenFramesAndBridgeOverrunsAreCounted) {
  SessionRig rig;
  ASSERT_TRUE(rig.OpenWithUnit());
  int frames = 0;
  const auto receive = [&](const std::string& bytes, d2xx::ULONG modemStatus) {
    rig.driver.SetModemStatus(modemStatus);
    rig.driver.Receive(bytes);
    ++frames;
    ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.FrameReadyCount() == frames; }));
  };
  receive(
      "\x02"
      "AB" +
          Framed("CD"),
      0);
  receive(Framed("E"), d2xx::kLineStatusOverrun | 0x60);
  receive(Framed("F"), d2xx::kLineStatusOverrun);
  receive(Framed("G"), 0);
  receive(Framed("H"), d2xx::kLineStatusOverrun);
  EXPECT_EQ(rig.frames.Losses().Counts(), (LossCounts{.brokenFrames = 1, .overruns = 2}));
  EXPECT_THAT(TakeAllPayloads(rig.frames), ElementsAre("CD", "E", "F", "G", "H"));
}

TEST(DeviceSessionReceiveTest, ProbesTheLinkOnlyWhileRunning) {
  SessionRig rig;
  ASSERT_TRUE(rig.OpenWithUnit());
  rig.driver.FailCall("GetStatus");

  LetTheLoopIdle();
  EXPECT_EQ(rig.driver.CountCalls("GetStatus"), 0);
  EXPECT_EQ(rig.events.LinkLostCount(), 0);

  rig.running.Set(true);
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.LinkLostCount() == 1; }));
  EXPECT_FALSE(rig.running.Get());
  // The failure cleared the running flag, so the probing stops: one failure,
  // one notification.
  LetTheLoopIdle();
  EXPECT_EQ(rig.events.LinkLostCount(), 1);
  EXPECT_EQ(rig.driver.CountCalls("GetStatus"), 1);
}

TEST(DeviceSessionReceiveTest, ReadAndWriteFailuresAreReportedAndTheLoopGoesOn) {
  SessionRig rig;
  ASSERT_TRUE(rig.OpenWithUnit());
  rig.running.Set(true);
  rig.driver.FailCall("Read", fakes::kIoError, 1);
  rig.driver.Receive(Framed("first"));
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.LinkLostCount() == 1; }));
  EXPECT_FALSE(rig.running.Get());

  // Still receiving: the unread bytes and the new ones are read together.
  rig.driver.Receive(Framed("second"));
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.FrameReadyCount() == 2; }));
  EXPECT_EQ(rig.frames.LatestText(), "second");

  rig.running.Set(true);
  rig.driver.FailCall("Write", fakes::kIoError, 1);
  rig.session.QueueCommand("\x02?\x03");
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.LinkLostCount() == 2; }));
  EXPECT_FALSE(rig.running.Get());

  rig.driver.FailCall("GetStatus", fakes::kIoError, 1);
  rig.driver.Receive(Framed("third"));
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.LinkLostCount() == 3; }));
  rig.session.CloseSession();
  EXPECT_EQ(rig.events.LinkLostCount(), 3);
}

// A driver that sets the event signals new bytes only: the bytes a failed
// read left queued are read on a later turn without anything new arriving,
// retried at the short tick.
TEST(DeviceSessionReceiveTest, BytesLeftByAFailedReadAreReadWithoutANewEvent) {
  SessionRig rig;
  ASSERT_TRUE(rig.OpenWithUnit());
  rig.running.Set(true);
  rig.driver.FailCall("Read", fakes::kIoError, 20);
  rig.driver.Receive(Framed("waiting"));
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.FrameReadyCount() == 1; }, kTwentyShortTicks));
  EXPECT_EQ(rig.frames.LatestText(), "waiting");
  EXPECT_EQ(rig.events.LinkLostCount(), 1);
}

// A driver that cannot set the event: the loop looks at the receive queue
// before each wait, and a dead link is reported once, not on every poll.
TEST(DeviceSessionReceiveTest, PollingDriverDeliversAndReportsADeadLinkOnce) {
  SessionRig rig;
  rig.driver.SetNeedsRxPolling(true);
  ASSERT_TRUE(rig.OpenWithUnit());
  rig.driver.Receive(Framed("polled"));
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.FrameReadyCount() == 1; }));
  EXPECT_EQ(rig.frames.LatestText(), "polled");

  rig.driver.FailCall("GetStatus");
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.LinkLostCount() == 1; }));
  LetTheLoopIdle();
  EXPECT_EQ(rig.events.LinkLostCount(), 1);

  // Back, and polled at the short tick; then gone again: a new failure, a
  // new notification.
  rig.driver.ClearFailures();
  const int polls = rig.driver.CountCalls("GetStatus");
  ASSERT_TRUE(rig.driver.WaitUntil([&] { return rig.driver.CountCalls("GetStatus") >= polls + 20; },
                                   kTwentyShortTicks));
  rig.driver.FailCall("GetStatus");
  ASSERT_TRUE(rig.events.WaitUntil([&] { return rig.events.LinkLostCount() == 2; }));
}

}  // namespace
}  // namespace kestrova
