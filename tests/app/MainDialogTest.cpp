#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <set>

#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "acquisition/ControlIds.h"
#include "app/DialogBuilder.h"
#include "controls/ColorPickerButton.h"
#include "controls/ColorStatic.h"
#include "resources/DialogTemplate.h"
#include "resources/ResourceIds.h"

namespace kestrova {
namespace {

// The main window's controls, built from their template on a bare dialog.
class MainDialog : public ::testing::Test {
 protected:
  MainDialog() : controls_(DialogBuilder::Build(dialog_, res::MainDialogTemplate())) {}

  QWidget& At(int id) {
    QWidget* widget = controls_.Find(id);
    if (widget == nullptr) throw std::runtime_error("no control " + std::to_string(id));
    return *widget;
  }
  template <class W>
  bool Is(int id) {
    return controls_.FindAs<W>(id) != nullptr;
  }
  QString TextOf(int id) {
    QWidget& widget = At(id);
    if (auto* button = qobject_cast<QAbstractButton*>(&widget)) return ButtonText(*button);
    if (auto* label = qobject_cast<QLabel*>(&widget)) return label->text();
    if (auto* group = qobject_cast<QGroupBox*>(&widget)) return group->title();
    return {};
  }

  QDialog dialog_;
  DialogControls controls_;
};

// Every id the program uses.
std::vector<int> ProgramIds() {
  std::vector<int> ids = {ctl::Display,
                          ctl::HistoryScroll,
                          ctl::StatusLine,
                          ctl::TerminalButton,
                          ctl::Start,
                          ctl::Stop,
                          ctl::Apply,
                          ctl::FileSave,
                          ctl::ScreenSave,
                          ctl::Exit,
                          ctl::DeviceSearch,
                          ctl::DeviceList,
                          ctl::UnitCheck,
                          ctl::UnitReply,
                          ctl::ChannelGroup,
                          ctl::ChannelCaption,
                          ctl::ScaleCaption,
                          ctl::OffsetCaption,
                          ctl::UnsignedCaption,
                          ctl::ColorCaption,
                          ctl::DispDataCaption,
                          ctl::OfsDataCaption,
                          ctl::ScaleDataCaption,
                          ctl::TimeList,
                          ctl::YDivList,
                          ctl::YMinEdit,
                          ctl::YMaxEdit,
                          ctl::YMinEditUnbound,
                          ctl::YMaxEditUnbound,
                          ctl::AutoRadio,
                          ctl::NormalRadio,
                          ctl::SingleRadio,
                          ctl::TriggerChannelList,
                          ctl::TriggerLevelEdit,
                          ctl::TriggerSlopeList,
                          ctl::TriggerStatus,
                          ctl::AxisScaleCheck,
                          ctl::AxisScaleEdit,
                          ctl::ShowCursor,
                          ctl::TriggerLineColor,
                          ctl::CursorColor,
                          ctl::ColorReverse,
                          ctl::ExtendedDisplay,
                          ctl::RealSaveEnable,
                          ctl::RealSaveIntervalCaption,
                          ctl::RealSaveInterval,
                          ctl::RealSavePath,
                          ctl::RealSaveBrowse,
                          ctl::RealSaveStatus};
  for (const auto& column : {ctl::ChannelEnable, ctl::ScaleEdit, ctl::OffsetEdit, ctl::UnsignedCheck,
                             ctl::TraceColor, ctl::ValueReadout, ctl::OffsetReadout, ctl::ScaledReadout}) {
    ids.insert(ids.end(), column.begin(), column.end());
  }
  ids.insert(ids.end(), ctl::ModeRadio.begin(), ctl::ModeRadio.end());
  ids.insert(ids.end(), ctl::OptionCheck.begin(), ctl::OptionCheck.end());
  return ids;
}

TEST_F(MainDialog, WindowHasTitleSizeAndFont) {
  EXPECT_EQ(dialog_.windowTitle(), QStringLiteral("Kestrova V1.0 ㅡ Orvanta    www.orvanta.example"));
  EXPECT_EQ(dialog_.size(), QSize(768, 721));
  EXPECT_EQ(dialog_.font().family(), QStringLiteral("굴림"));
  EXPECT_EQ(dialog_.font().pointSize(), 9);
  EXPECT_TRUE(dialog_.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(dialog_.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
}

TEST_F(MainDialog, KoreanTextFindsAFontWithItsGlyphs) {
  const QFontMetrics metrics(dialog_.font());
  for (const QChar c : QStringLiteral("굴림정보데이터ㅡ"))
    EXPECT_TRUE(metrics.inFont(c)) << static_cast<int>(c.unicode());
}

TEST_F(MainDialog, EveryProgramIdIsBuiltOnce) {
  std::set<int> seen;
  for (QWidget* widget : controls_.InOrder()) {
    EXPECT_TRUE(seen.insert(ControlIdOf(widget)).second) << "id twice: " << ControlIdOf(widget);
    EXPECT_EQ(widget->parentWidget(), &dialog_);
  }
  const std::vector<int> programIds = ProgramIds();
  for (const int id : programIds) EXPECT_EQ(seen.count(id), 1U) << "missing id " << id;
  // Ids the program does not address stay out of its range.
  for (const int id : seen) {
    const bool programId = std::find(programIds.begin(), programIds.end(), id) != programIds.end();
    if (!programId) {
      EXPECT_GE(id, res::id::kPrivateFirst) << id;
    }
  }
}

TEST_F(MainDialog, ControlsLieInsideTheWindow) {
  const QRect client(QPoint(0, 0), dialog_.size());
  for (QWidget* widget : controls_.InOrder()) {
    EXPECT_TRUE(client.contains(widget->geometry())) << ControlIdOf(widget);
    EXPECT_FALSE(widget->geometry().isEmpty()) << ControlIdOf(widget);
  }
}

TEST_F(MainDialog, ClassesFollowTheControlsRoles) {
  EXPECT_TRUE(Is<QScrollBar>(ctl::HistoryScroll));
  EXPECT_EQ(controls_.FindAs<QScrollBar>(ctl::HistoryScroll)->orientation(), Qt::Horizontal);
  for (const int id : {ctl::StatusLine, ctl::TriggerStatus, ctl::RealSaveStatus})
    EXPECT_TRUE(Is<CColorStatic>(id));
  for (const auto& column : {ctl::ValueReadout, ctl::OffsetReadout, ctl::ScaledReadout}) {
    for (const int id : column) EXPECT_TRUE(Is<CColorStatic>(id)) << id;
  }
  for (const int id : ctl::GraphColorButton) EXPECT_TRUE(Is<CColorPickerButton>(id)) << id;
  for (const int id : {ctl::TerminalButton, ctl::Start, ctl::Stop, ctl::Apply, ctl::FileSave, ctl::ScreenSave,
                       ctl::Exit, ctl::DeviceSearch, ctl::UnitCheck, ctl::RealSaveBrowse}) {
    EXPECT_TRUE(Is<QPushButton>(id) && !Is<CColorPickerButton>(id)) << id;
  }
  for (const int id : {ctl::DeviceList, ctl::TimeList, ctl::YDivList, ctl::TriggerChannelList,
                       ctl::TriggerSlopeList, ctl::RealSaveInterval}) {
    ASSERT_TRUE(Is<QComboBox>(id)) << id;
    EXPECT_FALSE(controls_.FindAs<QComboBox>(id)->isEditable()) << id;
  }
  for (const int id : {ctl::YMinEdit, ctl::YMaxEdit, ctl::YMinEditUnbound, ctl::YMaxEditUnbound,
                       ctl::TriggerLevelEdit, ctl::AxisScaleEdit}) {
    ASSERT_TRUE(Is<QLineEdit>(id)) << id;
    EXPECT_FALSE(controls_.FindAs<QLineEdit>(id)->isReadOnly()) << id;
  }
  for (const int id : {ctl::UnitReply, ctl::RealSavePath}) {
    ASSERT_TRUE(Is<QLineEdit>(id)) << id;
    EXPECT_TRUE(controls_.FindAs<QLineEdit>(id)->isReadOnly()) << id;
  }
  for (const int id : {ctl::AutoRadio, ctl::NormalRadio, ctl::SingleRadio}) EXPECT_TRUE(Is<QRadioButton>(id));
  for (const int id : ctl::ModeRadio) EXPECT_TRUE(Is<QRadioButton>(id));
  for (const int id :
       {ctl::AxisScaleCheck, ctl::ShowCursor, ctl::ColorReverse, ctl::ExtendedDisplay, ctl::RealSaveEnable}) {
    EXPECT_TRUE(Is<QCheckBox>(id)) << id;
  }
  EXPECT_TRUE(Is<QGroupBox>(ctl::ChannelGroup));
  EXPECT_TRUE(Is<QLabel>(ctl::RealSaveIntervalCaption));
  EXPECT_FALSE(Is<QLabel>(ctl::Display)) << "the display area is a plain widget";
}

TEST_F(MainDialog, LabelsAreTheWindowsTexts) {
  EXPECT_EQ(TextOf(ctl::TerminalButton), "D");
  EXPECT_EQ(TextOf(ctl::Start), "Start (F2)");
  EXPECT_EQ(TextOf(ctl::Stop), "Stop (F3)");
  EXPECT_EQ(TextOf(ctl::Apply), "Apply (F4)");
  EXPECT_EQ(TextOf(ctl::FileSave), "File Save (F5)");
  EXPECT_EQ(TextOf(ctl::ScreenSave), "Screen Save (F6)");
  EXPECT_EQ(TextOf(ctl::Exit), "EXIT");
  EXPECT_EQ(TextOf(ctl::DeviceSearch), "USB Device Search");
  EXPECT_EQ(TextOf(ctl::UnitCheck), "Unit Check");
  EXPECT_EQ(TextOf(ctl::ChannelGroup), "Data Display Configuration");
  EXPECT_EQ(TextOf(ctl::ChannelCaption), "Channel");
  EXPECT_EQ(TextOf(ctl::DispDataCaption), "Disp_data");
  EXPECT_EQ(TextOf(ctl::ScaleDataCaption), "Scale_Data");
  EXPECT_EQ(TextOf(ctl::ChannelEnable[2]), "Ch 3");
  EXPECT_EQ(TextOf(ctl::ModeRadio[3]), "UART");
  EXPECT_EQ(TextOf(ctl::OptionCheck[1]), "B2");
  EXPECT_EQ(TextOf(ctl::AutoRadio), "");
  EXPECT_EQ(TextOf(ctl::ShowCursor), "Show Cursor");
  EXPECT_EQ(TextOf(ctl::ColorReverse), "Graph Color Reverse");
  EXPECT_EQ(TextOf(ctl::ExtendedDisplay), "Extended Display");
  EXPECT_EQ(TextOf(ctl::RealSaveEnable), "Enable");
  EXPECT_EQ(TextOf(ctl::RealSaveIntervalCaption), "Time interval");
  EXPECT_EQ(TextOf(ctl::RealSaveBrowse), "...");
  EXPECT_EQ(TextOf(res::id::OperationModeGroup), "Operation mode");
  EXPECT_EQ(TextOf(res::id::XyGroup), "X-Y configuration");
  EXPECT_EQ(TextOf(res::id::TriggerGroup), "Trigger mode");
  EXPECT_EQ(TextOf(res::id::AxisScaleGroup), "Y-axis scale");
  EXPECT_EQ(TextOf(res::id::RealSaveGroup), "Real time data save");
  EXPECT_EQ(TextOf(res::id::CursorGroup), "");
  EXPECT_EQ(TextOf(res::id::DeviceGroup), "");
  EXPECT_EQ(TextOf(res::id::TimeCaption), "Time");
  EXPECT_EQ(TextOf(res::id::YDivCaption), "Y Div");
  EXPECT_EQ(TextOf(res::id::AutoCaption), "Auto");
  EXPECT_EQ(TextOf(res::id::TriggerChannelCaption), "Channel");
  EXPECT_EQ(TextOf(res::id::SlopeCaption), "Mode");
  EXPECT_EQ(TextOf(res::id::TriggerColorCaption), "Trigger");
  EXPECT_EQ(TextOf(res::id::CursorColorCaption), "Cursor");
}

// Each channel row's controls sit in their own column: ids swapped between
// two columns or two rows (a typed scale read as the offset) show up here.
TEST_F(MainDialog, ChannelRowsHoldEachColumnAtItsPlace) {
  struct Column {
    const std::array<int, 4>& ids;
    int x;  // dialog units
    int width;
  };
  const Column columns[] = {{ctl::ChannelEnable, 12, 32},
                            {ctl::ScaleEdit, 44, 25},
                            {ctl::OffsetEdit, 74, 25},
                            {ctl::UnsignedCheck, 112, 10},
                            {ctl::TraceColor, 136, 31}};
  constexpr std::array<int, 4> kRowY = {411, 424, 437, 450};
  for (const Column& column : columns) {
    for (std::size_t c = 0; c < kRowY.size(); ++c) {
      EXPECT_EQ(At(column.ids[c]).geometry(),
                QRect(column.x * 7 / 4, kRowY[c] * 12 / 8, column.width * 7 / 4, 18))
          << "control " << column.ids[c] << ", channel " << c + 1;
    }
  }
}

TEST_F(MainDialog, PlacesControlsAtTheirPixelRectangles) {
  // x px = du * 7 / 4, y px = du * 12 / 8.
  EXPECT_EQ(At(ctl::Display).geometry(), QRect(12, 10, 581, 465));
  EXPECT_EQ(At(ctl::HistoryScroll).geometry(), QRect(12, 472, 581, 18));
  EXPECT_EQ(At(ctl::StatusLine).geometry(), QRect(12, 496, 577, 16));
  EXPECT_EQ(At(ctl::Start).geometry(), QRect(36, 516, 85, 30));
  EXPECT_EQ(At(ctl::Exit).geometry(), QRect(519, 516, 70, 30));
  EXPECT_EQ(At(ctl::UnitReply).geometry(), QRect(407, 553, 176, 18));
  EXPECT_EQ(At(ctl::ChannelGroup).geometry(), QRect(12, 582, 558, 118));
  EXPECT_EQ(At(ctl::ScaleEdit[3]).geometry(), QRect(77, 675, 43, 18));
  EXPECT_EQ(At(ctl::ValueReadout[2]).geometry(), QRect(304, 655, 68, 18));
  EXPECT_EQ(At(ctl::ValueReadout[1]).geometry(), QRect(306, 636, 68, 18));
  EXPECT_EQ(At(ctl::ModeRadio[0]).geometry(), QRect(616, 31, 54, 12));
  EXPECT_EQ(At(ctl::AutoRadio).geometry(), QRect(617, 289, 24, 16));
  EXPECT_EQ(At(ctl::TriggerStatus).geometry(), QRect(610, 394, 133, 13));
  EXPECT_EQ(At(ctl::TriggerLineColor).geometry(), QRect(663, 493, 80, 13));
  EXPECT_EQ(At(ctl::RealSaveStatus).geometry(), QRect(577, 670, 168, 16));
  EXPECT_EQ(At(ctl::YMinEditUnbound).geometry(), QRect(658, 205, 85, 18));
  EXPECT_EQ(At(res::id::TimeCaption).geometry(), QRect(612, 159, 42, 12));
}

TEST_F(MainDialog, DropDownListsCloseToOneLineAndDropTheRest) {
  for (const int id : {ctl::DeviceList, ctl::TimeList, ctl::YDivList, ctl::TriggerChannelList,
                       ctl::TriggerSlopeList, ctl::RealSaveInterval}) {
    const auto* combo = controls_.FindAs<QComboBox>(id);
    const res::ControlTemplate* row = res::FindControl(res::MainDialogTemplate(), id);
    ASSERT_NE(row, nullptr);
    const QRect full = DialogBuilder::ToPixels(row->rect);
    EXPECT_EQ(combo->geometry().topLeft(), full.topLeft()) << id;
    EXPECT_EQ(combo->width(), full.width()) << id;
    EXPECT_LT(combo->height(), full.height()) << id;
    EXPECT_GE(combo->maxVisibleItems(), 1) << id;
    EXPECT_EQ(combo->count(), 0) << id;
  }
}

TEST_F(MainDialog, StaticAlignmentFollowsTheTemplate) {
  EXPECT_TRUE(controls_.FindAs<QLabel>(ctl::StatusLine)->alignment().testFlag(Qt::AlignHCenter));
  EXPECT_TRUE(controls_.FindAs<QLabel>(ctl::TriggerStatus)->alignment().testFlag(Qt::AlignHCenter));
  EXPECT_TRUE(controls_.FindAs<QLabel>(ctl::RealSaveStatus)->alignment().testFlag(Qt::AlignRight));
  EXPECT_TRUE(controls_.FindAs<QLabel>(ctl::ValueReadout[0])->alignment().testFlag(Qt::AlignLeft));
}

TEST_F(MainDialog, RadioButtonsFormTwoExclusiveGroups) {
  QButtonGroup* modes = controls_.RadioGroup(ctl::ModeRadio[0]);
  QButtonGroup* trigger = controls_.RadioGroup(ctl::AutoRadio);
  ASSERT_NE(modes, nullptr);
  ASSERT_NE(trigger, nullptr);
  EXPECT_NE(modes, trigger);
  EXPECT_EQ(modes->buttons().size(), 4);
  EXPECT_EQ(trigger->buttons().size(), 3);
  EXPECT_EQ(controls_.RadioGroup(ctl::SingleRadio), trigger);
  EXPECT_EQ(controls_.RadioGroup(ctl::ModeRadio[3]), modes);

  // Ticking in one group leaves the other group's tick alone.
  controls_.FindAs<QRadioButton>(ctl::ModeRadio[1])->click();
  controls_.FindAs<QRadioButton>(ctl::NormalRadio)->click();
  controls_.FindAs<QRadioButton>(ctl::SingleRadio)->click();
  EXPECT_TRUE(controls_.FindAs<QRadioButton>(ctl::ModeRadio[1])->isChecked());
  EXPECT_FALSE(controls_.FindAs<QRadioButton>(ctl::NormalRadio)->isChecked());
  EXPECT_TRUE(controls_.FindAs<QRadioButton>(ctl::SingleRadio)->isChecked());
  controls_.FindAs<QRadioButton>(ctl::ModeRadio[3])->click();
  EXPECT_FALSE(controls_.FindAs<QRadioButton>(ctl::ModeRadio[1])->isChecked());
  EXPECT_TRUE(controls_.FindAs<QRadioButton>(ctl::SingleRadio)->isChecked());
}

TEST_F(MainDialog, TabOrderIsTheTemplateOrder) {
  std::vector<int> expected;
  for (const res::ControlTemplate& row : res::MainDialogTemplate().controls) {
    if ((row.style & res::style::kTabStop) != 0) expected.push_back(row.id);
  }
  ASSERT_GT(expected.size(), 40U);
  EXPECT_EQ(expected.front(), ctl::TerminalButton);
  EXPECT_EQ(expected.back(), ctl::RealSaveBrowse);

  std::vector<int> chain;
  QWidget* widget = controls_.Find(expected.front());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    chain.push_back(ControlIdOf(widget));
    do {
      widget = widget->nextInFocusChain();
    } while ((widget->focusPolicy() & Qt::TabFocus) == 0 || ControlIdOf(widget) < 0);
  }
  EXPECT_EQ(chain, expected);
  EXPECT_EQ(ControlIdOf(widget), expected.front()) << "the chain closes on itself";

  // Texts, frames and the display never take the focus.
  for (const int id : {ctl::Display, ctl::StatusLine, ctl::ChannelGroup, ctl::RealSaveIntervalCaption}) {
    EXPECT_EQ(At(id).focusPolicy(), Qt::NoFocus) << id;
  }
}

TEST_F(MainDialog, RunBarButtonsWrapTheirTextOnlyWhenItDoesNotFit) {
  for (const int id :
       {ctl::TerminalButton, ctl::Start, ctl::Stop, ctl::Apply, ctl::FileSave, ctl::ScreenSave, ctl::Exit}) {
    auto* button = controls_.FindAs<QPushButton>(id);
    const QFontMetrics metrics(button->font());
    for (const QString& line : button->text().split(u'\n')) {
      if (line.contains(u' ')) {
        EXPECT_LE(metrics.horizontalAdvance(line), button->width() - 8) << id;
      }
    }
  }
}

TEST_F(MainDialog, EarlierOfTwoOverlappingControlsIsOnTop) {
  // The unbound Y edits and their captions lie under the bound ones.
  const QPoint inBoth = At(ctl::YMinEdit).geometry().center();
  EXPECT_EQ(ControlIdOf(dialog_.childAt(inBoth)), ctl::YMinEdit);
  const QPoint inCaptions = At(res::id::YMaxCaption).geometry().center();
  EXPECT_EQ(ControlIdOf(dialog_.childAt(inCaptions)), res::id::YMaxCaption);
  // Group boxes never hide what is drawn inside them.
  const QPoint inGroup = At(ctl::RealSaveEnable).geometry().center();
  EXPECT_EQ(ControlIdOf(dialog_.childAt(inGroup)), ctl::RealSaveEnable);
}

TEST_F(MainDialog, PictureOfTheBareWindow) {
  dialog_.show();
  const QImage picture = dialog_.grab().toImage();
  ASSERT_EQ(picture.size(), QSize(768, 721));
  const QString path = QStringLiteral(KESTROVA_TEST_OUTPUT_DIR "/main_dialog.png");
  EXPECT_TRUE(picture.save(path)) << path.toStdString();
  // The display area is black.
  EXPECT_EQ(picture.pixel(300, 200), qRgb(0, 0, 0));
}

}  // namespace
}  // namespace kestrova
