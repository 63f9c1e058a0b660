#include "server/Instrument.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <utility>

#include "acquisition/FrameDecoder.h"
#include "acquisition/TimeBaseTable.h"
#include "acquisition/TriggerModes.h"
#include "analysis/Measurements.h"
#include "cli/CaptureSettings.h"
#include "cli/MemoryControlPanel.h"
#include "device/CommandProtocol.h"
#include "device/TerminalCommand.h"
#include "output/CsvExport.h"

namespace kestrova::server {

namespace {

// The SCPI "not a number": a measurement without a whole period.
constexpr std::string_view kNotANumber = "9.91E37";
// The window's edits hold values within this bound.
constexpr double kValueLimit = 65535.0;

// Event status register bits.
constexpr int kOperationComplete = 0x01;
constexpr int kQueryError = 0x04;
constexpr int kDeviceError = 0x08;
constexpr int kExecutionError = 0x10;
constexpr int kCommandError = 0x20;

// Status byte bits.
constexpr int kErrorAvailable = 0x04;
constexpr int kEventSummary = 0x20;

class NoDecoderHooks final : public FrameDecoderHooks {
 public:
  void WriteRealSaveLine() override {}
  void InvalidateDisplay() override {}
  void ShowElapsedTime() override {}
};

// A header node of the tree: "CHANnel#" is short form CHAN, long form
// CHANNEL, with a numeric suffix.
bool NodeMatches(std::string_view pattern, const HeaderNode& node) {
  const bool takesSuffix = pattern.ends_with('#');
  if (takesSuffix) pattern.remove_suffix(1);
  if (node.suffix && !takesSuffix) return false;
  std::string shortForm;
  std::string longForm;
  for (const char c : pattern) {
    if (c >= 'A' && c <= 'Z') shortForm += c;
    longForm += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  return node.mnemonic == shortForm || node.mnemonic == longForm;
}

// The choice among `patterns` (short/long forms as in the tree) a
// character parameter names.
std::optional<int> Choice(const Parameter& param, std::initializer_list<std::string_view> patterns) {
  if (param.kind != ParamKind::Character) return std::nullopt;
  const HeaderNode node{param.text, std::nullopt};
  int index = 0;
  for (const std::string_view pattern : patterns) {
    if (NodeMatches(pattern, node)) return index;
    ++index;
  }
  return std::nullopt;
}

std::string Number(double value) {
  std::array<char, 64> digits{};
  const auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  return ec == std::errc() ? std::string(digits.data(), end) : std::string(kNotANumber);
}

// A number as the window's edits take it: plain decimal, no exponent.
std::string EditText(double value) {
  std::array<char, 512> digits{};
  const auto [end, ec] =
      std::to_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed);
  return ec == std::errc() ? std::string(digits.data(), end) : std::string("0");
}

std::string Optional(const std::optional<double>& value) {
  return value && std::isfinite(*value) ? Number(*value) : std::string(kNotANumber);
}

}  // namespace

enum class Instrument::Id : int {
  Idn,
  Rst,
  Cls,
  Opc,
  Wai,
  Esr,
  Ese,
  Stb,
  Run,
  StopCmd,
  Single,
  AcqState,
  TimeScale,
  ChanDisplay,
  ChanScale,
  ChanOffset,
  ChanUnsigned,
  TrigMode,
  TrigSource,
  TrigLevel,
  TrigSlope,
  AcqMode,
  AcqOption,
  WavSource,
  WavFormat,
  WavData,
  WavXInc,
  WavPoints,
  WavHistory,
  MeasVMin,
  MeasVMax,
  MeasVpp,
  MeasVAvg,
  MeasVRms,
  MeasFreq,
  MeasPeriod,
  MeasDuty,
  SysError,
  SysUnit,
  SysRaw,
};

namespace {

enum Allows : unsigned { kSet = 1, kQuery = 2, kBoth = 3 };

struct TreeEntry {
  std::string_view path;  // nodes separated by ':'; a common command starts with '*'
  unsigned allows;
  int id;
};

}  // namespace

struct Instrument::Call {
  std::vector<int> suffixes;  // of the '#' nodes, 1 when not typed
  bool query = false;
  const std::vector<Parameter>& params;
};

namespace {

const std::vector<TreeEntry>& Tree() {
  static const std::vector<TreeEntry> tree = [] {
    std::vector<TreeEntry> t;
    const auto add = [&t](std::string_view path, unsigned allows, int id) {
      t.push_back({path, allows, id});
    };
    int n = 0;
    // In the order of Instrument::Id.
    add("*IDN", kQuery, n++);
    add("*RST", kSet, n++);
    add("*CLS", kSet, n++);
    add("*OPC", kBoth, n++);
    add("*WAI", kSet, n++);
    add("*ESR", kQuery, n++);
    add("*ESE", kBoth, n++);
    add("*STB", kQuery, n++);
    add("RUN", kSet, n++);
    add("STOP", kSet, n++);
    add("SINGle", kSet, n++);
    add("ACQuire:STATe", kQuery, n++);
    add("TIMebase:SCALe", kBoth, n++);
    add("CHANnel#:DISPlay", kBoth, n++);
    add("CHANnel#:SCALe", kBoth, n++);
    add("CHANnel#:OFFSet", kBoth, n++);
    add("CHANnel#:UNSigned", kBoth, n++);
    add("TRIGger:MODE", kBoth, n++);
    add("TRIGger:SOURce", kBoth, n++);
    add("TRIGger:LEVel", kBoth, n++);
    add("TRIGger:SLOPe", kBoth, n++);
    add("ACQuire:MODE", kBoth, n++);
    add("ACQuire:OPTion#", kBoth, n++);
    add("WAVeform:SOURce", kBoth, n++);
    add("WAVeform:FORMat", kBoth, n++);
    add("WAVeform:DATA", kQuery, n++);
    add("WAVeform:XINCrement", kQuery, n++);
    add("WAVeform:POINts", kQuery, n++);
    add("WAVeform:HISTory:DATA", kQuery, n++);
    for (const std::string_view m :
         {"MEASure:VMIN", "MEASure:VMAX", "MEASure:VPP", "MEASure:VAVerage", "MEASure:VRMS",
          "MEASure:FREQuency", "MEASure:PERiod", "MEASure:DUTYcycle"})
      add(m, kQuery, n++);
    const int sysError = n++;
    add("SYSTem:ERRor", kQuery, sysError);
    add("SYSTem:ERRor:NEXT", kQuery, sysError);
    add("SYSTem:UNIT", kQuery, n++);
    add("SYSTem:RAW", kQuery, n++);
    return t;
  }();
  return tree;
}

bool PathMatches(std::string_view path, std::span<const HeaderNode> nodes, std::vector<int>& suffixes) {
  std::vector<int> found;
  for (const HeaderNode& node : nodes) {
    if (path.empty()) return false;
    const std::size_t colon = path.find(':');
    const std::string_view pattern = path.substr(0, colon);
    if (!NodeMatches(pattern, node)) return false;
    if (pattern.ends_with('#')) found.push_back(node.suffix.value_or(1));
    path = colon == std::string_view::npos ? std::string_view() : path.substr(colon + 1);
  }
  if (!path.empty()) return false;
  suffixes = std::move(found);
  return true;
}

const TreeEntry* Find(const ProgramCommand& command, std::span<const HeaderNode> prefix,
                      std::vector<int>& suffixes) {
  std::vector<HeaderNode> nodes(prefix.begin(), prefix.end());
  nodes.insert(nodes.end(), command.nodes.begin(), command.nodes.end());
  for (const TreeEntry& entry : Tree()) {
    const bool common = entry.path.starts_with('*');
    if (common != command.common) continue;
    if (PathMatches(common ? entry.path.substr(1) : entry.path, nodes, suffixes)) return &entry;
  }
  return nullptr;
}

}  // namespace

Instrument::Instrument(UnitPort& unit, Identity identity) : unit_(unit), identity_(std::move(identity)) {
  ApplyOptions(options_);
  AllocateSampleBuffer(buffer_, settings_);
}

void Instrument::Start() {
  running_ = true;
  Restart();
}

void Instrument::Stop() {
  StopRun();
}

void Instrument::Restart() {
  AllocateSampleBuffer(buffer_, settings_);
  latestSlot_ = -1;
  unit_.DiscardQueuedFrames();
  unit_.Configure(settings_, running_);
}

void Instrument::StopRun() {
  if (singlePending_ && opcArmed_) eventStatus_ |= kOperationComplete;
  opcArmed_ = false;
  running_ = false;
  singlePending_ = false;
  unit_.Configure(settings_, false);
}

void Instrument::Reapply() {
  if (running_) Restart();
}

void Instrument::OnLinkLost() {
  QueueError(error::kHardware, "the link to the unit was lost");
}

void Instrument::QueueError(int code, std::string_view detail) {
  errors_.Push(code, detail);
  if (code <= -100 && code > -200)
    eventStatus_ |= kCommandError;
  else if (code <= -200 && code > -300)
    eventStatus_ |= kExecutionError;
  else if (code <= -300 && code > -400)
    eventStatus_ |= kDeviceError;
  else if (code <= -400)
    eventStatus_ |= kQueryError;
}

bool Instrument::ApplyOptions(const cli::SettingsOptions& options) {
  cli::CaptureSettings built = cli::BuildCaptureSettings(options);
  if (!built.refusal.empty()) {
    QueueError(error::kIllegalParameterValue);
    return false;
  }
  options_ = options;
  // What the run keeps from the old settings: the history position.
  settings_ = std::move(built.settings);
  return true;
}

void Instrument::OnFrame(std::span<const std::uint8_t> payload) {
  ++framesReceived_;
  // Frames still on the way after STOP do not replace the one kept.
  if (!running_) return;
  NoDecoderHooks hooks;
  cli::RecordingTextField triggerStatus;
  cli::MemoryScrollBar scroll;
  FrameDecoder decoder(settings_, buffer_, unit_.Running(), triggerStatus, scroll, hooks);
  if (decoder.OnFrameReady(payload) != FrameOutcome::Stored) return;
  latestSlot_ = (buffer_.captureEnd + kHistoryFrames - 1) % kHistoryFrames;
  ++framesStored_;
  // Single shot: the triggered frame ends the run, as in the window.
  if (singlePending_ && buffer_.lastFrameType == kTriggeredFrame) StopRun();
}

void Instrument::ClientGone() {
  pending_.clear();
  next_ = 0;
  parseError_ = 0;
  responses_.clear();
  reply_.clear();
  if (rawWaiting_) {
    rawWaiting_ = false;
    (void)unit_.FinishTerminal();
  }
}

Instrument::Progress Instrument::Input(std::string_view message) {
  ParsedMessage parsed = ParseProgramMessage(message);
  pending_ = std::move(parsed.commands);
  parseError_ = parsed.error;
  next_ = 0;
  path_.clear();
  responses_.clear();
  return RunPending();
}

Instrument::Progress Instrument::Resume() {
  return RunPending();
}

Instrument::Progress Instrument::RunPending() {
  while (next_ < pending_.size()) {
    if (Execute(pending_[next_]) == Progress::Waiting) return Progress::Waiting;
    ++next_;
  }
  if (parseError_ != 0) QueueError(parseError_);
  parseError_ = 0;
  pending_.clear();
  next_ = 0;
  if (!responses_.empty()) {
    for (std::size_t i = 0; i < responses_.size(); ++i) {
      if (i > 0) reply_ += ';';
      reply_ += responses_[i];
    }
    reply_ += '\n';
    responses_.clear();
  }
  return Progress::Done;
}

std::string Instrument::TakeReply() {
  return std::exchange(reply_, {});
}

Instrument::Progress Instrument::Execute(const ProgramCommand& command) {
  std::vector<int> suffixes;
  const TreeEntry* entry = nullptr;
  // A relative header continues the path of the command before it; where
  // that names nothing, it is read from the root.
  if (!command.common && !command.absolute && !path_.empty()) entry = Find(command, path_, suffixes);
  bool relative = entry != nullptr;
  if (entry == nullptr) entry = Find(command, {}, suffixes);
  if (entry == nullptr) {
    QueueError(error::kUndefinedHeader);
    return Progress::Done;
  }
  if (!command.common) {
    std::vector<HeaderNode> path = relative ? path_ : std::vector<HeaderNode>{};
    path.insert(path.end(), command.nodes.begin(), command.nodes.end() - 1);
    path_ = std::move(path);
  }
  if ((entry->allows & (command.query ? kQuery : kSet)) == 0) {
    QueueError(error::kUndefinedHeader);
    return Progress::Done;
  }
  const Call call{std::move(suffixes), command.query, command.params};
  return Dispatch(static_cast<Id>(entry->id), call);
}

Instrument::Progress Instrument::LatestFrame(int& slot) {
  if (latestSlot_ >= 0) {
    slot = latestSlot_;
    return Progress::Done;
  }
  if (running_) return Progress::Waiting;  // the first frame is on its way
  slot = -1;
  QueueError(error::kDataStale, "no frame since the last change");
  return Progress::Done;
}

std::string Instrument::Encode(std::span<const double> values) const {
  if (realFormat_) {
    std::string bytes;
    bytes.reserve(values.size() * 4);
    for (const double value : values) {
      const auto f = static_cast<float>(value);
      std::array<unsigned char, 4> raw{};
      std::memcpy(raw.data(), &f, raw.size());
      if constexpr (std::endian::native == std::endian::big) std::ranges::reverse(raw);
      bytes.append(reinterpret_cast<const char*>(raw.data()), raw.size());
    }
    const std::string length = std::to_string(bytes.size());
    return "#" + std::to_string(length.size()) + length + bytes;
  }
  std::string text;
  for (const double value : values) {
    if (!text.empty()) text += ',';
    text += Number(value);
  }
  return text;
}

namespace {

constexpr std::array<std::string_view, 4> kModeReplies = {"ADC", "SPI", "CAN", "UART"};
constexpr std::array<std::string_view, 3> kTriggerReplies = {"AUTO", "NORM", "SING"};

// The one parameter of a setting, or the error that it is missing or
// followed by more.
int OneParameter(const std::vector<Parameter>& params) {
  if (params.empty()) return error::kMissingParameter;
  if (params.size() > 1) return error::kParameterNotAllowed;
  return 0;
}

// A number without a unit, or in seconds for `seconds`.
int NumberOf(const Parameter& param, bool seconds, double& value) {
  if (param.kind != ParamKind::Numeric) return error::kDataType;
  value = param.number;
  if (param.unit.empty()) return 0;
  if (!seconds) return error::kSuffixNotAllowed;
  static constexpr std::array<std::pair<std::string_view, double>, 4> kUnits = {
      {{"S", 1.0}, {"MS", 1e-3}, {"US", 1e-6}, {"NS", 1e-9}}};
  for (const auto& [unit, factor] : kUnits) {
    if (param.unit == unit) {
      value *= factor;
      return 0;
    }
  }
  return error::kInvalidSuffix;
}

int BooleanOf(const Parameter& param, bool& value) {
  if (param.kind == ParamKind::Numeric) {
    if (!param.unit.empty()) return error::kSuffixNotAllowed;
    value = std::lround(param.number) != 0;
    return 0;
  }
  const std::optional<int> choice = Choice(param, {"OFF", "ON"});
  if (!choice) return param.kind == ParamKind::Character ? error::kIllegalParameterValue : error::kDataType;
  value = *choice == 1;
  return 0;
}

// "CHANnel<n>" as a parameter: the channel index 0..3.
int ChannelOf(const Parameter& param, int& channel) {
  if (param.kind != ParamKind::Character) return error::kDataType;
  std::size_t digits = param.text.size();
  while (digits > 0 && param.text[digits - 1] >= '0' && param.text[digits - 1] <= '9') --digits;
  const HeaderNode node{param.text.substr(0, digits), std::nullopt};
  if (!NodeMatches("CHANnel", node)) return error::kIllegalParameterValue;
  int n = 1;
  if (digits < param.text.size()) {
    const char* first = param.text.data() + digits;
    const char* last = param.text.data() + param.text.size();
    const auto [end, ec] = std::from_chars(first, last, n);
    if (ec != std::errc() || end != last) return error::kIllegalParameterValue;
  }
  if (n < 1 || n > kChannelCount) return error::kIllegalParameterValue;
  channel = n - 1;
  return 0;
}

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    // A reply must not end the response line early.
    const auto u = static_cast<unsigned char>(c);
    out += u < 0x20 || u == 0x7F ? ' ' : c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

// The model as the identification names it: its first field, without the
// maker's name.
std::string ModelOf(std::string_view identification) {
  std::string_view model = identification.substr(0, identification.find(','));
  if (model.starts_with("Orvanta ")) model.remove_prefix(8);
  std::string out;
  for (const char c : model) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7F && c != ';' && c != '"') out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out.empty() ? std::string("USBCOM") : out;
}

}  // namespace

