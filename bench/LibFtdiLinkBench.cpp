// The libftdi1 receive path over a model of the bridge chip
// (fakes/FakeLibFtdi.h: a 256-byte FIFO filled at the link's rate, drained only while
// an IN transfer is queued): the unit streams at the full rate while the
// thread that handles the transfers' completions is held off for 50 ms at
// random moments, as a busy laptop does to it.
//
//  - bytes_dropped: what the chip's FIFO lost (the goal is 0);
//  - frames_lost: frames the unit sent that were not decoded;
//  - latency_p50_ms / latency_p99_ms / latency_max_ms: from a frame's last
//    byte entering the chip to the benchmark's thread (the user-interface
//    thread's place) holding the decoded frame.
// Argument: the number of 50 ms stalls over the 60 frames (5.3 s).

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "FakeLibFtdi.h"
#include "PostedFrames.h"
#include "WireText.h"
#include "acquisition/FrameHandoff.h"
#include "device/DeviceSession.h"
#include "device/LibFtdiDriver.h"

namespace kestrova {
namespace {

using Clock = std::chrono::steady_clock;

using bench::NullField;
using bench::PostedFrames;

std::string Payload(int frame) {
  std::string payload = "T";
  for (std::size_t i = 1; i < kMaxPayloadLength; ++i) {
    payload += static_cast<char>('0' + (static_cast<std::size_t>(frame) * 7 + i * 13) % 64);
  }
  return payload;
}

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

void BM_LibFtdiStreamUnderStalls(benchmark::State& state) {
  constexpr int kFrames = 60;
  const auto stalls = static_cast<int>(state.range(0));
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    fakes::FakeLibFtdi fake;
    fake.Attach({0x0403, 0x6120, "Orvanta USBCOM", "KV0001"});
    auto loader = MakeLibFtdiDriverLoader(fake.Calls());
    FrameHandoff frames;
    AcquisitionRunning running;
    PostedFrames events;
    NullField status;
    DeviceSession session(*loader, frames, running, events, status);
    session.SetSerialNumber("KV0001");
    if (!session.EnsureOpen()) {
      state.SkipWithError("the unit did not open");
      return;
    }
    running.Set(true);

    std::vector<std::string> sent;
    std::string stream;
    for (int f = 0; f < kFrames; ++f) {
      sent.push_back(Payload(f));
      stream += fakes::Framed(sent.back());
    }
    const std::size_t frameBytes = stream.size() / kFrames;
    const auto streamTime = fakes::FakeLibFtdi::kByteTime * static_cast<long>(stream.size());
    std::mt19937 random(stalls);
    std::uniform_int_distribution<long> moment(0, streamTime.count());
    std::vector<std::chrono::microseconds> moments;
    moments.reserve(static_cast<std::size_t>(stalls));
    for (int i = 0; i < stalls; ++i) moments.emplace_back(moment(random));
    fake.StallCompletionsAt(moments, std::chrono::milliseconds(50));

    const Clock::time_point start = Clock::now();
    fake.Send(stream);
    std::vector<double> latencies;
    int decoded = 0;
    for (;;) {
      FramePayload payload;
      if (!events.TakeNext(frames, payload, std::chrono::seconds(1))) break;  // the stream has ended
      const Clock::time_point now = Clock::now();
      const std::string text(payload.View().begin(), payload.View().end());
      const auto index = std::ranges::find(sent, text) - sent.begin();
      if (index == static_cast<long>(sent.size())) continue;  // corrupted: counted as lost
      ++decoded;
      const Clock::time_point lastByte =
          start +
          fakes::FakeLibFtdi::kByteTime * static_cast<long>((index + 1) * static_cast<long>(frameBytes));
      latencies.push_back(Milliseconds(now - lastByte));
    }
    session.CloseSession();

    std::ranges::sort(latencies);
    const auto at = [&](double q) {
      return latencies.empty()
                 ? 0.0
                 : latencies[static_cast<std::size_t>(q * static_cast<double>(latencies.size() - 1))];
    };
    state.counters["bytes_dropped"] = static_cast<double>(fake.DroppedBytes());
    state.counters["frames_lost"] = kFrames - decoded;
    state.counters["latency_p50_ms"] = at(0.5);
    state.counters["latency_p99_ms"] = at(0.99);
    state.counters["latency_max_ms"] = latencies.empty() ? 0.0 : latencies.back();
    state.counters["stalls_done"] = fake.StallsDone();
    state.counters["link_lost"] = events.LinkLost();
  }
}
BENCHMARK(BM_LibFtdiStreamUnderStalls)
    ->Arg(0)
    ->Arg(30)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kestrova
