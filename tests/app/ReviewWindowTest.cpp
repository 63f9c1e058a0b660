// Saved captures opened for review in the real window: Ctrl+O answered
// through the prompts, the scroll bar across the whole file, peak detect,
// the measurement window, F5 of what is open, bad files, and F2 back to live.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "acquisition/ControlIds.h"
#include "acquisition/MemoryProfile.h"
#include "app/MeasurementDlg.h"
#include "app/ScopeDlg.h"
#include "app/Translation.h"
#include "output/CsvExport.h"
#include "simulator/SimulatedDriver.h"
#include "support/AnsweringPrompts.h"
#include "WindowMenu.h"

namespace kestrova {
namespace {

std::string BytesOfFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("(missing)");
}

void WriteBytesTo(const QString& path, const std::string& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// The command-line client's layout at 2 ms/div: each frame's time from 0,
// channel 1 of frame f starting at f mod 97.
std::string ClientCsv(int frames) {
  ScopeSettings settings;
  SampleBuffer ring;
  ring.Allocate();
  ring.captureTimePerDivision = 20;
  std::string text(kCsvHeaderLine);
  for (int f = 0; f < frames; ++f) {
    for (int c = 0; c < kChannelCount; ++c) {
      int i = 0;
      for (double& v : ring.Values(0, c)) v = (f % 97) + c * 20 + (i++ % 50) * 0.5;
    }
    long long microseconds = 0;
    AppendCsvFrame(text, settings, ring, 0, microseconds);
  }
  return text;
}

class ReviewWindowTest : public ::testing::Test {
 protected:
  ReviewWindowTest() : bench_(std::make_shared<SimulatedBench>()) {
    dialog_ = std::make_unique<CScopeDlg>(MakeSimulatedDriverLoader(bench_), profile_, prompts_);
    dialog_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
  }

  QString File(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }

  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int id = ctl::TimeList) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(dialog_->Panel().Controls().Find(id), &press);
  }

  void ChooseFromMenu(Qt::Key mnemonic) {
    EXPECT_TRUE(test::ChooseFromWindowMenu(*dialog_, mnemonic)) << "no menu came up";
  }

  // Ctrl+O (or the menu's item) with the dialog answered; waits for the
  // outcome.
  void Open(const QString& path, bool fromMenu = false) {
    prompts_.openPath = path.toStdString();
    const std::size_t messages = prompts_.messages.size();
    const CaptureReview* before = dialog_->Review();
    if (fromMenu) {
      ChooseFromMenu(Qt::Key_O);
    } else {
      Key(Qt::Key_O, Qt::ControlModifier);
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          return !dialog_->OpeningCapture() &&
                 (dialog_->Review() != before || prompts_.messages.size() > messages);
        },
        20000));
  }

  // The display once the window has painted what it was asked to.
  QImage Picture() {
    QCoreApplication::processEvents();
    return dialog_->DisplayImage();
  }

  // F5 to `path`, replacing what is there.
  void SaveTo(const QString& path) {
    prompts_.savePath = path.toStdString();
    prompts_.yes = true;
    Key(Qt::Key_F5);
  }

  QTemporaryDir dir_;
  std::shared_ptr<SimulatedBench> bench_;
  MemoryProfile profile_;
  test::AnsweringPrompts prompts_;
  std::unique_ptr<CScopeDlg> dialog_;
};

// F5 of a live capture as a session, opened and saved as CSV, gives F5's
// CSV of the live capture byte for byte: one frame at 2 ms/div, the history
// at 10 ms/div.
TEST_F(ReviewWindowTest, ASessionSavedOpenedAndSavedAsCsvIsTheLiveCsv) {
  CScopeDlg& dlg = *dialog_;
  for (const int frames : {1, 100}) {
    SCOPED_TRACE(frames);
    Key(Qt::Key_F2);
    ASSERT_TRUE(dlg.Running());
    if (frames == 100) {
      Key(Qt::Key_Down);  // 5 ms
      Key(Qt::Key_Down);  // 10 ms
      ASSERT_EQ(dlg.Settings().timePerDivision, 100);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Buffer().frameCount >= frames; }, 30000));
    Key(Qt::Key_F3);
    SaveTo(File("live.sr"));
    SaveTo(File("live.csv"));
    Open(File("live.sr"));
    ASSERT_NE(dlg.Review(), nullptr) << prompts_.messages.back();
    EXPECT_EQ(dlg.Review()->Info().frameCount, dlg.Buffer().captureFrames == 1 && frames == 1 ? 1 : 100);
    EXPECT_FALSE(dlg.Session().IsOpen());  // the unit stays closed for a review
    SaveTo(File("again.csv"));
    EXPECT_EQ(BytesOfFile(File("again.csv")), BytesOfFile(File("live.csv")));
  }
  // F2 leaves the review and runs the unit as before.
  Key(Qt::Key_F2);
  EXPECT_EQ(dlg.Review(), nullptr);
  EXPECT_TRUE(dlg.Running());
  EXPECT_FALSE(dlg.windowTitle().contains(QStringLiteral("live.sr")));
  Key(Qt::Key_F3);
}

