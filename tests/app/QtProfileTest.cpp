#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "ScratchUserSettings.h"
#include "app/QtProfile.h"

namespace kestrova {
namespace {

constexpr std::string_view kSection = "Kestrova View Info";

// The per-user native settings in a fresh scratch store.
class Profile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(scratch_.Valid()); }
  test::ScratchUserSettings scratch_;
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
#ifdef _WIN32
    EXPECT_EQ(profile.Location(), QStringLiteral("\\HKEY_CURRENT_USER\\Software\\Kestrova\\Kestrova"));
  }
  // A number is a DWORD, as other Windows programs (and regedit) expect.
  DWORD value = 0;
  DWORD size = sizeof value;
  EXPECT_EQ(::RegGetValueW(scratch_.Key(), L"Software\\Kestrova\\Kestrova\\Kestrova View Info",
                           L"Select Signal", RRF_RT_REG_DWORD, nullptr, &value, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(value, 2U);
#else
    EXPECT_TRUE(profile.Location().startsWith(scratch_.Folder()));
  }
  const QString file = QDir(scratch_.Folder()).filePath(QStringLiteral("Kestrova/Kestrova.conf"));
  EXPECT_TRUE(QFile::exists(file)) << file.toStdString();
#endif
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
#ifdef _WIN32
  // As regedit leaves them: texts where numbers belong, a 64-bit number.
  const wchar_t* section = L"Software\\Kestrova\\Kestrova\\Kestrova View Info";
  const auto putText = [&](const wchar_t* name, const std::wstring& text) {
    ASSERT_EQ(::RegSetKeyValueW(scratch_.Key(), section, name, REG_SZ, text.c_str(),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  };
  putText(L"Time Index", L"abc");
  putText(L"Y Division", L"12junk");
  const ULONGLONG wide = 99999999999ULL;
  ASSERT_EQ(::RegSetKeyValueW(scratch_.Key(), section, L"Auto", REG_QWORD, &wide, sizeof wide),
            ERROR_SUCCESS);
  putText(L"Select Signal", L" 3 ");
  putText(L"Device Serial", L"FT1,FT2");
  const DWORD five = 5;
  ASSERT_EQ(::RegSetKeyValueW(scratch_.Key(), section, L"Real Save Index", REG_DWORD, &five, sizeof five),
            ERROR_SUCCESS);
#else
  QDir(scratch_.Folder()).mkpath(QStringLiteral("Kestrova"));
  QFile file(QDir(scratch_.Folder()).filePath(QStringLiteral("Kestrova/Kestrova.conf")));
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
#endif

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
