// The syntax nodes: each kind parsed from a PMML fragment, with its command
// text on success and its code and error path on failure.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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

namespace {

using adptest::call;
using adptest::num;
using adptest::Parsed;
using adptest::var;
using adptest::str;

// One parse. `option` prepares the node, its meaning depending on the node
// kind; code 0 expects the text `pathOrText`, any other code that error path.
struct Case {
  const char* name;
  std::string option;
  std::string xml;
  int code;
  std::string pathOrText;
};

template <typename Node, typename Prepare>
void check(const std::vector<Case>& cases, Prepare prepare) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Node node;
    prepare(node, c.option);
    adptest::expectParsed(node, c.xml, c.code, c.pathOrText);
  }
}
template <typename Node>
void check(const std::vector<Case>& cases) {
  check<Node>(cases, [](Node&, const std::string&) {});
}

// Exposes the name check; logs its destruction.
class ProbeNode final : public ADPBaseNode {
 public:
  explicit ProbeNode(std::string label = "", std::vector<std::string>* log = nullptr)
      : ADPBaseNode(kValue), label_(std::move(label)), log_(log) {}
  ~ProbeNode() override {
    if (log_ != nullptr) log_->push_back(label_);
  }
  std::string toSyntax() const override { return label_; }
  int parse(xercesc::DOMNode*, std::string&) override { return 0; }
  using ADPBaseNode::isSafeName;

 private:
  std::string label_;
  std::vector<std::string>* log_;
};

TEST(BaseNode, DestroysChildrenFirstToLastAndTheirChildren) {
  std::vector<std::string> log;
  {
    ProbeNode root("root", &log);
    auto first = std::make_unique<ProbeNode>("first", &log);
    first->children.push_back(std::make_unique<ProbeNode>("first.child", &log));
    root.children.push_back(std::move(first));
    root.children.push_back(std::make_unique<ProbeNode>("second", &log));
  }
  EXPECT_EQ(log, (std::vector<std::string>{"root", "first", "first.child", "second"}));
}

TEST(BaseNode, OnlyPlainVariableNamesAreSafe) {
  adptest::Xml platform("<r/>");
  ProbeNode node;
  node.utf8 = true;
  for (const char* name : {"age", "#tmp", "x.y", "a_b$c@d",
                           "Stra\xc3\x9f"
                           "e",
                           "\xe5\x90\x8d\xe5\x89\x8d", "\xf0\x9d\x90\x80x"}) {
    EXPECT_TRUE(node.isSafeName(name)) << name;
  }
  for (const char* name :
       {"", "1abc", ".x", "x.", "a b", "a'b", "a\"b", "a\nb", "a-b", "a(b)", "a*b", "a/b",
        "a\xc2\xa0"
        "b",
        "a\xe2\x80\xa8"
        "b",
        "bad\xff", "a;b"}) {
    EXPECT_FALSE(node.isSafeName(name)) << name;
  }
}

// Derived fields: `option` "comments" asks for the comment lines.
std::string field(const std::string& name, const std::string& attributes,
                  const std::string& content) {
  return "<DerivedField name='" + name + "' " + attributes + ">" + content + "</DerivedField>";
}
const std::string kScale = "optype='continuous' dataType='double'";
void checkDerived(const std::vector<Case>& cases) {
  check<ADPDerivedNode>(
      cases, [](ADPDerivedNode& n, const std::string& o) { n.comments = o == "comments"; });
}

TEST(DerivedNode, WritesComputesLevelsAndComments) {
  const std::string times2 = call("*", var("income") + num("2"));
  checkDerived({
      {"operator", "", field("income_t", kScale, times2), 0, "\nCOMPUTE income_t = (income*2)."},
      {"operator with comment", "comments", field("income_t", kScale, times2), 0,
       "\n** Target - income_t , Inputs -  income.\nCOMPUTE income_t = (income*2)."},
      {"same input twice", "comments", field("d", kScale, call("+", var("a") + var("a"))), 0,
       "\n** Target - d , Inputs -  a.\nCOMPUTE d = (a+a)."},
      {"ordinal reference", "", field("age_grp", "optype='ordinal' dataType='integer'", var("age")),
       0, "\nCOMPUTE age_grp = age.\n\nVARIABLE LEVEL age_grp (ORDINAL). \n"},
      {"recast to scale", "", field("x_t", kScale, call("recast_to_scale", var("x"))), 0,
       "\nCOMPUTE x_t = x.\nVARIABLE LEVEL x_t (SCALE)."},
      {"helper recast gets no level", "", field("#r", kScale, call("recast_to_scale", var("x"))),
       0, "\nCOMPUTE #r = x."},
      {"nominal string constant", "",
       field("s", "optype='categorical' dataType='string' length='2'", str("abc")), 0,
       "\nSTRING s(A3).\nCOMPUTE s = 'abc'.\nVARIABLE LEVEL s (NOMINAL). \n"},
      {"values and extensions before the expression", "",
       field("v", kScale, adptest::role("enable") + "<Value value='1'/>" + var("a")), 0,
       "\nCOMPUTE v = a.\n"},
      {"if stands for its first element", "",
       field("i", kScale, call("if", call("-", var("a") + var("b")) + var("ignored"))), 0,
       "\nCOMPUTE i = (a-b)."},
      {"reorder keeps its bare rendering", "", field("r", kScale, call("reorder", var("a"))), 0,
       "\nCOMPUTE r = a."},
      {"date parameter for a function", "",
       field("days", kScale,
             "<Extension><Action stepKey='DateAndTimeFeatures' parameter='1/1/2000'/></Extension>" +
                 call("date_days_difference",
                       var("d") + "<Constant dataType='date'>today</Constant>")),
       0, "\nCOMPUTE days = (d-DATE.MDY(1,1,2000))/time.days(1)."},
      {"no date parameter for an operator", "",
       field("o", kScale,
             "<Extension><Action stepKey='DateAndTimeFeatures' parameter='1/1/2000'/></Extension>" +
                 call("-", var("d") + "<Constant dataType='date'>today</Constant>")),
       8, "X.DerivedField(o).Apply(-).Constant(today)[mm/dd/yyyy]"},
  });
}

