#include <QImage>
#include <QSignalSpy>
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "controls/ColorConversion.h"
#include "controls/ColorPickerButton.h"
#include "TestColors.h"

namespace kestrova {
namespace {

using test::kCyan;
using test::kRed;
constexpr std::uint32_t kOrange = 0x00296BFFU;

QImage Picture(CColorPickerButton& button) {
  return button.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int CountPixels(const QImage& image, const QRect& area, const QColor& colour) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (image.pixel(x, y) == colour.rgb()) ++count;
    }
  }
  return count;
}

// True when every pixel of the rectangle's one-pixel outline has the colour.
bool FramedIn(const QImage& image, const QRect& r, const QColor& colour) {
  for (int x = r.left(); x <= r.right(); ++x) {
    if (image.pixel(x, r.top()) != colour.rgb() || image.pixel(x, r.bottom()) != colour.rgb()) return false;
  }
  for (int y = r.top(); y <= r.bottom(); ++y) {
    if (image.pixel(r.left(), y) != colour.rgb() || image.pixel(r.right(), y) != colour.rgb()) return false;
  }
  return true;
}

TEST(ColorPickerButtonApi, StartsWithBarHeightFiveNoStyleAndNoDefault) {
  const CColorPickerButton button;
  EXPECT_EQ(button.GetColorBarHeight(), 5);
  EXPECT_EQ(button.GetStyle(), 0U);
  EXPECT_EQ(button.GetDefaultColor(), CColorPickerButton::kNoColor);
}

TEST(ColorPickerButtonApi, DefaultColourValueTakesTheDefault) {
  CColorPickerButton button;
  button.SetColor(kRed);
  EXPECT_EQ(button.GetColor(), kRed);

  // Without a default the special value changes nothing.
  button.SetColor(CColorPickerButton::kDefaultColor);
  EXPECT_EQ(button.GetColor(), kRed);

  button.SetDefaultColor(kCyan);
  button.SetColor(CColorPickerButton::kDefaultColor);
  EXPECT_EQ(button.GetColor(), kCyan);

  // The default is looked up when the colour is set, not later.
  button.SetDefaultColor(kOrange);
  EXPECT_EQ(button.GetColor(), kCyan);
}

TEST(ColorPickerButtonApi, KeepsTwentyFourBitColours) {
  CColorPickerButton button;
  button.SetColor(0x7F123456U);
  EXPECT_EQ(button.GetColor(), 0x00123456U);
  button.SetColor(0x00FFFFFFU);
  EXPECT_EQ(button.GetColor(), 0x00FFFFFFU);
}

TEST(ColorPickerButtonApi, StoresStyleAndBarHeight) {
  CColorPickerButton button;
  button.SetStyle(CColorPickerButton::kStyleDropDown, false);
  EXPECT_EQ(button.GetStyle(), CColorPickerButton::kStyleDropDown);
  button.SetColorBarHeight(6);
  EXPECT_EQ(button.GetColorBarHeight(), 6);
  button.SetColorBarHeight(-3);
  EXPECT_EQ(button.GetColorBarHeight(), 0);
}

TEST(ColorPickerButtonApi, ClickReachesTheWindowAndKeepsTheColour) {
  CColorPickerButton button;
  button.resize(54, 18);
  button.SetColor(kOrange);
  QSignalSpy clicks(&button, &QAbstractButton::clicked);
  button.click();
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_EQ(button.GetColor(), kOrange);
}

// The face of a colour button as large as the channel buttons of the main window.
class ColorPickerFace : public ::testing::Test {
 protected:
  void SetUp() override {
    button_.resize(54, 18);
    button_.SetColor(kOrange);
  }
  [[nodiscard]] QColor Shadow() const { return button_.palette().color(QPalette::Dark); }
  CColorPickerButton button_;
};

TEST_F(ColorPickerFace, SwatchIsFramedAndFilledWithTheColour) {
  const QRect swatch = button_.SwatchRect();
  ASSERT_FALSE(swatch.isEmpty());
  // Without text the swatch takes the content area left of the arrow.
  EXPECT_GE(swatch.height(), button_.height() - 8);
  EXPECT_LT(swatch.right(), button_.ArrowRect().left());

  const QImage face = Picture(button_);
  EXPECT_TRUE(FramedIn(face, swatch, Shadow()));
  const QRect inside = swatch.adjusted(1, 1, -1, -1);
  EXPECT_EQ(CountPixels(face, inside, QColorFromColorRef(kOrange)), inside.width() * inside.height());
  EXPECT_EQ(CountPixels(face, face.rect(), QColorFromColorRef(kOrange)), inside.width() * inside.height())
      << "the colour is shown inside the frame only";
}

