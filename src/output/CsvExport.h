#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "resources/Translatable.h"

// The File Save command's file: the captured history as comma-separated text.
namespace kestrova {

// Shown (exclamation icon) instead of the dialog when no frame is stored.
inline constexpr std::string_view kCsvNoDataMessage =
    KESTROVA_TR_NOOP("Kestrova", "기록할 데이터가 없습니다.");
// The save dialog: title, filter as a Qt name filter, and the extension added
// to a name typed without one.
inline constexpr std::string_view kCsvDialogTitle = KESTROVA_TR_NOOP("Kestrova", "데이터 기록 파일 저장");
inline constexpr std::string_view kCsvDialogQtFilter =
    KESTROVA_TR_NOOP("Kestrova", "데이터 기록 파일 (*.csv)");
inline constexpr std::string_view kCsvDefaultExtension = "csv";
// The outcome messages: success (information icon) and any failure to
// create or write the file (stop icon).
inline constexpr std::string_view kCsvSavedMessage =
    KESTROVA_TR_NOOP("Kestrova", "데이터 기록 파일을 성공적으로 저장하였습니다");
inline constexpr std::string_view kCsvWriteFailedMessage =
    KESTROVA_TR_NOOP("Kestrova", "데이터 기록 파일을 쓰는 도중 에러가 발생했습니다");

// The Yes/No question (question icon) before an existing file is replaced,
// in this command's own wording; "%1" is the file's path.
inline constexpr std::string_view kCsvOverwriteWording =
    KESTROVA_TR_NOOP("Kestrova", "%1 파일이 이미 있읍니다\n파일를 덮어 쓰시겠습니까?");
// The question about path, in wording (a translation of kCsvOverwriteWording).
std::string CsvOverwriteQuestion(std::string_view path, std::string_view wording = kCsvOverwriteWording);

// What WriteCsvExport did.
enum class CsvExportResult {
  Saved,         // every line is on disk
  NoData,        // no frame stored: nothing created
  CreateFailed,  // the file could not be created (or is held by another writer)
  WriteFailed,   // lines (or the final flush) did not reach the disk; the file
                 // keeps what was written before the failure
};

// The samples between two lines of the file, in microseconds: 2 x T at the
// single-frame time bases (T = timePerDivision, in 100 us units), where the
// unit spreads 500 samples over ten divisions; 200 us at the history time
// bases, where it samples every 0.2 ms.
long long CsvSampleStepMicroseconds(int timePerDivision);

// True when the ring holds captured frames to export.
bool HasCapture(const SampleBuffer& buffer);

// The slots File Save writes, oldest first: the newest frame alone when it
// was captured at a single-frame time base, else the capture's frames.
std::vector<int> CaptureSlots(const SampleBuffer& buffer);

// The first line of the file.
inline constexpr std::string_view kCsvHeaderLine = "Time(sec), Channel1, Channel2, Channel3, Channel4\r\n";

// Appends the 500 lines of history slot `slot` as the file has them, the
// first at `microseconds`, which moves on by the sample step of the capture's
// time base with each line. The file is the header line and then the frames
// in order, the time running on; other writers of the same layout (the
// command-line client) build it from these two pieces. Any thread, on data
// no other thread changes.
void AppendCsvFrame(std::string& out, const ScopeSettings& settings, const SampleBuffer& buffer, int slot,
                    long long& microseconds);

// Writes the captured frames to a new file at path (UTF-8; an old file is
// emptied), held exclusively while it is written: the header line, then one
// line per sample, "%f, %.4f, %.4f, %.4f, %.4f" and CR LF, the time in
// seconds and each channel's value minus its offset in the current mode,
// whether the channel is shown or not. The time base of the capture (not the
// one chosen since) decides the layout and the time column: at a
// single-frame time base the newest frame; at a history time base the
// capture's frames, oldest first, the time running on across frames.
// Numbers are formatted without the C locale. Lines are written in large
// blocks.
//
// User-interface thread, while acquisition is stopped (the history stands
// still).
CsvExportResult WriteCsvExport(const std::string& path, const ScopeSettings& settings,
                               const SampleBuffer& buffer);

}  // namespace kestrova
