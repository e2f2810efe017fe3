// Literals: numbers, strings, dates and times as the command language reads
// them, and the text it would read as another value.
#include "syntax/adp_value_node.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/adp_support.h"
#include "tests/test_util.h"

namespace {

using adptest::check;
using adptest::num;
using adptest::Parsed;
using adptest::str;

TEST(ValueNode, WritesLiteralsAndRefusesMalformedText) {
  // `option` is the value the node holds before it reads the document.
  const auto date = [](const std::string& v) {
    return "<Constant dataType='date'>" + v + "</Constant>";
  };
  check<ADPValueNode>(
      {
          {"apostrophe doubled", str("Men's"), 0, "'Men''s'"},
          {"days since", "<Constant dataType='dateDaysSince[1970]'>1/2/2020</Constant>", 0,
           "DATE.MDY(1,2,2020)"},
          {"time", "<Constant dataType='time'>10:30:00</Constant>", 0, "TIME.HMS(10,30,00)"},
          {"malformed date gives way to preset", date("2020-12-31"), 0, "DATE.MDY(1,2,2003)",
           "1/2/2003"},
          {"well-formed date beats preset", date("3/4/2005"), 0, "DATE.MDY(3,4,2005)", "1/2/2003"},
          {"empty text", str(""), 10, "X"},
          {"date without two slashes", date("2020-12-31"), 8, "X.Constant(2020-12-31)[mm/dd/yyyy]"},
          {"date carrying a command", date("1/2/2020). X. (1"), 8,
           "X.Constant(1/2/2020). X. (1){Date is not numeric mm/dd/yyyy.}"},
          {"string with a line separator", str("a&#x2028;b"), 8,
           "X.Constant(a\342\200\250b){String holds a line break.}"},
      },
      [](ADPValueNode& n, const std::string& preset) { n.setValue(preset); });

  // "2.5" holds a dot, so the first cut stops inside it and a second one follows.
  EXPECT_EQ(Parsed<ADPValueNode>(num("2.5")).path, "X");
}

TEST(ValueNode, WritesOnlyLiteralsTheLanguageReadsAsTheValue) {
  const std::string beyond = "{Number beyond the range of a double.}";
  check<ADPValueNode>({
      // RECODE refuses a leading "+"; every other form is written as it is.
      {"leading plus", num("+5"), 0, "5"},
      {"leading plus of a fraction", num("+.5"), 0, ".5"},
      {"exponent sign kept", num("5e+3"), 0, "5e+3"},
      {"minus kept", num("-0.50"), 0, "-0.50"},
      {"too small for a double is zero, kept", num("1e-400"), 0, "1e-400"},
      {"beyond a double", num("1e400"), 8, "X.Constant(1e400)" + beyond},
      {"beyond a double, negative", num("-1e400"), 8, "X.Constant(-1e400)" + beyond},
      {"tab in a string", str("a&#9;b"), 8, "X.Constant(a\tb){String holds a control character.}"},
  });

  // Control characters other than tab, CR and LF cannot stand in an XML 1.0 document.
  for (const char* text : {"a\001b", "a\037b", "a\036b", "\033[2J"}) {
    ADPValueNode value;
    value.utf8 = true;
    value.setDataType("string");
    value.setValue(text);
    EXPECT_EQ(value.literalProblem(), "String holds a control character.") << text;
  }

  // In the local code page a character it cannot hold would be written as "?",
  // so that "Côte" and "Cüte" would both be 'C?te'.
  testutil::ScopedLocale ascii("C");
  const struct {
    std::string xml;
    int code;
    std::string pathOrText;
  } local[] = {
      {str("C&#xF4;te"), 8,
       "X.Constant(C?te){String holds a character the local code page cannot hold.}"},
      {str("C&#xFC;te"), 8,
       "X.Constant(C?te){String holds a character the local code page cannot hold.}"},
      {str("C?te"), 0, "'C?te'"},
  };
  for (const auto& c : local) {
    SCOPED_TRACE(c.xml);
    testutil::Documents docs;
    ADPValueNode value;
    std::string path = "X";
    EXPECT_EQ(value.parse(docs.element(c.xml), path), c.code);
    EXPECT_EQ(c.code == 0 ? value.toSyntax() : path, c.pathOrText);
  }
}

}  // namespace
