#include "cli/UnitLink.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "acquisition/SampleBuffer.h"
#include "device/CommandProtocol.h"
#include "device/DeviceDiscovery.h"

namespace kestrova::cli {

namespace {

// The device bar as discovery fills it.
class CollectingListView final : public DeviceListView {
 public:
  void ClearDevices() override { serials.clear(); }
  void AppendDevice(std::string_view serialNumber) override { serials.emplace_back(serialNumber); }
  void SelectDevice(int /*index*/) override {}
  [[nodiscard]] std::string SelectedDevice() const override { return serials.empty() ? "" : serials.front(); }
  void SetReplyText(std::string_view text) override { reply = std::string(text); }

  std::vector<std::string> serials;
  std::string reply;
};

std::string Joined(const std::vector<std::string>& serials) {
  std::string out;
  for (const std::string& serial : serials) out += "\n  " + serial;
  return out;
}

}  // namespace

void WaitableSessionEvents::PostTerminalFrame(std::vector<std::uint8_t> payload) {
  {
    const std::scoped_lock lock(mutex_);
    terminalFrames_.push_back(std::move(payload));
  }
  frameReady.Set();
}

std::vector<std::vector<std::uint8_t>> WaitableSessionEvents::TakeTerminalFrames() {
  const std::scoped_lock lock(mutex_);
  return std::exchange(terminalFrames_, {});
}

UnitLink::UnitLink(std::unique_ptr<DriverLoader> loader, std::string driverName)
    : loader_(std::move(loader)),
      driverName_(std::move(driverName)),
      session_(*loader_, frames_, running_, events_, statusLine_) {}

UnitLink::~UnitLink() {
  session_.CloseSession();
  session_.UnloadDriver();
}

Failure UnitLink::ListUnits(std::vector<std::string>& serials) {
  serials.clear();
  if (session_.EnsureLibrary() == nullptr)
    return {ExitCode::UnitFailure, "cannot load the USB driver: " + driverName_};
  CollectingListView view;
  DeviceDiscovery discovery(session_, view);
  discovery.SearchDevices();
  if (!view.reply.empty()) return {ExitCode::UnitFailure, "the USB driver (" + driverName_ + ") cannot list the devices"};
  serials = std::move(view.serials);
  return {};
}

Failure UnitLink::ChooseUnit(const std::string& serial) {
  std::vector<std::string> serials;
  if (Failure failure = ListUnits(serials); failure.failed()) return failure;
  if (!serial.empty()) {
    if (std::ranges::find(serials, serial) == serials.end()) {
      return {ExitCode::UnitFailure, "no unit with serial number '" + serial + "' is attached" +
                                         (serials.empty() ? std::string() : "; attached:" + Joined(serials))};
    }
    session_.SetSerialNumber(serial);
    return {};
  }
  if (serials.empty()) return {ExitCode::UnitFailure, "no unit is attached (driver: " + driverName_ + ")"};
  if (serials.size() > 1) {
    return {ExitCode::Usage, "several units are attached; choose one with --serial:" + Joined(serials)};
  }
  session_.SetSerialNumber(serials.front());
  return {};
}

Failure UnitLink::Open() {
  if (session_.EnsureOpen()) return {};
  const std::string unit = "unit " + std::string(session_.SerialNumber());
  if (statusLine_.Text() == kDriverLoadFailedText)
    return {ExitCode::UnitFailure, "cannot load the USB driver (" + driverName_ + ") for " + unit};
  return {ExitCode::UnitFailure, "cannot open " + unit + " (is another program using it?)"};
}

Failure UnitLink::CheckUnit(std::string& identification) {
  if (Failure failure = Open(); failure.failed()) return failure;
  CollectingListView view;
  DeviceDiscovery(session_, view).UnitCheck(1000);
  if (view.reply.empty()) {
    return {ExitCode::UnitFailure,
            "unit " + std::string(session_.SerialNumber()) + " did not answer the identification query within 1 s"};
  }
  identification = view.reply;
  return {};
}

bool UnitLink::Reopen() {
  session_.CloseSession();
  session_.UnloadDriver();
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  session_.LoadDriver();
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (session_.DriverReady() && session_.OpenAndConfigure()) return true;
  session_.UnloadDriver();
  return false;
}

void UnitLink::StopAndPark(const ScopeSettings& settings) {
  SampleBuffer unused;
  StopStreaming(session_, settings, settings.timeIndex, unused, {});
  session_.CloseSession();
  session_.ParkUnit();
  session_.UnloadDriver();
}

}  // namespace kestrova::cli
