#include <QAbstractButton>
#include <QKeyEvent>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../controls/PopupDriver.h"
#include "ScratchUserSettings.h"
#include "acquisition/ControlIds.h"
#include "acquisition/MemoryProfile.h"
#include "acquisition/SettingsPersistence.h"
#include "app/QtProfile.h"
#include "app/ScopeDlg.h"
#include "controls/ColorPickerButton.h"
#include "controls/ColorStatic.h"
#include "resources/ResourceIds.h"
#include "simulator/DriverCall.h"
#include "simulator/SimulatedDriver.h"
#include "support/AnsweringPrompts.h"
#include "support/WaitFor.h"

namespace kestrova {
namespace {

// The window on the simulated unit with its real, paced clock.
class ScopeDlgTest : public ::testing::Test {
 protected:
  ScopeDlgTest() : bench_(std::make_shared<SimulatedBench>()) {}

  CScopeDlg& Open() {
    dialog_ = std::make_unique<CScopeDlg>(MakeSimulatedDriverLoader(bench_), profile_, prompts_);
    dialog_->show();
    return *dialog_;
  }

  [[nodiscard]] UnitStatus Unit() const { return *bench_->StatusOf("SIM00001")->unit; }
  int Configurations() const { return Unit().configurationsAccepted; }
  // The receive thread writes a queued command on its own time: waits until
  // the unit has taken at least `count`, and returns how many it has taken.
  int WaitForConfigurations(int count) const {
    test::WaitFor([&] { return Configurations() >= count; }, "the unit to take a configuration");
    return Configurations();
  }

  void Press(int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(dialog_->Panel().Controls().Find(ctl::TimeList), &press);
  }

  bool Enabled(int id) { return dialog_->Panel().IsEnabled(id); }