// A client capture of 300 frames: its name in the title, the bar across all
// of it a frame a step, the last frame reached; at a history time base peak
// detect and the measurement window work on what is shown.
TEST_F(ReviewWindowTest, ALongCaptureScrollsToItsLastFrame) {
  CScopeDlg& dlg = *dialog_;
  WriteBytesTo(File("night.csv"), ClientCsv(300));
  Open(File("night.csv"));
  ASSERT_NE(dlg.Review(), nullptr) << prompts_.messages.back();
  EXPECT_TRUE(dlg.windowTitle().startsWith(QStringLiteral("night.csv")));
  auto* bar = dlg.Panel().Controls().FindAs<QScrollBar>(ctl::HistoryScroll);
  EXPECT_EQ(bar->maximum(), 299);
  // The bar's right arrow: one frame on.
  QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() - 3, bar->height() / 2));
  EXPECT_EQ(dlg.Review()->Position(), 1);
  EXPECT_EQ(dlg.Buffer().Values(0, 0)[0], 1.0);
  for (int k = 0; k < 30; ++k) Key(Qt::Key_PageDown, Qt::NoModifier, ctl::HistoryScroll);
  EXPECT_EQ(bar->value(), 299);
  EXPECT_EQ(dlg.Buffer().Values(0, 0)[0], 299 % 97);
  EXPECT_EQ(dlg.Buffer().Values(0, 1)[3], 299 % 97 + 20 + 1.5);
  dlg.grab().save(QStringLiteral(KESTROVA_TEST_OUTPUT_DIR "/review_long_capture.png"));

  // The history's 200 us samples: at 20 ms/div two frames a screen.
  WriteBytesTo(File("history.csv"), [] {
    std::string text(kCsvHeaderLine);
    for (int line = 0; line < 500 * 12; ++line)
      text += QString::asprintf("%d.%06d, %.4f, 1.0000, 2.0000, 3.0000\r\n", line / 5000, line % 5000 * 200,
                                (line % 2) * 40.0 + 30.0)
                  .toStdString();
    return text;
  }());
  Open(File("history.csv"), /*fromMenu=*/true);
  ASSERT_EQ(dlg.Review()->Info().timePerDivision, 100);
  Key(Qt::Key_Down);  // 20 ms
  Key(Qt::Key_Down);  // 50 ms: five frames a screen
  EXPECT_EQ(bar->maximum(), 12 - 5);
  Key(Qt::Key_Up, Qt::NoModifier);
  Key(Qt::Key_Up, Qt::NoModifier);
  Key(Qt::Key_Up, Qt::NoModifier);  // 5 ms spaces samples otherwise: refused
  EXPECT_EQ(dlg.Settings().timePerDivision, 100);
  Key(Qt::Key_Down);
  Key(Qt::Key_Down);
  ASSERT_EQ(dlg.Settings().timePerDivision, 500);
  const QImage plain = Picture();
  ChooseFromMenu(Qt::Key_P);
  const QImage peaks = Picture();
  // Every column spans both alternating values: a band from 30 to 70.
  const auto traceRows = [](const QImage& picture, int x) {
    int rows = 0;
    for (int y = 20; y < 420; ++y) rows += picture.pixel(x, y) == qRgb(0, 255, 0) ? 1 : 0;
    return rows;
  };
  EXPECT_GT(traceRows(peaks, 300), 100);
  EXPECT_LT(traceRows(plain, 300), traceRows(peaks, 300));
  Key(Qt::Key_F7);
  ASSERT_NE(dlg.MeasurementWindow(), nullptr);
  EXPECT_TRUE(dlg.MeasurementWindow()->isVisible());
}

// Bad files: the library's message, posted; the picture and the review on
// screen stay.
TEST_F(ReviewWindowTest, ABadFileSaysWhatIsWrongAndKeepsThePicture) {
  CScopeDlg& dlg = *dialog_;
  WriteBytesTo(File("good.csv"), ClientCsv(3));
  Open(File("good.csv"));
  ASSERT_NE(dlg.Review(), nullptr);
  const std::string good = ClientCsv(3);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {good.substr(0, good.find("\r\n", 200)) + ", 5\r\n", "열이 5개보다 많습니다"},
      {std::string(kCsvHeaderLine) + "0.000000, 1, x, 3, 4\r\n0.000040, 1, 2, 3, 4\r\n",
       "숫자가 아닙니다 ('x')"},
      {"PK\x03\x04 not a zip at all", ""},
  };
  for (const auto& [bytes, message] : cases) {
    SCOPED_TRACE(message);
    const QImage before = Picture();
    const std::size_t count = prompts_.messages.size();
    WriteBytesTo(File("bad.csv"), bytes);
    Open(File("bad.csv"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompts_.messages.size() > count; }, 20000));
    EXPECT_NE(prompts_.messages.back().find(message), std::string::npos) << prompts_.messages.back();
    EXPECT_FALSE(prompts_.messages.back().empty());
    EXPECT_EQ(dlg.Review()->FileName(), "good.csv");
    EXPECT_EQ(Picture(), before);
  }
}

#ifdef KESTROVA_HAS_TRANSLATIONS

// In English the reader's message is English throughout: the line, the
// reason and the value read, in the translation's order; a note too.
TEST_F(ReviewWindowTest, ABadFileSaysWhatIsWrongInTheWindowsLanguage) {
  const Translation english(QStringLiteral("en"));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {std::string(kCsvHeaderLine) + "0.000000, 1, x, 3, 4\r\n0.000040, 1, 2, 3, 4\r\n",
       "Line 2: column 3 is not a number ('x')"},
      {std::string(kCsvHeaderLine) + "0.000000, 1, 2, 3, 4\r\n0.000030, 1, 2, 3, 4\r\n",
       "No time base matches the sample spacing of 0.000030 s: shown at the nearest, 2 ms/div"},
  };
  for (const auto& [bytes, message] : cases) {
    const std::size_t count = prompts_.messages.size();
    WriteBytesTo(File("capture.csv"), bytes);
    Open(File("capture.csv"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompts_.messages.size() > count; }, 20000));
    EXPECT_EQ(prompts_.messages.back(), message);
  }
}

#endif

}  // namespace
}  // namespace kestrova