TEST(DerivedNode, WritesRecodesNormalisationsAndOutlierBlocks) {
  const std::string colours =
      "<MapValues outputColumn='to'><FieldColumnPair field='region' column='from' "
      "dataType='string'/><InlineTable><row><from>N</from><to>North</to></row>"
      "<row><from>S</from><to>South</to></row></InlineTable></MapValues>";
  const std::string fragment = "region ('N' = 'North') ('S' = 'South') (ELSE='') ";
  const std::string outlier = call(
      "outlierHandle", var("age") + str("asExtremeValues") + num("40") + num("12") + num("3"));
  const std::string block =
      "\nCOMPUTE age_o = $SYSMIS.\nDO IF (age < 40-12*3).\nCOMPUTE age_o = 40-12*3.\n"
      "ELSE IF (age > 40+12*3).\nCOMPUTE age_o = 40+12*3.\nELSE.\nCOMPUTE age_o = age.\nEND IF.";
  checkDerived({
      // 29 characters precede the fragment: a fragment over 21 characters moves INTO down.
      {"mapping", "",
       field("region_t", "optype='categorical' dataType='string' length='8'", colours), 0,
       "\nSTRING region_t(A8).\nRECODE " + fragment +
           "\n  INTO region_t.\nVARIABLE LEVEL region_t (NOMINAL). \n"},
      {"short mapping keeps INTO on its line", "",
       field("k", kScale, "<MapValues><FieldColumnPair field='a'/></MapValues>"), 0,
       "\nRECODE a (ELSE=SYSMIS) INTO k."},
      {"string mapping widens to its outputs", "",
       field("r", "dataType='string' length='1'", colours), 0,
       "\nSTRING r(A5).\nRECODE " + fragment + "\n  INTO r."},
      {"the missing value counts, the key does not", "",
       field("r", "dataType='string' length='1'",
             "<MapValues outputColumn='b' mapMissingTo='abcd'><FieldColumnPair field='n' "
             "dataType='string'/><InlineTable><row><a>a very long input</a><b>ab</b></row>"
             "</InlineTable></MapValues>"),
       0,
       "\nSTRING r(A4).\nRECODE n ('a very long input' = 'ab') (MISSING='abcd') (ELSE='') "
       "\n  INTO r."},
      {"normalisation with comments", "comments",
       field("age_t", kScale,
             "<NormContinuous field='age' outliers='asExtremeValues'><LinearNorm orig='18' "
             "norm='0'/><LinearNorm orig='90' norm='1'/></NormContinuous>"),
       0,
       "\nRECODE age (18 THRU 90 = Copy) (LOWEST THRU 18 = 18) (90 THRU HIGHEST = 90)\n  INTO "
       "age_t.\n** Targe - age_t , Input - age_t 18 90 0 1 .\n"
       "COMPUTE age_t = 0 + (age_t-18)*(1-0)/(90-18)."},
      {"short normalisation runs into INTO", "",
       field("x", kScale,
             "<NormContinuous field='a' outliers='asMissingValues'><LinearNorm orig='0' "
             "norm='0'/><LinearNorm orig='1' norm='1'/></NormContinuous>"),
       0, "\nRECODE a (0 THRU 1 = Copy)(ELSE = SYSMIS)INTO x.\nCOMPUTE x = 0 + (x-0)*(1-0)/(1-0)."},
      {"outlier block replaces declaration and comment", "comments",
       field("age_o", "optype='continuous' dataType='string' length='4'", outlier), 0, block},
      {"outlier block keeps the level", "",
       field("age_o", "optype='ordinal' dataType='double'", outlier), 0,
       block + "\nVARIABLE LEVEL age_o (ORDINAL). \n"},
  });
}

