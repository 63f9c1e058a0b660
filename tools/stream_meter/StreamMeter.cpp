// Streams from the simulated unit into the real main window (offscreen) and
// reports what it costs and whether anything is lost: CPU seconds per second
// of the window thread and of the receive thread (the simulated unit's wire
// thread left out) and how often each woke, frames sent against frames decoded, and the latency from
// a frame's last byte read by the receive thread to the end of the paint
// that shows it.
//
//   kestrova_stream_meter [--time-base="2 ms"] [--seconds=20] [--fill-history]
//                         [--seed=1]
//
// --fill-history waits until the history holds 100 frames before measuring
// (for the history time bases). Exit status 0 when no frame was lost.
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
#include "support/ProcessProbe.h"
#include "support/WindowRig.h"

namespace kt = kestrova::tools;
using namespace std::chrono_literals;

namespace {

struct Options {
  std::string timeBase = "2 ms";
  int seconds = 20;
  bool fillHistory = false;
  std::uint32_t seed = 1;
};

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
    } else if (arg == "--fill-history") {
      options.fillHistory = true;
    } else {
      std::fprintf(stderr, "unknown argument %s\n", arg.c_str());
      return false;
    }
  }
  return true;
}

// CPU nanoseconds per thread kind: the window thread, receive threads, the
// wire thread and everything else; and how often the first two slept.
struct CpuSplit {
  std::uint64_t ui = 0;
  std::uint64_t receive = 0;
  std::uint64_t wire = 0;
  std::uint64_t other = 0;
  std::uint64_t uiSleeps = 0;
  std::uint64_t receiveSleeps = 0;
};

// CPU time each thread used between two readings; a thread that started in
// between counts from zero, one that ended in between is missing.
CpuSplit SplitCpu(int uiTid, const std::vector<kt::ThreadTimes>& before,
                  const std::vector<kt::ThreadTimes>& after) {
  CpuSplit split;
  for (const kt::ThreadTimes& t : after) {
    std::uint64_t used = t.cpuNs;
    std::uint64_t slept = t.sleeps;
    const auto earlier = std::ranges::find(before, t.tid, &kt::ThreadTimes::tid);
    if (earlier != before.end()) {
      used = t.cpuNs >= earlier->cpuNs ? t.cpuNs - earlier->cpuNs : 0;
      slept = t.sleeps >= earlier->sleeps ? t.sleeps - earlier->sleeps : 0;
    }
    if (t.tid == uiTid) {
      split.ui += used;
      split.uiSleeps += slept;
    } else if (t.name == kestrova::kReceiveThreadName) {
      split.receive += used;
      split.receiveSleeps += slept;
    } else if (t.name == kestrova::kWireThreadName) {
      split.wire += used;
    } else {
      split.other += used;
    }
  }
  return split;
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::ranges::sort(values);
  const auto index = static_cast<std::size_t>(std::lround(p * static_cast<double>(values.size() - 1)));
  return values[std::min(index, values.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseArguments(argc, argv, options)) return 2;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);

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

  const CpuSplit cpu = SplitCpu(uiTid, threadsBefore, kt::ReadThreadTimes());
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
  dlg.OnStop();

  const auto percent = [&](std::uint64_t ns) { return 100.0 * static_cast<double>(ns) / 1e9 / wall; };
  const long cores = sysconf(_SC_NPROCESSORS_ONLN);
  std::printf("time base %s, %.1f s measured%s, %ld cores, load average %s before, %s after\n",
              options.timeBase.c_str(), wall, options.fillHistory ? " with 100 frames in the history" : "",
              cores, loadBefore.c_str(), kt::LoadAverage().c_str());
  std::printf(
      "CPU (%% of one core): window thread %.2f, receive thread %.2f, together %.2f; "
      "simulated wire %.2f, other threads %.2f\n",
      percent(cpu.ui), percent(cpu.receive), percent(cpu.ui + cpu.receive), percent(cpu.wire),
      percent(cpu.other));
  std::printf("wake-ups per second: window thread %.0f, receive thread %.0f\n",
              static_cast<double>(cpu.uiSleeps) / wall, static_cast<double>(cpu.receiveSleeps) / wall);
  std::printf(
      "frames: sent while measuring %lld; taken %lld and decoded %lld by then or within 5 s; lost %lld; "
      "queue-limit drops %llu; "
      "receive-queue bytes lost %llu\n",
      static_cast<long long>(mustDecode), static_cast<long long>(taken), static_cast<long long>(decoded),
      static_cast<long long>(lost), static_cast<unsigned long long>(queueDrops),
      static_cast<unsigned long long>(bytesLost));
  std::printf(
      "paints %llu; latency last byte read -> end of paint over %zu frames: p50 %.2f ms, p99 %.2f ms, "
      "max %.2f ms\n",
      static_cast<unsigned long long>(paints - paintsBefore), latenciesMs.size(),
      Percentile(latenciesMs, 0.5), Percentile(latenciesMs, 0.99), Percentile(latenciesMs, 1.0));
  return lost == 0 && queueDrops == 0 ? 0 : 1;
}
