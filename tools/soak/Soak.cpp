// The soak: the real main window (offscreen) on the simulated unit for
// minutes, under a seeded random schedule of every fault the simulated unit
// can inject, interleaved with what a user does (Start and Stop, time bases
// across the single/multi-frame boundary, mode switches, Single re-arming,
// Unit Check while stopped, logging on and off). It counts what happened to
// the frames and fails on a crash, a window that stops answering for 2 s, a
// receive thread left running, a leaked file descriptor, a log file left
// open after its run, or a history slot that is not one frame the unit sent.
//
//   kestrova_soak [--faults=200] [--seconds=0] [--seed=1] [--speed=3] [--long]
//
// --speed runs the simulated wire that many times faster than its real rate
// (the program's own waits stay real); --long means 1000 faults; --seconds
// ends the run after that long even if fewer faults were injected (0: no
// limit). Exit status 0 when every check held.
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "acquisition/ControlIds.h"
#include "acquisition/TimeBaseTable.h"
#include "device/ThreadName.h"
#include "simulator/DriverCall.h"
#include "support/ProcessProbe.h"
#include "support/WindowRig.h"

namespace kt = kestrova::tools;
namespace ctl = kestrova::ctl;
using kestrova::DriverCall;
using namespace std::chrono_literals;

namespace {

struct Options {
  int faults = 200;
  int seconds = 0;
  std::uint32_t seed = 1;
  double speed = 3.0;
};

bool ParseArguments(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&](const std::string& prefix) -> std::optional<std::string> {
      if (arg.rfind(prefix, 0) == 0) return arg.substr(prefix.size());
      return std::nullopt;
    };
    if (auto v = value("--faults=")) {
      options.faults = std::max(0, std::atoi(v->c_str()));
    } else if (auto v = value("--seconds=")) {
      options.seconds = std::max(0, std::atoi(v->c_str()));
    } else if (auto v = value("--seed=")) {
      options.seed = static_cast<std::uint32_t>(std::strtoul(v->c_str(), nullptr, 10));
    } else if (auto v = value("--speed=")) {
      options.speed = std::clamp(std::atof(v->c_str()), 0.1, 20.0);
    } else if (arg == "--long") {
      options.faults = 1000;
    } else {
      std::fprintf(stderr, "unknown argument %s\n", arg.c_str());
      return false;
    }
  }
  return true;
}

// Ends the process when the window thread has not run its event loop for
// two seconds: a hang, or a handler that blocks.
class Watchdog {
 public:
  static constexpr auto kLimit = 2s;

  Watchdog() {
    beat_.setInterval(100);
    QObject::connect(&beat_, &QTimer::timeout, [this] { Beat(); });
    beat_.start();
    Beat();
    thread_ = std::jthread([this](const std::stop_token& stop) { Watch(stop); });
  }
  // What the window thread is doing, for the report; a string literal.
  void Doing(const char* what) { doing_.store(what, std::memory_order_relaxed); }
  void Beat() { last_.store(Now(), std::memory_order_relaxed); }

 private:
  static std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void Watch(const std::stop_token& stop) {
    kestrova::SetCurrentThreadName("soak-watchdog");
    while (!stop.stop_requested()) {
      std::this_thread::sleep_for(100ms);
      const std::int64_t silent = Now() - last_.load(std::memory_order_relaxed);
      if (silent > std::chrono::milliseconds(kLimit).count()) {
        std::fprintf(stderr, "FAIL: the window stopped answering for %lld ms during: %s\n",
                     static_cast<long long>(silent), doing_.load(std::memory_order_relaxed));
        std::fflush(stderr);
        std::_Exit(3);
      }
    }
  }

  QTimer beat_;
  std::atomic<std::int64_t> last_{0};
  std::atomic<const char*> doing_{"starting"};
  std::jthread thread_;
};

enum class Fault {
  VanishMidFrame,
  FailStatus,
  FailRead,
  FailWrite,
  FailOpen,
  FailSetup,    // one of the bridge set-up calls of an open
  FailListing,  // listing and device-information calls
  WrongChecksum,
  Noise,
  OverlongFrame,
  Burst,
};
constexpr std::array<const char*, 11> kFaultNames = {"unit vanished mid-frame",
                                                     "FT_GetStatus failed",
                                                     "FT_Read failed",
                                                     "FT_Write failed",
                                                     "FT_OpenEx failed",
                                                     "set-up call failed",
                                                     "listing call failed",
                                                     "wrong checksum",
                                                     "noise between frames",
                                                     "over-long frame",
                                                     "burst over the receive limit"};

