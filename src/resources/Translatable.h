#pragma once

// Marks a text the window shows as translatable, where the text is written,
// in any layer (this header needs nothing, so the layers without Qt use it
// too). For the compiler KESTROVA_TR_NOOP("Kestrova", "text") is just "text":
// the layers keep their Korean texts byte for byte. lupdate, told that it is
// another spelling of QT_TRANSLATE_NOOP, lists the text in
// translations/kestrova_*.ts, and the window looks the text up in the
// translation of the chosen language when it shows it.
//
// The first argument is always "Kestrova" (kTranslationContext): the window
// translates every text in that one context, so the same source text has one
// translation wherever it appears. lupdate needs it written out as a literal.
// A translator's note for a text goes on the line before it, as "//: note".
#define KESTROVA_TR_NOOP(context, text) text

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrova {

inline constexpr char kTranslationContext[] = "Kestrova";

// A text with each "%1", "%2", ... "%9" replaced by the argument of that
// number, as QString::arg fills the translated text: a text that names a path
// or a count marks the place with "%1", so a translation may put it anywhere.
// One pass from left to right, so an argument that itself holds "%1" stays as
// it is; a place without an argument stays as it is too.
inline std::string WithArguments(std::string_view text, const std::vector<std::string>& arguments) {
  std::string result;
  for (std::size_t at = 0;;) {
    const std::size_t mark = text.find('%', at);
    result.append(text.substr(at, mark == std::string_view::npos ? std::string_view::npos : mark - at));
    if (mark == std::string_view::npos) return result;
    const std::size_t number = mark + 1 < text.size() && text[mark + 1] >= '1' && text[mark + 1] <= '9'
                                   ? static_cast<std::size_t>(text[mark + 1] - '0')
                                   : 0;
    if (number == 0 || number > arguments.size()) {
      result.push_back('%');
      at = mark + 1;
      continue;
    }
    result.append(arguments[number - 1]);
    at = mark + 2;
  }
}

inline std::string WithArgument(std::string_view text, std::string_view argument) {
  return WithArguments(text, {std::string(argument)});
}

// A message of a layer without Qt that the window shows in its language: a
// marked text (KESTROVA_TR_NOOP) and the values for its places "%1".. in
// order. A value is either a plain text (a number, a file or entry name, a
// field as it was read), used as it is in every language, or a marked text of
// its own (a reason inside "line N: reason"), translated in turn. Compose
// without a translation gives the Korean source text.
class LocalText {
 public:
  // A translation: the text in the window's language for a marked text.
  using Translate = std::string (*)(std::string_view source);

  LocalText() = default;
  // A marked text with its values. The text is a literal: it is kept as a
  // view, not copied.
  LocalText(std::string_view source, std::vector<LocalText> arguments)
      : source_(source), arguments_(std::move(arguments)) {}
  // A marked text without places. Implicit, so that a layer returns
  // KESTROVA_TR_NOOP(...) where it returns a message.
  LocalText(const char* source) : source_(source) {}  // NOLINT(google-explicit-constructor)
  // A value used as it is.
  static LocalText Plain(std::string value) {
    LocalText text;
    text.plain_ = std::move(value);
    text.isPlain_ = true;
    return text;
  }
  static LocalText Plain(long long value) { return Plain(std::to_string(value)); }

  // True for no message at all (success).
  [[nodiscard]] bool Empty() const { return !isPlain_ && source_.empty(); }

  [[nodiscard]] std::string Compose(Translate translate = nullptr) const {
    if (isPlain_) return plain_;
    const std::string text = translate != nullptr ? translate(source_) : std::string(source_);
    if (arguments_.empty()) return text;
    std::vector<std::string> values;
    values.reserve(arguments_.size());
    for (const LocalText& argument : arguments_) values.push_back(argument.Compose(translate));
    return WithArguments(text, values);
  }

 private:
  std::string_view source_;
  std::string plain_;
  bool isPlain_ = false;
  std::vector<LocalText> arguments_;
};

}  // namespace kestrova
