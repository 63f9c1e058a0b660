// The window's language: which one is chosen, the texts the real window
// shows in it, that every text fits its place in each language, and that
// nothing the program writes depends on it.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "acquisition/ControlIds.h"
#include "acquisition/MemoryProfile.h"
#include "acquisition/SettingsPersistence.h"
#include "app/CommandLine.h"
#include "app/DataOutputCommands.h"
#include "app/DialogBuilder.h"
#include "app/MeasurementDlg.h"
#include "app/QtPrompts.h"
#include "app/RunControl.h"
#include "app/ScopeDlg.h"
#include "app/Translation.h"
#include "device/CommandProtocol.h"
#include "device/DeviceDiscovery.h"
#include "device/DeviceSession.h"
#include "output/CsvExport.h"
#include "output/RealSaveControls.h"
#include "output/RealTimeLogger.h"
#include "resources/DialogTemplate.h"
#include "simulator/SimulatedDriver.h"
#include "support/AnsweringPrompts.h"
#include "WindowMenu.h"

namespace kestrova {

namespace {

TEST(ChooseLanguage, FollowsTheDesktopUnlessAsked) {
  struct Case {
    const char* asked;
    QStringList desktop;
    QStringList available;
    const char* chosen;  // "" for none
  };
  const QStringList both = {"en", "ko"};
  const std::vector<Case> cases = {
      {"", {"en-US", "en"}, both, "en"},
      {"", {"ko-KR", "ko"}, both, "ko"},
      {"", {"ko_KR"}, both, "ko"},
      {"", {"de-DE", "de"}, both, "en"},                      // no German: English
      {"", {"de-DE", "ko-KR"}, both, "ko"},                   // the first one spoken
      {"", {"fr", "en-GB", "ko"}, both, "en"},                // in the desktop's order
      {"", {"de-DE", "ko"}, {"de", "en", "ko"}, "de"},        // a translation added
      {"", {"pt-BR"}, {"en", "ko", "pt", "pt_BR"}, "pt_BR"},  // the country's first
      {"", {"en-US"}, {"ko"}, "ko"},                          // built without translations
      {"", {"C"}, both, "ko"},                                // no language set
      {"", {"POSIX"}, both, "ko"},
      {"", {}, both, "ko"},
      {"ko", {"en-US"}, both, "ko"},
      {"en", {"ko-KR"}, both, "en"},
      {"en", {"C"}, both, "en"},
      {"fr", {"fr-FR"}, both, ""},  // --lang for a language the program lacks
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseLanguage(QString::fromLatin1(c.asked), c.desktop, c.available).toStdString(), c.chosen)
        << c.asked << " / " << c.desktop.join(u',').toStdString();
  }
}

#ifdef KESTROVA_HAS_TRANSLATIONS
TEST(ChooseLanguage, TheProgramCarriesEnglish) {
  EXPECT_EQ(AvailableLanguages(), (QStringList{"en", "ko"}));
}
#endif

TEST(ChooseLanguage, TheCommandLineChoosesForOneRun) {
  struct Case {
    std::vector<std::string> arguments;
    CommandLineOptions::Action action;
    std::string language;
  };
  using Action = CommandLineOptions::Action;
  const std::vector<Case> cases = {
      {{}, Action::Run, ""},
      {{"--lang=en"}, Action::Run, "en"},
      {{"--lang", "ko", "--simulate"}, Action::Run, "ko"},
      {{"--lang=ko", "--lang=en"}, Action::Run, "en"},
      {{"--lang=pt_BR"}, Action::Run, "pt_BR"},  // whether it is there is known with Qt
      {{"--lang=EN"}, Action::Error, ""},
      {{"--lang=e"}, Action::Error, ""},
      {{"--lang=en_us"}, Action::Error, ""},
      {{"--lang=../x"}, Action::Error, ""},
      {{"--lang="}, Action::Error, ""},
      {{"--lang"}, Action::Error, ""},
  };
  for (const Case& c : cases) {
    const CommandLineOptions options = ParseCommandLine(c.arguments);
    EXPECT_EQ(options.action, c.action) << options.error;
    if (c.action == Action::Run) {
      EXPECT_EQ(options.language, c.language);
    }
    // Checked before Qt starts too, its value taken along.
    EXPECT_EQ(ParseOptionsBeforeQt(c.arguments).action, c.action);
  }
  EXPECT_NE(HelpText(true).find("--lang=LANGUAGE"), std::string::npos);
}

TEST(OverwriteQuestions, PutThePathIntoTheWordingOnce) {
  // A path that itself holds the mark is not filled in again.
  EXPECT_EQ(CsvOverwriteQuestion("/a/%1.csv"), "/a/%1.csv 파일이 이미 있읍니다\n파일를 덮어 쓰시겠습니까?");
  EXPECT_EQ(RealSaveOverwriteQuestion("b.txt", "%1 exists; replace %1?"), "b.txt exists; replace b.txt?");
}

// A reader's message: untranslated, the Korean text as it always was; in
// another language every marked part translated, nested ones too, each
// value put where the translation puts its place, and a value that holds a
// place mark of its own left as it is.
TEST(ReaderMessages, ComposeInEitherLanguage) {
  const LocalText message("%1번째 줄: %2", {LocalText::Plain(3LL),
                                            LocalText("%1번째 열이 숫자가 아닙니다 ('%2')",
                                                      {LocalText::Plain(2LL), LocalText::Plain("%1%2%")})});
  EXPECT_EQ(message.Compose(), "3번째 줄: 2번째 열이 숫자가 아닙니다 ('%1%2%')");
  const LocalText::Translate swapped = [](std::string_view source) -> std::string {
    if (source == "%1번째 줄: %2") return "%2 at line %1";
    if (source == "%1번째 열이 숫자가 아닙니다 ('%2')") return "'%2' in column %1";
    return std::string(source);
  };
  EXPECT_EQ(message.Compose(swapped), "'%1%2%' in column 2 at line 3");
  EXPECT_TRUE(LocalText().Empty());
  EXPECT_FALSE(LocalText::Plain("").Empty());
  EXPECT_EQ(WithArguments("%3 %1 %9 100%", {"a", "b", "c"}), "c a %9 100%");
}

#ifdef KESTROVA_HAS_TRANSLATIONS

// The texts the window shows in one language.
struct ShownTexts {
  std::string invalidInput;
  std::string noData;
  std::string logWriteFailed;
  std::string linkLost;
  std::vector<std::string> menu;
  std::string measurementTitle;
  std::vector<std::string> headers;
  std::string copy;
};

ShownTexts English() {
  return {"Invalid input data",
          "There is no data to save.",
          "The real-time log file could not be written.",
          "USB communication failed; the USB port is closed",
          {"&Peak Detect", "&Measurements...\tF7", "&Open...\tCtrl+O", "&About Kestrova..."},
          "Measurements",
          {"Min", "Max", "Peak-peak", "Mean", "RMS", "Frequency", "Period", "Duty"},
          "&Copy"};
}

// Today's Korean texts, the program's source texts.
ShownTexts Korean() {
  return {"데이터 입력이 잘못되었습니다",
          "기록할 데이터가 없습니다.",
          "실시간 데이터 기록 파일에 쓰는데 실패하였습니다.",
          "USB통신에 문제가 발생하여 USB 포트를 닫습니다",
          {"피크 검출(&P)", "측정(&M)...\tF7", "열기(&O)...\tCtrl+O", "Kestrova 정보(&A)..."},
          "측정",
          {"최소", "최대", "피크-피크", "평균", "RMS", "주파수", "주기", "듀티"},
          "복사(&C)"};
}

struct LanguageCase {
  const char* name;
  const char* asked;  // as --lang gives it
  QStringList desktop;
  bool english;
};

void PrintTo(const LanguageCase& language, std::ostream* out) {
  *out << language.name;
}

class WindowLanguageTest : public ::testing::TestWithParam<LanguageCase> {
 protected:
  WindowLanguageTest()
      : translation_(
            ChooseLanguage(QString::fromLatin1(GetParam().asked), GetParam().desktop, AvailableLanguages())),
        bench_(std::make_shared<SimulatedBench>()) {
    dialog_ = std::make_unique<CScopeDlg>(MakeSimulatedDriverLoader(bench_), profile_, prompts_);
    dialog_->show();
  }

