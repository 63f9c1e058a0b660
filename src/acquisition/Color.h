#pragma once

#include <array>
#include <cstdint>

namespace kestrova {

// A 24-bit colour as the settings store it: 0x00BBGGRR.
using ColorRef = std::uint32_t;

constexpr ColorRef Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<ColorRef>(red) | (static_cast<ColorRef>(green) << 8) |
         (static_cast<ColorRef>(blue) << 16);
}
constexpr std::uint8_t RedOf(ColorRef c) {
  return static_cast<std::uint8_t>(c & 0xFFU);
}
constexpr std::uint8_t GreenOf(ColorRef c) {
  return static_cast<std::uint8_t>((c >> 8) & 0xFFU);
}
constexpr std::uint8_t BlueOf(ColorRef c) {
  return static_cast<std::uint8_t>((c >> 16) & 0xFFU);
}

// Index into the six configurable colours.
inline constexpr int kTraceColorCount = 4;
inline constexpr int kTriggerLineColor = 4;
inline constexpr int kCursorColor = 5;
inline constexpr int kGraphColorCount = 6;

// Four traces, trigger line, cursor. Also each colour button's "Default" entry.
inline constexpr std::array<ColorRef, kGraphColorCount> DefaultGraphColors = {
    Rgb(0, 255, 0),    Rgb(0, 255, 255),  Rgb(255, 107, 41),
    Rgb(112, 31, 255), Rgb(251, 37, 109), Rgb(255, 255, 42),
};

}  // namespace kestrova
