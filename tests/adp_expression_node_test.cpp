// The operator node: operators and operands, the guards that make a missing
// operand give a missing result, and expressions too long to write.
#include "syntax/adp_expression_node.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/adp_support.h"

namespace {

using adptest::call;
using adptest::check;
using adptest::num;
using adptest::Parsed;
using adptest::str;
using adptest::var;

TEST(ExpressionNode, WritesOperatorsAndOperands) {
  // The right operand 2 can neither be missing nor absorb a missing left one.
  std::istringstream operators(
      "+ + - - * * / / pow ** power ** and & equal = notEqual ~= lessThan < greaterThan > "
      "lessOrEqual <= greaterOrEqual >=");
  for (std::string function, op; operators >> function >> op;) {
    Parsed<ADPExpressionNode> p(call(function, var("a") + num("2")));
    EXPECT_EQ(p.node.toSyntax(), "(a" + op + "2)") << function;
  }
  const std::string a = var("a"), b = var("b");
  check<ADPExpressionNode>({
      {"an if has no syntax inside an expression",
       call("+", call("if", call("-", a + b) + var("z")) + b), 3,
       "X.Apply(+).Apply(if){An if can only be a field's whole expression.}"},
      // A recast over an expression is its bare expression, kept together.
      {"recast over an expression", call("*", call("recast_to_scale", call("+", a + b)) + num("2")),
       0, "((a+b)*2)"},
      {"not an operator", call("round", a), 3, "X.Apply(round)"},
      {"one operand", call("+", a), 9, "X.Apply(+){Expression must have two arguments.}"},
      {"nested reorder", call("+", call("reorder", a) + b), 3, "X.Apply(+).Apply(reorder)"},
  });
}

// A test that repeats an operand holding another tested run doubles with each
// level; a document nested deeply enough is refused rather than written at
// that size.
TEST(ExpressionNode, RefusesTestsTooLongToWrite) {
  for (const char* function : {"min", "ln"}) {
    SCOPED_TRACE(function);
    std::string operand = var("y");
    for (int i = 0; i < 40; ++i) operand = call(function, call("/", var("x") + operand));
    Parsed<ADPExpressionNode> parsed(call("*", var("x") + operand));
    EXPECT_EQ(parsed.code, 3);
    EXPECT_NE(parsed.path.find("{Expression too long to test for missing values.}"),
              std::string::npos);
  }
}

// PMML gives missing for an operator with a missing operand; the syntax gives
// x AND false = false, x OR true = true. (The arithmetic guards, 0*x, x/0,
// x**0 and the like, are the syntax differential test's.)
TEST(ExpressionNode, MissingOperandsGiveMissing) {
  const std::string x = var("x"), y = var("y");
  check<ADPExpressionNode>({
      {"x*2 needs nothing", call("*", x + num("2")), 0, "(x*2)"},
      {"or of fields", call("or", x + y), 0, "((x~=0)+(y~=0)>0)"},
      {"or of a not", call("or", call("not", x) + num("1")), 0, "(NOT(x)+(1~=0)>0)"},
      {"and with true needs nothing", call("and", x + num("1")), 0, "(x&1)"},
      // A string is never missing.
      {"comparison starts a run", call("*", call("greaterThan", call("*", x + y) + num("0")) + y),
       0, "(((x*y+(x-x)+(y-y))>0)*y+(x-x)+(y-y))"},
      {"string field",
       call("*", call("equal", "<FieldRef field='s' dataType='string'/>" + str("a")) + y), 0,
       "((s='a')*y+(y-y))"},
  });
  // Guards grow with the fields, not with the depth of the nesting.
  std::string deep = x;
  for (int i = 0; i < 200; ++i) deep = call("*", deep + y);
  Parsed<ADPExpressionNode> p(deep);
  ASSERT_EQ(p.code, 0);
  std::string run = std::string(200, '(') + "x";
  for (int i = 0; i < 200; ++i) run += "*y)";
  run.insert(run.size() - 1, "+(x-x)+(y-y)");
  EXPECT_EQ(p.node.toSyntax(), run);
}

}  // namespace
