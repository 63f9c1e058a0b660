#include "analysis/Measurements.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace kestrova {

namespace {

// A crossing of the middle level, at a fractional sample index.
struct Edge {
  double at;
  bool rising;
};

template <typename F>
void ForEachSample(std::span<const std::span<const double>> pieces, F&& visit) {
  for (const auto piece : pieces) {
    for (const double value : piece) visit(value);
  }
}

// The confirmed crossings of the middle level, in order. A crossing counts
// once the signal has gone on past the far edge of the hysteresis band; its
// time is that of the latest pass through the middle level before that, taken
// between the two samples around it. Rising and falling edges alternate.
std::vector<Edge> FindEdges(std::span<const std::span<const double>> pieces, double minimum, double maximum) {
  const double middle = (minimum + maximum) / 2.0;
  const double halfBand = (maximum - minimum) * kHysteresisShare / 2.0;
  const double high = middle + halfBand;
  const double low = middle - halfBand;

  enum class Level { Unknown, Low, High };
  Level level = Level::Unknown;
  std::vector<Edge> edges;
  double lastUp = 0.0;    // latest upward pass through the middle level
  double lastDown = 0.0;  // latest downward pass
  double previous = 0.0;
  double index = 0.0;
  ForEachSample(pieces, [&](double value) {
    if (index > 0.0) {
      const double between = index - 1.0 + (middle - previous) / (value - previous);
      if (previous < middle && value >= middle) lastUp = between;
      if (previous >= middle && value < middle) lastDown = between;
    }
    if (value >= high && level != Level::High) {
      if (level == Level::Low) edges.push_back({lastUp, true});
      level = Level::High;
    } else if (value <= low && level != Level::Low) {
      if (level == Level::High) edges.push_back({lastDown, false});
      level = Level::Low;
    }
    previous = value;
    index += 1.0;
  });
  return edges;
}

// Period and duty cycle over the whole periods between the first and the last
// edge of one direction (rising preferred); nothing with fewer than two.
void MeasureTiming(const std::vector<Edge>& edges, double sampleSeconds, Measurements& result) {
  const auto count = [&](bool rising) {
    return std::count_if(edges.begin(), edges.end(), [&](const Edge& e) { return e.rising == rising; });
  };
  const long risingCount = static_cast<long>(count(true));
  const long fallingCount = static_cast<long>(count(false));
  bool rising = true;
  long periods = risingCount - 1;
  if (risingCount < 2) {
    rising = false;
    periods = fallingCount - 1;
  }
  if (periods < 1) return;

  const auto first = std::find_if(edges.begin(), edges.end(), [&](const Edge& e) { return e.rising == rising; });
  const auto last = std::find_if(edges.rbegin(), edges.rend(), [&](const Edge& e) { return e.rising == rising; });
  const double span = last->at - first->at;
  if (!(span > 0.0)) return;

  // Edges alternate: the time above the middle runs from each rising edge to
  // the falling edge after it.
  double above = 0.0;
  for (auto e = first; e != last.base() - 1; ++e) {
    if (e->rising) above += std::next(e)->at - e->at;
  }

  const double period = span / static_cast<double>(periods) * sampleSeconds;
  result.period = period;
  result.frequency = 1.0 / period;
  result.dutyCycle = above / span * 100.0;
}

}  // namespace

Measurements Measure(std::span<const std::span<const double>> pieces, double sampleSeconds) {
  Measurements result;
  double sum = 0.0;
  double sumOfSquares = 0.0;
  double minimum = 0.0;
  double maximum = 0.0;
  ForEachSample(pieces, [&](double value) {
    if (result.samples == 0) {
      minimum = value;
      maximum = value;
    }
    minimum = std::min(minimum, value);
    maximum = std::max(maximum, value);
    sum += value;
    sumOfSquares += value * value;
    ++result.samples;
  });
  if (result.samples == 0) return result;

  const auto n = static_cast<double>(result.samples);
  result.minimum = minimum;
  result.maximum = maximum;
  result.peakToPeak = maximum - minimum;
  result.mean = sum / n;
  result.rms = std::sqrt(sumOfSquares / n);
  if (result.peakToPeak > 0.0 && sampleSeconds > 0.0) {
    MeasureTiming(FindEdges(pieces, minimum, maximum), sampleSeconds, result);
  }
  return result;
}

Measurements Measure(std::span<const double> samples, double sampleSeconds) {
  const std::array<std::span<const double>, 1> piece = {samples};
  return Measure(std::span<const std::span<const double>>(piece), sampleSeconds);
}

}  // namespace kestrova
