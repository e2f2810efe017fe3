// Constants: literal forms, date and time checks, and refusal of unsafe text.
#include "syntax/adp_value_node.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/adp_support.h"

namespace {

using adptest::Parsed;

struct Case {
  const char* name;
  std::string xml;
  std::string preset;
  int code;
  std::string pathOrText;  // the rendered text on success, the error path otherwise
};

void check(const Case& c) {
  SCOPED_TRACE(c.name);
  ADPValueNode node;
  node.setValue(c.preset);
  adptest::expectParsed(node, c.xml, c.code, c.pathOrText);
}

TEST(ValueNode, WritesEachDataTypeInItsLiteralForm) {
  const Case cases[] = {
      {"string", "<Constant dataType='string'>A</Constant>", "", 0, "'A'"},
      {"integer", "<Constant dataType='integer'>3</Constant>", "", 0, "3"},
      {"no data type", "<Constant>-2.5e3</Constant>", "", 0, "-2.5e3"},
      {"number laid out on lines", "<Constant dataType='double'>\n  .5\n</Constant>", "", 0, ".5"},
      {"date laid out on lines", "<Constant dataType='date'>\n 1/2/2003 </Constant>", "", 0,
       "DATE.MDY(1,2,2003)"},
      {"date", "<Constant dataType='date'>12/31/2020</Constant>", "", 0, "DATE.MDY(12,31,2020)"},
      {"days since", "<Constant dataType='dateDaysSince[1970]'>1/2/2020</Constant>", "", 0,
       "DATE.MDY(1,2,2020)"},
      {"time", "<Constant dataType='time'>10:30:00</Constant>", "", 0, "TIME.HMS(10,30,00)"},
      {"time seconds", "<Constant dataType='timeSeconds'>1:2:3</Constant>", "", 0,
       "TIME.HMS(1,2,3)"},
      {"malformed date gives way to preset", "<Constant dataType='date'>2020-12-31</Constant>",
       "1/2/2003", 0, "DATE.MDY(1,2,2003)"},
      {"malformed time gives way to preset", "<Constant dataType='time'>1030</Constant>",
       "10:30:15", 0, "TIME.HMS(10,30,15)"},
      {"well-formed text beats preset", "<Constant dataType='date'>3/4/2005</Constant>", "1/2/2003",
       0, "DATE.MDY(3,4,2005)"},
      // An apostrophe is doubled so that the literal does not end early.
      {"apostrophe", "<Constant dataType='string'>Men's</Constant>", "", 0, "'Men''s'"},
  };
  for (const auto& c : cases) check(c);
}

TEST(ValueNode, RefusesMalformedAndUnsafeValues) {
  const Case cases[] = {
      {"empty text", "<Constant dataType='string'></Constant>", "", 10, "X"},
      {"date without two slashes", "<Constant dataType='date'>2020-12-31</Constant>", "", 8,
       "X.Constant(2020-12-31)[mm/dd/yyyy]"},
      {"date with one slash, bad preset", "<Constant dataType='date'>12/2020</Constant>", "1-2", 8,
       "X.Constant(12/2020)[mm/dd/yyyy]"},
      {"time without two colons", "<Constant dataType='time'>10:30</Constant>", "", 8,
       "X.Constant(10:30)[hh:mm:ss]"},
      {"date with empty first piece", "<Constant dataType='date'>/12/2020</Constant>", "", 8,
       "X.Constant(/12/2020){Date is not numeric mm/dd/yyyy.}"},
      {"date carrying a command",
       "<Constant dataType='date'>1/2/2020). HOST COMMAND='x'. (1</Constant>", "", 8,
       "X.Constant(1/2/2020). HOST COMMAND='x'. (1){Date is not numeric mm/dd/yyyy.}"},
      {"time carrying a command", "<Constant dataType='time'>1:2:3).X.(</Constant>", "", 8,
       "X.Constant(1:2:3).X.(){Time is not numeric hh:mm:ss.}"},
      {"number carrying a command", "<Constant dataType='double'>1. HOST COMMAND='x'</Constant>",
       "", 8, "X.Constant(1. HOST COMMAND='x'){Not a number.}"},
      {"word as a number", "<Constant dataType='integer'>abc</Constant>", "", 8,
       "X.Constant(abc){Not a number.}"},
      {"string with a line break", "<Constant dataType='string'>a&#10;b</Constant>", "", 8,
       "X.Constant(a\nb){String holds a line break.}"},
      {"string with a line separator", "<Constant dataType='string'>a&#x2028;b</Constant>", "", 8,
       "X.Constant(a\xe2\x80\xa8"
       "b){String holds a line break.}"},
  };
  for (const auto& c : cases) check(c);
}

TEST(ValueNode, RemovesTheValuesOwnDotFromThePath) {
  // "2.5" holds a dot, so the first cut stops inside it and a second one follows.
  Parsed<ADPValueNode> p("<Constant dataType='double'>2.5</Constant>");
  EXPECT_EQ(p.code, 0);
  EXPECT_EQ(p.path, "X");
}

TEST(ValueNode, KeepsAnInjectedCommandInsideTheLiteral) {
  Parsed<ADPValueNode> p(
      "<Constant dataType='string'>x'. HOST COMMAND='rm'. COMPUTE y='</Constant>");
  ASSERT_EQ(p.code, 0);
  EXPECT_EQ(p.node.toSyntax(), "'x''. HOST COMMAND=''rm''. COMPUTE y='''");
  // Two cuts cannot take away a value with more dots than one; the residue
  // shows only in the path of a later failure.
  EXPECT_EQ(p.path, "X.Constant(x'");
}

TEST(ValueNode, RecognisesDateAndTimeTypes) {
  for (const char* t : {"date", "dateDaysSince[0]", "dateDaysSince[1960]", "dateDaysSince[1970]",
                        "dateDaysSince[1980]"}) {
    EXPECT_TRUE(ADPValueNode::isDateType(t)) << t;
  }
  for (const char* t : {"dateDaysSince", "dateTime", "dateTimeSecondsSince[1970]", "string", ""}) {
    EXPECT_FALSE(ADPValueNode::isDateType(t)) << t;
  }
  EXPECT_TRUE(ADPValueNode::isTimeType("time"));
  EXPECT_TRUE(ADPValueNode::isTimeType("timeSeconds"));
  EXPECT_FALSE(ADPValueNode::isTimeType("timeSecondsSince"));
}

}  // namespace