  std::shared_ptr<SimulatedBench> bench_;
  MemoryProfile profile_;
  test::AnsweringPrompts prompts_;
  std::unique_ptr<CScopeDlg> dialog_;
};

TEST_F(ScopeDlgTest, AFirstStartShowsTheDefaults) {
  CScopeDlg& dlg = Open();
  WidgetControlPanel& panel = dlg.Panel();
  EXPECT_TRUE(panel.IsChecked(ctl::ModeRadio[0]));
  EXPECT_TRUE(panel.IsChecked(ctl::AutoRadio));
  EXPECT_EQ(panel.Text(ctl::TimeList), "2 ms");
  EXPECT_EQ(panel.Text(ctl::YDivList), "8");
  EXPECT_EQ(panel.Text(ctl::TriggerSlopeList), "Rising");
  EXPECT_EQ(panel.Text(ctl::TriggerChannelList), "Ch 1");
  EXPECT_EQ(panel.Text(ctl::YMinEdit), "0");
  EXPECT_EQ(panel.Text(ctl::YMaxEdit), "100");
  EXPECT_EQ(panel.Text(ctl::TriggerLevelEdit), "10");
  for (std::size_t c = 0; c < kChannelCount; ++c) {
    EXPECT_TRUE(panel.IsChecked(ctl::ChannelEnable[c]));
    EXPECT_TRUE(panel.IsChecked(ctl::UnsignedCheck[c]));
    EXPECT_EQ(panel.Text(ctl::ScaleEdit[c]), "1");
    EXPECT_EQ(panel.Text(ctl::OffsetEdit[c]), "0");
  }
  EXPECT_FALSE(panel.IsChecked(ctl::ShowCursor));
  EXPECT_EQ(panel.Text(ctl::OptionCheck[0]), "+/-3V, +/-18V(chk)");
  EXPECT_EQ(panel.Text(ctl::DeviceList), "SIM00001");
  EXPECT_TRUE(Enabled(ctl::Start));
  EXPECT_FALSE(Enabled(ctl::Stop));
  EXPECT_FALSE(Enabled(ctl::Apply));
  EXPECT_FALSE(dlg.Session().IsOpen());
}

TEST_F(ScopeDlgTest, StartStreamsLiveTracesAndStopRestoresTheButtons) {
  CScopeDlg& dlg = Open();
  dlg.OnStart();
  ASSERT_TRUE(dlg.Running());
  // The receive thread writes the run command; on a busy machine it may not
  // have done so yet.
  EXPECT_TRUE(QTest::qWaitFor([&] { return Unit().streaming; }, 20000));
  for (const int id : {ctl::Start, ctl::FileSave, ctl::ScreenSave, ctl::HistoryScroll, ctl::TerminalButton,
                       ctl::UnitCheck, ctl::RealSaveEnable, ctl::RealSaveInterval}) {
    EXPECT_FALSE(Enabled(id)) << id;
  }
  EXPECT_TRUE(Enabled(ctl::Stop));
  EXPECT_TRUE(Enabled(ctl::Apply));

  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Buffer().frameCount >= 3; }, 20000));
  // The traces reach the screen: the default waveforms lie inside the 0..100
  // axis. Frames that arrive in a burst are painted once the window's loop
  // gets to it.
  const auto traced = [&] {
    const QImage picture = dlg.DisplayImage();
    int count = 0;
    for (int x = 60; x < 560; ++x) {
      for (int y = 20; y < 420; ++y) count += picture.pixel(x, y) == qRgb(0, 255, 0) ? 1 : 0;
    }
    return count;
  };
  EXPECT_TRUE(QTest::qWaitFor([&] { return traced() > 400; }, 20000)) << traced();
  dlg.grab().save(QStringLiteral(KESTROVA_TEST_OUTPUT_DIR "/main_window_running.png"));

  dlg.OnStop();
  EXPECT_FALSE(dlg.Running());
  EXPECT_FALSE(dlg.Session().IsOpen());
  EXPECT_FALSE(Unit().streaming);
  for (const int id : {ctl::Start, ctl::FileSave, ctl::ScreenSave, ctl::HistoryScroll, ctl::TerminalButton,
                       ctl::UnitCheck, ctl::RealSaveEnable}) {
    EXPECT_TRUE(Enabled(id)) << id;
  }
  EXPECT_FALSE(Enabled(ctl::Stop));
  EXPECT_FALSE(Enabled(ctl::Apply));
  EXPECT_FALSE(Enabled(ctl::RealSaveInterval));  // logging is off
}

TEST_F(ScopeDlgTest, FunctionKeysActOnlyInTheirState) {
  CScopeDlg& dlg = Open();
  Press(Qt::Key_F3);  // stopped: nothing to stop
  EXPECT_FALSE(dlg.Running());
  Press(Qt::Key_Return);  // stopped: refreshes only, sends nothing
  EXPECT_EQ(Configurations(), 0);
  EXPECT_TRUE(dlg.isVisible());
  Press(Qt::Key_Escape);
  EXPECT_TRUE(dlg.isVisible());

  Press(Qt::Key_F2);
  ASSERT_TRUE(dlg.Running());
  const int afterStart = WaitForConfigurations(1);
  Press(Qt::Key_F2);  // running: no second start
  EXPECT_EQ(Configurations(), afterStart);
  Press(Qt::Key_F4);  // running: applies
  EXPECT_EQ(WaitForConfigurations(afterStart + 1), afterStart + 1);
  Press(Qt::Key_F3);
  EXPECT_FALSE(dlg.Running());
}

// Real key presses on different controls: whichever has the focus, and
// however far Qt carries an unused key up the parents, one press runs the
// window's key rules once.
TEST_F(ScopeDlgTest, EachFunctionKeyPressActsOnce) {
  CScopeDlg& dlg = Open();
  dlg.Panel().SetText(ctl::YMaxEdit, "1,5");
  for (const int id : {ctl::YMinEdit, ctl::TimeList, ctl::UnitCheck}) {
    QWidget* control = dlg.Panel().Controls().Find(id);
    control->setFocus();
    prompts_.messages.clear();
    QTest::keyClick(control, Qt::Key_F2);
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"데이터 입력이 잘못되었습니다"}) << id;
  }
  EXPECT_FALSE(dlg.Running());
}

