// Peak detect and the measurement window, driven through the real window.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <memory>

#include <gtest/gtest.h>

#include "acquisition/ControlIds.h"
#include "acquisition/MemoryProfile.h"
#include "acquisition/SettingsPersistence.h"
#include "app/MeasurementDlg.h"
#include "app/ScopeDlg.h"
#include "simulator/SimulatedDriver.h"
#include "support/AnsweringPrompts.h"
#include "WindowMenu.h"

namespace kestrova {
namespace {

class DisplayExtrasTest : public ::testing::Test {
 protected:
  DisplayExtrasTest() : bench_(std::make_shared<SimulatedBench>()) {}

  CScopeDlg& Open() {
    dialog_ = std::make_unique<CScopeDlg>(MakeSimulatedDriverLoader(bench_), profile_, prompts_);
    dialog_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
    return *dialog_;
  }

  void ChooseFromMenu(Qt::Key mnemonic) {
    EXPECT_TRUE(test::ChooseFromWindowMenu(*dialog_, mnemonic)) << "no menu came up";
  }

  void PressF7() { QTest::keyClick(dialog_->Panel().Controls().Find(ctl::TimeList), Qt::Key_F7); }

  std::shared_ptr<SimulatedBench> bench_;
  MemoryProfile profile_;
  test::AnsweringPrompts prompts_;
  std::unique_ptr<CScopeDlg> dialog_;
};

TEST_F(DisplayExtrasTest, ThePeakDetectItemAndF8ToggleTheSettingAndItIsKept) {
  CScopeDlg& dlg = Open();
  ASSERT_EQ(dlg.Settings().peakDetect, 0);
  ChooseFromMenu(Qt::Key_P);
  EXPECT_EQ(dlg.Settings().peakDetect, 1);
  dialog_.reset();
  EXPECT_EQ(profile_.GetInt(kSettingsSection, "Peak Detect", -1), 1);

  CScopeDlg& again = Open();
  EXPECT_EQ(again.Settings().peakDetect, 1);
  ChooseFromMenu(Qt::Key_P);
  EXPECT_EQ(again.Settings().peakDetect, 0);

  // F8 does what the item does, whichever control has the focus; with a
  // modifier held it is another chord.
  QWidget* list = again.Panel().Controls().Find(ctl::TimeList);
  QTest::keyClick(list, Qt::Key_F8);
  EXPECT_EQ(again.Settings().peakDetect, 1);
  QTest::keyClick(list, Qt::Key_F8, Qt::ShiftModifier);
  EXPECT_EQ(again.Settings().peakDetect, 1);
  QTest::keyClick(again.Panel().Controls().Find(ctl::StatusLine), Qt::Key_F8);
  EXPECT_EQ(again.Settings().peakDetect, 0);
}

TEST_F(DisplayExtrasTest, F7WhileStreamingShowsMeasurementsAtMostTenTimesASecond) {
  CScopeDlg& dlg = Open();
  dlg.OnStart();
  ASSERT_TRUE(dlg.Running());
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Buffer().frameCount >= 1; }, 20000));
  PressF7();
  CMeasurementDlg* view = dlg.MeasurementWindow();
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isVisible());
  EXPECT_FALSE(view->isModal());

  // Frames arrive every ~88 ms and each asks for a refresh: five refreshes
  // after one another take at least half a second.
  const int first = view->Updates();
  ASSERT_TRUE(QTest::qWaitFor([&] { return view->Updates() > first; }, 20000))
      << "no refresh with the frames";
  QElapsedTimer clock;
  clock.start();
  const int start = view->Updates();
  ASSERT_TRUE(QTest::qWaitFor([&] { return view->Updates() >= start + 5; }, 20000));
  // (The clock starts a moment after the first of them: four intervals are sure.)
  EXPECT_GE(clock.elapsed(), 4 * CMeasurementDlg::kMinimumUpdateMs) << "more than ten refreshes a second";

  // Four ticked channels, each with numbers (the test waveforms move).
  QTableWidget& table = view->Table();
  ASSERT_EQ(table.rowCount(), 4);
  ASSERT_EQ(table.columnCount(), 8);
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 5; ++column) {
      ASSERT_NE(table.item(row, column), nullptr);
      EXPECT_NE(table.item(row, column)->text(), QStringLiteral("-")) << row << "," << column;
    }
  }

  // The columns fill the table, each at least as wide as its heading, in a
  // window much wider than the texts need too.
  const auto columnsWidth = [&] {
    int total = 0;
    for (int column = 0; column < table.columnCount(); ++column) total += table.columnWidth(column);
    return total;
  };
  EXPECT_GE(columnsWidth(), table.viewport()->width());
  view->resize(1400, view->height());
  ASSERT_TRUE(QTest::qWaitFor([&] { return table.viewport()->width() > 1200; }, 20000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return columnsWidth() == table.viewport()->width(); }, 20000))
      << columnsWidth() << " of " << table.viewport()->width();
  for (int column = 0; column < table.columnCount(); ++column)
    EXPECT_GE(table.columnWidth(column), table.horizontalHeader()->sectionSizeHint(column)) << column;

  // The copy key puts the table's text on the clipboard.
  QTest::keyClick(&table, Qt::Key_C, Qt::ControlModifier);
  const QString copied = QGuiApplication::clipboard()->text();
  EXPECT_TRUE(copied.startsWith(QStringLiteral("Ch\t최소\t최대\t피크-피크\t평균\tRMS\t주파수\t주기\t듀티\n")))
      << copied.toStdString();
  EXPECT_EQ(copied.count(QLatin1Char('\n')), 5);

  // Unticking a channel drops its row.
  QTest::mouseClick(dlg.Panel().Controls().Find(ctl::ChannelEnable[2]), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return table.rowCount() == 3; }, 20000));
  dlg.OnStop();
}

