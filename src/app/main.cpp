// Kestrova: the desktop front end of a four-channel USB acquisition unit.
#include <QApplication>
#include <QLocale>
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/ScopeApp.h"
#include "app/Translation.h"
#include "device/DriverChoice.h"

namespace {

std::vector<std::string> Arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

void ReportOptionError(const kestrova::CommandLineOptions& options) {
  std::cerr << "kestrova: " << options.error << "\nTry 'kestrova --help' for the options.\n";
}

}  // namespace

int main(int argc, char** argv) {
  using kestrova::CommandLineOptions;
  // Help and version are answered before Qt starts, so they need no display.
  const CommandLineOptions early = kestrova::ParseCommandLine(Arguments(argc, argv));
  if (early.action == CommandLineOptions::Action::Help) {
    std::cout << kestrova::HelpText(kestrova::LibFtdiBackendBuilt());
    return 0;
  }
  if (early.action == CommandLineOptions::Action::Version) {
    std::cout << kestrova::VersionText() << '\n';
    return 0;
  }
  const CommandLineOptions own = kestrova::ParseOptionsBeforeQt(Arguments(argc, argv));
  if (own.action == CommandLineOptions::Action::Error) {
    ReportOptionError(own);
    return 2;
  }
  // The translations are carried in the program: a language it lacks is
  // refused before Qt starts too.
  const QStringList languages = kestrova::AvailableLanguages();
  if (!own.language.empty() && !languages.contains(QString::fromStdString(own.language))) {
    std::cerr << "kestrova: --lang=" << own.language << ": the program does not speak it (it speaks "
              << languages.join(QStringLiteral(", ")).toStdString() << ")\n";
    return 2;
  }

#ifdef _WIN32
  // The offscreen platform (-platform offscreen) reads fonts from one folder
  // only, by default one beside Qt's libraries, which a static Qt has not.
  if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR")) qputenv("QT_QPA_FONTDIR", qgetenv("WINDIR") + "\\Fonts");
#endif
  QApplication application(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Kestrova"));
  QApplication::setApplicationName(QStringLiteral("Kestrova"));
  // Desktops match the window to its menu entry and icon by this name.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.kestrova.Kestrova"));
  // Numbers are read and written in the "C" form whatever the desktop's
  // locale says; Qt switches the C library to the desktop's locale.
  std::setlocale(LC_NUMERIC, "C");

  // Qt has taken its own options (-platform, -style, ...) out by now.
  const CommandLineOptions options = kestrova::ParseCommandLine(Arguments(argc, argv));
  if (options.action == CommandLineOptions::Action::Error) {
    ReportOptionError(options);
    return 2;
  }
  // The language is chosen for this run only; nothing of it is stored.
  const kestrova::Translation translation(kestrova::ChooseLanguage(
      QString::fromStdString(options.language), QLocale::system().uiLanguages(), languages));
  if (!translation.Complete())
    std::cerr << "kestrova: the window's texts could not be loaded; it speaks Korean\n";
  return kestrova::CScopeApp().InitInstance(options.driver);
}
