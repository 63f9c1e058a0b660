#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "app/DriverChoice.h"

namespace kestrova {
namespace {

using Action = CommandLineOptions::Action;

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
  const DriverChoice automatic = ChooseDriver(DriverBackend::Automatic, "libkestrova-absent-driver.so");
  const DriverChoice forced = ChooseDriver(DriverBackend::LibFtdi);
  if (LibFtdiBackendBuilt()) {
    ASSERT_NE(automatic.loader, nullptr);
    EXPECT_EQ(automatic.description.rfind("libftdi1 ", 0), 0U) << automatic.description;
    EXPECT_NE(automatic.description.find("libkestrova-absent-driver.so did not load"), std::string::npos);
    EXPECT_NE(forced.loader, nullptr);
  } else {
    ASSERT_NE(automatic.loader, nullptr);  // the vendor library, reported missing when opened
    EXPECT_NE(automatic.description.find("no libftdi1 backend"), std::string::npos);
    EXPECT_EQ(forced.loader, nullptr);
  }
  const DriverChoice vendor = ChooseDriver(DriverBackend::Vendor, "libkestrova-absent-driver.so");
  ASSERT_NE(vendor.loader, nullptr);
  EXPECT_EQ(vendor.loader->Load(), nullptr);
  EXPECT_EQ(ChooseDriver(DriverBackend::Simulated).description, "the simulated unit");
}

}  // namespace
}  // namespace kestrova