// A refresh asked for within 100 ms of the last one waits only for the
// rest of those 100 ms.
TEST(MeasurementWindowTest, APutOffRefreshWaitsOnlyForTheRestOfTheInterval) {
  CMeasurementDlg view([] { return std::vector<MeasurementRow>{}; });
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.UpdateNow();
  QElapsedTimer since;  // started after the window's own clock: never ahead of it
  since.start();
  QTest::qWait(60);
  const qint64 waited = since.elapsed();
  const int updates = view.Updates();
  view.RequestUpdate();
  if (view.Updates() == updates) {
    // (A machine that held the test up past 100 ms refreshes at once.)
    EXPECT_GE(view.PendingUpdateMs(), 0);
    EXPECT_LE(view.PendingUpdateMs(), CMeasurementDlg::kMinimumUpdateMs - waited + 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.Updates() > updates; }, 20000));
  }
  EXPECT_EQ(view.PendingUpdateMs(), -1);
}

TEST_F(DisplayExtrasTest, TheMeasurementWindowComesBackWhereItWas) {
  Open();
  ChooseFromMenu(Qt::Key_M);
  CMeasurementDlg* view = dialog_->MeasurementWindow();
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(view->isVisible());
  view->move(130, 90);
  const QPoint place = view->pos();
  dialog_->OnExit();  // the main window closes first, taking its tool window along
  dialog_.reset();
  EXPECT_EQ(profile_.GetInt(kSettingsSection, "Measure Window Open", 0), 1);

  Open();
  view = dialog_->MeasurementWindow();
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isVisible());
  EXPECT_EQ(view->pos(), place);

  // Closed by the user, it stays closed next time; a place off every screen
  // is not taken.
  view->close();
  dialog_.reset();
  EXPECT_EQ(profile_.GetInt(kSettingsSection, "Measure Window Open", 1), 0);
  profile_.PutInt(kSettingsSection, "Measure Window Open", 1);
  profile_.PutInt(kSettingsSection, "Measure Window X", -90000);
  Open();
  view = dialog_->MeasurementWindow();
  ASSERT_NE(view, nullptr);
  EXPECT_GT(view->pos().x(), -90000);
}

}  // namespace
}  // namespace kestrova
