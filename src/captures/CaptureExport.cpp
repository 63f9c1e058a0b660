#include "captures/CaptureExport.h"

#include <algorithm>
#include <array>
#include <span>

#include "acquisition/TimeBaseTable.h"
#include "captures/SrFile.h"
#include "output/LogFile.h"

namespace kestrova {

namespace {

constexpr long long kExportBlockFrames = kHistoryFrames;
constexpr std::size_t kExportBlockBytes = std::size_t{1} << 20;

// Drops all but the first `lines` lines of the frame just appended at `from`.
void KeepLines(std::string& out, std::size_t from, int lines) {
  std::size_t at = from;
  for (int k = 0; k < lines && at != std::string::npos; ++k) {
    at = out.find('\n', at);
    if (at != std::string::npos) ++at;
  }
  if (at != std::string::npos) out.resize(at);
}

bool WriteCaptureCsv(LogFile& file, const ScopeSettings& settings, CaptureSource& source) {
  const CaptureInfo& info = source.Info();
  const int m = settings.Mode();
  // The frames pass through a ring of their own, so that the lines are
  // formatted exactly as File Save formats a live capture.
  SampleBuffer ring;
  ring.Allocate();
  ring.captureTimePerDivision = info.timePerDivision;
  const bool restart = !IsHistoryTimeBase(info.timePerDivision);
  std::string out(kCsvHeaderLine);
  long long microseconds = 0;
  FrameBlock block;
  LocalText error;
  for (long long first = 0; first < info.frameCount; first += kExportBlockFrames) {
    if (!source.ReadFrames(first, kExportBlockFrames, block, error)) return false;
    for (long long f = 0; f < block.Count(); ++f) {
      const int slot = static_cast<int>(f);
      for (int c = 0; c < kChannelCount; ++c) {
        const auto held = std::find(info.channels.begin(), info.channels.end(), c + 1);
        auto values = ring.Values(slot, c);
        if (held == info.channels.end()) {
          std::fill(values.begin(), values.end(), settings.offset[m][static_cast<std::size_t>(c)]);
        } else {
          const auto samples = block.Samples(f, static_cast<int>(held - info.channels.begin()));
          std::copy(samples.begin(), samples.end(), values.begin());
        }
      }
      if (restart) microseconds = 0;
      const std::size_t from = out.size();
      AppendCsvFrame(out, settings, ring, slot, microseconds);
      KeepLines(out, from, block.lengths[static_cast<std::size_t>(f)]);
      if (out.size() >= kExportBlockBytes) {
        if (!file.Write(out)) return false;
        out.clear();
      }
    }
  }
  return file.Write(out);
}

bool WriteCaptureSr(LogFile& file, const ScopeSettings& settings, CaptureSource& source) {
  const CaptureInfo& info = source.Info();
  const int m = settings.Mode();
  SrCaptureHeader header;
  header.timePerDivision = info.timePerDivision;
  header.mode = m;
  std::vector<int> columns;  // the file's channels written, by their place in the file
  for (std::size_t k = 0; k < info.channels.size(); ++k) {
    const int c = info.channels[k];
    if (settings.channelEnable[m][static_cast<std::size_t>(c - 1)] != 0) {
      header.channels.push_back(c);
      columns.push_back(static_cast<int>(k));
    }
  }
  if (header.channels.empty()) {
    header.channels = info.channels;
    for (std::size_t k = 0; k < info.channels.size(); ++k) columns.push_back(static_cast<int>(k));
  }
  for (std::size_t c = 0; c < kChannelCount; ++c) {
    header.scale[c] = settings.scale[m][c];
    header.offset[c] = settings.offset[m][c];
  }
  SrWriter writer(header);
  if (!file.Write(writer.Begin())) return false;
  std::array<std::span<const double>, kChannelCount> values{};
  FrameBlock block;
  LocalText error;
  for (long long first = 0; first < info.frameCount; first += kExportBlockFrames) {
    if (!source.ReadFrames(first, kExportBlockFrames, block, error)) return false;
    for (long long f = 0; f < block.Count(); ++f) {
      for (std::size_t k = 0; k < columns.size(); ++k) values[k] = block.Samples(f, columns[k]);
      if (!file.Write(writer.AddFrame(std::span(values).first(columns.size())))) return false;
    }
  }
  const std::string tail = writer.Finish();
  return !writer.TooLarge() && file.Write(tail);
}

}  // namespace

bool IsSrPath(std::string_view path) {
  if (path.size() < 3) return false;
  const std::string_view suffix = path.substr(path.size() - 3);
  return suffix[0] == '.' && (suffix[1] == 's' || suffix[1] == 'S') && (suffix[2] == 'r' || suffix[2] == 'R');
}

CsvExportResult WriteSrExport(const std::string& path, const ScopeSettings& settings,
                              const SampleBuffer& buffer) {
  if (!HasCapture(buffer)) return CsvExportResult::NoData;
  const SrCaptureHeader header = SrHeaderOf(settings, buffer.captureTimePerDivision);

  LogFile file;
  if (!file.Create(path)) return CsvExportResult::CreateFailed;
  SrWriter writer(header);
  bool failed = !file.Write(writer.Begin());
  std::array<std::span<const double>, kChannelCount> values{};
  for (const int slot : CaptureSlots(buffer)) {
    if (failed) break;
    for (std::size_t k = 0; k < header.channels.size(); ++k)
      values[k] = buffer.Values(slot, header.channels[k] - 1);
    failed = !file.Write(writer.AddFrame(std::span(values).first(header.channels.size())));
  }
  if (!failed) failed = !file.Write(writer.Finish());
  const bool closed = file.Close();
  return failed || !closed ? CsvExportResult::WriteFailed : CsvExportResult::Saved;
}

CsvExportResult WriteCaptureExport(const std::string& path, const ScopeSettings& settings,
                                   CaptureSource& source) {
  if (source.Info().frameCount <= 0) return CsvExportResult::NoData;
  LogFile file;
  if (!file.Create(path)) return CsvExportResult::CreateFailed;
  const bool written =
      IsSrPath(path) ? WriteCaptureSr(file, settings, source) : WriteCaptureCsv(file, settings, source);
  const bool closed = file.Close();
  return written && closed ? CsvExportResult::Saved : CsvExportResult::WriteFailed;
}

}  // namespace kestrova
