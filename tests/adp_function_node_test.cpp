// The function node: host functions, their arguments and the date and time
// differences.
#include "syntax/adp_function_node.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/adp_support.h"

namespace {

using adptest::call;
using adptest::check;
using adptest::num;
using adptest::var;

// Floor, round and concat are pinned by the syntax differential test.
TEST(FunctionNode, IfTakesAConditionAndOneOrTwoValues) {
  const std::string x = var("x");
  check<ADPFunctionNode>({
      {"if takes functions", call("if", x + call("abs", x)), 0, "IF(x,ABS(x))"},
      {"if without values", call("if", x), 9,
       "X.Apply(if){An if takes a condition and one or two values.}"},
      {"if inside an if", call("if", x + call("if", x + x)), 3,
       "X.Apply(if).Apply(if){An if can only be a field's whole expression.}"},
  });
}

TEST(FunctionNode, WritesCallsAndDifferences) {
  const std::string d12 = var("d1") + var("d2"), t12 = var("t1") + var("t2");
  check<ADPFunctionNode>({
      {"arguments", call("substr", var("s") + num("1") + num("3")), 0, "SUBSTR(s,1,3)"},
      {"bare reorder", call("reorder", var("a") + var("b")), 0, "a,b"},
      {"years", call("date_years_difference", d12), 0, "(d1-d2)/(365.25 * time.days(1))"},
      {"months", call("date_months_difference", d12), 0, "(d1-d2)/(30.4375 * time.days(1))"},
      {"hours", call("time_hours_difference", t12), 0, "(t1-t2)/TIME.HMS(1)"},
      {"minutes", call("time_minutes_difference", t12), 0, "(t1-t2)/TIME.HMS(0,1)"},
      {"seconds", call("time_seconds_difference", t12), 0, "(t1-t2)"},
      // The subtrahend keeps its parentheses: t1 - (t2 + 60), not t1 - t2 + 60.
      {"compound subtrahend",
       call("time_seconds_difference", var("t1") + call("+", var("t2") + num("60"))), 0,
       "(t1-(t2+60))"},
      {"nested function", call("abs", call("round", var("a"))), 7, "X.Apply(abs).Apply(round)"},
  });
}

}  // namespace
