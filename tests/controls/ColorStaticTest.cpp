#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QWidget>
#include <cstdlib>
#include <utility>

#include <gtest/gtest.h>

#include "controls/ColorConversion.h"
#include "controls/ColorStatic.h"
#include "TestColors.h"

namespace kestrova {
namespace {

using test::kRed;
constexpr std::uint32_t kYellow = 0x0080FFFFU;  // (255, 255, 128)
const QColor kParentColor(255, 0, 255);

// A colour static on a parent of its own background colour, with a font
// drawn without smoothing so that text pixels carry the text colour exactly.
struct Fixture {
  QWidget parent;
  CColorStatic* field;

  Fixture() : field(new CColorStatic(&parent)) {
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, kParentColor);
    parent.setPalette(palette);
    parent.setAutoFillBackground(true);
    parent.resize(200, 40);
    QFont font = field->font();
    font.setPixelSize(20);
    font.setBold(true);
    font.setStyleStrategy(QFont::NoAntialias);
    field->setFont(font);
    field->setGeometry(0, 0, 200, 40);
  }

  QImage Picture() { return parent.grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

// Columns holding at least one pixel of the colour: first and last, or -1, -1.
std::pair<int, int> ColumnsOf(const QImage& image, const QColor& colour) {
  int first = -1;
  int last = -1;
  for (int x = 0; x < image.width(); ++x) {
    for (int y = 0; y < image.height(); ++y) {
      if (image.pixel(x, y) == colour.rgb()) {
        if (first < 0) first = x;
        last = x;
        break;
      }
    }
  }
  return {first, last};
}

TEST(ColorWords, RedIsTheLowByte) {
  EXPECT_EQ(ColorRefFromQColor(QColor(1, 2, 3)), 0x00030201U);
  EXPECT_EQ(QColorFromColorRef(0x00030201U).rgb(), qRgb(1, 2, 3));
  EXPECT_EQ(QColorFromColorRef(0xFF030201U).rgb(), qRgb(1, 2, 3)) << "the top byte is no colour";
}

TEST(ColorStatic, StartsWithWindowTextOnButtonFace) {
  const CColorStatic field;
  EXPECT_EQ(field.TextColor(), ColorRefFromQColor(QApplication::palette().color(QPalette::WindowText)));
  EXPECT_EQ(field.BackgroundColor(), ColorRefFromQColor(QApplication::palette().color(QPalette::Button)));
}

TEST(ColorStatic, FillsWithBackgroundAndDrawsTextInTextColour) {
  Fixture f;
  f.field->SetTextColor(kRed);
  f.field->SetBackgroundColor(kYellow);
  f.field->setText(QStringLiteral("HHH"));
  const QImage picture = f.Picture();
  EXPECT_EQ(picture.pixel(1, 38), QColorFromColorRef(kYellow).rgb());
  EXPECT_EQ(picture.pixel(198, 1), QColorFromColorRef(kYellow).rgb());
  EXPECT_NE(ColumnsOf(picture, QColor(255, 0, 0)).first, -1);
  EXPECT_EQ(ColumnsOf(picture, kParentColor).first, -1) << "the parent shows through a filled static";
}

TEST(ColorStatic, NoBackgroundLeavesTheParentVisible) {
  Fixture f;
  f.field->SetTextColor(kRed);
  f.field->SetBackgroundColor(CColorStatic::kNoBackground);
  f.field->setText(QStringLiteral("HHH"));
  const QImage picture = f.Picture();
  EXPECT_EQ(picture.pixel(1, 38), kParentColor.rgb());
  EXPECT_EQ(picture.pixel(198, 1), kParentColor.rgb());
  EXPECT_NE(ColumnsOf(picture, QColorFromColorRef(kRed)).first, -1);
}

TEST(ColorStatic, ColourChangesShowAtTheNextPaint) {
  Fixture f;
  f.field->setText(QStringLiteral("HHH"));
  f.field->SetTextColor(kRed, false);
  f.field->SetBackgroundColor(kYellow, false);
  EXPECT_EQ(f.field->TextColor(), kRed);
  EXPECT_EQ(f.field->BackgroundColor(), kYellow);
  f.field->SetTextColor(0x00FF0000U);  // blue
  const QImage picture = f.Picture();
  EXPECT_NE(ColumnsOf(picture, QColor(0, 0, 255)).first, -1);
  EXPECT_EQ(ColumnsOf(picture, QColorFromColorRef(kRed)).first, -1);
}

TEST(ColorStatic, AlignmentPlacesTheText) {
  Fixture f;
  f.field->SetTextColor(kRed);
  f.field->setText(QStringLiteral("II"));

  f.field->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  auto [leftFirst, leftLast] = ColumnsOf(f.Picture(), QColorFromColorRef(kRed));
  EXPECT_LT(leftFirst, 10);

  f.field->setAlignment(Qt::AlignRight | Qt::AlignTop);
  auto [rightFirst, rightLast] = ColumnsOf(f.Picture(), QColorFromColorRef(kRed));
  EXPECT_GT(rightLast, 189);

  f.field->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  auto [centreFirst, centreLast] = ColumnsOf(f.Picture(), QColorFromColorRef(kRed));
  const int leftMargin = centreFirst;
  const int rightMargin = 199 - centreLast;
  EXPECT_LE(std::abs(leftMargin - rightMargin), 4);
  // The same text, only moved (glyphs may land a pixel wider at another offset).
  EXPECT_NEAR(centreLast - centreFirst, leftLast - leftFirst, 1);
  EXPECT_NEAR(rightLast - rightFirst, leftLast - leftFirst, 1);
}

}  // namespace
}  // namespace kestrova