TEST_F(ScopeDlgTest, WithNoUnitEachF2TriesToOpenOnce) {
  SimulatedBenchOptions noUnit;
  noUnit.unitSerialNumbers.clear();
  bench_ = std::make_shared<SimulatedBench>(noUnit);
  CScopeDlg& dlg = Open();
  int opens = bench_->CallCount(DriverCall::OpenEx) + bench_->CallCount(DriverCall::ListDevices);
  dlg.OnStart();
  const int perStart =
      bench_->CallCount(DriverCall::OpenEx) + bench_->CallCount(DriverCall::ListDevices) - opens;
  ASSERT_GT(perStart, 0);
  for (const int id : {ctl::YMinEdit, ctl::TimeList, ctl::UnitCheck}) {
    opens = bench_->CallCount(DriverCall::OpenEx) + bench_->CallCount(DriverCall::ListDevices);
    QTest::keyClick(dlg.Panel().Controls().Find(id), Qt::Key_F2);
    EXPECT_EQ(bench_->CallCount(DriverCall::OpenEx) + bench_->CallCount(DriverCall::ListDevices) - opens,
              perStart)
        << id;
  }
  EXPECT_FALSE(dlg.Running());
}

// Enter (either one) and F4 re-read the edits; with Shift, Ctrl, Alt or Meta
// held the press is another chord and passes through untouched.
TEST_F(ScopeDlgTest, KeyRulesApplyToPlainPressesOnly) {
  CScopeDlg& dlg = Open();
  struct Case {
    int key;
    Qt::KeyboardModifiers modifiers;
    bool refreshes;
  };
  const Case cases[] = {
      {Qt::Key_F4, Qt::NoModifier, true},
      {Qt::Key_Return, Qt::NoModifier, true},
      {Qt::Key_Enter, Qt::KeypadModifier, true},
      {Qt::Key_F4, Qt::AltModifier, false},
      {Qt::Key_Return, Qt::ControlModifier, false},
      {Qt::Key_F4, Qt::ShiftModifier, false},
      {Qt::Key_Enter, Qt::MetaModifier | Qt::KeypadModifier, false},
  };
  QWidget* edit = dlg.Panel().Controls().Find(ctl::YMinEdit);
  double typed = 50;
  for (const Case& c : cases) {
    typed += 1;
    const double before = dlg.Settings().yMax[0];
    dlg.Panel().SetText(ctl::YMaxEdit, std::to_string(static_cast<int>(typed)));
    QTest::keyClick(edit, static_cast<Qt::Key>(c.key), c.modifiers);
    EXPECT_EQ(dlg.Settings().yMax[0], c.refreshes ? typed : before) << c.key << " " << c.modifiers.toInt();
    EXPECT_TRUE(dlg.isVisible());
  }
  QTest::keyClick(edit, Qt::Key_F2, Qt::AltModifier);
  EXPECT_FALSE(dlg.Running());
  EXPECT_EQ(Configurations(), 0);
}

// The right button on the plot belongs to the cursors: a right drag moves
// the solid cursor and no menu comes up; outside the display the window's
// menu with the about item is still there.
TEST_F(ScopeDlgTest, RightDragOnThePlotMovesTheCursorAndOpensNoMenu) {
  CScopeDlg& dlg = Open();
  QTest::mouseClick(dlg.Panel().Controls().Find(ctl::ShowCursor), Qt::LeftButton);
  ASSERT_TRUE(dlg.Panel().IsChecked(ctl::ShowCursor));
  int menus = 0;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&menus] {
    if (QWidget* popup = QApplication::activePopupWidget()) {
      ++menus;
      popup->close();
    }
  });
  closer.start(10);

  // Through the window, as the desktop delivers them: that path also makes
  // the context-menu event of a right press.
  QWindow* window = dlg.windowHandle();
  const QPoint plot = dlg.Panel().Controls().Find(ctl::Display)->geometry().topLeft() + QPoint(60, 20);
  QTest::mousePress(window, Qt::RightButton, Qt::NoModifier, plot + QPoint(120, 100));
  QTest::mouseMove(window, plot + QPoint(180, 100));
  QTest::mouseRelease(window, Qt::RightButton, Qt::NoModifier, plot + QPoint(180, 100));
  EXPECT_EQ(dlg.Display().cursor1X, 120);
  EXPECT_EQ(dlg.Display().cursor2X, 180);
  EXPECT_EQ(menus, 0);

  const QPoint outside =
      dlg.Panel().Controls().Find(ctl::StatusLine)->geometry().bottomRight() + QPoint(100, 40);
  QTest::mouseClick(window, Qt::RightButton, Qt::NoModifier, outside);
  EXPECT_EQ(menus, 1);
  EXPECT_EQ(dlg.Display().cursor2X, 180);
}

