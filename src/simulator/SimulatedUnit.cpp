#include "simulator/SimulatedUnit.h"

#include <algorithm>
#include <array>
#include <utility>

#include "acquisition/OperationMode.h"
#include "acquisition/SampleBuffer.h"
#include "acquisition/TimeBaseTable.h"

namespace kestrova {

namespace {

constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEtx = 0x03;
constexpr std::size_t kMaxCommandLength = 64;
// About 45 s of frames at the link's rate, 5 s at the fastest speed tests run the wire at:
// enough for a test to find the first frame of a run in it after the run.
constexpr std::size_t kRecentFrames = 512;
constexpr std::int64_t kFrameSamples = kSamplesPerFrame;
constexpr std::array<char, 16> kHexDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                             '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};

void AppendHexWord(std::vector<std::uint8_t>& out, std::uint16_t word, unsigned& sum) {
  for (unsigned shift = 12;; shift -= 4) {
    const auto digit = static_cast<std::uint8_t>(kHexDigits[(word >> shift) & 0xFU]);
    out.push_back(digit);
    sum += digit;
    if (shift == 0) break;
  }
}

void AppendChecksum(std::vector<std::uint8_t>& out, unsigned sum) {
  out.push_back(static_cast<std::uint8_t>(kHexDigits[(sum >> 4U) & 0xFU]));
  out.push_back(static_cast<std::uint8_t>(kHexDigits[sum & 0xFU]));
}

}  // namespace

SimulatedUnit::SimulatedUnit(std::string serialNumber, std::uint32_t seed, bool paced)
    : serialNumber_(std::move(serialNumber)), seed_(seed), paced_(paced) {
  PowerUp();
}

void SimulatedUnit::PowerUp() {
  status_ = UnitStatus{};
  status_.seed = seed_;
  status_.identification = IdentificationText();
  status_.waveform = TestWaveform(seed_, 0, 0, SamplesPerScreen(status_.configuration.TimeBaseIndex()));
  runStart_ = SimTime{};
  nextSample_ = 0;
  corruptNextChecksum_ = false;
  pending_.clear();
  inCommand_ = false;
  command_.clear();
  Changed();
}

std::string SimulatedUnit::IdentificationText() const {
  return "Orvanta USBCOM simulated unit, firmware 1.00, S/N " + serialNumber_ +
         " (4 channel, 16bit data, ADC:12bit)";
}

void SimulatedUnit::ReceiveFromHost(std::span<const std::uint8_t> bytes, SimTime now) {
  for (const std::uint8_t b : bytes) {
    if (b == kStx) {
      inCommand_ = true;
      command_.clear();
    } else if (b == kEtx) {
      if (inCommand_) HandleCommand(command_, now);
      inCommand_ = false;
      command_.clear();
    } else if (inCommand_) {
      command_.push_back(static_cast<char>(b));
      // Nothing the unit understands is this long: forget it up to the next STX.
      if (command_.size() > kMaxCommandLength) {
        inCommand_ = false;
        command_.clear();
      }
    }
  }
}

void SimulatedUnit::HandleCommand(std::string_view body, SimTime now) {
  if (body.empty()) return;
  if (body == "?") {
    ++status_.identificationQueries;
    QueueReply(IdentificationText(), now);
    return;
  }
  if (body.front() == 'S') {
    if (const auto configuration = ParseConfigurationBody(body)) {
      Configure(*configuration, now);
    } else {
      // A damaged configuration is ignored: the unit keeps what it was doing.
      ++status_.commandsRejected;
    }
    return;
  }
  ++status_.unknownCommands;
  QueueReply("ERR UNKNOWN COMMAND", now);
}

void SimulatedUnit::Configure(const UnitConfiguration& configuration, SimTime now) {
  ++status_.configurationsAccepted;
  status_.configuration = configuration;
  status_.waveform = TestWaveform(seed_, configuration.Mode(), configuration.OptionBits(),
                                  SamplesPerScreen(configuration.TimeBaseIndex()));
  status_.singleShotTaken = false;
  status_.streaming = configuration.Running();
  // Every configuration with the run bit starts a fresh capture (and re-arms
  // Single); one without it stops after the frame already on the wire.
  runStart_ = now;
  nextSample_ = 0;
  Changed();
}

void SimulatedUnit::QueueReply(std::string_view text, SimTime now) {
  Pending reply;
  reply.bytes.reserve(text.size() + 2);
  reply.bytes.push_back(kStx);
  reply.bytes.insert(reply.bytes.end(), text.begin(), text.end());
  reply.bytes.push_back(kEtx);
  reply.notBefore = now;
  pending_.push_back(std::move(reply));
  Changed();
}

void SimulatedUnit::InjectBytes(std::span<const std::uint8_t> bytes) {
  Pending injected;
  injected.bytes.assign(bytes.begin(), bytes.end());
  pending_.push_back(std::move(injected));
  Changed();
}

void SimulatedUnit::InjectOverlongFrame(std::size_t payloadLength) {
  Pending injected;
  injected.kind = PendingKind::Overlong;
  injected.count = std::max<std::size_t>(payloadLength, 8004);
  pending_.push_back(std::move(injected));
  Changed();
}

void SimulatedUnit::InjectBurst(int frames) {
  Pending injected;
  injected.kind = PendingKind::Burst;
  injected.count = static_cast<std::size_t>(std::max(frames, 1));
  pending_.push_back(std::move(injected));
  Changed();
}

std::optional<std::int64_t> SimulatedUnit::FindCrossing(std::int64_t first, std::int64_t last) const {
  const UnitConfiguration& cfg = status_.configuration;
  const int channel = cfg.TriggerChannel();
  const std::int32_t level = cfg.Level();
  const bool rising = cfg.RisingEdge();
  first = std::max<std::int64_t>(first, 1);
  std::int32_t previous = cfg.RawAsNumber(status_.waveform.Sample(channel, first - 1));
  for (std::int64_t x = first; x < last; ++x) {
    const std::int32_t current = cfg.RawAsNumber(status_.waveform.Sample(channel, x));
    if (rising ? (previous < level && current >= level) : (previous > level && current <= level)) return x;
    previous = current;
  }
  return std::nullopt;
}

SimulatedUnit::Window SimulatedUnit::ChooseWindow(std::int64_t from) const {
  const UnitConfiguration& cfg = status_.configuration;
  const bool roll =
      cfg.Trigger() == TriggerMode::Auto && IsHistoryTimeBase(TimeBaseAt(cfg.TimeBaseIndex()).perDivision);
  if (roll) {
    // Auto at a history time base: consecutive frames of one unbroken
    // stream, each marked by whether the trigger condition occurs in it.
    const bool triggered = FindCrossing(from + 1, from + kFrameSamples).has_value();
    return Window{from, triggered ? 'T' : 'M'};
  }
  // Otherwise the frame is placed so that the first crossing within a
  // frame's length sits at kTriggerSample; without one it is a monitor frame
  // of the samples from `from` on.
  if (const auto crossing = FindCrossing(from + kTriggerSample, from + kTriggerSample + kFrameSamples)) {
    return Window{*crossing - kTriggerSample, 'T'};
  }
  return Window{from, 'M'};
}

std::optional<PlannedTransmission> SimulatedUnit::PlanNext(SimTime wireFree) {
  if (plan_ && plan_->wireFree == wireFree && plan_->version == version_) return plan_->transmission;
  plan_.reset();
  Plan plan;
  plan.wireFree = wireFree;
  plan.version = version_;
  if (!pending_.empty()) {
    const Pending& next = pending_.front();
    plan.pending = true;
    plan.transmission.start = std::max(wireFree, next.notBefore);
    plan.transmission.instant = next.kind == PendingKind::Burst;
  } else if (status_.streaming && !status_.singleShotTaken) {
    const std::int64_t spacing = SampleSpacingNs(status_.configuration.TimeBaseIndex());
    std::int64_t from = nextSample_;
    if (paced_) {
      // The unit holds one frame of samples: what the wire was too slow to
      // carry is gone.
      const std::int64_t acquired = (wireFree - runStart_).count() / spacing;
      from = std::max(from, acquired - kFrameSamples);
    }
    plan.window = ChooseWindow(from);
    const SimTime ready = runStart_ + SimTime((plan.window.start + kFrameSamples) * spacing);
    plan.transmission.start = paced_ ? std::max(wireFree, ready) : wireFree;
  } else {
    return std::nullopt;
  }
  plan_ = plan;
  return plan.transmission;
}

void SimulatedUnit::EmitPlanned(std::vector<std::uint8_t>& out) {
  out.clear();
  if (!plan_) return;
  const Plan plan = *plan_;
  plan_.reset();
  Changed();
  if (!plan.pending) {
    AppendDataFrame(out, plan.window, std::exchange(corruptNextChecksum_, false));
    if (plan.window.type == 'T' && status_.configuration.Trigger() == TriggerMode::Single) {
      // One shot: nothing more until a new configuration re-arms the unit.
      status_.singleShotTaken = true;
    }
    return;
  }
  Pending next = std::move(pending_.front());
  pending_.pop_front();
  switch (next.kind) {
    case PendingKind::Bytes:
      out = std::move(next.bytes);
      break;
    case PendingKind::Overlong:
      AppendOverlongFrame(out, next.count);
      break;
    case PendingKind::Burst:
      for (std::size_t i = 0; i < next.count; ++i) {
        const Window window = ChooseWindow(nextSample_);
        AppendDataFrame(out, window, std::exchange(corruptNextChecksum_, false));
      }
      break;
  }
}

void SimulatedUnit::AppendDataFrame(std::vector<std::uint8_t>& out, const Window& window, bool corrupt) {
  out.reserve(out.size() + kDataFrameBytes);
  out.push_back(kStx);
  out.push_back(static_cast<std::uint8_t>(window.type));
  unsigned sum = static_cast<unsigned char>(window.type);
  for (std::int64_t i = 0; i < kFrameSamples; ++i) {
    for (int c = 0; c < kChannelCount; ++c)
      AppendHexWord(out, status_.waveform.Sample(c, window.start + i), sum);
  }
  AppendChecksum(out, corrupt ? sum + 1U : sum);
  out.push_back(kEtx);
  NoteFrame(window, corrupt);
  nextSample_ = window.start + kFrameSamples;
}

void SimulatedUnit::AppendOverlongFrame(std::vector<std::uint8_t>& out, std::size_t payloadLength) const {
  // A monitor frame with more sample fields than a frame holds and a
  // checksum that matches: only its length is wrong.
  out.reserve(out.size() + payloadLength + 2);
  out.push_back(kStx);
  out.push_back('M');
  unsigned sum = 'M';
  std::vector<std::uint8_t> fields;
  fields.reserve(payloadLength);
  unsigned ignored = 0;
  for (std::int64_t i = 0; fields.size() < payloadLength - 3; ++i) {
    AppendHexWord(
        fields, status_.waveform.Sample(static_cast<int>(i % kChannelCount), nextSample_ + i / kChannelCount),
        ignored);
  }
  fields.resize(payloadLength - 3);
  for (const std::uint8_t b : fields) sum += b;
  out.insert(out.end(), fields.begin(), fields.end());
  AppendChecksum(out, sum);
  out.push_back(kEtx);
}

void SimulatedUnit::NoteFrame(const Window& window, bool corrupt) {
  ++status_.dataFramesSent;
  if (window.type == 'T') ++status_.triggeredFramesSent;
  status_.recentFrames.push_back(SentFrame{window.type, window.start, corrupt, status_.waveform});
  if (status_.recentFrames.size() > kRecentFrames) status_.recentFrames.pop_front();
}

}  // namespace kestrova
