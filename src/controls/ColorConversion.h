#pragma once

#include <QColor>
#include <cstdint>

// Colours are kept as the settings store them, 0x00BBGGRR words; these two
// helpers move them to and from Qt's colour type. The controls keep their
// own conversion so that they depend on Qt Widgets only.
namespace kestrova {

// The colour of a 0x00BBGGRR word; the top byte is ignored.
inline QColor QColorFromColorRef(std::uint32_t color) {
  return {static_cast<int>(color & 0xFFU), static_cast<int>((color >> 8) & 0xFFU),
          static_cast<int>((color >> 16) & 0xFFU)};
}

// The 0x00BBGGRR word of a colour; alpha is dropped.
inline std::uint32_t ColorRefFromQColor(const QColor& color) {
  const QColor rgb = color.toRgb();
  return static_cast<std::uint32_t>(rgb.red()) | (static_cast<std::uint32_t>(rgb.green()) << 8) |
         (static_cast<std::uint32_t>(rgb.blue()) << 16);
}

}  // namespace kestrova
