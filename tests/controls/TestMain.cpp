#include <QApplication>

#include <gtest/gtest.h>

// Widget tests need an application object; they run on the offscreen
// platform unless the environment asks for another.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef _WIN32
  // The offscreen platform reads fonts from one folder only (by default one
  // beside Qt's libraries, which a static Qt has not): the system's fonts.
  if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR")) qputenv("QT_QPA_FONTDIR", qgetenv("WINDIR") + "\\Fonts");
#endif
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
