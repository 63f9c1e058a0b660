#include <QPainter>
#include <cmath>
#include <numbers>
#include <string>

#include <gtest/gtest.h>

#include "DisplayTestSupport.h"
#include "display/AxisLabels.h"
#include "display/DisplayColors.h"
#include "display/Graticule.h"
#include "display/PaintDisplay.h"

namespace kestrova {
namespace {

using test::PlotPixel;

constexpr ColorRef kCh1 = DefaultGraphColors[0];
constexpr ColorRef kCh2 = DefaultGraphColors[1];
constexpr ColorRef kCh3 = DefaultGraphColors[2];
constexpr ColorRef kCh4 = DefaultGraphColors[3];
constexpr ColorRef kTriggerInk = DefaultGraphColors[kTriggerLineColor];
constexpr ColorRef kCursorInk = DefaultGraphColors[kCursorColor];
using test::k100ms;
using test::k1s;
using test::k20ms;
using test::k2ms;

// Settings, history and display state of one paint.
struct Scene {
  explicit Scene(int timeIndex)
      : settings(test::SettingsAt(timeIndex)), buffer(test::ClearedBuffer(settings)) {}

  [[nodiscard]] PaintResult Paint() const {
    const DisplayCanvases canvases{BuildGraticule(settings), BuildAxisLabels(settings)};
    return PaintDisplay(canvases, settings, buffer, state, ticked, running);
  }

  // value(slot, sample) for every slot and one channel.
  void FillAll(int channel, const std::function<double(int, int)>& value) {
    for (int f = 0; f < kHistoryFrames; ++f) {
      test::FillSlot(buffer, settings.mapping, f, channel, [&](int k) { return value(f, k); });
    }
  }
  void SetRows(int slot, int channel, std::int32_t row) {
    std::ranges::fill(buffer.Rows(slot, channel), row);
  }

