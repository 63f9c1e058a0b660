// The display on a high-DPI screen. Meaningful under QT_SCALE_FACTOR=2 (the
// suite runs once more that way); at a ratio of 1 it is skipped, and the
// picture tests of the display prove that nothing changes there.
#include <QApplication>
#include <QTest>
#include <memory>
#include <utility>

#include <gtest/gtest.h>

#include "acquisition/ControlIds.h"
#include "acquisition/MemoryProfile.h"
#include "app/ScopeDlg.h"
#include "display/DisplayGeometry.h"
#include "simulator/SimulatedDriver.h"
#include "support/AnsweringPrompts.h"

namespace kestrova {
namespace {

TEST(HighDpi, TheDisplayKeepsItsGeometryAndDrawsItsTextsAtTheScreensResolution) {
  if (qApp->devicePixelRatio() < 2.0) GTEST_SKIP() << "needs a screen of ratio 2 (QT_SCALE_FACTOR=2)";
  MemoryProfile profile;
  test::AnsweringPrompts prompts;
  CScopeDlg dlg(MakeSimulatedDriverLoader(std::make_shared<SimulatedBench>()), profile, prompts);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  dlg.OnStart();
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Buffer().frameCount >= 2; }, 20000));
  dlg.OnStop();

  QWidget* area = dlg.Panel().Controls().Find(ctl::Display);
  ASSERT_EQ(area->size(), QSize(kDisplayWidth, kDisplayHeight)) << "the geometry is in logical pixels";
  const QImage shot = area->grab().toImage();
  ASSERT_EQ(shot.size(), QSize(2 * kDisplayWidth, 2 * kDisplayHeight));
  const QImage plain = dlg.DisplayImage();

  const auto block = [&](int x, int y) {
    const QRgb a = shot.pixel(2 * x, 2 * y);
    const bool uniform = a == shot.pixel(2 * x + 1, 2 * y) && a == shot.pixel(2 * x, 2 * y + 1) &&
                         a == shot.pixel(2 * x + 1, 2 * y + 1);
    return std::pair{uniform, a};
  };
  // Inside the plot (no text there) each logical pixel is one 2 x 2 block
  // of the 1x picture's colour: traces, grid and cursors as before.
  for (int y = kPlotTop; y < kPlotTop + kPlotHeight; ++y) {
    for (int x = kPlotLeft; x < kPlotLeft + kPlotWidth; ++x) {
      const auto [uniform, colour] = block(x, y);
      ASSERT_TRUE(uniform && colour == plain.pixel(x, y)) << x << "," << y;
    }
  }
  // The time axis labels below the plot have detail finer than a logical pixel.
  int mixed = 0;
  for (int y = kPlotTop + kPlotHeight + 2; y < kDisplayHeight; ++y) {
    for (int x = 0; x < kDisplayWidth; ++x) mixed += block(x, y).first ? 0 : 1;
  }
  EXPECT_GT(mixed, 100) << "the labels are drawn at 1x and doubled";
}

}  // namespace
}  // namespace kestrova
