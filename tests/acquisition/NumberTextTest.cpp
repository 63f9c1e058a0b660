#include <clocale>
#include <cmath>
#include <limits>
#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "acquisition/NumberText.h"

namespace kestrova {
namespace {

struct ParseCase {
  const char* text;
  std::optional<double> value;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
  *os << '"' << c.text << '"';
}

class ParseNumberTextTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseNumberTextTest, ReadsTheEntryByTheFirstRuleThatAcceptsIt) {
  const ParseCase& c = GetParam();
  const std::optional<double> parsed = ParseNumberText(c.text);
  ASSERT_EQ(parsed.has_value(), c.value.has_value()) << '"' << c.text << '"';
  if (c.value) {
    EXPECT_DOUBLE_EQ(*parsed, *c.value) << c.text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ParseNumberTextTest,
    ::testing::Values(
        // Decimal.
        ParseCase{"0", 0.0}, ParseCase{"12.5", 12.5}, ParseCase{"-3", -3.0}, ParseCase{"-0.25", -0.25},
        ParseCase{".5", 0.5}, ParseCase{"5.", 5.0}, ParseCase{"007", 7.0},
        // A lone sign or point is a decimal text that reads as zero.
        ParseCase{"-", 0.0}, ParseCase{".", 0.0},
        // Hexadecimal with prefix or suffix, either case.
        ParseCase{"1FH", 31.0}, ParseCase{"1fh", 31.0}, ParseCase{"0x10", 16.0}, ParseCase{"0X10", 16.0},
        ParseCase{"FF", 255.0}, ParseCase{"ffff", 65535.0}, ParseCase{"0xFFFFFFFF", 4294967295.0},
        // A leading '-' negates a hexadecimal entry instead of wrapping it.
        ParseCase{"-0x10", -16.0}, ParseCase{"-1FH", -31.0}, ParseCase{"-A", -10.0},
        // Hexadecimal entries without digits read as zero.
        ParseCase{"H", 0.0}, ParseCase{"0x", 0.0},
        // Too long for 32 bits: saturates like the unsigned conversion.
        ParseCase{"123456789AH", 4294967295.0},
        // Not numbers.
        // Letters that are hexadecimal digits make a hexadecimal entry.
        ParseCase{"abc", 2748.0}, ParseCase{"1e3", 483.0}, ParseCase{"xyz", std::nullopt},
        ParseCase{"1.2.3", std::nullopt}, ParseCase{"1-2", std::nullopt}, ParseCase{"0x1FH", std::nullopt},
        ParseCase{"1.5e3", std::nullopt}, ParseCase{"+5", std::nullopt}, ParseCase{"5 ", std::nullopt},
        ParseCase{"--1", std::nullopt}, ParseCase{"\xEA\xB0\x80", std::nullopt}));

TEST(ParseNumberText, HugeDecimalEntriesBecomeInfiniteOrZeroLikeTheCLibrary) {
  const std::string huge = "1" + std::string(400, '0');
  ASSERT_TRUE(ParseNumberText(huge));
  EXPECT_TRUE(std::isinf(*ParseNumberText(huge)));
  EXPECT_LT(*ParseNumberText("-" + huge), 0.0);
  EXPECT_EQ(*ParseNumberText("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(NumberTextRules, EachRuleAcceptsItsOwnAlphabet) {
  EXPECT_TRUE(IsDecimalText(""));
  EXPECT_TRUE(IsDecimalText("-1.5"));
  EXPECT_FALSE(IsDecimalText("1-"));
  EXPECT_TRUE(IsIntegerText("-15"));
  EXPECT_FALSE(IsIntegerText("1.5"));
  EXPECT_TRUE(IsHexText("-0xAB"));
  EXPECT_TRUE(IsHexText("abH"));
  EXPECT_FALSE(IsHexText("0xABH"));
  EXPECT_FALSE(IsHexText("G"));
}

TEST(LeadingDecimalValue, TakesTheLongestNumericPrefix) {
  EXPECT_DOUBLE_EQ(LeadingDecimalValue("2.5"), 2.5);
  EXPECT_DOUBLE_EQ(LeadingDecimalValue("  -1.5xyz"), -1.5);
  EXPECT_DOUBLE_EQ(LeadingDecimalValue("+4"), 4.0);
  EXPECT_DOUBLE_EQ(LeadingDecimalValue("1e3"), 1000.0);
  EXPECT_DOUBLE_EQ(LeadingDecimalValue("1e"), 1.0);
  EXPECT_DOUBLE_EQ(LeadingDecimalValue("abc"), 0.0);
  EXPECT_DOUBLE_EQ(LeadingDecimalValue(""), 0.0);
  EXPECT_DOUBLE_EQ(LeadingDecimalValue("+-3"), 0.0);
  EXPECT_TRUE(std::isinf(LeadingDecimalValue("1e999")));
  EXPECT_EQ(LeadingDecimalValue("1e-999"), 0.0);
}

TEST(StripWhitespace, RemovesBlanksAtBothEnds) {
  EXPECT_EQ(StripWhitespace(" \t 12 \r\n"), "12");
  EXPECT_EQ(StripWhitespace("   "), "");
  EXPECT_EQ(StripWhitespace("a b"), "a b");
}

TEST(Formatting, MatchesPrintfInTheCLocale) {
  EXPECT_EQ(FormatFixed(4.0, 4), "4.0000");
  EXPECT_EQ(FormatFixed(-1.5, 4), "-1.5000");
  EXPECT_EQ(FormatFixed(2.0 / 3.0, 1), "0.7");
  EXPECT_EQ(FormatFixed(1.0, 6), "1.000000");
  EXPECT_EQ(FormatGeneral(1.0), "1");
  EXPECT_EQ(FormatGeneral(0.5), "0.5");
  EXPECT_EQ(FormatGeneral(1000.0), "1000");
  EXPECT_EQ(FormatGeneral(1234567.0), "1.23457e+06");
  EXPECT_EQ(FormatGeneral(0.00001), "1e-05");
  EXPECT_EQ(FormatInt(-42), "-42");
}

TEST(Formatting, IgnoresACommaDecimalDesktopLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous != nullptr ? previous : "C";
  // POSIX and Windows spell the locale differently.
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
      std::setlocale(LC_NUMERIC, "German_Germany.1252") == nullptr) {
    GTEST_SKIP() << "no comma-decimal locale here";
  }
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  EXPECT_EQ(FormatFixed(0.5, 4), "0.5000");
  EXPECT_EQ(ParseNumberText("0.5"), 0.5);
  EXPECT_EQ(LeadingDecimalValue("2.5"), 2.5);
  std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
}  // namespace kestrova
