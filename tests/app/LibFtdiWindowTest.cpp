// The main window on the libftdi1 backend, over the model of the bridge
// chip, driven with the keys a user presses: Start streams,
// an unplug and a bridge that stops answering both end the run with the
// lost-link text, and Start works again once the unit is back.
#include <QTest>
#include <memory>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "FakeLibFtdi.h"
#include "acquisition/ControlIds.h"
#include "acquisition/MemoryProfile.h"
#include "app/RunControl.h"
#include "app/ScopeDlg.h"
#include "device/CommandProtocol.h"
#include "device/LibFtdiDriver.h"
#include "support/AnsweringPrompts.h"

namespace kestrova {
namespace {

// A 'T' frame with every sample at a quarter of the range.
std::string UnitFrame() {
  static constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string payload = "T";
  for (int i = 0; i < kSamplesPerFrame * kChannelCount; ++i) payload += "0400";
  const std::uint8_t sum = BodyChecksum(payload);
  payload += kHex[sum >> 4];
  payload += kHex[sum & 0xFU];
  return "\x02" + payload + "\x03";
}

class LibFtdiWindowTest : public ::testing::Test {
 protected:
  LibFtdiWindowTest() {
    fake_.Attach({0x0403, 0x6120, "Orvanta USBCOM", "KV0001"});
    dialog_ = std::make_unique<CScopeDlg>(MakeLibFtdiDriverLoader(fake_.Calls()), profile_, prompts_);
    dialog_->show();
  }
  ~LibFtdiWindowTest() override { dialog_.reset(); }
  LibFtdiWindowTest(const LibFtdiWindowTest&) = delete;
  LibFtdiWindowTest& operator=(const LibFtdiWindowTest&) = delete;

  void Press(Qt::Key key) { QTest::keyClick(dialog_->Panel().Controls().Find(ctl::TimeList), key); }
  bool Streams(int frames) {
    const int before = dialog_->Buffer().frameCount;
    for (int f = 0; f < frames; ++f) fake_.Send(UnitFrame());
    return QTest::qWaitFor([&] { return dialog_->Buffer().frameCount >= before + frames; }, 20000);
  }
  bool LinkLostShown() {
    return QTest::qWaitFor(
        [&] { return !dialog_->Running() && dialog_->Panel().Text(ctl::StatusLine) == kLinkLostText; },
        20000);
  }

  fakes::FakeLibFtdi fake_;
  MemoryProfile profile_;
  test::AnsweringPrompts prompts_;
  std::unique_ptr<CScopeDlg> dialog_;
};

TEST_F(LibFtdiWindowTest, StreamsAndRecoversFromAnUnplug) {
  ASSERT_EQ(dialog_->Panel().Text(ctl::DeviceList), "KV0001");
  Press(Qt::Key_F2);
  ASSERT_TRUE(dialog_->Running());
  ASSERT_TRUE(Streams(5));
  EXPECT_EQ(fake_.DroppedBytes(), 0U);

  fake_.Unplug();
  ASSERT_TRUE(LinkLostShown());
  EXPECT_TRUE(dialog_->Panel().IsEnabled(ctl::Start));

  fake_.Replug();
  Press(Qt::Key_F2);
  ASSERT_TRUE(dialog_->Running());
  ASSERT_TRUE(Streams(3));
  Press(Qt::Key_F3);
  EXPECT_FALSE(dialog_->Running());
}

TEST_F(LibFtdiWindowTest, ABridgeThatStopsAnsweringEndsTheRunInsteadOfFreezingIt) {
  Press(Qt::Key_F2);
  ASSERT_TRUE(Streams(2));
  // 500 ms of silence, then the window's reconnect finds the bridge silent.
  fake_.Hang(true);
  ASSERT_TRUE(LinkLostShown());
  EXPECT_FALSE(dialog_->Panel().IsEnabled(ctl::Stop));

  fake_.Hang(false);
  Press(Qt::Key_F2);
  ASSERT_TRUE(dialog_->Running());
  ASSERT_TRUE(Streams(2));
  Press(Qt::Key_F3);
}

}  // namespace
}  // namespace kestrova
