// Exporting a full history (100 frames, 50,001 lines) to a CSV file in the
// temporary folder: formatting, writing and closing, as the File Save command
// does it. It must take well under a second.
#include <cstdio>
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "output/CsvExport.h"

namespace kestrova {
namespace {

void BM_FullHistoryCsvExport(benchmark::State& state) {
  SampleBuffer buffer;
  buffer.Allocate();
  for (int slot = 0; slot < kHistoryFrames; ++slot) {
    for (int c = 0; c < kChannelCount; ++c) {
      int i = 0;
      for (double& value : buffer.Values(slot, c)) value = (slot * 500 + i++) * 0.37 - 4000.0 + c;
    }
  }
  // A capture at "1 s": the whole history.
  buffer.frameCount = kHistoryFrames;
  buffer.writeIndex = 42;
  buffer.captureTimePerDivision = 10000;
  buffer.captureEnd = 42;
  buffer.captureFrames = kHistoryFrames;
  ScopeSettings settings;
  settings.timePerDivision = 10000;
  const std::string path = (std::filesystem::temp_directory_path() / "kestrova_bench_export.csv").string();

  for (auto _ : state) {
    if (WriteCsvExport(path, settings, buffer) != CsvExportResult::Saved)
      state.SkipWithError("export failed");
  }
  state.counters["lines"] = 50001;
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
  std::filesystem::remove(path);
}
BENCHMARK(BM_FullHistoryCsvExport)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrova
