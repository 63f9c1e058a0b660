#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "device/FrameExtractor.h"

namespace kestrova {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Feeds each string as one read and returns every delivered payload.
std::vector<std::string> Extract(FrameExtractor& extractor, const std::vector<std::string>& reads) {
  std::vector<std::string> payloads;
  for (const std::string& read : reads) {
    extractor.Feed(std::span(reinterpret_cast<const std::uint8_t*>(read.data()), read.size()),
                   [&](std::span<const std::uint8_t> p) { payloads.emplace_back(p.begin(), p.end()); });
  }
  return payloads;
}

std::vector<std::string> Extract(const std::vector<std::string>& reads) {
  FrameExtractor extractor;
  return Extract(extractor, reads);
}

TEST(FrameExtractorTest, DeliversOnlyTheBytesBetweenStxAndEtx) {
  EXPECT_THAT(Extract({"xx\x02"
                       "AB\x03"}),
              ElementsAre("AB"));
  EXPECT_THAT(Extract({"\x02"
                       "AB\x03junk\x03\x02"
                       "C\x03tail"}),
              ElementsAre("AB", "C"));
  EXPECT_THAT(Extract({"\x03\x03 no frame here"}), IsEmpty());
}

TEST(FrameExtractorTest, StxRestartsAPartialFrame) {
  EXPECT_THAT(Extract({"\x02"
                       "AB\x02"
                       "CD\x03"}),
              ElementsAre("CD"));
}

TEST(FrameExtractorTest, KeepsItsStateAcrossReads) {
  EXPECT_THAT(Extract({"\x02"
                       "AB",
                       "CD\x03"}),
              ElementsAre("ABCD"));
  EXPECT_THAT(Extract({"\x02", "A", "", "B", "\x03"}), ElementsAre("AB"));

  FrameExtractor extractor;
  Extract(extractor, {"noise\x02"
                      "AB"});
  EXPECT_TRUE(extractor.InFrame());
  EXPECT_EQ(extractor.Length(), 2U);
}

TEST(FrameExtractorTest, AnEmptyFrameIsDelivered) {
  EXPECT_THAT(Extract({"\x02\x03"}), ElementsAre(""));
}

TEST(FrameExtractorTest, AcceptsTheLongestPayloadAndDropsOneByteMore) {
  const std::string longest(kMaxPayloadLength, 'A');
  const auto delivered = Extract({"\x02" + longest + "\x03"});
  ASSERT_EQ(delivered.size(), 1U);
  EXPECT_EQ(delivered[0], longest);

  // The 8004th byte drops the frame; what follows up to the next STX,
  // the ETX included, is ignored.
  EXPECT_THAT(Extract({"\x02" + longest + "Bxyz\x03" +
                       "\x02"
                       "ok\x03"}),
              ElementsAre("ok"));
  // The same when the overflow happens in a later read.
  EXPECT_THAT(Extract({"\x02" + longest, "B", "\x03"}), IsEmpty());
}

TEST(FrameExtractorTest, ThePreviousPayloadIsNotMixedIntoTheNext) {
  EXPECT_THAT(Extract({"\x02"
                       "LONGER\x03\x02"
                       "ab\x03"}),
              ElementsAre("LONGER", "ab"));
}

}  // namespace
}  // namespace kestrova
