#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <climits>

#include <gtest/gtest.h>

#include "app/QtProfile.h"

namespace kestrova {
namespace {

constexpr std::string_view kSection = "Kestrova View Info";

// Points the per-user native settings at a fresh temporary directory.
class Profile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
  }
  QTemporaryDir dir_;
};

TEST_F(Profile, IntsAndTextsSurviveANewProfile) {
  {
    QtProfile profile;
    profile.PutInt(kSection, "M0_Ch0 Enable", 1);
    profile.PutInt(kSection, "Graph Color5", 0x002AFFFF);
    profile.PutInt(kSection, "Time Index", -7);
    profile.PutInt(kSection, "Big", INT_MAX);
    profile.PutInt(kSection, "Small", INT_MIN);
    profile.PutText(kSection, "M1_YAxis Max", "0x64");
    profile.PutText(kSection, "Real Save File Path", "C:\\기록 파일\\실시간 데이터.txt");
    profile.PutText(kSection, "Device Serial", "");
  }
  const QtProfile profile;
  EXPECT_EQ(profile.GetInt(kSection, "M0_Ch0 Enable", 0), 1);
  EXPECT_EQ(profile.GetInt(kSection, "Graph Color5", 0), 0x002AFFFF);
  EXPECT_EQ(profile.GetInt(kSection, "Time Index", 0), -7);
  EXPECT_EQ(profile.GetInt(kSection, "Big", 0), INT_MAX);
  EXPECT_EQ(profile.GetInt(kSection, "Small", 0), INT_MIN);
  EXPECT_EQ(profile.GetText(kSection, "M1_YAxis Max", "100"), "0x64");
  EXPECT_EQ(profile.GetText(kSection, "Real Save File Path", ""), "C:\\기록 파일\\실시간 데이터.txt");
  // An empty stored text is a stored value, not a missing one.
  EXPECT_EQ(profile.GetText(kSection, "Device Serial", "none"), "");
}

TEST_F(Profile, LivesInTheUsersKestrovaStore) {
  {
    QtProfile profile;
    profile.PutInt(kSection, "Select Signal", 2);
    EXPECT_TRUE(profile.Sync());
    EXPECT_TRUE(profile.Location().startsWith(dir_.path()));
  }
  const QString file = QDir(dir_.path()).filePath(QStringLiteral("Kestrova/Kestrova.conf"));
  EXPECT_TRUE(QFile::exists(file)) << file.toStdString();
}

TEST_F(Profile, MissingKeysGiveTheFallback) {
  const QtProfile profile;
  EXPECT_EQ(profile.GetInt(kSection, "Time Index", 4), 4);
  EXPECT_EQ(profile.GetText(kSection, "M0 Trigger Level", "10"), "10");
}

TEST_F(Profile, SectionsKeepTheirKeysApart) {
  QtProfile profile;
  profile.PutInt("One", "Key", 1);
  profile.PutInt("Two", "Key", 2);
  EXPECT_EQ(profile.GetInt("One", "Key", 0), 1);
  EXPECT_EQ(profile.GetInt("Two", "Key", 0), 2);
  EXPECT_EQ(profile.GetInt("Three", "Key", 0), 0);
}

TEST_F(Profile, TextsThatLookLikeSyntaxComeBackUnchanged) {
  const std::vector<std::string> texts = {
      "  1 ",       "a, b,c",    "@Variant(1)", "; not a comment", "# nor this", "x=y",
      "\"quoted\"", "tab\there", "back\\slash", "line\nbreak",     "끝ㅡ",
  };
  {
    QtProfile profile;
    for (std::size_t i = 0; i < texts.size(); ++i)
      profile.PutText(kSection, "Text " + std::to_string(i), texts[i]);
  }
  const QtProfile profile;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(profile.GetText(kSection, "Text " + std::to_string(i), "?"), texts[i]) << i;
  }
}

TEST_F(Profile, HandEditedValuesAreReadSafely) {
  QDir(dir_.path()).mkpath(QStringLiteral("Kestrova"));
  QFile file(QDir(dir_.path()).filePath(QStringLiteral("Kestrova/Kestrova.conf")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(
      "[Kestrova%20View%20Info]\n"
      "Time%20Index=abc\n"
      "Y%20Division=12junk\n"
      "Auto=99999999999\n"
      "Select%20Signal= 3 \n"
      "Device%20Serial=FT1,FT2\n"
      "Real%20Save%20Index=5\n");
  file.close();

  const QtProfile profile;
  EXPECT_EQ(profile.GetInt(kSection, "Time Index", 4), 4);
  EXPECT_EQ(profile.GetInt(kSection, "Y Division", 1), 1);
  EXPECT_EQ(profile.GetInt(kSection, "Auto", 1), 1);
  EXPECT_EQ(profile.GetInt(kSection, "Select Signal", 0), 3);
  EXPECT_EQ(profile.GetText(kSection, "Device Serial", ""), "FT1,FT2");
  EXPECT_EQ(profile.GetInt(kSection, "Real Save Index", 0), 5);
  // An integer is also readable as its text.
  EXPECT_EQ(profile.GetText(kSection, "Real Save Index", ""), "5");
}

}  // namespace
}  // namespace kestrova
