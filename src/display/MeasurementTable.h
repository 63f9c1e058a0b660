#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "analysis/Measurements.h"
#include "display/CursorReadout.h"

namespace kestrova {

// The measurement window's columns after the channel name.
inline constexpr std::size_t kMeasurementColumns = 8;
using MeasurementCells = std::array<std::string, kMeasurementColumns>;

// Column headers: minimum, maximum, peak-to-peak, mean, RMS, frequency,
// period, duty cycle.
const MeasurementCells& MeasurementHeaders();

// One ticked channel's line of the measurement window.
struct MeasurementRow {
  int channel = 0;  // 0..3
  Measurements values;
};

// Seconds between two stored samples at a time base: 2 x T us up to 5 ms per
// division, 200 us from 10 ms on.
double SampleSpacingSeconds(int timePerDivision);

// Measures what the display shows of each ticked channel, in the scaled
// values the samples were stored with: the one frame at single-frame time
// bases, the frames of the history window (every sample of each, in order)
// at the others. A channel measures nothing (samples 0) while no frame is
// stored. User-interface thread only (reads the history ring).
std::vector<MeasurementRow> MeasureDisplayed(const ScopeSettings& settings, const SampleBuffer& buffer,
                                             const ChannelTicks& ticked, bool acquisitionRunning);

// The texts of one row: values with four significant digits, frequency and
// period with an SI prefix ("1.250 kHz", "800.0 us"), duty in percent; "-"
// where there is nothing to show.
MeasurementCells FormatMeasurementCells(const Measurements& values);

// The whole table as text to paste elsewhere: a header line and one line per
// row, cells separated by tabs, lines ended by "\n"; a row starts with its
// channel's name ("Ch 1"). headers: the header line's names (the window passes
// them translated).
std::string MeasurementTableText(const std::vector<MeasurementRow>& rows,
                                 const MeasurementCells& headers = MeasurementHeaders());

}  // namespace kestrova
