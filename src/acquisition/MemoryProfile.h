#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>

#include "acquisition/Profile.h"

namespace kestrova {

// A settings store held in memory, for tests and fuzzing. Every value keeps
// the kind it was written with. Reading an integer from a text value parses
// the whole text as a decimal integer (fallback when it is not one or does not
// fit); reading a text from an integer value gives its decimal text.
//
// Single-threaded, like every profile (user-interface thread).
class MemoryProfile final : public Profile {
 public:
  [[nodiscard]] int GetInt(std::string_view section, std::string_view key, int fallback) const override;
  void PutInt(std::string_view section, std::string_view key, int value) override;
  [[nodiscard]] std::string GetText(std::string_view section, std::string_view key,
                                    std::string_view fallback) const override;
  void PutText(std::string_view section, std::string_view key, std::string_view value) override;

  // Inspection: the value exactly as stored, empty when the key is missing
  // or holds the other kind.
  [[nodiscard]] std::optional<int> StoredInt(std::string_view section, std::string_view key) const;
  [[nodiscard]] std::optional<std::string> StoredText(std::string_view section, std::string_view key) const;
  [[nodiscard]] bool Contains(std::string_view section, std::string_view key) const;
  // Number of keys in a section.
  [[nodiscard]] std::size_t KeyCount(std::string_view section) const;
  void Remove(std::string_view section, std::string_view key);

 private:
  // Hashing lets lookups by string_view find std::string keys without a copy.
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept {
      return std::hash<std::string_view>{}(text);
    }
  };
  template <typename T>
  using TextMap = std::unordered_map<std::string, T, TextHash, std::equal_to<>>;

  using Value = std::variant<int, std::string>;
  using Section = TextMap<Value>;

  [[nodiscard]] const Value* Find(std::string_view section, std::string_view key) const;
  Section& SectionFor(std::string_view section);

  TextMap<Section> sections_;
};

}  // namespace kestrova
