#include <QApplication>
#include <QCursor>
#include <QHelpEvent>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <vector>

#include <gtest/gtest.h>

#include "PopupDriver.h"
#include "TestColors.h"
#include "controls/ColorConversion.h"
#include "controls/ColorPickerButton.h"

namespace kestrova {
namespace {

using test::kCyan;
constexpr std::uint32_t kPaletteOrange = 0x002068FFU;  // (255, 104, 32), palette item 10
constexpr std::uint32_t kOdd = 0x00563412U;     // in no palette cell

TEST(PaletteKeys, StepsFollowTheKeyboardRules) {
  constexpr int none = kNoItem;
  constexpr int custom = kCustomItem;
  struct Row {
    int hot;
    int key;
    bool shift;
    int selected;
    int expected;
  };
  const std::vector<Row> rows = {
      // Left and Right walk 0..41 and wrap; from none they enter at an end.
      {5, Qt::Key_Right, false, none, 6},
      {custom, Qt::Key_Right, false, none, kDefaultItem},
      {none, Qt::Key_Right, false, none, kDefaultItem},
      {kLastCellItem, Qt::Key_Right, false, none, custom},
      {kDefaultItem, Qt::Key_Left, false, none, custom},
      {none, Qt::Key_Left, false, none, custom},
      {kFirstCellItem, Qt::Key_Left, false, none, kDefaultItem},
      {custom, Qt::Key_Left, false, none, kLastCellItem},
      // Up: a row up; the first row goes to Default, Default and none to
      // Custom..., Custom... to the last cell.
      {25, Qt::Key_Up, false, none, 15},
      {1, Qt::Key_Up, false, none, kDefaultItem},
      {10, Qt::Key_Up, false, none, kDefaultItem},
      {kDefaultItem, Qt::Key_Up, false, none, custom},
      {none, Qt::Key_Up, false, none, custom},
      {custom, Qt::Key_Up, false, none, kLastCellItem},
      // Down: a row down; the fourth row goes to Custom..., Default to the
      // first cell, Custom... and none to Default.
      {15, Qt::Key_Down, false, none, 25},
      {31, Qt::Key_Down, false, none, custom},
      {40, Qt::Key_Down, false, none, custom},
      {30, Qt::Key_Down, false, none, 40},
      {kDefaultItem, Qt::Key_Down, false, none, kFirstCellItem},
      {custom, Qt::Key_Down, false, none, kDefaultItem},
      {none, Qt::Key_Down, false, none, kDefaultItem},
      // Tab: Default, the grid (at the selected cell), Custom..., around.
      {none, Qt::Key_Tab, false, none, kDefaultItem},
      {kDefaultItem, Qt::Key_Tab, false, 17, 17},
      {kDefaultItem, Qt::Key_Tab, false, none, kFirstCellItem},
      {kDefaultItem, Qt::Key_Tab, false, kDefaultItem, kFirstCellItem},
      {23, Qt::Key_Tab, false, 17, custom},
      {custom, Qt::Key_Tab, false, 17, kDefaultItem},
      // Shift+Tab, also arriving as Backtab, the other way round.
      {none, Qt::Key_Tab, true, none, custom},
      {custom, Qt::Key_Tab, true, 17, 17},
      {23, Qt::Key_Backtab, false, none, kDefaultItem},
      {kDefaultItem, Qt::Key_Backtab, true, none, custom},
      // Other keys leave the hot item alone.
      {12, Qt::Key_A, false, none, 12},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(PaletteKeyStep(row.hot, row.key, row.shift, row.selected), row.expected)
        << "hot " << row.hot << " key " << QKeySequence(row.key).toString().toStdString() << " shift "
        << row.shift << " selected " << row.selected;
  }
}

TEST(PalettePlacement, BelowElseAboveAndAlwaysInsideTheWorkArea) {
  const QRect work(0, 0, 800, 600);
  const QSize size(194, 130);
  struct Row {
    QRect button;
    bool toRight;
    std::optional<QPoint> expected;
  };
  const std::vector<Row> rows = {
      {QRect(100, 100, 54, 18), false, QPoint(100, 118)},  // below, left-aligned
      {QRect(100, 500, 54, 18), false, QPoint(100, 370)},  // no room below: above
      {QRect(700, 100, 54, 18), false, QPoint(606, 118)},  // moved back inside at the right
      {QRect(-30, 100, 54, 18), false, QPoint(0, 118)},    // and at the left
      {QRect(100, 100, 54, 520), false, std::nullopt},     // room on neither side
      {QRect(100, 100, 54, 18), true, QPoint(154, 100)},   // to the right, top-aligned
      {QRect(650, 100, 54, 18), true, QPoint(456, 100)},   // no room right: left
      {QRect(100, 550, 54, 18), true, QPoint(154, 470)},   // moved up inside
  };
  for (const Row& row : rows) {
    EXPECT_EQ(PlacePalettePopup(row.button, size, work, row.toRight), row.expected)
        << row.button.x() << "," << row.button.y() << " right " << row.toRight;
  }
}

// A drop-down colour button in a window of its own, with Cyan as its default.
class PalettePopup : public ::testing::Test {
 protected:
  PalettePopup() : button_(new CColorPickerButton(&window_)), other_(new QPushButton(&window_)) {
    window_.setGeometry(50, 50, 300, 300);
    button_->setGeometry(10, 10, 54, 18);
    other_->setGeometry(200, 250, 60, 24);
    button_->SetStyle(CColorPickerButton::kStyleDropDown);
    button_->SetDefaultColor(kCyan);
    button_->SetColor(kPaletteOrange);
    window_.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window_));
    // Record the colour the window would read at each click.
    QObject::connect(button_, &QAbstractButton::clicked,
                     [this] { colorsAtClick_.push_back(button_->GetColor()); });
  }

