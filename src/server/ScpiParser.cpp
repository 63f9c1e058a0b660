#include "server/ScpiParser.h"

#include <cctype>
#include <charconv>

#include "server/ErrorQueue.h"

namespace kestrova::server {

namespace {

// Longest mnemonic a header or character parameter may have.
constexpr std::size_t kMaxMnemonic = 12;
// Most mantissa digits a decimal number may have.
constexpr std::size_t kMaxDigits = 255;

bool IsWhite(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u <= 0x20 && u != '\n' && u != 0;
}
bool IsAlpha(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
char Upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

class MessageParser {
 public:
  explicit MessageParser(std::string_view text) : text_(text) {}

  ParsedMessage Run() {
    SkipWhite();
    if (AtEnd()) return std::move(out_);
    while (true) {
      ProgramCommand command;
      if (const int e = Command(command); e != 0) return Fail(e);
      out_.commands.push_back(std::move(command));
      SkipWhite();
      if (AtEnd()) return std::move(out_);
      if (Peek() != ';') return Fail(error::kInvalidSeparator);
      ++pos_;
      SkipWhite();
      if (AtEnd()) return std::move(out_);  // a trailing ';' ends the message
    }
  }

 private:
  [[nodiscard]] bool AtEnd() const { return pos_ >= text_.size(); }
  [[nodiscard]] char Peek(std::size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }
  void SkipWhite() {
    while (!AtEnd() && IsWhite(Peek())) ++pos_;
  }
  ParsedMessage Fail(int code) {
    out_.error = code;
    return std::move(out_);
  }

  // A mnemonic with its suffix digits, in upper case.
  int Mnemonic(std::string& word) {
    if (!IsAlpha(Peek())) return AtEnd() || Peek() == ';' ? error::kCommand : error::kInvalidCharacter;
    while (!AtEnd() && (std::isalnum(static_cast<unsigned char>(Peek())) != 0 || Peek() == '_'))
      word += Upper(text_[pos_++]);
    return 0;
  }

  static int Node(const std::string& word, HeaderNode& node) {
    std::size_t digits = word.size();
    while (digits > 0 && IsDigit(word[digits - 1])) --digits;
    node.mnemonic = word.substr(0, digits);
    if (node.mnemonic.size() > kMaxMnemonic) return error::kMnemonicTooLong;
    if (digits < word.size()) {
      const std::string_view number(word.data() + digits, word.size() - digits);
      int suffix = 0;
      const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), suffix);
      if (ec != std::errc() || end != number.data() + number.size()) return error::kSuffixOutOfRange;
      node.suffix = suffix;
    }
    return 0;
  }

  int Command(ProgramCommand& command) {
    if (Peek() == '*') {
      ++pos_;
      command.common = true;
    } else if (Peek() == ':') {
      ++pos_;
      command.absolute = true;
    }
    while (true) {
      std::string word;
      if (const int e = Mnemonic(word); e != 0) return e;
      HeaderNode node;
      if (const int e = Node(word, node); e != 0) return e;
      command.nodes.push_back(std::move(node));
      if (command.common || Peek() != ':') break;
      ++pos_;
    }
    if (Peek() == '?') {
      command.query = true;
      ++pos_;
    }
    if (AtEnd() || Peek() == ';') return 0;
    if (!IsWhite(Peek())) {
      const auto u = static_cast<unsigned char>(Peek());
      return u > 0x20 && u < 0x7F ? error::kSyntax : error::kInvalidCharacter;
    }
    SkipWhite();
    if (AtEnd() || Peek() == ';') return 0;
    while (true) {
      Parameter param;
      if (const int e = Param(param); e != 0) return e;
      command.params.push_back(std::move(param));
      SkipWhite();
      if (AtEnd() || Peek() == ';') return 0;
      if (Peek() != ',') return error::kInvalidSeparator;
      ++pos_;
      SkipWhite();
      if (AtEnd() || Peek() == ';') return error::kMissingParameter;
    }
  }

