#include "captures/CaptureExport.h"

#include <array>
#include <span>

#include "captures/SrFile.h"
#include "output/LogFile.h"

namespace kestrova {

bool IsSrPath(std::string_view path) {
  if (path.size() < 3) return false;
  const std::string_view suffix = path.substr(path.size() - 3);
  return suffix[0] == '.' && (suffix[1] == 's' || suffix[1] == 'S') && (suffix[2] == 'r' || suffix[2] == 'R');
}

CsvExportResult WriteSrExport(const std::string& path, const ScopeSettings& settings,
                              const SampleBuffer& buffer) {
  if (!HasCapture(buffer)) return CsvExportResult::NoData;
  const int m = settings.Mode();
  SrCaptureHeader header;
  header.timePerDivision = buffer.captureTimePerDivision;
  header.mode = m;
  for (int c = 0; c < kChannelCount; ++c) {
    const auto i = static_cast<std::size_t>(c);
    if (settings.channelEnable[m][i] != 0) header.channels.push_back(c + 1);
    header.scale[i] = settings.scale[m][i];
    header.offset[i] = settings.offset[m][i];
  }
  // A session holds at least one channel: with none ticked, all four.
  if (header.channels.empty()) header.channels = {1, 2, 3, 4};

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

}  // namespace kestrova