  ScopeSettings settings;
  SampleBuffer buffer;
  DisplayState state;
  ChannelTicks ticked{true, true, true, true};
  bool running = false;
};

int CountInPlot(const Canvas& frame, ColorRef color) {
  return test::CountPixels(frame, Box{kPlotLeft, kPlotTop, kPlotLeft + 500, kPlotTop + 400}, color);
}

// Value captured for channel 0 with the solid cursor at `column`.
std::string CapturedAt(Scene& scene, int column) {
  scene.settings.cursorEnable = 1;
  scene.state.cursor2X = column;
  const PaintResult result = scene.Paint();
  EXPECT_TRUE(result.readouts.has_value());
  return result.readouts ? (*result.readouts)[0].value : std::string("<none>");
}

TEST(PaintDisplay, SingleFrameTraceDrawsTheStoredRowsOfTickedChannels) {
  Scene scene(k2ms);
  scene.buffer.frameCount = 1;
  scene.FillAll(0, [](int, int k) { return k * 0.2; });  // rows 400 - trunc(0.8 k)
  scene.SetRows(0, 1, 100);                              // rows only: values stay 0
  scene.SetRows(0, 2, 150);
  scene.ticked = {true, true, false, true};
  const Canvas frame = scene.Paint().frame;
  ASSERT_EQ(frame.Width(), 580);
  ASSERT_EQ(frame.Height(), 460);
  for (int k = 0; k < 499; ++k) {
    const int row = ValueToRow(scene.settings.mapping, k * 0.2);
    if (row < 400 && row != 100) {
      EXPECT_EQ(PlotPixel(frame, k, row), kCh1) << k;
    }
    EXPECT_EQ(PlotPixel(frame, k, 100), kCh2) << k;  // drawn after Ch 1
  }
  // The last point is the end of the last line and is left out.
  EXPECT_NE(PlotPixel(frame, 499, 1), kCh1);
  EXPECT_EQ(CountInPlot(frame, kCh3), 0) << "unticked channel drawn";
  // Ch 4 holds the cleared slot: a flat line on row 400, just below the plot,
  // cut off there rather than drawn over the frame.
  EXPECT_EQ(CountInPlot(frame, kCh4), 0);
  EXPECT_EQ(frame.PixelAt(kPlotLeft + 100, kFrameBottom), kWhite);
}

TEST(PaintDisplay, NothingOfTheTracesWhileNoFrameIsStored) {
  Scene scene(k2ms);
  scene.SetRows(0, 0, 100);
  scene.settings.cursorEnable = 1;
  scene.settings.triggerUse = 1;
  const PaintResult result = scene.Paint();
  EXPECT_EQ(CountInPlot(result.frame, kCh1), 0);
  EXPECT_FALSE(result.readouts.has_value()) << "the read-outs are left alone";
  // Everything else is still there.
  EXPECT_GT(CountInPlot(result.frame, kTriggerInk), 0);
  EXPECT_GT(CountInPlot(result.frame, kCursorInk), 0);
  EXPECT_EQ(result.frame.PixelAt(kFrameLeft, kFrameTop), kWhite);
  EXPECT_EQ(result.frame.PixelAt(kMarkerStripLeft, kPlotTop + 400), kCh1);  // offset 0 lies on yMin
  bool readoutText = false;
  for (const CanvasText& t : result.frame.Texts()) readoutText |= t.box == kCursorReadoutBox;
  EXPECT_TRUE(readoutText);
}

// At "1 s" the window is the whole ring and every frame gives 5 columns:
// samples 0, 100, 200, 300 and 400. The read-out takes the first sample of
// its column with peak detect on as well.
TEST(PaintDisplay, OneSecondPerDivisionShowsFiveColumnsOfEachOfHundredFrames) {
  Scene scene(k1s);
  scene.running = true;
  scene.buffer.frameCount = 100;
  scene.buffer.writeIndex = 37;
  scene.FillAll(0, [](int f, int k) { return f * 1000.0 + k; });
  for (int f = 0; f < kHistoryFrames; ++f) {
    const int position = (f - 37 + kHistoryFrames) % kHistoryFrames;  // left to right from slot 37
    scene.SetRows(f, 0, 20 + 3 * position);
  }
  const Canvas frame = scene.Paint().frame;
  for (int x = 0; x < 499; ++x) EXPECT_EQ(PlotPixel(frame, x, 20 + 3 * (x / 5)), kCh1) << x;

  for (const int peakDetect : {0, 1}) {
    scene.settings.peakDetect = peakDetect;
    EXPECT_EQ(CapturedAt(scene, 0), "37000.0000") << peakDetect;
    EXPECT_EQ(CapturedAt(scene, 1), "37100.0000") << peakDetect;
    EXPECT_EQ(CapturedAt(scene, 4), "37400.0000") << peakDetect;
    EXPECT_EQ(CapturedAt(scene, 5), "38000.0000") << peakDetect;
    EXPECT_EQ(CapturedAt(scene, 317), "200.0000") << peakDetect;  // slot (37 + 63) % 100 = 0, sample 200
    EXPECT_EQ(CapturedAt(scene, 499), "36400.0000") << peakDetect;
  }
}

TEST(PaintDisplay, FewerFramesThanTheWindowNeedsLeaveTheRestOfThePlotEmpty) {
  Scene scene(k100ms);  // n = 10: 50 columns per frame
  scene.running = true;
  scene.settings.cursorEnable = 1;
  scene.buffer.frameCount = 3;
  scene.buffer.writeIndex = 3;
  scene.FillAll(0, [](int f, int k) { return f * 1000.0 + k; });
  for (int f = 0; f < kHistoryFrames; ++f) scene.SetRows(f, 0, f < 3 ? 100 : 300);
  const Canvas frame = scene.Paint().frame;
  for (int x = 0; x < 149; ++x) EXPECT_EQ(PlotPixel(frame, x, 100), kCh1) << x;
  EXPECT_EQ(test::CountPixels(frame, Box{kPlotLeft + 150, kPlotTop, kPlotLeft + 500, kPlotTop + 400}, kCh1),
            0);

  EXPECT_EQ(CapturedAt(scene, 120), "2200.0000");  // frame 2, sample 20 x 10
  // No sample was drawn at column 300: the read-outs show nothing.
  scene.state.cursor2X = 300;
  const PaintResult result = scene.Paint();
  ASSERT_TRUE(result.readouts.has_value());
  EXPECT_EQ((*result.readouts)[0], ChannelReadout{});
}

TEST(PaintDisplay, StoppedHistoryShowsTheScrolledToFrames) {
  Scene scene(k20ms);  // n = 2
  scene.settings.cursorEnable = 1;
  scene.buffer.frameCount = 5;
  scene.buffer.writeIndex = 5;
  scene.buffer.viewIndex = 4;
  scene.buffer.viewIndexAtStop = 4;
  scene.FillAll(0, [](int f, int k) { return f * 1000.0 + k; });
  EXPECT_EQ(CapturedAt(scene, 0), "3000.0000");
  EXPECT_EQ(CapturedAt(scene, 251), "4002.0000");
  scene.buffer.viewIndex = 3;  // one line left
  EXPECT_EQ(CapturedAt(scene, 0), "2000.0000");
  EXPECT_EQ(CapturedAt(scene, 499), "3498.0000");
}

TEST(PaintDisplay, TriggerNotInAutoDrawsOneFrameAtFullResolution) {
  Scene scene(k20ms);
  scene.running = true;
  scene.settings.autoTrigger = 0;
  scene.settings.cursorEnable = 1;
  scene.buffer.frameCount = 5;
  scene.buffer.writeIndex = 5;
  scene.FillAll(0, [](int f, int k) { return f * 1000.0 + k; });
  EXPECT_EQ(CapturedAt(scene, 0), "4000.0000");
  EXPECT_EQ(CapturedAt(scene, 377), "4377.0000");
  // The time labels still read 0 to 200 ms.
  const Canvas frame = scene.Paint().frame;
  bool found = false;
  for (const CanvasText& t : frame.Texts()) found |= t.box == TimeTickBox(10) && t.text == "200";
  EXPECT_TRUE(found);
}

TEST(PaintDisplay, TriggerLineIsDashedFifteenOnFiveOff) {
  Scene scene(k2ms);
  scene.settings.triggerUse = 1;
  ASSERT_EQ(scene.settings.triggerRow, 360);
  const Canvas frame = scene.Paint().frame;
  for (int x = 0; x < 500; ++x) EXPECT_EQ(PlotPixel(frame, x, 360) == kTriggerInk, x % 20 < 15) << x;
  EXPECT_EQ(CountInPlot(frame, kTriggerInk), 25 * 15);

  scene.settings.triggerUse = 0;
  EXPECT_EQ(CountInPlot(scene.Paint().frame, kTriggerInk), 0);
}

TEST(PaintDisplay, CursorsAreDashedAndSolidLinesOnlyWhileShown) {
  Scene scene(k2ms);
  scene.buffer.frameCount = 1;
  scene.settings.cursorEnable = 1;
  scene.state.cursor1X = 100;
  scene.state.cursor2X = 300;
  PaintResult result = scene.Paint();
  for (int y = 0; y < 400; ++y) {
    EXPECT_EQ(PlotPixel(result.frame, 100, y) == kCursorInk, y % 20 < 10) << y;
    EXPECT_EQ(PlotPixel(result.frame, 300, y), kCursorInk) << y;
  }
  EXPECT_TRUE(result.readouts.has_value());

  scene.settings.cursorEnable = 0;
  result = scene.Paint();
  EXPECT_EQ(CountInPlot(result.frame, kCursorInk), 0);
  EXPECT_FALSE(result.readouts.has_value());
  for (const CanvasText& t : result.frame.Texts()) EXPECT_NE(t.box, kCursorReadoutBox);
}

TEST(PaintDisplay, AllChannelsUntickedLeaveTheFrameAroundThePlotAndNoTraceOrMarker) {
  Scene scene(k2ms);
  scene.ticked = {false, false, false, false};
  scene.buffer.frameCount = 1;
  for (int c = 0; c < 4; ++c) scene.SetRows(0, c, 100 + 10 * c);
  scene.settings.triggerUse = 1;
  scene.settings.cursorEnable = 1;
  const Canvas frame = scene.Paint().frame;
  for (const ColorRef trace : {kCh1, kCh2, kCh3, kCh4}) {
    EXPECT_EQ(test::CountPixels(frame, Box{0, 0, 580, 460}, trace), 0) << trace;
  }
  EXPECT_GT(CountInPlot(frame, kTriggerInk), 0);
  EXPECT_GT(CountInPlot(frame, kCursorInk), 0);
  for (int x = 59; x <= 560; ++x) {
    EXPECT_EQ(frame.PixelAt(x, 19), kWhite) << x;
    EXPECT_EQ(frame.PixelAt(x, 420), kWhite) << x;
  }
  for (int y = 19; y <= 420; ++y) {
    EXPECT_EQ(frame.PixelAt(59, y), kWhite) << y;
    EXPECT_EQ(frame.PixelAt(560, y), kWhite) << y;
  }
  EXPECT_EQ(frame.PixelAt(58, 100), kBlack);
  EXPECT_EQ(frame.PixelAt(561, 100), kBlack);
  EXPECT_EQ(frame.PixelAt(300, 18), kBlack);
}

TEST(PaintDisplay, TriggerChannelMarkerIsFilledOthersAreOutlined) {
  Scene scene(k2ms);
  scene.settings.triggerChannel[0] = 1;
  for (int c = 0; c < 4; ++c) scene.settings.offset[0][static_cast<std::size_t>(c)] = 80.0 - 20.0 * c;
  scene.ticked = {true, true, true, false};
  const Canvas frame = scene.Paint().frame;
  // Tips at display rows 100, 180, 260 (offset rows 80, 160, 240, plus 20).
  const std::array<std::pair<ColorRef, int>, 3> markers = {{{kCh1, 100}, {kCh2, 180}, {kCh3, 260}}};
  for (const auto& [color, tip] : markers) {
    EXPECT_EQ(frame.PixelAt(560, tip), color);
    EXPECT_EQ(frame.PixelAt(565, tip - 1), color);  // upper edge
    EXPECT_EQ(frame.PixelAt(565, tip + 1), color);  // lower edge
    EXPECT_EQ(frame.PixelAt(579, tip - 4), color);
    EXPECT_NE(frame.PixelAt(579, tip - 5), color);
    EXPECT_NE(frame.PixelAt(561, tip - 2), color);
  }
  // Inside the triangle: solid only for the trigger source (Ch 2).
  EXPECT_EQ(frame.PixelAt(575, 180), kCh2);
  EXPECT_EQ(frame.PixelAt(578, 183), kCh2);
  EXPECT_EQ(frame.PixelAt(575, 100), kBlack);
  EXPECT_EQ(frame.PixelAt(575, 260), kBlack);
  EXPECT_EQ(test::CountPixels(frame, Box{0, 0, 580, 460}, kCh4), 0) << "unticked channel's marker";
}

TEST(PaintDisplay, MarkerAtYMaxAndChannelOneOnTop) {
  Scene scene(k2ms);
  scene.settings.offset[0][0] = 100.0;  // yMax
  scene.settings.offset[0][2] = 100.0;
  scene.settings.triggerChannel[0] = 2;
  const Canvas frame = scene.Paint().frame;
  EXPECT_EQ(frame.PixelAt(560, 20), kCh1);
  EXPECT_EQ(frame.PixelAt(570, 18), kCh1);
  EXPECT_EQ(frame.PixelAt(575, 20), kCh3) << "Ch 3's filled inside shows through Ch 1's outline";
}

TEST(PaintDisplay, ReadoutsComeFromTheSampleAtTheSolidCursor) {
  Scene scene(k2ms);
  scene.buffer.frameCount = 1;
  scene.settings.cursorEnable = 1;
  scene.state.cursor2X = 123;
  scene.FillAll(0, [](int, int k) { return k * 0.5; });
  scene.FillAll(2, [](int, int k) { return -k * 0.25; });
  scene.settings.offset[0][0] = 1.5;
  scene.settings.axisScaleEnable[0] = 1;
  scene.settings.axisScaleFactor[0] = 2.0;
  scene.ticked = {true, false, true, true};

  PaintResult result = scene.Paint();
  ASSERT_TRUE(result.readouts.has_value());
  EXPECT_EQ((*result.readouts)[0], (ChannelReadout{"61.5000", "60.0000", "120.0000"}));
  EXPECT_EQ((*result.readouts)[1], ChannelReadout{}) << "unticked";
  EXPECT_EQ((*result.readouts)[2], (ChannelReadout{"-30.7500", "-30.7500", "-61.5000"}));
  EXPECT_EQ((*result.readouts)[3], (ChannelReadout{"0.0000", "0.0000", "0.0000"}));

  scene.settings.axisScaleEnable[0] = 0;
  result = scene.Paint();
  ASSERT_TRUE(result.readouts.has_value());
  EXPECT_EQ((*result.readouts)[0], (ChannelReadout{"61.5000", "60.0000", ""}));

  // The measurement text, left-aligned below the plot.
  const CanvasText* text = nullptr;
  for (const CanvasText& t : result.frame.Texts()) {
    if (t.box == kCursorReadoutBox) text = &t;
  }
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->text, CursorReadoutText(20, 250, 123));
  EXPECT_EQ(text->text, "d=-5.08ms  f=-196.8504Hz");
  EXPECT_EQ(text->align, TextAlign::Left);
  EXPECT_EQ(text->color, kCursorReadoutTextColor);
  EXPECT_GT(test::CountPixels(result.frame, kCursorReadoutBox, kCursorReadoutTextColor), 0);
}

TEST(PaintDisplay, ReversedColoursSwapBackgroundAndForegroundOnly) {
  Scene scene(k2ms);
  scene.settings.colorReverse = 1;
  scene.buffer.frameCount = 1;
  scene.SetRows(0, 0, 100);
  const Canvas frame = scene.Paint().frame;
  EXPECT_EQ(frame.PixelAt(2, 2), kWhite);
  EXPECT_EQ(PlotPixel(frame, 3, 3), kWhite);
  EXPECT_EQ(frame.PixelAt(kFrameLeft, 200), kBlack);
  EXPECT_EQ(PlotPixel(frame, 30, 2), kBlack);  // a top tick
  EXPECT_EQ(PlotPixel(frame, 30, 100), kCh1);
}

// Peak detect at "1 s": 100 frames of a slow wave, and one frame with a
// +10 spike one sample wide between the samples the plain picture takes.
struct SpikeScene : Scene {
  static constexpr int kSpikeSlot = 40;
  static constexpr int kSpikeSample = 237;
  static constexpr int kSpikeColumn = kSpikeSlot * 5 + kSpikeSample / 100;

