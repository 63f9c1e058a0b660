#include "server/ErrorQueue.h"

#include <array>
#include <utility>

namespace kestrova::server {

namespace {

struct ErrorEntry {
  int code;
  std::string_view text;
};

constexpr std::array<ErrorEntry, 28> kTexts = {{
    {error::kNone, "No error"},
    {error::kCommand, "Command error"},
    {error::kInvalidCharacter, "Invalid character"},
    {error::kSyntax, "Syntax error"},
    {error::kInvalidSeparator, "Invalid separator"},
    {error::kDataType, "Data type error"},
    {error::kParameterNotAllowed, "Parameter not allowed"},
    {error::kMissingParameter, "Missing parameter"},
    {error::kMnemonicTooLong, "Program mnemonic too long"},
    {error::kUndefinedHeader, "Undefined header"},
    {error::kSuffixOutOfRange, "Header suffix out of range"},
    {error::kNumericData, "Numeric data error"},
    {error::kInvalidCharacterInNumber, "Invalid character in number"},
    {error::kExponentTooLarge, "Exponent too large"},
    {error::kTooManyDigits, "Too many digits"},
    {error::kInvalidSuffix, "Invalid suffix"},
    {error::kSuffixNotAllowed, "Suffix not allowed"},
    {error::kCharacterDataTooLong, "Character data too long"},
    {error::kInvalidStringData, "Invalid string data"},
    {error::kInvalidBlockData, "Invalid block data"},
    {error::kExecution, "Execution error"},
    {error::kSettingsConflict, "Settings conflict"},
    {error::kDataOutOfRange, "Data out of range"},
    {error::kIllegalParameterValue, "Illegal parameter value"},
    {error::kDataStale, "Data corrupt or stale"},
    {error::kHardware, "Hardware error"},
    {error::kQueueOverflow, "Queue overflow"},
    {-1, "Unknown error"},
}};

}  // namespace

std::string_view ErrorText(int code) {
  for (const ErrorEntry& entry : kTexts) {
    if (entry.code == code) return entry.text;
  }
  return kTexts.back().text;
}

std::string ErrorQueue::Format(int code, std::string_view detail) {
  std::string text(ErrorText(code));
  if (!detail.empty()) text += "; " + std::string(detail);
  std::string out = std::to_string(code) + ",\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

void ErrorQueue::Push(int code, std::string_view detail) {
  if (entries_.size() >= kDepth) {
    entries_.back() = Format(error::kQueueOverflow);
    return;
  }
  entries_.push_back(Format(code, detail));
}

std::string ErrorQueue::Pop() {
  if (entries_.empty()) return Format(error::kNone);
  std::string front = std::move(entries_.front());
  entries_.pop_front();
  return front;
}

}  // namespace kestrova::server
