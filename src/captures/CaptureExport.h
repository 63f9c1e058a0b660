#pragma once

#include <string>
#include <string_view>

#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "captures/Capture.h"
#include "output/CsvExport.h"
#include "resources/Translatable.h"

// File Save as a sigrok session: the frames the CSV would hold, as the
// values the display shows.
namespace kestrova {

// The save dialog's second filter, beside the CSV one (which stays first,
// the default).
inline constexpr std::string_view kSrDialogQtFilter = KESTROVA_TR_NOOP("Kestrova", "sigrok session (*.sr)");

// True for a path ending in ".sr" (any case): File Save writes a session.
bool IsSrPath(std::string_view path);

// Writes the frames File Save's CSV would hold (CaptureSlots) to a new file
// at path: each ticked channel of the current mode as CH1..CH4, its values
// as stored (sample x scale + offset), the capture's time base, and the
// mode's scale and offset in Kestrova's own metadata keys. The file is held
// exclusively while it is written. User-interface thread, while stopped.
CsvExportResult WriteSrExport(const std::string& path, const ScopeSettings& settings,
                              const SampleBuffer& buffer);

// File Save of a capture open for review: every frame of the file, not only
// the window on screen, as a CSV (File Save's layout; at the single-frame
// time bases each frame's time starts at 0 again, as the command-line
// client writes them) or, for a path ending in ".sr", a session of the
// file's channels that are ticked (all of them when none is). The values
// are those of the file; the current mode's offsets are taken off for the
// CSV as on a live capture. Reads the file a block of frames at a time.
// User-interface thread.
CsvExportResult WriteCaptureExport(const std::string& path, const ScopeSettings& settings,
                                   CaptureSource& source);

}  // namespace kestrova