enum class Action { Start, Stop, TimeBase, Mode, Auto, Normal, Single, UnitCheck, Logging };
constexpr std::array<const char*, 9> kActionNames = {"Start",  "Stop",   "time base",  "mode switch", "Auto",
                                                     "Normal", "Single", "Unit Check", "logging"};

class Soak {
 public:
  Soak(const Options& options, std::string logPath)
      : options_(options),
        rng_(options.seed),
        logPath_(std::move(logPath)),
        rig_(kt::RigOptions{options.seed, options.speed}) {
    rig_.OnStored([this](int slot) { CheckSlot(slot); });
  }

  bool Run(Watchdog& watchdog);
  void Report(double seconds) const;
  [[nodiscard]] int Failures() const { return failures_; }

 private:
  int Random(int from, int to) { return std::uniform_int_distribution<int>(from, to)(rng_); }
  bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }
  void Fail(const std::string& what) {
    ++failures_;
    if (failures_ <= 20) std::fprintf(stderr, "FAIL: %s\n", what.c_str());
  }

  void InjectFault(Watchdog& watchdog);
  void UserAction(Watchdog& watchdog);
  void CheckInvariants();
  void CheckSlot(int slot);

  const Options& options_;
  std::mt19937 rng_;
  std::string logPath_;
  kt::WindowRig rig_;
  std::array<int, kFaultNames.size()> faults_{};
  std::array<int, kActionNames.size()> actions_{};
  int faultCount_ = 0;
  int replugs_ = 0;
  int logRuns_ = 0;
  int checkedSlots_ = 0;
  int steps_ = 0;
  std::map<std::string, int> startRefusals_;  // status line after a Start that did not run
  int stepsRunning_ = 0;
  int failures_ = 0;
  std::optional<std::chrono::steady_clock::time_point> vanishedSince_;
};

void Soak::InjectFault(Watchdog& watchdog) {
  watchdog.Doing("injecting a fault");
  kestrova::SimulatedBench& bench = rig_.Bench();
  const std::string unit = kt::WindowRig::kUnitSerial;
  const auto fault = static_cast<Fault>(Random(0, static_cast<int>(kFaultNames.size()) - 1));
  switch (fault) {
    case Fault::VanishMidFrame:
      if (!bench.StatusOf(unit)->attached) return;  // already gone: nothing to pull
      bench.VanishAfterBytes(unit, static_cast<std::size_t>(Random(1, 8004)));
      break;
    case Fault::FailStatus:
      bench.FailCall(DriverCall::GetStatus, kestrova::FaultRepeat::Once);
      break;
    case Fault::FailRead:
      bench.FailCall(DriverCall::Read, kestrova::FaultRepeat::Once);
      break;
    case Fault::FailWrite:
      bench.FailCall(DriverCall::Write, kestrova::FaultRepeat::Once);
      break;
    case Fault::FailOpen:
      bench.FailCall(DriverCall::OpenEx, kestrova::FaultRepeat::Once);
      break;
    case Fault::FailSetup: {
      constexpr std::array kSetup = {
          DriverCall::ResetDevice,    DriverCall::SetDivisor, DriverCall::SetDataCharacteristics,
          DriverCall::SetFlowControl, DriverCall::Purge,      DriverCall::SetEventNotification};
      bench.FailCall(kSetup[static_cast<std::size_t>(Random(0, kSetup.size() - 1))],
                     kestrova::FaultRepeat::Once);
      break;
    }
    case Fault::FailListing: {
      constexpr std::array kListing = {DriverCall::ListDevices, DriverCall::CreateDeviceInfoList,
                                       DriverCall::GetDeviceInfoList};
      bench.FailCall(kListing[static_cast<std::size_t>(Random(0, kListing.size() - 1))],
                     kestrova::FaultRepeat::Once);
      break;
    }
    case Fault::WrongChecksum:
      bench.CorruptNextChecksum(unit);
      break;
    case Fault::Noise:
      bench.InjectNoise(unit, static_cast<std::size_t>(Random(1, 3000)));
      break;
    case Fault::OverlongFrame:
      bench.InjectOverlongFrame(unit, static_cast<std::size_t>(Random(8004, 9500)));
      break;
    case Fault::Burst:
      bench.InjectBurst(unit, Random(2, 3));
      break;
  }
  ++faults_[static_cast<std::size_t>(fault)];
  ++faultCount_;
}

