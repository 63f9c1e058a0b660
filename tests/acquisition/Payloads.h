#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "acquisition/FrameDecoder.h"

namespace kestrova::testing {

inline std::string ChecksumDigits(const std::string& body) {
  unsigned sum = 0;
  for (const char c : body) sum += static_cast<unsigned char>(c);
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02X", sum & 0xFFU);
  return digits;
}

// A data payload whose field for sample i of channel c is field(i, c) (four
// characters), followed by its checksum.
inline std::vector<std::uint8_t> MakePayload(char type, const std::function<std::string(int, int)>& field) {
  std::string body(1, type);
  for (int i = 0; i < kSamplesPerFrame; ++i) {
    for (int c = 0; c < kChannelCount; ++c) body += field(i, c);
  }
  body += ChecksumDigits(body);
  return {body.begin(), body.end()};
}

// Every sample of channel c is raw value raw[c].
inline std::vector<std::uint8_t> MakeConstantPayload(char type, std::array<std::uint16_t, 4> raw) {
  return MakePayload(type, [&raw](int, int c) {
    char text[5];
    std::snprintf(text, sizeof text, "%04X", raw[static_cast<std::size_t>(c)]);
    return std::string(text);
  });
}

inline std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

}  // namespace kestrova::testing
