#include "device/DeviceDiscovery.h"

#include <algorithm>
#include <chrono>
#include <span>
#include <thread>
#include <vector>

#include "device/CommandProtocol.h"
#include "device/DeviceSession.h"

namespace kestrova {

namespace {

std::string_view FieldText(std::span<const char> field) {
  return {field.data(), static_cast<std::size_t>(std::ranges::find(field, '\0') - field.begin())};
}

}  // namespace

DeviceDiscovery::DeviceDiscovery(DeviceSession& session, DeviceListView& view)
    : session_(session), view_(view) {}

void DeviceDiscovery::SearchDevices() {
  view_.ClearDevices();
  DriverApi* driver = session_.EnsureLibrary();
  d2xx::DWORD count = 0;
  if (driver == nullptr || driver->CreateDeviceInfoList(count) != d2xx::FT_OK ||
      count > DeviceSession::kMaxListedDevices) {
    view_.SetReplyText(kDeviceSearchFailedText);
    return;
  }
  if (count == 0) return;

  std::vector<d2xx::FT_DEVICE_LIST_INFO_NODE> nodes(count);
  d2xx::DWORD listed = count;
  if (driver->GetDeviceInfoList(nodes, listed) != d2xx::FT_OK) {
    view_.SetReplyText(kDeviceSearchFailedText);
    return;
  }
  listed = std::min(listed, count);

  std::vector<std::string> serials;
  for (const auto& node : std::span(nodes).first(listed)) {
    if (FieldText(node.Description) != kUnitDescription) continue;
    serials.emplace_back(FieldText(node.SerialNumber));
    view_.AppendDevice(serials.back());
  }
  if (serials.empty()) return;

  const auto stored = std::ranges::find(serials, session_.SerialNumber());
  if (stored != serials.end()) {
    view_.SelectDevice(static_cast<int>(stored - serials.begin()));
    return;
  }
  view_.SelectDevice(0);
  OnDeviceSelected();
}

void DeviceDiscovery::OnDeviceSelected() {
  session_.SetSerialNumber(view_.SelectedDevice());
}

void DeviceDiscovery::UnitCheck(int replyWaitMs) {
  view_.SetReplyText("");
  if (!session_.EnsureOpen()) return;
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  FrameHandoff& frames = session_.Frames();
  frames.ClearLatestLength();
  session_.QueueCommand(IdentificationQuery());
  if (session_.WaitForReply(replyWaitMs)) view_.SetReplyText(frames.LatestText());
  session_.CloseSession();
}

}  // namespace kestrova
