#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>
#include <string>
#include <string_view>

namespace kestrova {

// A text marked with KESTROVA_TR_NOOP, in the language the program speaks:
// its translation when one is installed, else the text itself (the Korean
// source texts, or the English captions). Any other text (a unit's reply)
// comes back as it is. User-interface thread.
QString Tr(std::string_view source);
// The same as UTF-8, for the interfaces that take texts as std::string_view.
std::string TrUtf8(std::string_view source);

// The language of the source texts, and the one for a desktop that names
// none.
inline const QString kSourceLanguage = QStringLiteral("ko");
// The language for a desktop that names only languages the program lacks.
inline const QString kFallbackLanguage = QStringLiteral("en");

// The codes of the languages the program speaks: Korean and one for each
// translation it carries (":/i18n/kestrova_CODE.qm"), sorted.
QStringList AvailableLanguages();

// The language of the window, a code of `available`: `asked` (--lang) when
// it is one of them, else the first of the desktop's languages
// (QLocale::system().uiLanguages(), most wanted first, "en-US" matching "en_US"
// or "en") that is. English for a desktop whose languages are all without a
// translation; Korean where no language is set (nothing, or only the C or
// POSIX locale). Empty when `asked` is a language the program lacks.
QString ChooseLanguage(const QString& asked, const QStringList& desktopLanguages,
                       const QStringList& available);

// The translations of one language installed in the application for the
// lifetime of this object: the program's own (carried in the program) and
// Qt's for its own dialogs (from the Qt installation, when there). Korean
// installs Qt's Korean texts only: the program's source texts are Korean.
// User-interface thread, after the application object exists.
class Translation {
 public:
  explicit Translation(const QString& language);
  ~Translation();
  Translation(const Translation&) = delete;
  Translation& operator=(const Translation&) = delete;

  // False when the program's own translation for the language could not be
  // loaded (a build without the translation tools).
  [[nodiscard]] bool Complete() const { return complete_; }

 private:
  QTranslator program_;
  QTranslator qt_;
  bool programInstalled_ = false;
  bool qtInstalled_ = false;
  bool complete_ = true;
};

}  // namespace kestrova
