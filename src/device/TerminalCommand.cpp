#include "device/TerminalCommand.h"

#include <algorithm>

namespace kestrova {

namespace {

constexpr std::string_view kHexDigits = "0123456789ABCDEF";

// The C locale's white space, as the standard conversion skips it.
bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct HexConversion {
  std::uint32_t value = 0;
  // Hexadecimal digits the conversion read. The "0" of a "0x" that no digit
  // follows counts as none: it is the start of a prefix typed without a
  // number, not a zero.
  bool anyDigit = false;
};

HexConversion ConvertHex(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const bool prefix = i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X');
  // The prefix counts only when a digit follows it; otherwise the "0" is the
  // number and the conversion stops at the "x".
  const bool prefixRead = prefix && i + 2 < text.size() && HexValue(text[i + 2]) >= 0;
  if (prefixRead) i += 2;
  const std::size_t first = i;
  std::uint64_t value = 0;
  bool overflow = false;
  for (; i < text.size(); ++i) {
    const int digit = HexValue(text[i]);
    if (digit < 0) break;
    value = value * 16 + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFU) {
      overflow = true;
      value = 0xFFFFFFFFU;  // keep scanning without growing
    }
  }
  HexConversion result;
  result.anyDigit = i > first && !(prefix && !prefixRead);
  if (overflow) {
    result.value = 0xFFFFFFFFU;
  } else {
    const auto magnitude = static_cast<std::uint32_t>(value);
    result.value = negative ? static_cast<std::uint32_t>(0U - magnitude) : magnitude;
  }
  return result;
}

}  // namespace

std::uint32_t ParseHexUnsigned32(std::string_view text) {
  return ConvertHex(text).value;
}

std::optional<std::uint8_t> FramingByte(std::string_view text) {
  const HexConversion converted = ConvertHex(text);
  if (!converted.anyDigit) return std::nullopt;
  return static_cast<std::uint8_t>(converted.value & 0xFFU);
}

std::string ChecksumDisplay(std::uint8_t checksum) {
  return {'0', 'x', kHexDigits[checksum >> 4], kHexDigits[checksum & 0xFU]};
}

std::vector<std::uint8_t> TerminalFrame(std::optional<std::uint8_t> start, std::span<const std::uint8_t> command,
                                        std::optional<std::uint8_t> checksum, std::optional<std::uint8_t> end) {
  if (!start) return {};
  std::vector<std::uint8_t> frame;
  frame.reserve(command.size() + 4);
  frame.push_back(*start);
  frame.insert(frame.end(), command.begin(), command.end());
  if (checksum) {
    frame.push_back(static_cast<std::uint8_t>(kHexDigits[*checksum >> 4]));
    frame.push_back(static_cast<std::uint8_t>(kHexDigits[*checksum & 0xFU]));
  }
  if (end) frame.push_back(*end);
  return frame;
}

std::string_view PayloadText(std::span<const std::uint8_t> payload) {
  const auto end = std::ranges::find(payload, std::uint8_t{0});
  return {reinterpret_cast<const char*>(payload.data()), static_cast<std::size_t>(end - payload.begin())};
}

}  // namespace kestrova
