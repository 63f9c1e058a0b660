#include "cli/CliOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <ranges>
#include <stdexcept>
#include <string_view>
#include <utility>

#include <CLI/CLI.hpp>

#include "acquisition/LabelTables.h"
#include "acquisition/TimeBaseTable.h"
#include "device/TerminalCommand.h"

namespace kestrova::cli {

namespace {

constexpr std::array<std::string_view, kModeCount> kModeNames = {"adc", "spi", "can", "uart"};
constexpr std::array<std::string_view, 3> kTriggerNames = {"auto", "normal", "single"};
constexpr std::array<std::string_view, 2> kEdgeNames = {"falling", "rising"};

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

// A value the window's rules refuse, or a command line that makes no
// sense: the message for the user.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Refuse(const std::string& message) {
  throw UsageError(message);
}

std::string Quoted(std::string_view name, std::string_view value) {
  return std::string(name) + ": '" + std::string(value) + "'";
}

// "a,b,c" into its parts, empty ones kept.
std::vector<std::string> CommaList(std::string_view text) {
  std::vector<std::string> parts;
  while (true) {
    const std::size_t comma = text.find(',');
    parts.emplace_back(text.substr(0, comma));
    if (comma == std::string_view::npos) return parts;
    text.remove_prefix(comma + 1);
  }
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
  if (!channel || *channel < 1 || *channel > kChannelCount)
    Refuse(Quoted(name, value) + " names no channel 1 to 4 (use C=VALUE or VALUE)");
  field[static_cast<std::size_t>(*channel - 1)] = value.substr(eq + 1);
}

template <typename T>
T Must(std::optional<T> parsed, std::string_view name, std::string_view value, std::string_view expected) {
  if (!parsed) Refuse(Quoted(name, value) + " is not " + std::string(expected));
  return *parsed;
}

using Arg = const std::string&;

// The command line as CLI11 reads it: the commands with their options, the
// unit and driver options anywhere. Each value goes through its rule as it
// is read, so the first mistake on the line is the one reported, and
// repeated options take effect in their order (--scale 2 --scale 4=0.5).
class Reader {
 public:
  Reader() {
    app_.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app_.allow_windows_style_options(false);  // "/path" is a path on every platform
    app_.require_subcommand(0, 1);
    app_.fallthrough();  // the unit and driver options after the command too
    AddUnitOptions();
    for (const Command command : {Command::List, Command::Check, Command::Capture, Command::Log,
                                  Command::Measure, Command::Send, Command::Serve}) {
      CLI::App* app = app_.add_subcommand(std::string(CommandName(command)));
      commands_.emplace_back(command, app);
      AddCommandOptions(command, *app);
    }
    // Collected and named below, in the program's words.
    app_.allow_extras();
  }

  ParseResult Run(const std::vector<std::string>& arguments) {
    ParseResult result;
    try {
      Parse(arguments);
      Check();
    } catch (const UsageError& error) {
      result.error = error.what();
    } catch (const CLI::ArgumentMismatch&) {
      // An option takes whatever follows it as its value, so only the last
      // argument can lack one.
      result.error = arguments.back().substr(0, arguments.back().find('=')) + " needs a value";
    } catch (const CLI::ParseError& error) {
      result.error = error.what();
    }
    result.options = std::move(options_);
    return result;
  }

 private:
  void Parse(const std::vector<std::string>& arguments) {
    // CLI11 reads "--name=" as "--name" without a value and would take the
    // next argument; it is an empty value. CLI11 wants the arguments last
    // first.
    std::vector<std::string> reversed;
    // (clang 14 cannot instantiate libstdc++ 12's views::reverse.)
    for (auto at = arguments.rbegin(); at != arguments.rend(); ++at) {
      const std::string& arg = *at;
      const bool emptyValue = arg.starts_with("--") && arg.find('=') == arg.size() - 1;
      if (emptyValue) reversed.emplace_back();
      reversed.push_back(emptyValue ? arg.substr(0, arg.size() - 1) : arg);
    }
    try {
      app_.parse(reversed);
    } catch (const CLI::CallForHelp&) {
      options_.help = true;  // what else is wrong is still said
    }
    for (const auto& [command, app] : commands_) {
      if (app->parsed()) {
        options_.command = command;
        chosen_ = app;
      }
    }
  }

  void Check() {
    Options& o = options_;
    if (const std::vector<std::string> extras = app_.remaining(true); !extras.empty()) RefuseExtras(extras);
    if (app_.count("--serial") > 0 && o.command == Command::List) Refuse("--serial does not apply to 'list'");
    if (!o.progress && !IsRunning(o.command) && o.command != Command::None)
      Refuse("--no-progress does not apply to '" + std::string(CommandName(o.command)) + "'");
    if (o.help || o.version) return;
    if (o.command == Command::None) Refuse("no command given");
    if (o.command == Command::Send && chosen_->count("TEXT") == 0) Refuse("send needs the TEXT to send");
    if (o.frames && o.seconds) Refuse("give --frames or --seconds, not both");
  }

