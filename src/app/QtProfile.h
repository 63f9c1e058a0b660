#pragma once

#include <QSettings>

#include "acquisition/Profile.h"

namespace kestrova {

// The per-user settings store over QSettings in the platform's native format
// under organisation and application "Kestrova" (the registry on Windows, an
// INI file in the user's configuration directory elsewhere). A section is a
// settings group; keys may contain blanks; texts are UTF-8. Changes reach the
// store at the latest when the object is destroyed.
// User-interface thread only.
class QtProfile : public Profile {
 public:
  QtProfile();

  [[nodiscard]] int GetInt(std::string_view section, std::string_view key, int fallback) const override;
  void PutInt(std::string_view section, std::string_view key, int value) override;

  [[nodiscard]] std::string GetText(std::string_view section, std::string_view key,
                                    std::string_view fallback) const override;
  void PutText(std::string_view section, std::string_view key, std::string_view value) override;

  // Writes pending changes now; false when the store could not be written.
  bool Sync();

  // Where the values are kept (a file path or a registry path).
  [[nodiscard]] QString Location() const { return settings_.fileName(); }

 private:
  QSettings settings_;
};

}  // namespace kestrova
