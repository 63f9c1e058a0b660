// The real-time log driven through the main window as a user drives it:
// mouse clicks on the logging box, keys for Start and Stop, the simulated
// unit streaming at its real pace.
#include <QCheckBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "acquisition/ControlIds.h"
#include "acquisition/MemoryProfile.h"
#include "acquisition/NumberText.h"
#include "app/ScopeDlg.h"
#include "output/RealTimeLogger.h"
#include "simulator/SimClock.h"
#include "simulator/SimulatedBench.h"
#include "simulator/SimulatedDriver.h"
#include "support/AnsweringPrompts.h"

namespace kestrova {
namespace {

// Answers the save dialog with a chosen path and every question with Yes.
// A UTF-8 path as the file system names it (the log's name is Korean; a
// narrow name would go through the Windows code page).
std::filesystem::path FilePath(const std::string& utf8) {
  return std::u8string(utf8.begin(), utf8.end());
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(FilePath(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  EXPECT_EQ(start, text.size()) << "a torn last line";
  return lines;
}

// Steady time run faster than the wall clock, so that the simulated wire
// carries `factor` times its real rate.
class FastClock final : public SimClock {
 public:
  explicit FastClock(double factor) : factor_(factor) {}
  [[nodiscard]] SimTime Now() const override {
    const auto elapsed = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start_);
    return SimTime(static_cast<SimTime::rep>(elapsed.count() * factor_));
  }
  [[nodiscard]] bool PassesByItself() const override { return true; }
  int AddAdvanceListener(std::function<void()> /*listener*/) override { return 0; }
  void RemoveAdvanceListener(int /*token*/) override {}

 private:
  double factor_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

SimulatedBenchOptions BenchAtSpeed(double factor) {
  SimulatedBenchOptions options;
  if (factor != 1.0) options.clock = std::make_shared<FastClock>(factor);
  return options;
}

// Messages are answered as AnsweringPrompts answers them, but each one is
// held open, as a person reading it would, for as long as `hold` runs.
class HoldingPrompts final : public test::AnsweringPrompts {
 public:
  void ShowMessage(std::string_view text, PromptIcon icon) override {
    AnsweringPrompts::ShowMessage(text, icon);
    if (hold) hold();
  }
  std::function<void()> hold;
};

// Runs the window's own frame handler for each frame notification, and
// counts what it made of them.
class FrameCounter final : public QObject {
 public:
  explicit FrameCounter(CScopeDlg& dialog) : dialog_(dialog) { dialog_.installEventFilter(this); }
  ~FrameCounter() override { dialog_.removeEventFilter(this); }
  FrameCounter(const FrameCounter&) = delete;
  FrameCounter& operator=(const FrameCounter&) = delete;

  int notified = 0;
  int stored = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != &dialog_ || event->type() != kFrameReadyEvent) return false;
    ++notified;
    if (dialog_.OnFrameReady() == FrameOutcome::Stored) ++stored;
    return true;
  }

 private:
  CScopeDlg& dialog_;
};

class RealSaveWindowTest : public ::testing::Test {
 protected:
  explicit RealSaveWindowTest(double wireSpeed = 1.0)
      : bench_(std::make_shared<SimulatedBench>(BenchAtSpeed(wireSpeed))) {
    dialog_ = std::make_unique<CScopeDlg>(MakeSimulatedDriverLoader(bench_), profile_, prompts_);
    dialog_->show();
  }

  [[nodiscard]] QWidget* Control(int id) const { return dialog_->Panel().Controls().Find(id); }
  // A check box takes clicks on its box and label only, not on the empty
  // rest of its rectangle.
  void Click(int id) {
    QWidget* control = Control(id);
    const bool checkBox = qobject_cast<QCheckBox*>(control) != nullptr;
    QTest::mouseClick(control, Qt::LeftButton, {},
                      checkBox ? QPoint(6, control->height() / 2) : control->rect().center());
  }
  // Keys go to the time-base list, which has the focus after Start and Stop.
  void Press(int key) { QTest::keyClick(Control(ctl::TimeList), static_cast<Qt::Key>(key)); }
  bool Enabled(int id) { return dialog_->Panel().IsEnabled(id); }
  bool Ticked(int id) { return dialog_->Panel().IsChecked(id); }

