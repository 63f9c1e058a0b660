#pragma once

#include <optional>
#include <string>
#include <string_view>

// Text <-> number rules of the numeric edits. Everything here is independent
// of the C locale: a comma-decimal desktop locale must not change what a typed
// "0.5" means or how "%.4f" looks.
namespace kestrova {

// Digits, at most one '.', and '-' only in the first position. An empty text
// passes (callers never pass one).
bool IsDecimalText(std::string_view text);

// Digits, and '-' only in the first position.
bool IsIntegerText(std::string_view text);

// Upper-cased, without a leading '-', without a "0X" prefix or else without a
// trailing 'H', only hexadecimal digits remain (an empty remainder passes).
bool IsHexText(std::string_view text);

// The one text-to-number rule of the numeric edits: decimal, else integer,
// else hexadecimal ("0x10", "1FH"). A leading '-' on a hexadecimal entry
// negates it. Empty when the text is none of these.
std::optional<double> ParseNumberText(std::string_view text);

// The standard decimal text-to-double conversion: leading white space, an
// optional sign, the longest numeric prefix (exponent included); 0.0 when
// there is none.
double LeadingDecimalValue(std::string_view text);

// Leading and trailing white space removed.
std::string_view StripWhitespace(std::string_view text);

// printf-style formatting, always in the "C" locale.
std::string FormatFixed(double value, int decimals);  // "%.Nf"
std::string FormatGeneral(double value);              // "%g"
std::string FormatInt(long long value);               // "%d"

}  // namespace kestrova