TEST(DerivedNode, DeclaresAStringWideEnoughForEveryLiteral) {
  // The largest of the length the root found, the longest literal and 1.
  const std::string s = "dataType='string' length=";
  checkDerived({
      {"length longer than the literal", "", field("s", s + "'9'", str("N")), 0,
       "\nSTRING s(A9).\nCOMPUTE s = 'N'."},
      {"zero length, no literal", "", field("s", s + "'0'", var("t")), 0,
       "\nSTRING s(A1).\nCOMPUTE s = t.\n"},
      {"literal inside a function", "",
       field("s", s + "'2'", call("concat", var("t") + str("abcd"))), 0,
       "\nSTRING s(A4).\nCOMPUTE s = CONCAT(t,'abcd')."},
      {"doubled apostrophe counts once", "", field("s", s + "'0'", str("a'b")), 0,
       "\nSTRING s(A3).\nCOMPUTE s = 'a''b'."},
  });
}

TEST(DerivedNode, ReportsFailuresAndKeepsNoChildren) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"<DerivedField>" + var("a") + "</DerivedField>", "X.DerivedField.DerivedField"},
      {field("a b", kScale, var("a")),
       "X.DerivedField.DerivedField(a b){Not a valid variable name.}"},
      {field("t", kScale, ""), "X.DerivedField(t)"},
      {field("t", kScale, "<Apply function='if'/>"),
       "X.DerivedField(t).Apply{Function name is empty.}"},
      {field("t", kScale, "<Apply function='if'><!--c--></Apply>"),
       "X.DerivedField(t).Apply(if){No element inside if.}"},
      {field("t", kScale, adptest::role("enable") + "<Value value='1'/>"),
       "X.DerivedField(t)[Apply,MapValues,NormContinuous,Discretize]"},
      {field("t", kScale, "<TextIndex/>"),
       "X.DerivedField(t).TextIndex[Apply,MapValues,NormContinuous,Discretize]"},
      // A function outside the table would be written as its bare arguments.
      {field("t", kScale, call("median", var("x"))), "X.DerivedField(t).Apply(median)"},
      {field("t", kScale, call("if", call("median", var("a") + var("b")))),
       "X.DerivedField(t).Apply(median)"},
      {field("t", kScale, "<MapValues outputColumn='o'/>"), "X.DerivedField(t).MapValues"},
      {field("t", kScale, "<Discretize/>"), "X.DerivedField(t).Discretize.FieldRef"},
      {field("t", kScale, "<NormContinuous field='a'/>"), "X.DerivedField(t).NormContinuous"},
      {field("t", kScale, call("outlierHandle", var("a"))),
       "X.DerivedField(t).Apply(outlierHandle)[Constant]"},
      {field("t", kScale, call("+", var("a"))),
       "X.DerivedField(t).Apply(+){Expression must have two arguments.}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    Parsed<ADPDerivedNode> p(c.first);
    EXPECT_NE(p.code, 0);
    EXPECT_EQ(p.path, c.second);
    EXPECT_TRUE(p.node.children.empty());
  }
}

TEST(DerivedNode, UniqueJoinKeepsFirstOccurrences) {
  const std::pair<const char*, const char*> cases[] = {
      {" a b a", " a b"}, {"", ""}, {" ", ""}, {"a  b", " a  b"}, {" x y x y", " x y"}};
  for (const auto& c : cases) EXPECT_EQ(ADPDerivedNode::uniqueJoin(c.first, " "), c.second);
}

TEST(ExpressionNode, WritesEachOperator) {
  const std::pair<const char*, const char*> operators[] = {{"+", "+"},
                                                           {"-", "-"},
                                                           {"*", "*"},
                                                           {"/", "/"},
                                                           {"pow", "**"},
                                                           {"power", "**"},
                                                           {"and", "&"},
                                                           {"or", "|"},
                                                           {"equal", "="},
                                                           {"notEqual", "~="},
                                                           {"lessThan", "<"},
                                                           {"greaterThan", ">"},
                                                           {"lessOrEqual", "<="},
                                                           {"greaterOrEqual", ">="}};
  for (const auto& o : operators) {
    Parsed<ADPExpressionNode> p(call(o.first, var("a") + var("b")));
    EXPECT_EQ(p.node.toSyntax(), std::string("(a") + o.second + "b)") << o.first;
  }
}

