// Cost of one repaint of the scope display: four full channels, cursors and
// trigger line on, at a single-frame time base and at "1 s" per division with
// the whole 100-frame ring on screen.
#include <QGuiApplication>
#include <cmath>
#include <numbers>

#include <benchmark/benchmark.h>

#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "acquisition/TimeBaseTable.h"
#include "display/AxisLabels.h"
#include "display/Graticule.h"
#include "display/PaintDisplay.h"
#include "display/SharpPicture.h"

namespace {

using kestrova::kChannelCount;
using kestrova::kHistoryFrames;
using kestrova::kSamplesPerFrame;

struct Scene {
  kestrova::ScopeSettings settings;
  kestrova::SampleBuffer buffer;
  kestrova::DisplayState state;
  kestrova::DisplayCanvases canvases;
};

// A noisy sine per channel spanning most of the axis, so that the traces have
// steep segments as real signals do.
Scene MakeScene(int timeIndex, int frames, double noise) {
  Scene scene;
  scene.settings.timeIndex = timeIndex;
  scene.settings.timePerDivision = kestrova::TimeBaseAt(timeIndex).perDivision;
  scene.settings.cursorEnable = 1;
  scene.settings.triggerUse = 1;
  scene.settings.axisScaleEnable[0] = 1;
  kestrova::RefreshDisplayMapping(scene.settings);
  kestrova::ClearSampleBuffer(scene.buffer, scene.settings.mapping);
  unsigned seed = 12345;
  for (int f = 0; f < frames; ++f) {
    for (int c = 0; c < kChannelCount; ++c) {
      auto values = scene.buffer.Values(f, c);
      auto rows = scene.buffer.Rows(f, c);
      for (int k = 0; k < kSamplesPerFrame; ++k) {
        seed = seed * 1103515245U + 12345U;
        const double jitter = noise * (static_cast<double>((seed >> 16) & 0x7FFFU) / 32767.0 - 0.5);
        const double v =
            50.0 + 40.0 * std::sin((k + 37 * c + 500 * f) * 2 * std::numbers::pi / 97.0) + jitter;
        values[static_cast<std::size_t>(k)] = v;
        rows[static_cast<std::size_t>(k)] = kestrova::ValueToRow(scene.settings.mapping, v);
      }
    }
  }
  scene.buffer.frameCount = frames;
  scene.buffer.writeIndex = frames % kHistoryFrames;
  scene.state.cursor1X = 120;
  scene.state.cursor2X = 310;
  scene.canvases = {kestrova::BuildGraticule(scene.settings), kestrova::BuildAxisLabels(scene.settings)};
  return scene;
}

void RunPaint(benchmark::State& state, const Scene& scene) {
  const kestrova::ChannelTicks ticked = {true, true, true, true};
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    kestrova::PaintResult result =
        kestrova::PaintDisplay(scene.canvases, scene.settings, scene.buffer, scene.state, ticked, true);
    benchmark::DoNotOptimize(result.frame.Image().constBits());
  }
}

// As the window paints: into a frame canvas kept from paint to paint.
void RunPaintInPlace(benchmark::State& state, const Scene& scene) {
  const kestrova::ChannelTicks ticked = {true, true, true, true};
  kestrova::Canvas frame;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    auto readouts = kestrova::PaintDisplayInto(frame, scene.canvases, scene.settings, scene.buffer,
                                               scene.state, ticked, true);
    benchmark::DoNotOptimize(readouts);
    benchmark::DoNotOptimize(frame.Image().constBits());
  }
}

void BM_PaintSingleFrameInPlace(benchmark::State& state) {
  const Scene scene = MakeScene(4, 1, 4.0);  // "2 ms"
  RunPaintInPlace(state, scene);
}
BENCHMARK(BM_PaintSingleFrameInPlace)->Unit(benchmark::kMicrosecond);