TEST_F(ScopeDlgTest, InvalidInputIsReportedAndNothingIsSent) {
  CScopeDlg& dlg = Open();
  dlg.Panel().SetText(ctl::YMaxEdit, "1,5");
  dlg.OnStart();
  EXPECT_FALSE(dlg.Running());
  ASSERT_EQ(prompts_.messages.size(), 1U);
  EXPECT_EQ(prompts_.messages[0], "데이터 입력이 잘못되었습니다");
  EXPECT_EQ(prompts_.icons[0], PromptIcon::Information);
  EXPECT_EQ(Configurations(), 0);
  EXPECT_TRUE(Enabled(ctl::Start));
}

TEST_F(ScopeDlgTest, SingleStopsByItselfAfterTheTriggeredFrame) {
  CScopeDlg& dlg = Open();
  dlg.Panel().Controls().FindAs<QAbstractButton>(ctl::SingleRadio)->click();
  EXPECT_EQ(dlg.Settings().triggerStop, 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Buffer().lastFrameType == 'T'; }, 20000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.Running(); }, 20000));
  EXPECT_FALSE(dlg.Session().IsOpen());
  EXPECT_EQ(dlg.Panel().Text(ctl::TriggerStatus), "Trigger!");

  // A second click re-arms.
  dlg.Panel().Controls().FindAs<QAbstractButton>(ctl::SingleRadio)->click();
  EXPECT_TRUE(dlg.Running());
  dlg.OnStop();
}

TEST_F(ScopeDlgTest, AModeSwitchWhileRunningSendsOneConfiguration) {
  CScopeDlg& dlg = Open();
  dlg.Panel().SetText(ctl::ScaleEdit[0], "0x10");
  dlg.OnStart();
  const int before = WaitForConfigurations(1);
  dlg.Panel().Controls().FindAs<QAbstractButton>(ctl::ModeRadio[1])->click();
  EXPECT_EQ(WaitForConfigurations(before + 1), before + 1);
  EXPECT_EQ(Unit().configuration.Mode(), 1);
  dlg.Panel().Controls().FindAs<QAbstractButton>(ctl::ModeRadio[0])->click();
  EXPECT_EQ(dlg.Panel().Text(ctl::ScaleEdit[0]), "0x10");
  dlg.OnStop();
}

TEST_F(ScopeDlgTest, ClosingParksTheUnitAndSavesWhatWasTyped) {
  CScopeDlg& dlg = Open();
  dlg.Panel().SetText(ctl::YMaxEdit, "250");  // typed, never applied
  dlg.OnExit();
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(Unit().configuration.controlWord, 0x4000);
  dialog_.reset();  // destruction saves
  EXPECT_EQ(profile_.KeyCount(kSettingsSection), kSettingsKeyCount);
  EXPECT_EQ(profile_.StoredText(kSettingsSection, "M0_YAxis Max"), "250");
  EXPECT_EQ(profile_.StoredText(kSettingsSection, "Device Serial"), "SIM00001");
}

