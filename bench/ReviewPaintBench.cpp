// One scroll step of a capture in review, as the window takes it: the next
// window of frames read from the file into the history ring (rows mapped),
// then the whole display painted with peak detect on, at 1 s/div (100
// frames a screen) and at 2 ms/div (one frame), over an hour-long session
// file (40,900 frames at 10 ms/div, about 330 MB) written into the
// temporary folder and deleted at exit. Reports the process's peak memory.
#include <QGuiApplication>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "acquisition/TimeBaseTable.h"
#include "captures/CaptureReview.h"
#include "captures/SrFile.h"
#include "display/AxisLabels.h"
#include "display/Graticule.h"
#include "display/HistoryWindow.h"
#include "display/PaintDisplay.h"

namespace kestrova {
namespace {

constexpr long long kHourFrames = 40'900;

struct HourFile {
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "kestrova-review-paint-bench";
  std::string path = (folder / "hour.sr").string();

  HourFile() {
    std::filesystem::create_directories(folder);
    SrCaptureHeader header;
    header.timePerDivision = 100;
    header.channels = {1, 2, 3, 4};
    SrWriter writer(header);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    const auto put = [out](const std::string& bytes) { std::fwrite(bytes.data(), 1, bytes.size(), out); };
    put(writer.Begin());
    std::vector<std::vector<double>> frame(4, std::vector<double>(kCaptureFrameLength));
    const std::vector<std::span<const double>> spans(frame.begin(), frame.end());
    for (long long f = 0; f < kHourFrames; ++f) {
      for (std::size_t c = 0; c < 4; ++c)
        for (std::size_t i = 0; i < frame[c].size(); ++i) {
          const auto n = static_cast<double>(f * kCaptureFrameLength + static_cast<long long>(i));
          frame[c][i] = std::round(50 + 30 * std::sin(n * (0.001 + 0.0007 * static_cast<double>(c))) +
                                   5 * std::sin(n * 0.37));
        }
      put(writer.AddFrame(spans));
    }
    put(writer.Finish());
    std::fclose(out);
  }
  ~HourFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  HourFile(const HourFile&) = delete;
  HourFile& operator=(const HourFile&) = delete;
};

const HourFile& File() {
  static const HourFile file;
  return file;
}

void BM_ReviewScrollStepPainted(benchmark::State& state) {
  OpenedCapture opened = OpenCaptureFile(File().path);
  if (!opened.source) {
    state.SkipWithError(opened.error.Compose().c_str());
    return;
  }
  CaptureReview review(std::move(opened.source), File().path);
  ScopeSettings settings;
  review.ApplyTo(settings);
  settings.timeIndex = static_cast<int>(state.range(0));
  settings.timePerDivision = TimeBaseAt(settings.timeIndex).perDivision;
  settings.peakDetect = 1;
  settings.cursorEnable = 1;
  SampleBuffer buffer;
  AllocateSampleBuffer(buffer, settings);
  const DisplayCanvases canvases{BuildGraticule(settings), BuildAxisLabels(settings)};
  const DisplayState display;
  const ChannelTicks ticked{true, true, true, true};
  Canvas frame;
  const int n = FramesPerScreenFor(settings);
  const long long last = review.LastPosition(n);
  long long position = 0;
  LocalText error;
  for (auto _ : state) {
    position = position >= last ? 0 : position + 1;
    if (!review.Show(position, n, settings, buffer, error)) state.SkipWithError(error.Compose().c_str());
    benchmark::DoNotOptimize(
        PaintDisplayInto(frame, canvases, settings, buffer, display, ticked, /*acquisitionRunning=*/false));
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_RSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
// Time-list entries: "1 s" (100 frames a screen), "10 ms" (one frame).
BENCHMARK(BM_ReviewScrollStepPainted)->Arg(12)->Arg(6)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrova

int main(int argc, char** argv) {
  // Text needs the font database of a GUI application; no display is needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