  QWidget* Control(int id) const { return dialog_->Panel().Controls().Find(id); }
  void Press(Qt::Key key) { QTest::keyClick(Control(ctl::TimeList), key); }

  // The texts of the menu a right click beside the controls brings up.
  std::vector<std::string> MenuTexts() {
    std::vector<std::string> texts;
    test::WithWindowMenu(*dialog_, [&texts](QMenu& menu) {
      for (const QAction* action : menu.actions()) {
        if (!action->isSeparator()) texts.push_back(action->text().toStdString());
      }
      menu.close();
    });
    return texts;
  }

  // Where a picture of what the test saw goes, for a look by eye.
  static QString Picture(const char* what) {
    return QStringLiteral(KESTROVA_TEST_OUTPUT_DIR "/%1_%2.png")
        .arg(QString::fromLatin1(what), QString::fromLatin1(GetParam().name));
  }

  Translation translation_;
  std::shared_ptr<SimulatedBench> bench_;
  MemoryProfile profile_;
  test::AnsweringPrompts prompts_;
  std::unique_ptr<CScopeDlg> dialog_;
  QTemporaryDir directory_;
};

// One walk through the window's messages, menu and measurement window.
TEST_P(WindowLanguageTest, TheWindowSpeaksTheChosenLanguage) {
  const ShownTexts expected = GetParam().english ? English() : Korean();

  // A failed input check.
  dialog_->Panel().SetText(ctl::YMaxEdit, "1,5");
  Press(Qt::Key_F2);
  dialog_->Panel().SetText(ctl::YMaxEdit, "100");
  // File Save with nothing captured.
  Press(Qt::Key_F5);
  ASSERT_EQ(prompts_.messages, (std::vector<std::string>{expected.invalidInput, expected.noData}));

  EXPECT_EQ(MenuTexts(), expected.menu);
  Press(Qt::Key_F7);
  CMeasurementDlg* measurements = dialog_->MeasurementWindow();
  ASSERT_NE(measurements, nullptr);
  EXPECT_EQ(measurements->windowTitle().toStdString(), expected.measurementTitle);
  std::vector<std::string> headers;
  QString copied = QStringLiteral("Ch");
  for (int c = 0; c < measurements->Table().columnCount(); ++c) {
    headers.push_back(measurements->Table().horizontalHeaderItem(c)->text().toStdString());
    copied += u'\t' + measurements->Table().horizontalHeaderItem(c)->text();
  }
  EXPECT_EQ(headers, expected.headers);
  EXPECT_EQ(measurements->TableText().substr(0, measurements->TableText().find('\n')), copied.toStdString());
  const auto* copy = measurements->findChild<QPushButton*>();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->text().toStdString(), expected.copy);
  measurements->grab().save(Picture("measurements"));
  measurements->close();