TEST(ExpressionNode, WritesOperandsAndFailures) {
  const std::string a = var("a"), b = var("b");
  check<ADPExpressionNode>({
      {"negative right operand", "", call("*", var("age") + num("-1")), 0, "(age*(-1))"},
      {"negative left operand", "", call("-", num("-3") + num("-3")), 0, "(-3-(-3))"},
      {"nested", "", call("+", call("*", a + b) + var("c")), 0, "((a*b)+c)"},
      {"text and comments skipped", "", call("/", a + "<!-- c -->text" + b), 0, "(a/b)"},
      {"string operand", "", call("+", a + str("it's")), 0, "(a+'it''s')"},
      {"if is its first element", "", call("+", call("if", call("-", a + b) + var("z")) + b), 0,
       "((a-b)+b)"},
      {"function operand", "", call("+", call("round", a) + b), 0, "(RND(a)+b)"},
      // A recast over an expression is its bare expression, kept together.
      {"recast over an expression", "",
       call("*", call("recast_to_scale", call("+", a + b)) + num("2")), 0, "((a+b)*2)"},
      {"recast over a field", "", call("*", call("recast_to_scale", a) + num("2")), 0, "(a*2)"},
      {"empty function", "", "<Apply>" + a + b + "</Apply>", 7, "X.Apply"},
      {"not an operator", "", call("round", a), 3, "X.Apply(round)"},
      {"no child nodes", "", call("+", ""), 10, "X.Apply(+)"},
      {"one operand", "", call("+", a), 9, "X.Apply(+){Expression must have two arguments.}"},
      {"three operands", "", call("+", a + b + a), 9,
       "X.Apply(+){Expression must have two arguments.}"},
      {"other element", "", call("+", a + "<MapValues/>"), 6,
       "X.Apply(+).MapValues[Apply,FieldRef,Constant]"},
      {"nested without function", "", call("+", "<Apply>" + a + "</Apply>" + b), 7,
       "X.Apply(+).Apply"},
      {"nested unsupported", "", call("+", call("median", a) + b), 3, "X.Apply(+).Apply(median)"},
      {"nested reorder", "", call("+", call("reorder", a) + b), 3, "X.Apply(+).Apply(reorder)"},
      {"operand fails", "", call("+", a + "<FieldRef/>"), 7, "X.Apply(+).FieldRef"},
  });
}

TEST(FunctionNode, WritesCallsDifferencesAndFailures) {
  const std::string d12 = var("d1") + var("d2"), t12 = var("t1") + var("t2");
  check<ADPFunctionNode>({
      {"call", "", call("round", var("income")), 0, "RND(income)"},
      {"arguments", "", call("substr", var("s") + num("1") + num("3")), 0, "SUBSTR(s,1,3)"},
      {"operator argument", "", call("abs", call("-", var("a") + var("b"))), 0, "ABS(a-b)"},
      {"no argument", "", call("abs", ""), 0, "ABS()"},
      {"renamed", "", call("month-from-date", var("d")), 0, "XDATE.MONTH(d)"},
      {"renamed with arguments", "", call("avg", var("a") + var("b")), 0, "MEAN(a,b)"},
      {"bare recast", "", call("recast_to_ordinal", call("+", var("a") + var("b"))), 0, "a+b"},
      {"bare reorder", "", call("reorder", var("a") + var("b")), 0, "a,b"},
      {"years", "", call("date_years_difference", d12), 0, "(d1-d2)/(365.25 * time.days(1))"},
      {"months", "", call("date_months_difference", d12), 0, "(d1-d2)/(30.4375 * time.days(1))"},
      {"days", "", call("date_days_difference", d12), 0, "(d1-d2)/time.days(1)"},
      {"hours", "", call("time_hours_difference", t12), 0, "(t1-t2)/TIME.HMS(1)"},
      {"minutes", "", call("time_minutes_difference", t12), 0, "(t1-t2)/TIME.HMS(0,1)"},
      {"seconds", "", call("time_seconds_difference", t12), 0, "(t1-t2)"},
      // The subtrahend keeps its parentheses: t1 - (t2 + 60), not t1 - t2 + 60.
      {"compound subtrahend", "",
       call("time_seconds_difference", var("t1") + call("+", var("t2") + num("60"))), 0,
       "(t1-(t2+60))"},
      {"compound minuend", "",
       call("time_seconds_difference", call("+", var("t1") + num("5")) + var("t2")), 0,
       "(t1+5-t2)"},
      {"date constant", "",
       call("date_days_difference", var("d") + "<Constant dataType='date'>12/31/2020</Constant>"),
       0, "(d-DATE.MDY(12,31,2020))/time.days(1)"},
      {"parameter replaces a malformed date", "",
       "<Apply function='date_days_difference' parameter='1/1/2000'>" + var("d") +
           "<Constant dataType='date'>today</Constant></Apply>",
       0, "(d-DATE.MDY(1,1,2000))/time.days(1)"},
      {"nested function", "", call("abs", call("round", var("a"))), 7,
       "X.Apply(abs).Apply(round)"},
      {"other element", "", call("abs", "<Value value='1'/>"), 6,
       "X.Apply(abs).Value[FieldRef,Constant,Apply]"},
      {"argument fails", "", call("abs", "<FieldRef/>"), 7, "X.Apply(abs).FieldRef"},
  });
  Parsed<ADPFunctionNode> p(call("max", var("a") + num("1") + call("+", var("b") + var("a"))));
  EXPECT_EQ(p.node.getInputs(), " a  b a");
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
      {"worked example", "integer", mapValues(kPair + kColours), 0, body + "(ELSE=SYSMIS) "},
      {"missing value", "integer", mapValues(kPair + kColours, "mapMissingTo='0'"), 0,
       body + "(MISSING=0) (ELSE=SYSMIS) "},
      {"default value", "integer", mapValues(kPair + kColours, "defaultValue='0'"), 0,
       body + "(ELSE=0) "},
      {"else copy beats the default", "integer",
       mapValues(kElseCopy + kPair + kColours, "defaultValue='0'"), 0, body + "(ELSE=COPY) "},
      {"string outputs", "string",
       mapValues("<FieldColumnPair field='n'/>" + rows(row("1", "one")),
                 "mapMissingTo='?' defaultValue='x'"),
       0, "n (1 = 'one') (MISSING='?') (ELSE='x') "},
      {"open-ended bins", "integer",
       "<Discretize field='age'><DiscretizeBin binValue='1'><Interval rightMargin='18'/>"
       "</DiscretizeBin><DiscretizeBin binValue='2'><Interval leftMargin='18' rightMargin='65'/>"
       "</DiscretizeBin><DiscretizeBin binValue='3'><Interval leftMargin='65'/></DiscretizeBin>"
       "</Discretize>",
       0, "age (LOWEST THRU 18 = 1) (18 THRU 65 = 2) (65 THRU HIGHEST = 3) \n      (ELSE=SYSMIS) "},
      {"bins: missing and default", "integer",
       "<Discretize field='age' mapMissingTo='0' defaultValue='9'/>", 0,
       "age (MISSING=0) (ELSE=9) "},
      {"string bins", "string",
       "<Discretize field='age' dataType='integer'><DiscretizeBin binValue='young'>"
       "<Interval rightMargin='30'/></DiscretizeBin></Discretize>",
       0, "age (LOWEST THRU 30 = 'young') (ELSE='') "},
      {"quoted default", "string", mapValues(kPair, "defaultValue=\"it's 0) . HOST\""), 0,
       "colour (ELSE='it''s 0) . HOST') "},
  });
}