Instrument::Progress Instrument::Dispatch(Id id, const Call& call) {
  const std::vector<Parameter>& params = call.params;
  const auto fail = [this](int code) {
    QueueError(code);
    return Progress::Done;
  };
  // Queries take no parameter, except those that say otherwise below.
  const bool parameterQuery = id == Id::SysRaw || (id >= Id::MeasVMin && id <= Id::MeasDuty);
  if (call.query && !parameterQuery && !params.empty()) return fail(error::kParameterNotAllowed);
  for (const int suffix : call.suffixes) {
    const int limit = id == Id::AcqOption ? kOptionBitCount : kChannelCount;
    if (suffix < 1 || suffix > limit) return fail(error::kSuffixOutOfRange);
  }
  switch (id) {
    case Id::Idn:
      Respond("Orvanta," + ModelOf(identity_.identification) + "," + identity_.serial + "," +
              identity_.version);
      return Progress::Done;
    case Id::Rst:
      if (!params.empty()) return fail(error::kParameterNotAllowed);
      ApplyOptions({});
      waveformChannel_ = 0;
      realFormat_ = false;
      singlePending_ = false;
      running_ = true;
      Restart();
      return Progress::Done;
    case Id::Cls:
      if (!params.empty()) return fail(error::kParameterNotAllowed);
      errors_.Clear();
      eventStatus_ = 0;
      opcArmed_ = false;
      return Progress::Done;
    case Id::Opc:
      if (!call.query) {
        if (!params.empty()) return fail(error::kParameterNotAllowed);
        if (singlePending_)
          opcArmed_ = true;
        else
          eventStatus_ |= kOperationComplete;
        return Progress::Done;
      }
      if (singlePending_) return Progress::Waiting;
      Respond("1");
      return Progress::Done;
    case Id::Wai:
      if (!params.empty()) return fail(error::kParameterNotAllowed);
      return singlePending_ ? Progress::Waiting : Progress::Done;
    case Id::Esr:
      Respond(std::to_string(std::exchange(eventStatus_, 0)));
      return Progress::Done;
    case Id::Ese: {
      if (call.query) {
        Respond(std::to_string(eventEnable_));
        return Progress::Done;
      }
      if (const int e = OneParameter(params); e != 0) return fail(e);
      double value = 0.0;
      if (const int e = NumberOf(params[0], false, value); e != 0) return fail(e);
      if (value < 0.0 || value > 255.0) return fail(error::kDataOutOfRange);
      eventEnable_ = static_cast<int>(std::lround(value));
      return Progress::Done;
    }
    case Id::Stb:
      Respond(std::to_string((errors_.Empty() ? 0 : kErrorAvailable) |
                             ((eventStatus_ & eventEnable_) != 0 ? kEventSummary : 0)));
      return Progress::Done;
    case Id::Run:
    case Id::Single: {
      if (!params.empty()) return fail(error::kParameterNotAllowed);
      if (id == Id::Single) {
        cli::SettingsOptions options = options_;
        options.trigger = static_cast<int>(TriggerMode::Single);
        if (!ApplyOptions(options)) return Progress::Done;
      }
      running_ = true;
      singlePending_ = settings_.triggerStop != 0;
      Restart();
      return Progress::Done;
    }
    case Id::StopCmd:
      if (!params.empty()) return fail(error::kParameterNotAllowed);
      StopRun();
      return Progress::Done;
    case Id::AcqState:
      Respond(running_ ? "RUN" : "STOP");
      return Progress::Done;
    case Id::WavData: {
      int slot = -1;
      if (LatestFrame(slot) == Progress::Waiting) return Progress::Waiting;
      if (slot >= 0) Respond(Encode(buffer_.Values(slot, waveformChannel_)));
      return Progress::Done;
    }
    case Id::WavXInc:
      Respond(Number(static_cast<double>(CsvSampleStepMicroseconds(settings_.timePerDivision)) / 1e6));
      return Progress::Done;
    case Id::WavPoints:
      Respond(std::to_string(kSamplesPerFrame));
      return Progress::Done;
    case Id::WavHistory:
      return History(call);
    case Id::SysError:
      Respond(errors_.Pop());
      return Progress::Done;
    case Id::SysUnit:
      Respond(Quoted(identity_.identification));
      return Progress::Done;
    case Id::SysRaw:
      return Raw(call);
    default:
      break;
  }
  if (id >= Id::MeasVMin && id <= Id::MeasDuty)
    return MeasureQuery(call, static_cast<int>(id) - static_cast<int>(Id::MeasVMin));
  return SettingCommand(id, call);
}

