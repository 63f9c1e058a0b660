#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "acquisition/ControlIds.h"
#include "acquisition/FakeControlPanel.h"
#include "output/RealSaveControls.h"

namespace kestrova {
namespace {

constexpr std::array<int, 4> kGoverned = {ctl::RealSaveIntervalCaption, ctl::RealSaveInterval,
                                          ctl::RealSavePath, ctl::RealSaveBrowse};

class RealSaveControlsTest : public ::testing::Test {
 protected:
  [[nodiscard]] bool GovernedEnabled(bool expected) const {
    for (const int id : kGoverned)
      if (panel_.IsEnabled(id) != expected) return false;
    return true;
  }

  testing::FakeControlPanel panel_;
  ScopeSettings settings_;
};

TEST_F(RealSaveControlsTest, EnableBoxDrivesTheSettingAndItsFourControls) {
  panel_.SetChecked(ctl::RealSaveEnable, true);
  OnRealSaveEnable(panel_, settings_);
  EXPECT_EQ(settings_.realSaveEnable, 1);
  EXPECT_TRUE(GovernedEnabled(true));

  panel_.SetChecked(ctl::RealSaveEnable, false);
  OnRealSaveEnable(panel_, settings_);
  EXPECT_EQ(settings_.realSaveEnable, 0);
  EXPECT_TRUE(GovernedEnabled(false));
  EXPECT_TRUE(panel_.IsEnabled(ctl::RealSaveEnable));

  panel_.SetChecked(ctl::RealSaveEnable, true);
  OnRealSaveEnable(panel_, settings_);
  SwitchRealSaveOff(panel_, settings_);
  EXPECT_FALSE(panel_.IsChecked(ctl::RealSaveEnable));
  EXPECT_EQ(settings_.realSaveEnable, 0);
  EXPECT_TRUE(GovernedEnabled(false));
}

TEST_F(RealSaveControlsTest, RunLocksTheBoxAndStopRestoresItAsTheBoxSays) {
  for (const bool ticked : {true, false}) {
    SCOPED_TRACE(ticked);
    panel_.SetChecked(ctl::RealSaveEnable, ticked);
    OnRealSaveEnable(panel_, settings_);
    LockRealSaveControls(panel_);
    EXPECT_FALSE(panel_.IsEnabled(ctl::RealSaveEnable));
    EXPECT_TRUE(GovernedEnabled(false));

    UnlockRealSaveControls(panel_, settings_);
    EXPECT_TRUE(panel_.IsEnabled(ctl::RealSaveEnable));
    EXPECT_TRUE(GovernedEnabled(ticked));
    EXPECT_EQ(settings_.realSaveEnable, ticked ? 1 : 0);
  }
}

TEST_F(RealSaveControlsTest, SetUpShowsTheStoredSettings) {
  settings_.realSaveEnable = 1;
  settings_.realSaveIndex = 8;
  settings_.realSavePath = "/home/사용자/기록.txt";
  ShowRealSaveSettings(panel_, settings_);
  EXPECT_TRUE(panel_.IsChecked(ctl::RealSaveEnable));
  EXPECT_EQ(panel_.Selection(ctl::RealSaveInterval), 8);
  EXPECT_EQ(panel_.Text(ctl::RealSavePath), "/home/사용자/기록.txt");

  settings_.realSaveEnable = 0;
  ShowRealSaveSettings(panel_, settings_);
  EXPECT_FALSE(panel_.IsChecked(ctl::RealSaveEnable));
}

// The save dialog's answers as the window passes them on.
class RealSaveBrowseTest : public RealSaveControlsTest {
 protected:
  std::optional<std::string> Choose(const std::optional<std::string>& chosen) {
    return ChooseRealSavePath(
        chosen,
        [this](const std::string& path) {
          checked.push_back(path);
          return path == existing;
        },
        [this](std::string_view question) {
          questions.emplace_back(question);
          return answerYes;
        });
  }

  std::string existing = "/data/run.txt";
  bool answerYes = true;
  std::vector<std::string> checked;
  std::vector<std::string> questions;
};

TEST_F(RealSaveBrowseTest, CancelKeepsThePath) {
  EXPECT_EQ(Choose(std::nullopt), std::nullopt);
  EXPECT_EQ(Choose(std::string()), std::nullopt);
  EXPECT_TRUE(checked.empty());
  EXPECT_TRUE(questions.empty());
}

TEST_F(RealSaveBrowseTest, ExistingFileNeedsAYes) {
  EXPECT_EQ(Choose("/data/new.txt"), "/data/new.txt");
  EXPECT_TRUE(questions.empty());

  EXPECT_EQ(Choose("/data/run.txt"), "/data/run.txt");
  ASSERT_EQ(questions.size(), 1U);
  EXPECT_EQ(questions[0], "/data/run.txt 파일이 이미 있습니다\n파일를 덮어 쓰시겠습니까?");

  answerYes = false;
  EXPECT_EQ(Choose("/data/run.txt"), std::nullopt);
  EXPECT_EQ(questions.size(), 2U);
}

TEST_F(RealSaveBrowseTest, NameWithoutExtensionGetsTxtBeforeTheExistenceCheck) {
  EXPECT_EQ(Choose("/data/run"), "/data/run.txt");
  EXPECT_EQ(checked.back(), "/data/run.txt");
  EXPECT_EQ(questions.size(), 1U);  // "/data/run.txt" exists

  EXPECT_EQ(WithRealSaveExtension("/data/run.csv"), "/data/run.csv");
  EXPECT_EQ(WithRealSaveExtension("/data/run."), "/data/run.txt");
  EXPECT_EQ(WithRealSaveExtension("/data.old/run"), "/data.old/run.txt");
  EXPECT_EQ(WithRealSaveExtension("C:\\data.old\\run"), "C:\\data.old\\run.txt");
  EXPECT_EQ(WithRealSaveExtension("run"), "run.txt");
  EXPECT_EQ(WithRealSaveExtension("/data/"), "/data/");
}

TEST_F(RealSaveBrowseTest, ChosenPathIsStoredAndShownOnlyWhenAccepted) {
  settings_.realSavePath = "/data/old.txt";
  panel_.SetText(ctl::RealSavePath, "/data/old.txt");
  const auto exists = [this](const std::string& path) { return path == existing; };

  EXPECT_FALSE(OnRealSaveBrowse(
      "/data/run.txt", exists, [](std::string_view) { return false; }, settings_, panel_));
  EXPECT_FALSE(OnRealSaveBrowse(
      std::nullopt, exists, [](std::string_view) { return true; }, settings_, panel_));
  EXPECT_EQ(settings_.realSavePath, "/data/old.txt");
  EXPECT_EQ(panel_.Text(ctl::RealSavePath), "/data/old.txt");

  EXPECT_TRUE(OnRealSaveBrowse(
      "/data/run.txt", exists, [](std::string_view) { return true; }, settings_, panel_));
  EXPECT_EQ(settings_.realSavePath, "/data/run.txt");
  EXPECT_EQ(panel_.Text(ctl::RealSavePath), "/data/run.txt");
}

}  // namespace
}  // namespace kestrova
