#include "captures/CaptureReview.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "acquisition/NumberText.h"
#include "acquisition/TimeBaseTable.h"

namespace kestrova {

CaptureReview::CaptureReview(std::unique_ptr<CaptureSource> source, std::string path)
    : source_(std::move(source)), path_(std::move(path)) {}

std::string CaptureReview::FileName() const {
  const std::size_t slash = path_.find_last_of("/\\");
  return slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

int CaptureReview::LastPosition(int framesPerScreen) const {
  const long long last = Info().frameCount - std::max(framesPerScreen, 1);
  return static_cast<int>(std::clamp(last, 0LL, static_cast<long long>(INT_MAX)));
}

void CaptureReview::ApplyTo(ScopeSettings& settings) const {
  const CaptureInfo& info = Info();
  settings.operationMode = std::clamp(info.mode, 0, kModeCount - 1);
  const int m = settings.Mode();
  const int index = TimeIndexOf(info.timePerDivision);
  if (index >= 0) settings.timeIndex = index;
  settings.timePerDivision = TimeBaseAt(settings.timeIndex).perDivision;
  for (std::size_t c = 0; c < kChannelCount; ++c) {
    const bool held =
        std::find(info.channels.begin(), info.channels.end(), static_cast<int>(c) + 1) != info.channels.end();
    settings.channelEnable[m][c] = held ? 1 : 0;
    settings.scale[m][c] = info.scale[c];
    settings.scaleText[m][c] = FormatGeneral(info.scale[c]);
    settings.offset[m][c] = info.offset[c];
    settings.offsetText[m][c] = FormatGeneral(info.offset[c]);
  }
  RefreshDisplayMapping(settings);
}

void CaptureReview::RestoreLive(ScopeSettings& settings, const ScopeSettings& live) {
  settings.operationMode = live.operationMode;
  settings.timeIndex = live.timeIndex;
  settings.timePerDivision = live.timePerDivision;
  settings.channelEnable = live.channelEnable;
  settings.scale = live.scale;
  settings.scaleText = live.scaleText;
  settings.offset = live.offset;
  settings.offsetText = live.offsetText;
  RefreshDisplayMapping(settings);
}

bool CaptureReview::Show(long long first, int framesPerScreen, const ScopeSettings& settings,
                         SampleBuffer& buffer, LocalText& error) {
  const int n = std::clamp(framesPerScreen, 1, kHistoryFrames);
  const long long start = std::clamp(first, 0LL, static_cast<long long>(LastPosition(n)));
  if (!source_->ReadFrames(start, n, block_, error)) return false;
  position_ = start;
  const int m = settings.Mode();
  const CaptureInfo& info = Info();
  const int read = static_cast<int>(block_.Count());
  for (int slot = 0; slot < n; ++slot) {
    for (int c = 0; c < kChannelCount; ++c) {
      const auto held = std::find(info.channels.begin(), info.channels.end(), c + 1);
      std::span<const double> samples;
      if (slot < read && held != info.channels.end())
        samples = block_.Samples(slot, static_cast<int>(held - info.channels.begin()));
      const double rest = samples.empty() ? settings.offset[m][static_cast<std::size_t>(c)] : samples.back();
      auto values = buffer.Values(slot, c);
      auto rows = buffer.Rows(slot, c);
      for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = i < samples.size() ? samples[i] : rest;
        rows[i] = ValueToRow(settings.mapping, values[i]);
      }
    }
  }
  // Slots [0, n) are the window: the newest frame is slot n - 1.
  buffer.writeIndex = n % kHistoryFrames;
  buffer.viewIndex = 0;
  buffer.viewIndexAtStop = 0;
  buffer.frameCount = n;
  buffer.captureTimePerDivision = info.timePerDivision;
  buffer.captureEnd = n % kHistoryFrames;
  buffer.captureFrames = std::max(read, 1);
  return true;
}

int TimeIndexOf(int timePerDivision) {
  for (int k = 0; k < kTimeBaseCount; ++k)
    if (TimeBaseAt(k).perDivision == timePerDivision) return k;
  return -1;
}

BackgroundOpen::BackgroundOpen(std::string path, std::function<void()> done) : path_(std::move(path)) {
  thread_ = std::jthread([this, done = std::move(done)] {
    outcome_ = OpenCaptureFile(path_, [this](double fraction) {
      progress_.store(fraction, std::memory_order_relaxed);
      return !cancelled_.load(std::memory_order_relaxed);
    });
    done_.store(true, std::memory_order_release);
    if (done) done();
  });
}

BackgroundOpen::~BackgroundOpen() {
  Cancel();
  if (thread_.joinable()) thread_.join();
}

OpenedCapture BackgroundOpen::Take() {
  if (!Done()) return {};
  return std::move(outcome_);
}

}  // namespace kestrova
