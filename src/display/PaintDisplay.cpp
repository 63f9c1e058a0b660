#include "display/PaintDisplay.h"

#include <array>

#include "acquisition/DisplayMapping.h"
#include "acquisition/TimeBaseTable.h"
#include "analysis/PeakDetect.h"
#include "display/DisplayColors.h"
#include "display/DisplayGeometry.h"
#include "display/HistoryWindow.h"

namespace kestrova {

namespace {

constexpr int kTriggerDash = 15;
constexpr int kTriggerDashPeriod = 20;
constexpr int kCursorDash = 10;
constexpr int kCursorDashPeriod = 20;

// A pen position and the line-to operation of the traces.
class Polyline {
 public:
  Polyline(Canvas& canvas, ColorRef color, int x, int y) : canvas_(canvas), color_(color), x_(x), y_(y) {}
  void LineTo(int x, int y) {
    canvas_.DrawLine(x_, y_, x, y, color_);
    x_ = x;
    y_ = y;
  }

 private:
  Canvas& canvas_;
  ColorRef color_;
  int x_;
  int y_;
};

// Peak detect: each column a vertical stroke over every row its samples
// reach, stretched to meet the column before it.
class SpanTrace {
 public:
  SpanTrace(Canvas& canvas, ColorRef color) : canvas_(canvas), color_(color) {}
  void Column(int x, ColumnSpan span) {
    if (started_) span = JoinToPrevious(span, previous_);
    canvas_.DrawLine(x, span.top, x, span.bottom + 1, color_);
    previous_ = span;
    started_ = true;
  }

