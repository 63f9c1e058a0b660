#include "display/MeasurementTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

#include "acquisition/TimeBaseTable.h"
#include "display/HistoryWindow.h"
#include "resources/Translatable.h"

namespace kestrova {

namespace {

constexpr double kHistorySampleSeconds = 200e-6;

std::string Printf(const char* format, double value, const char* unit) {
  std::array<char, 64> text{};
  const int length = std::snprintf(text.data(), text.size(), format, value, unit);
  return length > 0 ? std::string(text.data(), std::min<std::size_t>(static_cast<std::size_t>(length), 63))
                    : std::string("-");
}

// Four significant digits, as "%.4g" would give them but never in exponent
// form for the values a 16-bit unit scales to.
std::string Value(double value) {
  if (!std::isfinite(value)) return "-";
  const double magnitude = std::fabs(value);
  if (magnitude >= 1e6 || (magnitude > 0 && magnitude < 1e-3)) return Printf("%.3e%s", value, "");
  const int digits = magnitude >= 1000 ? 0 : magnitude >= 100 ? 1 : magnitude >= 10 ? 2 : 3;
  std::array<char, 8> format{};
  std::snprintf(format.data(), format.size(), "%%.%df%%s", digits);
  return Printf(format.data(), value, "");
}

// A quantity in seconds or hertz with the prefix that leaves 1..999.
std::string WithPrefix(double value, const char* unit) {
  if (!std::isfinite(value) || value <= 0) return "-";
  struct Prefix {
    double scale;
    const char* name;
  };
  constexpr std::array<Prefix, 5> prefixes = {{{1e6, "M"}, {1e3, "k"}, {1.0, ""}, {1e-3, "m"}, {1e-6, "u"}}};
  for (const Prefix& p : prefixes) {
    if (value >= p.scale * 0.9995 || &p == &prefixes.back()) {
      return Value(value / p.scale) + " " + p.name + unit;
    }
  }
  return "-";
}

}  // namespace

const MeasurementCells& MeasurementHeaders() {
  static const MeasurementCells headers = {
      KESTROVA_TR_NOOP("Kestrova", "최소"),      KESTROVA_TR_NOOP("Kestrova", "최대"),
      KESTROVA_TR_NOOP("Kestrova", "피크-피크"), KESTROVA_TR_NOOP("Kestrova", "평균"),
      KESTROVA_TR_NOOP("Kestrova", "RMS"),       KESTROVA_TR_NOOP("Kestrova", "주파수"),
      KESTROVA_TR_NOOP("Kestrova", "주기"),      KESTROVA_TR_NOOP("Kestrova", "듀티")};
  return headers;
}

double SampleSpacingSeconds(int timePerDivision) {
  if (IsHistoryTimeBase(timePerDivision)) return kHistorySampleSeconds;
  return 2.0 * timePerDivision * 1e-6;
}

std::vector<MeasurementRow> MeasureDisplayed(const ScopeSettings& settings, const SampleBuffer& buffer,
                                             const ChannelTicks& ticked, bool acquisitionRunning) {
  std::vector<MeasurementRow> rows;
  const bool stored = buffer.frameCount > 0 && buffer.IsAllocated();
  HistoryWindow window{0, 1, 1};
  if (IsHistoryTimeBase(settings.timePerDivision)) {
    window = ComputeHistoryWindow(FramesPerScreenFor(settings), buffer, acquisitionRunning);
  }
  const double spacing = SampleSpacingSeconds(settings.timePerDivision);
  std::array<std::span<const double>, kHistoryFrames> pieces;
  for (int c = 0; c < kChannelCount; ++c) {
    if (!ticked[static_cast<std::size_t>(c)]) continue;
    MeasurementRow row{c, {}};
    if (stored && window.frames > 0) {
      const auto count = static_cast<std::size_t>(std::min(window.frames, kHistoryFrames));
      for (std::size_t i = 0; i < count; ++i) {
        pieces[i] = buffer.Values((window.start + static_cast<int>(i)) % kHistoryFrames, c);
      }
      row.values = Measure(std::span(pieces).first(count), spacing);
    }
    rows.push_back(row);
  }
  return rows;
}

MeasurementCells FormatMeasurementCells(const Measurements& values) {
  MeasurementCells cells;
  cells.fill("-");
  if (values.samples == 0) return cells;
  cells[0] = Value(values.minimum);
  cells[1] = Value(values.maximum);
  cells[2] = Value(values.peakToPeak);
  cells[3] = Value(values.mean);
  cells[4] = Value(values.rms);
  if (values.frequency) cells[5] = WithPrefix(*values.frequency, "Hz");
  if (values.period) cells[6] = WithPrefix(*values.period, "s");
  if (values.dutyCycle) cells[7] = Printf("%.1f%s", *values.dutyCycle, " %");
  return cells;
}

std::string MeasurementTableText(const std::vector<MeasurementRow>& rows, const MeasurementCells& headers) {
  std::string text = "Ch";
  for (const std::string& header : headers) text += "\t" + header;
  text += "\n";
  for (const MeasurementRow& row : rows) {
    text += "Ch " + std::to_string(row.channel + 1);
    for (const std::string& cell : FormatMeasurementCells(row.values)) text += "\t" + cell;
    text += "\n";
  }
  return text;
}

}  // namespace kestrova