void Soak::UserAction(Watchdog& watchdog) {
  kestrova::CScopeDlg& dlg = rig_.Dialog();
  // A stopped window is started again more often than not, so that most
  // faults meet a streaming session.
  const auto action =
      !dlg.Running() && Chance(0.6) ? Action::Start : static_cast<Action>(Random(0, kActionNames.size() - 1));
  watchdog.Doing(kActionNames[static_cast<std::size_t>(action)]);
  switch (action) {
    case Action::Start:
      rig_.Click(ctl::Start);
      break;
    case Action::Stop:
      rig_.Click(ctl::Stop);
      break;
    case Action::TimeBase: {
      // Mostly across the boundary between 5 ms (one frame a screen) and
      // 10 ms (the history), sometimes anywhere.
      const int index = Chance(0.7) ? Random(4, 7) : Random(0, kestrova::kTimeBaseCount - 1);
      rig_.ChooseTimeBase(index);
      break;
    }
    case Action::Mode:
      rig_.Click(ctl::ModeRadio[static_cast<std::size_t>(Random(0, ctl::ModeRadio.size() - 1))]);
      break;
    case Action::Auto:
      rig_.Click(ctl::AutoRadio);
      break;
    case Action::Normal:
      rig_.Click(ctl::NormalRadio);
      break;
    case Action::Single:
      rig_.Click(ctl::SingleRadio);  // re-arms while running, starts while stopped
      break;
    case Action::UnitCheck:
      rig_.Click(ctl::UnitCheck);  // enabled only while stopped
      break;
    case Action::Logging:
      // The logging controls only take changes while stopped.
      if (!dlg.Running()) {
        // Mostly on, sometimes off again; the file name is chosen once the
        // box is ticked ("..." is enabled only then).
        if (dlg.Panel().IsChecked(ctl::RealSaveEnable) != Chance(0.75)) rig_.Click(ctl::RealSaveEnable);
        rig_.Messages().saveAnswer = logPath_;
        rig_.Click(ctl::RealSaveBrowse);
      }
      break;
  }
  ++actions_[static_cast<std::size_t>(action)];
  if (action == Action::Start && dlg.Running() && dlg.Panel().IsChecked(ctl::RealSaveEnable)) ++logRuns_;
  if (action == Action::Start && !dlg.Running()) ++startRefusals_[dlg.Panel().Text(ctl::StatusLine)];
}

void Soak::CheckInvariants() {
  kestrova::CScopeDlg& dlg = rig_.Dialog();
  const int receivers = kt::CountThreadsNamed(std::string(kestrova::kReceiveThreadName));
  const bool open = dlg.Session().IsOpen();
  if (receivers > (open ? 1 : 0)) {
    Fail("receive threads running: " + std::to_string(receivers) + " with the session " +
         (open ? "open" : "closed"));
  }
  if (!open && kt::IsFileOpen(logPath_)) Fail("the log file is still open with the session closed");
}

