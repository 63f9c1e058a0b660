#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "server/ErrorQueue.h"
#include "server/ScpiParser.h"

namespace kestrova::server {
namespace {

// A parsed message in one line: each command as header, '?', and its
// parameters as kind letter and value; the error at the end.
std::string Describe(const ParsedMessage& parsed) {
  std::string out;
  for (const ProgramCommand& c : parsed.commands) {
    if (!out.empty()) out += " | ";
    out += c.common ? "*" : c.absolute ? ":" : "";
    for (std::size_t i = 0; i < c.nodes.size(); ++i) {
      if (i > 0) out += ':';
      out += c.nodes[i].mnemonic;
      if (c.nodes[i].suffix) out += "#" + std::to_string(*c.nodes[i].suffix);
    }
    if (c.query) out += '?';
    for (const Parameter& p : c.params) {
      switch (p.kind) {
        case ParamKind::Numeric:
          out += " N" + std::to_string(p.number) + p.unit;
          break;
        case ParamKind::Character:
          out += " C" + p.text;
          break;
        case ParamKind::String:
          out += " S<" + p.text + ">";
          break;
        case ParamKind::Block:
          out += " B<" + p.text + ">";
          break;
      }
    }
  }
  if (parsed.error != 0) out += (out.empty() ? "!" : " !") + std::to_string(parsed.error);
  return out;
}

TEST(ScpiParser, ReadsMessagesAndStopsAtTheFirstError) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"  *idn? ", "*IDN?"},
      {"TIM:SCAL 2E-3;:chan2:scale?", "TIM:SCAL N0.002000 | :CHAN#2:SCALE?"},
      {"TIM:SCAL 2 ms", "TIM:SCAL N2.000000MS"},
      {"trig:lev -1.5e+1 ; slop POS;", "TRIG:LEV N-15.000000 | SLOP CPOS"},
      {"MEAS:FREQ? CHAN3", "MEAS:FREQ? CCHAN3"},
      {"*ESE #H1F;*ESE #B101;*ESE #Q17", "*ESE N31.000000 | *ESE N5.000000 | *ESE N15.000000"},
      {"SYST:RAW? \"say \"\"hi\"\";\"", "SYST:RAW? S<say \"hi\";>"},
      {"SYST:RAW? 'a;b'", "SYST:RAW? S<a;b>"},
      {"X #15ab\n;c", "X B<ab\n;c>"},
      {"X #0rest;of it", "X B<rest;of it>"},
      {"X 1,2 , 3", "X N1.000000 N2.000000 N3.000000"},
      {"X 1e-400", "X N0.000000"},
      // Errors: the commands before stand.
      {"RUN;X 1e400", "RUN !-123"},
      {"RUN;;STOP", "RUN !-100"},
      {"TIM:SCAL 1,", "!-109"},
      {"TIM:SCAL 1 2", "!-103"},
      {"TIM:SCAL 1x2", "!-121"},
      {"X \"open", "!-151"},
      {"X #3ab", "!-161"},
      {"X #A", "!-161"},
      {"X #HZZ", "!-121"},
      {"TIM:$", "!-101"},
      {"\x01\xff", "!-101"},
      {"ABCDEFGHIJKLM", "!-112"},
      {"CHAN99999999999", "!-114"},
      {"X ABCDEFGHIJKLM", "!-144"},
      {"X .", "!-120"},
      {"X @", "!-101"},
      {"*IDN?x", "!-102"},
      {"X " + std::string(300, '1'), "!-124"},
  };
  for (const auto& [input, expected] : cases)
    EXPECT_EQ(Describe(ParseProgramMessage(input)), expected) << input;
}

TEST(MessageAssembler, CutsLinesOutsideStringsAndBlocksWhateverTheFeeding) {
  const std::string stream = "*IDN?\r\nX \"a\nb\";Y #212\n23456789012\nZ 1\nhalf";
  const std::vector<std::string> expected = {"*IDN?", "X \"a\nb\";Y #212\n23456789012", "Z 1"};
  for (const std::size_t piece : {stream.size(), std::size_t{1}, std::size_t{7}}) {
    MessageAssembler assembler;
    std::vector<std::string> messages;
    for (std::size_t i = 0; i < stream.size(); i += piece) {
      assembler.Feed(std::string_view(stream).substr(i, piece));
      while (std::optional<std::string> m = assembler.Next()) messages.push_back(*m);
    }
    EXPECT_EQ(messages, expected) << piece;
    EXPECT_TRUE(assembler.Partial());
    EXPECT_EQ(assembler.Buffered(), 4U);
  }
}

TEST(MessageAssembler, GivesUpOnALineOrBlockBeyondTheLimit) {
  MessageAssembler line;
  line.Feed(std::string(MessageAssembler::kLimit, 'A'));
  EXPECT_FALSE(line.Overlong());
  line.Feed(std::string_view("A"));
  EXPECT_TRUE(line.Overlong());

  MessageAssembler block;
  block.Feed(std::string_view("X #6999999"));
  EXPECT_TRUE(block.Overlong());

  MessageAssembler string;  // a string that never ends swallows line feeds
  string.Feed(std::string_view("X \"never\n"));
  string.Feed(std::string(MessageAssembler::kLimit, '\n'));
  EXPECT_FALSE(string.Next());
  EXPECT_TRUE(string.Overlong());
}

TEST(ErrorQueue, KeepsTenAndMarksTheOverflow) {
  ErrorQueue queue;
  for (int i = 0; i < 12; ++i) queue.Push(error::kUndefinedHeader);
  std::vector<std::string> read;
  while (!queue.Empty()) read.push_back(queue.Pop());
  std::vector<std::string> expected(9, "-113,\"Undefined header\"");
  expected.emplace_back("-350,\"Queue overflow\"");
  EXPECT_EQ(read, expected);
  EXPECT_EQ(queue.Pop(), "0,\"No error\"");
  EXPECT_EQ(ErrorQueue::Format(error::kExecution, "in use by \"x\""),
            R"(-200,"Execution error; in use by ""x""")");
}

}  // namespace
}  // namespace kestrova::server
