#pragma once

#include <optional>

#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "display/Canvas.h"
#include "display/CursorReadout.h"
#include "display/DisplayState.h"

namespace kestrova {

// The two static canvases the main window keeps: the graticule
// (BuildGraticule) and the label area (BuildAxisLabels).
struct DisplayCanvases {
  Canvas graticule;
  Canvas labels;
};

// What one paint produced: the whole display area, ready to be copied to the
// screen in one step, and the texts of the twelve read-out statics when the
// paint updates them (cursors shown and at least one frame stored); when
// `readouts` is empty the statics keep what they show.
struct PaintResult {
  Canvas frame;
  std::optional<ReadoutTexts> readouts;
};

// Composes the display: graticule copy, traces, trigger line and cursors on
// the 500 x 400 plot; label copy, the plot at (60, 20), the plot frame, the
// cursor read-out and the offset markers on the 580 x 460 frame. Keeps no
// state between calls. `ticked` holds the "Ch 1".."Ch 4" boxes as they are at
// this paint. User-interface thread only.
PaintResult PaintDisplay(const DisplayCanvases& canvases, const ScopeSettings& settings,
                         const SampleBuffer& buffer, const DisplayState& state, const ChannelTicks& ticked,
                         bool acquisitionRunning);

// The same picture composed in place, into a frame canvas the caller keeps
// from paint to paint (made 580 x 460 here when it is not): the label copy
// leaves out the plot, the plot is drawn straight into the frame, and no
// image is allocated, shared or detached once the frame exists. Returns the
// read-out texts as PaintResult::readouts. `frame` must not share its pixels
// with another image (hand out copies of it with QImage::copy), or the first
// write of each paint copies it whole.
std::optional<ReadoutTexts> PaintDisplayInto(Canvas& frame, const DisplayCanvases& canvases,
                                             const ScopeSettings& settings, const SampleBuffer& buffer,
                                             const DisplayState& state, const ChannelTicks& ticked,
                                             bool acquisitionRunning);

// Only the plot of a frame canvas that PaintDisplayInto composed before with
// the same canvases, settings, display state and ticks: graticule, traces,
// trigger line and cursors. The rest of the frame keeps its pixels, so the
// caller must know that nothing outside the plot has changed (a new frame in
// the history changes the plot only). Returns the read-out texts as
// PaintDisplayInto does.
std::optional<ReadoutTexts> PaintPlotInto(Canvas& frame, const DisplayCanvases& canvases,
                                          const ScopeSettings& settings, const SampleBuffer& buffer,
                                          const DisplayState& state, const ChannelTicks& ticked,
                                          bool acquisitionRunning);

// The steps of PaintDisplay, for callers that compose their own picture.

// Traces of the ticked channels from the stored rows: slot 0 at single-frame
// time bases, the history window at multi-frame ones; with peak detect on and
// more than one sample per column, each column there spans the rows of all
// its samples. Captures each channel's
// sample at column cursor2X while cursorEnable is set. Draws nothing while no
// frame is stored.
ChannelCaptures DrawTraces(Canvas& plot, const ScopeSettings& settings, const SampleBuffer& buffer,
                           const DisplayState& state, const ChannelTicks& ticked, bool acquisitionRunning);

// Dashes of 15 pixels with gaps of 5 across the plot at `row`.
void DrawTriggerLine(Canvas& plot, int row, ColorRef color);

// The dashed anchor cursor (10 on, 10 off) and the solid cursor.
void DrawCursors(Canvas& plot, const DisplayState& state, ColorRef color);

// The one-pixel frame around the plot, on the display area.
void DrawPlotFrame(Canvas& frame, ColorRef color);

// The time/frequency text between the cursors, left-aligned in its box below
// the plot.
void DrawCursorReadout(Canvas& frame, int timePerDivision, const DisplayState& state);

// A left-pointing arrowhead right of the plot at each ticked channel's offset:
// filled for the trigger source channel, outlined for the others; channel 1
// is drawn last.
void DrawOffsetMarkers(Canvas& frame, const ScopeSettings& settings, const ChannelTicks& ticked);

}  // namespace kestrova
