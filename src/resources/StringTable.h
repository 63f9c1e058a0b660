#pragma once

#include <string_view>

// The string table. Read-only data, safe from any thread.
namespace kestrova::res {

// The text of string resource id (UTF-8), empty when there is none.
std::string_view LoadResourceString(int id);

}  // namespace kestrova::res