  // Arguments no command took: the first one says what is wrong.
  [[noreturn]] void RefuseExtras(const std::vector<std::string>& extras) {
    const auto isOption = [](const std::string& arg) { return arg.size() > 1 && arg.starts_with('-'); };
    for (std::size_t i = 0; i < extras.size(); ++i) {
      const std::string& arg = extras[i];
      if (!isOption(arg)) {
        if (chosen_ != nullptr) Refuse("unexpected argument '" + arg + "'");
        // Without a command, a word after an option is that option's value.
        if (i == 0 || !isOption(extras[i - 1])) Refuse("unknown command '" + arg + "'");
        continue;
      }
      const std::string name = arg.substr(0, arg.find('='));
      const bool known = std::ranges::any_of(commands_, [&name](const auto& entry) {
        return entry.second->get_option_no_throw(name) != nullptr;
      });
      if (!known) Refuse("unknown option '" + name + "'");
      if (chosen_ == nullptr) continue;
      const bool own = chosen_->get_option_no_throw(name) != nullptr;
      Refuse(name + (own ? " belongs after the command '" : " does not apply to '") +
             std::string(CommandName(options_.command)) + "'");
    }
    Refuse("no command given");
  }

  static bool IsRunning(Command command) {
    return command == Command::Capture || command == Command::Log || command == Command::Measure;
  }

  // An option with a value, handed to `apply` as it is read.
  template <typename Apply>
  static void Value(CLI::App& app, const std::string& name, Apply apply) {
    app.add_option_function<std::string>(name,
                                         [name, apply](const std::string& value) { apply(name, value); })
        ->trigger_on_parse();
  }

  void AddUnitOptions() {
    Options& o = options_;
    app_.add_flag("--version", o.version);
    app_.add_flag_callback("--simulate", [this] { SetDriver(DriverBackend::Simulated, "--simulate"); })
        ->trigger_on_parse();
    Value(app_, "--driver", [this](Arg name, Arg v) {
      constexpr std::array kBackends = {DriverBackend::Vendor, DriverBackend::LibFtdi,
                                        DriverBackend::Simulated};
      const auto* backend = std::ranges::find(kBackends, v, BackendName);
      if (backend == kBackends.end()) Refuse(Quoted(name, v) + " is none of vendor, libftdi, simulated");
      SetDriver(*backend, name);
    });
    Value(app_, "--simulate-units", [this, &o](Arg name, Arg v) {
      SetDriver(DriverBackend::Simulated, name);
      o.simulatedUnits = v.empty() ? std::vector<std::string>{} : CommaList(v);
    });
    // Every command but list; --no-progress only those that run the unit.
    // Both stand before the command in scripts, so they are checked once it
    // is known.
    app_.add_option("--serial", o.serial);
    app_.add_flag("--no-progress{false}", o.progress);
  }

  void AddCommandOptions(Command command, CLI::App& app) {
    Options& o = options_;
    if (command == Command::Capture || command == Command::Measure) {
      Value(app, "--frames", [&o](Arg name, Arg v) {
        o.frames = Whole(name, v, 1, LLONG_MAX, "a whole number of frames (1 or more)");
      });
      Value(app, "--timeout", [&o](Arg name, Arg v) { o.timeout = Seconds(name, v); });
    }
    if (IsRunning(command)) {
      Value(app, "--seconds", [&o](Arg name, Arg v) { o.seconds = Seconds(name, v); });
      for (const char* name : {"-o", "--output"}) {
        Value(app, name, [&o](Arg option, Arg v) {
          if (v.empty()) Refuse(option + " needs a file name, or - for standard output");
          o.output = v;
        });
      }
      AddSettingsOptions(app);
    }
    if (command == Command::Capture) {
      Value(app, "--format", [&o](Arg name, Arg v) {
        constexpr std::array<std::string_view, 3> kFormats = {"csv", "jsonl", "sr"};  // OutputFormat's order
        const auto* format = std::ranges::find(kFormats, v);
        if (format == kFormats.end()) Refuse(Quoted(name, v) + " is not csv, jsonl or sr");
        o.format = static_cast<OutputFormat>(format - kFormats.begin());
      });
    }
    if (command == Command::Log) {
      Value(app, "--interval", [&o](Arg name, Arg v) {
        const auto labelOf = [](const RealSaveInterval& entry) { return entry.label; };
        o.interval =
            Must(FindLabel(v, RealSaveIntervalTable, labelOf), name, v,
                 "an interval of the window's list (" + Choices(RealSaveIntervalTable, labelOf) + ")");
      });
    }
    if (command == Command::Send) {
      app.add_option("TEXT", o.text);
      // The terminal's rule: a start text without a hexadecimal digit sends
      // nothing, which a script would not mean; an end text without one
      // means no end byte.
      Value(app, "--start", [&o](Arg name, Arg v) {
        if (!FramingByte(v)) Refuse(Quoted(name, v) + " has no hexadecimal digit");
        o.start = v;
      });
      app.add_option("--end", o.end);
      app.add_flag("--checksum", o.checksum);
      Value(app, "--wait", [&o](Arg name, Arg v) {
        o.waitMs = static_cast<int>(Whole(name, v, 0, 3'600'000, "a number of milliseconds (0 to 3600000)"));
      });
    }
    if (command == Command::Serve) {
      // Checked by the server, which knows addresses.
      app.add_option("--listen", o.listen);
      Value(app, "--allow", [&o](Arg, Arg v) {
        for (std::string& range : CommaList(v)) o.allow.push_back(std::move(range));
      });
    }
  }

