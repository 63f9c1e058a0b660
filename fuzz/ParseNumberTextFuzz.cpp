// Any text through the numeric-entry rules: no crash, no sanitizer report, and
// a decimal entry reads as the C library reads it.
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "acquisition/NumberText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto parsed = kestrova::ParseNumberText(text);
  if (parsed && kestrova::IsDecimalText(text) && !text.empty()) {
    const double reference = std::strtod(text.c_str(), nullptr);  // the "C" locale: nothing sets another
    if (!(reference == *parsed || (std::isnan(reference) && std::isnan(*parsed)))) std::abort();
  }
  if (parsed && std::isnan(*parsed)) std::abort();
  (void)kestrova::LeadingDecimalValue(text);
  (void)kestrova::StripWhitespace(text);
  if (parsed) (void)kestrova::FormatFixed(*parsed, 4);
  return 0;
}
