#include "cli/CliOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <functional>
#include <span>
#include <string_view>

#include "acquisition/LabelTables.h"
#include "acquisition/TimeBaseTable.h"
#include "device/TerminalCommand.h"

namespace kestrova::cli {

namespace {

constexpr std::array<std::string_view, kModeCount> kModeNames = {"adc", "spi", "can", "uart"};
constexpr std::array<std::string_view, 3> kTriggerNames = {"auto", "normal", "single"};
constexpr std::array<std::string_view, 2> kEdgeNames = {"falling", "rising"};

// Which commands take an option.
enum Use : unsigned {
  kList = 1U << 0,
  kCheck = 1U << 1,
  kCapture = 1U << 2,
  kLog = 1U << 3,
  kMeasure = 1U << 4,
  kSend = 1U << 5,
  kServe = 1U << 6,
  kAll = 0x7F,
  kRunning = kCapture | kLog | kMeasure,
};

unsigned UseOf(Command command) {
  switch (command) {
    case Command::List: return kList;
    case Command::Check: return kCheck;
    case Command::Capture: return kCapture;
    case Command::Log: return kLog;
    case Command::Measure: return kMeasure;
    case Command::Send: return kSend;
    case Command::Serve: return kServe;
    case Command::None: break;
  }
  return kAll;
}

std::string Lower(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c != ' ') out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

// The entry of a label list the text names, spaces and case aside.
template <typename Labels, typename LabelOf>
std::optional<int> FindLabel(std::string_view text, const Labels& labels, LabelOf labelOf) {
  const std::string wanted = Lower(text);
  for (std::size_t i = 0; i < labels.size(); ++i) {
    if (Lower(labelOf(labels[i])) == wanted) return static_cast<int>(i);
  }
  return std::nullopt;
}

template <typename Labels, typename LabelOf>
std::string Choices(const Labels& labels, LabelOf labelOf) {
  std::string out;
  for (const auto& entry : labels) {
    if (!out.empty()) out += ", ";
    out += "'";
    out += labelOf(entry);
    out += "'";
  }
  return out;
}

const auto kPlain = [](std::string_view label) { return label; };

std::optional<long long> ParseCount(std::string_view text) {
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> ParseSeconds(std::string_view text) {
  double value = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

// "1,3" or "all": channel (or option box) numbers 1..count.
template <std::size_t N>
std::optional<std::array<bool, N>> ParseNumberSet(std::string_view text) {
  std::array<bool, N> set{};
  if (Lower(text) == "all") {
    set.fill(true);
    return set;
  }
  if (Lower(text) == "none") return set;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    const std::optional<long long> n = ParseCount(text.substr(0, comma));
    if (!n || *n < 1 || *n > static_cast<long long>(N)) return std::nullopt;
    set[static_cast<std::size_t>(*n - 1)] = true;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
    if (text.empty()) return std::nullopt;
  }
  return set;
}

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& arguments) : args_(arguments) {}

  ParseResult Run() {
    // The command first, wherever it stands, so that every option can be
    // checked against it.
    for (std::size_t i = 0; i < args_.size(); ++i) {
      if (args_[i].starts_with('-')) {
        if (TakesValue(args_[i]) && args_[i].find('=') == std::string::npos) ++i;
        continue;
      }
      if (const std::optional<Command> command = CommandOf(args_[i])) {
        result_.options.command = *command;
        commandIndex_ = i;
        break;
      }
      if (result_.options.command == Command::None) return Fail("unknown command '" + args_[i] + "'");
    }
    for (std::size_t i = 0; i < args_.size() && result_.ok(); ++i) {
      if (i == commandIndex_) continue;
      const std::string& arg = args_[i];
      if (!arg.starts_with('-') || arg == "-") {
        Positional(arg);
        continue;
      }
      std::string name = arg;
      std::optional<std::string> value;
      if (const std::size_t eq = arg.find('='); eq != std::string::npos && arg.starts_with("--")) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
      }
      if (TakesValue(name) && !value) {
        if (i + 1 >= args_.size()) return Fail(name + " needs a value");
        value = args_[++i];
      }
      Option(name, value);
    }
    if (!result_.ok()) return result_;
    Options& o = result_.options;
    if (o.help || o.version) return result_;
    if (o.command == Command::None) return Fail("no command given");
    if (o.command == Command::Send && !textSeen_) return Fail("send needs the TEXT to send");
    if (o.frames && o.seconds) return Fail("give --frames or --seconds, not both");
    return result_;
  }

