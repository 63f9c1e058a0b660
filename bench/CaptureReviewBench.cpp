// Reviewing an hour-long capture: 40,900 frames at 10 ms/div (20.45 million
// samples on each of four channels, about 330 MB of float32 as a .sr file),
// written once into the temporary folder and deleted at exit. Reported:
// opening and reading the first screen, one scroll step (the next screen of
// 100 frames, as at 1 s/div, reduced to peak-detect columns), the process's
// peak memory, and the same for the CSV layout (a tenth of the hour, its
// figures scale with the file's length).
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "acquisition/DisplayMapping.h"
#include "analysis/PeakDetect.h"
#include "captures/Capture.h"
#include "captures/SrFile.h"
#include "output/CsvExport.h"

namespace kestrova {
namespace {

constexpr long long kHourFrames = 40'900;
constexpr long long kCsvFrames = kHourFrames / 10;
constexpr int kScreenFrames = 100;  // 1 s/div
constexpr int kColumns = 500;

double Sample(long long n, int c) {
  // A sine per channel with a slow drift and a little ripple, 12-bit range.
  return std::round(2048 + 1500 * std::sin(static_cast<double>(n) * (0.001 + 0.0007 * c)) +
                    40 * std::sin(static_cast<double>(n) * 0.37));
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kB on Linux
}

struct HourFiles {
  std::filesystem::path folder;
  std::string sr;
  std::string csv;
  double srMegabytes = 0;
  double csvMegabytes = 0;

  HourFiles() : folder(std::filesystem::temp_directory_path() / "kestrova-capture-bench") {
    std::filesystem::create_directories(folder);
    sr = (folder / "hour.sr").string();
    csv = (folder / "tenth.csv").string();
    SrCaptureHeader header;
    header.timePerDivision = 100;
    header.channels = {1, 2, 3, 4};
    SrWriter writer(header);
    std::FILE* out = std::fopen(sr.c_str(), "wb");
    std::FILE* text = std::fopen(csv.c_str(), "wb");
    auto put = [](std::FILE* file, const std::string& bytes) {
      std::fwrite(bytes.data(), 1, bytes.size(), file);
    };
    put(out, writer.Begin());
    put(text, std::string(kCsvHeaderLine));
    std::vector<std::vector<double>> frame(4, std::vector<double>(kCaptureFrameLength));
    const std::vector<std::span<const double>> spans(frame.begin(), frame.end());
    std::string line;
    long long microseconds = 0;
    for (long long f = 0; f < kHourFrames; ++f) {
      for (int c = 0; c < 4; ++c)
        for (int i = 0; i < kCaptureFrameLength; ++i)
          frame[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] =
              Sample(f * kCaptureFrameLength + i, c);
      put(out, writer.AddFrame(spans));
      if (f < kCsvFrames) {
        line.clear();
        for (int i = 0; i < kCaptureFrameLength; ++i) {
          char buffer[128];
          std::snprintf(buffer, sizeof buffer, "%lld.%06lld, %.4f, %.4f, %.4f, %.4f\r\n",
                        microseconds / 1'000'000, microseconds % 1'000'000,
                        frame[0][static_cast<std::size_t>(i)], frame[1][static_cast<std::size_t>(i)],
                        frame[2][static_cast<std::size_t>(i)], frame[3][static_cast<std::size_t>(i)]);
          line += buffer;
          microseconds += 200;
        }
        put(text, line);
      }
    }
    put(out, writer.Finish());
    std::fclose(out);
    std::fclose(text);
    srMegabytes = static_cast<double>(std::filesystem::file_size(sr)) / 1e6;
    csvMegabytes = static_cast<double>(std::filesystem::file_size(csv)) / 1e6;
  }
  ~HourFiles() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  HourFiles(const HourFiles&) = delete;
  HourFiles& operator=(const HourFiles&) = delete;
};

const HourFiles& Files() {
  static const HourFiles files;
  return files;
}

// A screen of frames reduced to one peak-detect span per column and channel.
std::size_t PeakColumns(const FrameBlock& block) {
  DisplayMapping mapping;
  mapping.pixelsPerUnit = 400.0 / 4096.0;
  std::vector<std::int32_t> rows;
  std::vector<ColumnSpan> columns(kColumns + 1);
  std::size_t written = 0;
  for (int c = 0; c < block.channelCount; ++c) {
    rows.clear();
    for (long long f = 0; f < block.Count(); ++f)
      for (const double v : block.Samples(f, c)) rows.push_back(ValueToRow(mapping, v));
    const int per = std::max<int>(1, static_cast<int>(rows.size()) / kColumns);
    written += ReduceToColumns(rows, per, std::span(columns).first((rows.size() + per - 1) / per));
  }
  return written;
}

void Report(benchmark::State& state, double fileMegabytes) {
  state.counters["file_MB"] = fileMegabytes;
  state.counters["peak_RSS_MB"] = PeakMegabytes();
}

// Reads the screen of frames from `first` and reduces it to the columns drawn.
void ReadScreen(benchmark::State& state, CaptureSource& source, long long first, FrameBlock& block) {
  LocalText error;
  if (!source.ReadFrames(first, kScreenFrames, block, error)) state.SkipWithError(error.Compose().c_str());
  benchmark::DoNotOptimize(PeakColumns(block));
}

// A file's first picture: opened (a CSV is checked and indexed whole
// first), its first screen read and reduced.
void FirstPicture(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    OpenedCapture opened = OpenCaptureFile(path);
    if (!opened.source) {
      state.SkipWithError(opened.error.Compose().c_str());
      return;
    }
    FrameBlock block;
    ReadScreen(state, *opened.source, 0, block);
  }
}

// Screens `step` frames apart, through the whole file and round again: a
// step of one is the scroll bar's arrow, a large one the thumb dragged
// anywhere, with nothing cached.
void Screens(benchmark::State& state, const std::string& path, long long step) {
  OpenedCapture opened = OpenCaptureFile(path);
  if (!opened.source) {
    state.SkipWithError(opened.error.Compose().c_str());
    return;
  }
  const long long positions = opened.source->Info().frameCount - kScreenFrames + 1;
  long long position = 0;
  FrameBlock block;
  for (auto _ : state) {
    position = (position + step) % positions;
    ReadScreen(state, *opened.source, position, block);
  }
}

void BM_SrFirstPicture(benchmark::State& state) {
  FirstPicture(state, Files().sr);
  Report(state, Files().srMegabytes);
}
BENCHMARK(BM_SrFirstPicture)->Unit(benchmark::kMillisecond);

void BM_SrScrollStep(benchmark::State& state) {
  Screens(state, Files().sr, 1);
  Report(state, Files().srMegabytes);
}
BENCHMARK(BM_SrScrollStep)->Unit(benchmark::kMillisecond);

void BM_SrJump(benchmark::State& state) {
  Screens(state, Files().sr, 7'919);
  Report(state, Files().srMegabytes);
}
BENCHMARK(BM_SrJump)->Unit(benchmark::kMillisecond);

void BM_CsvTenthFirstPicture(benchmark::State& state) {
  FirstPicture(state, Files().csv);
  Report(state, Files().csvMegabytes);
  state.counters["frames"] = static_cast<double>(kCsvFrames);
}
BENCHMARK(BM_CsvTenthFirstPicture)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_CsvScrollStep(benchmark::State& state) {
  Screens(state, Files().csv, 1);
  Report(state, Files().csvMegabytes);
}
BENCHMARK(BM_CsvScrollStep)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrova
