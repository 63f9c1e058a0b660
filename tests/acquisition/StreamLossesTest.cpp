#include <map>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "acquisition/StreamLosses.h"

namespace kestrova {
namespace {

TEST(LossNoteText, NamesOnlyWhatWasLost) {
  struct Case {
    LossCounts counts;
    const char* note;
  };
  const Case cases[] = {
      {{}, ""},
      {{.checksumFrames = 1}, "손실: 프레임 1개"},
      {{.checksumFrames = 2, .brokenFrames = 3, .queueFrames = 4}, "손실: 프레임 9개"},
      {{.discardedBytes = 5151}, "손실: 5151바이트"},
      {{.overruns = 2}, "손실: USB 넘침 2회"},
      {{.brokenFrames = 1, .discardedBytes = 24015, .overruns = 3},
       "손실: 프레임 1개, 24015바이트, USB 넘침 3회"},
  };
  for (const Case& c : cases) EXPECT_EQ(LossNoteText(c.counts), c.note);
}

TEST(LossNoteText, EachPieceIsTranslatedWithItsNumberInPlace) {
  const std::map<std::string_view, std::string> english = {{"손실: %1", "Lost: %1"},
                                                           {"프레임 %1개", "%1 frames"},
                                                           {"%1바이트", "%1 bytes"},
                                                           {"USB 넘침 %1회", "USB overruns: %1"}};
  const auto translate = [&](std::string_view source) { return english.at(source); };
  EXPECT_EQ(LossNoteText({.checksumFrames = 2, .discardedBytes = 7, .overruns = 1}, translate),
            "Lost: 2 frames, 7 bytes, USB overruns: 1");
  EXPECT_EQ(LossNoteText({}, translate), "");
}

TEST(StreamLosses, CountsEachKindAndResets) {
  StreamLosses losses;
  losses.AddChecksumFrames(1);
  losses.AddBrokenFrames(2);
  losses.AddQueueFrames(3);
  losses.AddDiscardedBytes(4);
  losses.AddOverruns(5);
  EXPECT_EQ(
      losses.Counts(),
      (LossCounts{
          .checksumFrames = 1, .brokenFrames = 2, .queueFrames = 3, .discardedBytes = 4, .overruns = 5}));
  losses.Reset();
  EXPECT_FALSE(losses.Counts().Any());
}

}  // namespace
}  // namespace kestrova