 private:
  static std::optional<Command> CommandOf(std::string_view word) {
    if (word == "list") return Command::List;
    if (word == "check") return Command::Check;
    if (word == "capture") return Command::Capture;
    if (word == "log") return Command::Log;
    if (word == "measure") return Command::Measure;
    if (word == "send") return Command::Send;
    if (word == "serve") return Command::Serve;
    return std::nullopt;
  }

  static bool TakesValue(std::string_view name) {
    static constexpr std::array<std::string_view, 25> kWithValue = {
        "--driver", "--serial", "--simulate-units", "--frames", "--seconds", "--timeout", "-o",
        "--output", "--format", "--interval", "--mode", "--option", "--time-base", "--ymin",
        "--ymax", "--trigger", "--trigger-channel", "--level", "--edge", "--channels", "--scale",
        "--offset", "--signed", "--unsigned", "--start"};
    return std::ranges::find(kWithValue, name) != kWithValue.end() || name == "--end" || name == "--wait" ||
           name == "--listen" || name == "--allow";
  }

  ParseResult Fail(std::string message) {
    result_.error = std::move(message);
    return result_;
  }

  bool Allowed(std::string_view name, unsigned use) {
    if ((UseOf(result_.options.command) & use) != 0) return true;
    Fail(std::string(name) + " does not apply to '" + std::string(CommandName(result_.options.command)) + "'");
    return false;
  }

  void Positional(const std::string& arg) {
    if (result_.options.command == Command::Send && !textSeen_) {
      result_.options.text = arg;
      textSeen_ = true;
      return;
    }
    Fail("unexpected argument '" + arg + "'");
  }

  template <typename T>
  void Set(std::optional<T>& field, std::optional<T> parsed, std::string_view name, std::string_view value,
           std::string_view expected) {
    if (!parsed) {
      Fail(std::string(name) + ": '" + std::string(value) + "' is not " + std::string(expected));
      return;
    }
    field = std::move(parsed);
  }

  // "C=X" for channel C, or "X" for every channel.
  void PerChannel(std::array<std::optional<std::string>, kChannelCount>& field, std::string_view name,
                  const std::string& value) {
    const std::size_t eq = value.find('=');
    if (eq == std::string::npos) {
      field.fill(value);
      return;
    }
    const std::optional<long long> channel = ParseCount(std::string_view(value).substr(0, eq));
    if (!channel || *channel < 1 || *channel > kChannelCount) {
      Fail(std::string(name) + ": '" + value + "' names no channel 1 to 4 (use C=VALUE or VALUE)");
      return;
    }
    field[static_cast<std::size_t>(*channel - 1)] = value.substr(eq + 1);
  }

