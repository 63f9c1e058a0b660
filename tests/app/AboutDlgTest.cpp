#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "app/AboutDlg.h"
#include "app/ProgramIcon.h"
#include "resources/DialogTemplate.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

namespace kestrova {
namespace {

QString LabelText(const CAboutDlg& about, int id) {
  const auto* label = about.Controls().FindAs<QLabel>(id);
  return label == nullptr ? QStringLiteral("<missing>") : label->text();
}

TEST(AboutDlg, ShowsVersionMakerAndUnit) {
  const CAboutDlg about;
  EXPECT_EQ(about.windowTitle(), QStringLiteral("Kestrova 정보"));
  EXPECT_EQ(about.size(), QSize(425, 130));
  EXPECT_EQ(LabelText(about, res::id::AboutVersion), QStringLiteral("Kestrova Version 1.0"));
  EXPECT_EQ(LabelText(about, res::id::AboutDescription),
            QStringLiteral("Communication Scope : ADC, SPI, CAN, UART"));
  EXPECT_EQ(LabelText(about, res::id::AboutChannels), QStringLiteral("(4 channel, 16bit data, ADC:12bit)"));
  EXPECT_TRUE(LabelText(about, res::id::AboutMaker).contains(QStringLiteral("Orvanta")));
  EXPECT_EQ(LabelText(about, res::id::AboutWebAddress), QStringLiteral("www.orvanta.example"));
  // The web address of the main window's title is the same.
  EXPECT_TRUE(QString::fromUtf8(res::MainDialogTemplate().caption.data())
                  .endsWith(QStringLiteral("    www.orvanta.example")));

  const QWidget* version = about.Controls().Find(res::id::AboutVersion);
  EXPECT_EQ(version->pos(), QPoint(68, 25));
  const QWidget* channels = about.Controls().Find(res::id::AboutChannels);
  EXPECT_EQ(channels->pos(), QPoint(136, 97));
}

TEST(AboutDlg, ShowsTheProgramIcon) {
  const CAboutDlg about;
  const auto* icon = about.Controls().FindAs<QLabel>(res::id::AboutIcon);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->geometry(), QRect(19, 25, 32, 32));
  EXPECT_EQ(icon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
            PaintProgramIcon(32).convertToFormat(QImage::Format_ARGB32));
  EXPECT_FALSE(about.windowIcon().isNull());
}

TEST(AboutDlg, OkIsTheDefaultButtonAndClosesTheBox) {
  CAboutDlg about;
  auto* ok = about.Controls().FindAs<QPushButton>(res::kOkButtonId);
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), QStringLiteral("OK"));
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(ok->geometry(), QRect(325, 10, 87, 21));
  about.show();
  ok->click();
  EXPECT_EQ(about.result(), QDialog::Accepted);
  EXPECT_FALSE(about.isVisible());

  // It opens again after being closed.
  about.show();
  EXPECT_TRUE(about.isVisible());
  ok->click();
  EXPECT_FALSE(about.isVisible());
}

TEST(AboutDlg, SystemMenuItemText) {
  EXPECT_EQ(res::LoadResourceString(res::kAboutMenuStringId), "Kestrova 정보(&A)...");
  EXPECT_TRUE(res::LoadResourceString(12345).empty());
}

TEST(AboutDlg, PictureOfTheBox) {
  CAboutDlg about;
  about.show();
  const QImage picture = about.grab().toImage();
  EXPECT_TRUE(picture.save(QStringLiteral(KESTROVA_TEST_OUTPUT_DIR "/about_box.png")));
}

// The icon: a dark screen with a bright trace inside a case, transparent outside it.
TEST(ProgramIcon, IsDrawnAtThreeSizes) {
  const QIcon icon = ProgramIcon();
  const QList<QSize> sizes = icon.availableSizes();
  for (const int side : {16, 32, 48}) EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;

  for (const int side : {16, 32, 48}) {
    const QImage image = PaintProgramIcon(side).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(side, side));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << side;
    int bright = 0;
    int dark = 0;
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        const QColor c = QColor::fromRgba(image.pixel(x, y));
        if (c.alpha() == 255 && c.green() > 200 && c.red() < 160) ++bright;
        if (c.alpha() == 255 && c.green() < 60 && c.red() < 20) ++dark;
      }
    }
    EXPECT_GE(bright, side) << "trace at " << side;
    EXPECT_GE(dark, side * side / 8) << "screen at " << side;
  }
}

}  // namespace
}  // namespace kestrova
