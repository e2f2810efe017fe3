// The NormContinuous node: the RECODE that clips to the break points, and the
// documents it refuses.
#include "syntax/adp_norm_node.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/adp_support.h"

namespace {

using adptest::check;

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

}  // namespace