  // A full disk under the log, then a lost link.
  const std::string log = directory_.filePath(QStringLiteral("log.txt")).toStdString();
  std::error_code linked;
  std::filesystem::create_symlink("/dev/full", log, linked);
  if (linked) GTEST_SKIP() << "no /dev/full here";
  QWidget* enable = Control(ctl::RealSaveEnable);
  QTest::mouseClick(enable, Qt::LeftButton, {}, QPoint(6, enable->height() / 2));
  prompts_.savePath = log;
  prompts_.yes = true;
  QTest::mouseClick(dialog_->Panel().Controls().FindAs<QAbstractButton>(ctl::RealSaveBrowse), Qt::LeftButton);
  Press(Qt::Key_F2);
  ASSERT_TRUE(dialog_->Running());
  ASSERT_TRUE(QTest::qWaitFor([&] { return prompts_.messages.size() == 3; }, 30000)) << "no log message";
  EXPECT_EQ(prompts_.messages.back(), expected.logWriteFailed);
  bench_->Vanish("SIM00001");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog_->Running(); }, 20000));
  EXPECT_EQ(dialog_->Panel().Text(ctl::StatusLine), expected.linkLost);
  dialog_->grab().save(Picture("window"));
}

const std::array kLanguages = {
    LanguageCase{"English", "en", {"ko-KR"}, true},
    LanguageCase{"Korean", "ko", {"en-US"}, false},
    LanguageCase{"NoLanguageSet", "", {"C"}, false},
};
INSTANTIATE_TEST_SUITE_P(Languages, WindowLanguageTest, ::testing::ValuesIn(kLanguages),
                         [](const auto& info) { return std::string(info.param.name); });

