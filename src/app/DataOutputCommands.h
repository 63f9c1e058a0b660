#pragma once

#include <QImage>
#include <functional>
#include <string>

#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "app/Prompts.h"
#include "captures/Capture.h"
#include "resources/Translatable.h"

// The File Save and Screen Save commands of the main window: the questions
// put to the user, the file written, and the outcome reported. Both run on
// the user-interface thread while acquisition is stopped.
namespace kestrova {

// File Save: the message when no frame is stored, else the save dialog, the
// overwrite question for an existing file, the CSV export, and the outcome
// (success, or the write-error message for a file that could not be created
// or completed). Cancel or No end it quietly.
void SaveCsvFile(Prompts& prompts, const ScopeSettings& settings, const SampleBuffer& buffer);

// File Save of a capture open for review: the same dialog, question and
// outcome, and every frame of the file written (WriteCaptureExport).
void SaveCaptureFile(Prompts& prompts, const ScopeSettings& settings, CaptureSource& source);

// The open dialog of a capture file for review: Kestrova's CSV files and
// sigrok sessions.
inline constexpr std::string_view kOpenCaptureQtFilter =
    KESTROVA_TR_NOOP("Kestrova", "데이터 기록 파일 (*.csv *.sr)");

// Screen Save: the save dialog (bitmap or PNG), the overwrite question, then
// the picture from capture (the window repainted and grabbed) written to the
// chosen file, and the outcome. Cancel or No end it quietly, before capture.
void SaveScreenPicture(Prompts& prompts, const std::function<QImage()>& capture);

// Writes the picture to path (UTF-8): PNG when the file name ends in ".png"
// (any case), else the 32-bit BMP. False when the picture cannot be converted
// or the file cannot be created or written; no partial file is left.
bool WriteScreenPicture(const QImage& picture, const std::string& path);

}  // namespace kestrova
