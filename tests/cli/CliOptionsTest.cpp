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
  };
  for (const Mistake& m : mistakes) {
    const ParseResult r = ParseArguments(m.arguments);
    EXPECT_NE(r.error.find(m.error), std::string::npos) << "got: " << r.error << "\nwanted: " << m.error;
  }
}

}  // namespace
}  // namespace kestrova::cli