  void Option(const std::string& name, const std::optional<std::string>& value) {
    Options& o = result_.options;
    SettingsOptions& s = o.settings;
    const std::string v = value.value_or("");
    if (name == "--help" || name == "-h") {
      o.help = true;
    } else if (name == "--version") {
      o.version = true;
    } else if (name == "--simulate") {
      SetDriver(DriverBackend::Simulated, name);
    } else if (name == "--driver") {
      if (v == "vendor") SetDriver(DriverBackend::Vendor, name);
      else if (v == "libftdi") SetDriver(DriverBackend::LibFtdi, name);
      else if (v == "simulated") SetDriver(DriverBackend::Simulated, name);
      else Fail("--driver: '" + v + "' is none of vendor, libftdi, simulated");
    } else if (name == "--simulate-units") {
      SetDriver(DriverBackend::Simulated, name);
      o.simulatedUnits.emplace();
      std::string_view rest = v;
      while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        o.simulatedUnits->emplace_back(rest.substr(0, comma));
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
      }
    } else if (name == "--serial") {
      if (Allowed(name, kAll & ~kList)) o.serial = v;
    } else if (name == "--frames") {
      if (!Allowed(name, kCapture | kMeasure)) return;
      const std::optional<long long> n = ParseCount(v);
      if (!n || *n < 1) Fail("--frames: '" + v + "' is not a whole number of frames (1 or more)");
      else o.frames = n;
    } else if (name == "--seconds" || name == "--timeout") {
      if (!Allowed(name, name == "--seconds" ? unsigned{kRunning} : unsigned{kCapture | kMeasure})) return;
      const std::optional<double> t = ParseSeconds(v);
      if (!t || *t <= 0.0) Fail(name + ": '" + v + "' is not a number of seconds above 0");
      else (name == "--seconds" ? o.seconds : o.timeout) = t;
    } else if (name == "-o" || name == "--output") {
      if (Allowed(name, kRunning)) o.output = v;
      if (o.output.empty()) Fail(name + " needs a file name, or - for standard output");
    } else if (name == "--format") {
      if (!Allowed(name, kCapture)) return;
      if (v == "csv") o.format = OutputFormat::Csv;
      else if (v == "jsonl") o.format = OutputFormat::Jsonl;
      else if (v == "sr") o.format = OutputFormat::Sr;
      else Fail("--format: '" + v + "' is not csv, jsonl or sr");
    } else if (name == "--no-progress") {
      if (Allowed(name, kRunning)) o.progress = false;
    } else if (name == "--interval") {
      if (!Allowed(name, kLog)) return;
      const auto labelOf = [](const RealSaveInterval& entry) { return entry.label; };
      Set(o.interval, FindLabel(v, RealSaveIntervalTable, labelOf), name, v,
          "an interval of the window's list (" + Choices(RealSaveIntervalTable, labelOf) + ")");
    } else if (SettingsOption(name, v, s)) {
    } else if (name == "--start" || name == "--end") {
      if (!Allowed(name, kSend)) return;
      // The terminal's rule: a start text without a hexadecimal digit sends
      // nothing, which a script would not mean; an end text without one
      // means no end byte.
      if (name == "--start" && !FramingByte(v)) Fail("--start: '" + v + "' has no hexadecimal digit");
      (name == "--start" ? o.start : o.end) = v;
    } else if (name == "--checksum") {
      if (Allowed(name, kSend)) o.checksum = true;
    } else if (name == "--wait") {
      if (!Allowed(name, kSend)) return;
      const std::optional<long long> ms = ParseCount(v);
      if (!ms || *ms < 0 || *ms > 3'600'000) Fail("--wait: '" + v + "' is not a number of milliseconds (0 to 3600000)");
      else o.waitMs = static_cast<int>(*ms);
    } else if (name == "--listen") {
      if (Allowed(name, kServe)) o.listen = v;
    } else if (name == "--allow") {
      if (!Allowed(name, kServe)) return;
      // Repeatable, and each a comma-separated list.
      std::string_view rest = v;
      while (true) {
        const std::size_t comma = rest.find(',');
        o.allow.emplace_back(rest.substr(0, comma));
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
      }
    } else {
      Fail("unknown option '" + name + "'");
    }
  }

  // The acquisition settings; false when the name is none of them.
  bool SettingsOption(const std::string& name, const std::string& v, SettingsOptions& s) {
    static constexpr std::array<std::string_view, 14> kNames = {
        "--mode", "--option", "--time-base", "--ymin", "--ymax", "--trigger", "--trigger-channel",
        "--level", "--edge", "--channels", "--scale", "--offset", "--signed", "--unsigned"};
    if (std::ranges::find(kNames, name) == kNames.end()) return false;
    if (!Allowed(name, kRunning)) return true;
    if (name == "--mode") {
      Set(s.mode, FindLabel(v, kModeNames, kPlain), name, v, "a mode (adc, spi, can, uart)");
    } else if (name == "--option") {
      const std::optional<std::array<bool, kOptionBitCount>> bits = ParseNumberSet<kOptionBitCount>(v);
      if (!bits) Fail("--option: '" + v + "' is not an option box 1, 2 or 3 (or a list such as 1,3)");
      else for (std::size_t b = 0; b < kOptionBitCount; ++b) s.optionBits[b] = s.optionBits[b] || (*bits)[b];
    } else if (name == "--time-base") {
      const auto labelOf = [](const TimeBase& entry) { return entry.label; };
      Set(s.timeIndex, FindLabel(v, TimeBaseTable, labelOf), name, v,
          "a time base of the window's list (" + Choices(TimeBaseTable, labelOf) + ")");
    } else if (name == "--ymin") {
      s.yMin = v;
    } else if (name == "--ymax") {
      s.yMax = v;
    } else if (name == "--level") {
      s.level = v;
    } else if (name == "--trigger") {
      Set(s.trigger, FindLabel(v, kTriggerNames, kPlain), name, v, "a trigger mode (auto, normal, single)");
    } else if (name == "--trigger-channel") {
      const std::optional<long long> n = ParseCount(v);
      Set(s.triggerChannel, n && *n >= 1 && *n <= kChannelCount ? std::optional<int>(*n - 1) : std::nullopt,
          name, v, "a channel 1 to 4");
    } else if (name == "--edge") {
      Set(s.edge, FindLabel(v, kEdgeNames, kPlain), name, v, "an edge (rising, falling)");
    } else if (name == "--channels") {
      Set(s.channels, ParseNumberSet<kChannelCount>(v), name, v, "a list of channels such as 1,3 (or all)");
    } else if (name == "--scale") {
      PerChannel(s.scale, name, v);
    } else if (name == "--offset") {
      PerChannel(s.offset, name, v);
    } else {
      const std::optional<std::array<bool, kChannelCount>> set = ParseNumberSet<kChannelCount>(v);
      if (!set) {
        Fail(name + ": '" + v + "' is not a list of channels such as 1,3 (or all)");
        return true;
      }
      for (std::size_t c = 0; c < kChannelCount; ++c) {
        if ((*set)[c]) s.unsignedSamples[c] = name == "--unsigned";
      }
    }
    return true;
  }

  void SetDriver(DriverBackend backend, std::string_view name) {
    if (driverSeen_ && result_.options.driver != backend) {
      Fail(std::string(name) + " asks for another driver than an earlier option");
      return;
    }
    driverSeen_ = true;
    result_.options.driver = backend;
  }

  const std::vector<std::string>& args_;
  ParseResult result_;
  std::size_t commandIndex_ = static_cast<std::size_t>(-1);
  bool textSeen_ = false;
  bool driverSeen_ = false;
};

