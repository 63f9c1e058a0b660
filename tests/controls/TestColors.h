#pragma once

#include <cstdint>

// Colours the control tests set and read back, as colour references
// (0x00BBGGRR).
namespace kestrova::test {

inline constexpr std::uint32_t kRed = 0x000000FFU;   // (255, 0, 0)
inline constexpr std::uint32_t kCyan = 0x00FFFF00U;  // (0, 255, 255)

}  // namespace kestrova::test
