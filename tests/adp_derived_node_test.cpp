// Derived fields: the commands of one field, expression choice, widths, failures.
#include "syntax/adp_derived_node.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/adp_support.h"

namespace {

using adptest::Parsed;

std::string field(const std::string& name, const std::string& attributes,
                  const std::string& content) {
  return "<DerivedField name='" + name + "' " + attributes + ">" + content + "</DerivedField>";
}
const std::string kScale = "optype='continuous' dataType='double'";
std::string ref(const std::string& name) { return "<FieldRef field='" + name + "'/>"; }
std::string str(const std::string& v) { return "<Constant dataType='string'>" + v + "</Constant>"; }

struct Rendered {
  const char* name;
  std::string xml;
  bool comments;
  std::string text;
};

void checkRendered(const Rendered& c) {
  SCOPED_TRACE(c.name);
  adptest::Xml xml(c.xml);
  ADPDerivedNode node;
  node.utf8 = true;
  node.comments = c.comments;
  std::string path = "X";
  ASSERT_EQ(node.parse(xml.root(), path), 0) << path;
  EXPECT_EQ(path, "X");
  EXPECT_EQ(node.toSyntax(), c.text);
}

TEST(DerivedNode, WritesTheWorkedExamples) {
  const std::string times2 =
      "<Apply function='*'>" + ref("income") + "<Constant dataType='double'>2</Constant></Apply>";
  const Rendered cases[] = {
      {"operator", field("income_t", kScale, times2), false, "\nCOMPUTE income_t = (income*2)."},
      {"operator with comment", field("income_t", kScale, times2), true,
       "\n** Target - income_t , Inputs -  income.\nCOMPUTE income_t = (income*2)."},
      {"ordinal reference", field("age_grp", "optype='ordinal' dataType='integer'", ref("age")),
       false, "\nCOMPUTE age_grp = age.\n\nVARIABLE LEVEL age_grp (ORDINAL). \n"},
      {"recast to scale",
       field("x_t", kScale, "<Apply function='recast_to_scale'>" + ref("x") + "</Apply>"), false,
       "\nCOMPUTE x_t = x.\nVARIABLE LEVEL x_t (SCALE)."},
      {"recast to ordinal on an ordinal field",
       field("x_o", "optype='ordinal' dataType='integer'",
             "<Apply function='recast_to_ordinal'>" + ref("x") + "</Apply>"),
       false, "\nCOMPUTE x_o = x.\nVARIABLE LEVEL x_o (ORDINAL)."},
      {"helper field",
       field("#tmp", "optype='categorical' dataType='integer'",
             "<Constant dataType='integer'>1</Constant>"),
       false, "\nCOMPUTE #tmp = 1."},
      {"helper recast gets no level",
       field("#r", kScale, "<Apply function='recast_to_scale'>" + ref("x") + "</Apply>"), false,
       "\nCOMPUTE #r = x."},
      {"nominal string constant",
       field("s", "optype='categorical' dataType='string' length='2'", str("abc")), false,
       "\nSTRING s(A3).\nCOMPUTE s = 'abc'.\nVARIABLE LEVEL s (NOMINAL). \n"},
      {"same input twice",
       field("d", kScale, "<Apply function='+'>" + ref("a") + ref("a") + "</Apply>"), true,
       "\n** Target - d , Inputs -  a.\nCOMPUTE d = (a+a)."},
      {"constant comment", field("k", kScale, "<Constant dataType='double'>4</Constant>"), true,
       "\n** Target - k , Inputs - .\nCOMPUTE k = 4."},
      {"values and extensions before the expression",
       field("v", kScale, adptest::role("enable") + "<Value value='1'/>" + ref("a")), false,
       "\nCOMPUTE v = a.\n"},
      {"if stands for its first element",
       field("i", kScale,
             "<Apply function='if'><Apply function='-'>" + ref("a") + ref("b") + "</Apply>" +
                 ref("ignored") + "</Apply>"),
       false, "\nCOMPUTE i = (a-b)."},
      {"reorder keeps its bare rendering",
       field("r", kScale, "<Apply function='reorder'>" + ref("a") + "</Apply>"), false,
       "\nCOMPUTE r = a."},
  };
  for (const auto& c : cases) checkRendered(c);
}

TEST(DerivedNode, WritesRecodesAndOutlierBlocks) {
  const std::string colours =
      "<MapValues outputColumn='to'><FieldColumnPair field='region' column='from' "
      "dataType='string'/><InlineTable><row><from>N</from><to>North</to></row>"
      "<row><from>S</from><to>South</to></row></InlineTable></MapValues>";
  const std::string fragment = "region ('N' = 'North') ('S' = 'South') (ELSE='') ";
  const std::string ageNorm =
      "<NormContinuous field='age' outliers='asExtremeValues'><LinearNorm orig='18' norm='0'/>"
      "<LinearNorm orig='90' norm='1'/></NormContinuous>";
  const std::string outlier =
      "<Apply function='outlierHandle'>" + ref("age") + str("asExtremeValues") +
      "<Constant dataType='double'>40</Constant><Constant dataType='double'>12</Constant>"
      "<Constant dataType='double'>3</Constant></Apply>";
  const std::string block =
      "\nCOMPUTE age_o = $SYSMIS.\nDO IF (age < 40-12*3).\nCOMPUTE age_o = 40-12*3.\n"
      "ELSE IF (age > 40+12*3).\nCOMPUTE age_o = 40+12*3.\nELSE.\nCOMPUTE age_o = age.\nEND IF.";
  const Rendered cases[] = {
      // 29 characters precede the fragment: a fragment over 21 characters moves INTO down.
      {"mapping", field("region_t", "optype='categorical' dataType='string' length='8'", colours),
       false,
       "\nSTRING region_t(A8).\nRECODE " + fragment +
           "\n  INTO region_t.\nVARIABLE LEVEL region_t (NOMINAL). \n"},
      {"mapping with comments gets none",
       field("region_t", "optype='continuous' dataType='string' length='8'", colours), true,
       "\nSTRING region_t(A8).\nRECODE " + fragment + "\n  INTO region_t."},
      {"short mapping keeps INTO on its line",
       field("k", kScale, "<MapValues><FieldColumnPair field='a'/></MapValues>"), false,
       "\nRECODE a (ELSE=SYSMIS) INTO k."},
      {"string mapping widens to its outputs", field("r", "dataType='string' length='1'", colours),
       false, "\nSTRING r(A5).\nRECODE " + fragment + "\n  INTO r."},
      {"normalisation", field("age_t", kScale, ageNorm), false,
       "\nRECODE age (18 THRU 90 = Copy) (LOWEST THRU 18 = 18) (90 THRU HIGHEST = 90)\n  INTO "
       "age_t.\nCOMPUTE age_t = 0 + (age_t-18)*(1-0)/(90-18)."},
      {"normalisation with comments", field("age_t", kScale, ageNorm), true,
       "\nRECODE age (18 THRU 90 = Copy) (LOWEST THRU 18 = 18) (90 THRU HIGHEST = 90)\n  INTO "
       "age_t.\n** Targe - age_t , Input - age_t 18 90 0 1 .\n"
       "COMPUTE age_t = 0 + (age_t-18)*(1-0)/(90-18)."},
      {"short normalisation runs into INTO",
       field("x", kScale,
             "<NormContinuous field='a' outliers='asMissingValues'><LinearNorm orig='0' "
             "norm='0'/><LinearNorm orig='1' norm='1'/></NormContinuous>"),
       false,
       "\nRECODE a (0 THRU 1 = Copy)(ELSE = SYSMIS)INTO x.\n"
       "COMPUTE x = 0 + (x-0)*(1-0)/(1-0)."},
      {"outlier block replaces everything",
       field("age_o", "optype='continuous' dataType='string' length='4'", outlier), true, block},
      {"outlier block keeps the level",
       field("age_o", "optype='ordinal' dataType='double'", outlier), false,
       block + "\nVARIABLE LEVEL age_o (ORDINAL). \n"},
      {"outlier inside if",
       field("age_o", kScale, "<Apply function='if'>" + outlier + ref("x") + "</Apply>"), false,
       block},
  };
  for (const auto& c : cases) checkRendered(c);
}

TEST(DerivedNode, DeclaresAStringWideEnoughForEveryLiteral) {
  // The width is the largest of the length the root found, the longest string
  // literal of the expression and 1.
  const Rendered cases[] = {
      {"literal longer than the length", field("s", "dataType='string' length='1'", str("North")),
       false, "\nSTRING s(A5).\nCOMPUTE s = 'North'."},
      {"length longer than the literal", field("s", "dataType='string' length='9'", str("N")),
       false, "\nSTRING s(A9).\nCOMPUTE s = 'N'."},
      {"zero length, no literal", field("s", "dataType='string' length='0'", ref("t")), false,
       "\nSTRING s(A1).\nCOMPUTE s = t.\n"},
      {"literal inside a function",
       field("s", "dataType='string' length='2'",
             "<Apply function='concat'>" + ref("t") + str("abcd") + "</Apply>"),
       false, "\nSTRING s(A4).\nCOMPUTE s = CONCAT(t,'abcd')."},
      {"doubled apostrophe counts once", field("s", "dataType='string' length='0'", str("a'b")),
       false, "\nSTRING s(A3).\nCOMPUTE s = 'a''b'."},
  };
  for (const auto& c : cases) checkRendered(c);
}

TEST(DerivedNode, PassesADateAndTimeParameterToAFunctionOnly) {
  const std::string step =
      "<Extension><Action stepKey='DateAndTimeFeatures' parameter='1/1/2000'/></Extension>";
  const std::string today = "<Constant dataType='date'>today</Constant>";
  checkRendered(
      {"function",
       field("days", kScale,
             step + "<Apply function='date_days_difference'>" + ref("d") + today + "</Apply>"),
       false, "\nCOMPUTE days = (d-DATE.MDY(1,1,2000))/time.days(1)."});

  Parsed<ADPDerivedNode> op(
      field("o", kScale, step + "<Apply function='-'>" + ref("d") + today + "</Apply>"));
  EXPECT_EQ(op.code, 8);
  EXPECT_EQ(op.path, "X.DerivedField(o).Apply(-).Constant(today)[mm/dd/yyyy]");
}

TEST(DerivedNode, ReportsFailuresWithTheirPaths) {
  struct Case {
    const char* name;
    std::string xml;
    int code;
    std::string path;
  };
  const Case cases[] = {
      {"no name", "<DerivedField>" + ref("a") + "</DerivedField>", 7,
       "X.DerivedField.DerivedField"},
      {"unsafe name", field("a b", kScale, ref("a")), 7,
       "X.DerivedField.DerivedField(a b){Not a valid variable name.}"},
      {"no child nodes", field("t", kScale, ""), 10, "X.DerivedField(t)"},
      {"empty function", field("t", kScale, "<Apply>" + ref("a") + "</Apply>"), 7,
       "X.DerivedField(t).Apply{Function name is empty.}"},
      {"childless if", field("t", kScale, "<Apply function='if'/>"), 7,
       "X.DerivedField(t).Apply{Function name is empty.}"},
      {"if without an element", field("t", kScale, "<Apply function='if'><!--c--></Apply>"), 10,
       "X.DerivedField(t).Apply(if){No element inside if.}"},
      {"only extensions and values",
       field("t", kScale, adptest::role("enable") + "<Value value='1'/>"), 6,
       "X.DerivedField(t)[Apply,MapValues,NormContinuous,Discretize]"},
      {"other element", field("t", kScale, "<TextIndex/>"), 6,
       "X.DerivedField(t).TextIndex[Apply,MapValues,NormContinuous,Discretize]"},
      // A function outside the table would be written as its bare arguments.
      {"unknown function", field("t", kScale, "<Apply function='median'>" + ref("x") + "</Apply>"),
       3, "X.DerivedField(t).Apply(median)"},
      {"unknown function inside if",
       field("t", kScale,
             "<Apply function='if'><Apply function='median'>" + ref("a") + ref("b") +
                 "</Apply></Apply>"),
       3, "X.DerivedField(t).Apply(median)"},
      {"mapping fails", field("t", kScale, "<MapValues outputColumn='o'/>"), 10,
       "X.DerivedField(t).MapValues"},
      {"discretize fails", field("t", kScale, "<Discretize/>"), 7,
       "X.DerivedField(t).Discretize.FieldRef"},
      {"normalisation fails", field("t", kScale, "<NormContinuous field='a'/>"), 7,
       "X.DerivedField(t).NormContinuous"},
      {"outliers fail",
       field("t", kScale, "<Apply function='outlierHandle'>" + ref("a") + "</Apply>"), 6,
       "X.DerivedField(t).Apply(outlierHandle)[Constant]"},
      {"expression fails", field("t", kScale, "<Apply function='+'>" + ref("a") + "</Apply>"), 9,
       "X.DerivedField(t).Apply(+){Expression must have two arguments.}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Parsed<ADPDerivedNode> p(c.xml);
    EXPECT_EQ(p.code, c.code);
    EXPECT_EQ(p.path, c.path);
    EXPECT_TRUE(p.node.children.empty());
  }
}

TEST(DerivedNode, UniqueJoinKeepsFirstOccurrences) {
  const std::pair<const char*, const char*> cases[] = {
      {" a b a", " a b"}, {"a a", " a"},        {"", ""}, {" ", ""}, {"a ", " a"},
      {"a  b", " a  b"},  {" x y x y", " x y"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(ADPDerivedNode::uniqueJoin(c.first, " "), c.second);
  }
}

}  // namespace
