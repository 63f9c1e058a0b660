#include "captures/CsvCapture.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <utility>
#include <vector>

#include "acquisition/TimeBaseTable.h"
#include "captures/SrFile.h"
#include "output/CsvExport.h"

namespace kestrova {

namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;
constexpr int kColumns = 1 + kChannelCount;

// Lines of a file, read in blocks from an offset.
class LineScanner {
 public:
  // Reads blocks of blockSize bytes (at least a line's worth).
  LineScanner(ByteSource& source, std::uint64_t offset, std::size_t blockSize = kBlockSize)
      : source_(source),
        next_(offset),
        start_(offset),
        blockSize_(std::max(blockSize, kMaxCsvLineLength + 2)) {}

  // The next line without its CR LF, and the file offset it starts at.
  // False at the end of the file, or with tooLong for a line longer than
  // any of Kestrova's.
  bool Next(std::string_view& line, std::uint64_t& offset, bool& tooLong) {
    tooLong = false;
    for (;;) {
      const auto begin = buffer_.begin() + static_cast<std::ptrdiff_t>(head_);
      const auto newline = std::find(begin, buffer_.end(), '\n');
      if (newline != buffer_.end() || (atEnd_ && begin != buffer_.end())) {
        const auto length = static_cast<std::size_t>(newline - begin);
        if (length > kMaxCsvLineLength) {
          tooLong = true;
          return false;
        }
        line = std::string_view(&*begin, length);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        offset = start_ + head_;
        head_ += length + (newline != buffer_.end() ? 1 : 0);
        return true;
      }
      if (atEnd_) return false;
      if (buffer_.size() - head_ > kMaxCsvLineLength) {
        tooLong = true;
        return false;
      }
      // Keep the unfinished line and read the next block behind it.
      buffer_.erase(buffer_.begin(), begin);
      start_ += head_;
      head_ = 0;
      const std::uint64_t left = source_.Size() > next_ ? source_.Size() - next_ : 0;
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, blockSize_));
      const std::size_t kept = buffer_.size();
      buffer_.resize(kept + n);
      if (n == 0 ||
          !source_.ReadAt(next_, std::span(reinterpret_cast<std::uint8_t*>(buffer_.data()) + kept, n))) {
        buffer_.resize(kept);
        atEnd_ = true;
        continue;
      }
      next_ += n;
    }
  }

  [[nodiscard]] std::uint64_t Position() const { return start_ + head_; }

 private:
  ByteSource& source_;
  std::uint64_t next_;   // file offset of the next block
  std::uint64_t start_;  // file offset of buffer_[0]
  std::vector<char> buffer_;
  std::size_t blockSize_;
  std::size_t head_ = 0;
  bool atEnd_ = false;
};

// A reason at a line of the file, the line counted from 1.
LocalText AtLine(long long line, LocalText reason) {
  return {KESTROVA_TR_NOOP("Kestrova", "%1번째 줄: %2"),
          {LocalText::Plain(std::to_string(line)), std::move(reason)}};
}