  // Ticks Enable and picks the log file with the "..." button.
  void ChooseLog(const std::string& path) {
    Click(ctl::RealSaveEnable);
    ASSERT_TRUE(Ticked(ctl::RealSaveEnable));
    ASSERT_TRUE(Enabled(ctl::RealSaveBrowse));
    prompts_.savePath = path;
    prompts_.yes = true;  // over an earlier run's log
    Click(ctl::RealSaveBrowse);
    ASSERT_EQ(dialog_->Panel().Text(ctl::RealSavePath), path);
  }

  void TypeInto(int id, const char* text) {
    auto* edit = dialog_->Panel().Controls().FindAs<QLineEdit>(id);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_End);
    while (!edit->text().isEmpty()) QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, QString::fromLatin1(text));
  }

  bool WaitForFrames(int count) {
    return QTest::qWaitFor([&] { return dialog_->Buffer().frameCount >= count; }, 30000);
  }

  QTemporaryDir directory_;
  std::string path_ = directory_.filePath(QStringLiteral("실시간 기록.txt")).toStdString();
  std::shared_ptr<SimulatedBench> bench_;
  MemoryProfile profile_;
  HoldingPrompts prompts_;
  std::unique_ptr<CScopeDlg> dialog_;
};

// A frame every 10 ms instead of every 88 ms.
class FastRealSaveWindowTest : public RealSaveWindowTest {
 protected:
  FastRealSaveWindowTest() : RealSaveWindowTest(8.8) {}

  [[nodiscard]] UnitStatus Unit() const { return *bench_->StatusOf("SIM00001")->unit; }

  // The frame the unit sent that a history slot holds, counted from the
  // oldest the unit still remembers; nothing when it holds none of them.
  [[nodiscard]] std::optional<std::size_t> SentFrameIn(int slot, const UnitStatus& unit) const {
    const ScopeSettings& settings = dialog_->Settings();
    const auto m = static_cast<std::size_t>(settings.Mode());
    for (std::size_t k = 0; k < unit.recentFrames.size(); ++k) {
      const SentFrame& sent = unit.recentFrames[k];
      bool same = true;
      for (std::size_t c = 0; c < kChannelCount && same; ++c) {
        const auto values = dialog_->Buffer().Values(slot, static_cast<int>(c));
        for (std::size_t i = 0; i < kSamplesPerFrame && same; ++i) {
          const std::uint16_t raw =
              sent.waveform.Sample(static_cast<int>(c), sent.firstSample + static_cast<std::int64_t>(i));
          const double number = settings.unsignedSamples[m][c] != 0
                                    ? static_cast<double>(raw)
                                    : static_cast<double>(static_cast<std::int16_t>(raw));
          same = values[i] == number * settings.scale[m][c] + settings.offset[m][c];
        }
      }
      if (same) return k;
    }
    return std::nullopt;
  }
};

