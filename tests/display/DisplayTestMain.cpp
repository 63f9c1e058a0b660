// Test entry point: text drawing needs a QGuiApplication (the font database),
// which runs on the offscreen platform so that no display server is needed.
#include <QGuiApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef _WIN32
  // The offscreen platform reads fonts from one folder only (by default one
  // beside Qt's libraries, which a static Qt has not): the system's fonts.
  if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR")) qputenv("QT_QPA_FONTDIR", qgetenv("WINDIR") + "\\Fonts");
#endif
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