Instrument::Progress Instrument::SettingCommand(Id id, const Call& call) {
  const int m = settings_.Mode();
  const int c = call.suffixes.empty() ? 0 : call.suffixes.front() - 1;
  const auto index = [](int i) { return static_cast<std::size_t>(i); };
  if (call.query) {
    std::string r;
    switch (id) {
      case Id::TimeScale:
        r = Number(TimeBaseAt(settings_.timeIndex).perDivision / 10000.0);
        break;
      case Id::ChanDisplay:
        r = settings_.channelEnable[index(m)][index(c)] != 0 ? "1" : "0";
        break;
      case Id::ChanScale:
        r = Number(settings_.scale[index(m)][index(c)]);
        break;
      case Id::ChanOffset:
        r = Number(settings_.offset[index(m)][index(c)]);
        break;
      case Id::ChanUnsigned:
        r = settings_.unsignedSamples[index(m)][index(c)] != 0 ? "1" : "0";
        break;
      case Id::TrigMode:
        r = kTriggerReplies[index(static_cast<int>(TriggerModeOf(settings_)))];
        break;
      case Id::TrigSource:
        r = "CHAN" + std::to_string(settings_.triggerChannel[index(m)] + 1);
        break;
      case Id::TrigLevel:
        r = Number(settings_.triggerLevel[index(m)]);
        break;
      case Id::TrigSlope:
        r = settings_.triggerEdge != 0 ? "POS" : "NEG";
        break;
      case Id::AcqMode:
        r = kModeReplies[index(m)];
        break;
      case Id::AcqOption:
        r = settings_.optionBits[index(m)][index(c)] != 0 ? "1" : "0";
        break;
      case Id::WavSource:
        r = "CHAN" + std::to_string(waveformChannel_ + 1);
        break;
      case Id::WavFormat:
        r = realFormat_ ? "REAL" : "ASC";
        break;
      default:
        QueueError(error::kUndefinedHeader);
        return Progress::Done;
    }
    Respond(std::move(r));
    return Progress::Done;
  }

  if (const int e = OneParameter(call.params); e != 0) {
    QueueError(e);
    return Progress::Done;
  }
  const Parameter& param = call.params.front();
  cli::SettingsOptions options = options_;
  int e = 0;
  double number = 0.0;
  bool flag = false;
  int channel = 0;
  // A typed number for one of the window's edits: within the edits' bounds.
  const auto edit = [&](std::optional<std::string>& field) {
    e = NumberOf(param, false, number);
    if (e == 0 && !(std::fabs(number) <= kValueLimit)) e = error::kDataOutOfRange;
    if (e == 0) field = EditText(number);
  };
  switch (id) {
    case Id::TimeScale: {
      e = NumberOf(param, true, number);
      if (e != 0) break;
      e = error::kIllegalParameterValue;  // only the window's list
      for (int i = 0; i < kTimeBaseCount; ++i) {
        const double seconds = TimeBaseTable[index(i)].perDivision / 10000.0;
        if (std::fabs(number - seconds) <= seconds * 1e-9) {
          options.timeIndex = i;
          e = 0;
        }
      }
      break;
    }
    case Id::ChanDisplay:
      e = BooleanOf(param, flag);
      if (e != 0) break;
      if (!options.channels) {
        options.channels.emplace();
        for (std::size_t k = 0; k < kChannelCount; ++k)
          (*options.channels)[k] = settings_.channelEnable[index(m)][k] != 0;
      }
      (*options.channels)[index(c)] = flag;
      break;
    case Id::ChanScale:
      edit(options.scale[index(c)]);
      break;
    case Id::ChanOffset:
      edit(options.offset[index(c)]);
      break;
    case Id::ChanUnsigned:
      e = BooleanOf(param, flag);
      if (e == 0) options.unsignedSamples[index(c)] = flag;
      break;
    case Id::TrigMode: {
      const std::optional<int> mode = Choice(param, {"AUTO", "NORMal", "SINGle"});
      if (!mode)
        e = param.kind == ParamKind::Character ? error::kIllegalParameterValue : error::kDataType;
      else
        options.trigger = *mode;
      break;
    }
    case Id::TrigSource:
      e = ChannelOf(param, channel);
      if (e == 0) options.triggerChannel = channel;
      break;
    case Id::TrigLevel:
      edit(options.level);
      break;
    case Id::TrigSlope: {
      const std::optional<int> slope = Choice(param, {"NEGative", "POSitive"});
      if (!slope)
        e = param.kind == ParamKind::Character ? error::kIllegalParameterValue : error::kDataType;
      else
        options.edge = *slope;
      break;
    }
    case Id::AcqMode: {
      const std::optional<int> mode = Choice(param, {"ADC", "SPI", "CAN", "UART"});
      if (!mode)
        e = param.kind == ParamKind::Character ? error::kIllegalParameterValue : error::kDataType;
      else
        options.mode = *mode;
      break;
    }
    case Id::AcqOption:
      e = BooleanOf(param, flag);
      if (e == 0) options.optionBits[index(c)] = flag;
      break;
    case Id::WavSource:
      e = ChannelOf(param, channel);
      if (e == 0)
        waveformChannel_ = channel;
      else
        QueueError(e);
      return Progress::Done;
    case Id::WavFormat: {
      const std::optional<int> format = Choice(param, {"ASCii", "REAL"});
      if (!format)
        e = param.kind == ParamKind::Character ? error::kIllegalParameterValue : error::kDataType;
      else
        realFormat_ = *format == 1;
      if (e != 0) QueueError(e);
      return Progress::Done;
    }
    default:
      e = error::kUndefinedHeader;
      break;
  }
  if (e != 0) {
    QueueError(e);
    return Progress::Done;
  }
  if (!ApplyOptions(options)) return Progress::Done;
  // A single shot armed or re-armed by the trigger mode, as the window's
  // radio does while running.
  singlePending_ = running_ && settings_.triggerStop != 0;
  if (running_) Restart();
  return Progress::Done;
}

