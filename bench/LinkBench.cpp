// The whole receive path: simulated unit -> receive thread -> frame hand-off
// -> frame decoder, with the benchmark's thread playing the user-interface
// thread.
//
//  - BM_UnpacedLinkThroughput: the unit sends as fast as the receive thread
//    reads; frames decoded per second is what the program's side sustains
//    (the real link carries at most 11.36 frames a second).
//  - BM_PacedStreamingCpu: a few seconds of streaming at the real wire rate;
//    CPU time per second of streaming, for the whole process and for the
//    program's side (receive thread plus decoding).
//  - BM_BridgeFrameLatency: the bridge model alone (BridgeReceivePath, on a
//    driven clock), frames streaming back to back at the wire rate and a
//    pause after the last: from each frame's last byte leaving the wire to
//    the IN transfer that brings it to the receive queue. Arguments: the IN
//    transfer size and the latency timer, as the vendor driver leaves them
//    (4096, 16) and as the session sets them (512, 4).

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include "PostedFrames.h"
#include "acquisition/FrameDecoder.h"
#include "acquisition/FrameHandoff.h"
#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "acquisition/TimeBaseTable.h"
#include "device/CommandProtocol.h"
#include "device/DeviceSession.h"
#include "simulator/BridgeReceivePath.h"
#include "simulator/SimulatedBench.h"
#include "simulator/SimulatedDriver.h"

namespace kestrova {
namespace {

using bench::NullField;
using bench::PostedFrames;

class NullScroll final : public ScrollBarControl {
 public:
  void SetRange(int /*minimum*/, int /*maximum*/) override {}
  void SetPosition(int position) override { position_ = position; }
  [[nodiscard]] int Position() const override { return position_; }

 private:
  int position_ = 0;
};

class NullHooks final : public FrameDecoderHooks {
 public:
  void WriteRealSaveLine() override {}
  void InvalidateDisplay() override {}
  void ShowElapsedTime() override {}
};

// A streaming session on a simulated unit, and the decoder behind it.
class StreamingLink {
 public:
  explicit StreamingLink(bool paced) {
    SimulatedBenchOptions options;
    options.paced = paced;
    loader_ = MakeSimulatedDriverLoader(options);
    session_ = std::make_unique<DeviceSession>(*loader_, frames_, running_, events_, status_);
    session_->SetSerialNumber("SIM00001");
    // The program's default time base, 2 ms/div: the unit sends as fast as
    // the wire allows.
    settings_.timeIndex = 4;
    settings_.timePerDivision = TimeBaseAt(settings_.timeIndex).perDivision;
    AllocateSampleBuffer(buffer_, settings_);
  }
  ~StreamingLink() { session_->UnloadDriver(); }
  StreamingLink(const StreamingLink&) = delete;
  StreamingLink& operator=(const StreamingLink&) = delete;

  bool Open() { return session_->EnsureOpen(); }
  void Start() {
    running_.Set(true);
    SendConfiguration(*session_, settings_, settings_.timeIndex);
  }
  void Stop() {
    StopStreaming(*session_, settings_, settings_.timeIndex, buffer_, [] {});
    session_->CloseSession();
  }

  // Decodes the next frame, waiting for it if none is queued. False when
  // none came.
  bool DecodeNext() {
    FramePayload payload;
    if (!events_.TakeNext(frames_, payload, std::chrono::seconds(5))) return false;
    if (decoder_.OnFrameReady(payload.View()) == FrameOutcome::Stored) ++stored_;
    return true;
  }

  [[nodiscard]] long Stored() const { return stored_; }
  [[nodiscard]] std::uint64_t Dropped() const { return frames_.DroppedCount(); }
  [[nodiscard]] long Delivered() { return events_.Posted(); }
  [[nodiscard]] int LinkLost() { return events_.LinkLost(); }