  explicit SpikeScene(bool spike, bool peakDetect) : Scene(k1s) {
    running = true;
    buffer.frameCount = kHistoryFrames;
    ticked = {true, false, false, false};
    settings.peakDetect = peakDetect ? 1 : 0;
    FillAll(0, [spike](int f, int k) {
      const double wave = 30.0 + 5.0 * std::sin((f * kSamplesPerFrame + k) * 2 * std::numbers::pi / 12'500.0);
      return wave + (spike && f == kSpikeSlot && k == kSpikeSample ? 10.0 : 0.0);
    });
  }
};

TEST(PeakDetect, ASpikeBetweenTheShownSamplesAppearsOnlyWithPeakDetect) {
  const Canvas plainOff = SpikeScene(false, false).Paint().frame;
  const Canvas spikeOff = SpikeScene(true, false).Paint().frame;
  const Canvas plainOn = SpikeScene(false, true).Paint().frame;
  const Canvas spikeOn = SpikeScene(true, true).Paint().frame;

  // Off: today's picture, with no trace of the spike.
  EXPECT_EQ(spikeOff.Image(), plainOff.Image());

  // On: the spike's column reaches from the wave up to the spike's row, the
  // next column reaches back down, and nothing else changes.
  const SpikeScene probe(true, true);
  const auto rows = probe.buffer.Rows(SpikeScene::kSpikeSlot, 0);
  const int spikeRow = rows[SpikeScene::kSpikeSample];
  const int waveRow = rows[SpikeScene::kSpikeSample - 1];
  ASSERT_LT(spikeRow, waveRow - 10);
  const int x = SpikeScene::kSpikeColumn;
  for (int y = spikeRow; y < waveRow; ++y) {
    EXPECT_EQ(PlotPixel(spikeOn, x, y), kCh1) << y;
    EXPECT_NE(PlotPixel(plainOn, x, y), kCh1) << y;
  }
  for (int py = 0; py < 460; ++py) {
    for (int px = 0; px < 580; ++px) {
      const bool spikeColumns = px == x + kPlotLeft || px == x + 1 + kPlotLeft;
      if (!spikeColumns) {
        EXPECT_EQ(spikeOn.PixelAt(px, py), plainOn.PixelAt(px, py)) << px << "," << py;
      }
    }
  }

  // Side by side, off and on, for people to look at.
  QImage both(2 * 580 + 10, 460, QImage::Format_RGB32);
  both.fill(Qt::gray);
  QPainter painter(&both);
  painter.drawImage(0, 0, spikeOff.Image());
  painter.drawImage(590, 0, spikeOn.Image());
  painter.end();
  EXPECT_TRUE(both.save(QString::fromUtf8(KESTROVA_PEAK_DETECT_PNG), "PNG"));
}

// Each column of the peak-detect trace covers every sample of its stretch
// and meets its neighbour, so a steep wave is one unbroken band.
TEST(PeakDetect, EveryColumnCoversAllItsSamplesAndTouchesTheNext) {
  SpikeScene scene(false, true);
  scene.FillAll(0, [](int f, int k) { return 50.0 + 45.0 * std::sin((f * kSamplesPerFrame + k) / 40.0); });
  const Canvas frame = scene.Paint().frame;
  for (int x = 0; x < 500; ++x) {
    const auto rows = scene.buffer.Rows(x / 5, 0).subspan(static_cast<std::size_t>(x % 5) * 100, 100);
    for (const std::int32_t row : rows) {
      if (row >= 0 && row < 400) {
        ASSERT_EQ(PlotPixel(frame, x, row), kCh1) << x << "," << row;
      }
    }
  }
}

// Where a column holds one sample (the one-frame time bases, and one frame
// per screen outside Auto) peak detect changes nothing.
TEST(PeakDetect, LeavesThePictureAloneWhereAColumnHoldsOneSample) {
  for (const bool autoTrigger : {true, false}) {
    for (const int timeIndex : {k2ms, k1s}) {
      Scene off(timeIndex);
      off.running = true;
      off.settings.autoTrigger = autoTrigger ? 1 : 0;
      off.buffer.frameCount = kHistoryFrames;
      off.FillAll(0, [](int f, int k) { return 50.0 + 40.0 * std::sin((f * 7 + k) / 9.0); });
      Scene on = off;
      on.settings.peakDetect = 1;
      if (autoTrigger && timeIndex == k1s) continue;  // the one case that differs
      EXPECT_EQ(on.Paint().frame.Image(), off.Paint().frame.Image()) << timeIndex << " auto " << autoTrigger;
    }
  }
}

// A representative picture for people to look at:
// build/<config>/tests/display/display-sample.png.
TEST(PaintDisplay, WritesASamplePicture) {
  Scene scene(k2ms);
  scene.settings.triggerUse = 1;
  scene.settings.cursorEnable = 1;
  scene.settings.triggerChannel[0] = 1;
  scene.settings.axisScaleEnable[0] = 1;
  scene.settings.axisScaleFactor[0] = 0.5;
  scene.settings.yDivision = 2;
  scene.settings.triggerLevel[0] = 55.0;
  scene.settings.offset[0] = {70.0, 50.0, 30.0, 12.0};
  RefreshDisplayMapping(scene.settings);
  scene.state.cursor1X = 150;
  scene.state.cursor2X = 200;
  scene.buffer.frameCount = 1;
  const auto& offsets = scene.settings.offset[0];
  scene.FillAll(0,
                [&](int, int k) { return offsets[0] + 12.0 * std::sin(k * 2 * std::numbers::pi / 125.0); });
  scene.FillAll(1, [&](int, int k) { return offsets[1] + (k % 100 < 50 ? 8.0 : -8.0); });
  scene.FillAll(2, [&](int, int k) { return offsets[2] + 0.08 * (k % 200) - 8.0; });
  scene.FillAll(3, [&](int, int k) {
    return offsets[3] + 6.0 * std::sin(k * 2 * std::numbers::pi / 50.0) * std::exp(-k / 300.0);
  });
  const PaintResult result = scene.Paint();
  ASSERT_TRUE(result.frame.Image().save(QString::fromUtf8(KESTROVA_DISPLAY_SAMPLE_PNG), "PNG"));
  const QImage loaded(QString::fromUtf8(KESTROVA_DISPLAY_SAMPLE_PNG));
  EXPECT_EQ(loaded.size(), QSize(580, 460));
}

}  // namespace
}  // namespace kestrova

