#include "app/Translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>

#include "resources/Translatable.h"

namespace kestrova {

namespace {

const QString kProgramTranslations = QStringLiteral(":/i18n");
const QString kProgramPrefix = QStringLiteral("kestrova_");

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString Tr(std::string_view source) {
  // The lookup takes a C string: a text with a NUL in it is no marked text.
  if (source.find('\0') != std::string_view::npos) return FromUtf8(source);
  return QCoreApplication::translate(kTranslationContext, std::string(source).c_str());
}

std::string TrUtf8(std::string_view source) {
  return Tr(source).toStdString();
}

QStringList AvailableLanguages() {
  QStringList languages{kSourceLanguage};
  const QStringList files =
      QDir(kProgramTranslations).entryList({kProgramPrefix + QStringLiteral("*.qm")}, QDir::Files);
  for (const QString& file : files) languages << file.mid(kProgramPrefix.size()).chopped(3);
  languages.removeDuplicates();
  languages.sort();
  return languages;
}

QString ChooseLanguage(const QString& asked, const QStringList& desktopLanguages,
                       const QStringList& available) {
  if (!asked.isEmpty()) return available.contains(asked) ? asked : QString();
  bool anySet = false;
  for (const QString& entry : desktopLanguages) {
    // "pt-BR" is the translation "pt_BR", else "pt".
    const QString full = QString(entry).replace(u'-', u'_');
    const QString language = full.section(u'_', 0, 0).toLower();
    if (language.isEmpty() || language == u"c" || language == u"posix") continue;
    anySet = true;
    if (available.contains(full)) return full;
    if (available.contains(language)) return language;
  }
  return anySet && available.contains(kFallbackLanguage) ? kFallbackLanguage : kSourceLanguage;
}

Translation::Translation(const QString& language) {
  if (language != kSourceLanguage) {
    programInstalled_ = program_.load(kProgramPrefix + language, kProgramTranslations) &&
                        QCoreApplication::installTranslator(&program_);
    complete_ = programInstalled_;
  }
  // Qt's texts of its file and colour dialogs and message box buttons.
  qtInstalled_ =
      qt_.load(QStringLiteral("qtbase_") + language, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(&qt_);
}

Translation::~Translation() {
  if (qtInstalled_) QCoreApplication::removeTranslator(&qt_);
  if (programInstalled_) QCoreApplication::removeTranslator(&program_);
}

}  // namespace kestrova