 private:
  std::unique_ptr<DriverLoader> loader_;
  FrameHandoff frames_;
  AcquisitionRunning running_;
  PostedFrames events_;
  NullField status_;
  std::unique_ptr<DeviceSession> session_;
  ScopeSettings settings_;
  SampleBuffer buffer_;
  NullField triggerStatus_;
  NullScroll scroll_;
  NullHooks hooks_;
  FrameDecoder decoder_{settings_, buffer_, running_, triggerStatus_, scroll_, hooks_};
  long stored_ = 0;
};

void BM_UnpacedLinkThroughput(benchmark::State& state) {
  StreamingLink link(false);
  if (!link.Open()) {
    state.SkipWithError("the simulated unit did not open");
    return;
  }
  link.Start();
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    if (!link.DecodeNext()) {
      state.SkipWithError("no frame arrived");
      break;
    }
  }
  link.Stop();
  state.SetItemsProcessed(state.iterations());
  state.counters["frames_decoded_per_s"] =
      benchmark::Counter(static_cast<double>(link.Stored()), benchmark::Counter::kIsRate);
  state.counters["frames_delivered_per_s"] =
      benchmark::Counter(static_cast<double>(link.Delivered()), benchmark::Counter::kIsRate);
  state.counters["dropped_in_handoff"] = static_cast<double>(link.Dropped());
  state.counters["link_lost"] = link.LinkLost();
}
BENCHMARK(BM_UnpacedLinkThroughput)->UseRealTime()->MinTime(3.0);

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

double ThisThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

std::set<std::string> Tasks() {
  std::set<std::string> tasks;
  std::error_code error;
  for (std::filesystem::directory_iterator it("/proc/self/task", error), end; !error && it != end;
       it.increment(error)) {
    tasks.insert(it->path().filename().string());
  }
  return tasks;
}

// User plus system time of one thread of this process, from its stat line.
double TaskCpuSeconds(const std::string& task) {
  std::ifstream file("/proc/self/task/" + task + "/stat");
  const std::string line((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const auto close = line.rfind(')');
  if (close == std::string::npos) return 0.0;
  std::istringstream fields(line.substr(close + 1));
  std::vector<std::string> tokens{std::istream_iterator<std::string>(fields),
                                  std::istream_iterator<std::string>()};
  // After the name: state is the first field, utime the 12th, stime the 13th.
  if (tokens.size() < 13) return 0.0;
  const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
  return (std::stod(tokens[11]) + std::stod(tokens[12])) / ticks;
}

void BM_PacedStreamingCpu(benchmark::State& state) {
  constexpr auto kStreaming = std::chrono::seconds(5);
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    StreamingLink link(true);
    const std::set<std::string> before = Tasks();
    if (!link.Open()) {
      state.SkipWithError("the simulated unit did not open");
      return;
    }
    std::vector<std::string> started;
    std::ranges::set_difference(Tasks(), before, std::back_inserter(started));
    const std::string receiveThread = started.size() == 1 ? started.front() : std::string();

    link.Start();
    const double process0 = ProcessCpuSeconds();
    const double receive0 = receiveThread.empty() ? 0.0 : TaskCpuSeconds(receiveThread);
    const double main0 = ThisThreadCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - wall0 < kStreaming) link.DecodeNext();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    const double decode = ThisThreadCpuSeconds() - main0;
    const double receive = receiveThread.empty() ? 0.0 : TaskCpuSeconds(receiveThread) - receive0;
    const double process = ProcessCpuSeconds() - process0;
    link.Stop();

    state.counters["process_cpu_ms_per_s"] = 1000.0 * process / wall;
    state.counters["receive_thread_cpu_ms_per_s"] = 1000.0 * receive / wall;
    state.counters["decode_cpu_ms_per_s"] = 1000.0 * decode / wall;
    state.counters["program_cpu_ms_per_s"] = 1000.0 * (receive + decode) / wall;
    state.counters["frames_per_s"] = static_cast<double>(link.Stored()) / wall;
    state.counters["receive_thread_found"] = receiveThread.empty() ? 0 : 1;
    state.counters["link_lost"] = link.LinkLost();
  }
}
BENCHMARK(BM_PacedStreamingCpu)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kestrova

namespace {

void BM_BridgeFrameLatency(benchmark::State& state) {
  constexpr std::size_t kFrameBytes = 8005;
  constexpr int kFrames = 20;
  const auto byteTime = kestrova::SimTime(std::chrono::microseconds(11));
  std::vector<double> latencies;
  for (auto _ : state) {
    kestrova::BridgeReceivePath bridge(
        {.packetSize = 64, .inTransferSize = 4096, .defaultLatency = std::chrono::milliseconds(16)});
    bridge.Reset(kestrova::SimTime{});
    bridge.SetTransferSize(static_cast<std::size_t>(state.range(0)));
    bridge.SetLatencyTimer(std::chrono::milliseconds(state.range(1)));
    std::vector<std::uint8_t> completed;
    latencies.clear();
    const std::uint8_t byte = 0x55;
    std::size_t sent = 0;
    kestrova::SimTime now{};
    // The last byte of frame k is byte (k + 1) * kFrameBytes - 1 of the stream.
    std::size_t nextLast = kFrameBytes - 1;
    std::vector<kestrova::SimTime> lastArrivals;
    const auto note = [&] {
      while (nextLast < sent && completed.size() > nextLast) {
        latencies.push_back(
            std::chrono::duration<double, std::milli>(now - lastArrivals[latencies.size()]).count());
        nextLast += kFrameBytes;
      }
    };
    for (int frame = 0; frame < kFrames; ++frame) {
      for (std::size_t i = 0; i < kFrameBytes; ++i) {
        now = byteTime * static_cast<std::int64_t>(sent);
        bridge.AdvanceTo(now, completed);
        note();
        bridge.Accept(std::span(&byte, 1), now, byteTime, completed);
        ++sent;
        if (i + 1 == kFrameBytes) lastArrivals.push_back(now);
        note();
      }
    }
    // The pause after the last frame: only the latency timer ends its transfer.
    while (latencies.size() < lastArrivals.size()) {
      now += std::chrono::microseconds(100);
      bridge.AdvanceTo(now, completed);
      note();
    }
    benchmark::DoNotOptimize(completed.data());
  }
  std::ranges::sort(latencies);
  state.counters["latency_p50_ms"] = latencies[latencies.size() / 2];
  state.counters["latency_max_ms"] = latencies.back();
}
BENCHMARK(BM_BridgeFrameLatency)->Args({4096, 16})->Args({512, 4})->Iterations(1);

}  // namespace
