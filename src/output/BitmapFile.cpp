#include "output/BitmapFile.h"

#include <array>
#include <filesystem>
#include <limits>
#include <new>

#include "output/LogFile.h"

namespace kestrova {

namespace {

constexpr std::uint16_t kBitsPerPixel = 32;
constexpr std::uint32_t kNoCompression = 0;  // BI_RGB

// Little-endian fields, whatever the machine's own order.
void Put16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value & 0xFFU);
  at[1] = static_cast<std::uint8_t>(value >> 8U);
}

void Put32(std::uint8_t* at, std::uint32_t value) {
  for (int k = 0; k < 4; ++k)
    at[k] = static_cast<std::uint8_t>((value >> (8U * static_cast<unsigned>(k))) & 0xFFU);
}

// Bytes per row: whole 32-bit words.
constexpr std::uint64_t RowBytes(std::uint64_t width) {
  return ((width * kBitsPerPixel + 31U) & ~std::uint64_t{31}) / 8U;
}

std::filesystem::path NativePath(const std::string& utf8) {
  return {std::u8string(utf8.begin(), utf8.end())};
}

}  // namespace

std::optional<std::vector<std::uint8_t>> DeviceBitmapToDib(const PixelRows& picture) {
  if (picture.width <= 0 || picture.height <= 0 || picture.stride < static_cast<std::size_t>(picture.width)) {
    return std::nullopt;
  }
  const auto width = static_cast<std::uint64_t>(picture.width);
  const auto height = static_cast<std::uint64_t>(picture.height);
  // The rows must lie inside the pixels given.
  if (picture.pixels.size() < width || (height - 1) > (picture.pixels.size() - width) / picture.stride) {
    return std::nullopt;
  }
  // bfSize is a 32-bit field.
  const std::uint64_t rowBytes = RowBytes(width);
  const std::uint64_t imageBytes = rowBytes * height;
  if (imageBytes > std::numeric_limits<std::uint32_t>::max() - kBmpFileHeaderSize - kBmpInfoHeaderSize) {
    return std::nullopt;
  }

  std::vector<std::uint8_t> block;
  try {
    block.resize(kBmpInfoHeaderSize + imageBytes);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }

  std::uint8_t* header = block.data();
  Put32(header + 0, kBmpInfoHeaderSize);                          // biSize
  Put32(header + 4, static_cast<std::uint32_t>(picture.width));   // biWidth
  Put32(header + 8, static_cast<std::uint32_t>(picture.height));  // biHeight: positive, rows bottom-up
  Put16(header + 12, 1);                                          // biPlanes
  Put16(header + 14, kBitsPerPixel);                              // biBitCount
  Put32(header + 16, kNoCompression);                             // biCompression
  Put32(header + 20, static_cast<std::uint32_t>(imageBytes));     // biSizeImage
  // biXPelsPerMeter, biYPelsPerMeter, biClrUsed, biClrImportant stay 0.

  for (std::uint64_t y = 0; y < height; ++y) {
    // The file's first row is the picture's bottom row.
    const std::span<const std::uint32_t> source =
        picture.pixels.subspan((height - 1 - y) * picture.stride, width);
    std::uint8_t* out = block.data() + kBmpInfoHeaderSize + y * rowBytes;
    for (const std::uint32_t pixel : source) {
      out[0] = static_cast<std::uint8_t>(pixel & 0xFFU);           // blue
      out[1] = static_cast<std::uint8_t>((pixel >> 8U) & 0xFFU);   // green
      out[2] = static_cast<std::uint8_t>((pixel >> 16U) & 0xFFU);  // red
      out[3] = 0;
      out += 4;
    }
  }
  return block;
}

bool CaptureWindowToFile(const PixelRows& picture, const std::string& path) {
  if (path.empty()) return false;
  const std::optional<std::vector<std::uint8_t>> dib = DeviceBitmapToDib(picture);
  if (!dib) return false;

  std::array<std::uint8_t, kBmpFileHeaderSize> fileHeader{};
  fileHeader[0] = 'B';
  fileHeader[1] = 'M';
  Put32(&fileHeader[2], static_cast<std::uint32_t>(kBmpFileHeaderSize + dib->size()));  // bfSize
  // bfReserved1 and bfReserved2 stay 0; no colour table before the rows.
  Put32(&fileHeader[10], static_cast<std::uint32_t>(kBmpFileHeaderSize + kBmpInfoHeaderSize));  // bfOffBits
  return WriteWholeFile(path, {fileHeader, *dib});
}

bool WriteWholeFile(const std::string& path, std::initializer_list<std::span<const std::uint8_t>> parts) {
  LogFile file;
  // A file that could not be created may belong to another writer: leave it.
  if (!file.Create(path)) return false;
  bool written = true;
  for (const std::span<const std::uint8_t> part : parts) {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): bytes as the writer's character view
    const std::string_view bytes(reinterpret_cast<const char*>(part.data()), part.size());
    if (!file.Write(bytes)) {
      written = false;
      break;
    }
  }
  const bool closed = file.Close();
  if (written && closed) return true;
  // Only a file of our own making is removed, never a device or pipe.
  std::error_code ignored;
  if (std::filesystem::is_regular_file(NativePath(path), ignored))
    std::filesystem::remove(NativePath(path), ignored);
  return false;
}

}  // namespace kestrova
