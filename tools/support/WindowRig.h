#pragma once

#include <QObject>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/FrameDecoder.h"
#include "acquisition/MemoryProfile.h"
#include "app/Prompts.h"
#include "app/ScopeDlg.h"
#include "simulator/SimClock.h"
#include "simulator/SimulatedBench.h"

namespace kestrova::tools {

// Steady time run faster than the wall clock by a fixed factor, so that the
// simulated wire carries `factor` times its real rate. The program's own
// timing (waits, sleeps, the idle probe) stays on the wall clock.
class ScaledSteadyClock final : public SimClock {
 public:
  explicit ScaledSteadyClock(double factor) : factor_(factor) {}
  [[nodiscard]] SimTime Now() const override;
  [[nodiscard]] bool PassesByItself() const override { return true; }
  [[nodiscard]] std::chrono::nanoseconds WaitFor(SimTime span) const override;
  int AddAdvanceListener(std::function<void()> /*listener*/) override { return 0; }
  void RemoveAdvanceListener(int /*token*/) override {}

 private:
  double factor_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Answers every prompt the way a user who clicks the default would, and
// keeps what was shown.
class RecordingPrompts final : public Prompts {
 public:
  void ShowMessage(std::string_view text, PromptIcon /*icon*/) override { messages.emplace_back(text); }
  bool AskYesNo(std::string_view /*text*/) override { return true; }
  std::optional<std::string> AskSaveFileName(std::string_view, std::string_view, std::string_view) override {
    return saveAnswer;
  }
  // The open dialog is cancelled: the rig drives live captures only.
  std::optional<std::string> AskOpenFileName(std::string_view, std::string_view) override {
    return std::nullopt;
  }
  std::vector<std::string> messages;
  std::optional<std::string> saveAnswer;  // the file name every save-as dialog gives
};

// What the window did with the frames the receive thread handed it.
struct FrameTally {
  std::uint64_t taken = 0;  // frame notifications that found a payload
  std::uint64_t stored = 0;
  std::uint64_t rejected = 0;  // checksum wrong or too short
  std::uint64_t monitorDropped = 0;
  std::uint64_t notSampleData = 0;
  std::uint64_t linkLostReports = 0;
  std::uint64_t linkRecovered = 0;  // reports after which the session ran again
};

struct RigOptions {
  std::uint32_t seed = 1;
  double clockFactor = 1.0;  // 1: the wire at its real rate
};

// The real main window on the offscreen platform with the simulated unit
// (serial number kUnitSerial) behind its driver, or with another driver
// backend (Bench, Unit and FramesSent are then the simulated unit's only:
// no bench, an empty status, 0). The window's frame and
// link-lost notifications pass through the rig, which runs the window's own
// handlers for them and counts the outcomes. User-interface thread only;
// a QApplication must exist.
class WindowRig final : public QObject {
 public:
  static constexpr const char* kUnitSerial = "SIM00001";

  explicit WindowRig(RigOptions options);
  explicit WindowRig(std::unique_ptr<DriverLoader> loader);
  ~WindowRig() override;

  [[nodiscard]] CScopeDlg& Dialog() { return *dialog_; }
  [[nodiscard]] SimulatedBench& Bench() { return *bench_; }  // simulated unit only
  [[nodiscard]] const FrameTally& Tally() const { return tally_; }
  [[nodiscard]] RecordingPrompts& Messages() { return prompts_; }
  [[nodiscard]] UnitStatus Unit() const;

  // Runs after each stored frame, with the history slot it went to.
  void OnStored(std::function<void(int slot)> check) { onStored_ = std::move(check); }
  // Runs at the end of every paint of the display area.
  void OnPaint(std::function<void()> observer);

  // Processes events for that long.
  static void Pump(std::chrono::milliseconds duration);
  // Processes events until the condition holds (true) or the time is up.
  static bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit);

  // User actions on the controls, as clicks and list choices deliver them;
  // a disabled control ignores them, as it ignores the mouse.
  void Click(int id);
  bool ChooseTimeBase(std::string_view text);  // false for an unknown entry
  void ChooseTimeBase(int index);
  void SetText(int id, std::string_view text);

  // Data frames the unit has sent since the rig was made, across power-ups
  // (a vanished unit that comes back counts from zero again).
  std::int64_t FramesSent();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::shared_ptr<SimulatedBench> bench_;
  MemoryProfile profile_;
  RecordingPrompts prompts_;
  std::unique_ptr<CScopeDlg> dialog_;
  FrameTally tally_;
  std::function<void(int)> onStored_;
  std::int64_t sentBefore_ = 0;  // frames sent by earlier power-ups
  std::int64_t sentLast_ = 0;    // the unit's own count when last read
};

}  // namespace kestrova::tools
