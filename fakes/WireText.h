#pragma once

// Bytes on the wire between the program and a unit, as the fakes of the
// driver libraries write them in their logs and as scripts build them.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::fakes {

// Bytes as a log shows them: printable ASCII as is, anything else as <hh>.
inline std::string ShowBytes(std::span<const std::uint8_t> bytes) {
  static constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string text;
  for (const std::uint8_t byte : bytes) {
    if (byte >= 0x20 && byte < 0x7F && byte != '<') {
      text.push_back(static_cast<char>(byte));
    } else {
      text += '<';
      text += kHex[byte >> 4];
      text += kHex[byte & 0xF];
      text += '>';
    }
  }
  return text;
}

inline std::vector<std::uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

// STX, the payload, ETX: a frame as the unit sends it.
inline std::string Framed(std::string_view payload) {
  return "\x02" + std::string(payload) + "\x03";
}
// STX and the start of a payload whose ETX has not come yet.
inline std::string FrameStart(std::string_view payload) {
  return "\x02" + std::string(payload);
}

}  // namespace kestrova::fakes
