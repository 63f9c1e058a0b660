// Feeds arbitrary byte streams to the frame extractor in arbitrary read
// splits and checks every delivered payload against a plain reference
// splitter that sees the whole stream at once.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
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
  // top two seed bits set, two more bytes choose a run of filler bytes
  // (7995..8010 long) and where it goes in the stream, so that short inputs
  // reach payloads at and around the length limit.
  const std::uint8_t seed = data[0];
  std::vector<std::uint8_t> stream;
  if ((seed & 0xC0U) == 0xC0U && size >= 3) {
    const std::size_t fillLength = kestrova::kMaxPayloadLength - 8 + (data[1] & 0x0FU);
    const std::span<const std::uint8_t> input(data + 3, size - 3);
    const std::size_t at = data[2] % (input.size() + 1);
    stream.reserve(input.size() + fillLength);
    stream.insert(stream.end(), input.begin(), input.begin() + static_cast<std::ptrdiff_t>(at));
    stream.insert(stream.end(), fillLength, 'A');
    stream.insert(stream.end(), input.begin() + static_cast<std::ptrdiff_t>(at), input.end());
  } else {
    stream.assign(data + 1, data + size);
  }

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