TEST_F(RealSaveWindowTest, ARunLogsEveryFrameWithTheOffsetsTakenOff) {
  TypeInto(ctl::OffsetEdit[0], "1.5");
  TypeInto(ctl::OffsetEdit[2], "-2");
  // "10 ms": every frame keeps its own history slot, so each line can be
  // checked against the frame it came from.
  Press(Qt::Key_Down);
  Press(Qt::Key_Down);
  ASSERT_EQ(dialog_->Panel().Text(ctl::TimeList), "10 ms");
  ChooseLog(path_);
  ASSERT_EQ(dialog_->Panel().Text(ctl::RealSaveInterval), "100 ms");

  Press(Qt::Key_F2);
  ASSERT_TRUE(dialog_->Running());
  EXPECT_FALSE(Enabled(ctl::RealSaveEnable));
  EXPECT_FALSE(Enabled(ctl::RealSaveBrowse));
  ASSERT_TRUE(WaitForFrames(4)) << "the unit sent no frames";
  // Each line is on disk while the run goes on.
  EXPECT_EQ(SplitLines(ReadFile(path_)).size(), static_cast<std::size_t>(dialog_->Buffer().frameCount));

  const int frames = dialog_->Buffer().frameCount;
  Press(Qt::Key_F3);
  ASSERT_FALSE(dialog_->Running());
  EXPECT_TRUE(Enabled(ctl::RealSaveBrowse));  // the box is still ticked

  const std::vector<std::string> lines = SplitLines(ReadFile(path_));
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(frames));
  const std::regex layout(R"((\d{4}-\d{1,2}-\d{1,2}, \d\d:\d\d:\d\d:\d\d\d)((, -?\d+\.\d{4}){4}))");
  const std::array<double, kChannelCount> offsets = {1.5, 0.0, -2.0, 0.0};
  for (std::size_t k = 0; k < lines.size(); ++k) {
    SCOPED_TRACE("line " + std::to_string(k));
    std::smatch fields;
    ASSERT_TRUE(std::regex_match(lines[k], fields, layout)) << lines[k];
    std::string expected;
    for (std::size_t c = 0; c < kChannelCount; ++c) {
      const double stored = dialog_->Buffer().Values(static_cast<int>(k), static_cast<int>(c))[kLoggedSample];
      expected += ", " + FormatFixed(stored - offsets[c], 4);
    }
    EXPECT_EQ(fields[2].str(), expected);
    // The unit's samples are whole numbers: with the offsets off, so are the
    // logged values.
    EXPECT_EQ(fields[2].str().find(".5000"), std::string::npos);
  }
}

TEST_F(RealSaveWindowTest, AFileThatCannotBeCreatedIsReportedAndTheRunGoesOnWithoutLog) {
  ChooseLog(directory_.filePath(QStringLiteral("missing/log.txt")).toStdString());
  Click(ctl::Start);
  // Shown once Start is over.
  EXPECT_TRUE(prompts_.messages.empty());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts_.messages.empty(); }, 20000));
  ASSERT_EQ(prompts_.messages, std::vector<std::string>{std::string(kRealSaveCreateFailedMessage)});
  EXPECT_EQ(prompts_.icons[0], PromptIcon::Stop);
  EXPECT_FALSE(Ticked(ctl::RealSaveEnable));
  EXPECT_EQ(dialog_->Settings().realSaveEnable, 0);
  ASSERT_TRUE(dialog_->Running());
  EXPECT_TRUE(WaitForFrames(2)) << "the run did not go on";

  Click(ctl::Stop);
  EXPECT_TRUE(Enabled(ctl::RealSaveEnable));
  EXPECT_FALSE(Ticked(ctl::RealSaveEnable));
  EXPECT_FALSE(Enabled(ctl::RealSaveInterval));
  EXPECT_EQ(prompts_.messages.size(), 1U);
}

