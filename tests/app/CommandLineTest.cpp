#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "device/DriverChoice.h"
#include "simulator/SimulatedDriver.h"

namespace kestrova {
namespace {

using Action = CommandLineOptions::Action;

// The program's standard error is in text mode: lines end as the system ends them.
#ifdef _WIN32
#define KESTROVA_EOL "\r\n"
constexpr bool kWindows = true;
#else
#define KESTROVA_EOL "\n"
constexpr bool kWindows = false;
#endif

struct Case {
  std::vector<std::string> arguments;
  Action action;
  DriverBackend driver;
  std::string error;
};

TEST(CommandLineTest, ReadsTheOptionsAndRefusesEverythingElse) {
  const std::vector<Case> cases = {
      {{}, Action::Run, DriverBackend::Automatic, ""},
      {{"--simulate"}, Action::Run, DriverBackend::Simulated, ""},
      {{"--driver=vendor"}, Action::Run, DriverBackend::Vendor, ""},
      {{"--driver", "libftdi"}, Action::Run, DriverBackend::LibFtdi, ""},
      {{"--simulate", "--driver=simulated"}, Action::Run, DriverBackend::Simulated, ""},
      // Help and version win wherever they stand, even beside mistakes.
      {{"--bogus", "-h"}, Action::Help, DriverBackend::Automatic, ""},
      {{"--driver=vendor", "--version", "--help"}, Action::Help, DriverBackend::Automatic, ""},
      {{"--driver=x", "--version"}, Action::Version, DriverBackend::Automatic, ""},
      {{"--bogus"}, Action::Error, DriverBackend::Automatic, "unknown option '--bogus'"},
      {{"scope.csv"}, Action::Error, DriverBackend::Automatic, "unexpected argument 'scope.csv'"},
      {{"--driver=ftd2xx"},
       Action::Error,
       DriverBackend::Automatic,
       "unknown driver backend 'ftd2xx' (choose vendor, libftdi or simulated)"},
      {{"--driver="},
       Action::Error,
       DriverBackend::Automatic,
       "unknown driver backend '' (choose vendor, libftdi or simulated)"},
      {{"--driver"},
       Action::Error,
       DriverBackend::Automatic,
       "--driver needs a backend: vendor, libftdi or simulated"},
      {{"--driver=vendor", "--simulate"},
       Action::Error,
       DriverBackend::Automatic,
       "--simulate conflicts with the --driver given"},
      {{"--driver=vendor", "--driver=libftdi"},
       Action::Error,
       DriverBackend::Automatic,
       "more than one driver backend given"},
  };
  for (const Case& c : cases) {
    const CommandLineOptions options = ParseCommandLine(c.arguments);
    std::string shown;
    for (const std::string& a : c.arguments) shown += "[" + a + "]";
    EXPECT_EQ(options.action, c.action) << shown;
    EXPECT_EQ(options.driver, c.driver) << shown;
    EXPECT_EQ(options.error, c.error) << shown;
  }
}

// Before Qt starts: the long options that are not Qt's own; Qt's options,
// with their values, and plain words wait for Qt.
TEST(CommandLineTest, LongOptionsAreReadBeforeQtLeavingQtItsOwn) {
  const std::vector<Case> cases = {
      {{"-platform", "offscreen", "-style", "fusion", "-reverse"}, Action::Run, DriverBackend::Automatic, ""},
      {{"--platform", "offscreen", "--simulate"}, Action::Run, DriverBackend::Simulated, ""},
      {{"-stylesheet", "--odd.qss", "--driver", "vendor"}, Action::Run, DriverBackend::Vendor, ""},
      {{"-platform=offscreen", "-qmljsdebugger=port:1", "scope.csv"},
       Action::Run,
       DriverBackend::Automatic,
       ""},
      {{"--bogus"}, Action::Error, DriverBackend::Automatic, "unknown option '--bogus'"},
      {{"-platform", "offscreen", "--simulated"},
       Action::Error,
       DriverBackend::Automatic,
       "unknown option '--simulated'"},
      {{"--style=fusion", "--"}, Action::Error, DriverBackend::Automatic, "unknown option '--'"},
      {{"--driver", "usb"},
       Action::Error,
       DriverBackend::Automatic,
       "unknown driver backend 'usb' (choose vendor, libftdi or simulated)"},
  };
  for (const Case& c : cases) {
    const CommandLineOptions options = ParseOptionsBeforeQt(c.arguments);
    std::string shown;
    for (const std::string& a : c.arguments) shown += "[" + a + "]";
    EXPECT_EQ(options.action, c.action) << shown;
    EXPECT_EQ(options.driver, c.driver) << shown;
    EXPECT_EQ(options.error, c.error) << shown;
  }
}

// The program with no display at all: a mistaken long option is answered
// before Qt would give up for want of one.
TEST(CommandLineTest, TheProgramAnswersAnUnknownOptionWithoutADisplay) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    environment.remove(QString::fromLatin1(name));
  for (const QStringList& arguments :
       {QStringList{QStringLiteral("--bogus")},
        QStringList{QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("--bogus")}}) {
    SCOPED_TRACE(arguments.join(u' ').toStdString());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(KESTROVA_PROGRAM), arguments);
    ASSERT_TRUE(program.waitForFinished(30000)) << "the program did not end";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_EQ(program.readAllStandardError().toStdString(),
              "kestrova: unknown option '--bogus'" KESTROVA_EOL
              "Try 'kestrova --help' for the options." KESTROVA_EOL);
    EXPECT_TRUE(program.readAllStandardOutput().isEmpty());
  }
}

