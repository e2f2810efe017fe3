// Interval arithmetic and recode key resolution of the "intervals" extension function.
#include "trans/interval_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace {

// One item in a short notation: "[name:]value [left,right)" for an item with
// an interval ("[" / "]" closed, "(" / ")" open), "name=value" or "name" for a
// key without one. "MissingValues: [99,99]" is a missing-value interval.
IntervalItem item(const std::string& text) {
  IntervalItem it;
  const std::size_t open = text.find_first_of("[(");
  if (open == std::string::npos) {
    const std::size_t eq = text.find('=');
    it.name = text.substr(0, eq);
    if (eq != std::string::npos) it.value = text.substr(eq + 1);
    return it;
  }
  std::string head = text.substr(0, open);
  const std::size_t colon = head.find(':');
  if (colon != std::string::npos) {
    it.name = head.substr(0, colon);
    head.erase(0, colon + 1);
  }
  head.erase(0, head.find_first_not_of(' '));
  it.value = head.substr(0, head.find(' '));
  const std::size_t comma = text.find(',', open);
  it.leftClosure = text[open] == '[' ? "closed" : "open";
  it.rightClosure = text.back() == ']' ? "Closed" : "Open";
  it.leftMargin = text.substr(open + 1, comma - open - 1);
  it.rightMargin = text.substr(comma + 1, text.size() - comma - 2);
  return it;
}

// Items separated by "; ".
IntervalList items(const std::string& text) {
  IntervalList list;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t end = std::min(text.find("; ", pos), text.size());
    list.push_back(item(text.substr(pos, end - pos)));
    pos = end + 2;
  }
  return list;
}

int sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

}  // namespace

void PrintTo(const IntervalItem& item, std::ostream* os) {
  *os << "{" << item.name << ": '" << item.value << "' " << item.leftClosure << item.rightClosure
      << " " << item.leftMargin << ".." << item.rightMargin << "}";
}

namespace {

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
    EXPECT_EQ(IntervalParser::expandNumber(c.text), c.expanded);
  }
  EXPECT_EQ(IntervalParser::expandNumber("1.5E308"), "15" + std::string(307, '0'));
  // A long mantissa is shifted in one step and stripped of leading zeros in
  // one pass, not one place at a time.
  const std::string digits(200000, '7');
  EXPECT_EQ(IntervalParser::expandNumber(digits + "E-999"),
            digits.substr(0, 200000 - 999) + "." + digits.substr(0, 999));
  EXPECT_EQ(IntervalParser::expandNumber("-0." + digits + "E-999"),
            "-0." + std::string(999, '0') + digits);
  EXPECT_EQ(IntervalParser::expandNumber("0." + std::string(100000, '0') + "5E1"),
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
    EXPECT_EQ(sign(IntervalParser::compareMargins(c.a, c.b)), c.expected);
    EXPECT_EQ(sign(IntervalParser::compareMargins(c.b, c.a)), -c.expected);
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
    EXPECT_EQ(IntervalParser::trimInterval(item(c.a), b, added), c.outcome);
    const IntervalList expected = items(*c.trimmed != '\0' ? c.trimmed : c.b);
    EXPECT_EQ(b, expected[0]);
    if (c.outcome == split) {
      ASSERT_EQ(expected.size(), 2u);
      EXPECT_EQ(added, expected[1]);
    }
  }
}