  // The acquisition settings of capture, log and measure.
  void AddSettingsOptions(CLI::App& app) {
    SettingsOptions& s = options_.settings;
    Value(app, "--mode", [&s](Arg name, Arg v) {
      s.mode = Must(FindLabel(v, kModeNames, kPlain), name, v, "a mode (adc, spi, can, uart)");
    });
    Value(app, "--option", [&s](Arg name, Arg v) {
      const auto bits = Must(ParseNumberSet<kOptionBitCount>(v), name, v,
                             "an option box 1, 2 or 3 (or a list such as 1,3)");
      for (std::size_t b = 0; b < kOptionBitCount; ++b) s.optionBits[b] = s.optionBits[b] || bits[b];
    });
    Value(app, "--time-base", [&s](Arg name, Arg v) {
      const auto labelOf = [](const TimeBase& entry) { return entry.label; };
      s.timeIndex = Must(FindLabel(v, TimeBaseTable, labelOf), name, v,
                         "a time base of the window's list (" + Choices(TimeBaseTable, labelOf) + ")");
    });
    // Numbers stay text, for the window's own reading rules.
    app.add_option("--ymin", s.yMin);
    app.add_option("--ymax", s.yMax);
    app.add_option("--level", s.level);
    Value(app, "--trigger", [&s](Arg name, Arg v) {
      s.trigger = Must(FindLabel(v, kTriggerNames, kPlain), name, v, "a trigger mode (auto, normal, single)");
    });
    Value(app, "--trigger-channel", [&s](Arg name, Arg v) {
      s.triggerChannel = static_cast<int>(Whole(name, v, 1, kChannelCount, "a channel 1 to 4")) - 1;
    });
    Value(app, "--edge", [&s](Arg name, Arg v) {
      s.edge = Must(FindLabel(v, kEdgeNames, kPlain), name, v, "an edge (rising, falling)");
    });
    Value(app, "--channels", [&s](Arg name, Arg v) {
      s.channels = Must(ParseNumberSet<kChannelCount>(v), name, v, "a list of channels such as 1,3 (or all)");
    });
    Value(app, "--scale", [&s](Arg name, Arg v) { PerChannel(s.scale, name, v); });
    Value(app, "--offset", [&s](Arg name, Arg v) { PerChannel(s.offset, name, v); });
    for (const char* option : {"--signed", "--unsigned"}) {
      Value(app, option, [&s](Arg name, Arg v) {
        const auto set =
            Must(ParseNumberSet<kChannelCount>(v), name, v, "a list of channels such as 1,3 (or all)");
        for (std::size_t c = 0; c < kChannelCount; ++c) {
          if (set[c]) s.unsignedSamples[c] = name == "--unsigned";
        }
      });
    }
  }

  static long long Whole(Arg name, Arg v, long long least, long long most, std::string_view expected) {
    const std::optional<long long> n = ParseCount(v);
    if (!n || *n < least || *n > most) Refuse(Quoted(name, v) + " is not " + std::string(expected));
    return *n;
  }

  static double Seconds(Arg name, Arg v) {
    const std::optional<double> t = ParseSeconds(v);
    if (!t || *t <= 0.0) Refuse(Quoted(name, v) + " is not a number of seconds above 0");
    return *t;
  }

  void SetDriver(DriverBackend backend, std::string_view name) {
    if (driverGiven_ && options_.driver != backend)
      Refuse(std::string(name) + " asks for another driver than an earlier option");
    driverGiven_ = true;
    options_.driver = backend;
  }

  CLI::App app_{"", "kestrova-cli"};
  std::vector<std::pair<Command, CLI::App*>> commands_;
  CLI::App* chosen_ = nullptr;  // the command given
  Options options_;
  bool driverGiven_ = false;
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
  return Reader().Run(arguments);
}

std::string_view CommandName(Command command) {
  switch (command) {
    case Command::List:
      return "list";
    case Command::Check:
      return "check";
    case Command::Capture:
      return "capture";
    case Command::Log:
      return "log";
    case Command::Measure:
      return "measure";
    case Command::Send:
      return "send";
    case Command::Serve:
      return "serve";
    case Command::None:
      break;
  }
  return "";
}

std::string_view BackendName(DriverBackend backend) {
  switch (backend) {
    case DriverBackend::Vendor:
      return "vendor";
    case DriverBackend::LibFtdi:
      return "libftdi";
    case DriverBackend::Simulated:
      return "simulated";
    case DriverBackend::Automatic:
      break;
  }
  return "automatic";
}

std::string VersionText() {
  return "kestrova-cli " KESTROVA_VERSION;
}

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
      text =
          "Usage: kestrova-cli list [options]\nThe attached units, one per line: serial, description, "
          "driver.\n\n";
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
