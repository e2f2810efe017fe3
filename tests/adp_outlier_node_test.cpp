// The outlierHandle node: the cut-off block, and the arguments it refuses.
#include "syntax/adp_outlier_node.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/adp_support.h"

namespace {

using adptest::check;
using adptest::num;
using adptest::str;
using adptest::var;

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
  check<ADPOutlierNode>(
      {
          {"an untyped treatment is not read",
           outlier(var("age") + "<Constant>asExtremeValues</Constant>" + params), 0,
           block("40-12*3", "40+12*3", false)},
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

}  // namespace
