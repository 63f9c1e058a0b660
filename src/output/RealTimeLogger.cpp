#include "output/RealTimeLogger.h"

#include <utility>

#include "acquisition/ControlIds.h"
#include "acquisition/LabelTables.h"
#include "acquisition/NumberText.h"

namespace kestrova {

namespace {

constexpr std::uint32_t kMsPerSecond = 1000;
constexpr std::uint32_t kMsPerMinute = 60 * kMsPerSecond;
constexpr std::uint32_t kMsPerHour = 60 * kMsPerMinute;
constexpr std::uint32_t kMsPerDay = 24 * kMsPerHour;

// "%0Nd": at least width characters, zeros after any minus sign.
std::string ZeroPadded(long long value, std::size_t width) {
  std::string digits = FormatInt(value < 0 ? -value : value);
  const std::size_t sign = value < 0 ? 1 : 0;
  if (digits.size() + sign < width) digits.insert(0, width - digits.size() - sign, '0');
  return value < 0 ? "-" + digits : digits;
}

}  // namespace

std::string FormatRealSaveLine(const LocalTime& time, const std::array<double, kChannelCount>& values) {
  std::string line;
  line.reserve(80);
  line += FormatInt(time.year);
  line += '-';
  line += FormatInt(time.month);
  line += '-';
  line += FormatInt(time.day);
  line += ", ";
  line += ZeroPadded(time.hour, 2);
  line += ':';
  line += ZeroPadded(time.minute, 2);
  line += ':';
  line += ZeroPadded(time.second, 2);
  line += ':';
  line += ZeroPadded(time.millisecond, 3);
  for (const double value : values) {
    line += ", ";
    line += FormatFixed(value, 4);
  }
  line += "\r\n";
  return line;
}

std::string FormatElapsedTime(std::uint32_t elapsedMs) {
  std::string text = FormatInt(elapsedMs / kMsPerDay);
  text += " - ";
  text += ZeroPadded((elapsedMs % kMsPerDay) / kMsPerHour, 2);
  text += ':';
  text += ZeroPadded((elapsedMs % kMsPerHour) / kMsPerMinute, 2);
  text += ':';
  text += ZeroPadded((elapsedMs % kMsPerMinute) / kMsPerSecond, 2);
  text += ':';
  text += ZeroPadded(elapsedMs % kMsPerSecond, 3);
  return text;
}

RealTimeLogger::RealTimeLogger(TickSource tick, LocalTimeSource localTime)
    : tick_(std::move(tick)), localTime_(std::move(localTime)) {}

void RealTimeLogger::BeginRealSave() {
  realSaveCounter_ = 0;
  realSaveFile_.Close();
}

RealSaveStart RealTimeLogger::CreateRealSaveFile(const ScopeSettings& settings) {
  realSaveFile_.Close();
  if (settings.realSaveEnable == 0) return RealSaveStart::Off;
  return realSaveFile_.Create(settings.realSavePath) ? RealSaveStart::Logging : RealSaveStart::CreateFailed;
}

void RealTimeLogger::MarkRunStart() {
  runStartTick_ = tick_();
}

RealSaveWrite RealTimeLogger::WriteRealSaveLine(const ScopeSettings& settings, const SampleBuffer& buffer) {
  // Without the history ring there is no stored frame to count.
  if (!buffer.IsAllocated()) return RealSaveWrite::Counted;

  ++realSaveCounter_;
  if (realSaveCounter_ < RealSaveIntervalAt(settings.realSaveIndex).framesPerLine)
    return RealSaveWrite::Counted;
  realSaveCounter_ = 0;
  if (!realSaveFile_.IsOpen()) return RealSaveWrite::NotOpen;

  const int frame = ((buffer.writeIndex % kHistoryFrames) + kHistoryFrames) % kHistoryFrames;
  const int m = settings.Mode();
  std::array<double, kChannelCount> values{};
  for (std::size_t c = 0; c < kChannelCount; ++c)
    values[c] = buffer.Values(frame, static_cast<int>(c))[kLoggedSample] - settings.offset[m][c];

  if (realSaveFile_.Write(FormatRealSaveLine(localTime_(), values))) return RealSaveWrite::Written;
  // The disk refused the line. Later lines would fail the same way or leave a
  // gap in the log, so logging ends here for this run.
  realSaveFile_.Close();
  return RealSaveWrite::WriteFailed;
}

RealSaveEnd RealTimeLogger::EndRealSave() {
  if (!realSaveFile_.IsOpen()) return RealSaveEnd::NotOpen;
  return realSaveFile_.Close() ? RealSaveEnd::Closed : RealSaveEnd::WriteFailed;
}

std::string RealTimeLogger::ElapsedTimeText() const {
  // Unsigned subtraction stays right across the tick's wrap-around.
  return FormatElapsedTime(tick_() - runStartTick_);
}

void RealTimeLogger::ShowElapsedTime(ControlPanel& panel) const {
  panel.SetText(ctl::RealSaveStatus, ElapsedTimeText());
}

}  // namespace kestrova
