// The stream meter's numbered frames: what the unit sends must pass the
// window's own checksum and decoding and give its number back, and the
// sequence check must tell each way a stream can go wrong.
#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include <gtest/gtest.h>

#include "acquisition/FrameDecoder.h"
#include "support/NumberedFrames.h"

namespace kestrova::tools {
namespace {

TEST(NumberedFramesTest, DecodeToTheirNumberWithEveryOtherSampleOnTheDefaultAxis) {
  for (const std::uint32_t number : {0U, 1U, 4095U, 4096U, 123456U, 0xFFFFFFU}) {
    SCOPED_TRACE(number);
    const std::string frame = NumberedUnitFrame(number);
    ASSERT_EQ(frame.size(), 8005U);
    EXPECT_EQ(frame.front(), '\x02');
    EXPECT_EQ(frame.back(), '\x03');
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(frame.data());  // NOLINT
    const std::span<const std::uint8_t> payload(bytes + 1, frame.size() - 2);
    EXPECT_EQ(payload[0], kTriggeredFrame);
    EXPECT_TRUE(ChecksumMatches(payload));

    RawFrame raw{};
    DecodeSampleFields(payload, raw);
    EXPECT_EQ(FrameNumberOf(raw[0][0], raw[1][0]), number);
    for (std::size_t c = 0; c < raw.size(); ++c) {
      const auto rest = std::span(raw[c]).subspan(1);
      EXPECT_LE(*std::ranges::max_element(rest), 100U) << "channel " << c + 1;
    }
  }
}

TEST(NumberedFramesTest, SequenceCheckTellsLostRepeatedReorderedAndForeignFrames) {
  struct Case {
    const char* name;
    std::vector<std::uint32_t> stored;
    std::uint32_t sent;
    FrameSequence::Summary expected;
  };
  const std::vector<Case> cases = {
      {"whole", {0, 1, 2, 3}, 4, {4, 0, 0, 0, 0}},
      {"nothing yet", {}, 0, {0, 0, 0, 0, 0}},
      {"one lost in the middle", {0, 1, 3}, 4, {3, 0, 0, 1, 0}},
      {"the last one not stored", {0, 1, 2}, 4, {3, 0, 0, 1, 0}},
      {"one stored twice", {0, 1, 1, 2}, 3, {4, 1, 0, 0, 0}},
      {"two swapped", {0, 2, 1, 3}, 4, {4, 0, 1, 0, 0}},
      {"an old one again", {0, 1, 2, 0}, 3, {4, 1, 0, 0, 0}},
      {"a number never sent", {0, 1, 7}, 2, {3, 0, 0, 0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FrameSequence sequence;
    for (const std::uint32_t n : c.stored) sequence.Stored(n);
    const FrameSequence::Summary s = sequence.Check(c.sent);
    EXPECT_EQ(s.stored, c.expected.stored);
    EXPECT_EQ(s.duplicated, c.expected.duplicated);
    EXPECT_EQ(s.reordered, c.expected.reordered);
    EXPECT_EQ(s.missing, c.expected.missing);
    EXPECT_EQ(s.foreign, c.expected.foreign);
    EXPECT_EQ(s.Faultless(),
              c.expected.duplicated + c.expected.reordered + c.expected.missing + c.expected.foreign == 0);
  }
}

}  // namespace
}  // namespace kestrova::tools