// The real message boxes show every line of the English texts whole, with
// Qt's own buttons in English too.
TEST(MessageBoxes, ShowEveryLineOfTheEnglishTexts) {
  const Translation translation(QStringLiteral("en"));
  QWidget parent;
  QtPrompts prompts(&parent);
  int shown = 0;
  QTimer reader;
  QObject::connect(&reader, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    EXPECT_NE(label, nullptr);
    if (label != nullptr) {
      // Each line of the text as the label lays it out, whole.
      EXPECT_LE(label->heightForWidth(label->width()), label->height()) << label->text().toStdString();
      EXPECT_TRUE(label->wordWrap() ||
                  QFontMetrics(label->font()).horizontalAdvance(label->text()) <= label->width());
    }
    std::vector<std::string> buttons;
    for (QAbstractButton* button : box->buttons())
      buttons.push_back(button->text().remove(u'&').toStdString());
    EXPECT_TRUE(buttons == std::vector<std::string>{"OK"} ||
                buttons == (std::vector<std::string>{"Yes", "No"}))
        << buttons.front();
    box->grab().save(QStringLiteral(KESTROVA_TEST_OUTPUT_DIR "/message_%1_English.png").arg(++shown));
    box->done(QMessageBox::No);
  });
  reader.start(20);
  prompts.ShowMessage(TrUtf8(kRealSaveCreateFailedMessage), PromptIcon::Stop);
  (void)prompts.AskYesNo(CsvOverwriteQuestion("/home/user/measurements/a rather long folder name/run 12.csv",
                                              TrUtf8(kCsvOverwriteWording)));
  EXPECT_EQ(shown, 2);
}

// What a control needs to show its text whole, in its font: false with a
// note when it does not fit.
::testing::AssertionResult Fits(const QWidget& widget) {
  const QFontMetrics metrics(widget.font());
  QString text;
  int room = widget.width();
  int lines = 1;
  if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
    text = label->text();
  } else if (const auto* group = qobject_cast<const QGroupBox*>(&widget)) {
    text = group->title();
    room -= 6 + 2;  // the title's place and padding
  } else if (const auto* box = qobject_cast<const QAbstractButton*>(&widget)) {
    text = box->text();
    if (qobject_cast<const QPushButton*>(&widget) != nullptr) {
      room -= 2 * 4;  // the text margin SetButtonText leaves
    } else {
      // The box or circle and the gap before the text.
      room = widget.width() - widget.style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &widget) -
             widget.style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, &widget);
    }
  }
  int widest = 0;
  const QStringList parts = text.split(u'\n');
  lines = static_cast<int>(parts.size());
  for (const QString& line : parts) widest = std::max(widest, metrics.horizontalAdvance(line));
  if (text.isEmpty() || (widest <= room && lines * metrics.height() <= widget.height() + 2))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << '"' << text.toStdString() << "\" needs " << widest << " px, " << lines << " line(s); control "
         << ControlIdOf(&widget) << " has " << room << " px by " << widget.height();
}

class FitTest : public ::testing::TestWithParam<const char*> {
 protected:
  Translation translation_{QString::fromLatin1(GetParam())};
};

// Every caption of the three dialogs, and the texts the program puts into
// the status line and the reply box, fit at the windows' sizes.
TEST_P(FitTest, EveryTextFitsItsControl) {
  MemoryProfile profile;
  test::AnsweringPrompts prompts;
  CScopeDlg window(MakeSimulatedDriverLoader(std::make_shared<SimulatedBench>()), profile, prompts);
  window.show();
  for (const QWidget* control : window.Panel().Controls().InOrder()) EXPECT_TRUE(Fits(*control));
  for (const res::DialogTemplate* dialogTemplate :
       {&res::AboutDialogTemplate(), &res::CommandDialogTemplate()}) {
    QDialog dialog;
    const DialogControls controls = DialogBuilder::Build(dialog, *dialogTemplate);
    for (const QWidget* control : controls.InOrder()) EXPECT_TRUE(Fits(*control));
  }

  const auto fitsField = [](const QWidget& field, std::string_view text) {
    const int needed = QFontMetrics(field.font()).horizontalAdvance(Tr(text));
    EXPECT_LE(needed, field.contentsRect().width() - 4) << text;
  };
  for (const std::string_view status : {kLinkLostText, kDriverLoadFailedText, kPortOpenFailedText})
    fitsField(*window.Panel().Controls().Find(ctl::StatusLine), status);
  fitsField(*window.Panel().Controls().Find(ctl::UnitReply), kDeviceSearchFailedText);

  // The measurement window shows every column without scrolling.
  QTest::keyClick(window.Panel().Controls().Find(ctl::TimeList), Qt::Key_F7);
  ASSERT_NE(window.MeasurementWindow(), nullptr);
  QTableWidget& table = window.MeasurementWindow()->Table();
  EXPECT_LE(table.verticalHeader()->width() + table.horizontalHeader()->length(), table.viewport()->width());
}