TEST_F(ScopeDlgTest, SettingsComeBackOnTheNextStart) {
  {
    CScopeDlg& dlg = Open();
    dlg.Panel().SetText(ctl::TriggerLevelEdit, "42");
    dlg.Panel().Controls().FindAs<QAbstractButton>(ctl::ShowCursor)->click();
    dialog_.reset();
  }
  CScopeDlg& again = Open();
  EXPECT_EQ(again.Panel().Text(ctl::TriggerLevelEdit), "42");
  EXPECT_TRUE(again.Panel().IsChecked(ctl::ShowCursor));
}

// Every setting through a real settings file and back, in several modes.
TEST_F(ScopeDlgTest, AllSettingsSurviveARestartThroughTheSettingsFile) {
  const test::ScratchUserSettings scratch;
  ASSERT_TRUE(scratch.Valid());
  {
    QtProfile store;
    CScopeDlg dlg(MakeSimulatedDriverLoader(bench_), store, prompts_);
    WidgetControlPanel& panel = dlg.Panel();
    panel.SetText(ctl::ScaleEdit[2], "1FH");
    panel.SetText(ctl::OffsetEdit[3], "-2.5");
    panel.Controls().FindAs<QAbstractButton>(ctl::UnsignedCheck[1])->click();
    panel.Controls().FindAs<QAbstractButton>(ctl::ModeRadio[2])->click();  // to CAN
    panel.SetText(ctl::YMinEdit, "-10");
    panel.SetText(ctl::TriggerLevelEdit, "0x20");
    panel.Controls().FindAs<QAbstractButton>(ctl::OptionCheck[1])->click();
    panel.Controls().FindAs<QAbstractButton>(ctl::ColorReverse)->click();
    panel.ColorButton(ctl::TraceColor[0])->SetColor(Rgb(1, 2, 3));
    QTest::keyClick(panel.Controls().Find(ctl::TimeList), Qt::Key_Down);  // 5 ms
  }
  QSettings file(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kestrova"),
                 QStringLiteral("Kestrova"));
  file.beginGroup(QStringLiteral("Kestrova View Info"));
  EXPECT_EQ(file.childKeys().size(), static_cast<qsizetype>(kSettingsKeyCount));

  QtProfile store;
  CScopeDlg dlg(MakeSimulatedDriverLoader(bench_), store, prompts_);
  const ScopeSettings& s = dlg.Settings();
  EXPECT_EQ(s.operationMode, 2);
  EXPECT_EQ(s.scaleText[0][2], "1FH");
  EXPECT_DOUBLE_EQ(s.scale[0][2], 31.0);
  EXPECT_EQ(s.offsetText[0][3], "-2.5");
  EXPECT_EQ(s.unsignedSamples[0][1], 0);
  EXPECT_EQ(s.yMinText[2], "-10");
  EXPECT_EQ(s.triggerLevelText[2], "0x20");
  EXPECT_EQ(s.optionBits[2][1], 1);
  EXPECT_EQ(s.optionBits[3][1], 0);
  EXPECT_EQ(s.colorReverse, 1);
  EXPECT_EQ(s.graphColor[0], Rgb(1, 2, 3));
  EXPECT_EQ(s.timeIndex, 5);
  EXPECT_EQ(dlg.Panel().Text(ctl::TriggerLevelEdit), "0x20");
  EXPECT_TRUE(dlg.Panel().IsChecked(ctl::ModeRadio[2]));
}

TEST_F(ScopeDlgTest, AFailedReadReconnectsOnceAndGoesOnStreaming) {
  CScopeDlg& dlg = Open();
  dlg.OnStart();
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Buffer().frameCount >= 1; }, 20000));
  const int before = Configurations();
  bench_->FailCall("FT_Read", FaultRepeat::Once);
  // The receive thread reports the failure; the window reconnects and applies.
  ASSERT_TRUE(QTest::qWaitFor([&] { return Configurations() > before && dlg.Running(); }, 20000));
  EXPECT_TRUE(dlg.Session().IsOpen());
  EXPECT_TRUE(Enabled(ctl::Stop));
  const int frames = dlg.Buffer().frameCount;
  EXPECT_TRUE(QTest::qWaitFor([&] { return dlg.Buffer().frameCount > frames; }, 20000));
  dlg.OnStop();
}

