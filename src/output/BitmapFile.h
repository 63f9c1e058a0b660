#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "resources/Translatable.h"

// The Screen Save command's file: a picture of the main window as an
// uncompressed 32-bit device-independent bitmap (BMP), or as PNG.
namespace kestrova {

// The save dialog: title, filters as a Qt name-filter list (the bitmap first
// and the default, PNG beside it) and the extension added to a bare name.
inline constexpr std::string_view kScreenSaveDialogTitle =
    KESTROVA_TR_NOOP("Kestrova", "화면 비트맵 파일 저장");
inline constexpr std::string_view kScreenSaveDialogQtFilter =
    KESTROVA_TR_NOOP("Kestrova", "비트맵 파일 (*.bmp);;PNG 파일 (*.png)");
inline constexpr std::string_view kScreenSaveDefaultExtension = "bmp";
// Success (information icon) and any failure to convert, create or write
// (stop icon).
inline constexpr std::string_view kScreenSavedMessage =
    KESTROVA_TR_NOOP("Kestrova", "화면을 성공적으로 저장하였습니다");
inline constexpr std::string_view kScreenSaveFailedMessage =
    KESTROVA_TR_NOOP("Kestrova", "화면 비트맵 파일을 저장하는데 실패하였습니다");

// The two BMP headers.
inline constexpr std::size_t kBmpFileHeaderSize = 14;
inline constexpr std::size_t kBmpInfoHeaderSize = 40;

// A 32-bit picture: rows top-down, pixel (x, y) at pixels[y * stride + x] as
// 0xAARRGGBB (alpha is not kept).
struct PixelRows {
  int width = 0;
  int height = 0;
  std::size_t stride = 0;  // pixels from the start of one row to the next
  std::span<const std::uint32_t> pixels;
};

// The packed bitmap: the 40-byte info header (32 bits per pixel, no
// compression, positive height) followed by the rows bottom-up, blue, green,
// red and a zero byte per pixel, each row padded to 4 bytes. No colour table
// at 32 bits per pixel. Nothing when the picture is empty, its rows do not fit
// its pixels, it is too large for the format, or memory runs out. Any thread.
std::optional<std::vector<std::uint8_t>> DeviceBitmapToDib(const PixelRows& picture);

// Writes the picture as a BMP file at path (UTF-8): the 14-byte file header
// ("BM", the file size, bfOffBits 54), then the packed bitmap. False when the
// path is empty, the conversion fails, or the file cannot be created or
// written; a partly written file is removed. Any thread.
bool CaptureWindowToFile(const PixelRows& picture, const std::string& path);

// Creates the file at path (UTF-8; an old file is emptied), held exclusively
// while it is written, and writes the parts one after the other. False when
// it cannot be created or a write or the final flush fails; a file it
// created and could not complete is removed, so no torn file is left. Any
// thread.
bool WriteWholeFile(const std::string& path, std::initializer_list<std::span<const std::uint8_t>> parts);

}  // namespace kestrova
