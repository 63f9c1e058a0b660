#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Payloads.h"
#include "acquisition/FrameDecoder.h"
#include "acquisition/TimeBaseTable.h"

namespace kestrova {
namespace {

constexpr std::size_t kMaxPayloadLengthForTest = 8003;

using testing::Bytes;
using testing::MakeConstantPayload;
using testing::MakePayload;

class RecordingField : public ColorTextField {
 public:
  void SetTextColor(ColorRef color) override { textColor = color; }
  void SetBackgroundColor(ColorRef color) override { background = color; }
  void SetText(std::string_view t) override { text = std::string(t); }
  ColorRef textColor = 0xFFFFFFFF;
  ColorRef background = 0xFFFFFFFF;
  std::string text;
};

class FakeScrollBar : public ScrollBarControl {
 public:
  void SetRange(int minimum, int maximum) override {
    lo = minimum;
    hi = maximum;
  }
  void SetPosition(int p) override {
    requested.push_back(p);
    position = std::clamp(p, lo, hi);
  }
  [[nodiscard]] int Position() const override { return position; }
  int lo = 0;
  int hi = 0;
  int position = 0;
  std::vector<int> requested;
};

class RecordingHooks : public FrameDecoderHooks {
 public:
  explicit RecordingHooks(const SampleBuffer& buffer) : buffer_(buffer) {}
  void WriteRealSaveLine() override { calls.push_back("log@" + std::to_string(buffer_.writeIndex)); }
  void InvalidateDisplay() override { calls.emplace_back("invalidate"); }
  void ShowElapsedTime() override { calls.emplace_back("elapsed"); }
  std::vector<std::string> calls;

 private:
  const SampleBuffer& buffer_;
};

class FrameDecoderTest : public ::testing::Test {
 protected:
  FrameDecoderTest() {
    AllocateSampleBuffer(buffer, settings);
    UseTimeBase(4);  // "2 ms"
  }

  void UseTimeBase(int index) {
    settings.timeIndex = index;
    settings.timePerDivision = TimeBaseTable[static_cast<std::size_t>(index)].perDivision;
    scroll.SetRange(0, TimeBaseTable[static_cast<std::size_t>(index)].scrollMax);
  }

  FrameOutcome Feed(const std::vector<std::uint8_t>& payload) { return decoder.OnFrameReady(payload); }