// Every stored slot must be one frame the unit sent, sample for sample: a
// slot mixing two payloads, or one frame decoded against another's bytes,
// matches none.
void Soak::CheckSlot(int slot) {
  ++checkedSlots_;
  const kestrova::CScopeDlg& dlg = rig_.Dialog();
  const kestrova::ScopeSettings& settings = dlg.Settings();
  const kestrova::SampleBuffer& buffer = dlg.Buffer();
  const int m = settings.Mode();
  const kestrova::UnitStatus unit = rig_.Unit();
  const auto expected = [&](const kestrova::SentFrame& sent, int c, int i) {
    const std::uint16_t raw = sent.waveform.Sample(c, sent.firstSample + i);
    const auto cm = static_cast<std::size_t>(m);
    const auto cc = static_cast<std::size_t>(c);
    const double number = settings.unsignedSamples[cm][cc] != 0
                              ? static_cast<double>(raw)
                              : static_cast<double>(static_cast<std::int16_t>(raw));
    return number * settings.scale[cm][cc] + settings.offset[cm][cc];
  };
  // Newest first: the frame just stored is normally the last one sent.
  for (std::size_t k = unit.recentFrames.size(); k-- > 0;) {
    const kestrova::SentFrame& sent = unit.recentFrames[k];
    bool same = true;
    for (int c = 0; c < kestrova::kChannelCount && same; ++c) {
      const auto values = buffer.Values(slot, c);
      for (int i = 0; i < kestrova::kSamplesPerFrame && same; ++i)
        same = values[static_cast<std::size_t>(i)] == expected(sent, c, i);
    }
    if (!same) continue;
    if (sent.checksumCorrupted) Fail("a frame sent with a wrong checksum was stored");
    return;
  }
  Fail("history slot " + std::to_string(slot) + " holds no frame the unit sent (first values " +
       std::to_string(buffer.Values(slot, 0)[0]) + ", " + std::to_string(buffer.Values(slot, 0)[499]) + ")");
}