TEST_F(ColorPickerFace, DisabledButtonShowsTheFrameButNoColour) {
  button_.setEnabled(false);
  const QImage face = Picture(button_);
  EXPECT_TRUE(FramedIn(face, button_.SwatchRect(), Shadow()));
  EXPECT_EQ(CountPixels(face, face.rect(), QColorFromColorRef(kOrange)), 0);
}

TEST_F(ColorPickerFace, ColourChangeIsDrawn) {
  button_.SetColor(kCyan);
  const QImage face = Picture(button_);
  EXPECT_EQ(face.pixel(button_.SwatchRect().center()), qRgb(0, 255, 255));
}

TEST_F(ColorPickerFace, TextPutsTheColourInABarUnderIt) {
  button_.resize(80, 30);
  button_.setText(QStringLiteral("Ab"));
  button_.SetColorBarHeight(6);
  const QRect bar = button_.SwatchRect();
  EXPECT_EQ(bar.height(), 6);
  EXPECT_EQ(bar.bottom(), button_.height() - 4);

  const QImage face = Picture(button_);
  EXPECT_TRUE(FramedIn(face, bar, Shadow()));
  const QRect inside = bar.adjusted(1, 1, -1, -1);
  EXPECT_EQ(CountPixels(face, face.rect(), QColorFromColorRef(kOrange)), inside.width() * inside.height());

  button_.SetColorBarHeight(0);
  EXPECT_TRUE(button_.SwatchRect().isEmpty());
  EXPECT_EQ(CountPixels(Picture(button_), button_.rect(), QColorFromColorRef(kOrange)), 0);
}

TEST_F(ColorPickerFace, PressedFaceIsShifted) {
  const QRect swatch = button_.SwatchRect();
  button_.setDown(true);
  const QImage face = Picture(button_);
  EXPECT_TRUE(FramedIn(face, swatch.translated(1, 1), Shadow()));
  EXPECT_EQ(face.pixel(swatch.bottomRight()), QColorFromColorRef(kOrange).rgb());
}

// Pixels of the arrow per row and per column of the arrow area.
struct ArrowShape {
  std::vector<int> rows;
  std::vector<int> columns;
};

ArrowShape ShapeOfArrow(CColorPickerButton& button) {
  const QImage face = Picture(button);
  const QRect area = button.ArrowRect();
  const QColor ink = button.palette().color(QPalette::ButtonText);
  ArrowShape shape;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const int n = CountPixels(face, QRect(area.left(), y, area.width(), 1), ink);
    if (n > 0) shape.rows.push_back(n);
  }
  for (int x = area.left(); x <= area.right(); ++x) {
    const int n = CountPixels(face, QRect(x, area.top(), 1, area.height()), ink);
    if (n > 0) shape.columns.push_back(n);
  }
  return shape;
}

TEST_F(ColorPickerFace, ArrowPointsDownOrRight) {
  button_.SetStyle(CColorPickerButton::kStyleDropDown);
  const ArrowShape down = ShapeOfArrow(button_);
  ASSERT_GE(down.rows.size(), 3U);
  // Widest at the top, narrowing to the tip below.
  EXPECT_GT(down.rows.front(), down.rows.back());
  EXPECT_TRUE(std::is_sorted(down.rows.rbegin(), down.rows.rend()));
  EXPECT_GT(down.columns.size(), down.rows.size());

  button_.SetStyle(CColorPickerButton::kStyleDropDown | CColorPickerButton::kStyleDropRight);
  const ArrowShape right = ShapeOfArrow(button_);
  ASSERT_GE(right.columns.size(), 3U);
  EXPECT_GT(right.columns.front(), right.columns.back());
  EXPECT_TRUE(std::is_sorted(right.columns.rbegin(), right.columns.rend()));
  EXPECT_GT(right.rows.size(), right.columns.size());
}

}  // namespace
}  // namespace kestrova
