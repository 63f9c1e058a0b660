// A capture run inside the test, on a simulated bench the test can look at
// and upset.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ProgramRunner.h"
#include "cli/CaptureRun.h"
#include "cli/CaptureSettings.h"
#include "simulator/SimulatedBench.h"
#include "simulator/SimulatedDriver.h"

namespace kestrova::cli {
namespace {

// Counts the frames it is given and what they were.
class CountingWriter final : public FrameWriter {
 public:
  std::string Begin(const ScopeSettings& /*settings*/) override { return "begin\n"; }
  std::string Frame(const StoredFrame& frame) override {
    types += frame.type;
    return "frame " + std::to_string(frame.number) + "\n";
  }
  std::string types;
};

class CaptureRunTest : public ::testing::Test {
 protected:
  Failure Run(
      const RunLimits& limits, const SettingsOptions& options = {},
      std::function<bool()> stop = [] { return false; }) {
    settings_ = BuildCaptureSettings(options).settings;
    UnitLink link(MakeSimulatedDriverLoader(bench_), "the simulated unit");
    EXPECT_FALSE(link.ChooseUnit("").failed());
    OutputSink output((scratch_ / "out.txt").string());
    ProgressLine progress(false);
    CaptureRun run(
        link, settings_, writer_, output, progress,
        [this](const std::string& line) { notes_.push_back(line); }, std::move(stop));
    const Failure failure = run.Run(limits);
    counts_ = run.Counts();
    return failure;
  }

  [[nodiscard]] UnitStatus Unit() const { return *bench_->StatusOf("SIM00001")->unit; }
  [[nodiscard]] std::string Output() const { return testing::ReadFile(scratch_ / "out.txt"); }

  std::shared_ptr<SimulatedBench> bench_ = std::make_shared<SimulatedBench>();
  testing::ScratchFolder scratch_;
  ScopeSettings settings_;
  CountingWriter writer_;
  RunCounts counts_;
  std::vector<std::string> notes_;
};

// A stop request ends the run after a whole frame: the unit is told to
// stop and then parked, as the window leaves it on exit.
TEST_F(CaptureRunTest, StopRequestParksTheUnitAndKeepsWholeFrames) {
  const Failure failure = Run({}, {}, [this] { return writer_.types.size() >= 2; });
  EXPECT_FALSE(failure.failed()) << failure.message;
  // A busy machine may hand the run several frames between two looks: all
  // of them are kept, whole and in order.
  const std::size_t frames = writer_.types.size();
  EXPECT_GE(frames, 2U);
  std::string expected = "begin\n";
  for (std::size_t k = 0; k < frames; ++k) expected += "frame " + std::to_string(k) + "\n";
  EXPECT_EQ(Output(), expected);
  const UnitStatus unit = Unit();
  EXPECT_FALSE(unit.streaming);
  EXPECT_EQ(unit.configuration.controlWord, 0x4000);
  EXPECT_EQ(unit.configuration.levelWord, 0);
}

// Single: the triggered frame ends the run.
TEST_F(CaptureRunTest, SingleShotStopsAfterTheTriggeredFrame) {
  SettingsOptions single;
  single.trigger = 2;
  const Failure failure = Run({.frames = 5, .seconds = {}, .timeout = 5.0}, single);
  EXPECT_FALSE(failure.failed()) << failure.message;
  EXPECT_EQ(writer_.types, "T");
}

// Normal with a level the signal never reaches: nothing triggers.
TEST_F(CaptureRunTest, NothingTriggeredWithinTheTimeout) {
  SettingsOptions normal;
  normal.trigger = 1;
  normal.level = "99.9";
  normal.triggerChannel = 1;  // the square wave: 20 and 80 only
  const Failure failure = Run({.frames = 1, .seconds = {}, .timeout = 0.4}, normal);
  EXPECT_EQ(failure.code, ExitCode::NoTrigger);
  EXPECT_EQ(failure.message, "nothing triggered within 0.4 s");
  EXPECT_EQ(Output(), "begin\n");
  EXPECT_FALSE(Unit().streaming);
}

// The time-out runs from the last frame, not from the start: a unit that
// keeps sending for longer than it is never timed out.
TEST_F(CaptureRunTest, TheTimeoutCountsFromTheLastFrame) {
  const Failure failure = Run({.frames = 12, .seconds = {}, .timeout = 0.6});
  EXPECT_FALSE(failure.failed()) << failure.message;
  EXPECT_EQ(writer_.types.size(), 12U);
}

// A driver call that fails once loses the link; the run reconnects as the
// window does, says so, and keeps the frames of both sides. The fault comes
// at the first look that finds a frame written: a busy machine may hand the
// run several frames at once, so no exact count can be waited for, and the
// frames asked for are many more than can come in one hand-off.
TEST_F(CaptureRunTest, LostLinkIsReconnectedAndTheFramesKept) {
  constexpr int kFrames = 8;
  bool failed = false;
  const Failure failure = Run({.frames = kFrames, .seconds = {}, .timeout = {}}, {}, [this, &failed] {
    if (!writer_.types.empty() && !failed) {
      failed = true;
      bench_->FailCall(DriverCall::GetStatus, FaultRepeat::Once);
    }
    return false;
  });
  EXPECT_FALSE(failure.failed()) << failure.message;
  EXPECT_EQ(writer_.types.size(), static_cast<std::size_t>(kFrames));
  ASSERT_EQ(notes_.size(), 2U);
  EXPECT_EQ(notes_[0], "the link to unit SIM00001 was lost; reconnecting");
  EXPECT_EQ(notes_[1], "reconnected to unit SIM00001");
  std::string frames = "begin\n";
  for (int k = 0; k < kFrames; ++k) frames += "frame " + std::to_string(k) + "\n";
  EXPECT_EQ(Output(), frames);
}

// Wrong checksums are counted and skipped, and the last line says so.
TEST_F(CaptureRunTest, FramesWithAWrongChecksumAreCountedAsDropped) {
  bool corrupted = false;
  const Failure failure = Run({.frames = 3, .seconds = {}, .timeout = {}}, {}, [this, &corrupted] {
    // At the first look, so the corrupted frame is one of the run's however
    // many frames come at a time.
    if (!corrupted) {
      corrupted = true;
      bench_->CorruptNextChecksum("SIM00001");
    }
    return false;
  });
  EXPECT_FALSE(failure.failed()) << failure.message;
  EXPECT_EQ(writer_.types.size(), 3U);
  EXPECT_EQ(counts_.checksumDropped, 1);
  EXPECT_EQ(notes_, std::vector<std::string>{"losses: 1 dropped by checksum"});
}

}  // namespace
}  // namespace kestrova::cli