bool Soak::Run(Watchdog& watchdog) {
  const auto start = std::chrono::steady_clock::now();
  kestrova::CScopeDlg& dlg = rig_.Dialog();
  dlg.OnStart();
  while (faultCount_ < options_.faults) {
    if (options_.seconds > 0 &&
        std::chrono::steady_clock::now() - start > std::chrono::seconds(options_.seconds))
      break;
    // A vanished unit is plugged in again after a while, as a user would.
    const bool attached = rig_.Bench().StatusOf(kt::WindowRig::kUnitSerial)->attached;
    if (attached) {
      vanishedSince_.reset();
    } else if (!vanishedSince_) {
      vanishedSince_ = std::chrono::steady_clock::now();
    } else if (std::chrono::steady_clock::now() - *vanishedSince_ >
               std::chrono::milliseconds(Random(200, 1500))) {
      rig_.FramesSent();  // the count restarts with the unit's power-up
      rig_.Bench().AttachUnit(kt::WindowRig::kUnitSerial);
      ++replugs_;
    }

    if (rig_.Dialog().Running() && Chance(0.6)) {
      InjectFault(watchdog);
    } else {
      UserAction(watchdog);
    }
    watchdog.Doing("processing events");
    kt::WindowRig::Pump(std::chrono::milliseconds(Random(20, 250)));
    CheckInvariants();
    rig_.FramesSent();
    if (dlg.Running()) ++stepsRunning_;
    ++steps_;
    if (faultCount_ % 50 == 0 && faultCount_ > 0) {
      static int reported = 0;
      if (reported != faultCount_) {
        reported = faultCount_;
        std::printf("... %d faults, %llu frames stored\n", faultCount_,
                    static_cast<unsigned long long>(rig_.Tally().stored));
        std::fflush(stdout);
      }
    }
  }
  // Let the last faults play out, then stop as a user would.
  watchdog.Doing("final stop");
  rig_.Bench().ClearCallFaults();
  if (!rig_.Bench().StatusOf(kt::WindowRig::kUnitSerial)->attached) {
    rig_.FramesSent();
    rig_.Bench().AttachUnit(kt::WindowRig::kUnitSerial);
  }
  kt::WindowRig::Pump(500ms);
  rig_.Click(ctl::Stop);
  kt::WindowRig::Pump(200ms);
  CheckInvariants();
  // A run in which the window hardly streamed proves nothing.
  if (rig_.Tally().stored < static_cast<std::uint64_t>(options_.faults)) {
    Fail("only " + std::to_string(rig_.Tally().stored) + " frames were stored");
  }
  Report(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  return failures_ == 0;
}

void Soak::Report(double seconds) const {
  kt::WindowRig& rig = const_cast<kt::WindowRig&>(rig_);
  const kt::FrameTally& tally = rig.Tally();
  const std::int64_t sent = rig.FramesSent();
  const std::uint64_t queueDrops = rig.Dialog().Session().Frames().DroppedCount();
  const auto notReceived = sent - static_cast<std::int64_t>(tally.taken + queueDrops);
  std::printf("soak: seed %u, %.0f s, wire at %.1f x its rate, load average %s\n", options_.seed, seconds,
              options_.speed, kt::LoadAverage().c_str());
  std::printf("faults injected: %d\n", faultCount_);
  for (std::size_t i = 0; i < kFaultNames.size(); ++i)
    std::printf("  %-30s %d\n", kFaultNames[i], faults_[i]);
  std::printf("user actions:");
  for (std::size_t i = 0; i < kActionNames.size(); ++i) std::printf(" %s %d;", kActionNames[i], actions_[i]);
  std::printf(" unit plugged in again %d; runs with logging %d\n", replugs_, logRuns_);
  std::printf("frames sent by the unit %lld; handed to the window %llu; decoded and stored %llu\n",
              static_cast<long long>(sent), static_cast<unsigned long long>(tally.taken),
              static_cast<unsigned long long>(tally.stored));
  std::printf(
      "frames dropped: checksum (injected, or a unit-check reply) %llu, monitor frames in Normal/Single "
      "%llu, not sample data %llu, "
      "queue limit %llu, lost before the window (unit pulled, purged backlog, stopped mid-frame) %lld\n",
      static_cast<unsigned long long>(tally.rejected), static_cast<unsigned long long>(tally.monitorDropped),
      static_cast<unsigned long long>(tally.notSampleData), static_cast<unsigned long long>(queueDrops),
      static_cast<long long>(notReceived));
  std::map<std::string, int> messages;
  for (const std::string& m : rig.Messages().messages) ++messages[m];
  std::printf("running after %d of %d steps; messages shown:", stepsRunning_, steps_);
  for (const auto& [text, count] : messages) std::printf(" \"%s\" %d;", text.c_str(), count);
  std::printf("\n");
  std::printf("Start refused, by status line:");
  for (const auto& [text, count] : startRefusals_) std::printf(" \"%s\" %d;", text.c_str(), count);
  std::printf("\n");
  std::printf("link losses reported %llu, recovered at once %llu; history slots checked %d; failures %d\n",
              static_cast<unsigned long long>(tally.linkLostReports),
              static_cast<unsigned long long>(tally.linkRecovered), checkedSlots_, failures_);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseArguments(argc, argv, options)) return 2;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QTemporaryDir folder;
  if (!folder.isValid()) {
    std::fprintf(stderr, "cannot create a temporary folder\n");
    return 2;
  }
  const std::string logPath = folder.filePath(QStringLiteral("soak-log.txt")).toStdString();

  // One short run first, so that what Qt opens once per process (fonts,
  // the platform) is open before the descriptors are counted.
  {
    kt::WindowRig warmUp(kt::RigOptions{options.seed, options.speed});
    warmUp.Dialog().OnStart();
    kt::WindowRig::Pump(300ms);
    warmUp.Dialog().OnStop();
  }
  const std::vector<std::string> descriptorsBefore = kt::OpenDescriptors();

  Watchdog watchdog;
  int failures = 0;
  {
    Soak soak(options, logPath);
    soak.Run(watchdog);
    failures = soak.Failures();
    watchdog.Doing("closing the window");
  }
  watchdog.Doing("final checks");
  const int receivers = kt::CountThreadsNamed(std::string(kestrova::kReceiveThreadName));
  if (receivers != 0) {
    std::fprintf(stderr, "FAIL: %d receive threads outlived the window\n", receivers);
    ++failures;
  }
  const std::vector<std::string> descriptorsAfter = kt::OpenDescriptors();
  if (descriptorsAfter.size() > descriptorsBefore.size()) {
    std::fprintf(stderr, "FAIL: %zu file descriptors before, %zu after:\n", descriptorsBefore.size(),
                 descriptorsAfter.size());
    for (const std::string& d : descriptorsAfter) {
      if (std::ranges::find(descriptorsBefore, d) == descriptorsBefore.end())
        std::fprintf(stderr, "  %s\n", d.c_str());
    }
    ++failures;
  }
  std::printf("file descriptors before %zu, after %zu; receive threads left %d\n", descriptorsBefore.size(),
              descriptorsAfter.size(), receivers);
  std::printf(failures == 0 ? "soak passed\n" : "soak FAILED\n");
  return failures == 0 ? 0 : 1;
}
