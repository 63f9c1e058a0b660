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

namespace kestrova {

inline constexpr char kTranslationContext[] = "Kestrova";

// A text with each "%1" replaced by argument, as QString::arg fills the
// translated text: a text that names a path or a count marks the place with
// "%1", so a translation may put it anywhere.
inline std::string WithArgument(std::string_view text, std::string_view argument) {
  std::string result;
  for (std::size_t at = 0;;) {
    const std::size_t mark = text.find("%1", at);
    result.append(text.substr(at, mark == std::string_view::npos ? std::string_view::npos : mark - at));
    if (mark == std::string_view::npos) return result;
    result.append(argument);
    at = mark + 2;
  }
}

}  // namespace kestrova