TEST(MappingNode, BreaksLinesOnlyPastEachLimit) {
  // Seven 19-character clauses: the fifth takes the buffer past 80.
  std::string seven, clauses;
  for (int i = 0; i < 7; ++i) {
    seven += row("abcdefghi" + std::to_string(i), "1");
    clauses += "('abcdefghi" + std::to_string(i) + "' = 1) ";
  }
  std::vector<Case> cases = {{"seven rows", "integer", mapValues(kPair + rows(seven)), 0,
                              "colour \n      " + clauses + "\n      (ELSE=SYSMIS) "}};
  // A clause of a 71-character key is 80 characters, of a 72-character key 81.
  for (std::size_t key : {71u, 72u}) {
    cases.push_back({"buffer limit", "integer",
                     mapValues("<FieldColumnPair field='k' dataType='string'/>" +
                               rows(row(std::string(key, 'a'), "1"))),
                     0,
                     "k " + std::string(key == 71 ? "" : "\n      ") + "('" +
                         std::string(key, 'a') + "' = 1) \n      (ELSE=SYSMIS) "});
  }
  // Name, blank and "(1 THRU 1 = 2) " are 60 characters for a 44-character name.
  for (std::size_t length : {44u, 45u}) {
    const std::string name(length, 'v');
    cases.push_back(
        {"result limit", "integer",
         "<Discretize field='" + name +
             "'><DiscretizeBin binValue='2'><Interval leftMargin='1' rightMargin='1'/>"
             "</DiscretizeBin></Discretize>",
         0, name + " (1 THRU 1 = 2) " + (length == 44 ? "" : "\n      ") + "(ELSE=SYSMIS) "});
  }
  checkMapping(cases);
}

TEST(MappingNode, ReportsFailuresWithTheirPaths) {
  checkMapping({
      {"no element child", "", mapValues("<!-- none -->"), 10, "X.MapValues"},
      {"pair missing", "", mapValues(kColours), 6, "X.MapValues.InlineTable[FieldColumnPair]"},
      // Nothing follows the extension: the check meets no element and reads no further.
      {"extension only", "", mapValues(kElseCopy), 6, "X.MapValues[FieldColumnPair]"},
      {"extension after the pair", "", mapValues(kPair + kElseCopy + kColours), 6,
       "X.MapValues.Extension[InlineTable]"},
      {"not a row", "", mapValues(kPair + rows("<Extension/>")), 6, "X.MapValues.Extension[row]"},
      {"row fails", "", mapValues(kPair + rows(row("red", ""))), 8,
       "X.MapValues.row.row{Value is empty}"},
      {"not a bin", "", "<Discretize field='a'><Interval/></Discretize>", 6,
       "X.Discretize.Interval[DiscretizeBin]"},
      {"other element", "", "<NormDiscrete field='a'/>", 6, "X.NormDiscrete[MapValues,Discretize]"},
      {"key over two lines", "integer", mapValues(kPair + rows(row("a'&#10;HOST", "1"))), 8,
       "X.MapValues.row.from(a'\nHOST){String holds a line break.}"},
      {"default not a number", "integer", mapValues(kPair, "defaultValue='0) . HOST'"), 8,
       "X.MapValues(defaultValue=0) . HOST){Not a number.}"},
      {"string default over two lines", "string", mapValues(kPair, "defaultValue='a&#13;HOST'"), 8,
       "X.MapValues(defaultValue=a\rHOST){String holds a line break.}"},
  });
}

