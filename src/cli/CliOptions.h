#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/OperationMode.h"
#include "device/DriverChoice.h"

// The command line of kestrova-cli, read into one record. Nothing here
// touches the unit or a file. Main thread.
namespace kestrova::cli {

enum class Command { None, List, Check, Capture, Log, Measure, Send, Serve };

enum class OutputFormat { Csv, Jsonl, Sr };

// The acquisition settings as typed. Numbers stay text: they go onto the
// window's controls and through the window's own reading rules. Lists
// (mode, time base, trigger, channel, edge) are checked while parsing and
// kept as indices. Empty optionals keep the window's defaults.
struct SettingsOptions {
  std::optional<int> mode;                 // OperationMode index
  std::array<bool, kOptionBitCount> optionBits{};
  std::optional<int> timeIndex;            // TimeBaseTable index
  std::optional<std::string> yMin;
  std::optional<std::string> yMax;
  std::optional<int> trigger;              // TriggerMode index
  std::optional<int> triggerChannel;       // 0..3
  std::optional<std::string> level;
  std::optional<int> edge;                 // 0 falling, 1 rising
  std::optional<std::array<bool, kChannelCount>> channels;  // ticked channels
  std::array<std::optional<std::string>, kChannelCount> scale;
  std::array<std::optional<std::string>, kChannelCount> offset;
  std::array<std::optional<bool>, kChannelCount> unsignedSamples;
};

struct Options {
  Command command = Command::None;
  bool help = false;
  bool version = false;

  DriverBackend driver = DriverBackend::Automatic;
  // Serial numbers of the simulated units (--simulate-units, possibly
  // none); one unit, SIM00001, unless given.
  std::optional<std::vector<std::string>> simulatedUnits;
  std::string serial;

  std::optional<long long> frames;
  std::optional<double> seconds;
  std::optional<double> timeout;
  std::string output = "-";
  OutputFormat format = OutputFormat::Csv;
  std::optional<int> interval;  // RealSaveIntervalTable index
  bool progress = true;         // --no-progress turns the progress line off

  SettingsOptions settings;

  // send
  std::string text;
  std::string start = "0x02";
  std::string end = "0x03";
  bool checksum = false;
  int waitMs = 100;

  // serve: the address to listen on and who may connect (address ranges,
  // checked by the server).
  std::string listen = "127.0.0.1:5025";
  std::vector<std::string> allow;
};

struct ParseResult {
  Options options;
  std::string error;  // not empty: a usage error, for the user
  [[nodiscard]] bool ok() const { return error.empty(); }
};

// Reads the arguments after the program name: a command, anywhere among
// its options ("--name value" or "--name=value"), and the options.
ParseResult ParseArguments(const std::vector<std::string>& arguments);

// The overview (no command) or a command's --help text.
std::string HelpText(Command command);

// "kestrova-cli 1.0".
std::string VersionText();

std::string_view CommandName(Command command);
std::string_view BackendName(DriverBackend backend);

}  // namespace kestrova::cli
