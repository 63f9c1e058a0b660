// kestrova-cli's capture run from the unit to the CSV file on disk, with
// the benchmark's thread as the program's main thread:
//
//  - BM_CliCapture1000FramesAtLinkRate: 1000 frames at the link's real rate
//    (one frame every ~88 ms at 100 us/div, about 90 s). Reports frames per second and
//    every way a frame can be lost on the way: refused for its checksum,
//    pushed out of the hand-off queue, or bytes that found the bridge's
//    receive queue full. All three must be 0.
//  - BM_CliCaptureUnpaced: the unit sends as fast as the run takes frames;
//    frames written per second is the headroom over the link's 11.36 (the
//    hand-off queue gives way when the receive thread outruns the writing,
//    which the real link never lets it do).

#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "cli/CaptureRun.h"
#include "cli/CaptureSettings.h"
#include "simulator/SimulatedBench.h"
#include "simulator/SimulatedDriver.h"

namespace kestrova::cli {
namespace {

void CaptureFrames(benchmark::State& state, bool paced, long long frames) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "kestrova_cli_bench.csv";
  RunCounts counts;
  std::uint64_t bytesLost = 0;
  double seconds = 0.0;
  for (auto _ : state) {
    SimulatedBenchOptions options;
    options.paced = paced;
    auto bench = std::make_shared<SimulatedBench>(options);
    // 100 us/div: the unit samples a frame in 1 ms, so the wire alone sets
    // the pace.
    SettingsOptions fastest;
    fastest.timeIndex = 0;
    ScopeSettings settings = BuildCaptureSettings(fastest).settings;
    UnitLink link(MakeSimulatedDriverLoader(bench), "the simulated unit");
    if (link.ChooseUnit("").failed()) state.SkipWithError("no simulated unit");
    CsvFrameWriter writer;
    OutputSink output(file.string());
    ProgressLine progress(false);
    CaptureRun run(link, settings, writer, output, progress, [](const std::string&) {}, [] { return false; });
    const auto start = std::chrono::steady_clock::now();
    if (run.Run({.frames = frames, .seconds = {}, .timeout = {}}).failed()) state.SkipWithError("the run failed");
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    counts = run.Counts();
    bytesLost = bench->StatusOf("SIM00001")->bytesLost;
  }
  std::filesystem::remove(file);
  state.counters["frames"] = static_cast<double>(counts.stored);
  state.counters["frames_per_s"] = static_cast<double>(counts.stored) / seconds;
  state.counters["checksum_dropped"] = static_cast<double>(counts.checksumDropped);
  state.counters["queue_dropped"] = static_cast<double>(counts.queueDropped);
  state.counters["bytes_lost"] = static_cast<double>(bytesLost);
}

void BM_CliCapture1000FramesAtLinkRate(benchmark::State& state) { CaptureFrames(state, true, 1000); }
BENCHMARK(BM_CliCapture1000FramesAtLinkRate)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

void BM_CliCaptureUnpaced(benchmark::State& state) { CaptureFrames(state, false, 1000); }
BENCHMARK(BM_CliCaptureUnpaced)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrova::cli