// Normalisation.
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
      {"extreme values", "", norm("field='age' outliers='asExtremeValues'", age), 0,
       "age (18 THRU 90 = Copy) (LOWEST THRU 18 = 18) (90 THRU HIGHEST = 90)"},
      {"missing values", "", norm(missing, age), 0, "age (18 THRU 90 = Copy)(ELSE = SYSMIS)"},
      {"missing value only", "", norm("field='age' mapMissingTo='45'", age), 0,
       "age ( MISSING = 45 ) (18 THRU 90 = Copy)(ELSE = COPY)"},
      {"only elements count", "",
       norm(missing, "<!--a-->" + point("1", "0") + " t " + point("2", "1")), 0,
       "age (1 THRU 2 = Copy)(ELSE = SYSMIS)"},
      {"no treatment", "", norm("field='age'", age), 7, "X.NormContinuous"},
      {"as is", "", norm("field='age' outliers='asIs' mapMissingTo='1'", age), 3,
       "X.NormContinuous(asIs)[asExtremeValues,asMissingValues]"},
      {"no field", "", norm("outliers='asMissingValues'", age), 7, "X.NormContinuous{field}"},
      {"one point", "", norm(missing, point("1", "0")), 10, "X.NormContinuous(age){LinearNorm}"},
      {"not a point", "", norm(missing, point("1", "0") + "<Foo/>"), 6,
       "X.NormContinuous(age).Foo[LinearNorm]"},
      {"point without norm", "", norm(missing, point("1", "0") + "<LinearNorm orig='2'/>"), 7,
       "X.NormContinuous(age).LinearNorm"},
      {"three points", "", norm(missing, age + point("99", "99")), 9,
       "X.NormContinuous(age){Too many nodes}"},
      {"unsafe field", "", norm("field='a) . HOST' outliers='asMissingValues'", age), 7,
       "X.NormContinuous(a) . HOST){Not a valid variable name.}"},
      {"unsafe point", "", norm(missing, point("1", "0") + point("2", "1) . HOST")), 8,
       "X.NormContinuous(age).LinearNorm(norm=1) . HOST){Not a number.}"},
  });
}

// Outlier handling, writing into age_t.
std::string outlier(const std::string& content, const std::string& function = "outlierHandle") {
  return "<Apply function='" + function + "'>" + content + "</Apply>";
}
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
  const std::string wrongCount =
      "X.Apply(outlierHandle){The parameter number of outlierHandle is wrong.}";
  check<ADPOutlierNode>(
      {
          {"extreme values", "", outlier(extreme + params), 0, block("40-12*3", "40+12*3", true)},
          {"missing values", "", outlier(missing + params), 0, block("40-12*3", "40+12*3", false)},
          {"an untyped treatment is not read", "",
           outlier(var("age") + "<Constant>asExtremeValues</Constant>" + params), 0,
           block("40-12*3", "40+12*3", false)},
          {"field as fourth parameter", "", outlier(extreme + params + var("n")), 0,
           block("40-12*3/SQRT(n)", "40+12*3/SQRT(n)", true)},
          {"fourth parameter 1 adds nothing", "", outlier(extreme + params + num("1")), 0,
           block("40-12*3", "40+12*3", true)},
          {"fourth parameter 1.0 is written", "", outlier(missing + params + num("1.0")), 0,
           block("40-12*3/SQRT(1.0)", "40+12*3/SQRT(1.0)", false)},
          {"not an Apply", "", "<Constant>1</Constant>", 6, "X.Constant[Apply]"},
          {"another function", "", outlier(extreme + params, "median"), 3, "X.Apply(median)"},
          {"first is not a field", "", outlier(num("1") + params), 6,
           "X.Apply(outlierHandle).Constant[FieldRef]"},
          // Nothing follows the field: the check meets no element and reads no further.
          {"field only", "", outlier(var("age")), 6, "X.Apply(outlierHandle)[Constant]"},
          {"unknown treatment", "", outlier(var("age") + str("asIs") + params), 7,
           "X.Apply(outlierHandle).Constant(asIs)[asMissingValues,asExtremeValues]"},
          {"field as first parameter", "", outlier(extreme + var("n") + num("12") + num("3")), 6,
           "X.Apply(outlierHandle).FieldRef[Constant, FieldRef]"},
          {"parameter fails", "", outlier(extreme + num("40") + "<Constant/>" + num("3")), 10,
           "X.Apply(outlierHandle)"},
          {"two parameters", "", outlier(extreme + num("40") + num("12")), 9, wrongCount},
          {"five parameters", "", outlier(extreme + params + num("1") + num("2")), 9, wrongCount},
          {"unsafe centre", "", outlier(extreme + num("1). HOST") + num("12") + num("3")), 8,
           "X.Apply(outlierHandle).Constant(1). HOST){Not a number.}"},
      },
      [](ADPOutlierNode& n, const std::string&) { n.targetField().setName("age_t"); });
}

