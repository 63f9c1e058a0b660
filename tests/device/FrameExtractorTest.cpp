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

const std::string STX = "\x02";
const std::string ETX = "\x03";

TEST(FrameExtractorTest, DeliversOnlyTheBytesBetweenStxAndEtx) {
  EXPECT_THAT(Extract({"xx" + STX + "AB" + ETX}), ElementsAre("AB"));
  EXPECT_THAT(Extract({STX + "AB" + ETX + "junk" + ETX + STX + "C" + ETX + "tail"}), ElementsAre("AB", "C"));
  EXPECT_THAT(Extract({ETX + ETX + " no frame here"}), IsEmpty());
}

TEST(FrameExtractorTest, StxRestartsAPartialFrame) {
  EXPECT_THAT(Extract({STX + "AB" + STX + "CD" + ETX}), ElementsAre("CD"));
}

TEST(FrameExtractorTest, KeepsItsStateAcrossReads) {
  EXPECT_THAT(Extract({STX + "AB", "CD" + ETX}), ElementsAre("ABCD"));
  EXPECT_THAT(Extract({STX, "A", "", "B", ETX}), ElementsAre("AB"));

  FrameExtractor extractor;
  Extract(extractor, {"noise" + STX + "AB"});
  EXPECT_TRUE(extractor.InFrame());
  EXPECT_EQ(extractor.Length(), 2U);
}

TEST(FrameExtractorTest, AnEmptyFrameIsDelivered) {
  EXPECT_THAT(Extract({STX + ETX}), ElementsAre(""));
}

TEST(FrameExtractorTest, AcceptsTheLongestPayloadAndDropsOneByteMore) {
  const std::string longest(kMaxPayloadLength, 'A');
  const auto delivered = Extract({STX + longest + ETX});
  ASSERT_EQ(delivered.size(), 1U);
  EXPECT_EQ(delivered[0], longest);

  // The 8004th byte drops the frame; what follows up to the next STX, the
  // ETX included, is ignored.
  EXPECT_THAT(Extract({STX + longest + "Bxyz" + ETX + STX + "ok" + ETX}), ElementsAre("ok"));
  // The same when the overflow happens in a later read.
  EXPECT_THAT(Extract({STX + longest, "B", ETX}), IsEmpty());
}

TEST(FrameExtractorTest, ThePreviousPayloadIsNotMixedIntoTheNext) {
  EXPECT_THAT(Extract({STX + "LONGER" + ETX + STX + "ab" + ETX}), ElementsAre("LONGER", "ab"));
}

}  // namespace
}  // namespace kestrova