  int Param(Parameter& param) {
    const char c = Peek();
    if (c == '"' || c == '\'') return StringParam(param);
    if (c == '#') return HashParam(param);
    if (IsDigit(c) || c == '+' || c == '-' || c == '.') return DecimalParam(param);
    if (IsAlpha(c)) {
      param.kind = ParamKind::Character;
      if (const int e = Mnemonic(param.text); e != 0) return e;
      return param.text.size() > kMaxMnemonic ? error::kCharacterDataTooLong : 0;
    }
    return error::kInvalidCharacter;
  }

  int StringParam(Parameter& param) {
    const char quote = text_[pos_++];
    param.kind = ParamKind::String;
    while (true) {
      if (AtEnd()) return error::kInvalidStringData;
      const char c = text_[pos_++];
      if (c == quote) {
        if (Peek() != quote) return 0;
        ++pos_;
      }
      param.text += c;
    }
  }

  int HashParam(Parameter& param) {
    ++pos_;
    const char kind = Upper(Peek());
    if (kind == 'H' || kind == 'Q' || kind == 'B') {
      ++pos_;
      const int base = kind == 'H' ? 16 : kind == 'Q' ? 8 : 2;
      const std::size_t start = pos_;
      while (!AtEnd() && std::isalnum(static_cast<unsigned char>(Peek())) != 0) ++pos_;
      unsigned long long value = 0;
      const char* first = text_.data() + start;
      const char* last = text_.data() + pos_;
      const auto [end, ec] = std::from_chars(first, last, value, base);
      if (first == last || end != last) return error::kInvalidCharacterInNumber;
      if (ec != std::errc()) return error::kNumericData;
      param.kind = ParamKind::Numeric;
      param.number = static_cast<double>(value);
      return 0;
    }
    param.kind = ParamKind::Block;
    if (!IsDigit(kind)) return error::kInvalidBlockData;
    const std::size_t digits = static_cast<std::size_t>(kind - '0');
    ++pos_;
    if (digits == 0) {  // indefinite length: to the end of the message
      param.text = std::string(text_.substr(pos_));
      pos_ = text_.size();
      return 0;
    }
    if (text_.size() - pos_ < digits) return error::kInvalidBlockData;
    std::size_t length = 0;
    const char* first = text_.data() + pos_;
    const auto [end, ec] = std::from_chars(first, first + digits, length);
    if (ec != std::errc() || end != first + digits) return error::kInvalidBlockData;
    pos_ += digits;
    if (text_.size() - pos_ < length) return error::kInvalidBlockData;
    param.text = std::string(text_.substr(pos_, length));
    pos_ += length;
    return 0;
  }

