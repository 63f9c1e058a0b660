#include <gtest/gtest.h>

#include "cli/ProgressLine.h"

namespace kestrova::cli {
namespace {

TEST(ProgressText, FramesRateAndLosses) {
  EXPECT_EQ(ProgressText({.stored = 12, .checksumDropped = 1, .queueDropped = 0}, 2.0),
            "12 frames in 2.0 s, 6.0 frames/s, 1 dropped by checksum");
  EXPECT_EQ(ProgressText({.stored = 0, .checksumDropped = 0, .queueDropped = 0}, 0.0),
            "0 frames in 0.0 s, 0.0 frames/s, 0 dropped by checksum");
  EXPECT_EQ(ProgressText({.stored = 1000, .checksumDropped = 0, .queueDropped = 3}, 88.06),
            "1000 frames in 88.1 s, 11.4 frames/s, 0 dropped by checksum, 3 lost in the queue");
  const RunCounts all{.stored = 5,
                      .checksumDropped = 1,
                      .queueDropped = 2,
                      .brokenFrames = 3,
                      .discardedBytes = 5151,
                      .overruns = 4};
  EXPECT_EQ(
      ProgressText(all, 1.0),
      "5 frames in 1.0 s, 5.0 frames/s, 1 dropped by checksum, 2 lost in the queue, 3 broken in transit, "
      "5151 bytes discarded, 4 USB overruns");
}

// The last line on standard error counts the same, and only when something
// was lost.
TEST(LossSummary, CountsWhatTheProgressLineCounts) {
  EXPECT_EQ(LossSummary({.stored = 12}), "");
  EXPECT_EQ(LossSummary({.stored = 12, .checksumDropped = 1}), "losses: 1 dropped by checksum");
  EXPECT_EQ(LossSummary({.stored = 12, .discardedBytes = 5151, .overruns = 2}),
            "losses: 0 dropped by checksum, 5151 bytes discarded, 2 USB overruns");
}

}  // namespace
}  // namespace kestrova::cli
