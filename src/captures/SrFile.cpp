#include "captures/SrFile.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <map>
#include <utility>

#include "acquisition/TimeBaseTable.h"

namespace kestrova {

namespace {

// Frames per chunk: 50,000 samples (200 kB) a channel, so that showing a
// frame inflates little more than it needs.
constexpr int kFramesPerChunk = 100;
constexpr std::uint64_t kMaxMetadataSize = std::uint64_t{1} * 1024 * 1024;
// Channel indices a file may use (logic and analog together).
constexpr int kMaxChannelIndex = 4096;

std::string Number(double value) {
  std::array<char, 64> digits{};
  const auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  return ec == std::errc() ? std::string(digits.data(), end) : "0";
}

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool ParseInt(std::string_view text, long long& value) {
  text = Trim(text);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool ParseDouble(std::string_view text, double& value) {
  text = Trim(text);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

// The keys of "[device 1]" (the only device a Kestrova file has and the
// only one read).
std::map<std::string, std::string, std::less<>> DeviceKeys(std::string_view text) {
  std::map<std::string, std::string, std::less<>> keys;
  bool inDevice = false;
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    const std::string_view line = Trim(text.substr(0, newline));
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    if (line.front() == '[') {
      inDevice = line == "[device 1]";
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inDevice || equals == std::string_view::npos) continue;
    keys.emplace(std::string(Trim(line.substr(0, equals))), std::string(Trim(line.substr(equals + 1))));
  }
  return keys;
}

struct Chunk {
  const ZipEntry* entry;
  long long firstSample;
  long long samples;
};

class SrCapture final : public CaptureSource {
 public:
  SrCapture(ZipReader zip, CaptureInfo info, std::vector<std::vector<Chunk>> chunks)
      : zip_(std::move(zip)), chunks_(std::move(chunks)), cached_(chunks_.size()) {
    info_ = std::move(info);
  }

  bool ReadFrames(long long first, long long count, FrameBlock& out, LocalText& error) override {
    out = FrameBlock{};
    first = std::clamp(first, 0LL, info_.frameCount);
    count = std::clamp(count, 0LL, info_.frameCount - first);
    const int channels = static_cast<int>(chunks_.size());
    out.first = first;
    out.channelCount = channels;
    out.values.assign(static_cast<std::size_t>(count * channels * kCaptureFrameLength), 0.0);
    for (long long f = 0; f < count; ++f) {
      const long long start = (first + f) * kCaptureFrameLength;
      out.lengths.push_back(
          static_cast<int>(std::min<long long>(kCaptureFrameLength, info_.sampleCount - start)));
    }
    const long long begin = first * kCaptureFrameLength;
    const long long end = std::min(info_.sampleCount, (first + count) * kCaptureFrameLength);
    for (int c = 0; c < channels; ++c) {
      for (long long s = begin; s < end;) {
        const std::vector<std::uint8_t>* loaded = nullptr;
        const Chunk* chunk = Load(c, s, loaded, error);
        if (chunk == nullptr) {
          out = FrameBlock{};
          return false;
        }
        const std::vector<std::uint8_t>& bytes = *loaded;
        const long long stop = std::min(end, chunk->firstSample + chunk->samples);
        for (; s < stop; ++s) {
          const std::size_t at = static_cast<std::size_t>(s - chunk->firstSample) * 4;
          const std::uint32_t bits = static_cast<std::uint32_t>(bytes[at]) |
                                     (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
                                     (static_cast<std::uint32_t>(bytes[at + 2]) << 16) |
                                     (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
          const long long frame = s / kCaptureFrameLength - first;
          const long long i = s % kCaptureFrameLength;
          out.values[static_cast<std::size_t>((frame * channels + c) * kCaptureFrameLength + i)] =
              static_cast<double>(std::bit_cast<float>(bits));
        }
      }
    }
    return true;
  }

 private:
  // The two chunks of a channel last inflated: a screen that straddles a
  // chunk boundary scrolls without inflating both again at every step.
  struct Cached {
    std::array<std::size_t, 2> chunk{SIZE_MAX, SIZE_MAX};
    std::array<std::vector<std::uint8_t>, 2> bytes;
    std::size_t older = 0;  // the slot to reuse next
  };

  // The chunk of channel c holding sample s, inflated, and its bytes.
  const Chunk* Load(int c, long long s, const std::vector<std::uint8_t>*& bytes, LocalText& error) {
    const std::vector<Chunk>& list = chunks_[static_cast<std::size_t>(c)];
    const auto it = std::upper_bound(list.begin(), list.end(), s,
                                     [](long long sample, const Chunk& k) { return sample < k.firstSample; });
    const std::size_t index = static_cast<std::size_t>(it - list.begin()) - 1;
    Cached& cached = cached_[static_cast<std::size_t>(c)];
    for (std::size_t slot = 0; slot < 2; ++slot) {
      if (cached.chunk[slot] == index) {
        cached.older = 1 - slot;
        bytes = &cached.bytes[slot];
        return &list[index];
      }
    }
    const std::size_t slot = cached.older;
    cached.chunk[slot] = SIZE_MAX;
    if (!zip_.Read(*list[index].entry, cached.bytes[slot], error)) return nullptr;
    if (cached.bytes[slot].size() != static_cast<std::size_t>(list[index].samples) * 4) {
      error = {KESTROVA_TR_NOOP("Kestrova", "청크 길이가 맞지 않습니다 (%1)"),
               {LocalText::Plain(list[index].entry->name)}};
      return nullptr;
    }
    cached.chunk[slot] = index;
    cached.older = 1 - slot;
    bytes = &cached.bytes[slot];
    return &list[index];
  }

  ZipReader zip_;
  std::vector<std::vector<Chunk>> chunks_;
  std::vector<Cached> cached_;
};

OpenedCapture Refuse(LocalText message) {
  return {nullptr, std::move(message)};
}

}  // namespace

std::string_view TimeBaseLabelOf(int timePerDivision) {
  for (const TimeBase& entry : TimeBaseTable)
    if (entry.perDivision == timePerDivision) return entry.label;
  return {};
}

double SampleSecondsOf(int timePerDivision) {
  if (IsHistoryTimeBase(timePerDivision)) return 200e-6;
  return 2e-6 * std::max(timePerDivision, 1);
}

int NearestTimePerDivision(double sampleSeconds) {
  int best = TimeBaseTable.front().perDivision;
  double bestDistance = INFINITY;
  for (const TimeBase& entry : TimeBaseTable) {
    // Distance on a log scale: 2x too fast is as far as 2x too slow.
    const double distance = std::abs(std::log(SampleSecondsOf(entry.perDivision) / sampleSeconds));
    if (distance < bestDistance - 1e-9) {
      bestDistance = distance;
      best = entry.perDivision;
    }
  }
  return best;
}

std::string SampleRateText(long long hertz) {
  if (hertz >= 1'000'000 && hertz % 1'000'000 == 0) return std::to_string(hertz / 1'000'000) + " MHz";
  if (hertz >= 1'000 && hertz % 1'000 == 0) return std::to_string(hertz / 1'000) + " kHz";
  return std::to_string(hertz) + " Hz";
}

double ParseSampleRateText(std::string_view text) {
  text = Trim(text);
  double multiplier = 1.0;
  for (const auto& [suffix, factor] : std::array<std::pair<std::string_view, double>, 4>{
           {{"GHz", 1e9}, {"MHz", 1e6}, {"kHz", 1e3}, {"Hz", 1.0}}}) {
    if (text.ends_with(suffix)) {
      text.remove_suffix(suffix.size());
      multiplier = factor;
      break;
    }
  }
  double value = 0.0;
  if (!ParseDouble(text, value) || value <= 0.0) return 0.0;
  return value * multiplier;
}

std::string SrMetadata(const SrCaptureHeader& header) {
  std::string text = "[global]\nsigrok version=0.5.2\n\n[device 1]\n";
  const auto hertz = static_cast<long long>(std::llround(1.0 / SampleSecondsOf(header.timePerDivision)));
  text += "samplerate=" + SampleRateText(hertz) + "\n";
  text += "total analog=" + std::to_string(header.channels.size()) + "\n";
  for (std::size_t k = 0; k < header.channels.size(); ++k)
    text += "analog" + std::to_string(k + 1) + "=CH" + std::to_string(header.channels[k]) + "\n";
  text += "kestrova time per division=" + std::to_string(header.timePerDivision) + "\n";
  text += "kestrova frame length=" + std::to_string(kCaptureFrameLength) + "\n";
  text += "kestrova mode=" + std::to_string(header.mode) + "\n";
  for (std::size_t k = 0; k < header.channels.size(); ++k) {
    const auto c = static_cast<std::size_t>(std::clamp(header.channels[k], 1, kChannelCount) - 1);
    text += "kestrova scale" + std::to_string(k + 1) + "=" + Number(header.scale[c]) + "\n";
    text += "kestrova offset" + std::to_string(k + 1) + "=" + Number(header.offset[c]) + "\n";
  }
  return text;
}

SrCaptureHeader SrHeaderOf(const ScopeSettings& settings, int timePerDivision) {
  const int m = settings.Mode();
  SrCaptureHeader header;
  header.timePerDivision = timePerDivision;
  header.mode = m;
  for (int c = 0; c < kChannelCount; ++c) {
    const auto i = static_cast<std::size_t>(c);
    if (settings.channelEnable[m][i] != 0) header.channels.push_back(c + 1);
    header.scale[i] = settings.scale[m][i];
    header.offset[i] = settings.offset[m][i];
  }
  if (header.channels.empty()) header.channels = {1, 2, 3, 4};
  return header;
}

SrWriter::SrWriter(SrCaptureHeader header) : header_(std::move(header)), pending_(header_.channels.size()) {}

std::string SrWriter::Begin() {
  return zip_.Add("version", Bytes("2"));
}

std::string SrWriter::AddFrame(std::span<const std::span<const double>> channels) {
  for (std::size_t k = 0; k < pending_.size() && k < channels.size(); ++k)
    for (const double v : channels[k]) pending_[k].push_back(static_cast<float>(v));
  ++frames_;
  if (!channels.empty()) samples_ += static_cast<long long>(channels[0].size());
  return frames_ % kFramesPerChunk == 0 ? FlushChunk() : std::string();
}

std::string SrWriter::FlushChunk() {
  if (pending_.empty() || pending_[0].empty()) return {};
  ++chunk_;
  std::string out;
  std::vector<std::uint8_t> bytes;
  for (std::size_t k = 0; k < pending_.size(); ++k) {
    bytes.clear();
    bytes.reserve(pending_[k].size() * 4);
    for (const float v : pending_[k]) {
      const auto bits = std::bit_cast<std::uint32_t>(v);
      for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
    out += zip_.Add("analog-1-" + std::to_string(k + 1) + "-" + std::to_string(chunk_), bytes);
    pending_[k].clear();
  }
  return out;
}

std::string SrWriter::Finish() {
  std::string out = FlushChunk();
  out += zip_.Add("metadata", Bytes(SrMetadata(header_)));
  out += zip_.Finish();
  if (zip_.TooLarge()) return {};
  return out;
}

OpenedCapture OpenSrCapture(std::unique_ptr<ByteSource> source) {
  ZipReader zip(std::move(source));
  LocalText error;
  if (!zip.Open(error)) return Refuse(error);

  const ZipEntry* version = zip.Find("version");
  if (version == nullptr)
    return Refuse(KESTROVA_TR_NOOP("Kestrova", "sigrok 세션 파일이 아닙니다: version 항목이 없습니다"));
  std::vector<std::uint8_t> bytes;
  if (version->size > 16 || !zip.Read(*version, bytes, error))
    return Refuse(error.Empty() ? KESTROVA_TR_NOOP("Kestrova", "version 항목이 손상되었습니다") : error);
  const std::string_view versionText = Trim({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
  if (versionText != "2")
    return Refuse({KESTROVA_TR_NOOP("Kestrova", "지원하지 않는 sigrok 세션 형식입니다 (version %1)"),
                   {LocalText::Plain(std::string(versionText))}});

  const ZipEntry* metadata = zip.Find("metadata");
  if (metadata == nullptr) return Refuse(KESTROVA_TR_NOOP("Kestrova", "metadata 항목이 없습니다"));
  if (metadata->size > kMaxMetadataSize)
    return Refuse(KESTROVA_TR_NOOP("Kestrova", "metadata 항목이 너무 큽니다"));
  if (!zip.Read(*metadata, bytes, error)) return Refuse(error);
  const auto keys = DeviceKeys({reinterpret_cast<const char*>(bytes.data()), bytes.size()});

  CaptureInfo info;
  const auto rateKey = keys.find("samplerate");
  if (rateKey == keys.end()) return Refuse(KESTROVA_TR_NOOP("Kestrova", "metadata에 samplerate가 없습니다"));
  const double rate = ParseSampleRateText(rateKey->second);
  if (rate <= 0.0 || !std::isfinite(1.0 / rate))
    return Refuse({KESTROVA_TR_NOOP("Kestrova", "metadata의 samplerate가 잘못되었습니다: %1"),
                   {LocalText::Plain(rateKey->second)}});
  info.sampleSeconds = 1.0 / rate;

  // The analog channels, by their index among all channels.
  std::vector<std::pair<long long, std::string>> analog;
  for (const auto& [key, value] : keys) {
    long long index = 0;
    if (key.starts_with("analog") && ParseInt(std::string_view(key).substr(6), index) && index >= 1 &&
        index <= kMaxChannelIndex)
      analog.emplace_back(index, value);
  }
  std::sort(analog.begin(), analog.end());
  if (analog.empty()) return Refuse(KESTROVA_TR_NOOP("Kestrova", "아날로그 채널이 없습니다"));
  if (analog.size() > static_cast<std::size_t>(kChannelCount))
    return Refuse({KESTROVA_TR_NOOP("Kestrova", "아날로그 채널이 %1개입니다 (최대 4개)"),
                   {LocalText::Plain(std::to_string(analog.size()))}});
  if (const auto total = keys.find("total analog"); total != keys.end()) {
    long long declared = 0;
    if (!ParseInt(total->second, declared) || declared != static_cast<long long>(analog.size()))
      return Refuse({KESTROVA_TR_NOOP("Kestrova", "metadata의 total analog(%1)가 채널 수와 맞지 않습니다"),
                     {LocalText::Plain(total->second)}});
  }
  if (const auto probes = keys.find("total probes"); probes != keys.end()) {
    long long logic = 0;
    if (ParseInt(probes->second, logic) && logic > 0)
      info.notes.push_back({KESTROVA_TR_NOOP("Kestrova", "논리 채널 %1개는 건너뜁니다"),
                            {LocalText::Plain(std::to_string(logic))}});
  }

  // Channel numbers: CH1..CH4 as Kestrova names them, else in file order.
  std::vector<int> numbers;
  for (const auto& [index, name] : analog) {
    const bool own = name.size() == 3 && name.starts_with("CH") && name[2] >= '1' && name[2] <= '4' &&
                     std::find(numbers.begin(), numbers.end(), name[2] - '0') == numbers.end();
    numbers.push_back(own ? name[2] - '0' : 0);
  }
  if (std::find(numbers.begin(), numbers.end(), 0) != numbers.end()) {
    for (std::size_t k = 0; k < numbers.size(); ++k) numbers[k] = static_cast<int>(k) + 1;
    for (std::size_t k = 0; k < analog.size(); ++k)
      info.notes.push_back({KESTROVA_TR_NOOP("Kestrova", "%1 채널은 CH%2로 보여 줍니다"),
                            {LocalText::Plain(analog[k].second), LocalText::Plain(std::to_string(k + 1))}});
  }
  info.channels = numbers;

  // Each channel's chunks, numbered from 1 without a gap.
  std::map<std::pair<long long, long long>, const ZipEntry*> named;
  for (const ZipEntry& entry : zip.Entries()) {
    const std::string_view name = entry.name;
    if (!name.starts_with("analog-1-")) continue;
    const std::string_view rest = name.substr(9);
    const std::size_t dash = rest.find('-');
    long long k = 0;
    long long n = 0;
    if (dash == std::string_view::npos || !ParseInt(rest.substr(0, dash), k) ||
        !ParseInt(rest.substr(dash + 1), n))
      continue;
    named.emplace(std::pair(k, n), &entry);
  }
  std::vector<std::vector<Chunk>> chunks(analog.size());
  for (std::size_t c = 0; c < analog.size(); ++c) {
    long long total = 0;
    // The channel's highest chunk number: every one below it must be there.
    const auto next = named.lower_bound({analog[c].first + 1, 0});
    const long long last = next == named.begin() || std::prev(next)->first.first != analog[c].first
                               ? 0
                               : std::prev(next)->first.second;
    for (long long n = 1; n <= last; ++n) {
      const auto it = named.find({analog[c].first, n});
      if (it == named.end()) {
        return Refuse(
            {KESTROVA_TR_NOOP("Kestrova", "데이터 청크가 빠져 있습니다 (analog-1-%1-%2)"),
             {LocalText::Plain(std::to_string(analog[c].first)), LocalText::Plain(std::to_string(n))}});
      }
      const ZipEntry& entry = *it->second;
      if (entry.size % 4 != 0 || entry.size > kMaxZipEntrySize)
        return Refuse({KESTROVA_TR_NOOP("Kestrova", "청크 길이가 잘못되었습니다 (%1, %2 바이트)"),
                       {LocalText::Plain(entry.name), LocalText::Plain(std::to_string(entry.size))}});
      if (entry.size == 0) continue;
      chunks[c].push_back({&entry, total, static_cast<long long>(entry.size / 4)});
      total += static_cast<long long>(entry.size / 4);
    }
    if (chunks[c].empty()) {
      return Refuse(
          {KESTROVA_TR_NOOP("Kestrova", "채널 %1의 데이터 청크가 없습니다 (analog-1-%2-1)"),
           {LocalText::Plain(analog[c].second), LocalText::Plain(std::to_string(analog[c].first))}});
    }
    if (c == 0) {
      info.sampleCount = total;
    } else if (total != info.sampleCount) {
      return Refuse({KESTROVA_TR_NOOP("Kestrova", "채널마다 샘플 수가 다릅니다 (%1: %2, %3: %4)"),
                     {LocalText::Plain(analog[0].second), LocalText::Plain(std::to_string(info.sampleCount)),
                      LocalText::Plain(analog[c].second), LocalText::Plain(std::to_string(total))}});
    }
  }
  if (info.sampleCount == 0) return Refuse(KESTROVA_TR_NOOP("Kestrova", "샘플이 없습니다"));
  info.frameCount = (info.sampleCount + kCaptureFrameLength - 1) / kCaptureFrameLength;

  // Kestrova's own facts, where the file has them.
  long long value = 0;
  if (const auto it = keys.find("kestrova frame length"); it != keys.end()) {
    if (!ParseInt(it->second, value) || value != kCaptureFrameLength)
      return Refuse({KESTROVA_TR_NOOP("Kestrova", "metadata의 kestrova frame length(%1)가 잘못되었습니다"),
                     {LocalText::Plain(it->second)}});
  }
  info.timePerDivision = NearestTimePerDivision(info.sampleSeconds);
  if (const auto it = keys.find("kestrova time per division"); it != keys.end()) {
    const bool known =
        ParseInt(it->second, value) && std::any_of(TimeBaseTable.begin(), TimeBaseTable.end(),
                                                   [&](const TimeBase& t) { return t.perDivision == value; });
    if (!known)
      return Refuse(
          {KESTROVA_TR_NOOP("Kestrova", "metadata의 kestrova time per division(%1)가 잘못되었습니다"),
           {LocalText::Plain(it->second)}});
    info.timePerDivision = static_cast<int>(value);
  } else if (std::abs(SampleSecondsOf(info.timePerDivision) / info.sampleSeconds - 1.0) > 1e-6) {
    info.notes.push_back(
        {KESTROVA_TR_NOOP("Kestrova", "샘플레이트 %1에 맞는 시간축이 없어 가장 가까운 %2/div로 보여 줍니다"),
         {LocalText::Plain(rateKey->second),
          LocalText::Plain(std::string(TimeBaseLabelOf(info.timePerDivision)))}});
  }
  if (const auto it = keys.find("kestrova mode");
      it != keys.end() && ParseInt(it->second, value) && value >= 0 && value < kModeCount)
    info.mode = static_cast<int>(value);
  for (std::size_t k = 0; k < analog.size(); ++k) {
    const auto c = static_cast<std::size_t>(info.channels[k] - 1);
    double number = 0.0;
    if (const auto it = keys.find("kestrova scale" + std::to_string(k + 1));
        it != keys.end() && ParseDouble(it->second, number))
      info.scale[c] = number;
    if (const auto it = keys.find("kestrova offset" + std::to_string(k + 1));
        it != keys.end() && ParseDouble(it->second, number))
      info.offset[c] = number;
  }
  return {std::make_unique<SrCapture>(std::move(zip), std::move(info), std::move(chunks)), {}};
}

}  // namespace kestrova
