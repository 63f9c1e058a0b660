#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>
#include <string>
#include <string_view>

#include "app/CommandLine.h"

namespace kestrova {

// A text marked with KESTROVA_TR_NOOP, in the language the program speaks:
// its translation when one is installed, else the text itself (the Korean
// source texts, or the English captions). Any other text (a unit's reply)
// comes back as it is. User-interface thread.
QString Tr(std::string_view source);
// The same as UTF-8, for the interfaces that take texts as std::string_view.
std::string TrUtf8(std::string_view source);

// The language of the window: `asked` when --lang chose one, else the first
// of the desktop's languages (QLocale::system().uiLanguages(), most wanted
// first) that the program speaks. English for a desktop whose languages are
// all without a translation; Korean where no language is set (nothing, or
// only the C or POSIX locale).
UiLanguage ChooseLanguage(UiLanguage asked, const QStringList& desktopLanguages);

// The translations of one language installed in the application for the
// lifetime of this object: the program's own (embedded in the program) and
// Qt's for its own dialogs (from the Qt installation, when there). Korean
// installs Qt's Korean texts only: the program's source texts are Korean.
// User-interface thread, after the application object exists.
class Translation {
 public:
  explicit Translation(UiLanguage language);
  ~Translation();
  Translation(const Translation&) = delete;
  Translation& operator=(const Translation&) = delete;

  // False when the program's own translation for the language was asked
  // for but could not be loaded (a build without the translation tools).
  [[nodiscard]] bool Complete() const { return complete_; }

 private:
  QTranslator program_;
  QTranslator qt_;
  bool programInstalled_ = false;
  bool qtInstalled_ = false;
  bool complete_ = true;
};

}  // namespace kestrova
