// The syntax nodes: each kind parsed from a PMML fragment, with its command
// text on success and its code and error path on failure.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <type_traits>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "syntax/adp_base_node.h"
#include "syntax/adp_derived_node.h"
#include "syntax/adp_expression_node.h"
#include "syntax/adp_function_node.h"
#include "syntax/adp_mapping_node.h"
#include "syntax/adp_norm_node.h"
#include "syntax/adp_outlier_node.h"
#include "syntax/adp_two_values_node.h"
#include "syntax/adp_value_node.h"
#include "syntax/adp_variable_node.h"
#include "tests/adp_support.h"
#include "tests/test_util.h"

namespace {

using adptest::call;
using adptest::num;
using adptest::str;
using adptest::var;

// One parse: code 0 expects the text `pathOrText`, any other code that error
// path. `option` prepares the node, its meaning depending on the node kind.
struct Case {
  const char* name;
  std::string xml;
  int code;
  std::string pathOrText;
  std::string option = "";
};

// A node parsed from the document element of `fragment`, the path starting as "X".
template <typename Node>
struct Parsed {
  explicit Parsed(const std::string& fragment) {
    node.utf8 = true;
    code = node.parse(docs.element(fragment), path);
  }
  testutil::Documents docs;
  Node node;
  std::string path = "X";
  int code = -1;
};

template <typename Node, typename Prepare>
void check(const std::vector<Case>& cases, Prepare prepare) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testutil::Documents docs;
    Node node;
    prepare(node, c.option);
    node.utf8 = true;
    std::string path = "X";
    const int code = node.parse(docs.element(c.xml), path);
    EXPECT_EQ(code, c.code) << path;
    if (code != c.code) continue;
    if (code == 0) {
      EXPECT_EQ(path, "X");
      EXPECT_EQ(node.toSyntax(), c.pathOrText);
    } else {
      EXPECT_EQ(path, c.pathOrText);
    }
  }
}
template <typename Node>
void check(const std::vector<Case>& cases) {
  check<Node>(cases, [](Node&, const std::string&) {});
}

// Exposes the name check.
class ProbeNode final : public ADPBaseNode {
 public:
  ProbeNode() : ADPBaseNode(kValue) {}
  std::string toSyntax() const override { return ""; }
  int parse(xercesc::DOMNode*, std::string&) override { return 0; }
  using ADPBaseNode::isSafeName;
  using ADPBaseNode::nameProblem;
};

TEST(BaseNode, OnlyPlainVariableNamesAreSafe) {
  testutil::Documents platform;
  ProbeNode node;
  node.utf8 = true;
  for (const char* name : {"age", "#tmp", "x.y", "a_b$c@d", "Stra\303\237e",
                           "\xe5\x90\x8d\xe5\x89\x8d", "\xf0\x9d\x90\x80x"}) {
    EXPECT_TRUE(node.isSafeName(name)) << name;
  }
  for (const char* name : {"", "1abc", ".x", "x.", "a b", "a'b", "a\"b", "a\nb", "a-b", "a(b)",
                           "a*b", "a/b", "a\302\240b", "a\342\200\250b", "bad\xff", "a;b"}) {
    EXPECT_FALSE(node.isSafeName(name)) << name;
  }
}