Instrument::Progress Instrument::History(const Call& /*call*/) {
  const int timePerDivision = settings_.timePerDivision;
  if (!IsHistoryTimeBase(timePerDivision)) {
    QueueError(error::kSettingsConflict, "not a history time base");
    return Progress::Done;
  }
  int slot = -1;
  if (LatestFrame(slot) == Progress::Waiting) return Progress::Waiting;
  if (slot < 0) return Progress::Done;
  const int frames = std::clamp(buffer_.captureFrames, 1, FramesPerScreen(timePerDivision));
  std::vector<double> values;
  values.reserve(static_cast<std::size_t>(frames) * kSamplesPerFrame);
  for (int k = frames - 1; k >= 0; --k) {
    const auto frame = buffer_.Values((slot - k + kHistoryFrames) % kHistoryFrames, waveformChannel_);
    values.insert(values.end(), frame.begin(), frame.end());
  }
  Respond(Encode(values));
  return Progress::Done;
}

Instrument::Progress Instrument::MeasureQuery(const Call& call, int which) {
  int channel = waveformChannel_;
  if (call.params.size() > 1) {
    QueueError(error::kParameterNotAllowed);
    return Progress::Done;
  }
  if (!call.params.empty()) {
    if (const int e = ChannelOf(call.params.front(), channel); e != 0) {
      QueueError(e);
      return Progress::Done;
    }
  }
  int slot = -1;
  if (LatestFrame(slot) == Progress::Waiting) return Progress::Waiting;
  if (slot < 0) return Progress::Done;
  const double step = static_cast<double>(CsvSampleStepMicroseconds(settings_.timePerDivision)) / 1e6;
  const Measurements r = Measure(buffer_.Values(slot, channel), step);
  switch (which) {
    case 0:
      Respond(Number(r.minimum));
      break;
    case 1:
      Respond(Number(r.maximum));
      break;
    case 2:
      Respond(Number(r.peakToPeak));
      break;
    case 3:
      Respond(Number(r.mean));
      break;
    case 4:
      Respond(Number(r.rms));
      break;
    case 5:
      Respond(Optional(r.frequency));
      break;
    case 6:
      Respond(Optional(r.period));
      break;
    default:
      Respond(Optional(r.dutyCycle));
      break;
  }
  return Progress::Done;
}

Instrument::Progress Instrument::Raw(const Call& call) {
  if (rawWaiting_) {
    if (std::chrono::steady_clock::now() < rawDeadline_) return Progress::Waiting;
    rawWaiting_ = false;
    std::string reply;
    for (const std::string& text : unit_.FinishTerminal()) {
      if (!reply.empty()) reply += ',';
      reply += Quoted(text);
    }
    Respond(reply.empty() ? std::string("\"\"") : reply);
    return Progress::Done;
  }
  if (const int e = OneParameter(call.params); e != 0) {
    QueueError(e);
    return Progress::Done;
  }
  const Parameter& param = call.params.front();
  if (param.kind != ParamKind::String) {
    QueueError(error::kDataType);
    return Progress::Done;
  }
  const std::vector<std::uint8_t> frame = TerminalFrame(0x02, CommandBytes(param.text), std::nullopt, 0x03);
  unit_.SendTerminal(frame);
  rawWaiting_ = true;
  rawDeadline_ = std::chrono::steady_clock::now() + kRawWait;
  return Progress::Waiting;
}

}  // namespace kestrova::server
