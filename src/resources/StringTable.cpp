#include "resources/StringTable.h"

#include <array>

#include "resources/DialogTemplate.h"

namespace kestrova::res {

namespace {

struct StringEntry {
  int id;
  std::string_view text;
};

constexpr std::array kStrings = std::to_array<StringEntry>({
    // The about item of the system menu.
    {kAboutMenuStringId, "Kestrova 정보(&A)..."},
});

}  // namespace

std::string_view LoadResourceString(int id) {
  for (const StringEntry& entry : kStrings) {
    if (entry.id == id) return entry.text;
  }
  return {};
}

}  // namespace kestrova::res