// RECODE clauses: `option` is "input/output" data types.
std::string bin(const std::string& value, const std::string& interval) {
  return "<DiscretizeBin binValue='" + value + "'>" + interval + "</DiscretizeBin>";
}
void checkTwoValues(const std::vector<Case>& cases) {
  check<ADPTwoValuesNode>(cases, [](ADPTwoValuesNode& n, const std::string& types) {
    const auto slash = types.find('/');
    n.setDataTypes(types.substr(0, slash),
                   slash == std::string::npos ? "" : types.substr(slash + 1));
  });
}

TEST(TwoValuesNode, WritesRowsBinsAndIntervals) {
  checkTwoValues({
      {"row, column names not read", "string/integer", "<row><a>blue</a><b>2</b></row>", 0,
       "'blue' = 2"},
      {"string output", "integer/string", row("1", "young"), 0, "1 = 'young'"},
      {"apostrophes doubled", "string/string", row("Men's", "Women's"), 0, "'Men''s' = 'Women''s'"},
      {"number laid out in its column", "", "<row><from> 3 </from><to>\n4\n</to></row>", 0,
       "3 = 4"},
      {"closure is not read", "", "<Interval closure='openOpen' leftMargin='1' rightMargin='2'/>",
       0, "1 THRU 2"},
      {"open below", "", "<Interval closure='openClosed' rightMargin='18'/>", 0, "LOWEST THRU 18"},
      {"open above", "", "<Interval closure='closedOpen' leftMargin='65'/>", 0, "65 THRU HIGHEST"},
      {"zero is a margin", "", "<Interval leftMargin='0' rightMargin='0'/>", 0, "0 THRU 0"},
      {"string bin", "/string", bin("young", "<Interval rightMargin='18'/>"), 0,
       "LOWEST THRU 18 = 'young'"},
      {"open ends of a date interval", "date", bin("1", "<Interval/>"), 0,
       "LOWEST THRU HIGHEST = 1"},
      {"only the first element of a bin", "",
       bin("3", "<Interval leftMargin='1' rightMargin='2'/><Foo/>"), 0, "1 THRU 2 = 3"},
  });
}

TEST(TwoValuesNode, RefusesMalformedValuesDatesAndTimes) {
  const std::string noRecode = "{A date or time cannot be a RECODE value.}";
  checkTwoValues({
      {"row with one column", "", "<row><from>1</from></row>", 10, "X.row.row"},
      {"empty output", "", row("1", ""), 8, "X.row.row{Value is empty}"},
      {"three columns", "", "<row><a>1</a><b>2</b><c>3</c></row>", 9, "X.row{More than two rows}"},
      {"bin without value", "", bin("", "<Interval/>"), 7, "X.DiscretizeBin"},
      {"bin without interval", "", bin("2", ""), 10, "X.DiscretizeBin(2)"},
      {"bin around something else", "", bin("2", "<Foo/>"), 6, "X.DiscretizeBin(2).Foo[Interval]"},
      {"other element", "", "<Foo/>", 6, "X.Foo.Foo[row,DiscretizeBin,Interval]"},
      {"row input not a number", "", row("1) . HOST", "1"), 8,
       "X.row.from(1) . HOST){Not a number.}"},
      // A RECODE clause takes no DATE.MDY or TIME.HMS call.
      {"date input", "date/integer", row("12/31/2020", "1"), 8,
       "X.row.from(12/31/2020)" + noRecode},
      {"date output", "integer/date", row("1", "12/31/2020"), 8, "X.row.to(12/31/2020)" + noRecode},
      {"date bin value", "/date", bin("1/2/2000", "<Interval/>"), 8,
       "X.DiscretizeBin(1/2/2000)" + noRecode},
      {"time margin", "time", "<Interval leftMargin='10:30:00'/>", 8,
       "X.Interval(leftMargin=10:30:00)" + noRecode},
  });
}