  CColorPalettePopup& Popup() { return button_->Popup(); }

  // Clicks the button with the mouse and runs `action` inside the popup.
  void ClickAnd(const std::function<void(CColorPalettePopup&)>& action) {
    const PopupDriver driver(Popup(), action);
    QTest::mouseClick(button_, Qt::LeftButton);
    EXPECT_TRUE(driver.Opened()) << "the palette did not open";
    EXPECT_FALSE(driver.LeftOpen()) << "the palette stayed open";
    EXPECT_FALSE(Popup().isVisible());
  }

  QWidget window_;
  CColorPickerButton* button_;
  QPushButton* other_;
  std::vector<std::uint32_t> colorsAtClick_;
};

TEST_F(PalettePopup, LayoutAndPicture) {
  const int entry = Popup().fontMetrics().height() + 8;
  EXPECT_EQ(Popup().objectName(), QStringLiteral("ColorPalettePopup"));
  EXPECT_EQ(Popup().sizeHint(), QSize(3 + 4 + 180 + 4 + 3, 3 + 2 + entry + 2 + 72 + 2 + entry + 2 + 3));
  EXPECT_EQ(Popup().ItemRect(kDefaultItem), QRect(7, 5, 180, entry));
  EXPECT_EQ(Popup().ItemRect(kFirstCellItem), QRect(7, 5 + entry + 2, 18, 18));
  EXPECT_EQ(Popup().ItemRect(kLastCellItem), QRect(7 + 9 * 18, 5 + entry + 2 + 3 * 18, 18, 18));
  EXPECT_EQ(Popup().ItemRect(kCustomItem), QRect(7, 5 + entry + 2 + 72 + 2, 180, entry));

  QImage picture;
  ClickAnd([&](CColorPalettePopup& popup) {
    // Below the button, left-aligned.
    EXPECT_EQ(popup.geometry().topLeft(), button_->mapToGlobal(QPoint(0, button_->height())));
    EXPECT_EQ(popup.SelectedItem(), 10) << "Orange is the current colour";
    QTest::mouseMove(&popup, popup.ItemRect(1).center());
    EXPECT_EQ(popup.HotItem(), 1);
    picture = popup.grab().toImage().convertToFormat(QImage::Format_RGB32);

    QHelpEvent help(QEvent::ToolTip, popup.ItemRect(36).center(),
                    popup.mapToGlobal(popup.ItemRect(36).center()));
    QApplication::sendEvent(&popup, &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Pale green "));
    QToolTip::hideText();
    QTest::keyClick(&popup, Qt::Key_Escape);
  });
  ASSERT_FALSE(picture.isNull());
  const QPalette colours = Popup().palette();
  // Every cell shows its colour inside a shadow frame inset 2 pixels.
  for (int item = kFirstCellItem; item <= kLastCellItem; ++item) {
    const QRect swatch = Popup().ItemRect(item).adjusted(2, 2, -2, -2);
    const QRgb colour = QColorFromColorRef(kPaletteColors[static_cast<std::size_t>(item - 1)].color).rgb();
    EXPECT_EQ(picture.pixel(swatch.topLeft()), colours.color(QPalette::Dark).rgb()) << item;
    EXPECT_EQ(picture.pixel(swatch.bottomRight()), colours.color(QPalette::Dark).rgb()) << item;
    EXPECT_EQ(picture.pixel(swatch.topLeft() + QPoint(1, 1)), colour) << item;
    EXPECT_EQ(picture.pixel(swatch.bottomRight() - QPoint(1, 1)), colour) << item;
  }
  // The hot cell is raised, the selected one sunken with a light interior,
  // an ordinary one flat.
  const QRect hot = Popup().ItemRect(1);
  const QRect selected = Popup().ItemRect(10);
  const QRect plain = Popup().ItemRect(2);
  EXPECT_EQ(picture.pixel(hot.topLeft()), colours.color(QPalette::Light).rgb());
  EXPECT_EQ(picture.pixel(hot.bottomRight()), colours.color(QPalette::Dark).rgb());
  EXPECT_EQ(picture.pixel(selected.topLeft()), colours.color(QPalette::Dark).rgb());
  EXPECT_EQ(picture.pixel(selected.topLeft() + QPoint(1, 1)), colours.color(QPalette::Midlight).rgb());
  EXPECT_EQ(picture.pixel(plain.topLeft()), colours.color(QPalette::Button).rgb());
  EXPECT_EQ(picture.pixel(plain.topLeft() + QPoint(1, 1)), colours.color(QPalette::Button).rgb());
  // "Default" shows the default colour at its left.
  const QRect defaultEntry = Popup().ItemRect(kDefaultItem);
  EXPECT_EQ(picture.pixel(defaultEntry.left() + 4, defaultEntry.center().y()), qRgb(0, 255, 255));

  EXPECT_EQ(button_->GetColor(), kPaletteOrange);
  EXPECT_EQ(colorsAtClick_, std::vector<std::uint32_t>{kPaletteOrange}) << "a cancel still reaches the window";
}

// The entry of the button's colour is drawn sunken, with a light interior:
// its cell, else "Default" when it is the default colour, else none.
TEST_F(PalettePopup, OnlyTheEntryOfTheCurrentColourIsDrawnSelected) {
  constexpr std::uint32_t kNowhere = 0x123456;  // in no cell
  struct Row {
    std::uint32_t color;
    std::uint32_t defaultColor;
    std::vector<int> selected;
  };
  const std::vector<Row> rows = {
      {kPaletteOrange, kCyan, {10}},
      {kPaletteColors.front().color, kCyan, {kFirstCellItem}},
      {kPaletteColors.back().color, kNowhere, {kLastCellItem}},
      {kNowhere, kNowhere, {kDefaultItem}},
      {kNowhere, kCyan, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.color);
    button_->SetDefaultColor(row.defaultColor);
    button_->SetColor(row.color);
    QImage picture;
    ClickAnd([&](CColorPalettePopup& popup) {
      picture = popup.grab().toImage().convertToFormat(QImage::Format_RGB32);
      QTest::keyClick(&popup, Qt::Key_Escape);
    });
    ASSERT_FALSE(picture.isNull());
    const QPalette colours = Popup().palette();
    std::vector<int> sunken;
    for (int item = kDefaultItem; item <= kCustomItem; ++item) {
      const QRect r = Popup().ItemRect(item);
      if (picture.pixel(r.topLeft()) == colours.color(QPalette::Dark).rgb() &&
          picture.pixel(r.topLeft() + QPoint(1, 1)) == colours.color(QPalette::Midlight).rgb()) {
        sunken.push_back(item);
      }
    }
    EXPECT_EQ(sunken, row.selected);
  }
}

TEST_F(PalettePopup, MouseAndKeysPickACellOrDefault) {
  ClickAnd([](CColorPalettePopup& popup) {
    QTest::mouseClick(&popup, Qt::LeftButton, {}, popup.ItemRect(14).center());
  });
  EXPECT_EQ(button_->GetColor(), 0x00FF0000U) << "Blue";
  // The space bar picks on release; "Default" gives the default colour.
  ClickAnd([](CColorPalettePopup& popup) {
    QTest::keyClick(&popup, Qt::Key_Right);
    QTest::keyClick(&popup, Qt::Key_Space);
  });
  EXPECT_EQ(button_->GetColor(), kCyan);
  EXPECT_EQ(Popup().SelectedItem(), kDefaultItem);
  // Enter with nothing hot, and a release over no item, cancel.
  ClickAnd([](CColorPalettePopup& popup) { QTest::keyClick(&popup, Qt::Key_Return); });
  ClickAnd([](CColorPalettePopup& popup) { QTest::mouseClick(&popup, Qt::LeftButton, {}, QPoint(1, 1)); });
  EXPECT_EQ(button_->GetColor(), kCyan);
  EXPECT_EQ(colorsAtClick_, (std::vector<std::uint32_t>{0x00FF0000U, kCyan, kCyan, kCyan}));
}

TEST_F(PalettePopup, CustomOpensTheColourDialogWithTheSelectedColour) {
  struct Asked {
    QWidget* owner;
    std::uint32_t initial;
  };
  std::vector<Asked> asked;
  std::optional<std::uint32_t> answer = kOdd;
  button_->SetColorDialog([&](QWidget* owner, std::uint32_t initial) {
    EXPECT_FALSE(Popup().isVisible()) << "the palette closes first";
    asked.push_back({owner, initial});
    return answer;
  });
  const auto pickCustom = [](CColorPalettePopup& popup) {
    QTest::keyClick(&popup, Qt::Key_Up);  // none -> Custom...
    QTest::keyClick(&popup, Qt::Key_Enter);
  };
  ClickAnd(pickCustom);
  EXPECT_EQ(button_->GetColor(), kOdd);
  answer.reset();  // the dialog cancelled
  ClickAnd(pickCustom);
  EXPECT_EQ(button_->GetColor(), kOdd);
  ASSERT_EQ(asked.size(), 2U);
  EXPECT_EQ(asked[0].owner, button_);
  EXPECT_EQ(asked[0].initial, kPaletteOrange);
  EXPECT_EQ(asked[1].initial, kOdd);
  EXPECT_EQ(colorsAtClick_, (std::vector<std::uint32_t>{kOdd, kOdd}));
}

TEST_F(PalettePopup, AClickOutsideClosesThePaletteAndReachesTheWidgetThere) {
  QSignalSpy otherClicks(other_, &QAbstractButton::clicked);
  // Through the window system, as a real press arrives, so that the open
  // palette sees it first.
  const QPoint onOther = other_->geometry().center();
  ClickAnd([&](CColorPalettePopup& /*popup*/) {
    QTest::mousePress(window_.windowHandle(), Qt::LeftButton, {}, onOther);
  });
  EXPECT_TRUE(other_->isDown()) << "the press went on to the button under the pointer";
  QTest::mouseRelease(window_.windowHandle(), Qt::LeftButton, {}, onOther);
  EXPECT_EQ(otherClicks.count(), 1);
  EXPECT_EQ(button_->GetColor(), kPaletteOrange);
  EXPECT_EQ(colorsAtClick_.size(), 1U);
}

TEST_F(PalettePopup, FocusIsTakenWhileOpenAndGivenBack) {
  other_->setFocus();
  window_.activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([this] { return other_->hasFocus(); }, 5000))
      << "the button never took the focus";
  ClickAnd([this](CColorPalettePopup& popup) {
    EXPECT_FALSE(other_->hasFocus());
    QTest::keyClick(&popup, Qt::Key_Escape);
  });
  // The button took the focus with its click; it gets it back.
  EXPECT_TRUE(button_->hasFocus());
}