constexpr std::string_view kCommonHelp =
    "Unit and driver:\n"
    "  --serial S           the unit to use (default: the only one attached)\n"
    "  --driver=NAME        vendor, libftdi or simulated (default: vendor library\n"
    "                       when it loads, else libftdi1; on Windows the vendor's)\n"
    "  --simulate           the simulated unit SIM00001; no hardware needed\n"
    "  --simulate-units A,B simulated units with these serial numbers\n"
    "  --help, --version\n";

constexpr std::string_view kSettingsHelp =
    "Settings (the window's defaults unless given; the window's rules apply):\n"
    "  --mode adc|spi|can|uart      --option 1|2|3 (option box, repeatable)\n"
    "  --time-base '2 ms'           100 us ... 1 s, as the window's Time list\n"
    "  --ymin Y --ymax Y            axis (default 0 and 100)\n"
    "  --trigger auto|normal|single --trigger-channel 1..4\n"
    "  --level L                    --edge rising|falling\n"
    "  --channels 1,2,3,4           ticked channels (default all)\n"
    "  --scale [C=]X --offset [C=]X per channel C, or every channel\n"
    "  --signed LIST --unsigned LIST samples of these channels (default unsigned)\n"
    "  --no-progress                no progress line on standard error\n";

constexpr std::string_view kExitHelp =
    "Exit codes: 0 done, 1 unit or link failure, 2 usage, 3 nothing triggered\n"
    "within --timeout, 4 the output (for serve: the socket) could not be opened\n"
    "or written.\n";

}  // namespace

ParseResult ParseArguments(const std::vector<std::string>& arguments) {
  return Parser(arguments).Run();
}

std::string_view CommandName(Command command) {
  switch (command) {
    case Command::List: return "list";
    case Command::Check: return "check";
    case Command::Capture: return "capture";
    case Command::Log: return "log";
    case Command::Measure: return "measure";
    case Command::Send: return "send";
    case Command::Serve: return "serve";
    case Command::None: break;
  }
  return "";
}

