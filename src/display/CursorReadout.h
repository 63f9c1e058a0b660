#pragma once

#include <array>
#include <optional>
#include <string>

#include "acquisition/OperationMode.h"

namespace kestrova {

// The time between the two cursors and the matching frequency, as shown below
// the plot: "d=100.00us  f=10.0000kHz". Δ = cursor2X - cursor1X columns; one
// column is 2 x T us (by the single-precision factor 0.2, slightly more). Empty
// for a T that is not in the time base table.
std::string CursorReadoutText(int timePerDivision, int cursor1X, int cursor2X);

// The sample a trace drew at the solid cursor's column, as three numbers that
// always describe the same sample.
struct SampleCapture {
  double value = 0.0;          // the scaled sample
  double withoutOffset = 0.0;  // value - offset[M][C]
  double scaled = 0.0;         // withoutOffset * axisScaleFactor[M]
};
using ChannelCaptures = std::array<std::optional<SampleCapture>, kChannelCount>;
using ChannelTicks = std::array<bool, kChannelCount>;

// Texts of one channel's three read-out statics: "Disp_data" (1018 + C),
// "Ofs_Data" (1037, 1040, 1041, 1042) and "Scale_Data" (1043 + C).
struct ChannelReadout {
  std::string value;
  std::string withoutOffset;
  std::string scaled;

  bool operator==(const ChannelReadout&) const = default;
};
using ReadoutTexts = std::array<ChannelReadout, kChannelCount>;

// "%.4f" of each captured number. A channel whose "Ch n" box is not ticked,
// or that drew no sample at the cursor, gets three empty texts; "Scale_Data"
// is empty while "Y-axis scale" is off.
ReadoutTexts FormatReadouts(const ChannelCaptures& captures, const ChannelTicks& ticked,
                            bool axisScaleEnable);

}  // namespace kestrova
