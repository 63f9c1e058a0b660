#include "app/QtPrompts.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>

namespace kestrova {

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QMessageBox::Icon ToQtIcon(PromptIcon icon) {
  switch (icon) {
    case PromptIcon::Information:
      return QMessageBox::Information;
    case PromptIcon::Stop:
      return QMessageBox::Critical;
    case PromptIcon::Question:
      return QMessageBox::Question;
    case PromptIcon::Exclamation:
      return QMessageBox::Warning;
  }
  return QMessageBox::NoIcon;
}

// "xyz" of a filter "Description (*.xyz)", or empty.
QString FilterExtension(const QString& filter) {
  static const QRegularExpression pattern(QStringLiteral("\\(\\*\\.([^)\\s;*]+)"));
  const QRegularExpressionMatch match = pattern.match(filter);
  return match.hasMatch() ? match.captured(1) : QString();
}

}  // namespace

void QtPrompts::ShowMessage(std::string_view text, PromptIcon icon) {
  QMessageBox box(ToQtIcon(icon), FromUtf8(kApplicationTitle), FromUtf8(text), QMessageBox::Ok, parent_);
  box.exec();
}

bool QtPrompts::AskYesNo(std::string_view text) {
  QMessageBox box(QMessageBox::Question, FromUtf8(kApplicationTitle), FromUtf8(text),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtPrompts::AskSaveFileName(std::string_view title, std::string_view filter,
                                                      std::string_view defaultExtension) {
  QFileDialog dialog(parent_, FromUtf8(title), QString(), FromUtf8(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The caller asks about overwriting itself, with its own wording.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  QString path = QFileInfo(dialog.selectedFiles().front()).absoluteFilePath();
  // A name typed without any dot takes the extension of the filter the user
  // left selected (so "PNG" gives a .png), else the default one.
  if (!QFileInfo(path).fileName().contains(u'.')) {
    const QString extension = FilterExtension(dialog.selectedNameFilter());
    path += u'.' + (extension.isEmpty() ? FromUtf8(defaultExtension) : extension);
  }
  return path.toStdString();
}

std::optional<std::string> QtPrompts::AskOpenFileName(std::string_view title, std::string_view filter) {
  QFileDialog dialog(parent_, FromUtf8(title), QString(), FromUtf8(filter));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QFileInfo(dialog.selectedFiles().front()).absoluteFilePath().toStdString();
}

}  // namespace kestrova