TEST_F(RealSaveWindowTest, AStartThatCannotOpenTheUnitLeavesThePreviousLog) {
  { std::ofstream(FilePath(path_), std::ios::binary) << "previous run\r\n"; }
  ChooseLog(path_);
  bench_->FailCall(DriverCall::OpenEx, FaultRepeat::UntilCleared);
  Press(Qt::Key_F2);
  ASSERT_FALSE(dialog_->Running());
  EXPECT_EQ(ReadFile(path_), "previous run\r\n");
  EXPECT_TRUE(Ticked(ctl::RealSaveEnable));

  // The unit answers again: the next Start starts a new log.
  bench_->ClearCallFaults();
  Press(Qt::Key_F2);
  ASSERT_TRUE(dialog_->Running());
  ASSERT_TRUE(WaitForFrames(1)) << "the unit sent no frames";
  Press(Qt::Key_F3);
  const std::vector<std::string> lines = SplitLines(ReadFile(path_));
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.front(), "previous run");
  EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(RealSaveWindowTest, AFullDiskEndsLoggingForTheRunWithOneMessage) {
  // A device on which every write fails for want of space, under a name the
  // save dialog accepts.
  std::error_code linked;
  std::filesystem::create_symlink("/dev/full", path_, linked);
  if (linked || !std::filesystem::exists(path_)) GTEST_SKIP() << "no /dev/full here";
  ChooseLog(path_);
  Press(Qt::Key_F2);
  ASSERT_TRUE(dialog_->Running());
  // The message is posted once the failed frame's step is done.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts_.messages.empty(); }, 20000)) << "no message";
  ASSERT_TRUE(WaitForFrames(3)) << "the run did not go on";
  EXPECT_EQ(prompts_.messages, std::vector<std::string>{std::string(kRealSaveWriteFailedMessage)});
  EXPECT_EQ(prompts_.icons.front(), PromptIcon::Stop);
  EXPECT_FALSE(Ticked(ctl::RealSaveEnable));
  Press(Qt::Key_F3);
  EXPECT_EQ(prompts_.messages.size(), 1U);
}

}  // namespace
}  // namespace kestrova

namespace kestrova {
namespace {

TEST_F(FastRealSaveWindowTest, AFailedLogWriteKeepsEveryFrameInItsOwnSlotWhileTheMessageIsUp) {
  std::error_code linked;
  std::filesystem::create_symlink("/dev/full", path_, linked);
  if (linked || !std::filesystem::exists(path_)) GTEST_SKIP() << "no /dev/full here";
  Press(Qt::Key_Down);
  Press(Qt::Key_Down);
  ASSERT_EQ(dialog_->Panel().Text(ctl::TimeList), "10 ms");
  ChooseLog(path_);
  prompts_.messages.clear();
  FrameCounter frames(*dialog_);
  // The message stays up while five more frames arrive.
  prompts_.hold = [&] {
    const int before = frames.notified;
    EXPECT_TRUE(QTest::qWaitFor([&] { return frames.notified >= before + 5; }, 20000))
        << "no frames arrived while the message was up";
  };

  Press(Qt::Key_F2);
  ASSERT_TRUE(dialog_->Running());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts_.messages.empty(); }, 20000)) << "no message";
  Press(Qt::Key_F3);
  ASSERT_FALSE(dialog_->Running());

  EXPECT_EQ(prompts_.messages, std::vector<std::string>{std::string(kRealSaveWriteFailedMessage)});
  EXPECT_FALSE(Ticked(ctl::RealSaveEnable));
  const SampleBuffer& buffer = dialog_->Buffer();
  ASSERT_GE(buffer.frameCount, 6);
  ASSERT_LT(buffer.frameCount, kHistoryFrames);
  EXPECT_EQ(buffer.frameCount, frames.stored);
  EXPECT_EQ(buffer.writeIndex, buffer.frameCount);
  // Oldest first, each slot holds a frame the unit sent, each a later one
  // than the slot before.
  const UnitStatus unit = Unit();
  ASSERT_GE(unit.recentFrames.size(), static_cast<std::size_t>(buffer.frameCount));
  std::optional<std::size_t> previous;
  for (int slot = 0; slot < buffer.frameCount; ++slot) {
    SCOPED_TRACE("slot " + std::to_string(slot));
    const std::optional<std::size_t> sent = SentFrameIn(slot, unit);
    ASSERT_TRUE(sent.has_value()) << "the slot holds no frame the unit sent";
    if (previous) {
      EXPECT_GT(*sent, *previous);
    }
    previous = sent;
  }
}

}  // namespace
}  // namespace kestrova
