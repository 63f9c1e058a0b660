#pragma once

#include <string>
#include <string_view>

namespace kestrova {

// The per-user settings store: integer and text values by section and key.
// The program keeps every value in one section. Implemented over QSettings
// by the application and in memory by tests. User-interface thread only.
class Profile {
 public:
  virtual ~Profile() = default;

  // The stored integer, or fallback when the key is missing or not an integer.
  [[nodiscard]] virtual int GetInt(std::string_view section, std::string_view key, int fallback) const = 0;
  virtual void PutInt(std::string_view section, std::string_view key, int value) = 0;

  // The stored text (UTF-8), or fallback when the key is missing.
  [[nodiscard]] virtual std::string GetText(std::string_view section, std::string_view key,
                                            std::string_view fallback) const = 0;
  virtual void PutText(std::string_view section, std::string_view key, std::string_view value) = 0;
};

}  // namespace kestrova