TEST(RecodeKeys, ResolvesSpecialKeysThenOverlapsFirstItemWins) {
  const struct {
    char pass;  // 'k': resolveRecodeKeys, 'o': resolveOverlaps
    const char* in;
    const char* out;
  } cases[] = {
      // clang-format off
      // Missing to sysmis takes every missing interval after the key.
      {'k', "recodeMissingSysmis; MissingValues: [1,1]; MissingValues: [LOWEST,-5]",
            "recodeTargetSysmis: [1,1]; recodeTargetSysmis: [LOWEST,-5]"},
      {'k', "1 [0,1]; mapMissingTo=7", "1 [0,1]; mapSysmisTo=7"},
      {'k', "mapSysmisTo=3; mapMissingTo=7", "mapSysmisTo=3"},
      {'k', "mapElseTo=9", "mapSysmisTo=9; mapElseTo=9"},
      {'k', "recodeElseCopy; 1 [0,1]; MissingValues: [5,5]", "recodeElseCopy"},
      {'k', "recodeMissingSysmis; mapSysmisTo=4", "recodeMissingSysmis"},
      {'k', "recodeMissingCopy; 1 [0,1]", "1 [0,1]"},
      {'k', "MissingValues: [5,5]; recodeMissingSysmis; 1 [0,1]", "1 [0,1]"},
      {'k', "1 [0,1]; 2 [0,1]", "1 [0,1]; 2 [0,1]"},
      {'k', "", ""},
      {'o', "1 [0,5]; 2 [0,5]", "1 [0,5]"},
      {'o', "recodeElseSysmis; 1 [0,5]; mapSysmisTo=1", "recodeElseSysmis"},
      {'o', "recodeMissingCopy; recodeSysmisCopy; 1 [0,5]", "recodeMissingCopy; 1 [0,5]"},
      // Split pieces are trimmed by the other earlier items too.
      {'o', "a [2,3]; b [6,7]; c [0,10]", "a [2,3]; b [6,7]; c [0,2); c (3,6); c (7,10]"},
      // Backwards intervals end the pass.
      {'o', "a [20,1]; b [10,5]", "a [20,1]; b [10,5]"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    IntervalList list = items(c.in);
    if (c.pass == 'o') {
      IntervalParser::resolveOverlaps(list);
    } else {
      IntervalParser::resolveRecodeKeys(list);
    }
    EXPECT_EQ(list, items(c.out));
  }
}

// The first key that matches system-missing decides for it: a later key must
// not be secured a "mapSysmisTo" of its own. (A later system-missing key of
// the description's own stays, as the first-match order already makes it
// dead; the stylesheet reads the first one.) Both passes run,
// as the extension function runs them; the rule lists are the items the
// stylesheet makes, the variable's missing values last.
TEST(RecodeKeys, FirstKeyMatchingSystemMissingDecidesForIt) {
  const struct {
    const char* rules;
    const char* in;
    const char* out;
  } cases[] = {
      // clang-format off
      {"(SYSMIS=SYSMIS)(MISSING=9)(1 THRU 5=1)",
       "recodeSysmisCopy; mapMissingTo=9; 1 [1,5]; MissingValues: [99,99]",
       "recodeSysmisCopy; 9 [99,99]; 1 [1,5]"},
      // The copying key was removed when its walk reached the end; the later
      // key still must not map system-missing.
      {"(MISSING=COPY)(MISSING=1)", "recodeMissingCopy; mapMissingTo=1; MissingValues: [99,99]",
       "recodeIntervalCopy: [99,99]"},
      {"(MISSING=COPY)(0 THRU 1=1)(MISSING=4)", "recodeMissingCopy; 1 [0,1]; mapMissingTo=4",
       "1 [0,1]"},
      {"(SYSMIS=COPY)(SYSMIS=0.5)", "recodeSysmisCopy; mapSysmisTo=0.5",
       "recodeSysmisCopy; mapSysmisTo=0.5"},
      {"(-5 THRU 5, SYSMIS=COPY)(ELSE=7)",
       "recodeRangeCopy: [-5,5]; recodeSysmisCopy; mapElseTo=7; MissingValues: [99,99]",
       "recodeRangeCopy: [-5,5]; recodeSysmisCopy; 7 [99,99]; mapElseTo=7"},
      {"(SYSMIS=SYSMIS)(3=1)(ELSE=42)", "recodeSysmisCopy; 1 [3,3]; mapElseTo=42",
       "recodeSysmisCopy; 1 [3,3]; mapElseTo=42"},
      {"(MISSING=SYSMIS)(ELSE=5)", "recodeMissingSysmis; mapElseTo=5", "mapElseTo=5"},
      // Where the value-giving key comes first it still maps system-missing.
      {"(MISSING=7)(SYSMIS=COPY)(0 THRU 1=1)", "mapMissingTo=7; recodeSysmisCopy; 1 [0,1]",
       "mapSysmisTo=7; 1 [0,1]"},
      {"(SYSMIS=3)(MISSING=7)", "mapSysmisTo=3; mapMissingTo=7; MissingValues: [99,99]",
       "mapSysmisTo=3; 7 [99,99]"},
      {"(0 THRU 1=1)(ELSE=9)", "1 [0,1]; mapElseTo=9; MissingValues: [99,99]",
       "1 [0,1]; 9 [99,99]; mapSysmisTo=9; mapElseTo=9"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rules);
    IntervalList list = items(c.in);
    IntervalParser::resolveRecodeKeys(list);
    IntervalParser::resolveOverlaps(list);
    EXPECT_EQ(list, items(c.out));
  }
}

}  // namespace