TEST(BaseNode, RefusesNamesTheLanguageReadsAsSomethingElse) {
  testutil::Documents platform;
  ProbeNode node;
  node.utf8 = true;
  const std::string reserved = "Reserved word.";
  const std::string first = "Name cannot begin with this character.";
  const std::string tooLong = "Name longer than 64 bytes.";
  const auto repeat = [](const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
  };
  std::vector<std::pair<std::string, std::string>> cases = {
      {"$x", "System variable."},
      {"$SYSMIS", "System variable."},
      {std::string(64, 'a'), ""},
      {std::string(65, 'a'), tooLong},
      {"#" + std::string(64, 'a'), tooLong},
      // Bytes as written: 32 two-byte letters fit, 33 do not.
      {repeat("\303\251", 32), ""},
      {repeat("\303\251", 33), tooLong},
      // A scratch variable, and words that only contain or extend a keyword.
      {"#scratch", ""},
      {"#ALL", ""},
      {"ALLx", ""},
      {"to_1", ""},
      {"x\331\243", ""},  // a digit of another script after the first character
      {"@x", ""},
      {"_x", first},
      {"\331\243x", first},          // ARABIC-INDIC DIGIT THREE
      {"\340\245\251x", first},      // DEVANAGARI DIGIT THREE
      {"\357\274\220x", first},      // FULLWIDTH DIGIT ZERO
      {"\360\235\237\216x", first},  // MATHEMATICAL BOLD DIGIT ZERO
      {"\314\201x", first},          // COMBINING ACUTE ACCENT
      {"1abc", "Not a valid variable name."},
  };
  for (const char* word :
       {"ALL", "AND", "BY", "EQ", "GE", "GT", "LE", "LT", "NE", "NOT", "OR", "TO", "WITH"}) {
    std::string lower = word;
    for (char& c : lower) c = static_cast<char>(c - 'A' + 'a');
    cases.push_back({word, reserved});
    cases.push_back({lower, reserved});
  }
  cases.push_back({"wItH", reserved});
  for (const auto& c : cases) {
    EXPECT_EQ(node.nameProblem(c.first), c.second) << c.first;
  }
}

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
      // INTO stays on the RECODE line while the text before it is 50 characters or less.
      {"short mapping", field("k", kScale, "<MapValues><FieldColumnPair field='a'/></MapValues>"),
       0, "\nRECODE a (ELSE=SYSMIS) INTO k."},
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
  const std::string test = call("greaterThan", x + num("5"));
  checkDerived({
      {"if with else", field("t", kScale, call("if", test + num("1") + num("2"))), 0,
       "\nCOMPUTE t = $SYSMIS.\nDO IF (x>5).\nCOMPUTE t = 1.\nELSE.\nCOMPUTE t = 2.\nEND IF."},
      {"if without else", field("t", kScale, call("if", var("c") + call("floor", x))), 0,
       "\nCOMPUTE t = $SYSMIS.\nDO IF c.\nCOMPUTE t = (TRUNC(x)-(x<TRUNC(x))).\nEND IF."},
      {"if with a replacement", field("t", kScale, applyWith("if", m, test + y + num("2"))), 0,
       "\nCOMPUTE t = $SYSMIS.\nDO IF SYSMIS(x>5).\nCOMPUTE t = 9.\nELSE IF (x>5).\n"
       "COMPUTE t = y.\n"
       "IF (MISSING(y)) t = 9.\nELSE.\nCOMPUTE t = 2.\nEND IF."},
      {"function", field("t", kScale, applyWith("ln", m, x)), 0,
       "\nCOMPUTE t = LN(x).\nIF (MISSING(x)) t = 9."},
      {"operator", field("t", kScale, applyWith("*", m, call("+", x + y) + num("2"))), 0,
       "\nCOMPUTE t = ((x+y)*2).\nIF (SYSMIS(x+y)) t = 9."},
      {"constants are never missing", field("t", kScale, applyWith("+", m, num("1") + num("2"))), 0,
       "\nCOMPUTE t = (1+2)."},
      {"an aggregate leaves missing arguments out", field("t", kScale, applyWith("sum", m, x + y)),
       0, "\nCOMPUTE t = SUM(x,y)."},
      {"string replacement widens the field",
       field("t", "dataType='string' length='1'", applyWith("uppercase", "mapMissingTo='none'", x)),
       0, "\nSTRING t(A4).\nCOMPUTE t = UPCASE(x).\nIF (MISSING(x)) t = 'none'."},
      {"field reference", field("t", kScale, "<FieldRef field='x' " + m + "/>"), 0,
       "\nCOMPUTE t = x.\nIF (MISSING(x)) t = 9.\n"},
      {"nested replacement", field("t", kScale, call("abs", applyWith("-", m, x + y))), 3,
       "X.DerivedField(t).Apply(-){mapMissingTo can only stand on a field's whole expression.}"},
      {"nested field replacement",
       field("t", kScale, call("abs", "<FieldRef field='x' " + m + "/>")), 3,
       "X.DerivedField(t).FieldRef(x){mapMissingTo can only stand on a field's whole expression.}"},
      {"replacement not a number", field("t", kScale, applyWith("ln", "mapMissingTo='n/a'", x)), 8,
       "X.DerivedField(t).Apply(mapMissingTo=n/a){Not a number.}"},
  });
}

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
      {"negative operands", call("-", num("-3") + num("-3")), 0, "(-3-(-3))"},
      {"or", call("or", a + num("0")), 0, "(a|0)"},
      {"an if has no syntax inside an expression",
       call("+", call("if", call("-", a + b) + var("z")) + b), 3,
       "X.Apply(+).Apply(if){An if can only be a field's whole expression.}"},
      {"function operand", call("+", call("abs", a) + b), 0, "(ABS(a)+b)"},
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
// 0*x = 0, 0/x = 0, x**0 = 1, x AND false = false, x OR true = true.
TEST(ExpressionNode, MissingOperandsGiveMissing) {
  const std::string x = var("x"), y = var("y");
  check<ADPExpressionNode>({
      {"0*x", call("*", num("0") + x), 0, "(0*x+(x-x))"},
      {"x*y", call("*", x + y), 0, "(x*y+(x-x)+(y-y))"},
      {"x*2 needs nothing", call("*", x + num("2")), 0, "(x*2)"},
      // 0/0 is 0 in the syntax: the divisor is tested for zero too.
      {"x/y", call("/", x + y), 0, "(x/y+(1/(y~=0)-1))"},
      {"x/2 needs nothing", call("/", x + num("2")), 0, "(x/2)"},
      {"x/0", call("/", x + num("0")), 0, "(x/0+(1/(0~=0)-1))"},
      {"1/y", call("/", num("1") + y), 0, "(1/y)"},
      {"x/(y*z) in a run", call("+", call("/", x + call("*", y + var("z"))) + num("1")), 0,
       "((x/(y*z))+1+(1/((y*z)~=0)-1)+(y-y)+(z-z))"},
      {"x**0", call("pow", x + num("0")), 0, "(x**0+(x-x))"},
      {"x**y", call("power", x + y), 0, "(x**y+(x-x))"},
      // A function or power that can give no value is tested as a whole.
      {"0*LN(x)", call("*", num("0") + call("ln", x)), 0, "(0*LN(x)+(LN(x)-LN(x)))"},
      {"0*x**y", call("*", num("0") + call("pow", x + y)), 0, "(0*(x**y)+((x**y)-(x**y))+(x-x))"},
      {"and of comparisons",
       call("and", call("greaterThan", x + num("5")) + call("lessThan", y + num("3"))), 0,
       "((x>5)+(y<3)=2)"},
      {"or of fields", call("or", x + y), 0, "((x~=0)+(y~=0)>0)"},
      {"or of a not", call("or", call("not", x) + num("1")), 0, "(NOT(x)+(1~=0)>0)"},
      {"and with true needs nothing", call("and", x + num("1")), 0, "(x&1)"},
      // Nested operands are guarded by the fields they read; a string is never missing.
      {"nested operand", call("*", call("+", x + y) + var("z")), 0, "((x+y)*z+(x-x)+(y-y)+(z-z))"},
      // A run of arithmetic is guarded once, at its outermost operator.
      {"run of arithmetic", call("-", call("*", x + y) + num("1")), 0, "((x*y)-1+(x-x)+(y-y))"},
      {"comparison starts a run", call("*", call("greaterThan", call("*", x + y) + num("0")) + y),
       0, "(((x*y+(x-x)+(y-y))>0)*y+(x-x)+(y-y))"},
      {"string field",
       call("*", call("equal", "<FieldRef field='s' dataType='string'/>" + str("a")) + y), 0,
       "((s='a')*y+(y-y))"},
      {"aggregate operand", call("*", call("sum", x + y) + var("z")), 0,
       "(SUM(x,y)*z+(SUM(x,y)-SUM(x,y))+(z-z))"},
      // "**" binds more tightly than the sign.
      {"negative base", call("pow", num("-2") + num("2")), 0, "((-2)**2)"},
      {"negative exponent", call("pow", num("2") + num("-1")), 0, "(2**(-1))"},
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

TEST(FunctionNode, FloorRoundConcatAndIfArguments) {
  const std::string x = var("x");
  check<ADPFunctionNode>({
      {"floor", call("floor", x), 0, "(TRUNC(x)-(x<TRUNC(x)))"},
      {"floor of an expression", call("floor", call("/", x + num("2"))), 0,
       "(TRUNC(x/2)-((x/2)<TRUNC(x/2)))"},
      {"round takes a half up", call("round", x), 0, "(RND(x)+(x-TRUNC(x)=-0.5))"},
      {"concat joins values without padding", call("concat", var("s") + str("b ")), 0,
       "CONCAT(RTRIM(s),'b ')"},
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
      {"operator argument", call("abs", call("-", var("a") + var("b"))), 0, "ABS(a-b)"},
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

// RECODE bodies: `option` is the derived field's data type.
void checkMapping(const std::vector<Case>& cases) {
  check<ADPMappingNode>(cases, [](ADPMappingNode& n, const std::string& type) {
    if (type == "string") n.setStringValues();
    n.setDataTypes("", type);
  });
}
std::string row(const std::string& from, const std::string& to) {
  return "<row><from>" + from + "</from><to>" + to + "</to></row>";
}
std::string mapValues(const std::string& content, const std::string& attributes = "") {
  return "<MapValues outputColumn='to' " + attributes + ">" + content + "</MapValues>";
}
std::string rows(const std::string& content) {
  return "<InlineTable>" + content + "</InlineTable>";
}
const std::string kPair = "<FieldColumnPair field='colour' column='from' dataType='string'/>";
const std::string kColours = rows(row("red", "1") + row("blue", "2"));
const std::string kElseCopy = "<Extension name='recodeElseCopy'/>";

TEST(MappingNode, WritesTablesAndBins) {
  const std::string body = "colour ('red' = 1) ('blue' = 2) ";
  checkMapping({
      {"worked example", mapValues(kPair + kColours), 0, body + "(ELSE=SYSMIS) ", "integer"},
      {"else copy beats the default", mapValues(kElseCopy + kPair + kColours, "defaultValue='0'"),
       0, body + "(ELSE=COPY) ", "integer"},
      {"string outputs",
       mapValues("<FieldColumnPair field='n'/>" + rows(row("1", "one")), "defaultValue=\"it's\""),
       0, "n (1 = 'one') (MISSING='') (ELSE='it''s') ", "string"},
      {"string bins",
       "<Discretize field='age' dataType='integer'><DiscretizeBin binValue='young'>"
       "<Interval rightMargin='30'/></DiscretizeBin></Discretize>",
       0, "age (LOWEST THRU 30 = 'young') (ELSE='') ", "string"},
      {"pair missing", mapValues(kColours), 6, "X.MapValues.InlineTable[FieldColumnPair]"},
      // Nothing follows the extension: the check meets no element and reads no further.
      {"extension only", mapValues(kElseCopy), 6, "X.MapValues[FieldColumnPair]"},
      {"string default over two lines", mapValues(kPair, "defaultValue='a&#13;HOST'"), 8,
       "X.MapValues(defaultValue=a\rHOST){String holds a line break.}", "string"},
  });
}

std::string bin(const std::string& value, const std::string& interval) {
  return "<DiscretizeBin binValue='" + value + "'>" + interval + "</DiscretizeBin>";
}

// RECODE clauses give every value the PMML's value: a margin that a closed
// range and the bins' closures take differently, missing input next to a
// default value, and table cells named by their columns.
std::string discretize(const std::string& bins, const std::string& attributes = "") {
  return "<Discretize field='x' " + attributes + ">" + bins + "</Discretize>";
}
std::string interval(const std::string& value, const std::string& closure, const std::string& low,
                     const std::string& high) {
  std::string margins;
  if (!low.empty()) margins += " leftMargin='" + low + "'";
  if (!high.empty()) margins += " rightMargin='" + high + "'";
  return bin(value, "<Interval closure='" + closure + "'" + margins + "/>");
}

TEST(MappingNode, GivesMarginsAndMissingInputThePmmlValue) {
  const std::string closedOpen =
      interval("1", "closedOpen", "0", "10") + interval("2", "closedOpen", "10", "20");
  const std::string pair = "<FieldColumnPair field='x' column='k' dataType='double'/>";
  checkMapping({
      {"a shared margin goes to the later bin, an excluded end to missing", discretize(closedOpen),
       0,
       "x (10 = 2) (20 = SYSMIS) (0 THRU 10 = 1) (10 THRU 20 = 2) "
       "(ELSE=SYSMIS) ",
       "integer"},
      {"ranges that agree with the closures are kept",
       discretize(interval("1", "closedClosed", "", "10") + interval("2", "openClosed", "10", "")),
       0, "x (LOWEST THRU 10 = 1) (10 THRU HIGHEST = 2) (ELSE=SYSMIS) ", "integer"},
      {"margins with one value share a clause, a number written twice counts once",
       discretize(interval("1", "openOpen", "0", "10") + interval("2", "openClosed", "10.0", "20"),
                  "defaultValue='5'"),
       0, "x (0 10 = 5) (0 THRU 10 = 1) (10.0 THRU 20 = 2) (MISSING=SYSMIS) (ELSE=5) ", "integer"},
      {"a string bin's excluded end is blank", discretize(interval("low", "openOpen", "", "10")), 0,
       "x (10 = '') (LOWEST THRU 10 = 'low') (ELSE='') ", "string"},
      {"a default is not for missing input",
       mapValues(pair + rows("<row><k>1</k><to>6</to></row>"), "defaultValue='5'"), 0,
       "x (1 = 6) (MISSING=SYSMIS) (ELSE=5) ", "integer"},
      {"a string input has no system-missing value",
       mapValues(kPair + kColours, "defaultValue='5'"), 0,
       "colour ('red' = 1) ('blue' = 2) (ELSE=5) ", "integer"},
      {"a copy of system-missing is missing",
       mapValues(kElseCopy + pair + rows("<row><k>1</k><to>6</to></row>")), 0,
       "x (1 = 6) (ELSE=COPY) ", "double"},
      {"cells by column name", mapValues(kPair + rows("<row><to>1</to><from>red</from></row>")), 0,
       "colour ('red' = 1) (ELSE=SYSMIS) ", "integer"},
      {"the named output cell is missing",
       mapValues(kPair + rows("<row><from>red</from><other>1</other></row>")), 10,
       "X.MapValues.row.row", "integer"},
  });
}

// The node parsed from `expression` in a document whose data dictionary holds
// `dataFields`, so that it reads the user-missing codes of its input.
template <typename Node, typename Render>
void checkWithDictionary(const std::string& dataFields, const std::vector<Case>& cases,
                         Render render) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testutil::Documents docs;
    Node node;
    node.utf8 = true;
    if constexpr (std::is_same_v<Node, ADPMappingNode>) {
      if (c.option == "string") node.setStringValues();
      node.setDataTypes("", c.option);
    }
    std::string path = "X";
    xercesc::DOMElement* root = docs.element("<PMML><DataDictionary>" + dataFields +
                                             "</DataDictionary>" + c.xml + "</PMML>");
    ASSERT_EQ(node.parse(root->getLastElementChild(), path), 0) << path;
    EXPECT_EQ(render(node), c.pathOrText);
  }
}

TEST(MappingNode, SendsUserMissingCodesToTheMissingClause) {
  const std::string fields =
      "<DataField name='x' dataType='double'><Value value='99' property='missing'/>"
      "<Value value='-1' property='missing'/></DataField>"
      "<DataField name='s' dataType='string'><Value value='dk' property='missing'/></DataField>";
  const std::string xPair = "<FieldColumnPair field='x' column='k' dataType='double'/>";
  const std::string sPair = "<FieldColumnPair field='s' column='k' dataType='string'/>";
  checkWithDictionary<ADPMappingNode>(
      fields,
      {
          {"a code inside a bin",
           discretize(interval("1", "closedClosed", "", "10"), "mapMissingTo='7'"), 0,
           "x (MISSING=7) (LOWEST THRU 10 = 1) (ELSE=SYSMIS) ", "integer"},
          {"codes outside every bin keep the text",
           discretize(interval("1", "closedClosed", "0", "10"), "mapMissingTo='7'"), 0,
           "x (0 THRU 10 = 1) (MISSING=7) (ELSE=SYSMIS) ", "integer"},
          {"a code on a margin is left to the MISSING clause",
           discretize(interval("1", "closedOpen", "-1", "10")), 0,
           "x (MISSING=SYSMIS) (10 = SYSMIS) (-1 THRU 10 = 1) (ELSE=SYSMIS) ", "integer"},
          {"a numeric key", mapValues(xPair + rows("<row><k>99.0</k><to>5</to></row>")), 0,
           "x (MISSING=SYSMIS) (99.0 = 5) (ELSE=SYSMIS) ", "integer"},
          {"a string key with trailing blanks",
           mapValues(sPair + rows("<row><k>dk </k><to>a</to></row>"), "defaultValue='b'"), 0,
           "s (MISSING='') ('dk ' = 'a') (ELSE='b') ", "string"},
          {"a copied code", mapValues(kElseCopy + xPair + rows("<row><k>1</k><to>6</to></row>")), 0,
           "x (1 = 6) (MISSING=SYSMIS) (ELSE=COPY) ", "double"},
      },
      [](const ADPMappingNode& n) { return n.toSyntax(); });
}

std::string norm(const std::string& attributes, const std::string& points) {
  return "<NormContinuous " + attributes + ">" + points + "</NormContinuous>";
}
std::string point(const std::string& orig, const std::string& normValue) {
  return "<LinearNorm orig='" + orig + "' norm='" + normValue + "'/>";
}

TEST(NormNode, ClipsToTheBreakPointsOrRejects) {
  const std::string age = point("18", "18") + point("90", "90");
  const std::string missing = "field='age' outliers='asMissingValues'";
  check<ADPNormNode>({
      {"only elements count", norm(missing, "<!--a-->" + point("1", "0") + " t " + point("2", "1")),
       0, "age (1 THRU 2 = Copy)(ELSE = SYSMIS)"},
      {"neither", norm("field='age'", age), 7, "X.NormContinuous"},
      {"as is", norm("field='age' outliers='asIs' mapMissingTo='1'", age), 3,
       "X.NormContinuous(asIs)[asExtremeValues,asMissingValues]"},
      {"one point", norm(missing, point("1", "0")), 10, "X.NormContinuous(age){LinearNorm}"},
      {"three points", norm(missing, age + point("99", "99")), 9,
       "X.NormContinuous(age){Too many nodes}"},
  });
}

// The RECODE body and the rescaling into t.
TEST(NormNode, GivesMissingInputTheReplacementOrMissing) {
  const std::string fields =
      "<DataField name='x' dataType='double'><Value value='-1' property='missing'/></DataField>";
  const std::string unit = point("0", "0") + point("100", "1");
  const std::string rescale = "\nCOMPUTE t = 0 + (t-0)*(1-0)/(100-0).";
  checkWithDictionary<ADPNormNode>(
      fields,
      {
          {"the replacement is on the normalised scale",
           norm("field='x' mapMissingTo='0.5' outliers='asMissingValues'", unit), 0,
           "x ( MISSING = 0.5 ) (0 THRU 100 = Copy)(ELSE = SYSMIS)" + rescale +
               "\nIF (MISSING(x)) t = 0.5."},
          {"a rescaling to itself keeps it",
           norm("field='x' mapMissingTo='45'", point("18", "18") + point("90", "90")), 0,
           "x ( MISSING = 45 ) (18 THRU 90 = Copy)(ELSE = COPY)"
           "\nCOMPUTE t = 18 + (t-18)*(90-18)/(90-18)."},
          {"a clipped code", norm("field='x' outliers='asExtremeValues'", unit), 0,
           "x ( MISSING = SYSMIS ) (0 THRU 100 = Copy) (LOWEST THRU 0 = 0) "
           "(100 THRU HIGHEST = 100)" +
               rescale},
          {"a code outside the copied range", norm("field='x' outliers='asMissingValues'", unit), 0,
           "x (0 THRU 100 = Copy)(ELSE = SYSMIS)" + rescale},
          {"a copied code",
           norm("field='x' outliers='asMissingValues'", point("-5", "0") + point("5", "1")), 0,
           "x ( MISSING = SYSMIS ) (-5 THRU 5 = Copy)(ELSE = SYSMIS)"
           "\nCOMPUTE t = 0 + (t--5)*(1-0)/(5--5)."},
      },
      [](const ADPNormNode& n) { return n.toSyntax() + "\n" + n.toComputeSyntax("t"); });
}

std::string outlier(const std::string& content, const std::string& function = "outlierHandle") {
  return "<Apply function='" + function + "'>" + content + "</Apply>";
}
// The block writing into age_t; `extreme` puts the cut-offs, not $SYSMIS, into the tails.
std::string block(const std::string& lower, const std::string& upper, bool extreme) {
  return "\nCOMPUTE age_t = $SYSMIS.\nDO IF (age < " + lower +
         ").\nCOMPUTE age_t = " + (extreme ? lower : "$SYSMIS") + ".\nELSE IF (age > " + upper +
         ").\nCOMPUTE age_t = " + (extreme ? upper : "$SYSMIS") +
         ".\nELSE.\nCOMPUTE age_t = age.\nEND IF.";
}

TEST(OutlierNode, WritesTheCutOffBlockOrRejects) {
  const std::string params = num("40") + num("12") + num("3");
  const std::string extreme = var("age") + str("asExtremeValues");
  const std::string missing = var("age") + str("asMissingValues");
  check<ADPOutlierNode>(
      {
          {"an untyped treatment is not read",
           outlier(var("age") + "<Constant>asExtremeValues</Constant>" + params), 0,
           block("40-12*3", "40+12*3", false)},
          {"fourth parameter 1 adds nothing", outlier(extreme + params + num("1")), 0,
           block("40-12*3", "40+12*3", true)},
          {"fourth parameter 1.0 is written", outlier(missing + params + num("1.0")), 0,
           block("40-12*3/SQRT(1.0)", "40+12*3/SQRT(1.0)", false)},
          // Nothing follows the field: the check meets no element and reads no further.
          {"field only", outlier(var("age")), 6, "X.Apply(outlierHandle)[Constant]"},
          {"unknown treatment", outlier(var("age") + str("asIs") + params), 7,
           "X.Apply(outlierHandle).Constant(asIs)[asMissingValues,asExtremeValues]"},
          {"field as first parameter", outlier(extreme + var("n") + num("12") + num("3")), 6,
           "X.Apply(outlierHandle).FieldRef[Constant, FieldRef]"},
          {"two parameters", outlier(extreme + num("40") + num("12")), 9,
           "X.Apply(outlierHandle){The parameter number of outlierHandle is wrong.}"},
      },
      [](ADPOutlierNode& n, const std::string&) { n.targetField().setName("age_t"); });
}

TEST(TwoValuesNode, WritesClausesAndRefusesDatesAndTimes) {
  // `option` is "input/output" data types.
  const std::string noRecode = "{A date or time cannot be a RECODE value.}";
  check<ADPTwoValuesNode>(
      {
          {"row, column names not read", "<row><a>blue</a><b>2</b></row>", 0, "'blue' = 2",
           "string/integer"},
          {"zero is a margin", "<Interval leftMargin='0' rightMargin='0'/>", 0, "0 THRU 0"},
          {"string bin", bin("young", "<Interval rightMargin='18'/>"), 0,
           "LOWEST THRU 18 = 'young'", "/string"},
          {"open ends of a date interval", bin("1", "<Interval/>"), 0, "LOWEST THRU HIGHEST = 1",
           "date/"},
          {"empty output", row("1", ""), 8, "X.row.row{Value is empty}"},
          {"three columns", "<row><a>1</a><b>2</b><c>3</c></row>", 9, "X.row{More than two rows}"},
          // A RECODE clause takes no DATE.MDY or TIME.HMS call.
          {"date input", row("12/31/2020", "1"), 8, "X.row.from(12/31/2020)" + noRecode,
           "date/integer"},
          {"date bin value", bin("1/2/2000", "<Interval/>"), 8,
           "X.DiscretizeBin(1/2/2000)" + noRecode, "/date"},
      },
      [](ADPTwoValuesNode& n, const std::string& types) {
        const auto slash = types.find('/');
        n.setDataTypes(types.substr(0, slash),
                       slash == std::string::npos ? "" : types.substr(slash + 1));
      });
}

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

TEST(VariableNode, ReadsNamesAndDeclarations) {
  check<ADPVariableNode>({
      {"reference", var("age"), 0, "age"},
      {"empty name", "<Discretize field=''/>", 7, "X.FieldRef"},
      {"other element", "<Constant/>", 6, "X[FieldRef,Discretize,DerivedField,FieldColumnPair]"},
      {"unsafe", "<FieldColumnPair field=\"a'b\"/>", 7,
       "X.FieldColumnPair(a'b){Not a valid variable name.}"},
      {"reserved word", var("all"), 7, "X.FieldRef(all){Reserved word.}"},
      {"system variable", "<Discretize field='$casenum'/>", 7,
       "X.FieldRef($casenum){System variable.}"},
      // The derived node that holds the target names the element in the path.
      {"reserved word declared", "<DerivedField name='TO' dataType='double'/>", 7,
       "X(TO){Reserved word.}"},
      {"scratch variable declared", "<DerivedField name='#t' dataType='double'/>", 0, ""},
  });
}

}  // namespace