TEST_F(PalettePopup, HoverTimerDropsAHotItemThePointerLeft) {
  ClickAnd([](CColorPalettePopup& popup) {
    QTest::mouseMove(&popup, popup.ItemRect(20).center());
    ASSERT_EQ(popup.HotItem(), 20);
    // The pointer leaves without a move reaching the popup.
    QCursor::setPos(popup.mapToGlobal(QPoint(-40, -40)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return popup.HotItem() == kNoItem; }, 5000));
    // A hot item chosen with the keys stays where the pointer rests.
    QTest::keyClick(&popup, Qt::Key_Down);
    QTest::qWait(3 * CColorPalettePopup::kHoverTickMs);
    EXPECT_EQ(popup.HotItem(), kDefaultItem);
    QTest::keyClick(&popup, Qt::Key_Escape);
  });
}

TEST_F(PalettePopup, OpensAboveAButtonWithNoRoomBelowAndNotAtAllWithNeither) {
  const QRect work = button_->screen()->availableGeometry();
  window_.setGeometry(work.left() + 50, work.bottom() - 60, 300, 50);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_.geometry().bottom() >= work.bottom() - 20; }, 5000));
  ClickAnd([this](CColorPalettePopup& popup) {
    EXPECT_EQ(popup.geometry().bottom(), button_->mapToGlobal(QPoint(0, 0)).y() - 1);
    EXPECT_EQ(popup.geometry().left(), button_->mapToGlobal(QPoint(0, 0)).x());
    QTest::keyClick(&popup, Qt::Key_Escape);
  });

  // A button as tall as the screen: the palette fits nowhere and the click
  // changes nothing, yet still reaches the window.
  window_.setGeometry(work);
  button_->setGeometry(10, 0, 54, work.height());
  // The click runs the palette to its end before it returns: had it opened,
  // the driver would have seen it.
  const PopupDriver driver(Popup(), [](CColorPalettePopup&) {});
  QTest::mouseClick(button_, Qt::LeftButton);
  EXPECT_FALSE(driver.Opened());
  EXPECT_EQ(colorsAtClick_.size(), 2U);
}

TEST_F(PalettePopup, TheParentsAnswerCanKeepThePaletteShut) {
  int asked = 0;
  button_->SetDropDownNotification([&asked] { return ++asked > 0; });
  const PopupDriver driver(Popup(), [](CColorPalettePopup&) {});
  QTest::keyClick(button_, Qt::Key_Space);  // a keyboard click
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(driver.Opened());
  EXPECT_EQ(colorsAtClick_, std::vector<std::uint32_t>{kPaletteOrange});
}

}  // namespace
}  // namespace kestrova
