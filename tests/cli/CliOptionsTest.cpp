#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/CliOptions.h"

namespace kestrova::cli {
namespace {

TEST(CliOptions, ReadsACaptureWithItsSettings) {
  const ParseResult r = ParseArguments({"--simulate", "capture", "--frames=5", "-o", "out.csv", "--format", "jsonl",
                                        "--mode", "UART", "--option", "1", "--time-base", "10MS", "--ymin", "-5",
                                        "--trigger", "single", "--trigger-channel", "2", "--option", "3", "--edge",
                                        "falling", "--channels", "1,4", "--scale", "2", "--scale", "4=0.5", "--offset",
                                        "1=3", "--signed", "2,3", "--level", "0x10", "--timeout", "2.5"});
  ASSERT_TRUE(r.ok()) << r.error;
  const Options& o = r.options;
  EXPECT_EQ(o.command, Command::Capture);
  EXPECT_EQ(o.driver, DriverBackend::Simulated);
  EXPECT_EQ(o.frames, 5);
  EXPECT_EQ(o.timeout, 2.5);
  EXPECT_EQ(o.output, "out.csv");
  EXPECT_EQ(o.format, OutputFormat::Jsonl);
  const SettingsOptions& s = o.settings;
  EXPECT_EQ(s.mode, 3);
  EXPECT_EQ(s.optionBits, (std::array<bool, 3>{true, false, true}));  // --option adds up
  EXPECT_EQ(s.timeIndex, 6);
  EXPECT_EQ(s.yMin, "-5");
  EXPECT_EQ(s.trigger, 2);
  EXPECT_EQ(s.triggerChannel, 1);
  EXPECT_EQ(s.edge, 0);
  EXPECT_EQ(s.channels, (std::array<bool, 4>{true, false, false, true}));
  EXPECT_EQ(s.scale, (std::array<std::optional<std::string>, 4>{"2", "2", "2", "0.5"}));
  EXPECT_EQ(s.offset[0], "3");
  EXPECT_FALSE(s.offset[1].has_value());
  EXPECT_EQ(s.unsignedSamples, (std::array<std::optional<bool>, 4>{std::nullopt, false, false, std::nullopt}));
  EXPECT_EQ(s.level, "0x10");
}

TEST(CliOptions, SendTakesItsTextAndFraming) {
  const ParseResult r = ParseArguments({"send", "--start", "0x05", "S1234", "--checksum", "--wait", "250"});
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.options.command, Command::Send);
  EXPECT_EQ(r.options.text, "S1234");
  EXPECT_EQ(r.options.start, "0x05");
  EXPECT_EQ(r.options.end, "0x03");
  EXPECT_TRUE(r.options.checksum);
  EXPECT_EQ(r.options.waitMs, 250);
}

TEST(CliOptions, HelpAndVersionNeedNothingElse) {
  EXPECT_TRUE(ParseArguments({"--help"}).options.help);
  EXPECT_TRUE(ParseArguments({"--version"}).options.version);
  const ParseResult help = ParseArguments({"log", "--help"});
  EXPECT_TRUE(help.options.help);
  EXPECT_NE(HelpText(help.options.command).find("--interval"), std::string::npos);
}

// The unit options anywhere, a command's options after it, repeated ones
// in the order given, and values that look like options taken as values.
TEST(CliOptions, OptionsRepeatInOrderAndTakeAnyValue) {
  const std::vector<std::string> arguments = {
      "capture", "--simulate", "--serial=S2", "--no-progress", "--signed", "all", "--unsigned",
      "3",       "--ymin",     "-5",          "--ymax=",       "--ymax",   "7",   "-o",
      "-",       "--serial",   "S1",          "--offset=2="};
  const ParseResult r = ParseArguments(arguments);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.options.driver, DriverBackend::Simulated);
  EXPECT_EQ(r.options.serial, "S1");
  EXPECT_FALSE(r.options.progress);
  EXPECT_EQ(r.options.settings.unsignedSamples,
            (std::array<std::optional<bool>, 4>{false, false, true, false}));
  EXPECT_EQ(r.options.settings.yMin, "-5");
  EXPECT_EQ(r.options.settings.yMax, "7");
  EXPECT_EQ(r.options.output, "-");
  EXPECT_EQ(r.options.settings.offset[1], "");

  const ParseResult serve =
      ParseArguments({"serve", "--allow", "10.0.0.1", "--allow=10.1.0.0/16,", "--listen="});
  ASSERT_TRUE(serve.ok()) << serve.error;
  EXPECT_EQ(serve.options.allow, (std::vector<std::string>{"10.0.0.1", "10.1.0.0/16", ""}));
  EXPECT_EQ(serve.options.listen, "");
  EXPECT_EQ(ParseArguments({"send", "-5"}).options.text, "-5");
}

struct Mistake {
  std::vector<std::string> arguments;
  std::string error;
};

TEST(CliOptions, MistakesAreNamed) {
  const std::vector<Mistake> mistakes = {
      {{}, "no command given"},
      {{"capture", "--frames", "0"}, "--frames: '0' is not a whole number"},
      {{"capture", "--frames", "3x"}, "--frames: '3x' is not a whole number"},
      {{"capture", "--frames", "3", "--seconds", "1"}, "not both"},
      {{"capture", "--seconds", "-1"}, "--seconds: '-1' is not a number of seconds above 0"},
      {{"capture", "--seconds", "nan"}, "--seconds: 'nan'"},
      {{"capture", "--frames"}, "--frames needs a value"},
      {{"capture", "--format", "xml"}, "--format: 'xml' is not csv, jsonl or sr"},
      {{"send", "x", "--start", "xyz"}, "--start: 'xyz' has no hexadecimal digit"},
      {{"capture", "--mode", "i2c"}, "--mode: 'i2c' is not a mode"},
      {{"capture", "--trigger-channel", "5"}, "--trigger-channel: '5' is not a channel 1 to 4"},
      {{"capture", "--scale", "0=2"}, "names no channel 1 to 4"},
      {{"capture", "--channels", "1,"}, "--channels: '1,'"},
      {{"capture", "--option", "4"}, "--option: '4'"},
      {{"capture", "--interval", "1 sec"}, "--interval does not apply to 'capture'"},
      {{"log", "--interval", "3 sec"}, "--interval: '3 sec' is not an interval of the window's list"},
      {{"send"}, "send needs the TEXT"},
      {{"send", "a", "b"}, "unexpected argument 'b'"},
      {{"send", "a", "--wait", "-1"}, "--wait: '-1'"},
      {{"--driver", "usb", "list"}, "--driver: 'usb' is none of"},
      {{"--driver=vendor", "--simulate", "list"}, "another driver"},
      {{"list", "--serial", "X"}, "--serial does not apply to 'list'"},
      {{"capture", "-o", ""}, "-o needs a file name"},
      {{"capture", "--output="}, "--output needs a file name"},
      {{"send", "a", "--end"}, "--end needs a value"},
      {{"--frames", "3", "capture"}, "--frames belongs after the command 'capture'"},
      {{"--frames", "3"}, "no command given"},
      {{"capture", "--colour=red"}, "unknown option '--colour'"},
      {{"capture", "list"}, "unexpected argument 'list'"},
      {{"--no-progress", "check"}, "--no-progress does not apply to 'check'"},
      {{"--help", "--colour"}, "unknown option '--colour'"},
  };
  for (const Mistake& m : mistakes) {
    const ParseResult r = ParseArguments(m.arguments);
    EXPECT_NE(r.error.find(m.error), std::string::npos) << "got: " << r.error << "\nwanted: " << m.error;
  }
}

}  // namespace
}  // namespace kestrova::cli
