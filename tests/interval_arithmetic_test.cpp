// Margins expanded and ordered by value, and intervals trimmed against each other.
#include "trans/interval_arithmetic.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/interval_notation.h"

namespace {

using namespace pmmlxform;
using testutil::item;
using testutil::items;

int sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

TEST(IntervalArithmetic, ExpandsExponentNotationToPlainDecimals) {
  const struct {
    const char* text;
    const char* expanded;
  } cases[] = {
      // clang-format off
      {"1.5E+002", "150"},        {"-2.50E-001", "-0.25"},    {"0.025E2", "2.5"},
      {"5E-2", "0.05"},           {"12.5e-1", "1.25"},        {"2.5E", "2.5"},
      {"0.000000E+000", "0"},     {"-0E5", "0"},              {"12.5", "12.5"},
      {"abc", "abc"},             {"1.79769313486231E+308", "HIGHEST"},
      {"1.7976931348623157e308", "HIGHEST"},                  {"-1.79769313486231E+308", "LOWEST"},
      // Far beyond any double: left as it is instead of a megabyte of zeros.
      {"1E999999999999999999999", "1E999999999999999999999"}, {"1E-99999999", "1E-99999999"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(expandMargin(c.text), c.expanded);
  }
  EXPECT_EQ(expandMargin("1.5E308"), "15" + std::string(307, '0'));
  // A long mantissa is shifted in one step and stripped of leading zeros in
  // one pass, not one place at a time.
  const std::string digits(200000, '7');
  EXPECT_EQ(expandMargin(digits + "E-999"),
            digits.substr(0, 200000 - 999) + "." + digits.substr(0, 999));
  EXPECT_EQ(expandMargin("-0." + digits + "E-999"), "-0." + std::string(999, '0') + digits);
  EXPECT_EQ(expandMargin("0." + std::string(100000, '0') + "5E1"),
            "0." + std::string(99999, '0') + "5");
}

TEST(IntervalArithmetic, ComparesMarginsNumericallyBetweenLowestAndHighest) {
  const struct {
    const char* a;
    const char* b;
    int expected;
  } cases[] = {
      // clang-format off
      {"LOWEST", "LOWEST", 0}, {"LOWEST", "-1E300", -1}, {"HIGHEST", "1E300", 1},
      {"1.5E+002", "150", 0},  {"05", "5.0", 0},         {"-10", "-9", -1},
      {"-0", "0", 0},          {"0.5", "0.25", 1},       {"10", "9", 1},
      {"+7", "7", 0},          {"1E2000", "1E1999", 1},  {"1.79769313486231E+308", "HIGHEST", 0},
      {"-1.79769313486231E+308", "LOWEST", 0},
      // Texts that are not numbers lie above every number, in byte order:
      // one total order, so that trimming stays consistent.
      {"abc", "1E300", 1},     {"abc", "HIGHEST", -1},   {"abc", "abd", -1},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(sign(compareMargins(c.a, c.b)), c.expected);
    EXPECT_EQ(sign(compareMargins(c.b, c.a)), -c.expected);
  }
}

TEST(IntervalArithmetic, TrimsLaterIntervalAgainstEarlierOne) {
  constexpr TrimOutcome keep = TrimOutcome::keep, drop = TrimOutcome::drop,
                        split = TrimOutcome::split;
  const struct {
    const char* row;
    const char* a;
    const char* b;
    TrimOutcome outcome;
    const char* trimmed;  // B afterwards (empty: unchanged), then the upper piece of a split
  } cases[] = {
      // A starts at or below B's start.
      {"ends above", "1 [0,20]", "2 [5,10]", drop, ""},
      {"same end, A closed", "1 [0,10]", "2 [5,10]", drop, ""},
      {"same end, A open, B closed and wider", "1 [0,10)", "2 [5,10]", keep, "2 [10,10]"},
      {"same end, A open, B point open at left", "1 [0,10)", "2 (10,10]", drop, ""},
      {"same end, A open, B closed point", "1 [0,10)", "2 [10,10]", keep, ""},
      {"same end, both open", "1 [0,10)", "2 [5,10)", drop, ""},
      {"ends below B's start", "1 [0,3]", "2 [5,10]", keep, ""},
      {"ends at B's start, both closed, B a point", "1 [0,5]", "2 [5,5]", drop, ""},
      {"ends at B's start, both closed, B wider", "1 [0,5]", "2 [5,10]", keep, "2 (5,10]"},
      {"ends at B's start, A open", "1 [0,5)", "2 [5,10]", keep, ""},
      {"worked example: ends inside B, A open", "1 [0,10)", "2 [5,20]", keep, "2 [10,20]"},
      {"worked example: ends inside B, A closed", "1 [0,10]", "2 [5,20]", keep, "2 (10,20]"},
      {"same start, A closed: B opens there", "1 [5,5]", "2 [5,10]", keep, "2 (5,10]"},
      {"LOWEST start drops", "1 [LOWEST,10]", "2 [LOWEST,5]", drop, "2 (LOWEST,5]"},
      // A starts above B's start.
      {"worked example: A inside B", "1 [8,12]", "k:2 [5,20]", split, "k:2 [5,8); k:2 (12,20]"},
      {"A inside B, A open", "1 (8,12)", "2 [5,20)", split, "2 [5,8]; 2 [12,20)"},
      {"same end, A open, B closed", "1 [8,20)", "2 [5,20]", split, "2 [5,8); 2 [20,20]"},
      {"same end, otherwise", "1 [8,20]", "2 [5,20]", keep, "2 [5,8)"},
      {"beyond B's end", "1 [30,40]", "2 [5,20]", keep, ""},
      {"starts at B's end, open", "1 (20,30]", "2 [5,20]", keep, ""},
      // An open start of A must not add B's excluded end point to B.
      {"starts at B's open end, open", "1 (20,30]", "2 [5,20)", keep, ""},
      {"starts inside B, open", "1 (10,30]", "2 [5,20]", keep, "2 [5,10]"},
      // An earlier interval that runs backwards covers nothing.
      {"earlier interval runs backwards", "1 [20,1]", "2 [0,10]", keep, ""},
      // Items without interval are never touched.
      {"item without interval", "1 [0,10]", "mapElseTo=9", keep, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    IntervalItem b = item(c.b), added;
    EXPECT_EQ(trimInterval(item(c.a), b, added), c.outcome);
    const IntervalList expected = items(*c.trimmed != '\0' ? c.trimmed : c.b);
    EXPECT_EQ(b, expected[0]);
    if (c.outcome == split) {
      ASSERT_EQ(expected.size(), 2u);
      EXPECT_EQ(added, expected[1]);
    }
  }
}

}  // namespace
