#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "output/BitmapFile.h"

#ifdef __linux__
#include <csignal>

#include <sys/resource.h>
#endif

#include "OutputTestSupport.h"

namespace kestrova {
namespace {

using testing::ReadBytes;

// Three by two pixels, rows four pixels apart (the fourth is not part of the
// picture); the alpha bytes vary and must not reach the file.
constexpr std::array<std::uint32_t, 8> kPixels = {0xFF112233, 0x00445566, 0x80778899, 0xDEADBEEF,
                                                  0xFFAABBCC, 0xFFDDEEFF, 0xFF010203, 0xDEADBEEF};
constexpr PixelRows kPicture{.width = 3, .height = 2, .stride = 4, .pixels = kPixels};

TEST(BitmapFileTest, TheFileHoldsBothHeadersAndTheRowsBottomUp) {
  const testing::TempDir dir;
  const std::string path = dir.File("screen.bmp");
  ASSERT_TRUE(CaptureWindowToFile(kPicture, path));
  const std::vector<std::uint8_t> expected = {
      'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header: size 78, bits at
                                                       // 54
      40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0, 0, 0, 0,
      0,  // 40 bytes, 3 x 2, 1 plane, 32 bpp, BI_RGB
      24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,    // image size 24; the rest 0
      0xCC, 0xBB, 0xAA, 0, 0xFF, 0xEE, 0xDD, 0, 0x03, 0x02, 0x01, 0,  // bottom row first
      0x33, 0x22, 0x11, 0, 0x66, 0x55, 0x44, 0, 0x99, 0x88, 0x77, 0,  // then the top row
  };
  const std::string file = ReadBytes(path);
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin(), file.end()), expected);
}

TEST(BitmapFileTest, APictureThatCannotBeWrittenLeavesNoFile) {
  const testing::TempDir dir;
  const std::string path = dir.File("screen.bmp");
  struct Case {
    const char* what;
    PixelRows picture;
    std::string path;
  };
  const std::vector<Case> cases = {
      {"no path", kPicture, ""},
      {"no folder", kPicture, dir.File("missing") + "/screen.bmp"},
      {"a folder", kPicture, dir.File("")},
      {"empty picture", PixelRows{.width = 0, .height = 2, .stride = 4, .pixels = kPixels}, path},
      {"rows beyond the pixels", PixelRows{.width = 3, .height = 3, .stride = 4, .pixels = kPixels}, path},
      {"rows overlapping", PixelRows{.width = 3, .height = 2, .stride = 2, .pixels = kPixels}, path},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(CaptureWindowToFile(c.picture, c.path));
    EXPECT_FALSE(std::filesystem::exists(path));
  }
}

#ifdef __linux__
TEST(BitmapFileTest, AWriteCutShortRemovesThePartFile) {
  const testing::TempDir dir;
  const std::string path = dir.File("screen.bmp");
  std::vector<std::uint32_t> pixels(std::size_t{200} * 200, 0xFF808080);
  const PixelRows picture{.width = 200, .height = 200, .stride = 200, .pixels = pixels};
  // Files may not grow past 1000 bytes for a moment: the write stops there,
  // as on a full disk.
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = CaptureWindowToFile(picture, path);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldSignal);
  EXPECT_FALSE(written);
  EXPECT_FALSE(std::filesystem::exists(path));
}
#endif

}  // namespace
}  // namespace kestrova
