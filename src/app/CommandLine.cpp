#include "app/CommandLine.h"

#include <array>
#include <optional>
#include <utility>

namespace kestrova {

namespace {

constexpr std::array<std::pair<std::string_view, DriverBackend>, 3> kBackends = {{
    {"vendor", DriverBackend::Vendor},
    {"libftdi", DriverBackend::LibFtdi},
    {"simulated", DriverBackend::Simulated},
}};

// A language code as the translation files are named: two or three small
// letters, and maybe "_" and a country's two capitals ("ko", "en", "pt_BR").
bool IsLanguageCode(std::string_view code) {
  const auto lower = [](char c) { return c >= 'a' && c <= 'z'; };
  const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
  const std::size_t letters = code.find('_') == std::string_view::npos ? code.size() : code.find('_');
  if (letters < 2 || letters > 3) return false;
  for (std::size_t i = 0; i < letters; ++i) {
    if (!lower(code[i])) return false;
  }
  if (letters == code.size()) return true;
  return code.size() == letters + 3 && upper(code[letters + 1]) && upper(code[letters + 2]);
}

std::optional<DriverBackend> BackendNamed(std::string_view name) {
  for (const auto& [text, backend] : kBackends) {
    if (text == name) return backend;
  }
  return std::nullopt;
}

// The options Qt's application object takes out of the command line, and
// whether a value follows them as the next argument.
struct QtOption {
  std::string_view name;
  bool takesValue;
};
constexpr std::array<QtOption, 17> kQtOptions = {{
    {"platform", true},
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"qwindowgeometry", true},
    {"qwindowicon", true},
    {"qwindowtitle", true},
    {"session", true},
    {"style", true},
    {"stylesheet", true},
    {"display", true},
    {"geometry", true},
    {"qmljsdebugger", false},  // "-qmljsdebugger=port:..."
    {"reverse", false},
    {"widgetcount", false},
    {"nograb", false},
    {"dograb", false},
}};

// The Qt option an argument names ("-style", "--style", "-style=x"), if any.
std::optional<QtOption> QtOptionNamed(std::string_view argument) {
  if (!argument.starts_with('-')) return std::nullopt;
  argument.remove_prefix(argument.starts_with("--") ? 2 : 1);
  const std::string_view name = argument.substr(0, argument.find('='));
  for (const QtOption& option : kQtOptions) {
    if (option.name == name)
      return QtOption{option.name, option.takesValue && name.size() == argument.size()};
  }
  return std::nullopt;
}

CommandLineOptions Error(std::string message) {
  CommandLineOptions options;
  options.action = CommandLineOptions::Action::Error;
  options.error = std::move(message);
  return options;
}

}  // namespace

std::string_view DriverBackendName(DriverBackend backend) {
  for (const auto& [text, named] : kBackends) {
    if (named == backend) return text;
  }
  return "automatic";
}

CommandLineOptions ParseCommandLine(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h") return {CommandLineOptions::Action::Help, {}, {}, {}};
  }
  for (const std::string& argument : arguments) {
    if (argument == "--version") return {CommandLineOptions::Action::Version, {}, {}, {}};
  }

  CommandLineOptions options;
  const auto choose = [&options](DriverBackend backend) {
    if (options.driver != DriverBackend::Automatic && options.driver != backend) return false;
    options.driver = backend;
    return true;
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (argument == "--simulate") {
      if (!choose(DriverBackend::Simulated)) return Error("--simulate conflicts with the --driver given");
      continue;
    }
    if (argument.starts_with("--lang=") || argument == "--lang") {
      std::string_view code;
      if (argument == "--lang") {
        if (i + 1 == arguments.size()) return Error("--lang needs a language code, such as ko or en");
        code = arguments[++i];
      } else {
        code = argument.substr(std::string_view("--lang=").size());
      }
      if (!IsLanguageCode(code))
        return Error("'" + std::string(code) + "' is no language code (such as ko or en)");
      options.language = code;
      continue;
    }
    std::string_view name;
    if (argument.starts_with("--driver=")) {
      name = argument.substr(std::string_view("--driver=").size());
    } else if (argument == "--driver") {
      if (i + 1 == arguments.size()) return Error("--driver needs a backend: vendor, libftdi or simulated");
      name = arguments[++i];
    } else if (argument.starts_with("-")) {
      return Error("unknown option '" + std::string(argument) + "'");
    } else {
      return Error("unexpected argument '" + std::string(argument) + "'");
    }
    const std::optional<DriverBackend> backend = BackendNamed(name);
    if (!backend) {
      return Error("unknown driver backend '" + std::string(name) +
                   "' (choose vendor, libftdi or simulated)");
    }
    if (!choose(*backend)) return Error("more than one driver backend given");
  }
  return options;
}

CommandLineOptions ParseOptionsBeforeQt(const std::vector<std::string>& arguments) {
  std::vector<std::string> own;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (const std::optional<QtOption> qt = QtOptionNamed(argument)) {
      if (qt->takesValue) ++i;  // its value, whatever it looks like
      continue;
    }
    if (!argument.starts_with("--")) continue;
    own.push_back(argument);
    if ((argument == "--driver" || argument == "--lang") && i + 1 < arguments.size())
      own.push_back(arguments[++i]);
  }
  return ParseCommandLine(own);
}

std::string HelpText(bool libftdiBuilt) {
  std::string text =
      "Usage: kestrova [options]\n"
      "Front end of the four-channel USB acquisition unit.\n"
      "\n"
      "Options:\n"
      "  --driver=BACKEND  the USB driver backend:\n"
      "                      vendor     the bridge vendor's driver library (libftd2xx.so)\n";
  text += libftdiBuilt
              ? "                      libftdi    the open-source libftdi1\n"
              : "                      libftdi    the open-source libftdi1 (not available in this build)\n";
  text +=
      "                      simulated  a simulated unit; no hardware needed\n"
      "                    Without it: the vendor library when it loads, else libftdi1.\n"
      "  --simulate        the same as --driver=simulated\n"
      "  --lang=LANGUAGE   the language of the window, for this run:\n"
      "                      ko         Korean\n"
      "                      en         English\n"
      "                    (and any other the program has a translation for)\n"
      "                    Without it: the desktop's language; English for a language\n"
      "                    the program does not speak, Korean where none is set.\n"
      "  -h, --help        show this help and exit\n"
      "  --version         show the version and exit\n";
  return text;
}

std::string VersionText() {
  return "kestrova " KESTROVA_VERSION;
}

}  // namespace kestrova