// A frame lost to its checksum is told on the status line, in red, through
// Stop, until the next Start.
TEST_F(ScopeDlgTest, LossesAreNotedOnTheStatusLineUntilTheNextStart) {
  CScopeDlg& dlg = Open();
  Press(Qt::Key_F2);
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Buffer().frameCount >= 1; }, 20000));
  EXPECT_EQ(dlg.Panel().Text(ctl::StatusLine), "");
  ASSERT_TRUE(bench_->CorruptNextChecksum("SIM00001"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Panel().Text(ctl::StatusLine) == "손실: 프레임 1개"; }, 20000))
      << dlg.Panel().Text(ctl::StatusLine);
  EXPECT_EQ(dlg.Panel().ColorStatic(ctl::StatusLine)->TextColor(), Rgb(255, 0, 0));

  Press(Qt::Key_F3);
  ASSERT_FALSE(dlg.Running());
  EXPECT_EQ(dlg.Panel().Text(ctl::StatusLine), "손실: 프레임 1개");
  Press(Qt::Key_F2);
  EXPECT_EQ(dlg.Panel().Text(ctl::StatusLine), "");
  Press(Qt::Key_F3);
}

TEST_F(ScopeDlgTest, AVanishedUnitIsReportedInRedAndTheRunEnds) {
  CScopeDlg& dlg = Open();
  dlg.OnStart();
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Buffer().frameCount >= 1; }, 20000));
  bench_->Vanish("SIM00001");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.Session().IsOpen() && !dlg.Running(); }, 20000));
  EXPECT_EQ(dlg.Panel().Text(ctl::StatusLine), "USB통신에 문제가 발생하여 USB 포트를 닫습니다");
  EXPECT_EQ(dlg.Panel().ColorStatic(ctl::StatusLine)->TextColor(), Rgb(255, 0, 0));
  EXPECT_TRUE(Enabled(ctl::Start));
  EXPECT_TRUE(Enabled(ctl::HistoryScroll));
  EXPECT_FALSE(Enabled(ctl::Stop));
  EXPECT_FALSE(Enabled(ctl::Apply));
  EXPECT_FALSE(Enabled(ctl::UnitCheck));  // left as the run set it

  // Plugged in again, Start works again.
  ASSERT_TRUE(bench_->AttachUnit("SIM00001"));
  dlg.OnStart();
  EXPECT_TRUE(dlg.Running());
  dlg.OnStop();
}

TEST_F(ScopeDlgTest, NormalModeShowsOnlyTriggeredFrames) {
  CScopeDlg& dlg = Open();
  dlg.Panel().Controls().FindAs<QAbstractButton>(ctl::NormalRadio)->click();
  ASSERT_TRUE(dlg.Running());
  EXPECT_EQ(dlg.Settings().triggerOnly, 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Buffer().frameCount >= 3; }, 20000));
  // Every frame the window kept was a triggered one: the count matches.
  EXPECT_EQ(dlg.Buffer().triggerCount, dlg.Buffer().frameCount);
  dlg.OnStop();
}

TEST_F(ScopeDlgTest, TheAboutBoxOpensAsOftenAsAsked) {
  CScopeDlg& dlg = Open();
  for (int round = 0; round < 2; ++round) {
    bool seen = false;
    QTimer::singleShot(0, [&seen] {
      for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowTitle() == QStringLiteral("Kestrova 정보")) {
          seen = true;
          window->close();
        }
      }
    });
    dlg.OnSysCommand(0x10);
    EXPECT_TRUE(seen) << "round " << round;
  }
}

