#include "app/QtProfile.h"

#include <QStringList>
#include <limits>

namespace kestrova {

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "section/key"; an empty section means the top level.
QString SettingsKey(std::string_view section, std::string_view key) {
  if (section.empty()) return FromUtf8(key);
  return FromUtf8(section) + u'/' + FromUtf8(key);
}

}  // namespace

QtProfile::QtProfile()
    : settings_(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kestrova"),
                QStringLiteral("Kestrova")) {}

int QtProfile::GetInt(std::string_view section, std::string_view key, int fallback) const {
  const QVariant value = settings_.value(SettingsKey(section, key));
  if (!value.isValid()) return fallback;
  // A 32-bit registry value may come back unsigned; it was written as an int.
  if (value.typeId() == QMetaType::UInt) return static_cast<int>(value.toUInt());
  // Texts (INI files) are read as wide numbers first: a narrowing read would
  // take the low bits of an out-of-range number as if it were valid.
  bool ok = false;
  const qlonglong number = value.toLongLong(&ok);
  if (!ok || number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
    return fallback;
  return static_cast<int>(number);
}

void QtProfile::PutInt(std::string_view section, std::string_view key, int value) {
  settings_.setValue(SettingsKey(section, key), value);
}

std::string QtProfile::GetText(std::string_view section, std::string_view key,
                               std::string_view fallback) const {
  const QVariant value = settings_.value(SettingsKey(section, key));
  if (!value.isValid()) return std::string(fallback);
  // An INI file edited by hand may hold an unquoted text with commas, which
  // reads back as a list; it meant the whole line.
  if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(u',').toStdString();
  return value.toString().toStdString();
}

void QtProfile::PutText(std::string_view section, std::string_view key, std::string_view value) {
  settings_.setValue(SettingsKey(section, key), FromUtf8(value));
}

bool QtProfile::Sync() {
  settings_.sync();
  return settings_.status() == QSettings::NoError;
}

}  // namespace kestrova
