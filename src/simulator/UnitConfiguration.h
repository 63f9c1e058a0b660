#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrova {

// What the unit does with the two words of a configuration command.
enum class TriggerMode { Auto, Normal, Single };

struct UnitConfiguration {
  std::uint16_t controlWord = 0x4000;
  std::uint16_t levelWord = 0;

  // Bits 15-12: time-base index (0 = 100 us/div ... 12 = 1 s/div; 13..15
  // are taken as 1 s/div).
  [[nodiscard]] int TimeBaseIndex() const { return (controlWord >> 12U) & 0xFU; }
  // Bits 11-9: B3, B2, B1, returned with B1 in bit 0.
  [[nodiscard]] int OptionBits() const { return (controlWord >> 9U) & 0x7U; }
  // Bit 8: stream frames.
  [[nodiscard]] bool Running() const { return (controlWord & 0x0100U) != 0; }
  // Bits 7-6: 0x = Auto, 10 = Normal, 11 = Single.
  [[nodiscard]] TriggerMode Trigger() const;
  // Bit 5: rising edge (else falling).
  [[nodiscard]] bool RisingEdge() const { return (controlWord & 0x0020U) != 0; }
  // Bit 4: the trigger channel's samples are signed.
  [[nodiscard]] bool SignedTrigger() const { return (controlWord & 0x0010U) != 0; }
  // Bits 3-2: operation mode 0..3.
  [[nodiscard]] int Mode() const { return (controlWord >> 2U) & 0x3U; }
  // Bits 1-0: trigger channel 0..3.
  [[nodiscard]] int TriggerChannel() const { return controlWord & 0x3U; }
  // The level in raw units, as the trigger channel's samples are compared.
  [[nodiscard]] std::int32_t Level() const { return RawAsNumber(levelWord); }
  // A raw 16-bit word as the trigger compares it: two's complement when the
  // trigger channel is signed, else 0..65535.
  [[nodiscard]] std::int32_t RawAsNumber(std::uint16_t raw) const;

  friend bool operator==(const UnitConfiguration&, const UnitConfiguration&) = default;
};

// The configuration a command body carries: "S", four hexadecimal digits of
// the control word, four of the level word, and two of the checksum (the
// byte sum of the first nine characters modulo 256). Digits may be upper or
// lower case. Anything else, including a wrong checksum, gives nothing.
std::optional<UnitConfiguration> ParseConfigurationBody(std::string_view body);

}  // namespace kestrova
