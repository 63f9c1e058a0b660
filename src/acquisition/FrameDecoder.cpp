#include "acquisition/FrameDecoder.h"

#include <algorithm>
#include <string>

#include "acquisition/NumberText.h"
#include "acquisition/TimeBaseTable.h"

namespace kestrova {

namespace {

constexpr std::size_t kFieldWidth = 4;
constexpr std::size_t kFieldsEnd = kFirstFieldOffset + kSampleFieldCount * kFieldWidth;  // 8001
constexpr std::uint8_t kNotHex = 0xFF;

constexpr std::array<std::uint8_t, 256> MakeHexTable() {
  std::array<std::uint8_t, 256> table{};
  for (auto& entry : table) entry = kNotHex;
  for (int c = '0'; c <= '9'; ++c) table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c) table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - 'a' + 10);
  return table;
}
constexpr std::array<std::uint8_t, 256> kHexTable = MakeHexTable();

constexpr bool IsCSpace(std::uint8_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The general rule, for fields that are not four plain hexadecimal digits.
std::uint16_t ConvertIrregularField(std::span<const std::uint8_t, 4> field) {
  std::size_t i = 0;
  while (i < kFieldWidth && IsCSpace(field[i])) ++i;
  bool negative = false;
  if (i < kFieldWidth && (field[i] == '+' || field[i] == '-')) {
    negative = field[i] == '-';
    ++i;
  }
  if (i + 2 < kFieldWidth && field[i] == '0' && (field[i + 1] == 'x' || field[i + 1] == 'X') &&
      kHexTable[field[i + 2]] != kNotHex) {
    i += 2;
  }
  std::uint32_t value = 0;
  for (; i < kFieldWidth && kHexTable[field[i]] != kNotHex; ++i) value = value * 16U + kHexTable[field[i]];
  if (negative) value = 0U - value;
  return static_cast<std::uint16_t>(value);
}

void DecodeFields(const std::uint8_t* fields, RawFrame& raw) {
  for (std::size_t i = 0; i < kSamplesPerFrame; ++i) {
    for (std::size_t c = 0; c < kChannelCount; ++c) {
      const std::uint8_t* field = fields + (i * kChannelCount + c) * kFieldWidth;
      const unsigned a = kHexTable[field[0]];
      const unsigned b = kHexTable[field[1]];
      const unsigned d2 = kHexTable[field[2]];
      const unsigned d3 = kHexTable[field[3]];
      if ((a | b | d2 | d3) < 16U) {
        raw[c][i] = static_cast<std::uint16_t>((a << 12) | (b << 8) | (d2 << 4) | d3);
      } else {
        raw[c][i] = ConvertIrregularField(std::span<const std::uint8_t, 4>(field, kFieldWidth));
      }
    }
  }
}

}  // namespace

std::uint8_t HexDigitValue(char c) { return kHexTable[static_cast<unsigned char>(c)]; }

bool ChecksumMatches(std::span<const std::uint8_t> payload) {
  const std::size_t length = payload.size();
  if (length < 3) return false;
  const std::uint8_t high = kHexTable[payload[length - 2]];
  const std::uint8_t low = kHexTable[payload[length - 1]];
  if (high == kNotHex || low == kNotHex) return false;
  unsigned sum = 0;
  for (std::size_t i = 0; i + 2 < length; ++i) sum += payload[i];
  return ((static_cast<unsigned>(high) << 4) | low) == (sum & 0xFFU);
}

std::uint16_t ConvertSampleField(std::span<const std::uint8_t, 4> field) {
  const unsigned a = kHexTable[field[0]];
  const unsigned b = kHexTable[field[1]];
  const unsigned c = kHexTable[field[2]];
  const unsigned d = kHexTable[field[3]];
  if ((a | b | c | d) < 16U) return static_cast<std::uint16_t>((a << 12) | (b << 8) | (c << 4) | d);
  return ConvertIrregularField(field);
}

