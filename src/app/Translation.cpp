#include "app/Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>

#include "resources/Translatable.h"

namespace kestrova {

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The language code of an entry of uiLanguages() ("en-US" -> "en").
QString LanguageCode(const QString& entry) {
  return entry.section(u'-', 0, 0).section(u'_', 0, 0).toLower();
}

QString Suffix(UiLanguage language) {
  return language == UiLanguage::English ? QStringLiteral("en") : QStringLiteral("ko");
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

UiLanguage ChooseLanguage(UiLanguage asked, const QStringList& desktopLanguages) {
  if (asked != UiLanguage::Desktop) return asked;
  bool anySet = false;
  for (const QString& entry : desktopLanguages) {
    const QString code = LanguageCode(entry);
    if (code.isEmpty() || code == u"c" || code == u"posix") continue;
    anySet = true;
    if (code == u"ko") return UiLanguage::Korean;
    if (code == u"en") return UiLanguage::English;
  }
  return anySet ? UiLanguage::English : UiLanguage::Korean;
}

Translation::Translation(UiLanguage language) {
  const QString suffix = Suffix(language);
  if (language == UiLanguage::English) {
    programInstalled_ = program_.load(QStringLiteral(":/i18n/kestrova_") + suffix) &&
                        QCoreApplication::installTranslator(&program_);
    complete_ = programInstalled_;
  }
  // Qt's texts of its file and colour dialogs and message box buttons.
  qtInstalled_ =
      qt_.load(QStringLiteral("qtbase_") + suffix, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(&qt_);
}

Translation::~Translation() {
  if (qtInstalled_) QCoreApplication::removeTranslator(&qt_);
  if (programInstalled_) QCoreApplication::removeTranslator(&program_);
}

}  // namespace kestrova
