#include "cli/MeasureWriter.h"

#include <array>
#include <charconv>
#include <optional>

#include "analysis/Measurements.h"
#include "output/CsvExport.h"

namespace kestrova::cli {

namespace {

constexpr std::array<std::string_view, 8> kColumns = {"min", "max", "pp", "mean", "rms", "freq_hz", "period_s",
                                                      "duty_pct"};

void AppendOptional(std::string& line, const std::optional<double>& value) {
  line += ',';
  if (value) line += MeasureNumber(*value);
}

class MeasureWriter final : public FrameWriter {
 public:
  std::string Begin(const ScopeSettings& settings) override {
    const int m = settings.Mode();
    std::string header = "frame,seconds";
    for (std::size_t c = 0; c < kChannelCount; ++c) {
      if (settings.channelEnable[m][c] == 0) continue;
      for (const std::string_view column : kColumns) header += ",ch" + std::to_string(c + 1) + "_" + std::string(column);
    }
    return header + "\n";
  }

  std::string Frame(const StoredFrame& frame) override {
    const ScopeSettings& s = frame.settings;
    const int m = s.Mode();
    const double step = static_cast<double>(CsvSampleStepMicroseconds(s.timePerDivision)) / 1e6;
    std::string line = std::to_string(frame.number) + "," + MeasureNumber(frame.seconds);
    for (int c = 0; c < kChannelCount; ++c) {
      if (s.channelEnable[m][static_cast<std::size_t>(c)] == 0) continue;
      const Measurements r = Measure(frame.buffer.Values(frame.slot, c), step);
      for (const double value : {r.minimum, r.maximum, r.peakToPeak, r.mean, r.rms}) line += "," + MeasureNumber(value);
      AppendOptional(line, r.frequency);
      AppendOptional(line, r.period);
      AppendOptional(line, r.dutyCycle);
    }
    return line + "\n";
  }
};

}  // namespace

std::string MeasureNumber(double value) {
  std::array<char, 64> digits{};
  const auto [end, ec] =
      std::to_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::general, 9);
  return ec == std::errc() ? std::string(digits.data(), end) : std::string();
}

std::unique_ptr<FrameWriter> MakeMeasureWriter() { return std::make_unique<MeasureWriter>(); }

}  // namespace kestrova::cli