  int DecimalParam(Parameter& param) {
    param.kind = ParamKind::Numeric;
    const std::size_t start = pos_;
    if (Peek() == '+' || Peek() == '-') ++pos_;
    std::size_t digits = 0;
    while (IsDigit(Peek())) ++pos_, ++digits;
    if (Peek() == '.') {
      ++pos_;
      while (IsDigit(Peek())) ++pos_, ++digits;
    }
    if (digits == 0) return error::kNumericData;
    if (digits > kMaxDigits) return error::kTooManyDigits;
    // An exponent is an E with digits; any other letters are a unit.
    std::size_t look = pos_;
    while (look < text_.size() && IsWhite(text_[look])) ++look;
    if (look < text_.size() && Upper(text_[look]) == 'E') {
      std::size_t after = look + 1;
      while (after < text_.size() && IsWhite(text_[after])) ++after;
      if (after < text_.size() && (text_[after] == '+' || text_[after] == '-')) ++after;
      if (after < text_.size() && IsDigit(text_[after])) {
        pos_ = after;
        while (IsDigit(Peek())) ++pos_;
      }
    }
    std::string number;
    for (std::size_t i = start; i < pos_; ++i) {
      if (!IsWhite(text_[i])) number += text_[i];
    }
    if (number.front() == '+') number.erase(0, 1);
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), param.number);
    if (end != number.data() + number.size()) return error::kInvalidCharacterInNumber;
    if (ec == std::errc::result_out_of_range) {
      // Underflow (a negative exponent) reads as zero; overflow is an
      // exponent beyond any setting.
      const std::size_t e = number.find_first_of("eE");
      if (e == std::string::npos || number[e + 1] != '-') return error::kExponentTooLarge;
      param.number = 0.0;
    } else if (ec != std::errc()) {
      return error::kNumericData;
    }
    // The unit, if any: "2 MS", "1e-3s".
    std::size_t unitStart = pos_;
    while (unitStart < text_.size() && IsWhite(text_[unitStart])) ++unitStart;
    if (unitStart < text_.size() && IsAlpha(text_[unitStart])) {
      pos_ = unitStart;
      while (!AtEnd() && IsAlpha(Peek())) param.unit += Upper(text_[pos_++]);
      if (param.unit.size() > kMaxMnemonic) return error::kCharacterDataTooLong;
    }
    if (!AtEnd() && !IsWhite(Peek()) && Peek() != ',' && Peek() != ';')
      return error::kInvalidCharacterInNumber;
    return 0;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  ParsedMessage out_;
};

}  // namespace

ParsedMessage ParseProgramMessage(std::string_view message) {
  return MessageParser(message).Run();
}

void MessageAssembler::Feed(std::span<const char> bytes) {
  if (overlong_) return;
  buffer_.append(bytes.data(), bytes.size());
  Scan();
}

std::optional<std::string> MessageAssembler::Next() {
  if (readyTaken_ >= ready_.size()) {
    ready_.clear();
    readyTaken_ = 0;
    return std::nullopt;
  }
  readyBytes_ -= ready_[readyTaken_].size();
  return std::move(ready_[readyTaken_++]);
}

void MessageAssembler::Clear() {
  buffer_.clear();
  ready_.clear();
  readyTaken_ = 0;
  readyBytes_ = 0;
  scanned_ = 0;
  state_ = State::Text;
  overlong_ = false;
}

void MessageAssembler::Scan() {
  std::size_t start = 0;
  for (std::size_t i = scanned_; i < buffer_.size(); ++i) {
    const char c = buffer_[i];
    switch (state_) {
      case State::Text:
        if (c == '"' || c == '\'') {
          state_ = State::Quoted;
          quote_ = c;
        } else if (c == '#') {
          state_ = State::BlockDigitCount;
        } else if (c == '\n') {
          std::size_t end = i;
          if (end > start && buffer_[end - 1] == '\r') --end;
          ready_.emplace_back(buffer_, start, end - start);
          readyBytes_ += end - start;
          start = i + 1;
        }
        break;
      case State::Quoted:
        if (c == quote_) state_ = State::Text;
        break;
      case State::BlockDigitCount:
        if (c >= '1' && c <= '9') {
          blockDigits_ = static_cast<std::size_t>(c - '0');
          blockLength_ = 0;
          state_ = State::BlockLength;
        } else {
          // #0 runs to the line end; #H, #Q, #B are numbers.
          state_ = State::Text;
          --i;
        }
        break;
      case State::BlockLength:
        if (!IsDigit(c)) {
          state_ = State::Text;  // the parser reports the broken block
          --i;
          break;
        }
        blockLength_ = blockLength_ * 10 + static_cast<std::size_t>(c - '0');
        if (blockLength_ > kLimit) {
          overlong_ = true;
          return;
        }
        if (--blockDigits_ == 0) state_ = blockLength_ == 0 ? State::Text : State::BlockBytes;
        break;
      case State::BlockBytes:
        if (--blockLength_ == 0) state_ = State::Text;
        break;
    }
  }
  buffer_.erase(0, start);
  scanned_ = buffer_.size();
  if (buffer_.size() > kLimit) overlong_ = true;
}

}  // namespace kestrova::server
