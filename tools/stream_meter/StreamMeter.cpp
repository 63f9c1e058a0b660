// Streams from a unit into the real main window (offscreen) and reports
// what it costs and whether anything is lost: CPU seconds per second of the
// window thread and of the receive thread, frames sent against frames
// decoded, and the latency to the end of the paint that shows a frame.
//
//   kestrova_stream_meter [--driver=simulated|vendor|libftdi] [--time-base="2 ms"]
//                         [--seconds=20] [--fill-history] [--seed=1] [--busy=N]
//
// --driver=simulated (the default), or vendor (the same): the simulated unit
// behind the driver with the vendor library's semantics and the bridge
// model's transfers and latency timer, as the session sets them; latency counts from
// the frame's last byte read by the receive thread (the simulated wire
// thread's CPU is shown apart). Both modes say how often the window and
// receive threads woke.
// --driver=libftdi: the libftdi1 backend over the model of the bridge chip
// (LibFtdiMeter.cpp), the unit streaming numbered frames at the full link
// rate; latency counts from a frame's last byte entering the chip.
// --fill-history waits until the history holds 100 frames before measuring
// (for the history time bases; simulated unit only). --busy=N runs N CPU spinners beside the
// meter while it runs. Exit status 0 when no frame was lost.
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "acquisition/ControlIds.h"
#include "device/ThreadName.h"
#include "stream_meter/LibFtdiMeter.h"
#include "stream_meter/MeterFigures.h"
#include "support/BusyProcesses.h"
#include "support/ProcessProbe.h"
#include "support/WindowRig.h"

namespace kt = kestrova::tools;
using namespace std::chrono_literals;

namespace {

using Options = kt::MeterOptions;

bool ParseArguments(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&](const char* prefix) -> std::optional<std::string> {
      const std::string p = prefix;
      if (arg.rfind(p, 0) == 0) return arg.substr(p.size());
      return std::nullopt;
    };
    if (auto v = value("--time-base=")) {
      options.timeBase = *v;
    } else if (auto v = value("--seconds=")) {
      options.seconds = std::max(1, std::atoi(v->c_str()));
    } else if (auto v = value("--seed=")) {
      options.seed = static_cast<std::uint32_t>(std::strtoul(v->c_str(), nullptr, 10));
    } else if (auto v = value("--busy=")) {
      options.busy = std::clamp(std::atoi(v->c_str()), 0, 64);
    } else if (arg == "--driver=simulated" || arg == "--driver=vendor" || arg == "--simulate") {
      options.driver = Options::Driver::Simulated;
    } else if (arg == "--driver=libftdi") {
      options.driver = Options::Driver::LibFtdi;
    } else if (arg == "--fill-history") {
      options.fillHistory = true;
    } else {
      std::fprintf(stderr, "unknown argument %s\n", arg.c_str());
      return false;
    }
  }
  return true;
}

