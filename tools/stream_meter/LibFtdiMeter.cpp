#include "stream_meter/LibFtdiMeter.h"

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "FakeLibFtdi.h"
#include "acquisition/ControlIds.h"
#include "device/LibFtdiDriver.h"
#include "device/ThreadName.h"
#include "support/NumberedFrames.h"
#include "support/StreamingUnit.h"
#include "support/WindowRig.h"

namespace kestrova::tools {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kSerial = "KV0001";

// The raw sample a stored value came from: the decoder stored raw x scale +
// offset of the current mode.
std::uint16_t RawSample(const CScopeDlg& dlg, int slot, int channel) {
  const ScopeSettings& settings = dlg.Settings();
  const int m = settings.Mode();
  const auto c = static_cast<std::size_t>(channel);
  const double value = dlg.Buffer().Values(slot, channel)[0];
  const double raw = (value - settings.offset[m][c]) / settings.scale[m][c];
  return static_cast<std::uint16_t>(std::lround(raw));
}

std::uint64_t CountLines(const std::string& path) {
  std::ifstream file(path);
  std::uint64_t lines = 0;
  for (std::string line; std::getline(file, line);) ++lines;
  return lines;
}

// Receive flushes the window asked of the chip after the first `skip` calls
// of its log: a purge of a backlog past the receive-queue limit.
std::size_t ReceivePurges(const fakes::FakeLibFtdi& chip, std::size_t skip) {
  const std::vector<std::string> log = chip.Log();
  return static_cast<std::size_t>(
      std::count_if(log.begin() + static_cast<std::ptrdiff_t>(std::min(skip, log.size())), log.end(),
                    [](const std::string& call) {
                      return call.starts_with("ftdi_tciflush") || call.starts_with("ftdi_tcioflush");
                    }));
}

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int MeterLibFtdi(const MeterOptions& options) {
  // Torn down in reverse: the unit stops sending, the window closes the
  // unit, the chip goes last.
  fakes::FakeLibFtdi chip;
  chip.Attach({0x0403, 0x6120, "Orvanta USBCOM", kSerial});
  WindowRig rig(MakeLibFtdiDriverLoader(chip.Calls()));
  StreamingUnit unit(chip);
  CScopeDlg& dlg = rig.Dialog();
  if (!rig.ChooseTimeBase(options.timeBase)) {
    std::fprintf(stderr, "unknown time base \"%s\"\n", options.timeBase.c_str());
    return 2;
  }

  // The real-time log at its shortest interval: a line for every frame.
  const QTemporaryDir logDir;
  const std::string logPath = logDir.filePath("stream.log").toStdString();
  rig.Click(ctl::RealSaveEnable);
  rig.Messages().saveAnswer = logPath;
  rig.Click(ctl::RealSaveBrowse);
  if (!dlg.Panel().IsChecked(ctl::RealSaveEnable) || dlg.Settings().realSaveIndex != 0) {
    std::fprintf(stderr, "the real-time log could not be set up\n");
    return 1;
  }

  // Every frame the window stores passes here, in the order stored: its
  // running number is read back from the samples in the history slot.
  FrameSequence sequence;
  std::optional<std::uint32_t> newest;
  std::uint64_t storedSincePaint = 0;
  rig.OnStored([&](int slot) {
    newest = FrameNumberOf(RawSample(dlg, slot, 0), RawSample(dlg, slot, 1));
    sequence.Stored(*newest);
    ++storedSincePaint;
  });

  // Latency: the first paint after a frame was stored shows it; a frame
  // replaced before any paint showed it is counted apart.
  std::vector<double> latenciesMs;
  std::uint64_t paints = 0;
  std::uint64_t neverPainted = 0;
  bool measuring = false;
  rig.OnPaint([&] {
    ++paints;
    if (storedSincePaint == 0 || !newest) return;
    const Clock::time_point now = Clock::now();
    if (measuring) {
      neverPainted += storedSincePaint - 1;
      if (const auto atChip = unit.LastByteAtChip(*newest))
        latenciesMs.push_back(Milliseconds(now - *atChip));
    }
    storedSincePaint = 0;
  });

  dlg.OnStart();
  if (!dlg.Running()) {
    std::fprintf(stderr, "the window did not start streaming\n");
    return 1;
  }
  const std::size_t callsBeforeStreaming = chip.Log().size();
  unit.Start();
  WindowRig::Pump(2s);  // the first paints build fonts and caches

  const int uiTid = CurrentThreadId();
  const std::string loadBefore = LoadAverage();
  const std::uint32_t sentBefore = unit.Sent();
  const std::uint64_t paintsBefore = paints;
  const std::uint64_t handoffDropsBefore = dlg.Session().Frames().DroppedCount();
  const std::vector<ThreadTimes> threadsBefore = ReadThreadTimes();
  const Clock::time_point start = Clock::now();
  measuring = true;

  WindowRig::Pump(std::chrono::seconds(options.seconds));

  const std::vector<ThreadTimes> threadsAfter = ReadThreadTimes();
  auto cpu = CpuByThread(uiTid, threadsBefore, threadsAfter);
  auto sleeps = ByThread(uiTid, threadsBefore, threadsAfter, &ThreadTimes::sleeps);
  const Clock::time_point end = Clock::now();
  const double wall = std::chrono::duration<double>(end - start).count();
  measuring = false;
  unit.Stop();
  const std::uint32_t sent = unit.Sent();
  // The link's use: the frames that reached the chip while measuring.
  std::uint32_t arrivedMeasuring = 0;
  for (std::uint32_t n = sentBefore > 2 ? sentBefore - 2 : 0; n < sent; ++n) {
    const auto at = unit.LastByteAtChip(n);
    if (at && *at >= start && *at < end) ++arrivedMeasuring;
  }
  // The last frames are still on the wire or in the transfers.
  WindowRig::PumpUntil([&] { return sequence.StoredOf(sent) >= sent; }, 5s);
  const FrameSequence::Summary summary = sequence.Check(sent);
  const std::uint64_t handoffDrops = dlg.Session().Frames().DroppedCount() - handoffDropsBefore;
  const bool stillRunning = dlg.Running();
  const std::string lossNote = dlg.Panel().Text(ctl::StatusLine);
  dlg.OnStop();  // closes the log
  const std::uint64_t logLines = CountLines(logPath);
  const std::size_t bytesDropped = chip.DroppedBytes();
  const std::size_t purges = ReceivePurges(chip, callsBeforeStreaming);

  const auto percent = [&](std::uint64_t ns) { return PercentOfCore(ns, wall); };
  const std::uint64_t ui = cpu[kWindowThread];
  const std::uint64_t receive = cpu[std::string(kReceiveThreadName)];
  const std::uint64_t reader = cpu[std::string(kUsbReaderThreadName)];
  const std::uint64_t unitCpu = cpu[StreamingUnit::kUnitThreadName];
  std::uint64_t other = 0;
  for (const auto& [name, ns] : cpu) other += ns;
  other -= ui + receive + reader + unitCpu;
  const double linkBusy = 100.0 * static_cast<double>(arrivedMeasuring) *
                          static_cast<double>(NumberedUnitFrame(0).size()) *
                          std::chrono::duration<double>(fakes::FakeLibFtdi::kByteTime).count() / wall;

  std::printf(
      "libftdi1 over the chip model, time base %s, %.1f s measured, %ld cores, %d busy processes, "
      "load average %s before, %s after\n",
      options.timeBase.c_str(), wall, sysconf(_SC_NPROCESSORS_ONLN), options.busy, loadBefore.c_str(),
      LoadAverage().c_str());
  std::printf(
      "CPU (%% of one core): window thread %.2f, receive thread %.2f, USB reader thread %.2f, "
      "together %.2f; unit model %.2f, other threads %.2f\n",
      percent(ui), percent(receive), percent(reader), percent(ui + receive + reader), percent(unitCpu),
      percent(other));
  std::printf("wake-ups per second: window thread %.0f, receive thread %.0f, USB reader thread %.0f\n",
              static_cast<double>(sleeps[kWindowThread]) / wall,
              static_cast<double>(sleeps[std::string(kReceiveThreadName)]) / wall,
              static_cast<double>(sleeps[std::string(kUsbReaderThreadName)]) / wall);
  std::printf(
      "frames: sent %u (%u reached the chip while measuring: link %.1f %% busy); stored %llu; "
      "lost %llu; repeated %llu; out of order %llu; never sent %llu; hand-off drops %llu; log lines %llu\n",
      sent, arrivedMeasuring, linkBusy, static_cast<unsigned long long>(summary.stored),
      static_cast<unsigned long long>(summary.missing), static_cast<unsigned long long>(summary.duplicated),
      static_cast<unsigned long long>(summary.reordered), static_cast<unsigned long long>(summary.foreign),
      static_cast<unsigned long long>(handoffDrops), static_cast<unsigned long long>(logLines));
  std::printf("bytes the chip dropped: %zu; receive purges while streaming: %zu; the window's status line: \"%s\"\n",
              bytesDropped, purges, lossNote.c_str());
  std::printf(
      "paints %llu; latency last byte into the chip -> end of paint over %zu frames (%llu replaced "
      "unpainted): p50 %.2f ms, p99 %.2f ms, max %.2f ms\n",
      static_cast<unsigned long long>(paints - paintsBefore), latenciesMs.size(),
      static_cast<unsigned long long>(neverPainted), Percentile(latenciesMs, 0.5),
      Percentile(latenciesMs, 0.99), Percentile(latenciesMs, 1.0));

  bool ok = true;
  const auto fail = [&ok](const char* why) {
    std::fprintf(stderr, "FAIL: %s\n", why);
    ok = false;
  };
  if (!stillRunning) fail("the run ended by itself (lost link?)");
  if (!summary.Faultless()) fail("frames lost, repeated, out of order or never sent");
  if (bytesDropped != 0) fail("the chip dropped bytes");
  if (logLines != summary.stored) fail("the real-time log has not one line per stored frame");
  if ((!summary.Faultless() || bytesDropped != 0) && lossNote.empty()) fail("a loss the window did not show");
  return ok ? 0 : 1;
}

}  // namespace kestrova::tools
