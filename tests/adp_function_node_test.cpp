// Function calls: the function table, argument stripping, date and time differences.
#include "syntax/adp_function_node.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/adp_support.h"

namespace {

using adptest::expectFailures;
using adptest::Parsed;

std::string applyOf(const std::string& function, const std::string& arguments,
                    const std::string& extra = "") {
  return "<Apply function='" + function + "'" + extra + ">" + arguments + "</Apply>";
}
std::string ref(const std::string& name) { return "<FieldRef field='" + name + "'/>"; }
std::string num(const std::string& v) { return "<Constant dataType='double'>" + v + "</Constant>"; }

TEST(FunctionNode, WritesCallsAndDifferenceFormulas) {
  struct Case {
    std::string xml;
    std::string text;
  };
  const Case cases[] = {
      {applyOf("round", ref("income")), "RND(income)"},
      {applyOf("substr", ref("s") + num("1") + num("3")), "SUBSTR(s,1,3)"},
      {applyOf("abs", applyOf("-", ref("a") + ref("b"))), "ABS(a-b)"},
      {applyOf("abs", ""), "ABS()"},
      {applyOf("floor", ref("x")), "TRUNC(x)"},
      {applyOf("month-from-date", ref("d")), "XDATE.MONTH(d)"},
      {applyOf("log10", ref("x")), "LG10(x)"},
      {applyOf("avg", ref("a") + ref("b")), "MEAN(a,b)"},
      {applyOf("uppercase", "<Constant dataType='string'>o'k</Constant>"), "UPCASE('o''k')"},
      {applyOf("recast_to_scale", ref("x")), "x"},
      {applyOf("recast_to_ordinal", applyOf("+", ref("a") + ref("b"))), "a+b"},
      {applyOf("reorder", ref("a") + ref("b")), "a,b"},
      {applyOf("date_years_difference", ref("d1") + ref("d2")), "(d1-d2)/(365.25 * time.days(1))"},
      {applyOf("date_months_difference", ref("d1") + ref("d2")),
       "(d1-d2)/(30.4375 * time.days(1))"},
      {applyOf("date_days_difference", ref("d1") + ref("d2")), "(d1-d2)/time.days(1)"},
      {applyOf("time_hours_difference", ref("t1") + ref("t2")), "(t1-t2)/TIME.HMS(1)"},
      {applyOf("time_minutes_difference", ref("t1") + ref("t2")), "(t1-t2)/TIME.HMS(0,1)"},
      {applyOf("time_seconds_difference", ref("t1") + ref("t2")), "(t1-t2)"},
      {applyOf("date_days_difference", ref("a") + ref("b") + ref("c")), "(a-b-c)/time.days(1)"},
      // The subtrahend keeps its parentheses: t1 - (t2 + 60), not t1 - t2 + 60.
      {applyOf("time_seconds_difference", ref("t1") + applyOf("+", ref("t2") + num("60"))),
       "(t1-(t2+60))"},
      {applyOf("time_seconds_difference", applyOf("+", ref("t1") + num("5")) + ref("t2")),
       "(t1+5-t2)"},
      {applyOf("date_days_difference",
               ref("d") + "<Constant dataType='date'>12/31/2020</Constant>"),
       "(d-DATE.MDY(12,31,2020))/time.days(1)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml);
    Parsed<ADPFunctionNode> p(c.xml);
    ASSERT_EQ(p.code, 0) << p.path;
    EXPECT_EQ(p.node.toSyntax(), c.text);
  }
}

TEST(FunctionNode, ConstantTakesTheParameterInPlaceOfAMalformedDate) {
  Parsed<ADPFunctionNode> p(applyOf("date_days_difference",
                                    ref("d") + "<Constant dataType='date'>today</Constant>",
                                    " parameter='1/1/2000'"));
  ASSERT_EQ(p.code, 0) << p.path;
  EXPECT_EQ(p.node.toSyntax(), "(d-DATE.MDY(1,1,2000))/time.days(1)");
}

TEST(FunctionNode, ListsEachArgumentsInputsAfterABlank) {
  Parsed<ADPFunctionNode> p(
      applyOf("max", ref("a") + num("1") + applyOf("+", ref("b") + ref("a"))));
  ASSERT_EQ(p.code, 0);
  EXPECT_EQ(p.node.getInputs(), " a  b a");
  Parsed<ADPFunctionNode> none(applyOf("abs", ""));
  EXPECT_EQ(none.node.getInputs(), "");
}

TEST(FunctionNode, ReportsFailuresWithTheirPaths) {
  expectFailures<ADPFunctionNode>({
      {"nested function", applyOf("abs", applyOf("round", ref("a"))), 7,
       "X.Apply(abs).Apply(round)"},
      {"nested without function", applyOf("abs", "<Apply/>"), 7, "X.Apply(abs).Apply"},
      {"nested childless if", applyOf("abs", "<Apply function='if'/>"), 7,
       "X.Apply(abs).Apply{Function name is empty.}"},
      {"other element", applyOf("abs", "<Value value='1'/>"), 6,
       "X.Apply(abs).Value[FieldRef,Constant,Apply]"},
      {"argument fails", applyOf("abs", "<FieldRef/>"), 7, "X.Apply(abs).FieldRef"},
  });
}

TEST(FunctionNode, SuccessLeavesTheCutOfTheLastDot) {
  // "cdf.normal" holds a dot: removing the last segment stops inside it.
  Parsed<ADPFunctionNode> p(applyOf("cdf.normal", ref("x")));
  ASSERT_EQ(p.code, 0);
  EXPECT_EQ(p.path, "X.Apply(cdf");
  EXPECT_EQ(p.node.toSyntax(), "CDF.NORMAL(x)");
}

TEST(FunctionNode, TableKnowsBareEntriesButSupportsOnlyTheRecasts) {
  EXPECT_TRUE(ADPFunctionNode::isKnownFunction("reorder"));
  EXPECT_FALSE(ADPFunctionNode::isSupportedFunction("reorder"));
  EXPECT_TRUE(ADPFunctionNode::isSupportedFunction("recast_to_scale"));
  EXPECT_TRUE(ADPFunctionNode::isSupportedFunction("recast_to_ordinal"));
  EXPECT_TRUE(ADPFunctionNode::isSupportedFunction("if"));
  EXPECT_FALSE(ADPFunctionNode::isKnownFunction("median"));
  EXPECT_EQ(ADPFunctionNode::syntaxFunctionName("median"), "");
  EXPECT_EQ(ADPFunctionNode::syntaxFunctionName("trimend"), "RTRIM");
  EXPECT_EQ(ADPFunctionNode::syntaxFunctionName("day-from-date"), "XDATE.MDAY");
}

}  // namespace
