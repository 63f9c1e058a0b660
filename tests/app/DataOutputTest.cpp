#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "acquisition/ControlIds.h"
#include "acquisition/MemoryProfile.h"
#include "app/DataOutputCommands.h"
#include "app/QtPrompts.h"
#include "app/ScopeDlg.h"
#include "captures/Capture.h"
#include "output/BitmapFile.h"
#include "output/CsvExport.h"
#include "simulator/SimulatedDriver.h"

namespace kestrova {
namespace {

// Answers the dialogs as told and keeps, in order, everything put to the user.
class ScriptedPrompts : public Prompts {
 public:
  void ShowMessage(std::string_view text, PromptIcon icon) override {
    const char* mark = icon == PromptIcon::Information ? "info"
                       : icon == PromptIcon::Stop      ? "stop"
                       : icon == PromptIcon::Question  ? "question"
                                                       : "exclamation";
    seen.push_back(std::string(mark) + ": " + std::string(text));
  }
  bool AskYesNo(std::string_view text) override {
    seen.push_back("ask: " + std::string(text));
    return yes;
  }
  std::optional<std::string> AskSaveFileName(std::string_view title, std::string_view filter,
                                             std::string_view extension) override {
    seen.push_back("save: " + std::string(title) + " | " + std::string(filter) + " | " +
                   std::string(extension));
    return savePath;
  }
  std::optional<std::string> AskOpenFileName(std::string_view title, std::string_view filter) override {
    seen.push_back("open: " + std::string(title) + " | " + std::string(filter));
    return std::nullopt;
  }

  std::optional<std::string> savePath;
  bool yes = false;
  std::vector<std::string> seen;
};

std::string ReadAll(const std::string& path) {
  if (path.empty()) return "(missing)";
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return "(missing)";
  return file.readAll().toStdString();
}

void WriteAll(const std::string& path, const std::string& bytes) {
  QFile file(QString::fromStdString(path));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// A picture whose every pixel differs from its neighbours, odd-sized.
QImage KnownPicture() {
  QImage picture(37, 23, QImage::Format_RGB32);
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x)
      picture.setPixel(x, y, qRgb(x * 7, y * 11, (x * 5 + y * 3) % 256));
  }
  return picture;
}

class DataOutputTest : public ::testing::Test {
 protected:
  DataOutputTest() {
    buffer_.Allocate();
    buffer_.frameCount = 1;
    buffer_.captureFrames = 1;
    buffer_.captureTimePerDivision = 20;
    buffer_.captureEnd = 1;
  }
  std::string File(const char* name) const { return dir_.filePath(QString::fromUtf8(name)).toStdString(); }

