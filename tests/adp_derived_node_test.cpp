// The derived field node: each kind of field as its command text, DO IF
// blocks, missing replacements, and the failures it reports.
#include "syntax/adp_derived_node.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/adp_support.h"

namespace {

using adptest::call;
using adptest::Case;
using adptest::check;
using adptest::num;
using adptest::Parsed;
using adptest::str;
using adptest::var;

// Derived fields: `option` "c" asks for the comment lines.
std::string field(const std::string& name, const std::string& attributes,
                  const std::string& content) {
  return "<DerivedField name='" + name + "' " + attributes + ">" + content + "</DerivedField>";
}
const std::string kScale = "optype='continuous' dataType='double'";
void checkDerived(const std::vector<Case>& cases) {
  check<ADPDerivedNode>(cases,
                        [](ADPDerivedNode& n, const std::string& o) { n.comments = o == "c"; });
}

TEST(DerivedNode, WritesEachKindOfField) {
  const std::string s = "dataType='string' length=";
  const std::string dateStep =
      "<Extension><Action stepKey='DateAndTimeFeatures' parameter='1/1/2000'/></Extension>";
  const std::string today = var("d") + "<Constant dataType='date'>today</Constant>";
  const std::string outlier =
      call("outlierHandle", var("age") + str("asExtremeValues") + num("40") + num("12") + num("3"));
  const std::string block =
      "\nCOMPUTE age_o = $SYSMIS.\nDO IF (age < 40-12*3).\nCOMPUTE age_o = 40-12*3.\n"
      "ELSE IF (age > 40+12*3).\nCOMPUTE age_o = 40+12*3.\nELSE.\nCOMPUTE age_o = age.\nEND IF.";
  checkDerived({
      {"comment names each input once", field("d", kScale, call("+", var("a") + var("a"))), 0,
       "\n** Target - d , Inputs -  a.\nCOMPUTE d = (a+a).", "c"},
      {"date parameter for a function",
       field("days", kScale, dateStep + call("date_days_difference", today)), 0,
       "\nCOMPUTE days = (d-DATE.MDY(1,1,2000))/time.days(1)."},
      {"none for an operator", field("o", kScale, dateStep + call("-", today)), 8,
       "X.DerivedField(o).Apply(-).Constant(today)[mm/dd/yyyy]"},
      {"the missing value counts, the key does not",
       field("r", s + "'1'",
             "<MapValues mapMissingTo='abcd'><FieldColumnPair field='n' dataType='string'/>"
             "<InlineTable><row><a>a long key</a><b>ab</b></row></InlineTable></MapValues>"),
       0, "\nSTRING r(A4).\nRECODE n ('a long key' = 'ab') (MISSING='abcd') (ELSE='') \n  INTO r."},
      {"normalisation",
       field("age_t", kScale,
             "<NormContinuous field='age' outliers='asExtremeValues'><LinearNorm orig='18' "
             "norm='0'/><LinearNorm orig='90' norm='1'/></NormContinuous>"),
       0,
       "\nRECODE age (18 THRU 90 = Copy) (LOWEST THRU 18 = 18) (90 THRU HIGHEST = 90)\n  INTO "
       "age_t.\n** Targe - age_t , Input - age_t 18 90 0 1 .\n"
       "COMPUTE age_t = 0 + (age_t-18)*(1-0)/(90-18).",
       "c"},
      {"outlier block, no declaration or comment", field("age_o", s + "'1'", outlier), 0, block,
       "c"},
      // A string is as wide as the largest of the length the root found, the longest
      // literal and 1.
      {"length", field("s", s + "'9'", str("N")), 0, "\nSTRING s(A9).\nCOMPUTE s = 'N'."},
      {"at least 1", field("s", s + "'0'", var("t")), 0, "\nSTRING s(A1).\nCOMPUTE s = t.\n"},
      {"doubled apostrophe counts once", field("s", s + "'0'", str("a'b")), 0,
       "\nSTRING s(A3).\nCOMPUTE s = 'a''b'."},
  });
}

TEST(DerivedNode, ReportsFailuresAndKeepsNoChildren) {
  const std::pair<std::string, std::string> cases[] = {
      {"<DerivedField>" + var("a") + "</DerivedField>", "X.DerivedField"},
      {field("t", kScale, ""), "X.DerivedField(t)"},
      {field("t", kScale, "<Apply function='if'/>"),
       "X.DerivedField(t).Apply{Function name is empty.}"},
      {field("t", kScale, "<Apply function='if'><!--c--></Apply>"),
       "X.DerivedField(t).Apply(if){No element inside if.}"},
      {field("t", kScale, "<TextIndex/>"),
       "X.DerivedField(t).TextIndex[Apply,MapValues,NormContinuous,Discretize]"},
      // A function outside the table would be written as its bare arguments.
      {field("t", kScale, call("if", call("median", var("a")))),
       "X.DerivedField(t).Apply(if).Apply(median)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    Parsed<ADPDerivedNode> p(c.first);
    EXPECT_NE(p.code, 0);
    EXPECT_EQ(p.path, c.second);
    EXPECT_TRUE(p.node.children.empty());
  }
}

std::string applyWith(const std::string& function, const std::string& attributes,
                      const std::string& content) {
  return "<Apply function='" + function + "' " + attributes + ">" + content + "</Apply>";
}

// An "if" is a DO IF block; mapMissingTo stands where an argument is missing.
TEST(DerivedNode, WritesIfBlocksAndMissingReplacements) {
  const std::string x = var("x"), y = var("y"), m = "mapMissingTo='9'";
  checkDerived({
      {"if without else", field("t", kScale, call("if", var("c") + call("floor", x))), 0,
       "\nCOMPUTE t = $SYSMIS.\nDO IF c.\nCOMPUTE t = (TRUNC(x)-(x<TRUNC(x))).\nEND IF."},
      {"operator", field("t", kScale, applyWith("*", m, call("+", x + y) + num("2"))), 0,
       "\nCOMPUTE t = ((x+y)*2).\nIF (SYSMIS(x+y)) t = 9."},
      {"constants are never missing", field("t", kScale, applyWith("+", m, num("1") + num("2"))), 0,
       "\nCOMPUTE t = (1+2)."},
      {"string replacement widens the field",
       field("t", "dataType='string' length='1'", applyWith("uppercase", "mapMissingTo='none'", x)),
       0, "\nSTRING t(A4).\nCOMPUTE t = UPCASE(x).\nIF (MISSING(x)) t = 'none'."},
      {"nested replacement", field("t", kScale, call("abs", applyWith("-", m, x + y))), 3,
       "X.DerivedField(t).Apply(-){mapMissingTo can only stand on a field's whole expression.}"},
      {"nested field replacement",
       field("t", kScale, call("abs", "<FieldRef field='x' " + m + "/>")), 3,
       "X.DerivedField(t).FieldRef(x){mapMissingTo can only stand on a field's whole expression.}"},
      {"replacement not a number", field("t", kScale, applyWith("ln", "mapMissingTo='n/a'", x)), 8,
       "X.DerivedField(t).Apply(mapMissingTo=n/a){Not a number.}"},
  });
}

}  // namespace
