#include "acquisition/FrameDecoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
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
  for (int c = 'A'; c <= 'F'; ++c)
    table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c)
    table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - 'a' + 10);
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

// Eight characters (two fields) at a time, as one 64-bit word, byte k of the
// word being character k. The unit sends four plain hexadecimal digits per
// field; a word holding anything else goes through the general rule.
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// High bit of each byte set where lo <= byte <= hi (bytes below 0x80).
constexpr std::uint64_t InRange(std::uint64_t x, unsigned lo, unsigned hi) {
  return (x + (0x80U - lo) * kOnes) & ~(x + (0x7FU - hi) * kOnes);
}

bool DecodePlainWord(std::uint64_t x, std::uint16_t& first, std::uint16_t& second) {
  if ((x & kHighBits) != 0) return false;
  const std::uint64_t valid =
      (InRange(x, '0', '9') | InRange(x, 'A', 'F') | InRange(x, 'a', 'f')) & kHighBits;
  if (valid != kHighBits) return false;
  // Digit values: low nibble, plus 9 for letters (bit 6 set).
  const std::uint64_t nibbles = (x & (0x0F * kOnes)) + ((x >> 6) & kOnes) * 9U;
  // Byte 2j now holds characters 2j and 2j + 1 as one byte value.
  const std::uint64_t pairs = (nibbles << 4) | (nibbles >> 8);
  first = static_cast<std::uint16_t>(((pairs & 0xFFU) << 8) | ((pairs >> 16) & 0xFFU));
  second = static_cast<std::uint16_t>((((pairs >> 32) & 0xFFU) << 8) | ((pairs >> 48) & 0xFFU));
  return true;
}

std::uint64_t LoadWord(const std::uint8_t* bytes) {
  std::uint64_t word = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&word, bytes, sizeof word);
  } else {
    for (int k = 7; k >= 0; --k) word = (word << 8) | bytes[k];
  }
  return word;
}

// Channels c and c + 1 of one sample, from the word at chars.
void DecodeFieldPair(const std::uint8_t* chars, std::uint16_t& first, std::uint16_t& second) {
  if (!DecodePlainWord(LoadWord(chars), first, second)) {
    first = ConvertIrregularField(std::span<const std::uint8_t, 4>(chars, kFieldWidth));
    second = ConvertIrregularField(std::span<const std::uint8_t, 4>(chars + kFieldWidth, kFieldWidth));
  }
}

#if defined(__SSE2__)
// One sample's four fields (16 characters) in one SSE2 register: true and the
// four values when every character is a plain hexadecimal digit.
bool DecodePlainSample(const std::uint8_t* chars, std::uint16_t* out) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chars));
  const auto inRange = [&x](char lo, char hi) {
    return _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(static_cast<char>(lo - 1))),
                         _mm_cmplt_epi8(x, _mm_set1_epi8(static_cast<char>(hi + 1))));
  };
  // Signed compares: bytes from 0x80 up are negative and fail every range.
  const __m128i valid = _mm_or_si128(_mm_or_si128(inRange('0', '9'), inRange('A', 'F')), inRange('a', 'f'));
  if (_mm_movemask_epi8(valid) != 0xFFFF) return false;
  // Digit values: low nibble, plus 9 for letters (bit 6 set).
  const __m128i letter = _mm_and_si128(_mm_srli_epi16(x, 6), _mm_set1_epi8(1));
  const __m128i nibbles =
      _mm_add_epi8(_mm_and_si128(x, _mm_set1_epi8(0x0F)), _mm_add_epi8(letter, _mm_slli_epi16(letter, 3)));
  // Each 16-bit lane: first character's value * 16 + second's.
  const __m128i pairs = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(nibbles, _mm_set1_epi16(0x0F)), 4),
                                     _mm_srli_epi16(nibbles, 8));
  // Each 32-bit lane: first pair * 256 + second pair.
  const __m128i fields =
      _mm_or_si128(_mm_slli_epi32(_mm_and_si128(pairs, _mm_set1_epi32(0xFF)), 8), _mm_srli_epi32(pairs, 16));
  alignas(16) std::uint32_t values[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(values), fields);
  for (int c = 0; c < 4; ++c) out[c] = static_cast<std::uint16_t>(values[c]);
  return true;
}
#endif

void DecodeFields(const std::uint8_t* fields, RawFrame& raw) {
  static_assert(kChannelCount == 4);
  for (std::size_t i = 0; i < kSamplesPerFrame; ++i) {
    const std::uint8_t* sample = fields + i * kChannelCount * kFieldWidth;
#if defined(__SSE2__)
    std::uint16_t values[4];
    if (DecodePlainSample(sample, values)) {
      raw[0][i] = values[0];
      raw[1][i] = values[1];
      raw[2][i] = values[2];
      raw[3][i] = values[3];
      continue;
    }
#endif
    DecodeFieldPair(sample, raw[0][i], raw[1][i]);
    DecodeFieldPair(sample + 2 * kFieldWidth, raw[2][i], raw[3][i]);
  }
}

}  // namespace

std::uint8_t HexDigitValue(char c) {
  return kHexTable[static_cast<unsigned char>(c)];
}

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
  hooks_.InvalidatePlot();
  if (running_.Get()) hooks_.ShowElapsedTime();
  return FrameOutcome::Stored;
}

void FrameDecoder::StoreFrame(const RawFrame& raw) {
  buffer_.Allocate();
  buffer_.writeIndex = ((buffer_.writeIndex % kHistoryFrames) + kHistoryFrames) % kHistoryFrames;
  const int m = settings_.Mode();
  const DisplayMapping mapping = settings_.mapping;
  for (std::size_t c = 0; c < kChannelCount; ++c) {
    const double scale = settings_.scale[m][c];
    const double offset = settings_.offset[m][c];
    const auto values = buffer_.Values(buffer_.writeIndex, static_cast<int>(c));
    const auto rows = buffer_.Rows(buffer_.writeIndex, static_cast<int>(c));
    if (settings_.unsignedSamples[m][c] != 0) {
      for (std::size_t i = 0; i < kSamplesPerFrame; ++i)
        values[i] = static_cast<double>(raw[c][i]) * scale + offset;
    } else {
      for (std::size_t i = 0; i < kSamplesPerFrame; ++i) {
        values[i] = static_cast<double>(static_cast<std::int16_t>(raw[c][i])) * scale + offset;
      }
    }
    for (std::size_t i = 0; i < kSamplesPerFrame; ++i) rows[i] = ValueToRow(mapping, values[i]);
  }
}

void FrameDecoder::AdvanceRing() {
  const int perDivision = settings_.timePerDivision;
  buffer_.frameCount = std::min(buffer_.frameCount + 1, kHistoryFrames);
  // Frames of another time base are no part of this capture.
  if (buffer_.captureTimePerDivision != perDivision) buffer_.captureFrames = 0;
  buffer_.captureTimePerDivision = perDivision;
  buffer_.captureFrames = std::min(buffer_.captureFrames + 1, kHistoryFrames);
  buffer_.captureEnd = (buffer_.writeIndex + 1) % kHistoryFrames;
  if (!IsHistoryTimeBase(perDivision)) return;  // the next frame overwrites this one

  buffer_.writeIndex = buffer_.captureEnd;
  const int position =
      settings_.triggerUse != 0 ? buffer_.frameCount - 1 : buffer_.frameCount - FramesPerScreen(perDivision);
  historyScroll_.SetPosition(position);
  buffer_.viewIndex = historyScroll_.Position();
}

}  // namespace kestrova
