// RECODE clauses: rows, bins and intervals, their failures and unsafe values.
#include "syntax/adp_two_values_node.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/adp_support.h"

namespace {

struct Case {
  const char* name;
  std::string xml;
  std::string firstType;
  std::string secondType;
  int code;
  std::string pathOrText;  // the rendered text on success, the error path otherwise
};

void check(const Case& c) {
  SCOPED_TRACE(c.name);
  ADPTwoValuesNode node;
  node.setDataTypes(c.firstType, c.secondType);
  adptest::expectParsed(node, c.xml, c.code, c.pathOrText);
}

std::string row(const std::string& from, const std::string& to) {
  return "<row><from>" + from + "</from><to>" + to + "</to></row>";
}
std::string bin(const std::string& value, const std::string& interval) {
  return "<DiscretizeBin binValue='" + value + "'>" + interval + "</DiscretizeBin>";
}

TEST(TwoValuesNode, WritesRowsBinsAndIntervals) {
  const Case cases[] = {
      {"row", row("red", "1"), "string", "integer", 0, "'red' = 1"},
      {"column names are not read", "<row><a>blue</a><b>2</b></row>", "string", "integer", 0,
       "'blue' = 2"},
      {"string output", row("1", "young"), "integer", "string", 0, "1 = 'young'"},
      {"apostrophes doubled", row("Men's", "Women's"), "string", "string", 0,
       "'Men''s' = 'Women''s'"},
      {"number laid out in its column", "<row><from> 3 </from><to>\n4\n</to></row>", "", "", 0,
       "3 = 4"},
      {"closed interval", "<Interval closure='closedClosed' leftMargin='18' rightMargin='65'/>", "",
       "", 0, "18 THRU 65"},
      {"open below", "<Interval closure='openClosed' rightMargin='18'/>", "", "", 0,
       "LOWEST THRU 18"},
      {"open above", "<Interval closure='closedOpen' leftMargin='65'/>", "", "", 0,
       "65 THRU HIGHEST"},
      {"open both ends", "<Interval closure='openOpen'/>", "", "", 0, "LOWEST THRU HIGHEST"},
      {"zero is a margin", "<Interval leftMargin='0' rightMargin='0'/>", "", "", 0, "0 THRU 0"},
      {"closure is not read", "<Interval closure='openOpen' leftMargin='1' rightMargin='2'/>", "",
       "", 0, "1 THRU 2"},
      {"bin", bin("2", "<Interval leftMargin='18' rightMargin='65'/>"), "", "", 0,
       "18 THRU 65 = 2"},
      {"string bin, untyped margins", bin("young", "<Interval rightMargin='18'/>"), "", "string", 0,
       "LOWEST THRU 18 = 'young'"},
      {"open ends of a date interval", bin("1", "<Interval/>"), "date", "", 0,
       "LOWEST THRU HIGHEST = 1"},
      {"only the first element of a bin",
       bin("3", "<Interval leftMargin='1' rightMargin='2'/><Foo/>"), "", "", 0, "1 THRU 2 = 3"},
  };
  for (const auto& c : cases) check(c);
}

TEST(TwoValuesNode, ReportsFailuresWithTheirPaths) {
  const Case cases[] = {
      {"row without columns", "<row/>", "", "", 10, "X.row.row"},
      {"row with one column", "<row><from>1</from></row>", "", "", 10, "X.row.row"},
      {"empty input", row("", "1"), "", "", 8, "X.row.row{Value is empty}"},
      {"empty output", row("1", ""), "", "", 8, "X.row.row{Value is empty}"},
      {"three columns", "<row><a>1</a><b>2</b><c>3</c></row>", "", "", 9,
       "X.row{More than two rows}"},
      {"bin without value", bin("", "<Interval/>"), "", "", 7, "X.DiscretizeBin"},
      {"bin without interval", bin("2", ""), "", "", 10, "X.DiscretizeBin(2)"},
      {"bin around something else", bin("2", "<Foo/>"), "", "", 6,
       "X.DiscretizeBin(2).Foo[Interval]"},
      {"other element", "<Foo/>", "", "", 6, "X.Foo.Foo[row,DiscretizeBin,Interval]"},
  };
  for (const auto& c : cases) check(c);
}

TEST(TwoValuesNode, ABinValueWithAPeriodLeavesPartOfItsSegment) {
  // The cut at the last "." stops inside the value.
  adptest::Parsed<ADPTwoValuesNode> p(bin("2.5", "<Interval leftMargin='1.5'/>"));
  EXPECT_EQ(p.code, 0);
  EXPECT_EQ(p.path, "X.DiscretizeBin(2");
  EXPECT_EQ(p.node.toSyntax(), "1.5 THRU HIGHEST = 2.5");
}

TEST(TwoValuesNode, RefusesValuesThatCannotBeWrittenSafely) {
  const std::string host = "1) . HOST COMMAND";
  const Case cases[] = {
      {"row input", row(host, "1"), "", "", 8, "X.row.from(" + host + "){Not a number.}"},
      {"row output", row("1", host), "", "", 8, "X.row.to(" + host + "){Not a number.}"},
      {"string over two lines", row("a&#10;HOST", "1"), "string", "", 8,
       "X.row.from(a\nHOST){String holds a line break.}"},
      // A RECODE clause takes no DATE.MDY or TIME.HMS call.
      {"date", row("12/31/2020", "1"), "date", "integer", 8,
       "X.row.from(12/31/2020){A date or time cannot be a RECODE value.}"},
      {"date output", row("1", "12/31/2020"), "integer", "date", 8,
       "X.row.to(12/31/2020){A date or time cannot be a RECODE value.}"},
      {"date bin value", bin("1/2/2000", "<Interval/>"), "", "date", 8,
       "X.DiscretizeBin(1/2/2000){A date or time cannot be a RECODE value.}"},
      {"date margin", bin("1", "<Interval leftMargin='1/2/2000'/>"), "date", "", 8,
       "X.DiscretizeBin(1).Interval(leftMargin=1/2/2000){A date or time cannot be a RECODE "
       "value.}"},
      {"bin value", bin(host, "<Interval/>"), "", "", 8,
       "X.DiscretizeBin(" + host + "){Not a number.}"},
      {"left margin", bin("1", "<Interval leftMargin='" + host + "'/>"), "", "", 8,
       "X.DiscretizeBin(1).Interval(leftMargin=" + host + "){Not a number.}"},
      {"right margin", bin("1", "<Interval rightMargin='" + host + "'/>"), "", "", 8,
       "X.DiscretizeBin(1).Interval(rightMargin=" + host + "){Not a number.}"},
      {"time margin", "<Interval leftMargin='10:30:00'/>", "time", "", 8,
       "X.Interval(leftMargin=10:30:00){A date or time cannot be a RECODE value.}"},
  };
  for (const auto& c : cases) check(c);
}

TEST(TwoValuesNode, CountsOnlyTheOutputAsAStringLiteral) {
  adptest::Xml rowXml(row("a long input value", "out"));
  ADPTwoValuesNode r;
  r.setDataTypes("string", "string");
  std::string path;
  ASSERT_EQ(r.parse(rowXml.root(), path), 0);
  EXPECT_EQ(r.longestStringLiteral(), 3u);

  adptest::Xml binXml(bin("young", "<Interval rightMargin='18'/>"));
  ADPTwoValuesNode b;
  b.setDataTypes("string", "string");
  ASSERT_EQ(b.parse(binXml.root(), path), 0);
  EXPECT_EQ(b.longestStringLiteral(), 5u);
}

}  // namespace
