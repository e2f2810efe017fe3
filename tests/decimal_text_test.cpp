// Exponent notation expanded under both readers' rules, and decimals compared by value.
#include "trans/decimal_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using pmmlxform::compareDecimals;
using pmmlxform::Decimal;
using pmmlxform::expandNumber;
using pmmlxform::kMarginRules;
using pmmlxform::kValueKeyRules;
using pmmlxform::parseDecimal;

const std::string kZeros999(999, '0');

TEST(DecimalText, BothRuleSetsExpandWellFormedNumbersAlike) {
  const struct {
    std::string text;
    std::string expanded;
  } cases[] = {
      // clang-format off
      // Texts without an exponent letter, and the range's names, pass through.
      {"12.50", "12.50"},   {"+7", "+7"},         {"abc", "abc"},     {"", ""},
      {"LOWEST", "LOWEST"}, {"HIGHEST", "HIGHEST"},
      // Signs, trailing zeros of a fraction, leading zeros running into it.
      {"1.500E+2", "150"},  {"-2.50E-1", "-0.25"}, {"-0.0E0", "0"},     {"000.00123E3", "1.23"},
      {"0.0001E5", "10"},   {"100E2", "10000"},    {"+5E1", "+50"},     {"-0E5", "0"},
      {"123.456E-1", "12.3456"}, {"123E-5", "0.00123"}, {".5E-1", "0.05"}, {"0.5E1", "5"},
      {"0.05E0", "0.05"},   {"0.E3", "0"},         {"00E1", "0"},
      // No digits, no exponent digits, text after the exponent.
      {"E5", "0"},          {"2.5E", "2.5"},       {"1.5E+3abc", "1500"},
      // The largest double, whatever digits follow its mantissa; other
      // mantissas and exponents are expanded.
      {"1.79769313486231E+308", "HIGHEST"},   {"1.7976931348623157e308", "HIGHEST"},
      {"-1.79769313486231E+308", "LOWEST"},   {"1.79769313486231E+307", "179769313486231" +
                                                                       std::string(293, '0')},
      {"1.5E308", "15" + std::string(307, '0')},
      // At the bound the text is still expanded in full.
      {"1E1000", "1" + std::string(1000, '0')}, {"-1E-1000", "-0." + kZeros999 + "1"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(expandNumber(c.text, kMarginRules), c.expanded);
    EXPECT_EQ(expandNumber(c.text, kValueKeyRules), c.expanded);
  }
}

// One rule per group: what interval margins get, what value-list keys get.
TEST(DecimalText, MarginAndValueKeyRulesDifferAtTheEdges) {
  const struct {
    std::string text;
    std::string margin;
    std::string key;
  } cases[] = {
      // clang-format off
      // Blanks after the exponent letter: margins read no exponent, keys skip them.
      {"1E 2", "1", "100"},      {"1.79769313486231E\t308", "1.79769313486231", "HIGHEST"},
      // Beyond the bound: margins keep the text, keys bound the value ...
      {"1E+1001", "1E+1001", "HIGHEST"},     {"-3.2E99999999999999999999",
                                              "-3.2E99999999999999999999", "LOWEST"},
      {"1E-1001", "1E-1001", "0"},           {"-1E-5000", "-1E-5000", "0"},
      {"0E+999999", "0E+999999", "0"},
      // ... judged by the exponent written (margins) or the value's (keys).
      {"0.01E1001", "0.01E1001", "1" + kZeros999},
      {"0.01E-999", "0.0" + kZeros999 + "1", "0"},
      // A second point: margins pass over it, keys stop right before it.
      {"1.2.3E3", "12.3", "12..3"},          {"1.2.3E1", "12..3", "12..3"},
      // A fraction below one: keys write the zero before the point.
      {"5E-1", ".5", "0.5"},     {"-.5E0", "-.5", "-0.5"},  {".25E0", ".25", "0.25"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(expandNumber(c.text, kMarginRules), c.margin);
    EXPECT_EQ(expandNumber(c.text, kValueKeyRules), c.key);
  }
}

// A long mantissa costs time linear in its length under both rule sets, not
// in length times exponent.
TEST(DecimalText, LongMantissasShiftInOneStep) {
  const std::string digits(200000, '7');
  for (const auto* rules : {&kMarginRules, &kValueKeyRules}) {
    SCOPED_TRACE(rules == &kMarginRules ? "margins" : "keys");
    EXPECT_EQ(expandNumber(digits + "E1000", *rules), digits + std::string(1000, '0'));
    EXPECT_EQ(expandNumber("7." + digits + "E1000", *rules),
              "7" + digits.substr(0, 1000) + "." + digits.substr(1000));
    EXPECT_EQ(expandNumber(digits + "E-999", *rules),
              digits.substr(0, 200000 - 999) + "." + digits.substr(0, 999));
    EXPECT_EQ(expandNumber("-0." + digits + "E-999", *rules), "-0." + kZeros999 + digits);
  }
}

TEST(DecimalText, ParsesDecimalsAndRejectsOtherTexts) {
  const struct {
    const char* text;
    bool parsed;
    bool negative;
    const char* digits;
    long exponent;
  } cases[] = {
      // clang-format off
      {"150", true, false, "15", 3},     {"-0.025", true, true, "25", -1},
      {"+007.50", true, false, "75", 1}, {"-0", true, false, "", 0},    {"0.000", true, false, "", 0},
      {"1.5E+2", true, false, "15", 3},  {"1e-2", true, false, "1", -1}, {".5", true, false, "5", 0},
      {"5.", true, false, "5", 1},
      {"", false, false, "", 0},         {"-", false, false, "", 0},    {".", false, false, "", 0},
      {"1E", false, false, "", 0},       {"1E+", false, false, "", 0},  {"1E2x", false, false, "", 0},
      {"1.2.3", false, false, "", 0},    {"1 ", false, false, "", 0},   {"HIGHEST", false, false, "", 0},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Decimal d;
    ASSERT_EQ(parseDecimal(c.text, d), c.parsed);
    if (!c.parsed) continue;
    EXPECT_EQ(d.negative, c.negative);
    EXPECT_EQ(d.digits, c.digits);
    EXPECT_EQ(d.exponent, c.exponent);
  }
}

TEST(DecimalText, ComparesDecimalsBySignExponentThenDigits) {
  const struct {
    const char* a;
    const char* b;
    int expected;
  } cases[] = {
      // clang-format off
      {"1", "1.0", 0},     {"-0", "0", 0},       {"-1", "0", -1},    {"0", "0.001", -1},
      {"9", "10", -1},     {"-9", "-10", 1},     {"0.25", "0.3", -1}, {"1E2", "99.9", 1},
      {"-1E2", "-99.9", -1}, {"1E999999", "1E1000000", -1},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    Decimal a, b;
    ASSERT_TRUE(parseDecimal(c.a, a));
    ASSERT_TRUE(parseDecimal(c.b, b));
    const int order = compareDecimals(a, b);
    EXPECT_EQ(order < 0 ? -1 : (order > 0 ? 1 : 0), c.expected);
  }
}

}  // namespace
