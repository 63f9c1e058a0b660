// Kestrova: the desktop front end of a four-channel USB acquisition unit.
#include <QApplication>
#include <clocale>
#include <string>
#include <vector>

#include "app/ScopeApp.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Kestrova"));
  QApplication::setApplicationName(QStringLiteral("Kestrova"));
  // Numbers are read and written in the "C" form whatever the desktop's
  // locale says; Qt switches the C library to the desktop's locale.
  std::setlocale(LC_NUMERIC, "C");

  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return kestrova::CScopeApp().InitInstance(arguments);
}
