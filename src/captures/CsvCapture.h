#pragma once

#include <memory>

#include "captures/Capture.h"
#include "captures/Zip.h"

// Kestrova's CSV files opened for review: File Save's (one frame, or the
// history with the time running on) and the command-line client's captures
// (single-frame time bases: each frame's time starts again at 0). The header
// line, then "time, ch1, ch2, ch3, ch4" a line, each value minus its
// channel's offset. The file is checked and indexed by frame once, with
// progress; frames are parsed again when they are shown.
namespace kestrova {

inline constexpr std::size_t kMaxCsvLineLength = 1024;

OpenedCapture OpenCsvCapture(std::unique_ptr<ByteSource> source, const OpenProgress& progress = {});

}  // namespace kestrova
