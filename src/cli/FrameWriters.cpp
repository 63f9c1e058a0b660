#include "cli/FrameWriters.h"

#include <array>
#include <charconv>
#include <cmath>

#include "acquisition/LabelTables.h"
#include "acquisition/TimeBaseTable.h"
#include "output/CsvExport.h"
#include "output/RealTimeLogger.h"

namespace kestrova::cli {

namespace {

constexpr std::array<std::string_view, kModeCount> kModeNames = {"ADC", "SPI", "CAN", "UART"};

}  // namespace

std::string JsonNumber(double value) {
  if (!std::isfinite(value)) return "null";
  std::array<char, 64> digits{};
  const auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  return ec == std::errc() ? std::string(digits.data(), end) : "null";
}

std::string CsvFrameWriter::Begin(const ScopeSettings& /*settings*/) {
  microseconds_ = 0;
  return std::string(kCsvHeaderLine);
}

std::string CsvFrameWriter::Frame(const StoredFrame& frame) {
  if (!IsHistoryTimeBase(frame.settings.timePerDivision)) microseconds_ = 0;
  std::string text;
  text.reserve(std::size_t{kSamplesPerFrame} * 64);
  AppendCsvFrame(text, frame.settings, frame.buffer, frame.slot, microseconds_);
  return text;
}

std::string JsonlFrameWriter::Begin(const ScopeSettings& /*settings*/) { return {}; }

std::string JsonlFrameWriter::Frame(const StoredFrame& frame) {
  const ScopeSettings& s = frame.settings;
  const int m = s.Mode();
  const double step = static_cast<double>(CsvSampleStepMicroseconds(s.timePerDivision)) / 1e6;
  std::string text = R"({"frame":)" + std::to_string(frame.number);
  text += R"(,"type":")";
  text += frame.type == 'T' ? 'T' : 'M';
  text += R"(","time_base":")" + std::string(TimeBaseAt(s.timeIndex).label);
  text += R"(","time_step":)" + JsonNumber(step);
  text += R"(,"mode":")" + std::string(kModeNames[static_cast<std::size_t>(m)]);
  text += R"(","channels":{)";
  bool first = true;
  for (int c = 0; c < kChannelCount; ++c) {
    if (s.channelEnable[m][static_cast<std::size_t>(c)] == 0) continue;
    if (!first) text += ',';
    first = false;
    text += '"' + std::to_string(c + 1) + R"(":[)";
    const auto values = frame.buffer.Values(frame.slot, c);
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (i != 0) text += ',';
      text += JsonNumber(values[i]);
    }
    text += ']';
  }
  text += "}}\n";
  return text;
}

std::string SrFrameWriter::Begin(const ScopeSettings& settings) {
  writer_ = std::make_unique<SrWriter>(SrHeaderOf(settings, settings.timePerDivision));
  return writer_->Begin();
}

std::string SrFrameWriter::Frame(const StoredFrame& frame) {
  const int m = frame.settings.Mode();
  std::array<std::span<const double>, kChannelCount> values{};
  std::size_t count = 0;
  for (int c = 0; c < kChannelCount; ++c) {
    if (frame.settings.channelEnable[m][static_cast<std::size_t>(c)] == 0) continue;
    values[count++] = frame.buffer.Values(frame.slot, c);
  }
  return writer_->AddFrame(std::span(values).first(count));
}

bool SrFrameWriter::End(std::string& text) {
  text = writer_->Finish();
  if (!writer_->TooLarge()) return true;
  text = "the capture grew past 4 GiB, more than a .sr file can hold; use --format csv or fewer frames";
  return false;
}

std::string LogLineWriter::Begin(const ScopeSettings& /*settings*/) {
  counter_ = 0;
  return {};
}

std::string LogLineWriter::Frame(const StoredFrame& frame) {
  const ScopeSettings& s = frame.settings;
  if (++counter_ < RealSaveIntervalAt(s.realSaveIndex).framesPerLine) return {};
  counter_ = 0;
  const int m = s.Mode();
  std::array<double, kChannelCount> values{};
  for (std::size_t c = 0; c < kChannelCount; ++c)
    values[c] = frame.buffer.Values(frame.slot, static_cast<int>(c))[kLoggedSample] - s.offset[m][c];
  return FormatRealSaveLine(localTime_(), values);
}

}  // namespace kestrova::cli
