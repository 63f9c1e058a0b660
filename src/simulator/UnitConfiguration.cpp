#include "simulator/UnitConfiguration.h"

namespace kestrova {

namespace {

std::optional<unsigned> HexValue(std::string_view digits) {
  unsigned value = 0;
  for (const char c : digits) {
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else {
      return std::nullopt;
    }
    value = value * 16U + digit;
  }
  return value;
}

}  // namespace

TriggerMode UnitConfiguration::Trigger() const {
  if ((controlWord & 0x0080U) == 0) return TriggerMode::Auto;
  return (controlWord & 0x0040U) != 0 ? TriggerMode::Single : TriggerMode::Normal;
}

std::int32_t UnitConfiguration::RawAsNumber(std::uint16_t raw) const {
  if (SignedTrigger()) return static_cast<std::int16_t>(raw);
  return raw;
}

std::optional<UnitConfiguration> ParseConfigurationBody(std::string_view body) {
  constexpr std::size_t kBodyLength = 11;
  if (body.size() != kBodyLength || body[0] != 'S') return std::nullopt;
  const auto control = HexValue(body.substr(1, 4));
  const auto level = HexValue(body.substr(5, 4));
  const auto checksum = HexValue(body.substr(9, 2));
  if (!control || !level || !checksum) return std::nullopt;
  unsigned sum = 0;
  for (const char c : body.substr(0, 9)) sum += static_cast<unsigned char>(c);
  if ((sum & 0xFFU) != *checksum) return std::nullopt;
  return UnitConfiguration{static_cast<std::uint16_t>(*control), static_cast<std::uint16_t>(*level)};
}

}  // namespace kestrova