// The controls whose rows the window's bottom edge runs through.
std::vector<std::string> ControlsCutByTheBottomEdge(CScopeDlg& dlg) {
  std::vector<std::string> cut;
  for (QWidget* control : dlg.Panel().Controls().InOrder()) {
    if (!control->isVisibleTo(&dlg)) continue;
    const QRect area(control->mapTo(&dlg, QPoint(0, 0)), control->size());
    if (area.top() < dlg.height() && area.bottom() >= dlg.height())
      cut.push_back(control->metaObject()->className() +
                    (" \"" + control->property("text").toString().toStdString() + "\""));
  }
  return cut;
}

TEST_F(ScopeDlgTest, ExtendedDisplayShowsTheChannelPanelInATallerWindow) {
  CScopeDlg& dlg = Open();
  // With a frame thinner than the outer height allows for (the offscreen
  // platform's is 4 pixels) the compact window ends above the channel rows
  // and the logging box instead of cutting through them.
  const int compact = dlg.height();
  EXPECT_LE(dlg.frameGeometry().height(), 612);
  EXPECT_EQ(ControlsCutByTheBottomEdge(dlg), std::vector<std::string>{});
  for (const int below :
       {ctl::ChannelCaption, ctl::OfsDataCaption, ctl::ScaleDataCaption, res::id::RealSaveGroup})
    EXPECT_GE(dlg.Panel().Controls().Find(below)->y(), compact) << below;
  EXPECT_FALSE(dlg.Panel().IsVisible(ctl::ScaleEdit[0]));
  const QSize display = dlg.Panel().Controls().Find(ctl::Display)->size();
  QTest::mouseClick(dlg.Panel().Controls().Find(ctl::ExtendedDisplay), Qt::LeftButton, {},
                    QPoint(6, dlg.Panel().Controls().Find(ctl::ExtendedDisplay)->height() / 2));
  EXPECT_EQ(dlg.frameGeometry().height(), 737);
  EXPECT_EQ(ControlsCutByTheBottomEdge(dlg), std::vector<std::string>{});
  QTest::mouseClick(dlg.Panel().Controls().Find(ctl::ExtendedDisplay), Qt::LeftButton, {},
                    QPoint(6, dlg.Panel().Controls().Find(ctl::ExtendedDisplay)->height() / 2));
  EXPECT_EQ(dlg.height(), compact);
  QTest::mouseClick(dlg.Panel().Controls().Find(ctl::ExtendedDisplay), Qt::LeftButton, {},
                    QPoint(6, dlg.Panel().Controls().Find(ctl::ExtendedDisplay)->height() / 2));
  EXPECT_TRUE(dlg.Panel().IsVisible(ctl::ScaleEdit[0]));
  EXPECT_TRUE(dlg.Panel().IsVisible(ctl::ChannelGroup));
  EXPECT_EQ(dlg.Panel().Controls().Find(ctl::Display)->size(), display);
  EXPECT_EQ(display, QSize(580, 460));
}

// The check gives the unit 100 ms to answer; a machine busy enough to hold
// the receive thread longer leaves the box empty, as it should, and the user
// (like this test) clicks again.
TEST_F(ScopeDlgTest, UnitCheckShowsTheIdentification) {
  CScopeDlg& dlg = Open();
  auto* check = dlg.Panel().Controls().FindAs<QAbstractButton>(ctl::UnitCheck);
  for (int click = 0; click < 50 && dlg.Panel().Text(ctl::UnitReply).empty(); ++click) {
    check->click();
    EXPECT_FALSE(dlg.Session().IsOpen());
  }
  EXPECT_NE(dlg.Panel().Text(ctl::UnitReply).find("SIM00001"), std::string::npos);
}

// Pixels of one colour in a picture.
int PixelsOf(const QImage& picture, ColorRef color) {
  const QRgb wanted = qRgb(RedOf(color), GreenOf(color), BlueOf(color));
  int count = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) count += picture.pixel(x, y) == wanted ? 1 : 0;
  }
  return count;
}

