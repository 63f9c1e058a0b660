#pragma once

#include <memory>
#include <string>

#include "cli/FrameWriters.h"

namespace kestrova::cli {

// The measure command's output: a header line, then one CSV line per frame
// with the frame number, the seconds since the run started and, for each
// ticked channel, minimum, maximum, peak-to-peak, mean, RMS, frequency (Hz),
// period (s) and duty cycle (%) of the frame's 500 samples in the channel's
// scaled units (the values the display shows). A frequency, period or duty
// cycle the frame does not hold a whole period of is left empty.
std::unique_ptr<FrameWriter> MakeMeasureWriter();

// A measured number: nine significant digits, C locale.
std::string MeasureNumber(double value);

}  // namespace kestrova::cli
