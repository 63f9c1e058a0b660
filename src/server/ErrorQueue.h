#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace kestrova::server {

// The standard error and event numbers the server reports.
namespace error {
inline constexpr int kNone = 0;
inline constexpr int kCommand = -100;
inline constexpr int kInvalidCharacter = -101;
inline constexpr int kSyntax = -102;
inline constexpr int kInvalidSeparator = -103;
inline constexpr int kDataType = -104;
inline constexpr int kParameterNotAllowed = -108;
inline constexpr int kMissingParameter = -109;
inline constexpr int kMnemonicTooLong = -112;
inline constexpr int kUndefinedHeader = -113;
inline constexpr int kSuffixOutOfRange = -114;
inline constexpr int kNumericData = -120;
inline constexpr int kInvalidCharacterInNumber = -121;
inline constexpr int kExponentTooLarge = -123;
inline constexpr int kTooManyDigits = -124;
inline constexpr int kInvalidSuffix = -131;
inline constexpr int kSuffixNotAllowed = -138;
inline constexpr int kCharacterDataTooLong = -144;
inline constexpr int kInvalidStringData = -151;
inline constexpr int kInvalidBlockData = -161;
inline constexpr int kExecution = -200;
inline constexpr int kSettingsConflict = -221;
inline constexpr int kDataOutOfRange = -222;
inline constexpr int kIllegalParameterValue = -224;
inline constexpr int kDataStale = -230;
inline constexpr int kHardware = -240;
inline constexpr int kQueueOverflow = -350;
}  // namespace error

// The standard text of an error number ("Undefined header"); "Unknown
// error" for a number the server never reports.
std::string_view ErrorText(int code);

// The error queue a client reads with SYSTem:ERRor?: the oldest error
// first, at most kDepth entries. When it is full, the newest entry becomes
// -350 "Queue overflow" and later errors are lost until it is read. The
// server's main thread only.
class ErrorQueue {
 public:
  static constexpr std::size_t kDepth = 10;

  // detail, when given, follows the standard text after "; ".
  void Push(int code, std::string_view detail = {});
  // The oldest entry as the reply of SYSTem:ERRor? (-113,"Undefined header"),
  // or 0,"No error".
  std::string Pop();
  void Clear() { entries_.clear(); }
  [[nodiscard]] bool Empty() const { return entries_.empty(); }

  // An entry as it goes on the wire; quotes inside the text are doubled.
  static std::string Format(int code, std::string_view detail = {});

 private:
  std::deque<std::string> entries_;
};

}  // namespace kestrova::server