namespace kestrova {
namespace {

// The window repaints into one kept frame: whatever the paint before drew
// (other traces, cursors, a read-out, markers, colours) must not show
// through, and the kept frame must not be copied on the way.
TEST(PaintDisplayInPlace, RepaintingAKeptFrameGivesTheFreshPictureWithoutCopyingIt) {
  Scene first(k2ms);
  first.buffer.frameCount = 1;
  first.FillAll(0, [](int, int k) { return 50 + 40 * std::sin(k / 20.0); });
  first.FillAll(2, [](int, int k) { return k % 100; });
  first.settings.cursorEnable = 1;
  first.settings.triggerUse = 1;
  first.settings.offset[0][1] = 70;
  first.state.cursor1X = 30;
  first.state.cursor2X = 400;

  Scene second(k1s);
  second.buffer.frameCount = kHistoryFrames;
  second.FillAll(1, [](int f, int k) { return (f + k) % 90; });
  second.ticked = {false, true, true, false};
  second.settings.colorReverse = 1;

  for (const Scene* next : {&second, &first}) {
    const Scene& previous = next == &second ? first : second;
    Canvas kept;
    const auto readouts = [](const Scene& s, Canvas& frame) {
      const DisplayCanvases canvases{BuildGraticule(s.settings), BuildAxisLabels(s.settings)};
      return PaintDisplayInto(frame, canvases, s.settings, s.buffer, s.state, s.ticked, s.running);
    };
    readouts(previous, kept);
    const uchar* const pixels = kept.Image().constBits();
    const auto got = readouts(*next, kept);
    const PaintResult fresh = next->Paint();

    EXPECT_EQ(kept.Image().constBits(), pixels);  // recomposed where it was
    EXPECT_EQ(kept.Image(), fresh.frame.Image());
    ASSERT_EQ(kept.Texts().size(), fresh.frame.Texts().size());
    for (std::size_t i = 0; i < kept.Texts().size(); ++i) {
      EXPECT_EQ(kept.Texts()[i].text, fresh.frame.Texts()[i].text) << i;
      EXPECT_EQ(kept.Texts()[i].box, fresh.frame.Texts()[i].box) << i;
    }
    EXPECT_EQ(got.has_value(), fresh.readouts.has_value());
  }
}

// A new frame changes the plot only: repainting just the plot of the kept
// frame gives the picture a full paint gives, read-outs included.
TEST(PaintDisplayInPlace, APlotOnlyRepaintAfterANewFrameEqualsAFullPaint) {
  for (const int timeIndex : {k2ms, k1s}) {
    Scene scene(timeIndex);
    scene.running = true;
    scene.settings.cursorEnable = 1;
    scene.settings.triggerUse = 1;
    scene.state.cursor2X = 210;
    scene.buffer.frameCount = 10;
    scene.buffer.writeIndex = 10;
    scene.FillAll(0, [](int f, int k) { return 40 + 30 * std::sin((f * 500 + k) / 30.0); });
    const DisplayCanvases canvases{BuildGraticule(scene.settings), BuildAxisLabels(scene.settings)};
    Canvas kept;
    PaintDisplayInto(kept, canvases, scene.settings, scene.buffer, scene.state, scene.ticked, scene.running);

    // The next frame arrives.
    scene.FillAll(0, [](int f, int k) { return 60 + 25 * std::cos((f * 500 + k) / 17.0); });
    scene.buffer.frameCount = 11;
    scene.buffer.writeIndex = 11;
    const auto readouts =
        PaintPlotInto(kept, canvases, scene.settings, scene.buffer, scene.state, scene.ticked, scene.running);
    const PaintResult fresh = scene.Paint();
    EXPECT_EQ(kept.Image(), fresh.frame.Image()) << timeIndex;
    EXPECT_EQ(readouts, fresh.readouts) << timeIndex;
  }
}

}  // namespace
}  // namespace kestrova
