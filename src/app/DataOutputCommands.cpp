#include "app/DataOutputCommands.h"

#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QImageWriter>
#include <optional>
#include <span>

#include "app/Translation.h"
#include "captures/CaptureExport.h"
#include "output/BitmapFile.h"
#include "output/CsvExport.h"
#include "output/RealSaveControls.h"

namespace kestrova {

namespace {

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The dialog's path, or nothing when the user cancelled; an existing file is
// replaced only after Yes to the command's question, which names the file's
// full path.
std::optional<std::string> ConfirmPath(Prompts& prompts, const std::optional<std::string>& chosen,
                                       const std::function<std::string(std::string_view path)>& question) {
  if (!chosen || chosen->empty()) return std::nullopt;
  const QFileInfo info(FromUtf8(*chosen));
  if (info.exists() && !prompts.AskYesNo(question(info.absoluteFilePath().toStdString())))
    return std::nullopt;
  return chosen;
}

bool WritePng(const QImage& picture, const std::string& path) {
  QByteArray encoded;
  QBuffer device(&encoded);
  device.open(QIODevice::WriteOnly);
  QImageWriter writer(&device, "png");
  if (!writer.write(picture)) return false;
  const std::span<const std::uint8_t> bytes(
      reinterpret_cast<const std::uint8_t*>(encoded.constData()),  // NOLINT
      static_cast<std::size_t>(encoded.size()));
  return WriteWholeFile(path, {bytes});
}

bool WriteBmp(const QImage& picture, const std::string& path) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  if (rgb.isNull()) return false;
  // Format_RGB32 rows are whole 32-bit words of 0xFFRRGGBB.
  const std::span<const std::uint32_t> pixels(
      reinterpret_cast<const std::uint32_t*>(rgb.constBits()),  // NOLINT
      static_cast<std::size_t>(rgb.sizeInBytes()) / 4);
  const PixelRows rows{.width = rgb.width(),
                       .height = rgb.height(),
                       .stride = static_cast<std::size_t>(rgb.bytesPerLine()) / 4,
                       .pixels = pixels};
  return CaptureWindowToFile(rows, path);
}

// File Save's dialog, question and outcome around the writer of the chosen
// path.
void SaveData(Prompts& prompts, const std::function<CsvExportResult(const std::string& path)>& write) {
  // CSV first, the default; a sigrok session beside it for the sigrok tools.
  const std::string filters = TrUtf8(kCsvDialogQtFilter) + ";;" + TrUtf8(kSrDialogQtFilter);
  const std::optional<std::string> path = ConfirmPath(
      prompts, prompts.AskSaveFileName(TrUtf8(kCsvDialogTitle), filters, kCsvDefaultExtension),
      [](std::string_view chosen) { return CsvOverwriteQuestion(chosen, TrUtf8(kCsvOverwriteWording)); });
  if (!path) return;
  if (write(*path) == CsvExportResult::Saved) {
    prompts.ShowMessage(TrUtf8(kCsvSavedMessage), PromptIcon::Information);
  } else {
    prompts.ShowMessage(TrUtf8(kCsvWriteFailedMessage), PromptIcon::Stop);
  }
}

}  // namespace

void SaveCsvFile(Prompts& prompts, const ScopeSettings& settings, const SampleBuffer& buffer) {
  if (!HasCapture(buffer)) {
    prompts.ShowMessage(TrUtf8(kCsvNoDataMessage), PromptIcon::Exclamation);
    return;
  }
  SaveData(prompts, [&](const std::string& path) {
    return IsSrPath(path) ? WriteSrExport(path, settings, buffer) : WriteCsvExport(path, settings, buffer);
  });
}

void SaveCaptureFile(Prompts& prompts, const ScopeSettings& settings, CaptureSource& source) {
  SaveData(prompts, [&](const std::string& path) { return WriteCaptureExport(path, settings, source); });
}

void SaveScreenPicture(Prompts& prompts, const std::function<QImage()>& capture) {
  // The overwrite question has the wording of the log-file browse.
  const std::optional<std::string> path =
      ConfirmPath(prompts,
                  prompts.AskSaveFileName(TrUtf8(kScreenSaveDialogTitle), TrUtf8(kScreenSaveDialogQtFilter),
                                          kScreenSaveDefaultExtension),
                  [](std::string_view chosen) {
                    return RealSaveOverwriteQuestion(chosen, TrUtf8(kRealSaveOverwriteWording));
                  });
  if (!path) return;
  if (WriteScreenPicture(capture(), *path)) {
    prompts.ShowMessage(TrUtf8(kScreenSavedMessage), PromptIcon::Information);
  } else {
    prompts.ShowMessage(TrUtf8(kScreenSaveFailedMessage), PromptIcon::Stop);
  }
}

bool WriteScreenPicture(const QImage& picture, const std::string& path) {
  if (picture.isNull()) return false;
  const bool png =
      QFileInfo(FromUtf8(path)).suffix().compare(QStringLiteral("png"), Qt::CaseInsensitive) == 0;
  return png ? WritePng(picture, path) : WriteBmp(picture, path);
}

}  // namespace kestrova