  ScopeSettings settings;
  SampleBuffer buffer;
  AcquisitionRunning running;
  RecordingField status;
  FakeScrollBar scroll;
  RecordingHooks hooks{buffer};
  FrameDecoder decoder{settings, buffer, running, status, scroll, hooks};
};

TEST(Checksum, CoversEverythingBeforeItsTwoDigits) {
  // 'T' and 8000 '0' characters: 84 + 8000 * 48 = 384084, 0x54 modulo 256.
  const std::string zeros = "T" + std::string(8000, '0');
  EXPECT_TRUE(ChecksumMatches(Bytes(zeros + "54")));
  EXPECT_FALSE(ChecksumMatches(Bytes(zeros + "55")));
  EXPECT_FALSE(ChecksumMatches(Bytes(zeros + "45")));
}

TEST(Checksum, AcceptsLowerCaseAndRejectsNonHexDigits) {
  // Body "A" + "J": 0x41 + 0x4A = 0x8B.
  EXPECT_TRUE(ChecksumMatches(Bytes("AJ8b")));
  EXPECT_TRUE(ChecksumMatches(Bytes("AJ8B")));
  // A body summing to 0xFF: a non-hex low digit would have read as 0xF.
  const std::string body = std::string(1, static_cast<char>(0x7F)) + std::string(1, static_cast<char>(0x80));
  EXPECT_TRUE(ChecksumMatches(Bytes(body + "FF")));
  EXPECT_FALSE(ChecksumMatches(Bytes(body + "FG")));
  EXPECT_FALSE(ChecksumMatches(Bytes(body + "Fz")));
  EXPECT_FALSE(ChecksumMatches(Bytes(body + "GF")));
}

TEST(Checksum, ShortPayloadsNeverMatch) {
  EXPECT_FALSE(ChecksumMatches({}));
  EXPECT_FALSE(ChecksumMatches(Bytes("0")));
  EXPECT_FALSE(ChecksumMatches(Bytes("00")));
  EXPECT_TRUE(
      ChecksumMatches(Bytes("\x01"
                            "01")));
}

struct FieldCase {
  const char* field;  // exactly four characters, NUL allowed
  std::uint16_t raw;
};

void PrintTo(const FieldCase& c, std::ostream* os) {
  for (int i = 0; i < 4; ++i) *os << (c.field[i] >= ' ' ? c.field[i] : '.');
}

class SampleFieldTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(SampleFieldTest, ConvertsLikeTheBase16TextConversion) {
  const FieldCase& c = GetParam();
  std::array<std::uint8_t, 4> bytes{};
  std::copy_n(c.field, 4, bytes.begin());
  EXPECT_EQ(ConvertSampleField(bytes), c.raw) << c.field;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, SampleFieldTest,
    ::testing::Values(FieldCase{"0000", 0}, FieldCase{"00FF", 255}, FieldCase{"ffff", 0xFFFF},
                      FieldCase{"1A2b", 0x1A2B}, FieldCase{" 1F ", 0x1F}, FieldCase{"\t\n12", 0x12},
                      FieldCase{"0x1F", 0x1F}, FieldCase{"0X7g", 7}, FieldCase{"0xg1", 0},
                      FieldCase{"-001", 0xFFFF}, FieldCase{"-0x1", 0xFFFF}, FieldCase{"+12z", 0x12},
                      FieldCase{"- 12", 0}, FieldCase{"12G4", 0x12}, FieldCase{"ZZZZ", 0},
                      FieldCase{"1\0"
                                "23",
                                1},
                      FieldCase{"\0"
                                "123",
                                0},
                      FieldCase{"    ", 0}));

TEST(SampleFields, ShortPayloadsReadZerosPastTheirEnd) {
  RawFrame raw{};
  raw[0][0] = 99;
  DecodeSampleFields(Bytes("T12"), raw);
  EXPECT_EQ(raw[0][0], 0x12);  // "12\0\0"
  EXPECT_EQ(raw[1][0], 0);
  EXPECT_EQ(raw[3][499], 0);
}

// The word-at-a-time path must agree with the field-by-field rule on any mix
// of plain and irregular fields.
TEST(SampleFields, WholeFrameDecodingAgreesWithFieldByFieldConversion) {
  static constexpr char kAlphabet[] = "0123456789abcdefABCDEFxX+- \t\0\x80gG";
  const std::string_view alphabet(kAlphabet, sizeof kAlphabet - 1);
  std::uint32_t seed = 12345;
  const auto next = [&seed] {
    seed = seed * 1664525U + 1013904223U;
    return seed >> 8;
  };
  for (int round = 0; round < 200; ++round) {
    std::vector<std::uint8_t> payload(kMaxPayloadLengthForTest);
    const int irregularEvery = 1 + round % 7;
    for (std::size_t k = 0; k < payload.size(); ++k) {
      const bool irregular = next() % static_cast<unsigned>(irregularEvery * 50) == 0;
      payload[k] = static_cast<std::uint8_t>(irregular ? alphabet[next() % alphabet.size()]
                                                       : "0123456789ABCDEFabcdef"[next() % 22]);
    }
    RawFrame raw{};
    DecodeSampleFields(payload, raw);
    for (int i = 0; i < kSamplesPerFrame; ++i) {
      for (int c = 0; c < kChannelCount; ++c) {
        const std::size_t offset = 1 + 4 * static_cast<std::size_t>(4 * i + c);
        const std::span<const std::uint8_t, 4> field(payload.data() + offset, 4);
        ASSERT_EQ(raw[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)], ConvertSampleField(field))
            << "round " << round << " sample " << i << " channel " << c;
      }
    }
  }
}

TEST_F(FrameDecoderTest, AllZeroTriggeredFrameDecodesToZero) {
  const std::string payload = "T" + std::string(8000, '0') + "54";
  ASSERT_EQ(Feed(Bytes(payload)), FrameOutcome::Stored);
  for (int c = 0; c < kChannelCount; ++c) {
    EXPECT_EQ(buffer.Values(0, c)[0], 0.0);
    EXPECT_EQ(buffer.Values(0, c)[499], 0.0);
    EXPECT_EQ(buffer.Rows(0, c)[250], 400);
  }
}

TEST_F(FrameDecoderTest, Every00FFFieldIsRaw255) {
  const std::string payload = "T" + [] {
    std::string s;
    for (int k = 0; k < 2000; ++k) s += "00FF";
    return s;
  }() + "14";
  ASSERT_EQ(Feed(Bytes(payload)), FrameOutcome::Stored);
  EXPECT_EQ(buffer.Values(0, 3)[499], 255.0);
}

TEST_F(FrameDecoderTest, SamplesAreInterleavedChannelByChannel) {
  const auto payload = MakePayload('M', [](int i, int c) {
    char text[5];
    std::snprintf(text, sizeof text, "%04X", i * 4 + c);
    return std::string(text);
  });
  ASSERT_EQ(Feed(payload), FrameOutcome::Stored);
  EXPECT_EQ(buffer.Values(0, 0)[0], 0.0);
  EXPECT_EQ(buffer.Values(0, 3)[0], 3.0);
  EXPECT_EQ(buffer.Values(0, 1)[2], 9.0);
  EXPECT_EQ(buffer.Values(0, 2)[499], 1998.0);
}

TEST_F(FrameDecoderTest, SignednessScaleOffsetAndRowsFollowTheCurrentMode) {
  settings.operationMode = 2;
  settings.unsignedSamples[2] = {1, 0, 1, 1};
  settings.scale[2][1] = 2.0;
  settings.offset[2][1] = 10.0;
  settings.scale[2][2] = 0.5;
  settings.offset[2][2] = -1.0;
  settings.yMin[2] = -10.0;
  settings.yMax[2] = 10.0;
  RefreshDisplayMapping(settings);
  ASSERT_EQ(Feed(MakeConstantPayload('T', {0xFFFF, 0xFFFF, 0x0004, 0x8000})), FrameOutcome::Stored);
  EXPECT_EQ(buffer.Values(0, 0)[7], 65535.0);
  EXPECT_EQ(buffer.Values(0, 1)[7], -1.0 * 2.0 + 10.0);
  EXPECT_EQ(buffer.Values(0, 2)[7], 4 * 0.5 - 1.0);
  EXPECT_EQ(buffer.Values(0, 3)[7], 32768.0);
  EXPECT_EQ(buffer.Rows(0, 1)[7], 400 - (8 * 20 + 200));
  EXPECT_EQ(buffer.Rows(0, 2)[7], 400 - (1 * 20 + 200));
}

TEST_F(FrameDecoderTest, RejectedFramesChangeNothing) {
  buffer.lastFrameType = 'T';
  auto payload = MakeConstantPayload('T', {1, 2, 3, 4});
  payload.back() = payload.back() == '0' ? '1' : '0';
  EXPECT_EQ(Feed(payload), FrameOutcome::Rejected);
  EXPECT_EQ(Feed(Bytes("T")), FrameOutcome::Rejected);
  EXPECT_EQ(buffer.lastFrameType, 'T');
  EXPECT_EQ(buffer.frameCount, 0);
  EXPECT_EQ(buffer.Values(0, 0)[0], 0.0);
  EXPECT_TRUE(hooks.calls.empty());
  EXPECT_EQ(status.text, "");
}

TEST_F(FrameDecoderTest, OtherFrameTypesOnlySetTheLastType) {
  // An identification reply that happens to carry a valid checksum.
  const std::string body = "V1.0";
  EXPECT_EQ(Feed(Bytes(body + testing::ChecksumDigits(body))), FrameOutcome::NotSampleData);
  EXPECT_EQ(buffer.lastFrameType, 'V');
  EXPECT_EQ(buffer.frameCount, 0);
  EXPECT_TRUE(hooks.calls.empty());
}

TEST_F(FrameDecoderTest, MonitorFramesAreDroppedWhileOnlyTriggeredFramesCount) {
  settings.triggerOnly = 1;
  EXPECT_EQ(Feed(MakeConstantPayload('M', {5, 5, 5, 5})), FrameOutcome::MonitorDropped);
  EXPECT_EQ(buffer.lastFrameType, 'M');
  EXPECT_EQ(buffer.frameCount, 0);
  EXPECT_EQ(buffer.Values(0, 0)[0], 0.0);
  EXPECT_EQ(status.text, "");
  EXPECT_TRUE(hooks.calls.empty());

  settings.triggerOnly = 0;
  EXPECT_EQ(Feed(MakeConstantPayload('M', {5, 5, 5, 5})), FrameOutcome::Stored);
  EXPECT_EQ(status.text, "");  // only triggered frames touch the status
}

TEST_F(FrameDecoderTest, TriggeredFramesAreCountedOrAnnouncedOnce) {
  EXPECT_EQ(Feed(MakeConstantPayload('T', {0, 0, 0, 0})), FrameOutcome::Stored);
  EXPECT_EQ(status.text, "1 Trigger");
  EXPECT_EQ(status.textColor, Rgb(255, 0, 0));
  EXPECT_EQ(status.background, Rgb(0, 0, 0));
  Feed(MakeConstantPayload('M', {0, 0, 0, 0}));
  Feed(MakeConstantPayload('T', {0, 0, 0, 0}));
  EXPECT_EQ(status.text, "2 Trigger");

  settings.triggerStop = 1;
  Feed(MakeConstantPayload('T', {0, 0, 0, 0}));
  EXPECT_EQ(status.text, "Trigger!");
  EXPECT_EQ(buffer.triggerCount, 2);
}

TEST_F(FrameDecoderTest, HooksRunInOrderAndOnlyWhenDue) {
  Feed(MakeConstantPayload('M', {0, 0, 0, 0}));
  EXPECT_EQ(hooks.calls, (std::vector<std::string>{"invalidate"}));

  hooks.calls.clear();
  settings.realSaveEnable = 1;
  running.Set(true);
  UseTimeBase(7);
  buffer.writeIndex = 41;
  Feed(MakeConstantPayload('M', {0, 0, 0, 0}));
  EXPECT_EQ(hooks.calls, (std::vector<std::string>{"log@41", "invalidate", "elapsed"}));
}

TEST_F(FrameDecoderTest, RefreshTimeBasesOverwriteOneSlot) {
  for (int k = 0; k < 3; ++k) Feed(MakeConstantPayload('M', {static_cast<std::uint16_t>(k), 0, 0, 0}));
  EXPECT_EQ(buffer.writeIndex, 0);
  EXPECT_EQ(buffer.frameCount, 3);
  EXPECT_EQ(buffer.Values(0, 0)[0], 2.0);
  EXPECT_TRUE(scroll.requested.empty());
}

TEST_F(FrameDecoderTest, HistoryTimeBasesFillTheRingAndMoveTheScrollBar) {
  UseTimeBase(7);  // "20 ms": two frames per screen, range 0..98
  for (int k = 0; k < 3; ++k) Feed(MakeConstantPayload('M', {static_cast<std::uint16_t>(k), 0, 0, 0}));
  EXPECT_EQ(buffer.writeIndex, 3);
  EXPECT_EQ(buffer.frameCount, 3);
  EXPECT_EQ(buffer.Values(2, 0)[0], 2.0);
  EXPECT_EQ(scroll.position, 1);  // 3 - 200 / 100
  EXPECT_EQ(buffer.viewIndex, 1);

  settings.triggerUse = 1;
  Feed(MakeConstantPayload('M', {3, 0, 0, 0}));
  EXPECT_EQ(scroll.position, 3);  // frameCount - 1
  EXPECT_EQ(buffer.viewIndex, 3);
}

TEST_F(FrameDecoderTest, ViewIndexIsWhereTheBarLimitsIt) {
  UseTimeBase(11);  // "500 ms": fifty frames per screen, range 0..49
  Feed(MakeConstantPayload('M', {0, 0, 0, 0}));
  EXPECT_EQ(scroll.requested.back(), 1 - 50);
  EXPECT_EQ(buffer.viewIndex, 0);
  settings.triggerUse = 1;
  for (int k = 0; k < 99; ++k) Feed(MakeConstantPayload('M', {0, 0, 0, 0}));
  EXPECT_EQ(scroll.requested.back(), 99);
  EXPECT_EQ(buffer.viewIndex, 49);
}

TEST_F(FrameDecoderTest, HundredAndFiftyFramesWrapTheRing) {
  UseTimeBase(9);
  for (int k = 0; k < 150; ++k) Feed(MakeConstantPayload('M', {static_cast<std::uint16_t>(k), 0, 0, 0}));
  EXPECT_EQ(buffer.writeIndex, 50);
  EXPECT_EQ(buffer.frameCount, 100);
  EXPECT_EQ(buffer.Values(49, 0)[0], 149.0);  // newest
  EXPECT_EQ(buffer.Values(50, 0)[0], 50.0);   // oldest kept
}

}  // namespace
}  // namespace kestrova
