#pragma once

#include <cstddef>
#include <optional>
#include <span>

namespace kestrova {

// What a stretch of one channel's samples measures, in the units of the
// samples (the channel's scaled values) and in seconds and hertz.
struct Measurements {
  std::size_t samples = 0;  // how many samples were measured; 0: nothing to show
  double minimum = 0.0;
  double maximum = 0.0;
  double peakToPeak = 0.0;
  double mean = 0.0;
  double rms = 0.0;  // root of the mean square (not taken about the mean)
  // From crossings of the middle level ((minimum + maximum) / 2) with a
  // hysteresis band of kHysteresisShare of the peak-to-peak value around it:
  // empty unless at least two crossings in the same direction were seen, so
  // that at least one whole period lies in the stretch.
  std::optional<double> period;     // seconds, averaged over the whole periods seen
  std::optional<double> frequency;  // hertz, 1 / period
  std::optional<double> dutyCycle;  // percent of each whole period spent above the middle level
};

// The width of the hysteresis band, as a share of the peak-to-peak value.
inline constexpr double kHysteresisShare = 0.10;

// Measures the samples of `pieces`, taken in order as one stretch sampled
// every `sampleSeconds` seconds (> 0); pieces let a history window that wraps
// around the ring be measured without copying it. Samples must be finite.
// Any thread; no state.
Measurements Measure(std::span<const std::span<const double>> pieces, double sampleSeconds);
Measurements Measure(std::span<const double> samples, double sampleSeconds);

}  // namespace kestrova
