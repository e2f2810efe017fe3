// Normalisation: the clipping RECODE body, the rescaling COMPUTE, failures.
#include "syntax/adp_norm_node.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/adp_support.h"

namespace {

using adptest::expectFailures;
using adptest::Parsed;

std::string norm(const std::string& attributes, const std::string& points) {
  return "<NormContinuous " + attributes + ">" + points + "</NormContinuous>";
}
std::string point(const std::string& orig, const std::string& normValue) {
  return "<LinearNorm orig='" + orig + "' norm='" + normValue + "'/>";
}
const std::string kAgePoints = point("18", "18") + point("90", "90");

TEST(NormNode, ClipsToNearerBreakPoint) {
  const std::pair<std::string, std::string> cases[] = {
      {norm("field='age' outliers='asExtremeValues'", kAgePoints),
       "age (18 THRU 90 = Copy) (LOWEST THRU 18 = 18) (90 THRU HIGHEST = 90)"},
      {norm("field='age' outliers='asMissingValues'", kAgePoints),
       "age (18 THRU 90 = Copy)(ELSE = SYSMIS)"},
      {norm("field='age' mapMissingTo='45'", kAgePoints),
       "age ( MISSING = 45 ) (18 THRU 90 = Copy)(ELSE = COPY)"},
      {norm("field='age' outliers='asMissingValues' mapMissingTo='45'", kAgePoints),
       "age ( MISSING = 45 ) (18 THRU 90 = Copy)(ELSE = SYSMIS)"},
      // The points are written in the order given; their norms do not show here.
      {norm("field='age' outliers='asMissingValues'", point("90", "1") + point("18", "0")),
       "age (90 THRU 18 = Copy)(ELSE = SYSMIS)"},
      // Only element children count.
      {norm("field='age' outliers='asMissingValues'",
            "<!--a-->" + point("1", "0") + " text " + point("2", "1") + "<!--b-->"),
       "age (1 THRU 2 = Copy)(ELSE = SYSMIS)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    Parsed<ADPNormNode> p(c.first);
    ASSERT_EQ(p.code, 0) << p.path;
    EXPECT_EQ(p.path, "X");
    EXPECT_EQ(p.node.toSyntax(), c.second);
  }
}

TEST(NormNode, RescalesFromTheOrigToTheNormValues) {
  Parsed<ADPNormNode> p(
      norm("field='age' outliers='asExtremeValues'", point("18", "0") + point("90", "1")));
  ASSERT_EQ(p.code, 0);
  EXPECT_EQ(p.node.toComputeSyntax("age_t"), "COMPUTE age_t = 0 + (age_t-18)*(1-0)/(90-18).");
  p.node.comments = true;
  EXPECT_EQ(p.node.toComputeSyntax("age_t"),
            "** Targe - age_t , Input - age_t 18 90 0 1 .\n"
            "COMPUTE age_t = 0 + (age_t-18)*(1-0)/(90-18).");
}

TEST(NormNode, WritesNothingWithoutBothPoints) {
  Parsed<ADPNormNode> p(norm("field='age' outliers='asMissingValues'", point("1", "0")));
  EXPECT_EQ(p.code, 10);
  EXPECT_EQ(p.node.toSyntax(), "");
}

TEST(NormNode, RejectsSingleLinearNorm) {
  expectFailures<ADPNormNode>({
      {"no treatment", norm("field='age'", kAgePoints), 7, "X.NormContinuous"},
      {"as is", norm("field='age' outliers='asIs' mapMissingTo='1'", kAgePoints), 3,
       "X.NormContinuous(asIs)[asExtremeValues,asMissingValues]"},
      {"no field", norm("outliers='asMissingValues'", kAgePoints), 7, "X.NormContinuous{field}"},
      {"no point", norm("field='age' outliers='asMissingValues'", ""), 10,
       "X.NormContinuous(age){LinearNorm}"},
      {"one point", norm("field='age' outliers='asMissingValues'", point("1", "0")), 10,
       "X.NormContinuous(age){LinearNorm}"},
      {"first is not a point", norm("field='age' outliers='asMissingValues'", "<Foo/>"), 6,
       "X.NormContinuous(age).Foo[LinearNorm]"},
      {"second is not a point",
       norm("field='age' outliers='asMissingValues'", point("1", "0") + "<Foo/>"), 6,
       "X.NormContinuous(age).Foo[LinearNorm]"},
      {"point without orig",
       norm("field='age' outliers='asMissingValues'", "<LinearNorm norm='0'/>" + point("2", "1")),
       7, "X.NormContinuous(age).LinearNorm"},
      {"point without norm",
       norm("field='age' outliers='asMissingValues'", point("1", "0") + "<LinearNorm orig='2'/>"),
       7, "X.NormContinuous(age).LinearNorm"},
      {"three points",
       norm("field='age' outliers='asMissingValues'", kAgePoints + point("99", "99")), 9,
       "X.NormContinuous(age){Too many nodes}"},
  });
}

TEST(NormNode, RefusesValuesThatCannotBeWrittenSafely) {
  const std::string host = "1) . HOST COMMAND";
  expectFailures<ADPNormNode>({
      {"field", norm("field='a) . HOST' outliers='asMissingValues'", kAgePoints), 7,
       "X.NormContinuous(a) . HOST){Not a valid variable name.}"},
      {"missing value", norm("field='age' mapMissingTo='" + host + "'", kAgePoints), 8,
       "X.NormContinuous(mapMissingTo=" + host + "){Not a number.}"},
      {"lower orig",
       norm("field='age' outliers='asMissingValues'", point(host, "0") + point("2", "1")), 8,
       "X.NormContinuous(age).LinearNorm(orig=" + host + "){Not a number.}"},
      {"lower norm",
       norm("field='age' outliers='asMissingValues'", point("1", host) + point("2", "1")), 8,
       "X.NormContinuous(age).LinearNorm(norm=" + host + "){Not a number.}"},
      {"upper orig",
       norm("field='age' outliers='asMissingValues'", point("1", "0") + point(host, "1")), 8,
       "X.NormContinuous(age).LinearNorm(orig=" + host + "){Not a number.}"},
      {"upper norm",
       norm("field='age' outliers='asMissingValues'", point("1", "0") + point("2", host)), 8,
       "X.NormContinuous(age).LinearNorm(norm=" + host + "){Not a number.}"},
  });
}

}  // namespace