// One data line's five numbers; false with what is wrong.
bool ParseLine(std::string_view line, std::array<double, kColumns>& values, LocalText& what) {
  int column = 0;
  while (true) {
    const std::size_t comma = line.find(',');
    std::string_view field = line.substr(0, comma);
    while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
    while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
    if (column >= kColumns) {
      what = KESTROVA_TR_NOOP("Kestrova", "열이 5개보다 많습니다");
      return false;
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (field.empty() || ec != std::errc() || end != field.data() + field.size() || !std::isfinite(value)) {
      what = {KESTROVA_TR_NOOP("Kestrova", "%1번째 열이 숫자가 아닙니다 ('%2')"),
              {LocalText::Plain(std::to_string(column + 1)), LocalText::Plain(std::string(field))}};
      return false;
    }
    values[static_cast<std::size_t>(column++)] = value;
    if (comma == std::string_view::npos) break;
    line.remove_prefix(comma + 1);
  }
  if (column != kColumns) {
    what = {KESTROVA_TR_NOOP("Kestrova", "열이 5개가 아니고 %1개입니다"),
            {LocalText::Plain(std::to_string(column))}};
    return false;
  }
  return true;
}

class CsvCapture final : public CaptureSource {
 public:
  CsvCapture(std::unique_ptr<ByteSource> source, CaptureInfo info, std::vector<std::uint64_t> frameOffsets)
      : source_(std::move(source)), frameOffsets_(std::move(frameOffsets)) {
    info_ = std::move(info);
  }

  bool ReadFrames(long long first, long long count, FrameBlock& out, LocalText& error) override {
    out = FrameBlock{};
    first = std::clamp(first, 0LL, info_.frameCount);
    count = std::clamp(count, 0LL, info_.frameCount - first);
    out.first = first;
    out.channelCount = kChannelCount;
    out.values.assign(static_cast<std::size_t>(count * kChannelCount * kCaptureFrameLength), 0.0);
    for (long long f = first; f < first + count; ++f) {
      const Parsed* frame = Frame(f, error);
      if (frame == nullptr) {
        out = FrameBlock{};
        return false;
      }
      out.lengths.push_back(frame->length);
      std::copy(frame->values.begin(), frame->values.end(),
                out.values.begin() +
                    static_cast<std::ptrdiff_t>((f - first) * kChannelCount * kCaptureFrameLength));
    }
    return true;
  }

 private:
  // A frame parsed: [channel][500], and how many samples it has.
  struct Parsed {
    long long frame = -1;
    int length = 0;
    std::vector<double> values;
  };

  // Frame f, parsed now or kept from a read before: a scroll step parses
  // only the frame that comes into view.
  const Parsed* Frame(long long f, LocalText& error) {
    Parsed& slot = kept_[static_cast<std::size_t>(f) % kept_.size()];
    if (slot.frame == f) return &slot;
    slot.frame = -1;
    const auto index = static_cast<std::size_t>(f);
    const std::uint64_t end = index + 1 < frameOffsets_.size() ? frameOffsets_[index + 1] : source_->Size();
    LineScanner lines(*source_, frameOffsets_[index],
                      static_cast<std::size_t>(end - frameOffsets_[index]) + 1);
    slot.length = static_cast<int>(
        std::min<long long>(kCaptureFrameLength, info_.sampleCount - f * kCaptureFrameLength));
    slot.values.assign(static_cast<std::size_t>(kChannelCount * kCaptureFrameLength), 0.0);
    std::array<double, kColumns> values{};
    for (int i = 0; i < slot.length; ++i) {
      std::string_view line;
      std::uint64_t offset = 0;
      bool tooLong = false;
      LocalText what;
      if (!lines.Next(line, offset, tooLong) || !ParseLine(line, values, what)) {
        const long long at = f * kCaptureFrameLength + i + 2;
        error = what.Empty() ? AtLine(at, KESTROVA_TR_NOOP("Kestrova", "파일이 열린 뒤에 바뀌었습니다"))
                             : AtLine(at, {KESTROVA_TR_NOOP("Kestrova", "파일이 열린 뒤에 바뀌었습니다 (%1)"),
                                           {std::move(what)}});
        return nullptr;
      }
      for (std::size_t c = 0; c < kChannelCount; ++c)
        slot.values[c * kCaptureFrameLength + static_cast<std::size_t>(i)] = values[c + 1];
    }
    slot.frame = f;
    return &slot;
  }

  std::unique_ptr<ByteSource> source_;
  std::vector<std::uint64_t> frameOffsets_;
  // Parsed frames by frame number modulo its size: a screen of 100 frames
  // and the next one fit (about 4 MB).
  std::vector<Parsed> kept_ = std::vector<Parsed>(256);
};

}  // namespace