void DecodeSampleFields(std::span<const std::uint8_t> payload, RawFrame& raw) {
  if (payload.size() >= kFieldsEnd) {
    DecodeFields(payload.data() + kFirstFieldOffset, raw);
    return;
  }
  // A short payload: its fields run on into the zero-filled frame area.
  std::array<std::uint8_t, kFieldsEnd> padded{};
  std::ranges::copy(payload, padded.begin());
  DecodeFields(padded.data() + kFirstFieldOffset, raw);
}

void ShowTriggerStatus(const ScopeSettings& settings, SampleBuffer& buffer, ColorTextField& status) {
  status.SetTextColor(Rgb(255, 0, 0));
  status.SetBackgroundColor(Rgb(0, 0, 0));
  if (settings.triggerStop != 0) {
    status.SetText("Trigger!");
  } else {
    ++buffer.triggerCount;
    status.SetText(FormatInt(buffer.triggerCount) + " Trigger");
  }
}

FrameDecoder::FrameDecoder(ScopeSettings& settings, SampleBuffer& buffer, const AcquisitionRunning& running,
                           ColorTextField& triggerStatus, ScrollBarControl& historyScroll,
                           FrameDecoderHooks& hooks)
    : settings_(settings),
      buffer_(buffer),
      running_(running),
      triggerStatus_(triggerStatus),
      historyScroll_(historyScroll),
      hooks_(hooks) {}

FrameOutcome FrameDecoder::OnFrameReady(std::span<const std::uint8_t> payload) {
  if (!ChecksumMatches(payload)) return FrameOutcome::Rejected;

  const char type = static_cast<char>(payload[0]);
  buffer_.lastFrameType = type;
  if (type != kTriggeredFrame && type != kMonitorFrame) return FrameOutcome::NotSampleData;
  if (type == kMonitorFrame && settings_.triggerOnly != 0) return FrameOutcome::MonitorDropped;
  if (type == kTriggeredFrame) ShowTriggerStatus(settings_, buffer_, triggerStatus_);

  DecodeSampleFields(payload, raw_);
  StoreFrame(raw_);
  if (settings_.realSaveEnable != 0) hooks_.WriteRealSaveLine();
  AdvanceRing();
  hooks_.InvalidateDisplay();
  if (running_.Get()) hooks_.ShowElapsedTime();
  return FrameOutcome::Stored;
}

void FrameDecoder::StoreFrame(const RawFrame& raw) {
  buffer_.Allocate();
  buffer_.writeIndex = ((buffer_.writeIndex % kHistoryFrames) + kHistoryFrames) % kHistoryFrames;
  const int m = settings_.Mode();
  const DisplayMapping mapping = settings_.mapping;
  for (std::size_t c = 0; c < kChannelCount; ++c) {
    const bool isUnsigned = settings_.unsignedSamples[m][c] != 0;
    const double scale = settings_.scale[m][c];
    const double offset = settings_.offset[m][c];
    const auto values = buffer_.Values(buffer_.writeIndex, static_cast<int>(c));
    const auto rows = buffer_.Rows(buffer_.writeIndex, static_cast<int>(c));
    for (std::size_t i = 0; i < kSamplesPerFrame; ++i) {
      const std::uint16_t sample = raw[c][i];
      const double number = isUnsigned ? static_cast<double>(sample)
                                       : static_cast<double>(static_cast<std::int16_t>(sample));
      const double value = number * scale + offset;
      values[i] = value;
      rows[i] = ValueToRow(mapping, value);
    }
  }
}

void FrameDecoder::AdvanceRing() {
  const int perDivision = settings_.timePerDivision;
  buffer_.frameCount = std::min(buffer_.frameCount + 1, kHistoryFrames);
  if (!IsHistoryTimeBase(perDivision)) return;  // the next frame overwrites this one

  buffer_.writeIndex = (buffer_.writeIndex + 1) % kHistoryFrames;
  const int position = settings_.triggerUse != 0 ? buffer_.frameCount - 1
                                                 : buffer_.frameCount - FramesPerScreen(perDivision);
  historyScroll_.SetPosition(position);
  buffer_.viewIndex = historyScroll_.Position();
}

}  // namespace kestrova