INSTANTIATE_TEST_SUITE_P(Languages, FitTest, ::testing::Values("ko", "en"),
                         [](const auto& info) { return std::string(info.param); });

// Everything the program writes, made from the same data in each language.
struct Written {
  std::string csv;
  std::string picture;
  std::string log;
  std::vector<std::pair<std::string, std::string>> settings;
  std::string configuration;
  std::vector<std::string> messages;
};

std::string ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("(missing)");
}

Written WriteEverything(const QString& language, const QTemporaryDir& directory) {
  const Translation translation(language);
  const QString prefix = directory.filePath(language);
  ScopeSettings settings;
  SampleBuffer buffer;
  buffer.Allocate();
  for (int slot = 0; slot < 3; ++slot) {
    for (int c = 0; c < kChannelCount; ++c) {
      const auto values = buffer.Values(slot, c);
      for (std::size_t i = 0; i < values.size(); ++i) values[i] = (static_cast<double>(i) * 0.37) - c + slot;
    }
  }
  buffer.frameCount = buffer.captureFrames = 3;
  buffer.captureEnd = 3;
  buffer.captureTimePerDivision = 100;  // a history time base: all three frames

  Written written;
  test::AnsweringPrompts prompts;
  prompts.savePath = (prefix + QStringLiteral(".csv")).toStdString();
  SaveCsvFile(prompts, settings, buffer);
  QImage picture(64, 48, QImage::Format_RGB32);
  picture.fill(qRgb(12, 34, 56));
  prompts.savePath = (prefix + QStringLiteral(".bmp")).toStdString();
  SaveScreenPicture(prompts, [&picture] { return picture; });
  written.csv = ReadAll(prefix + QStringLiteral(".csv"));
  written.picture = ReadAll(prefix + QStringLiteral(".bmp"));
  written.messages = prompts.messages;

  RealTimeLogger logger([] { return 1000U; }, [] { return LocalTime{2026, 12, 10, 1, 2, 3, 456}; });
  settings.realSaveEnable = 1;
  settings.realSavePath = (prefix + QStringLiteral(".txt")).toStdString();
  logger.BeginRealSave();
  EXPECT_EQ(logger.CreateRealSaveFile(settings), RealSaveStart::Logging);
  logger.MarkRunStart();
  for (int frame = 0; frame < 3; ++frame) {
    buffer.writeIndex = frame;
    logger.WriteRealSaveLine(settings, buffer);
  }
  logger.EndRealSave();
  written.log = ReadAll(prefix + QStringLiteral(".txt"));

  // The settings the window stores when it closes.
  MemoryProfile profile;
  { CScopeDlg(MakeSimulatedDriverLoader(std::make_shared<SimulatedBench>()), profile, prompts).show(); }
  for (const SettingsKey& key : SettingsKeyTable()) {
    const std::optional<int> number = profile.StoredInt(kSettingsSection, key.name);
    const std::optional<std::string> text = profile.StoredText(kSettingsSection, key.name);
    written.settings.emplace_back(key.name, number ? std::to_string(*number) : text.value_or("(none)"));
  }
  written.configuration = ConfigurationCommand(ControlWord(settings, 0, true), LevelWord(settings));
  return written;
}

TEST(WrittenFiles, AreTheSameInEveryLanguage) {
  QTemporaryDir directory;
  const Written korean = WriteEverything(QStringLiteral("ko"), directory);
  const Written english = WriteEverything(QStringLiteral("en"), directory);
  EXPECT_NE(korean.messages, english.messages) << "the English texts were not in effect";
  EXPECT_GT(korean.csv.size(), 1500U);
  EXPECT_EQ(korean.csv, english.csv);
  EXPECT_GT(korean.picture.size(), 64U * 48U * 3U);
  EXPECT_EQ(korean.picture, english.picture);
  EXPECT_NE(korean.log.find("\r\n"), std::string::npos);
  EXPECT_EQ(korean.log, english.log);
  EXPECT_FALSE(korean.settings.empty());
  EXPECT_EQ(korean.settings, english.settings);
  EXPECT_EQ(korean.configuration, english.configuration);
}

#endif  // KESTROVA_HAS_TRANSLATIONS

}  // namespace
}  // namespace kestrova
