#include "output/CsvExport.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <vector>

#include "acquisition/TimeBaseTable.h"
#include "output/LogFile.h"

namespace kestrova {

namespace {

constexpr long long kMicrosecondsPerSecond = 1'000'000;
constexpr long long kHistoryStepMicroseconds = 200;
// Lines go to the file in blocks of about this size (whole frames).
constexpr std::size_t kBlockSize = std::size_t{64} * 1024;
// The longest "%.4f" of a double (about 1.8e308) is 315 characters.
constexpr std::size_t kMaxFieldLength = 400;

// "%f" of a time that is a whole number of microseconds: exact, so the
// column never drifts however many lines precede.
void AppendSeconds(std::string& out, long long microseconds) {
  std::array<char, 32> digits{};
  const long long whole = microseconds / kMicrosecondsPerSecond;
  const long long fraction = microseconds % kMicrosecondsPerSecond;
  char* end = std::to_chars(digits.data(), digits.data() + digits.size(), whole).ptr;
  *end++ = '.';
  // Six digits, zero-padded.
  long long rest = fraction;
  for (int place = 5; place >= 0; --place) {
    end[place] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  }
  end += 6;
  out.append(digits.data(), end);
}

// "%.4f" in the C locale: to_chars rounds the exact binary value as printf
// does, and keeps the sign of values that round to zero ("-0.0000").
void AppendFixed4(std::string& out, double value) {
  std::array<char, kMaxFieldLength> digits{};
  const auto [end, ec] =
      std::to_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed, 4);
  if (ec == std::errc()) out.append(digits.data(), end);
}

int Wrap(int slot) {
  return ((slot % kHistoryFrames) + kHistoryFrames) % kHistoryFrames;
}

}  // namespace

std::string CsvOverwriteQuestion(std::string_view path, std::string_view wording) {
  return WithArgument(wording, path);
}

std::vector<int> CaptureSlots(const SampleBuffer& buffer) {
  const int end = Wrap(buffer.captureEnd);
  if (!IsHistoryTimeBase(buffer.captureTimePerDivision)) return {Wrap(end - 1)};
  const int count = std::clamp(buffer.captureFrames, 1, kHistoryFrames);
  std::vector<int> slots;
  slots.reserve(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) slots.push_back((end - count + k + kHistoryFrames) % kHistoryFrames);
  return slots;
}

bool HasCapture(const SampleBuffer& buffer) {
  return buffer.IsAllocated() && buffer.captureFrames > 0;
}

long long CsvSampleStepMicroseconds(int timePerDivision) {
  if (IsHistoryTimeBase(timePerDivision)) return kHistoryStepMicroseconds;
  // 100 us per unit of T, ten divisions, 500 samples: 2 x T us apart.
  return 2LL * std::max(timePerDivision, 0);
}

void AppendCsvFrame(std::string& out, const ScopeSettings& settings, const SampleBuffer& buffer, int slot,
                    long long& microseconds) {
  const int m = settings.Mode();
  // The time base the frames were sampled at, not the one the Time list
  // shows now.
  const long long step = CsvSampleStepMicroseconds(buffer.captureTimePerDivision);
  const std::array<std::span<const double, kSamplesPerFrame>, kChannelCount> channels{
      buffer.Values(slot, 0), buffer.Values(slot, 1), buffer.Values(slot, 2), buffer.Values(slot, 3)};
  for (std::size_t i = 0; i < kSamplesPerFrame; ++i) {
    AppendSeconds(out, microseconds);
    for (std::size_t c = 0; c < kChannelCount; ++c) {
      out += ", ";
      AppendFixed4(out, channels[c][i] - settings.offset[m][c]);
    }
    out += "\r\n";
    microseconds += step;
  }
}

CsvExportResult WriteCsvExport(const std::string& path, const ScopeSettings& settings,
                               const SampleBuffer& buffer) {
  if (!HasCapture(buffer)) return CsvExportResult::NoData;

  LogFile file;
  if (!file.Create(path)) return CsvExportResult::CreateFailed;

  std::string block;
  block.reserve(2 * kBlockSize);
  block += kCsvHeaderLine;

  bool failed = false;
  long long microseconds = 0;
  for (const int slot : CaptureSlots(buffer)) {
    AppendCsvFrame(block, settings, buffer, slot, microseconds);
    if (block.size() >= kBlockSize) {
      failed = !file.Write(block);
      block.clear();
      if (failed) break;
    }
  }
  if (!failed && !block.empty()) failed = !file.Write(block);
  // Buffered bytes that cannot be flushed are as lost as a refused line.
  const bool closed = file.Close();
  return failed || !closed ? CsvExportResult::WriteFailed : CsvExportResult::Saved;
}

}  // namespace kestrova
