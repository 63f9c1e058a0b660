#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "acquisition/ControlIds.h"
#include "acquisition/LabelTables.h"
#include "acquisition/TimeBaseTable.h"
#include "app/WidgetColorTextField.h"
#include "app/WidgetControlPanel.h"
#include "app/WidgetScrollBar.h"
#include "controls/ColorPickerButton.h"
#include "controls/ColorStatic.h"
#include "resources/DialogTemplate.h"
#include "resources/ResourceIds.h"

namespace kestrova {
namespace {

class Panel : public ::testing::Test {
 protected:
  Panel() : controls_(DialogBuilder::Build(dialog_, res::MainDialogTemplate())), panel_(controls_) {}

  QDialog dialog_;
  DialogControls controls_;
  WidgetControlPanel panel_;
};

TEST_F(Panel, EditTextsRoundTripInUtf8) {
  panel_.SetText(ctl::YMinEdit, "-12.5");
  panel_.SetText(ctl::RealSavePath, "/home/사용자/실시간 기록.txt");
  EXPECT_EQ(panel_.Text(ctl::YMinEdit), "-12.5");
  EXPECT_EQ(panel_.Text(ctl::RealSavePath), "/home/사용자/실시간 기록.txt");
  EXPECT_EQ(controls_.FindAs<QLineEdit>(ctl::RealSavePath)->text(),
            QStringLiteral("/home/사용자/실시간 기록.txt"));
  // Typed text reads back as typed, blanks included.
  controls_.FindAs<QLineEdit>(ctl::TriggerLevelEdit)->setText(QStringLiteral(" 0x1F "));
  EXPECT_EQ(panel_.Text(ctl::TriggerLevelEdit), " 0x1F ");
}

TEST_F(Panel, SettingAnEditTextIsAChange) {
  // The level edit's change handler must see texts that the program puts in.
  QSignalSpy changes(controls_.FindAs<QLineEdit>(ctl::TriggerLevelEdit), &QLineEdit::textChanged);
  panel_.SetText(ctl::TriggerLevelEdit, "10");
  EXPECT_EQ(changes.count(), 1);
}

TEST_F(Panel, CaptionsOfStaticsAndButtons) {
  panel_.SetText(ctl::OptionCheck[0], OptionLabel(1, 0));
  EXPECT_EQ(panel_.Text(ctl::OptionCheck[0]), "GAP: 50(chk)/25us");
  panel_.SetText(ctl::StatusLine, "USB 포트를 여는데 실패하였습니다");
  EXPECT_EQ(panel_.Text(ctl::StatusLine), "USB 포트를 여는데 실패하였습니다");
  panel_.SetText(ctl::RealSaveStatus, "0 - 00:01:05:250");
  EXPECT_EQ(controls_.FindAs<CColorStatic>(ctl::RealSaveStatus)->text(), QStringLiteral("0 - 00:01:05:250"));
  // A multi-line button reads back its caption as one line.
  EXPECT_EQ(panel_.Text(ctl::ScreenSave), "Screen Save (F6)");
  panel_.SetText(ctl::ScreenSave, "A much longer caption than fits");
  EXPECT_TRUE(controls_.FindAs<QPushButton>(ctl::ScreenSave)->text().contains(u'\n'));
  EXPECT_EQ(panel_.Text(ctl::ScreenSave), "A much longer caption than fits");
}

TEST_F(Panel, UnknownIdsAndWrongKindsDoNothing) {
  panel_.SetText(4242, "x");
  panel_.SetChecked(4242, true);
  panel_.SetSelection(4242, 1);
  panel_.SetEnabled(4242, false);
  EXPECT_EQ(panel_.Text(4242), "");
  EXPECT_FALSE(panel_.IsChecked(4242));
  EXPECT_EQ(panel_.Selection(4242), -1);
  EXPECT_EQ(panel_.ButtonColor(4242), 0U);
  // A push button is not a check box; an edit is not a list.
  panel_.SetChecked(ctl::Start, true);
  EXPECT_FALSE(panel_.IsChecked(ctl::Start));
  EXPECT_EQ(panel_.Selection(ctl::YMinEdit), -1);
  EXPECT_EQ(panel_.ButtonColor(ctl::Start), 0U);
}

TEST_F(Panel, CheckBoxesAndRadioGroups) {
  panel_.SetChecked(ctl::ChannelEnable[1], true);
  EXPECT_TRUE(panel_.IsChecked(ctl::ChannelEnable[1]));
  EXPECT_FALSE(panel_.IsChecked(ctl::ChannelEnable[0]));
  panel_.SetChecked(ctl::ChannelEnable[1], false);
  EXPECT_FALSE(panel_.IsChecked(ctl::ChannelEnable[1]));

  // Ticking one radio clears the others of its group only.
  panel_.SetChecked(ctl::AutoRadio, true);
  panel_.SetChecked(ctl::ModeRadio[2], true);
  panel_.SetChecked(ctl::SingleRadio, true);
  EXPECT_FALSE(panel_.IsChecked(ctl::AutoRadio));
  EXPECT_TRUE(panel_.IsChecked(ctl::SingleRadio));
  EXPECT_TRUE(panel_.IsChecked(ctl::ModeRadio[2]));

  // The window may clear a group's ticked radio; the group stays exclusive.
  panel_.SetChecked(ctl::SingleRadio, false);
  EXPECT_FALSE(panel_.IsChecked(ctl::AutoRadio));
  EXPECT_FALSE(panel_.IsChecked(ctl::NormalRadio));
  EXPECT_FALSE(panel_.IsChecked(ctl::SingleRadio));
  panel_.SetChecked(ctl::NormalRadio, true);
  panel_.SetChecked(ctl::AutoRadio, true);
  EXPECT_FALSE(panel_.IsChecked(ctl::NormalRadio));
  EXPECT_TRUE(panel_.IsChecked(ctl::AutoRadio));
}

TEST_F(Panel, SettingATickIsNoClick) {
  QSignalSpy clicks(controls_.FindAs<QRadioButton>(ctl::NormalRadio), &QAbstractButton::clicked);
  panel_.SetChecked(ctl::NormalRadio, true);
  EXPECT_EQ(clicks.count(), 0);
}

TEST_F(Panel, ListsAreFilledInTableOrder) {
  std::vector<std::string_view> timeLabels;
  timeLabels.reserve(TimeBaseTable.size());
  for (const TimeBase& row : TimeBaseTable) timeLabels.push_back(row.label);
  panel_.SetListItems(ctl::TimeList, timeLabels);
  panel_.SetListItems(ctl::TriggerChannelList, TriggerChannelLabels);
  panel_.SetListItems(ctl::YDivList, YDivisionLabels);
  panel_.SetListItems(ctl::TriggerSlopeList, TriggerSlopeLabels);
  for (const RealSaveInterval& row : RealSaveIntervalTable)
    panel_.AddListItem(ctl::RealSaveInterval, row.label);

  EXPECT_EQ(panel_.ListCount(ctl::TimeList), 13);
  EXPECT_EQ(panel_.ListItem(ctl::TimeList, 4), "2 ms");
  EXPECT_EQ(panel_.ListCount(ctl::TriggerChannelList), 4);
  EXPECT_EQ(panel_.ListItem(ctl::TriggerChannelList, 3), "Ch 4");
  EXPECT_EQ(panel_.ListItem(ctl::YDivList, 1), "8");
  EXPECT_EQ(panel_.ListItem(ctl::TriggerSlopeList, 0), "Falling");
  EXPECT_EQ(panel_.ListCount(ctl::RealSaveInterval), 14);
  EXPECT_EQ(panel_.ListItem(ctl::RealSaveInterval, 13), "1 hour");
  EXPECT_EQ(panel_.ListItem(ctl::RealSaveInterval, 14), "");
  // Filling selects nothing.
  for (const int id : {ctl::TimeList, ctl::TriggerChannelList, ctl::YDivList, ctl::TriggerSlopeList,
                       ctl::RealSaveInterval}) {
    EXPECT_EQ(panel_.Selection(id), -1) << id;
  }

  panel_.SetSelection(ctl::TimeList, 12);
  EXPECT_EQ(panel_.Selection(ctl::TimeList), 12);
  EXPECT_EQ(panel_.Text(ctl::TimeList), "1 s");
  // An index outside the list clears the selection.
  panel_.SetSelection(ctl::TimeList, 13);
  EXPECT_EQ(panel_.Selection(ctl::TimeList), -1);
  panel_.SetSelection(ctl::YDivList, 2);
  panel_.SetSelection(ctl::YDivList, -5);
  EXPECT_EQ(panel_.Selection(ctl::YDivList), -1);

  // Refilling replaces the entries.
  panel_.SetListItems(ctl::TriggerSlopeList, YDivisionLabels);
  EXPECT_EQ(panel_.ListCount(ctl::TriggerSlopeList), 3);
  panel_.ClearList(ctl::TriggerSlopeList);
  EXPECT_EQ(panel_.ListCount(ctl::TriggerSlopeList), 0);
}

TEST_F(Panel, SelectingAnEntryIsNoUserChoice) {
  panel_.SetListItems(ctl::TriggerSlopeList, TriggerSlopeLabels);
  QSignalSpy choices(controls_.FindAs<QComboBox>(ctl::TriggerSlopeList), &QComboBox::activated);
  panel_.SetSelection(ctl::TriggerSlopeList, 1);
  EXPECT_EQ(choices.count(), 0);
}

TEST_F(Panel, EnabledAndVisibleStates) {
  panel_.SetEnabled(ctl::Stop, false);
  EXPECT_FALSE(panel_.IsEnabled(ctl::Stop));
  EXPECT_FALSE(controls_.Find(ctl::Stop)->isEnabled());
  panel_.SetEnabled(ctl::Stop, true);
  EXPECT_TRUE(panel_.IsEnabled(ctl::Stop));

  EXPECT_TRUE(panel_.IsVisible(ctl::ChannelGroup));
  panel_.SetVisible(ctl::ChannelGroup, false);
  EXPECT_FALSE(panel_.IsVisible(ctl::ChannelGroup));
  EXPECT_FALSE(panel_.IsVisible(4242));
}

TEST_F(Panel, ColourButtonsReportTheirColour) {
  for (std::size_t k = 0; k < ctl::GraphColorButton.size(); ++k) {
    CColorPickerButton* button = panel_.ColorButton(ctl::GraphColorButton[k]);
    ASSERT_NE(button, nullptr);
    button->SetDefaultColor(0x00010203U * static_cast<std::uint32_t>(k + 1));
    button->SetColor(CColorPickerButton::kDefaultColor);
  }
  EXPECT_EQ(panel_.ButtonColor(ctl::TraceColor[0]), 0x00010203U);
  EXPECT_EQ(panel_.ButtonColor(ctl::CursorColor), 0x00010203U * 6);
  EXPECT_EQ(panel_.ColorButton(ctl::StatusLine), nullptr);
  EXPECT_NE(panel_.ColorStatic(ctl::StatusLine), nullptr);
}

TEST_F(Panel, ColourTextFieldRepaintsWithItsColours) {
  CColorStatic* status = panel_.ColorStatic(ctl::TriggerStatus);
  ASSERT_NE(status, nullptr);
  WidgetColorTextField field(*status);
  field.SetTextColor(0x000000FFU);
  field.SetBackgroundColor(0x00000000U);
  field.SetText("3 Trigger");
  EXPECT_EQ(status->TextColor(), 0x000000FFU);
  EXPECT_EQ(status->BackgroundColor(), 0x00000000U);
  EXPECT_EQ(panel_.Text(ctl::TriggerStatus), "3 Trigger");
  const QImage picture = status->grab().toImage();
  EXPECT_EQ(picture.pixel(1, picture.height() - 1), qRgb(0, 0, 0));
}

TEST_F(Panel, ScrollBarKeepsThePositionInItsRange) {
  auto* bar = controls_.FindAs<QScrollBar>(ctl::HistoryScroll);
  ASSERT_NE(bar, nullptr);
  WidgetScrollBar scroll(*bar);
  EXPECT_EQ(scroll.Position(), 0);
  scroll.SetRange(0, TimeBaseAt(9).scrollMax);
  scroll.SetPosition(120);
  EXPECT_EQ(scroll.Position(), 89);
  scroll.SetPosition(-3);
  EXPECT_EQ(scroll.Position(), 0);
  scroll.SetPosition(42);
  scroll.SetRange(0, 0);
  EXPECT_EQ(scroll.Position(), 0);
}

TEST(LabelTables, IntervalAndOptionLookupsStayInRange) {
  EXPECT_EQ(RealSaveIntervalAt(0).framesPerLine, 1);
  EXPECT_EQ(RealSaveIntervalAt(3).framesPerLine, 10);
  EXPECT_EQ(RealSaveIntervalAt(13).framesPerLine, 36000);
  EXPECT_EQ(RealSaveIntervalAt(99).label, "1 hour");
  EXPECT_EQ(RealSaveIntervalAt(-1).label, "100 ms");
  EXPECT_EQ(OptionLabel(0, 0), "+/-3V, +/-18V(chk)");
  EXPECT_EQ(OptionLabel(2, 2), "CAN  Send Test");
  EXPECT_EQ(OptionLabel(3, 1), OptionLabel(2, 1));
  EXPECT_EQ(OptionLabel(3, 2), "UART Send Test");
  EXPECT_EQ(OptionLabel(7, 9), "UART Send Test");
}

}  // namespace
}  // namespace kestrova
