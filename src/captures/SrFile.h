#pragma once

#include <array>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "acquisition/ScopeSettings.h"
#include "captures/Capture.h"
#include "captures/Zip.h"

// sigrok session files (.sr, format version 2): a zip archive with "version",
// an INI "metadata" and each analog channel's samples as little-endian
// float32 in chunks "analog-1-K-n". Kestrova keeps its own facts (time base,
// frame length, mode, each channel's scale and offset) as extra keys of
// "[device 1]", which other readers ignore.
namespace kestrova {

// What a written file describes.
struct SrCaptureHeader {
  int timePerDivision = 20;
  int mode = 0;
  std::vector<int> channels;  // numbers 1..4, as CH1..CH4
  std::array<double, kChannelCount> scale{1.0, 1.0, 1.0, 1.0};
  std::array<double, kChannelCount> offset{};
};

// The header of a session of the current mode's ticked channels (all four
// when none is: a session holds at least one channel), with that mode's
// scale and offset, at the given time base (units of 100 us per division).
SrCaptureHeader SrHeaderOf(const ScopeSettings& settings, int timePerDivision);

// Writes a capture front to back as the bytes of a file: frames are
// appended one after another (at the single-frame time bases each frame is
// a capture of its own; sigrok sees one stream and Kestrova splits it again
// by the frame length). Holds one chunk of samples, never the capture.
class SrWriter {
 public:
  explicit SrWriter(SrCaptureHeader header);
  // The first bytes of the file.
  [[nodiscard]] std::string Begin();
  // One frame: the values of each of the header's channels, in its order.
  // Returns the bytes to append (a finished chunk, or nothing).
  [[nodiscard]] std::string AddFrame(std::span<const std::span<const double>> channels);
  // The last chunk, the metadata and the zip directory. Empty with
  // TooLarge() when the capture outgrew a zip without zip64 (4 GiB).
  [[nodiscard]] std::string Finish();
  [[nodiscard]] bool TooLarge() const { return zip_.TooLarge(); }
  [[nodiscard]] long long Frames() const { return frames_; }

 private:
  std::string FlushChunk();

  SrCaptureHeader header_;
  ZipWriter zip_;
  std::vector<std::vector<float>> pending_;
  int chunk_ = 0;
  long long frames_ = 0;
  long long samples_ = 0;
};

// The metadata text of a file written with this header and sample count.
std::string SrMetadata(const SrCaptureHeader& header);

// "5 kHz", "250 kHz", "1 MHz": a sample rate in Hz as sigrok writes it.
std::string SampleRateText(long long hertz);
// The rate of such a text (also a bare number, and "1.5 kHz"); 0 when it is
// not one.
double ParseSampleRateText(std::string_view text);

// Opens a session file from its bytes. The first error says what is wrong
// and where.
OpenedCapture OpenSrCapture(std::unique_ptr<ByteSource> source);

}  // namespace kestrova
