#include "acquisition/MemoryProfile.h"

#include <charconv>
#include <system_error>

#include "acquisition/NumberText.h"

namespace kestrova {

const MemoryProfile::Value* MemoryProfile::Find(std::string_view section, std::string_view key) const {
  const auto s = sections_.find(section);
  if (s == sections_.end()) return nullptr;
  const auto k = s->second.find(key);
  return k == s->second.end() ? nullptr : &k->second;
}

MemoryProfile::Section& MemoryProfile::SectionFor(std::string_view section) {
  const auto s = sections_.find(section);
  if (s != sections_.end()) return s->second;
  return sections_.emplace(std::string(section), Section{}).first->second;
}

int MemoryProfile::GetInt(std::string_view section, std::string_view key, int fallback) const {
  const Value* value = Find(section, key);
  if (value == nullptr) return fallback;
  if (const int* number = std::get_if<int>(value)) return *number;
  const auto& text = std::get<std::string>(*value);
  int parsed = 0;
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(text.data(), last, parsed);
  return ec == std::errc() && end == last ? parsed : fallback;
}

void MemoryProfile::PutInt(std::string_view section, std::string_view key, int value) {
  Section& s = SectionFor(section);
  s.insert_or_assign(std::string(key), Value(value));
}

std::string MemoryProfile::GetText(std::string_view section, std::string_view key,
                                   std::string_view fallback) const {
  const Value* value = Find(section, key);
  if (value == nullptr) return std::string(fallback);
  if (const int* number = std::get_if<int>(value)) return FormatInt(*number);
  return std::get<std::string>(*value);
}

void MemoryProfile::PutText(std::string_view section, std::string_view key, std::string_view value) {
  Section& s = SectionFor(section);
  s.insert_or_assign(std::string(key), Value(std::string(value)));
}

std::optional<int> MemoryProfile::StoredInt(std::string_view section, std::string_view key) const {
  const Value* value = Find(section, key);
  if (value == nullptr) return std::nullopt;
  if (const int* number = std::get_if<int>(value)) return *number;
  return std::nullopt;
}

std::optional<std::string> MemoryProfile::StoredText(std::string_view section, std::string_view key) const {
  const Value* value = Find(section, key);
  if (value == nullptr) return std::nullopt;
  if (const std::string* text = std::get_if<std::string>(value)) return *text;
  return std::nullopt;
}

bool MemoryProfile::Contains(std::string_view section, std::string_view key) const {
  return Find(section, key) != nullptr;
}

std::size_t MemoryProfile::KeyCount(std::string_view section) const {
  const auto s = sections_.find(section);
  return s == sections_.end() ? 0 : s->second.size();
}

void MemoryProfile::Remove(std::string_view section, std::string_view key) {
  const auto s = sections_.find(section);
  if (s == sections_.end()) return;
  const auto k = s->second.find(key);
  if (k != s->second.end()) s->second.erase(k);
}

}  // namespace kestrova
