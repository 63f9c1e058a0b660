#pragma once

#include <array>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/OperationMode.h"
#include "resources/Translatable.h"

// A capture opened for review: what the window and the command-line client
// need to know about a saved file, and its frames read on demand, so that a
// file of any length is never held in memory whole.
namespace kestrova {

inline constexpr int kCaptureFrameLength = 500;

struct CaptureInfo {
  // The time base the capture is shown at (time per division, 100 us units)
  // and the file's own sample spacing in seconds.
  int timePerDivision = 20;
  double sampleSeconds = 0.0;
  int mode = 0;
  // The channels the file holds, by number (1..4), in file order.
  std::vector<int> channels;
  // Per channel number - 1: the scale and offset the values were taken with
  // (values are sample x scale + offset, as displayed).
  std::array<double, kChannelCount> scale{1.0, 1.0, 1.0, 1.0};
  std::array<double, kChannelCount> offset{};
  long long sampleCount = 0;  // per channel
  long long frameCount = 0;   // 500 samples a frame; the last may be shorter
  // Things the user should know that do not stop the file from opening
  // (skipped logic channels, a sample rate shown at a nearby time base).
  std::vector<LocalText> notes;
};

// Frames [first, first + count) of a capture: for each frame, each channel
// of the capture in file order, its samples.
struct FrameBlock {
  long long first = 0;
  int channelCount = 0;
  std::vector<int> lengths;    // samples in each frame (500 but for the last)
  std::vector<double> values;  // [frame][channel][500]

  [[nodiscard]] long long Count() const { return static_cast<long long>(lengths.size()); }
  [[nodiscard]] std::span<const double> Samples(long long frame, int channel) const;
};

// Called while a file is opened with the fraction done (0..1); returning
// false cancels the opening.
using OpenProgress = std::function<bool(double)>;

// A capture file opened for review. Any one thread at a time.
class CaptureSource {
 public:
  virtual ~CaptureSource() = default;
  [[nodiscard]] const CaptureInfo& Info() const { return info_; }
  // Reads frames [first, first + count), clipped to the capture. False with
  // a message saying what is wrong and where when the file no longer reads
  // as it did when it was opened.
  [[nodiscard]] virtual bool ReadFrames(long long first, long long count, FrameBlock& out,
                                        LocalText& error) = 0;

 protected:
  CaptureInfo info_;
};

// The outcome of opening a capture: a source, or a message saying what is
// wrong and where.
struct OpenedCapture {
  std::unique_ptr<CaptureSource> source;
  LocalText error;
};

// Opens a sigrok session (.sr) or a CSV file in either of Kestrova's layouts,
// chosen by the file's content.
OpenedCapture OpenCaptureFile(const std::string& path, const OpenProgress& progress = {});

// Sample spacing in seconds of the time per division (100 us units): 2 x T us
// up to 5 ms/div, 200 us at the history time bases.
double SampleSecondsOf(int timePerDivision);

// The entry of the time-base list whose sample spacing is nearest to the
// given one (exactly equal where one is).
int NearestTimePerDivision(double sampleSeconds);
// "10 ms" for 100; empty for a value not in the list.
std::string_view TimeBaseLabelOf(int timePerDivision);

}  // namespace kestrova
