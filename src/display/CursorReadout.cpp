#include "display/CursorReadout.h"

#include "acquisition/NumberText.h"

namespace kestrova {

namespace {

// 0.2 as the single-precision constant it always was (0.20000000298...):
// one column reads a hair longer than 2 x T us, which decides the unit at
// exact multiples such as 50 columns at "1 ms".
constexpr double kColumnFactor = 0.2F;

std::string Measurement(double d, std::string_view dUnit, double f, std::string_view fUnit) {
  std::string text = "d=";
  text += FormatFixed(d, 2);
  text += dUnit;
  text += "  f=";
  text += FormatFixed(f, 4);
  text += fUnit;
  return text;
}

// d in the row's time unit; f = 1/d in the matching frequency unit, or in the
// next lower one (times 1000) when |f| < 1 or d is 0.
std::string TwoUnitText(double d, std::string_view dUnit, std::string_view fUnit,
                        std::string_view lowerFUnit) {
  const double f = d == 0.0 ? 0.0 : 1.0 / d;
  if (f >= 1.0 || f <= -1.0) return Measurement(d, dUnit, f, fUnit);
  return Measurement(d, dUnit, f * 1000.0, lowerFUnit);
}

}  // namespace

std::string CursorReadoutText(int timePerDivision, int cursor1X, int cursor2X) {
  const double delta = static_cast<double>(cursor2X) - static_cast<double>(cursor1X);
  const int t = timePerDivision;
  if (t >= 1 && t <= 5) {
    return TwoUnitText(delta * kColumnFactor * (10.0 * t), "us", "MHz", "kHz");
  }
  if (t >= 10 && t <= 5000) {
    return TwoUnitText(delta * kColumnFactor * t * 0.01, "ms", "kHz", "Hz");
  }
  if (t == 10000) {
    const double d = delta * kColumnFactor * 0.1;
    return Measurement(d, "s", d == 0.0 ? 0.0 : 1.0 / d, "Hz");
  }
  return {};
}

ReadoutTexts FormatReadouts(const ChannelCaptures& captures, const ChannelTicks& ticked,
                            bool axisScaleEnable) {
  ReadoutTexts texts;
  for (std::size_t c = 0; c < kChannelCount; ++c) {
    if (!ticked[c] || !captures[c]) continue;
    const SampleCapture& sample = *captures[c];
    texts[c].value = FormatFixed(sample.value, 4);
    texts[c].withoutOffset = FormatFixed(sample.withoutOffset, 4);
    if (axisScaleEnable) texts[c].scaled = FormatFixed(sample.scaled, 4);
  }
  return texts;
}

}  // namespace kestrova
