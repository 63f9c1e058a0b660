#include "acquisition/NumberText.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

namespace kestrova {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

unsigned HexValue(char c) {
  if (IsDigit(c)) return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  return static_cast<unsigned>(c - 'A' + 10);
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char ToUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Value of a text that passed IsDecimalText. from_chars leaves the value alone
// when it is out of range, where strtod gives +-HUGE_VAL or zero; keep strtod's
// results so that a huge entry still clamps to the limits.
double DecimalTextValue(std::string_view text) {
  double value = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)end;
  if (ec == std::errc::result_out_of_range) {
    const bool negative = !text.empty() && text.front() == '-';
    std::string_view digits = negative ? text.substr(1) : text;
    const auto intEnd = digits.find('.');
    std::string_view whole = digits.substr(0, intEnd);
    const bool hasWhole = whole.find_first_not_of('0') != std::string_view::npos;
    const double magnitude = hasWhole ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -magnitude : magnitude;
  }
  if (ec != std::errc()) return 0.0;  // "-", "." and "-." read as zero
  return value;
}

// strtoul in base 10 or 16 on a 32-bit unsigned long: leading white space, an
// optional sign, for base 16 an optional "0x", digits up to the first other
// character. An overflow saturates at 4294967295.
struct UnsignedParse {
  bool negative = false;
  std::uint32_t magnitude = 0;
};

UnsignedParse ParseUnsigned32(std::string_view text, int base) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  UnsignedParse result;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    result.negative = text[i] == '-';
    ++i;
  }
  if (base == 16 && i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
      IsHexDigit(text[i + 2])) {
    i += 2;
  }
  std::uint64_t value = 0;
  bool saturated = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    const bool ok = base == 16 ? IsHexDigit(c) : IsDigit(c);
    if (!ok) break;
    value = value * static_cast<unsigned>(base) + HexValue(c);
    if (value > std::numeric_limits<std::uint32_t>::max()) {
      saturated = true;
      value = std::numeric_limits<std::uint32_t>::max();
    }
  }
  result.magnitude = static_cast<std::uint32_t>(value);
  if (saturated) result.magnitude = std::numeric_limits<std::uint32_t>::max();
  return result;
}

template <typename T>
std::string ToChars(T value, auto... format) {
  std::array<char, 400> buffer{};
  const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format...);
  if (ec != std::errc()) return {};
  return std::string(buffer.data(), end);
}

}  // namespace

bool IsDecimalText(std::string_view text) {
  bool seenPoint = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) continue;
    if (c == '.' && !seenPoint) {
      seenPoint = true;
      continue;
    }
    if (c == '-' && i == 0) continue;
    return false;
  }
  return true;
}

bool IsIntegerText(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsDigit(text[i]) || (text[i] == '-' && i == 0)) continue;
    return false;
  }
  return true;
}

bool IsHexText(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = ToUpper(c);
  std::string_view rest(upper);
  if (!rest.empty() && rest.front() == '-') rest.remove_prefix(1);
  if (rest.substr(0, 2) == "0X") {
    rest.remove_prefix(2);
  } else if (!rest.empty() && rest.back() == 'H') {
    rest.remove_suffix(1);
  }
  for (const char c : rest) {
    if (!IsHexDigit(c)) return false;
  }
  return true;
}

std::optional<double> ParseNumberText(std::string_view text) {
  if (IsDecimalText(text)) return DecimalTextValue(text);
  if (IsIntegerText(text)) {
    // Unreachable in practice (every integer text is also a decimal text);
    // kept so the three rules stand in their order.
    const UnsignedParse parsed = ParseUnsigned32(text, 10);
    const std::uint32_t wrapped = parsed.negative ? 0U - parsed.magnitude : parsed.magnitude;
    return static_cast<double>(wrapped);
  }
  if (IsHexText(text)) {
    // A leading '-' negates the magnitude ("-0x10" is -16), where a plain
    // unsigned conversion would wrap it to 2^32 - 16.
    const UnsignedParse parsed = ParseUnsigned32(text, 16);
    const double magnitude = static_cast<double>(parsed.magnitude);
    return parsed.negative && parsed.magnitude != 0 ? -magnitude : magnitude;
  }
  return std::nullopt;
}

double LeadingDecimalValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // from_chars takes no sign of its own after ours.
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) return 0.0;
  double value = 0.0;
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (end == first) return 0.0;
  if (ec == std::errc::result_out_of_range) {
    // Pick strtod's answer: overflow gives infinity, underflow zero.
    const std::string_view numeral(first, static_cast<std::size_t>(end - first));
    const auto e = numeral.find_first_of("eE");
    const bool negativeExponent =
        e != std::string_view::npos && e + 1 < numeral.size() && numeral[e + 1] == '-';
    value = negativeExponent ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return negative ? -value : value;
}

std::string_view StripWhitespace(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string FormatFixed(double value, int decimals) {
  return ToChars(value, std::chars_format::fixed, decimals);
}

std::string FormatGeneral(double value) {
  return ToChars(value, std::chars_format::general, 6);
}

std::string FormatInt(long long value) {
  return ToChars(value);
}

}  // namespace kestrova