  QTemporaryDir dir_;
  ScriptedPrompts prompts_;
  ScopeSettings settings_;
  SampleBuffer buffer_;
};

struct CommandCase {
  const char* what;
  bool stored;                            // a frame is stored / a picture is captured
  const char* chosen;                     // the dialog's answer, or nullptr for Cancel
  bool yes;                               // the answer to the overwrite question
  std::vector<std::string> expectedSeen;  // with "@" for the chosen path
  std::string after;                      // how the chosen file starts afterwards
};

std::vector<std::string> WithPath(std::vector<std::string> lines, const std::string& path) {
  for (std::string& line : lines) {
    if (const std::size_t at = line.find('@'); at != std::string::npos) line.replace(at, 1, path);
  }
  return lines;
}

TEST_F(DataOutputTest, FileSaveAsksAndReportsAsItShould) {
  const std::string dialog =
      "save: 데이터 기록 파일 저장 | 데이터 기록 파일 (*.csv);;sigrok session (*.sr) | csv";
  const std::string question = "ask: @ 파일이 이미 있읍니다\n파일를 덮어 쓰시겠습니까?";
  const std::string saved = "info: 데이터 기록 파일을 성공적으로 저장하였습니다";
  const std::string failed = "stop: 데이터 기록 파일을 쓰는 도중 에러가 발생했습니다";
  const std::string csv = "Time(sec), Channel1, Channel2, Channel3, Channel4\r\n0.000000, 0.0000, ";
  WriteAll(File("plain"), "x");
  const std::vector<CommandCase> cases = {
      {"no data", false, "old.csv", true, {"exclamation: 기록할 데이터가 없습니다."}, "old bytes"},
      {"cancelled", true, nullptr, true, {dialog}, "(missing)"},
      {"not replaced", true, "old.csv", false, {dialog, question}, "old bytes"},
      {"replaced", true, "old.csv", true, {dialog, question, saved}, csv},
      {"new file", true, "new.csv", true, {dialog, saved}, csv},
      {"cannot be created", true, "plain/new.csv", true, {dialog, failed}, "(missing)"},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = c.chosen != nullptr ? File(c.chosen) : std::string();
    WriteAll(File("old.csv"), "old bytes");
    QFile::remove(QString::fromStdString(File("new.csv")));
    buffer_.captureFrames = c.stored ? 1 : 0;
    prompts_.savePath = c.chosen != nullptr ? std::optional(path) : std::nullopt;
    prompts_.yes = c.yes;
    prompts_.seen.clear();
    SaveCsvFile(prompts_, settings_, buffer_);
    EXPECT_EQ(prompts_.seen, WithPath(c.expectedSeen, path));
    EXPECT_EQ(ReadAll(path).substr(0, c.after.size()), c.after);
  }
}

TEST_F(DataOutputTest, ScreenSaveAsksAndReportsAsItShould) {
  const std::string dialog = "save: 화면 비트맵 파일 저장 | 비트맵 파일 (*.bmp);;PNG 파일 (*.png) | bmp";
  const std::string question = "ask: @ 파일이 이미 있습니다\n파일를 덮어 쓰시겠습니까?";
  const std::string saved = "info: 화면을 성공적으로 저장하였습니다";
  const std::string failed = "stop: 화면 비트맵 파일을 저장하는데 실패하였습니다";
  WriteAll(File("plain"), "x");
  const std::vector<CommandCase> cases = {
      {"cancelled", true, nullptr, true, {dialog}, "(missing)"},
      {"not replaced", true, "old.bmp", false, {dialog, question}, "old bytes"},
      {"replaced", true, "old.bmp", true, {dialog, question, saved}, "BM"},
      {"cannot be created", true, "plain/new.bmp", true, {dialog, failed}, "(missing)"},
      {"nothing captured", false, "old.bmp", true, {dialog, question, failed}, "old bytes"},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = c.chosen != nullptr ? File(c.chosen) : std::string();
    WriteAll(File("old.bmp"), "old bytes");
    prompts_.savePath = c.chosen != nullptr ? std::optional(path) : std::nullopt;
    prompts_.yes = c.yes;
    prompts_.seen.clear();
    int captures = 0;
    SaveScreenPicture(prompts_, [&] {
      ++captures;
      return c.stored ? KnownPicture() : QImage();
    });
    EXPECT_EQ(prompts_.seen, WithPath(c.expectedSeen, path));
    // The window is captured only once the file is settled on.
    const bool reported =
        prompts_.seen.back().starts_with("info") || prompts_.seen.back().starts_with("stop");
    EXPECT_EQ(captures, reported ? 1 : 0);
    EXPECT_EQ(ReadAll(path).substr(0, c.after.size()), c.after);
  }
}

TEST_F(DataOutputTest, PicturesReadBackPixelForPixel) {
  const QImage picture = KnownPicture();
  for (const char* name : {"screen.bmp", "screen.PNG"}) {
    SCOPED_TRACE(name);
    const std::string path = File(name);
    ASSERT_TRUE(WriteScreenPicture(picture, path));
    const std::string bytes = ReadAll(path);
    const bool png = std::string(name).ends_with("PNG");
    EXPECT_EQ(bytes.substr(0, 4), png ? "\x89PNG" : "BM\x82\x0D");  // a BMP of 3458 bytes
    if (!png) {
      EXPECT_EQ(bytes.size(), 54U + 37U * 23U * 4U);
    }
    const QImage back(QString::fromStdString(path));
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), picture);
  }
  EXPECT_FALSE(WriteScreenPicture(QImage(), File("empty.bmp")));
  EXPECT_EQ(ReadAll(File("empty.bmp")), "(missing)");
}