void BM_PaintOneSecondHundredFramesInPlace(benchmark::State& state) {
  const Scene scene = MakeScene(12, kHistoryFrames, 4.0);  // "1 s"
  RunPaintInPlace(state, scene);
}
BENCHMARK(BM_PaintOneSecondHundredFramesInPlace)->Unit(benchmark::kMicrosecond);

void BM_PaintSingleFrame(benchmark::State& state) {
  const Scene scene = MakeScene(4, 1, 4.0);  // "2 ms"
  RunPaint(state, scene);
}
BENCHMARK(BM_PaintSingleFrame)->Unit(benchmark::kMicrosecond);

void BM_PaintOneSecondHundredFrames(benchmark::State& state) {
  const Scene scene = MakeScene(12, kHistoryFrames, 4.0);  // "1 s"
  RunPaint(state, scene);
}
BENCHMARK(BM_PaintOneSecondHundredFrames)->Unit(benchmark::kMicrosecond);

// A new frame: the plot of the kept picture drawn again, nothing around it.
void BM_PaintPlotOnlySingleFrame(benchmark::State& state) {
  const Scene scene = MakeScene(4, 1, 4.0);  // "2 ms"
  const kestrova::ChannelTicks ticked = {true, true, true, true};
  kestrova::Canvas frame;
  kestrova::PaintDisplayInto(frame, scene.canvases, scene.settings, scene.buffer, scene.state, ticked, true);
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    auto readouts = kestrova::PaintPlotInto(frame, scene.canvases, scene.settings, scene.buffer, scene.state,
                                            ticked, true);
    benchmark::DoNotOptimize(readouts);
    benchmark::DoNotOptimize(frame.Image().constBits());
  }
}
BENCHMARK(BM_PaintPlotOnlySingleFrame)->Unit(benchmark::kMicrosecond);

// A screen of device pixel ratio 2: the 1x picture (read-outs, saved
// pictures) and the sharp one, as the window composes them.
void RunPaintAtRatio(benchmark::State& state, const Scene& scene, qreal ratio) {
  const kestrova::ChannelTicks ticked = {true, true, true, true};
  kestrova::Canvas frame;
  kestrova::SharpPicture sharp;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    auto readouts = kestrova::PaintDisplayInto(frame, scene.canvases, scene.settings, scene.buffer,
                                               scene.state, ticked, true);
    const QImage& image =
        sharp.Compose(ratio, scene.canvases, scene.settings, scene.buffer, scene.state, ticked, true);
    benchmark::DoNotOptimize(readouts);
    benchmark::DoNotOptimize(image.constBits());
  }
}

void BM_PaintSingleFrameRatio2(benchmark::State& state) {
  RunPaintAtRatio(state, MakeScene(4, 1, 4.0), 2.0);
}
BENCHMARK(BM_PaintSingleFrameRatio2)->Unit(benchmark::kMicrosecond);

void BM_PaintOneSecondHundredFramesPeakDetect(benchmark::State& state) {
  Scene scene = MakeScene(12, kHistoryFrames, 4.0);  // "1 s"
  scene.settings.peakDetect = 1;
  RunPaintInPlace(state, scene);
}
BENCHMARK(BM_PaintOneSecondHundredFramesPeakDetect)->Unit(benchmark::kMicrosecond);

// Worst case for the line drawing: every segment spans the whole plot height.
void BM_PaintSingleFrameFullSwing(benchmark::State& state) {
  Scene scene = MakeScene(4, 1, 0.0);
  for (int c = 0; c < kChannelCount; ++c) {
    auto rows = scene.buffer.Rows(0, c);
    for (int k = 0; k < kSamplesPerFrame; ++k) rows[static_cast<std::size_t>(k)] = k % 2 == 0 ? 0 : 399;
  }
  RunPaint(state, scene);
}
BENCHMARK(BM_PaintSingleFrameFullSwing)->Unit(benchmark::kMicrosecond);

}  // namespace

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
