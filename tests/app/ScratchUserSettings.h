#pragma once

// Points the per-user settings store at a scratch place for the life of the
// object, so that a test never reads or changes the user's own settings: a
// temporary folder for the settings file elsewhere, a temporary registry key
// standing in for HKEY_CURRENT_USER on Windows (where QSettings' native store
// is the registry and its folder setting does not apply).

#include <QSettings>
#include <QTemporaryDir>

#ifdef _WIN32
#include <atomic>
#include <string>

#include "device/Win32.h"
#endif

namespace kestrova::test {

class ScratchUserSettings {
 public:
  ScratchUserSettings() {
#ifdef _WIN32
    static std::atomic<int> count{0};
    name_ = L"Software\\Kestrova tests\\" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(count++);
    valid_ = ::RegCreateKeyExW(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_ALL_ACCESS, nullptr, &key_, nullptr) == ERROR_SUCCESS &&
             ::RegOverridePredefKey(HKEY_CURRENT_USER, key_) == ERROR_SUCCESS;
#else
    valid_ = dir_.isValid();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
#endif
  }
  ~ScratchUserSettings() {
#ifdef _WIN32
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (key_ != nullptr) ::RegCloseKey(key_);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, name_.c_str());
#endif
  }
  ScratchUserSettings(const ScratchUserSettings&) = delete;
  ScratchUserSettings& operator=(const ScratchUserSettings&) = delete;

  [[nodiscard]] bool Valid() const {
    return valid_;
  }
#ifdef _WIN32
  // The key that HKEY_CURRENT_USER stands for meanwhile.
  [[nodiscard]] HKEY Key() const {
    return key_;
  }
#else
  // The folder of the settings files.
  [[nodiscard]] QString Folder() const {
    return dir_.path();
  }
#endif

 private:
  bool valid_ = false;
#ifdef _WIN32
  std::wstring name_;
  HKEY key_ = nullptr;
#else
  QTemporaryDir dir_;
#endif
};

}  // namespace kestrova::test
