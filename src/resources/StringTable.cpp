#include "resources/StringTable.h"

#include <array>

#include "resources/DialogTemplate.h"
#include "resources/Translatable.h"

namespace kestrova::res {

namespace {

struct StringEntry {
  int id;
  std::string_view text;
};

constexpr std::array kStrings = std::to_array<StringEntry>({
    // The about item of the system menu.
    {kAboutMenuStringId, KESTROVA_TR_NOOP("Kestrova", "Kestrova 정보(&A)...")},
    // The display's items of the same menu, and the measurement window.
    {kPeakDetectMenuStringId, KESTROVA_TR_NOOP("Kestrova", "피크 검출(&P)")},
    {kMeasurementMenuStringId, KESTROVA_TR_NOOP("Kestrova", "측정(&M)...\tF7")},
    {kMeasurementTitleStringId, KESTROVA_TR_NOOP("Kestrova", "측정")},
    {kCopyButtonStringId, KESTROVA_TR_NOOP("Kestrova", "복사(&C)")},
    // Opening a saved capture for review: the menu item and the dialog's title.
    {kOpenCaptureMenuStringId, KESTROVA_TR_NOOP("Kestrova", "열기(&O)...\tCtrl+O")},
    {kOpenCaptureTitleStringId, KESTROVA_TR_NOOP("Kestrova", "데이터 기록 파일 열기")},
});

}  // namespace

std::string_view LoadResourceString(int id) {
  for (const StringEntry& entry : kStrings) {
    if (entry.id == id) return entry.text;
  }
  return {};
}

}  // namespace kestrova::res