TEST(QtPromptsTest, ABareNameTakesTheExtensionOfTheSelectedFilter) {
  QTemporaryDir dir;
  QtPrompts prompts;
  for (const bool png : {false, true}) {
    QTimer::singleShot(0, [&] {
      for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        if (dialog == nullptr || !dialog->isVisible()) continue;
        dialog->setDirectory(dir.path());
        if (png) dialog->selectNameFilter(QStringLiteral("PNG 파일 (*.png)"));
        dialog->selectFile(QStringLiteral("shot"));
        static_cast<QDialog*>(dialog)->accept();  // checks the name as the Save button does
      }
    });
    const std::optional<std::string> path = prompts.AskSaveFileName(
        kScreenSaveDialogTitle, kScreenSaveDialogQtFilter, kScreenSaveDefaultExtension);
    EXPECT_EQ(path,
              dir.filePath(png ? QStringLiteral("shot.png") : QStringLiteral("shot.bmp")).toStdString());
  }
}

// The whole window on the simulated unit: a run, Stop, then F5, the File
// Save button and F6.
TEST(DataOutputWindowTest, FunctionKeysAndButtonsSaveTheStoppedCapture) {
  QTemporaryDir dir;
  const auto path = [&dir](const char* name) { return dir.filePath(QString::fromUtf8(name)).toStdString(); };
  MemoryProfile profile;
  ScriptedPrompts prompts;
  CScopeDlg dlg(MakeSimulatedDriverLoader(std::make_shared<SimulatedBench>()), profile, prompts);
  dlg.show();
  QWidget* keys = dlg.Panel().Controls().Find(ctl::TimeList);

  QTest::keyClick(keys, Qt::Key_F2);
  ASSERT_TRUE(dlg.Running());
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Buffer().frameCount >= 1; }, 20000)) << "no frame arrived";
  QTest::keyClick(keys, Qt::Key_F5);  // running: ignored
  QTest::keyClick(keys, Qt::Key_F6);
  EXPECT_TRUE(prompts.seen.empty());
  QTest::keyClick(keys, Qt::Key_F3);
  ASSERT_FALSE(dlg.Running());

  prompts.savePath = path("key.csv");
  QTest::keyClick(keys, Qt::Key_F5);
  prompts.savePath = path("button.csv");
  QTest::mouseClick(dlg.Panel().Controls().FindAs<QAbstractButton>(ctl::FileSave), Qt::LeftButton);
  prompts.savePath = path("key.sr");
  QTest::keyClick(keys, Qt::Key_F5);
  prompts.savePath = path("screen.bmp");
  QTest::keyClick(keys, Qt::Key_F6);
  prompts.savePath = path("button.png");
  QTest::mouseClick(dlg.Panel().Controls().FindAs<QAbstractButton>(ctl::ScreenSave), Qt::LeftButton);

  EXPECT_EQ(std::count(prompts.seen.begin(), prompts.seen.end(),
                       "info: 데이터 기록 파일을 성공적으로 저장하였습니다"),
            3);
  EXPECT_EQ(std::count(prompts.seen.begin(), prompts.seen.end(), "info: 화면을 성공적으로 저장하였습니다"),
            2);
  // At "2 ms" the 500 samples of the frame on screen, 40 us apart.
  const std::string csv = ReadAll(path("key.csv"));
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 501);
  EXPECT_NE(csv.find("\r\n0.019960, "), std::string::npos);
  EXPECT_EQ(ReadAll(path("button.csv")), csv);
  // The session holds the same frame: the four ticked channels' values.
  OpenedCapture session = OpenCaptureFile(path("key.sr"));
  ASSERT_TRUE(session.source) << session.error.Compose();
  EXPECT_EQ(session.source->Info().timePerDivision, 20);
  EXPECT_EQ(session.source->Info().channels, (std::vector<int>{1, 2, 3, 4}));
  FrameBlock frame;
  LocalText error;
  ASSERT_TRUE(session.source->ReadFrames(0, 2, frame, error)) << error.Compose();
  ASSERT_EQ(frame.Count(), 1);
  const int newest = CaptureSlots(dlg.Buffer()).back();
  for (int c = 0; c < kChannelCount; ++c) {
    const auto stored = dlg.Buffer().Values(newest, c);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), frame.Samples(0, c).begin())) << c;
  }
  // The whole client area, as the window draws it.
  const QImage screen(QString::fromStdString(path("screen.bmp")));
  const QImage again(QString::fromStdString(path("button.png")));
  EXPECT_EQ(screen.size(), dlg.size());
  screen.save(QStringLiteral(KESTROVA_TEST_OUTPUT_DIR "/screen_save.png"));  // for a look by eye
  EXPECT_EQ(screen, again.convertToFormat(screen.format()));
  EXPECT_EQ(screen.copy(dlg.Panel().Controls().Find(ctl::Display)->geometry())
                .convertToFormat(QImage::Format_RGB32),
            dlg.DisplayImage().convertToFormat(QImage::Format_RGB32).copy(0, 0, 580, 460));
}

