// Operator expressions: infix rendering, operand kinds, failures.
#include "syntax/adp_expression_node.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/adp_support.h"

namespace {

using adptest::expectFailures;
using adptest::Parsed;

std::string applyOf(const std::string& function, const std::string& operands) {
  return "<Apply function='" + function + "'>" + operands + "</Apply>";
}
const std::string a = "<FieldRef field='a'/>";
const std::string b = "<FieldRef field='b'/>";
std::string num(const std::string& v) { return "<Constant dataType='double'>" + v + "</Constant>"; }

TEST(ExpressionNode, WritesFullyParenthesisedInfix) {
  struct Case {
    std::string xml;
    std::string text;
    std::string inputs;
  };
  const Case cases[] = {
      {applyOf("greaterThan", "<FieldRef field='x'/>" + num("5")), "(x>5)", "x "},
      {applyOf("*", "<FieldRef field='age'/>" + num("-1")), "(age*(-1))", "age "},
      {applyOf("pow", a + num("2")), "(a**2)", "a "},
      {applyOf("power", a + b), "(a**b)", "a b"},
      {applyOf("+", applyOf("*", a + b) + "<FieldRef field='c'/>"), "((a*b)+c)", "a b c"},
      {applyOf("-", num("-3") + a), "(-3-a)", " a"},
      {applyOf("and", a + b), "(a&b)", "a b"},
      {applyOf("or", a + b), "(a|b)", "a b"},
      {applyOf("equal", a + b), "(a=b)", "a b"},
      {applyOf("notEqual", a + b), "(a~=b)", "a b"},
      {applyOf("lessThan", a + b), "(a<b)", "a b"},
      {applyOf("greaterOrEqual", a + b), "(a>=b)", "a b"},
      {applyOf("lessOrEqual", a + b), "(a<=b)", "a b"},
      {applyOf("/", a + "<!-- between -->text" + b), "(a/b)", "a b"},
      {applyOf("+", a + "<Constant dataType='string'>it's</Constant>"), "(a+'it''s')", "a "},
      // An "if" stands for its first element; the rest of it is not read.
      {applyOf("+",
               "<Apply function='if'>" + applyOf("-", a + b) + "<FieldRef field='z'/></Apply>" + b),
       "((a-b)+b)", "a b b"},
      {applyOf("+", applyOf("round", a) + b), "(RND(a)+b)", " a b"},
      // A recast over an expression is its bare expression, kept together.
      {applyOf("*", applyOf("recast_to_scale", applyOf("+", a + b)) + num("2")), "((a+b)*2)",
       " a b "},
      {applyOf("*", applyOf("recast_to_scale", a) + num("2")), "(a*2)", " a "},
      {applyOf("/", a + applyOf("recast_to_scale",
                                applyOf("*", applyOf("+", a + b) + applyOf("+", b + a)))),
       "(a/((a+b)*(b+a)))", "a  a b b a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml);
    Parsed<ADPExpressionNode> p(c.xml);
    ASSERT_EQ(p.code, 0) << p.path;
    EXPECT_EQ(p.node.toSyntax(), c.text);
    EXPECT_EQ(p.node.getInputs(), c.inputs);
  }
}

TEST(ExpressionNode, WrapsOnlyANegativeRightOperandLongerThanOneCharacter) {
  Parsed<ADPExpressionNode> p(applyOf("-", num("-3") + num("-3")));
  ASSERT_EQ(p.code, 0);
  EXPECT_EQ(p.node.toSyntax(), "(-3-(-3))");
}

TEST(ExpressionNode, ReportsFailuresWithTheirPaths) {
  expectFailures<ADPExpressionNode>({
      {"empty function", "<Apply>" + a + b + "</Apply>", 7, "X.Apply"},
      {"not an operator", applyOf("round", a), 3, "X.Apply(round)"},
      {"no child nodes", applyOf("+", ""), 10, "X.Apply(+)"},
      {"one operand", applyOf("+", a), 9, "X.Apply(+){Expression must have two arguments.}"},
      {"three operands", applyOf("+", a + b + a), 9,
       "X.Apply(+){Expression must have two arguments.}"},
      {"only text", applyOf("+", "text"), 9, "X.Apply(+){Expression must have two arguments.}"},
      {"other element", applyOf("+", a + "<MapValues/>"), 6,
       "X.Apply(+).MapValues[Apply,FieldRef,Constant]"},
      {"nested without function", applyOf("+", "<Apply>" + a + "</Apply>" + b), 7,
       "X.Apply(+).Apply"},
      {"nested childless if", applyOf("+", "<Apply function='if'/>" + b), 7,
       "X.Apply(+).Apply{Function name is empty.}"},
      {"nested if without element", applyOf("+", "<Apply function='if'>t</Apply>" + b), 10,
       "X.Apply(+).Apply(if){No element inside if.}"},
      {"nested unsupported", applyOf("+", applyOf("median", a) + b), 3, "X.Apply(+).Apply(median)"},
      {"nested reorder", applyOf("+", applyOf("reorder", a) + b), 3, "X.Apply(+).Apply(reorder)"},
      {"operand fails", applyOf("+", a + "<FieldRef/>"), 7, "X.Apply(+).FieldRef"},
  });
}

}  // namespace