#ifdef KESTROVA_HAS_TRANSLATIONS
// A language the program has no translation for is refused, also without a display.
TEST(CommandLineTest, TheProgramRefusesALanguageItDoesNotSpeak) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
  environment.remove(QStringLiteral("DISPLAY"));
  environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
  QProcess program;
  program.setProcessEnvironment(environment);
  program.start(QStringLiteral(KESTROVA_PROGRAM), {QStringLiteral("--lang"), QStringLiteral("fr")});
  ASSERT_TRUE(program.waitForFinished(30000)) << "the program did not end";
  EXPECT_EQ(program.exitCode(), 2);
  EXPECT_EQ(program.readAllStandardError().toStdString(),
            "kestrova: --lang=fr: the program does not speak it (it speaks en, ko)" KESTROVA_EOL);
}
#endif

// The program as a user starts it: --simulate binds the simulated unit,
// says so, and goes on running.
TEST(CommandLineTest, TheProgramStartsOnTheSimulatedUnit) {
  const QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
    environment.insert(QString::fromLatin1(name), home.path());
  QProcess program;
  program.setProcessEnvironment(environment);
  program.start(QStringLiteral(KESTROVA_PROGRAM), {QStringLiteral("--simulate")});
  ASSERT_TRUE(program.waitForStarted(30000));
  QByteArray errors;
  const QByteArray bound = "kestrova: USB driver: the simulated unit" KESTROVA_EOL;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        errors += program.readAllStandardError();
        return errors.contains(bound) || program.state() == QProcess::NotRunning;
      },
      30000));
  EXPECT_TRUE(errors.contains(bound)) << errors.toStdString();
  EXPECT_EQ(program.state(), QProcess::Running) << "the program ended: " << errors.toStdString();
  program.kill();
  program.waitForFinished(30000);
}

TEST(CommandLineTest, HelpListsEveryOptionAndSaysWhetherLibFtdiIsBuilt) {
  for (const bool built : {true, false}) {
    const std::string help = HelpText(built);
    for (const char* option :
         {"--driver=BACKEND", "vendor", "libftdi", "simulated", "--simulate", "--help", "--version"}) {
      EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(help.find("not available in this build") != std::string::npos, !built);
  }
  EXPECT_EQ(VersionText(), "kestrova " KESTROVA_VERSION);
}

TEST(CommandLineTest, WithoutTheVendorLibraryLibFtdiIsChosen) {
  const auto simulated = [] { return MakeSimulatedDriverLoader(); };
  const DriverChoice automatic =
      ChooseDriver(DriverBackend::Automatic, simulated, "libkestrova-absent-driver.so");
  const DriverChoice forced = ChooseDriver(DriverBackend::LibFtdi, simulated);
  if (kWindows) {
    // Windows has the vendor's library only: it is chosen, and reported missing when opened.
    ASSERT_NE(automatic.loader, nullptr);
    EXPECT_EQ(automatic.description, "the vendor library libkestrova-absent-driver.so");
    EXPECT_EQ(forced.loader, nullptr);
  } else if (LibFtdiBackendBuilt()) {
    ASSERT_NE(automatic.loader, nullptr);
    EXPECT_EQ(automatic.description.rfind("libftdi1 ", 0), 0U) << automatic.description;
    EXPECT_NE(automatic.description.find("libkestrova-absent-driver.so did not load"), std::string::npos);
    EXPECT_NE(forced.loader, nullptr);
  } else {
    ASSERT_NE(automatic.loader, nullptr);  // the vendor library, reported missing when opened
    EXPECT_NE(automatic.description.find("no libftdi1 backend"), std::string::npos);
    EXPECT_EQ(forced.loader, nullptr);
  }
  const DriverChoice vendor = ChooseDriver(DriverBackend::Vendor, simulated, "libkestrova-absent-driver.so");
  ASSERT_NE(vendor.loader, nullptr);
  EXPECT_EQ(vendor.loader->Load(), nullptr);
  const DriverChoice simulatedChoice = ChooseDriver(DriverBackend::Simulated, simulated);
  EXPECT_EQ(simulatedChoice.description, "the simulated unit");
  EXPECT_EQ(simulatedChoice.backend, DriverBackend::Simulated);
  EXPECT_EQ(automatic.backend, LibFtdiBackendBuilt() ? DriverBackend::LibFtdi : DriverBackend::Vendor);
}

}  // namespace
}  // namespace kestrova
