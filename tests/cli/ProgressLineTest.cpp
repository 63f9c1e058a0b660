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
}

}  // namespace
}  // namespace kestrova::cli