TEST_F(ScopeDlgTest, AnOrangeWalkedToWithTheKeysColoursTheTraceAndSurvivesARestart) {
  const ColorRef orange = Rgb(255, 104, 32);
  CScopeDlg& dlg = Open();
  QTest::mouseClick(dlg.Panel().Controls().Find(ctl::ExtendedDisplay), Qt::LeftButton);
  ASSERT_TRUE(dlg.Panel().IsVisible(ctl::TraceColor[0]));
  CColorPickerButton* button = dlg.Panel().ColorButton(ctl::TraceColor[0]);
  ASSERT_EQ(PixelsOf(dlg.DisplayImage(), orange), 0);

  const PopupDriver driver(button->Popup(), [](CColorPalettePopup& popup) {
    QTest::keyClick(&popup, Qt::Key_Right);  // "Default"
    QTest::keyClick(&popup, Qt::Key_Down);   // "Black", the first cell
    for (int i = 0; i < 9; ++i) QTest::keyClick(&popup, Qt::Key_Right);
    QTest::keyClick(&popup, Qt::Key_Return);
  });
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_TRUE(driver.Opened()) << "the palette did not open";
  EXPECT_EQ(button->GetColor(), orange);
  EXPECT_EQ(dlg.Settings().liveColors[0], orange);
  EXPECT_EQ(dlg.Settings().graphColor[0], DefaultGraphColors[0]) << "taken at the next ReadControls only";
  // Channel 1's offset marker is drawn in its trace colour.
  EXPECT_TRUE(QTest::qWaitFor([&] { return PixelsOf(dlg.DisplayImage(), orange) > 0; }, 10000))
      << "the display was not redrawn in orange";

  Press(Qt::Key_Return);  // reads the controls
  EXPECT_EQ(dlg.Settings().graphColor[0], orange);
  dialog_.reset();
  CScopeDlg& again = Open();
  EXPECT_EQ(again.Settings().graphColor[0], orange);
  EXPECT_EQ(again.Panel().ColorButton(ctl::TraceColor[0])->GetColor(), orange);
}

TEST_F(ScopeDlgTest, ACancelledPaletteKeepsTheColourYetRedrawsAndDefaultGivesTheDefault) {
  CScopeDlg& dlg = Open();
  // A cancel: the click still reaches the window, which takes the button's
  // colour (set here behind its back) and redraws the cursors in it.
  const ColorRef quiet = Rgb(18, 52, 86);
  dlg.Panel().Controls().FindAs<QAbstractButton>(ctl::ShowCursor)->click();
  CColorPickerButton* cursor = dlg.Panel().ColorButton(ctl::CursorColor);
  cursor->SetColor(quiet);
  {
    const PopupDriver driver(cursor->Popup(),
                             [](CColorPalettePopup& popup) { QTest::keyClick(&popup, Qt::Key_Escape); });
    QTest::mouseClick(cursor, Qt::LeftButton);
    ASSERT_TRUE(driver.Opened()) << "the palette did not open";
  }
  EXPECT_EQ(cursor->GetColor(), quiet);
  EXPECT_EQ(dlg.Settings().liveColors[kCursorColor], quiet);
  EXPECT_TRUE(QTest::qWaitFor([&] { return PixelsOf(dlg.DisplayImage(), quiet) > 0; }, 10000))
      << "the display was not redrawn";

  // "Default" on channel 2, whatever its colour was.
  QTest::mouseClick(dlg.Panel().Controls().Find(ctl::ExtendedDisplay), Qt::LeftButton);
  CColorPickerButton* channel2 = dlg.Panel().ColorButton(ctl::TraceColor[1]);
  channel2->SetColor(Rgb(200, 10, 10));
  {
    const PopupDriver driver(channel2->Popup(), [](CColorPalettePopup& popup) {
      QTest::mouseClick(&popup, Qt::LeftButton, {}, popup.ItemRect(kDefaultItem).center());
    });
    QTest::mouseClick(channel2, Qt::LeftButton);
    ASSERT_TRUE(driver.Opened()) << "the palette did not open";
  }
  EXPECT_EQ(channel2->GetColor(), Rgb(0, 255, 255));
  EXPECT_EQ(dlg.Settings().liveColors[1], Rgb(0, 255, 255));
}

}  // namespace
}  // namespace kestrova
