#include <cstdint>
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
  };
  constexpr Case kCases[] = {
      {"0x02", 0x02},
      {"02", 0x02},
      {"2", 0x02},
      {" \t\n1B", 0x1B},
      {"0Xab", 0xAB},
      {"1Bzz", 0x1B},
      {"+0x10", 0x10},
      {"-1", 0xFFFFFFFF},
      {"-0x2", 0xFFFFFFFE},
      {"xyz", 0},
      {"", 0},
      {"0x", 0},
      {"0xg1", 0},
      {"- 1", 0},
      {"0x1FF", 0x1FF},
      {"FFFFFFFF", 0xFFFFFFFF},
      {"100000000", 0xFFFFFFFF},
      {"-100000000", 0xFFFFFFFF},
      {"0x00000000000000012", 0x12},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(ParseHexUnsigned32(c.text), c.value) << '"' << c.text << '"';
    EXPECT_EQ(FramingByte(c.text), c.value & 0xFFU) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace kestrova
