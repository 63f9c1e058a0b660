#include <cstdint>
#include <optional>
#include <string_view>

#include <gtest/gtest.h>

#include "device/TerminalCommand.h"

namespace kestrova {
namespace {

// The conversion the framing edits go through, with the standard
// conversion's quirks that a hand-written parser easily gets wrong.
TEST(TerminalCommandTest, FramingTextConvertsAsTheStandardUnsignedHexConversion) {
  struct Case {
    std::string_view text;
    std::uint32_t value;
    bool digits;  // a framing byte: the text holds a hexadecimal digit
  };
  constexpr Case kCases[] = {
      {"0x02", 0x02, true},
      {"02", 0x02, true},
      {"2", 0x02, true},
      {" \t\n1B", 0x1B, true},
      {"0Xab", 0xAB, true},
      {"0x1f", 0x1F, true},
      {"abcdef", 0xABCDEF, true},
      {"1Bzz", 0x1B, true},
      {"+0x10", 0x10, true},
      {"-1", 0xFFFFFFFF, true},
      {"-0x2", 0xFFFFFFFE, true},
      {"0", 0, true},
      {"00", 0, true},
      {"0x00", 0, true},
      {"-0", 0, true},
      {"xyz", 0, false},
      {"", 0, false},
      {"   ", 0, false},
      {"-", 0, false},
      {"0x", 0, false},
      {"0xg1", 0, false},
      {"- 1", 0, false},
      {"0x1FF", 0x1FF, true},
      {"FFFFFFFF", 0xFFFFFFFF, true},
      {"100000000", 0xFFFFFFFF, true},
      {"-100000000", 0xFFFFFFFF, true},
      {"0x00000000000000012", 0x12, true},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(ParseHexUnsigned32(c.text), c.value) << '"' << c.text << '"';
    const std::optional<std::uint8_t> expected =
        c.digits ? std::optional(static_cast<std::uint8_t>(c.value & 0xFFU)) : std::nullopt;
    EXPECT_EQ(FramingByte(c.text), expected) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace kestrova
