// Feeds arbitrary byte streams to the frame extractor in arbitrary read
// splits and checks every delivered payload against a plain reference
// splitter that sees the whole stream at once.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "device/FrameExtractor.h"

namespace {

// Where a payload lies in the stream.
struct Range {
  std::size_t begin;
  std::size_t length;
};

// The framing rules, written as directly as possible: a payload is what
// lies between an STX and the next ETX with no STX in between, if it is not
// longer than the limit.
std::vector<Range> ReferenceFrames(std::span<const std::uint8_t> stream) {
  std::vector<Range> frames;
  bool inFrame = false;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < stream.size(); ++i) {
    if (stream[i] == 0x02) {
      inFrame = true;
      begin = i + 1;
    } else if (inFrame && stream[i] == 0x03) {
      frames.push_back({begin, i - begin});
      inFrame = false;
    } else if (inFrame && i - begin + 1 > kestrova::kMaxPayloadLength) {
      inFrame = false;
    }
  }
  return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // The first byte seeds the read sizes, the rest is the stream. With the
  // top two seed bits set the stream is repeated past the payload limit, so
  // that short inputs reach over-long and longest frames too.
  const std::uint8_t seed = data[0];
  const std::span<const std::uint8_t> input(data + 1, size - 1);
  const std::size_t copies =
      (seed & 0xC0U) == 0xC0U ? 1 + (kestrova::kMaxPayloadLength + 1) / input.size() : 1;
  std::vector<std::uint8_t> stream(input.size() * copies);
  for (std::size_t i = 0; i < copies; ++i)
    std::memcpy(stream.data() + i * input.size(), input.data(), input.size());

  const std::vector<Range> expected = ReferenceFrames(stream);
  std::size_t next = 0;
  kestrova::FrameExtractor extractor;
  std::uint32_t split = seed | 1U;
  for (std::size_t offset = 0; offset < stream.size();) {
    split = split * 1103515245U + 12345U;
    const std::size_t chunk = std::min<std::size_t>(stream.size() - offset, 1 + (split >> 16) % 4096);
    extractor.Feed(std::span(stream).subspan(offset, chunk), [&](std::span<const std::uint8_t> payload) {
      if (next == expected.size()) std::abort();  // a frame the rules do not give
      const Range want = expected[next++];
      if (payload.size() != want.length ||
          !std::equal(payload.begin(), payload.end(),
                      stream.begin() + static_cast<std::ptrdiff_t>(want.begin))) {
        std::abort();
      }
    });
    offset += chunk;
  }
  if (next != expected.size()) std::abort();  // a frame was missed
  return 0;
}
