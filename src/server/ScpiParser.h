#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Reading what a client sends: the byte stream cut into program messages,
// and a program message into its commands. Everything here is hostile
// input until it has passed these functions. Pure code, any thread.
namespace kestrova::server {

// One node of a command header: "CHAN2" is mnemonic "CHAN" with suffix 2.
struct HeaderNode {
  std::string mnemonic;  // upper case, without the suffix
  std::optional<int> suffix;
};

enum class ParamKind { Numeric, Character, String, Block };

struct Parameter {
  ParamKind kind = ParamKind::Numeric;
  // Character: upper case, suffix digits included ("CHAN2"); String: the
  // text with doubled quotes undone; Block: the bytes.
  std::string text;
  double number = 0.0;  // Numeric
  std::string unit;     // Numeric: a unit after the number, upper case ("MS")
};

struct ProgramCommand {
  bool common = false;    // "*IDN?": nodes holds the one mnemonic, "IDN"
  bool absolute = false;  // the header started with ':'
  std::vector<HeaderNode> nodes;
  bool query = false;
  std::vector<Parameter> params;
};

struct ParsedMessage {
  // The commands before the first error, each whole.
  std::vector<ProgramCommand> commands;
  int error = 0;  // the first syntax error (an error:: number), 0 when none
};

// Splits a program message (without its line end) at its ';' separators
// and reads each command: headers in short or long form and any case,
// numeric suffixes, common commands, and numeric (decimal with exponent
// and unit, #H, #Q, #B), character, string and block parameters. Parsing
// stops at the first error; the commands before it stand.
ParsedMessage ParseProgramMessage(std::string_view message);

// Cuts the bytes of one connection into program messages: a line feed ends
// a message unless it stands inside a string or a block. A carriage return
// before the line feed is dropped. Keeps at most kLimit bytes of an
// unfinished message; beyond that (or a block declared longer) the
// connection is past saving.
class MessageAssembler {
 public:
  static constexpr std::size_t kLimit = 64 * 1024;

  void Feed(std::span<const char> bytes);
  // The next whole message, oldest first.
  std::optional<std::string> Next();
  // An unfinished message exceeds kLimit.
  [[nodiscard]] bool Overlong() const { return overlong_; }
  // Bytes of an unfinished message are waiting.
  [[nodiscard]] bool Partial() const { return !buffer_.empty(); }
  // Bytes held: the unfinished message and the whole ones not taken yet.
  [[nodiscard]] std::size_t Buffered() const { return buffer_.size() + readyBytes_; }
  void Clear();

 private:
  enum class State { Text, Quoted, BlockDigitCount, BlockLength, BlockBytes };

  void Scan();

  std::string buffer_;
  std::vector<std::string> ready_;
  std::size_t readyTaken_ = 0;
  std::size_t readyBytes_ = 0;
  std::size_t scanned_ = 0;
  State state_ = State::Text;
  char quote_ = 0;
  std::size_t blockDigits_ = 0;
  std::size_t blockLength_ = 0;
  bool overlong_ = false;
};

}  // namespace kestrova::server
