// Interval arithmetic and recode key resolution of the "intervals" extension function.
#include "trans/interval_parser.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

// An item over the interval `closure` ("closedOpen", ...) from `left` to `right`.
IntervalItem bin(const std::string& value, const std::string& closure, const std::string& left,
                 const std::string& right, const std::string& name = "") {
  IntervalItem item;
  item.value = value;
  item.name = name;
  if (!closure.empty()) {
    const bool open = closure.compare(0, 4, "open") == 0;
    item.leftClosure = open ? "open" : "closed";
    item.rightClosure = closure.substr(open ? 4 : 6);
  }
  item.leftMargin = left;
  item.rightMargin = right;
  return item;
}

IntervalItem key(const std::string& name, const std::string& value = "") {
  IntervalItem item;
  item.name = name;
  item.value = value;
  return item;
}

IntervalItem missing(const std::string& left, const std::string& right) {
  return bin("", "closedClosed", left, right, "MissingValues");
}

int sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

}  // namespace

void PrintTo(const IntervalItem& item, std::ostream* os) {
  *os << "{" << item.name << " '" << item.value << "' " << item.leftClosure << item.rightClosure
      << " " << item.leftMargin << ".." << item.rightMargin << "}";
}

namespace {

TEST(IntervalArithmetic, ExpandsExponentNotationToPlainDecimals) {
  const struct {
    const char* text;
    const char* expanded;
  } cases[] = {
      {"1.5E+002", "150"},
      {"-2.50E-001", "-0.25"},
      {"1.79769313486231E+308", "HIGHEST"},
      {"1.7976931348623157e308", "HIGHEST"},
      {"-1.79769313486231E+308", "LOWEST"},
      {"0.000000E+000", "0"},
      {"-0E5", "0"},
      {"12.5", "12.5"},
      {"HIGHEST", "HIGHEST"},
      {"LOWEST", "LOWEST"},
      {"abc", "abc"},
      {"1E3", "1000"},
      {"0.025E2", "2.5"},
      {"0.5E-1", "0.05"},
      {"5E-2", "0.05"},
      {"125E-1", "12.5"},
      {"12.5e-1", "1.25"},
      {"-1.25E+1", "-12.5"},
      {"2.5E", "2.5"},
      // Far beyond any double: left as it is instead of a megabyte of zeros.
      {"1E999999999999999999999", "1E999999999999999999999"},
      {"1E-99999999", "1E-99999999"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(IntervalParser::expandNumber(c.text), c.expanded);
  }
  EXPECT_EQ(IntervalParser::expandNumber("1.5E308"), "15" + std::string(307, '0'));
  // A long mantissa is shifted in one step, not one place at a time.
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
      {"LOWEST", "LOWEST", 0},         {"HIGHEST", "HIGHEST", 0},
      {"LOWEST", "-1E300", -1},        {"HIGHEST", "1E300", 1},
      {"1.5E+002", "150", 0},          {"5", "5.0", 0},
      {"05", "5", 0},                  {"-5", "-3", -1},
      {"-0", "0", 0},                  {"0.5", "0.25", 1},
      {"10", "9", 1},                  {"-10", "-9", -1},
      {"+7", "7", 0},                  {"1E2000", "1E1999", 1},
      {"1.79769313486231E+308", "HIGHEST", 0},
      {"-1.79769313486231E+308", "LOWEST", 0},
      // Texts that are not numbers lie above every number, in byte order.
      {"abc", "1E300", 1},             {"abc", "HIGHEST", -1},
      {"abc", "abd", -1},              {"abc", "abc", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(sign(IntervalParser::compareMargins(c.a, c.b)), c.expected);
    EXPECT_EQ(sign(IntervalParser::compareMargins(c.b, c.a)), -c.expected);
  }
}

TEST(IntervalArithmetic, MarginOrderIsTotalSoTrimmingStaysConsistent) {
  const std::vector<std::string> texts = {"LOWEST", "HIGHEST", "-1E3",    "-999", "0",  "-0",
                                          "0.001",  "1E-3",    "abc",     "",     "x",  "1.5E+002",
                                          "150.0",  "5E",      "1E99999", "--1",  "1.79769313486231E+308"};
  auto cmp = [](const std::string& a, const std::string& b) {
    return sign(IntervalParser::compareMargins(a, b));
  };
  for (const auto& a : texts) {
    EXPECT_EQ(cmp(a, a), 0) << a;
    for (const auto& b : texts) {
      EXPECT_EQ(cmp(a, b), -cmp(b, a)) << a << " / " << b;
      for (const auto& c : texts) {
        if (cmp(a, b) <= 0 && cmp(b, c) <= 0) {
          EXPECT_LE(cmp(a, c), 0) << a << " " << b << " " << c;
        }
      }
    }
  }
}

TEST(IntervalArithmetic, TrimsLaterIntervalAgainstEarlierOne) {
  const IntervalItem none;
  const struct {
    const char* row;
    IntervalItem a, b;
    TrimOutcome outcome;
    IntervalItem trimmed, added;
  } cases[] = {
      // A starts at or below B's start.
      {"ends above", bin("1", "closedClosed", "0", "20"), bin("2", "closedClosed", "5", "10"),
       TrimOutcome::drop, bin("2", "closedClosed", "5", "10"), none},
      {"same end, A closed", bin("1", "closedClosed", "0", "10"),
       bin("2", "closedClosed", "5", "10"), TrimOutcome::drop, bin("2", "closedClosed", "5", "10"),
       none},
      {"same end, A open, B closed and wider", bin("1", "closedOpen", "0", "10"),
       bin("2", "closedClosed", "5", "10"), TrimOutcome::keep,
       bin("2", "closedClosed", "10", "10"), none},
      {"same end, A open, B point open at left", bin("1", "closedOpen", "0", "10"),
       bin("2", "openClosed", "10", "10"), TrimOutcome::drop, bin("2", "openClosed", "10", "10"),
       none},
      {"same end, A open, B closed point", bin("1", "closedOpen", "0", "10"),
       bin("2", "closedClosed", "10", "10"), TrimOutcome::keep,
       bin("2", "closedClosed", "10", "10"), none},
      {"same end, both open", bin("1", "closedOpen", "0", "10"), bin("2", "closedOpen", "5", "10"),
       TrimOutcome::drop, bin("2", "closedOpen", "5", "10"), none},
      {"ends below B's start", bin("1", "closedClosed", "0", "3"),
       bin("2", "closedClosed", "5", "10"), TrimOutcome::keep, bin("2", "closedClosed", "5", "10"),
       none},
      {"ends at B's start, both closed, B a point", bin("1", "closedClosed", "0", "5"),
       bin("2", "closedClosed", "5", "5"), TrimOutcome::drop, bin("2", "closedClosed", "5", "5"),
       none},
      {"ends at B's start, both closed, B wider", bin("1", "closedClosed", "0", "5"),
       bin("2", "closedClosed", "5", "10"), TrimOutcome::keep, bin("2", "openClosed", "5", "10"),
       none},
      {"ends at B's start, A open", bin("1", "closedOpen", "0", "5"),
       bin("2", "closedClosed", "5", "10"), TrimOutcome::keep, bin("2", "closedClosed", "5", "10"),
       none},
      {"ends inside B, A open", bin("1", "closedOpen", "0", "10"),
       bin("2", "closedClosed", "5", "20"), TrimOutcome::keep,
       bin("2", "closedClosed", "10", "20"), none},
      {"ends inside B, A closed", bin("1", "closedClosed", "0", "10"),
       bin("2", "closedClosed", "5", "20"), TrimOutcome::keep, bin("2", "openClosed", "10", "20"),
       none},
      {"same start, A closed: B opens there first", bin("1", "closedClosed", "5", "5"),
       bin("2", "closedClosed", "5", "10"), TrimOutcome::keep, bin("2", "openClosed", "5", "10"),
       none},
      {"LOWEST start drops", bin("1", "closedClosed", "LOWEST", "10"),
       bin("2", "closedClosed", "LOWEST", "5"), TrimOutcome::drop,
       bin("2", "openClosed", "LOWEST", "5"), none},
      {"LOWEST start narrows", bin("1", "closedClosed", "LOWEST", "10"),
       bin("2", "closedClosed", "0", "20"), TrimOutcome::keep, bin("2", "openClosed", "10", "20"),
       none},
      {"largest double is HIGHEST", bin("1", "closedClosed", "0", "1.79769313486231E+308"),
       bin("2", "closedClosed", "5", "HIGHEST"), TrimOutcome::drop,
       bin("2", "closedClosed", "5", "HIGHEST"), none},
      // A starts above B's start.
      {"A inside B", bin("1", "closedClosed", "8", "12"),
       bin("2", "closedClosed", "5", "20", "k"), TrimOutcome::split,
       bin("2", "closedOpen", "5", "8", "k"), bin("2", "openClosed", "12", "20", "k")},
      {"A inside B, A open", bin("1", "openOpen", "8", "12"), bin("2", "closedOpen", "5", "20"),
       TrimOutcome::split, bin("2", "closedClosed", "5", "8"), bin("2", "closedOpen", "12", "20")},
      {"same end, A open, B closed", bin("1", "closedOpen", "8", "20"),
       bin("2", "closedClosed", "5", "20"), TrimOutcome::split, bin("2", "closedOpen", "5", "8"),
       bin("2", "closedClosed", "20", "20")},
      {"same end, otherwise", bin("1", "closedClosed", "8", "20"),
       bin("2", "closedClosed", "5", "20"), TrimOutcome::keep, bin("2", "closedOpen", "5", "8"),
       none},
      {"beyond B's end", bin("1", "closedClosed", "30", "40"), bin("2", "closedClosed", "5", "20"),
       TrimOutcome::keep, bin("2", "closedClosed", "5", "20"), none},
      {"starts at B's end, closed", bin("1", "closedClosed", "20", "30"),
       bin("2", "closedClosed", "5", "20"), TrimOutcome::keep, bin("2", "closedOpen", "5", "20"),
       none},
      {"starts at B's end, open", bin("1", "openClosed", "20", "30"),
       bin("2", "closedClosed", "5", "20"), TrimOutcome::keep, bin("2", "closedClosed", "5", "20"),
       none},
      // An open start of A must not add B's excluded end point to B.
      {"starts at B's open end, open", bin("1", "openClosed", "20", "30"),
       bin("2", "closedOpen", "5", "20"), TrimOutcome::keep, bin("2", "closedOpen", "5", "20"),
       none},
      {"starts inside B, closed", bin("1", "closedClosed", "10", "30"),
       bin("2", "closedClosed", "5", "20"), TrimOutcome::keep, bin("2", "closedOpen", "5", "10"),
       none},
      {"starts inside B, open", bin("1", "openClosed", "10", "30"),
       bin("2", "closedClosed", "5", "20"), TrimOutcome::keep, bin("2", "closedClosed", "5", "10"),
       none},
      // An earlier interval that runs backwards covers nothing.
      {"earlier interval runs backwards", bin("1", "closedClosed", "20", "1"),
       bin("2", "closedClosed", "0", "10"), TrimOutcome::keep, bin("2", "closedClosed", "0", "10"),
       none},
      // Items without interval are never touched.
      {"later item without interval", bin("1", "closedClosed", "0", "10"), key("mapElseTo", "9"),
       TrimOutcome::keep, key("mapElseTo", "9"), none},
      {"earlier item without interval", key("mapSysmisTo", "9"),
       bin("2", "closedClosed", "0", "10"), TrimOutcome::keep, bin("2", "closedClosed", "0", "10"),
       none},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    IntervalItem b = c.b, added;
    EXPECT_EQ(IntervalParser::trimInterval(c.a, b, added), c.outcome);
    EXPECT_EQ(b, c.trimmed);
    if (c.outcome == TrimOutcome::split) {
      EXPECT_EQ(added, c.added);
    }
  }
}

TEST(RecodeKeys, ResolvesSpecialKeysAgainstMissingValues) {
  const struct {
    const char* name;
    IntervalList in, out;
  } cases[] = {
      {"worked example: else key also maps missing values",
       {bin("1", "closedOpen", "0", "10"), bin("2", "closedClosed", "5", "20"),
        key("mapElseTo", "9"), missing("99", "99")},
       {bin("1", "closedOpen", "0", "10"), bin("2", "closedClosed", "5", "20"),
        bin("9", "closedClosed", "99", "99"), key("mapSysmisTo", "9"), key("mapElseTo", "9")}},
      {"missing copy becomes interval copies",
       {key("recodeMissingCopy"), bin("5", "closedClosed", "0", "100"), missing("99", "99")},
       {bin("", "closedClosed", "99", "99", "recodeIntervalCopy"),
        bin("5", "closedClosed", "0", "100")}},
      {"missing to sysmis, every missing interval after the key",
       {key("recodeMissingSysmis"), missing("1", "1"), missing("LOWEST", "-5")},
       {bin("", "closedClosed", "1", "1", "recodeTargetSysmis"),
        bin("", "closedClosed", "LOWEST", "-5", "recodeTargetSysmis")}},
      {"mapMissingTo last becomes mapSysmisTo",
       {bin("1", "closedClosed", "0", "1"), key("mapMissingTo", "7")},
       {bin("1", "closedClosed", "0", "1"), key("mapSysmisTo", "7")}},
      {"mapMissingTo last after a mapSysmisTo goes",
       {key("mapSysmisTo", "3"), key("mapMissingTo", "7")},
       {key("mapSysmisTo", "3")}},
      {"mapElseTo last gains mapSysmisTo", {key("mapElseTo", "9")},
       {key("mapSysmisTo", "9"), key("mapElseTo", "9")}},
      {"mapElseTo last keeps an earlier mapSysmisTo",
       {key("mapSysmisTo", "1"), key("mapElseTo", "9")},
       {key("mapSysmisTo", "1"), key("mapElseTo", "9")}},
      {"else copy cuts everything after it",
       {key("recodeElseCopy"), bin("1", "closedClosed", "0", "1"), missing("5", "5")},
       {key("recodeElseCopy")}},
      {"missing key removes a later sysmis key and stays",
       {key("recodeMissingSysmis"), key("mapSysmisTo", "4")}, {key("recodeMissingSysmis")}},
      {"missing key last stays", {key("recodeMissingCopy")}, {key("recodeMissingCopy")}},
      {"missing key followed by others only goes",
       {key("recodeMissingCopy"), bin("1", "closedClosed", "0", "1")},
       {bin("1", "closedClosed", "0", "1")}},
      {"missing values before every missing key are dropped",
       {missing("5", "5"), key("recodeMissingSysmis"), bin("1", "closedClosed", "0", "1")},
       {bin("1", "closedClosed", "0", "1")}},
      {"no keys", {bin("1", "closedClosed", "0", "1"), bin("2", "closedClosed", "0", "1")},
       {bin("1", "closedClosed", "0", "1"), bin("2", "closedClosed", "0", "1")}},
      {"empty", {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    IntervalList items = c.in;
    IntervalParser::resolveRecodeKeys(items);
    EXPECT_EQ(items, c.out);
  }
}

TEST(RecodeKeys, ResolvesOverlapsFirstItemWins) {
  const struct {
    const char* name;
    IntervalList in, out;
  } cases[] = {
      {"worked example 1",
       {bin("1", "closedOpen", "0", "10"), bin("2", "closedClosed", "5", "20"),
        bin("9", "closedClosed", "99", "99"), key("mapSysmisTo", "9"), key("mapElseTo", "9")},
       {bin("1", "closedOpen", "0", "10"), bin("2", "closedClosed", "10", "20"),
        bin("9", "closedClosed", "99", "99"), key("mapSysmisTo", "9"), key("mapElseTo", "9")}},
      {"worked example 2: split around a copied missing value",
       {bin("", "closedClosed", "99", "99", "recodeIntervalCopy"),
        bin("5", "closedClosed", "0", "100")},
       {bin("", "closedClosed", "99", "99", "recodeIntervalCopy"),
        bin("5", "closedOpen", "0", "99"), bin("5", "openClosed", "99", "100")}},
      {"identical bins", {bin("1", "closedClosed", "0", "5"), bin("2", "closedClosed", "0", "5")},
       {bin("1", "closedClosed", "0", "5")}},
      {"else key removes what follows",
       {key("recodeElseSysmis"), bin("1", "closedClosed", "0", "5"), key("mapSysmisTo", "1")},
       {key("recodeElseSysmis")}},
      {"missing key removes later sysmis keys",
       {key("recodeMissingCopy"), key("recodeSysmisCopy"), bin("1", "closedClosed", "0", "5")},
       {key("recodeMissingCopy"), bin("1", "closedClosed", "0", "5")}},
      {"split pieces are trimmed by later earlier items too",
       {bin("a", "closedClosed", "2", "3"), bin("b", "closedClosed", "6", "7"),
        bin("c", "closedClosed", "0", "10")},
       {bin("a", "closedClosed", "2", "3"), bin("b", "closedClosed", "6", "7"),
        bin("c", "closedOpen", "0", "2"), bin("c", "openOpen", "3", "6"),
        bin("c", "openClosed", "7", "10")}},
      {"backwards intervals end the pass",
       {bin("a", "closedClosed", "20", "1"), bin("b", "closedClosed", "10", "5")},
       {bin("a", "closedClosed", "20", "1"), bin("b", "closedClosed", "10", "5")}},
      {"single item", {bin("1", "closedClosed", "0", "5")}, {bin("1", "closedClosed", "0", "5")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    IntervalList items = c.in;
    IntervalParser::resolveOverlaps(items);
    EXPECT_EQ(items, c.out);
  }
}

}  // namespace