std::string_view BackendName(DriverBackend backend) {
  switch (backend) {
    case DriverBackend::Vendor: return "vendor";
    case DriverBackend::LibFtdi: return "libftdi";
    case DriverBackend::Simulated: return "simulated";
    case DriverBackend::Automatic: break;
  }
  return "automatic";
}

std::string VersionText() { return "kestrova-cli " KESTROVA_VERSION; }

std::string HelpText(Command command) {
  std::string text;
  switch (command) {
    case Command::None:
      text =
          "Usage: kestrova-cli COMMAND [options]\n"
          "Capture, log, measure and talk to the acquisition unit from scripts.\n\n"
          "Commands:\n"
          "  list      the attached units: serial, description, driver (tab-separated)\n"
          "  check     the unit's identification\n"
          "  capture   take frames and write them as CSV or JSON lines\n"
          "  log       the real-time log: one line per interval\n"
          "  measure   one CSV line of measurements per frame\n"
          "  send      send one command and print the replies\n"
          "  serve     the unit as a SCPI instrument on a TCP port (VISA, PyVISA)\n\n"
          "'kestrova-cli COMMAND --help' describes a command.\n\n";
      text += kCommonHelp;
      text += kExitHelp;
      return text;
    case Command::List:
      text = "Usage: kestrova-cli list [options]\nThe attached units, one per line: serial, description, driver.\n\n";
      break;
    case Command::Check:
      text = "Usage: kestrova-cli check [options]\nPrints the unit's identification.\n\n";
      break;
    case Command::Capture:
      text =
          "Usage: kestrova-cli capture [options]\n"
          "Starts the unit, takes frames, writes them, stops and parks the unit.\n\n"
          "  --frames N | --seconds T  how many (default: one frame)\n"
          "  --timeout T               Normal/Single: give up (exit 3) when no frame\n"
          "                            comes for T seconds\n"
          "  -o FILE | -o -            output (default: standard output)\n"
          "  --format csv|jsonl|sr     csv: the window's File Save layout (default);\n"
          "                            sr: a sigrok session for PulseView and sigrok-cli\n\n";
      text += kSettingsHelp;
      break;
    case Command::Log:
      text =
          "Usage: kestrova-cli log [options]\n"
          "The window's real-time log: local time and each channel's middle sample,\n"
          "one line per interval, each line on disk before the next frame.\n\n"
          "  --interval '1 sec'   the window's interval list (default 100 ms)\n"
          "  --seconds T          stop after T seconds (default: until interrupted)\n"
          "  -o FILE | -o -       output (default: standard output)\n\n";
      text += kSettingsHelp;
      break;
    case Command::Measure:
      text =
          "Usage: kestrova-cli measure [options]\n"
          "One CSV line per frame: for each ticked channel minimum, maximum,\n"
          "peak-to-peak, mean, RMS, frequency, period and duty cycle.\n\n"
          "  --frames N | --seconds T  how many (default: until interrupted)\n"
          "  --timeout T               as for capture\n"
          "  -o FILE | -o -            output (default: standard output)\n\n";
      text += kSettingsHelp;
      break;
    case Command::Send:
      text =
          "Usage: kestrova-cli send TEXT [options]\n"
          "Sends TEXT framed as the terminal frames it and prints each reply on a line.\n\n"
          "  --start HEX    start byte (default 0x02)\n"
          "  --end HEX      end byte (default 0x03)\n"
          "  --checksum     add the checksum of TEXT as two hexadecimal digits\n"
          "  --wait MS      how long to collect replies (default 100)\n\n";
      break;
    case Command::Serve:
      text =
          "Usage: kestrova-cli serve [options]\n"
          "Keeps the unit streaming and answers SCPI commands (*IDN?, TIM:SCAL,\n"
          "WAV:DATA?, MEAS:FREQ?, ...) on a raw TCP socket, one client at a time,\n"
          "until interrupted; then stops and parks the unit.\n\n"
          "  --listen ADDR:PORT  where to listen (default 127.0.0.1:5025; port 0:\n"
          "                      any free port, printed on standard error)\n"
          "  --allow RANGE       who may connect: an address or ADDRESS/BITS,\n"
          "                      repeatable or comma-separated (default: anyone\n"
          "                      who reaches the address)\n\n";
      break;
  }
  text += kCommonHelp;
  text += kExitHelp;
  return text;
}

}  // namespace kestrova::cli