// The file as printf makes it from the given slots, the time accumulated
// by adding the sample step.
std::string ExpectedCsv(const CScopeDlg& dlg, const std::vector<int>& frames, double step) {
  const ScopeSettings& settings = dlg.Settings();
  const auto m = static_cast<std::size_t>(settings.Mode());
  std::string file = "Time(sec), Channel1, Channel2, Channel3, Channel4\r\n";
  double t = 0.0;
  std::array<char, 512> line{};
  for (const int slot : frames) {
    for (std::size_t i = 0; i < kSamplesPerFrame; ++i) {
      std::array<double, kChannelCount> v{};
      for (std::size_t c = 0; c < kChannelCount; ++c)
        v[c] = dlg.Buffer().Values(slot, static_cast<int>(c))[i] - settings.offset[m][c];
      const int n = std::snprintf(line.data(), line.size(), "%f, %.4f, %.4f, %.4f, %.4f\r\n", t, v[0], v[1],
                                  v[2], v[3]);
      file.append(line.data(), static_cast<std::size_t>(n));
      t += step;
    }
  }
  return file;
}

// A capture is exported as it was sampled, whatever time base the Time list
// shows when F5 is pressed.
TEST(DataOutputWindowTest, TheCsvFollowsTheTimeBaseOfTheCapture) {
  QTemporaryDir dir;
  MemoryProfile profile;
  ScriptedPrompts prompts;
  CScopeDlg dlg(MakeSimulatedDriverLoader(std::make_shared<SimulatedBench>()), profile, prompts);
  dlg.show();
  QWidget* keys = dlg.Panel().Controls().Find(ctl::TimeList);
  const auto capture = [&](int frames) {
    QTest::keyClick(keys, Qt::Key_F2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return dlg.Buffer().frameCount >= frames; }, 20000)) << "no frames";
    QTest::keyClick(keys, Qt::Key_F3);
  };
  const auto save = [&](const char* name) {
    prompts.savePath = dir.filePath(QString::fromUtf8(name)).toStdString();
    QTest::keyClick(keys, Qt::Key_F5);
    return ReadAll(*prompts.savePath);
  };

  // 10 ms per division: the history, 200 us apart; then "1 ms" is chosen.
  QTest::keyClick(keys, Qt::Key_Down);
  QTest::keyClick(keys, Qt::Key_Down);
  ASSERT_EQ(dlg.Panel().Text(ctl::TimeList), "10 ms");
  capture(3);
  const int frames = dlg.Buffer().frameCount;
  std::vector<int> stored;
  for (int k = 0; k < frames; ++k) stored.push_back(k);
  for (int k = 0; k < 3; ++k) QTest::keyClick(keys, Qt::Key_Up);
  ASSERT_EQ(dlg.Panel().Text(ctl::TimeList), "1 ms");
  const std::string history = save("history.csv");
  EXPECT_EQ(std::count(history.begin(), history.end(), '\n'), 1 + 500 * frames);
  EXPECT_TRUE(history == ExpectedCsv(dlg, stored, 0.0002)) << history.substr(0, 200);

  // 2 ms per division: the frame on screen, 40 us apart; then "1 s".
  QTest::keyClick(keys, Qt::Key_Home);
  for (int k = 0; k < 4; ++k) QTest::keyClick(keys, Qt::Key_Down);
  ASSERT_EQ(dlg.Panel().Text(ctl::TimeList), "2 ms");
  capture(2);
  QTest::keyClick(keys, Qt::Key_End);
  ASSERT_EQ(dlg.Panel().Text(ctl::TimeList), "1 s");
  const std::string single = save("single.csv");
  EXPECT_EQ(std::count(single.begin(), single.end(), '\n'), 501);
  EXPECT_TRUE(single == ExpectedCsv(dlg, {0}, 40e-6)) << single.substr(0, 200);
  EXPECT_EQ(std::count(prompts.seen.begin(), prompts.seen.end(),
                       "info: 데이터 기록 파일을 성공적으로 저장하였습니다"),
            2);
}

}  // namespace
}  // namespace kestrova