 private:
  Canvas& canvas_;
  ColorRef color_;
  ColumnSpan previous_;
  bool started_ = false;
};

// The most columns one frame gives: one per sample at full resolution.
using FrameColumns = std::array<ColumnSpan, kSamplesPerFrame>;

}  // namespace

ChannelCaptures DrawTraces(Canvas& plot, const ScopeSettings& settings, const SampleBuffer& buffer,
                           const DisplayState& state, const ChannelTicks& ticked, bool acquisitionRunning) {
  ChannelCaptures captures;
  if (buffer.frameCount <= 0 || !buffer.IsAllocated()) return captures;

  const int m = settings.Mode();
  const bool capture = settings.cursorEnable != 0;
  const auto captureSample = [&](int channel, int frame, int sample) {
    const double value = buffer.Values(frame, channel)[static_cast<std::size_t>(sample)];
    const double withoutOffset = value - settings.offset[m][static_cast<std::size_t>(channel)];
    captures[static_cast<std::size_t>(channel)] =
        SampleCapture{value, withoutOffset, withoutOffset * settings.axisScaleFactor[m]};
  };

  if (!IsHistoryTimeBase(settings.timePerDivision)) {
    // One frame is one screen: sample k at column k.
    for (int c = 0; c < kChannelCount; ++c) {
      if (!ticked[static_cast<std::size_t>(c)]) continue;
      const auto rows = buffer.Rows(0, c);
      Polyline trace(plot, settings.liveColors[static_cast<std::size_t>(c)], 0, rows[0]);
      for (int k = 0; k < kSamplesPerFrame; ++k) {
        trace.LineTo(k, rows[static_cast<std::size_t>(k)]);
        if (capture && k == state.cursor2X) captureSample(c, 0, k);
      }
    }
    return captures;
  }

  // n frames per screen, every n-th sample of each, so that n frames fill
  // the 500 columns.
  const int n = FramesPerScreenFor(settings);
  const HistoryWindow window = ComputeHistoryWindow(n, buffer, acquisitionRunning);
  if (settings.peakDetect != 0 && n > 1) {
    // The same columns, each showing all n samples that fall into it.
    FrameColumns columns;
    for (int c = 0; c < kChannelCount; ++c) {
      if (!ticked[static_cast<std::size_t>(c)]) continue;
      SpanTrace trace(plot, settings.liveColors[static_cast<std::size_t>(c)]);
      int x = 0;
      for (int i = 0; i < window.frames; ++i) {
        const int frame = (window.start + i) % kHistoryFrames;
        const std::size_t count = ReduceToColumns(buffer.Rows(frame, c), n, columns);
        for (std::size_t k = 0; k < count; ++k) {
          trace.Column(x, columns[k]);
          if (capture && x == state.cursor2X) captureSample(c, frame, static_cast<int>(k) * n);
          ++x;
        }
      }
    }
    return captures;
  }
  for (int c = 0; c < kChannelCount; ++c) {
    if (!ticked[static_cast<std::size_t>(c)]) continue;
    Polyline trace(plot, settings.liveColors[static_cast<std::size_t>(c)], 0,
                   buffer.Rows(window.start, c)[0]);
    int x = 0;
    for (int i = 0; i < window.frames; ++i) {
      const int frame = (window.start + i) % kHistoryFrames;
      const auto rows = buffer.Rows(frame, c);
      for (int j = 0; j < kSamplesPerFrame; j += n) {
        trace.LineTo(x, rows[static_cast<std::size_t>(j)]);
        if (capture && x == state.cursor2X) captureSample(c, frame, j);
        ++x;
      }
    }
  }
  return captures;
}

void DrawTriggerLine(Canvas& plot, int row, ColorRef color) {
  for (int x = 0; x <= kPlotWidth - kTriggerDashPeriod; x += kTriggerDashPeriod) {
    plot.DrawLine(x, row, x + kTriggerDash, row, color);
  }
}

void DrawCursors(Canvas& plot, const DisplayState& state, ColorRef color) {
  for (int y = 0; y <= kPlotHeight - kCursorDashPeriod; y += kCursorDashPeriod) {
    plot.DrawLine(state.cursor1X, y, state.cursor1X, y + kCursorDash, color);
  }
  plot.DrawLine(state.cursor2X, 0, state.cursor2X, kPlotHeight, color);
}

void DrawPlotFrame(Canvas& frame, ColorRef color) {
  frame.DrawLine(kFrameLeft, kFrameTop, kFrameRight, kFrameTop, color);
  frame.DrawLine(kFrameRight, kFrameTop, kFrameRight, kFrameBottom, color);
  frame.DrawLine(kFrameRight, kFrameBottom, kFrameLeft, kFrameBottom, color);
  frame.DrawLine(kFrameLeft, kFrameBottom, kFrameLeft, kFrameTop, color);
}

void DrawCursorReadout(Canvas& frame, int timePerDivision, const DisplayState& state) {
  frame.DrawText(kCursorReadoutBox, CursorReadoutText(timePerDivision, state.cursor1X, state.cursor2X),
                 kCursorReadoutTextColor, TextAlign::Left);
}

void DrawOffsetMarkers(Canvas& frame, const ScopeSettings& settings, const ChannelTicks& ticked) {
  const int m = settings.Mode();
  for (int c = kChannelCount - 1; c >= 0; --c) {
    if (!ticked[static_cast<std::size_t>(c)]) continue;
    const ColorRef color = settings.liveColors[static_cast<std::size_t>(c)];
    // The tip sits on the display row of the channel's offset.
    const int tip = ValueToRow(settings.mapping, settings.offset[m][static_cast<std::size_t>(c)]) + kPlotTop;
    const std::array<QPoint, 3> corners = {QPoint(kMarkerStripLeft, tip),
                                           QPoint(kMarkerStripRight, tip - kMarkerHalfHeight),
                                           QPoint(kMarkerStripRight, tip + kMarkerHalfHeight)};
    if (c == settings.triggerChannel[m]) frame.FillPolygon(corners, color);
    for (std::size_t i = 0; i < corners.size(); ++i) {
      const QPoint from = corners[i];
      const QPoint to = corners[(i + 1) % corners.size()];
      frame.DrawLine(from.x(), from.y(), to.x(), to.y(), color);
    }
  }
}

namespace {

// The plot area of the frame, drawn in full; the read-outs of its traces.
std::optional<ReadoutTexts> DrawPlot(Canvas& frame, const DisplayCanvases& canvases,
                                     const ScopeSettings& settings, const SampleBuffer& buffer,
                                     const DisplayState& state, const ChannelTicks& ticked,
                                     bool acquisitionRunning) {
  constexpr Box kPlotArea{kPlotLeft, kPlotTop, kPlotLeft + kPlotWidth, kPlotTop + kPlotHeight};
  Canvas plot = Canvas::ViewOf(frame, kPlotArea);
  if (canvases.graticule.Width() != kPlotWidth || canvases.graticule.Height() != kPlotHeight) {
    plot.Fill(DisplayColorsFor(settings.colorReverse != 0).background);
  }
  plot.CopyPixels(canvases.graticule, 0, 0);

  const ChannelCaptures captures = DrawTraces(plot, settings, buffer, state, ticked, acquisitionRunning);
  if (settings.triggerUse != 0)
    DrawTriggerLine(plot, settings.triggerRow, settings.liveColors[kTriggerLineColor]);
  const bool cursors = settings.cursorEnable != 0;
  if (cursors) DrawCursors(plot, state, settings.liveColors[kCursorColor]);

  // The statics follow each pass of the traces; no pass runs before the
  // first frame, and with the cursors hidden they stay empty.
  if (cursors && buffer.frameCount > 0 && buffer.IsAllocated()) {
    return FormatReadouts(captures, ticked, settings.axisScaleEnable[settings.Mode()] != 0);
  }
  return std::nullopt;
}

}  // namespace

std::optional<ReadoutTexts> PaintPlotInto(Canvas& frame, const DisplayCanvases& canvases,
                                          const ScopeSettings& settings, const SampleBuffer& buffer,
                                          const DisplayState& state, const ChannelTicks& ticked,
                                          bool acquisitionRunning) {
  if (frame.Width() != kDisplayWidth || frame.Height() != kDisplayHeight) {
    return PaintDisplayInto(frame, canvases, settings, buffer, state, ticked, acquisitionRunning);
  }
  return DrawPlot(frame, canvases, settings, buffer, state, ticked, acquisitionRunning);
}

std::optional<ReadoutTexts> PaintDisplayInto(Canvas& frame, const DisplayCanvases& canvases,
                                             const ScopeSettings& settings, const SampleBuffer& buffer,
                                             const DisplayState& state, const ChannelTicks& ticked,
                                             bool acquisitionRunning) {
  const DisplayColors colors = DisplayColorsFor(settings.colorReverse != 0);
  if (frame.Width() != kDisplayWidth || frame.Height() != kDisplayHeight) {
    frame = Canvas(kDisplayWidth, kDisplayHeight, colors.background);
  }
  constexpr Box kPlotArea{kPlotLeft, kPlotTop, kPlotLeft + kPlotWidth, kPlotTop + kPlotHeight};

  // The labels around the plot; the plot area is drawn over in full below.
  frame.CopyAround(canvases.labels, kPlotArea, colors.background);
  frame.AppendTexts(canvases.graticule, kPlotLeft, kPlotTop);
  const std::optional<ReadoutTexts> readouts =
      DrawPlot(frame, canvases, settings, buffer, state, ticked, acquisitionRunning);

  DrawPlotFrame(frame, colors.foreground);
  if (settings.cursorEnable != 0) DrawCursorReadout(frame, settings.timePerDivision, state);
  DrawOffsetMarkers(frame, settings, ticked);
  return readouts;
}

PaintResult PaintDisplay(const DisplayCanvases& canvases, const ScopeSettings& settings,
                         const SampleBuffer& buffer, const DisplayState& state, const ChannelTicks& ticked,
                         bool acquisitionRunning) {
  PaintResult result;
  result.readouts =
      PaintDisplayInto(result.frame, canvases, settings, buffer, state, ticked, acquisitionRunning);
  return result;
}

}  // namespace kestrova