int MeterSimulated(const Options& options) {
  kt::WindowRig rig(kt::RigOptions{options.seed, 1.0});
  kestrova::CScopeDlg& dlg = rig.Dialog();
  if (!rig.ChooseTimeBase(options.timeBase)) {
    std::fprintf(stderr, "unknown time base \"%s\"\n", options.timeBase.c_str());
    return 2;
  }

  // Latency: each paint that follows a newly taken frame closes that frame's
  // interval (a frame overwritten before any paint showed it is counted apart).
  std::vector<double> latenciesMs;
  std::chrono::steady_clock::time_point lastShown{};
  std::uint64_t paints = 0;
  bool measuring = false;
  rig.OnPaint([&] {
    ++paints;
    const auto received = dlg.Session().Frames().LastTakenReceived();
    if (!measuring || received == lastShown) return;
    lastShown = received;
    const auto latency = std::chrono::steady_clock::now() - received;
    latenciesMs.push_back(std::chrono::duration<double, std::milli>(latency).count());
  });

  dlg.OnStart();
  if (!dlg.Running()) {
    std::fprintf(stderr, "the window did not start streaming\n");
    return 1;
  }
  // Settle (the first paints build fonts and caches), and fill the history
  // when asked.
  kt::WindowRig::Pump(2s);
  if (options.fillHistory &&
      !kt::WindowRig::PumpUntil([&] { return dlg.Buffer().frameCount >= kestrova::kHistoryFrames; }, 60s)) {
    std::fprintf(stderr, "the history did not fill within a minute\n");
    return 1;
  }

  const int uiTid = kt::CurrentThreadId();
  const std::string loadBefore = kt::LoadAverage();
  const std::int64_t sentBefore = rig.FramesSent();
  const std::uint64_t storedBefore = rig.Tally().stored;
  const std::uint64_t takenBefore = rig.Tally().taken;
  const std::uint64_t droppedBefore = dlg.Session().Frames().DroppedCount();
  const std::uint64_t paintsBefore = paints;
  const std::vector<kt::ThreadTimes> threadsBefore = kt::ReadThreadTimes();
  const auto start = std::chrono::steady_clock::now();
  measuring = true;

  kt::WindowRig::Pump(std::chrono::seconds(options.seconds));

  const std::vector<kt::ThreadTimes> threadsAfter = kt::ReadThreadTimes();
  auto cpu = kt::CpuByThread(uiTid, threadsBefore, threadsAfter);
  auto sleeps = kt::ByThread(uiTid, threadsBefore, threadsAfter, &kt::ThreadTimes::sleeps);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::int64_t sentEnd = rig.FramesSent();
  measuring = false;
  // Every frame sent up to now must be decoded; the one on the wire needs
  // its remaining bytes first.
  const std::int64_t mustDecode = sentEnd - sentBefore;
  kt::WindowRig::PumpUntil(
      [&] { return static_cast<std::int64_t>(rig.Tally().stored - storedBefore) >= mustDecode; }, 5s);
  const auto decoded = static_cast<std::int64_t>(rig.Tally().stored - storedBefore);
  const auto taken = static_cast<std::int64_t>(rig.Tally().taken - takenBefore);
  const std::uint64_t queueDrops = dlg.Session().Frames().DroppedCount() - droppedBefore;
  const auto lost = std::max<std::int64_t>(0, mustDecode - decoded);
  const auto bytesLost = rig.Bench().StatusOf(kt::WindowRig::kUnitSerial)->bytesLost;
  const std::string lossNote = dlg.Panel().Text(kestrova::ctl::StatusLine);
  dlg.OnStop();

  const auto percent = [&](std::uint64_t ns) { return kt::PercentOfCore(ns, wall); };
  const std::uint64_t ui = cpu[kt::kWindowThread];
  const std::uint64_t receive = cpu[std::string(kestrova::kReceiveThreadName)];
  const std::uint64_t wire = cpu[std::string(kestrova::kWireThreadName)];
  std::uint64_t other = 0;
  for (const auto& [name, ns] : cpu) other += ns;
  other -= ui + receive + wire;
  const long cores = sysconf(_SC_NPROCESSORS_ONLN);
  std::printf(
      "time base %s, %.1f s measured%s, %ld cores, %d busy processes, load average %s before, %s after\n",
      options.timeBase.c_str(), wall, options.fillHistory ? " with 100 frames in the history" : "", cores,
      options.busy, loadBefore.c_str(), kt::LoadAverage().c_str());
  std::printf(
      "CPU (%% of one core): window thread %.2f, receive thread %.2f, together %.2f; "
      "simulated wire %.2f, other threads %.2f\n",
      percent(ui), percent(receive), percent(ui + receive), percent(wire), percent(other));
  std::printf("wake-ups per second: window thread %.0f, receive thread %.0f\n",
              static_cast<double>(sleeps[kt::kWindowThread]) / wall,
              static_cast<double>(sleeps[std::string(kestrova::kReceiveThreadName)]) / wall);
  std::printf(
      "frames: sent while measuring %lld; taken %lld and decoded %lld by then or within 5 s; lost %lld; "
      "queue-limit drops %llu; "
      "receive-queue bytes lost %llu\n",
      static_cast<long long>(mustDecode), static_cast<long long>(taken), static_cast<long long>(decoded),
      static_cast<long long>(lost), static_cast<unsigned long long>(queueDrops),
      static_cast<unsigned long long>(bytesLost));
  std::printf("the window's status line: \"%s\"\n", lossNote.c_str());
  std::printf(
      "paints %llu; latency last byte read -> end of paint over %zu frames: p50 %.2f ms, p99 %.2f ms, "
      "max %.2f ms\n",
      static_cast<unsigned long long>(paints - paintsBefore), latenciesMs.size(),
      kt::Percentile(latenciesMs, 0.5), kt::Percentile(latenciesMs, 0.99), kt::Percentile(latenciesMs, 1.0));
  if (lost != 0 && lossNote.empty()) std::fprintf(stderr, "FAIL: frames were lost and the window did not say so\n");
  return lost == 0 && queueDrops == 0 ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseArguments(argc, argv, options)) return 2;
  if (options.fillHistory && options.driver != Options::Driver::Simulated) {
    std::fprintf(stderr, "--fill-history is for the simulated unit\n");
    return 2;
  }
  // Before QApplication: the spinners are forked while this is the only thread.
  const kt::BusyProcesses busy(options.busy);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  if (options.driver == Options::Driver::LibFtdi) {
#ifdef KESTROVA_HAVE_LIBFTDI
    return kt::MeterLibFtdi(options);
#else
    std::fprintf(stderr, "built without libftdi1: no --driver=libftdi\n");
    return 2;
#endif
  }
  return MeterSimulated(options);
}
