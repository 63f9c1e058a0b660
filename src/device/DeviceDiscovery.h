#pragma once

#include <string>
#include <string_view>

#include "resources/Translatable.h"

namespace kestrova {

class DeviceSession;

// Text shown in the reply box when the driver cannot list devices.
inline constexpr std::string_view kDeviceSearchFailedText =
    KESTROVA_TR_NOOP("Kestrova", "장치를 검색할 수 없습니다.");

// The device bar as discovery sees it: the device list (serial numbers in
// the order the driver reports them) and the read-only reply box. The window
// implements it with its widgets. User-interface thread only.
class DeviceListView {
 public:
  virtual ~DeviceListView() = default;
  virtual void ClearDevices() = 0;
  virtual void AppendDevice(std::string_view serialNumber) = 0;
  // Selects an entry without notifying OnDeviceSelected.
  virtual void SelectDevice(int index) = 0;
  // Text of the selected entry; empty when nothing is selected.
  [[nodiscard]] virtual std::string SelectedDevice() const = 0;
  virtual void SetReplyText(std::string_view text) = 0;
};

// Finds the attached units and checks one: the logic behind the device bar.
// User-interface thread only.
class DeviceDiscovery {
 public:
  DeviceDiscovery(DeviceSession& session, DeviceListView& view);

  // Lists the serial numbers of every attached device that reports the
  // unit's description, in the driver's order, and selects the stored serial
  // number if listed, otherwise the first unit (which becomes the stored
  // one). With no unit attached the stored serial number is kept.
  void SearchDevices();
  // The selected entry becomes the session's serial number.
  void OnDeviceSelected();
  // Opens the unit, sends the identification query, shows the reply (if one
  // arrives within `replyWaitMs`, the window's 100 ms unless a caller that
  // cannot click again asks for longer) and closes the session again.
  void UnitCheck(int replyWaitMs = kUnitCheckReplyWaitMs);

  static constexpr int kUnitCheckReplyWaitMs = 100;

 private:
  DeviceSession& session_;
  DeviceListView& view_;
};

}  // namespace kestrova