TEST(ValueNode, WritesLiteralsAndRefusesMalformedOrUnsafeText) {
  // `option` is the value the node holds before it reads the document.
  check<ADPValueNode>(
      {
          {"string", "", str("A"), 0, "'A'"},
          {"apostrophe doubled", "", str("Men's"), 0, "'Men''s'"},
          {"no data type", "", "<Constant>-2.5e3</Constant>", 0, "-2.5e3"},
          {"number laid out on lines", "", num("\n  .5\n"), 0, ".5"},
          {"date laid out on lines", "", "<Constant dataType='date'>\n 1/2/2003 </Constant>", 0,
           "DATE.MDY(1,2,2003)"},
          {"days since", "", "<Constant dataType='dateDaysSince[1970]'>1/2/2020</Constant>", 0,
           "DATE.MDY(1,2,2020)"},
          {"time seconds", "", "<Constant dataType='timeSeconds'>1:2:3</Constant>", 0,
           "TIME.HMS(1,2,3)"},
          {"malformed date gives way to preset", "1/2/2003",
           "<Constant dataType='date'>2020-12-31</Constant>", 0, "DATE.MDY(1,2,2003)"},
          {"malformed time gives way to preset", "10:30:15",
           "<Constant dataType='time'>1030</Constant>", 0, "TIME.HMS(10,30,15)"},
          {"well-formed text beats preset", "1/2/2003",
           "<Constant dataType='date'>3/4/2005</Constant>", 0, "DATE.MDY(3,4,2005)"},
          {"empty text", "", str(""), 10, "X"},
          {"date without two slashes", "", "<Constant dataType='date'>2020-12-31</Constant>", 8,
           "X.Constant(2020-12-31)[mm/dd/yyyy]"},
          {"time without two colons", "", "<Constant dataType='time'>10:30</Constant>", 8,
           "X.Constant(10:30)[hh:mm:ss]"},
          {"date with empty first piece", "", "<Constant dataType='date'>/12/2020</Constant>", 8,
           "X.Constant(/12/2020){Date is not numeric mm/dd/yyyy.}"},
          {"date carrying a command", "", "<Constant dataType='date'>1/2/2020). X. (1</Constant>",
           8, "X.Constant(1/2/2020). X. (1){Date is not numeric mm/dd/yyyy.}"},
          {"time carrying a command", "", "<Constant dataType='time'>1:2:3).X.(</Constant>", 8,
           "X.Constant(1:2:3).X.(){Time is not numeric hh:mm:ss.}"},
          {"word as a number", "", "<Constant dataType='integer'>abc</Constant>", 8,
           "X.Constant(abc){Not a number.}"},
          {"string with a line break", "", str("a&#10;b"), 8,
           "X.Constant(a\nb){String holds a line break.}"},
          {"string with a line separator", "", str("a&#x2028;b"), 8,
           "X.Constant(a\xe2\x80\xa8"
           "b){String holds a line break.}"},
      },
      [](ADPValueNode& n, const std::string& preset) { n.setValue(preset); });
}

TEST(ValueNode, CutsTheValuesOwnDotsFromThePathAsFarAsItCan) {
  // "2.5" holds a dot, so the first cut stops inside it and a second one follows.
  EXPECT_EQ(Parsed<ADPValueNode>(num("2.5")).path, "X");
  // Two cuts cannot take away more dots than one; the residue shows only in
  // the path of a later failure.
  Parsed<ADPValueNode> p(str("x'. HOST COMMAND='rm'. COMPUTE y='"));
  ASSERT_EQ(p.code, 0);
  EXPECT_EQ(p.node.toSyntax(), "'x''. HOST COMMAND=''rm''. COMPUTE y='''");
  EXPECT_EQ(p.path, "X.Constant(x'");
}

TEST(VariableNode, ReadsNamesAndDeclarations) {
  const std::string unsafe = "{Not a valid variable name.}";
  check<ADPVariableNode>({
      {"reference", "", var("age"), 0, "age"},
      {"discretize", "", "<Discretize field='income'/>", 0, "income"},
      {"column pair", "", "<FieldColumnPair field='#tmp' column='c'/>", 0, "#tmp"},
      {"string", "", "<DerivedField name='str_t' dataType='string' length='12'/>", 0,
       "\nSTRING str_t(A12)."},
      {"number", "", "<DerivedField name='x' dataType='double' length='12'/>", 0, ""},
      // A width is at least 1: "(A0)" is refused by the language.
      {"zero width", "", "<DerivedField name='s' dataType='string' length='0'/>", 0,
       "\nSTRING s(A1)."},
      {"no name", "", "<FieldRef/>", 7, "X.FieldRef"},
      {"empty name", "", "<Discretize field=''/>", 7, "X.FieldRef"},
      {"unnamed field", "", "<DerivedField optype='continuous'/>", 7, "X.DerivedField"},
      {"other element", "", "<Constant/>", 6,
       "X[FieldRef,Discretize,DerivedField,FieldColumnPair]"},
      {"blank", "", var("a b"), 7, "X.FieldRef(a b)" + unsafe},
      {"period and blank", "", var("x. HOST"), 7, "X.FieldRef(x. HOST)" + unsafe},
      {"apostrophe", "", "<FieldColumnPair field=\"a'b\"/>", 7, "X.FieldColumnPair(a'b)" + unsafe},
      {"line break", "", "<DerivedField name='t&#10;HOST'/>", 7,
       "X.DerivedField(t\nHOST)" + unsafe},
  });
}

}  // namespace