OpenedCapture OpenCsvCapture(std::unique_ptr<ByteSource> source, const OpenProgress& progress) {
  LineScanner lines(*source, 0);
  std::string_view line;
  std::uint64_t offset = 0;
  bool tooLong = false;
  std::string_view header = kCsvHeaderLine;
  header.remove_suffix(2);  // CR LF
  if (!lines.Next(line, offset, tooLong) || line != header)
    return {nullptr,
            {KESTROVA_TR_NOOP("Kestrova", "Kestrova CSV 파일이 아닙니다: 첫 줄이 \"%1\"가 아닙니다"),
             {LocalText::Plain(std::string(header))}}};

  CaptureInfo info;
  info.channels = {1, 2, 3, 4};
  std::vector<std::uint64_t> frameOffsets;
  std::array<double, kColumns> values{};
  std::array<double, 2> times{};
  long long samples = 0;
  const double size = static_cast<double>(std::max<std::uint64_t>(source->Size(), 1));
  std::uint64_t reported = 0;
  while (lines.Next(line, offset, tooLong)) {
    LocalText what;
    if (!ParseLine(line, values, what)) return {nullptr, AtLine(samples + 2, std::move(what))};
    if (samples % kCaptureFrameLength == 0) frameOffsets.push_back(offset);
    if (samples < 2) times[static_cast<std::size_t>(samples)] = values[0];
    ++samples;
    if (progress && offset - reported >= kBlockSize) {
      reported = offset;
      if (!progress(static_cast<double>(offset) / size))
        return {nullptr, KESTROVA_TR_NOOP("Kestrova", "열기를 취소했습니다")};
    }
  }
  if (tooLong) return {nullptr, AtLine(samples + 2, KESTROVA_TR_NOOP("Kestrova", "줄이 너무 깁니다"))};
  if (samples < 2)
    return {nullptr,
            {KESTROVA_TR_NOOP("Kestrova", "데이터 줄이 %1개입니다 (2개 이상 있어야 합니다)"),
             {LocalText::Plain(std::to_string(samples))}}};
  const double step = times[1] - times[0];
  if (!(step > 0.0))
    return {nullptr, AtLine(3, KESTROVA_TR_NOOP("Kestrova", "시간이 앞 줄보다 크지 않습니다"))};

  info.sampleSeconds = step;
  info.timePerDivision = NearestTimePerDivision(step);
  if (std::abs(SampleSecondsOf(info.timePerDivision) / step - 1.0) > 1e-3) {
    info.notes.push_back(
        {KESTROVA_TR_NOOP("Kestrova", "샘플 간격 %1초에 맞는 시간축이 없어 가장 가까운 %2/div로 보여 줍니다"),
         {LocalText::Plain(std::to_string(step)),
          LocalText::Plain(std::string(TimeBaseLabelOf(info.timePerDivision)))}});
  }
  info.sampleCount = samples;
  info.frameCount = static_cast<long long>(frameOffsets.size());
  if (progress) progress(1.0);
  return {std::make_unique<CsvCapture>(std::move(source), std::move(info), std::move(frameOffsets)), {}};
}

std::span<const double> FrameBlock::Samples(long long frame, int channel) const {
  const auto at = static_cast<std::size_t>((frame * channelCount + channel) * kCaptureFrameLength);
  return std::span(values).subspan(at, static_cast<std::size_t>(lengths[static_cast<std::size_t>(frame)]));
}

OpenedCapture OpenCaptureFile(const std::string& path, const OpenProgress& progress) {
  std::unique_ptr<ByteSource> source = OpenFileSource(path);
  if (source == nullptr)
    return {nullptr, {KESTROVA_TR_NOOP("Kestrova", "파일을 열 수 없습니다: %1"), {LocalText::Plain(path)}}};
  std::array<std::uint8_t, 4> magic{};
  if (source->Size() >= magic.size() && source->ReadAt(0, magic) && magic[0] == 'P' && magic[1] == 'K') {
    OpenedCapture opened = OpenSrCapture(std::move(source));
    if (progress && opened.source) progress(1.0);
    return opened;
  }
  return OpenCsvCapture(std::move(source), progress);
}

}  // namespace kestrova
