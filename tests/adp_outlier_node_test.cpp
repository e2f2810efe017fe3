// Outlier handling: the DO IF block, its cut-offs, the fourth parameter, failures.
#include "syntax/adp_outlier_node.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/adp_support.h"

namespace {

std::string ref(const std::string& name) { return "<FieldRef field='" + name + "'/>"; }
std::string number(const std::string& v) {
  return "<Constant dataType='double'>" + v + "</Constant>";
}
std::string treatment(const std::string& text, const std::string& type = "string") {
  return "<Constant dataType='" + type + "'>" + text + "</Constant>";
}
std::string outlier(const std::string& content, const std::string& function = "outlierHandle") {
  return "<Apply function='" + function + "'>" + content + "</Apply>";
}
const std::string kParameters = number("40") + number("12") + number("3");

// The block for age_t over age with the given cut-offs; `extreme` puts the
// cut-offs rather than $SYSMIS into the tails.
std::string block(const std::string& lower, const std::string& upper, bool extreme) {
  std::string text = "\nCOMPUTE age_t = $SYSMIS.\n";
  text += "DO IF (age < " + lower + ").\n";
  text += "COMPUTE age_t = " + (extreme ? lower : "$SYSMIS") + ".\n";
  text += "ELSE IF (age > " + upper + ").\n";
  text += "COMPUTE age_t = " + (extreme ? upper : "$SYSMIS") + ".\n";
  return text + "ELSE.\nCOMPUTE age_t = age.\nEND IF.";
}

struct Case {
  const char* name;
  std::string xml;
  int code;
  std::string pathOrText;  // the rendered text on success, the error path otherwise
};

void check(const Case& c) {
  SCOPED_TRACE(c.name);
  ADPOutlierNode node;
  node.targetField().setName("age_t");
  adptest::expectParsed(node, c.xml, c.code, c.pathOrText);
}

TEST(OutlierNode, WritesTheCutOffBlock) {
  const Case cases[] = {
      {"extreme values", outlier(ref("age") + treatment("asExtremeValues") + kParameters), 0,
       block("40-12*3", "40+12*3", true)},
      {"missing values", outlier(ref("age") + treatment("asMissingValues") + kParameters), 0,
       block("40-12*3", "40+12*3", false)},
      {"an untyped treatment is not read",
       outlier(ref("age") + treatment("asExtremeValues", "") + kParameters), 0,
       block("40-12*3", "40+12*3", false)},
      {"field as fourth parameter",
       outlier(ref("age") + treatment("asExtremeValues") + kParameters + ref("n")), 0,
       block("40-12*3/SQRT(n)", "40+12*3/SQRT(n)", true)},
      {"fourth parameter 1 adds nothing",
       outlier(ref("age") + treatment("asExtremeValues") + kParameters + number("1")), 0,
       block("40-12*3", "40+12*3", true)},
      {"fourth parameter 1.0 is written",
       outlier(ref("age") + treatment("asMissingValues") + kParameters + number("1.0")), 0,
       block("40-12*3/SQRT(1.0)", "40+12*3/SQRT(1.0)", false)},
      {"decimals and signs",
       outlier(ref("age") + treatment("asExtremeValues") + number("-4.5") + number("0.25") +
               number("2.5")),
       0, block("-4.5-0.25*2.5", "-4.5+0.25*2.5", true)},
  };
  for (const auto& c : cases) check(c);
}

TEST(OutlierNode, ReportsFailuresWithTheirPaths) {
  const std::string head = ref("age") + treatment("asExtremeValues");
  const Case cases[] = {
      {"not an Apply", "<Constant>1</Constant>", 6, "X.Constant[Apply]"},
      {"another function", outlier(head + kParameters, "median"), 3, "X.Apply(median)"},
      {"no element child", outlier("<!--none-->"), 10, "X.Apply(outlierHandle)"},
      {"first is not a field", outlier(number("1") + kParameters), 6,
       "X.Apply(outlierHandle).Constant[FieldRef]"},
      {"field without name", outlier(ref("") + kParameters), 7, "X.Apply(outlierHandle).FieldRef"},
      // Nothing follows the field: the check meets no element and reads no further.
      {"field only", outlier(ref("age")), 6, "X.Apply(outlierHandle)[Constant]"},
      {"second is not a constant", outlier(ref("age") + ref("b") + kParameters), 6,
       "X.Apply(outlierHandle).FieldRef[Constant]"},
      {"unknown treatment", outlier(ref("age") + treatment("asIs") + kParameters), 7,
       "X.Apply(outlierHandle).Constant(asIs)[asMissingValues,asExtremeValues]"},
      {"field as first parameter", outlier(head + ref("n") + number("12") + number("3")), 6,
       "X.Apply(outlierHandle).FieldRef[Constant, FieldRef]"},
      {"field as third parameter", outlier(head + number("40") + number("12") + ref("n")), 6,
       "X.Apply(outlierHandle).FieldRef[Constant, FieldRef]"},
      {"other parameter element", outlier(head + kParameters + "<Apply/>"), 6,
       "X.Apply(outlierHandle).Apply[Constant, FieldRef]"},
      {"parameter fails", outlier(head + number("40") + "<Constant/>" + number("3")), 10,
       "X.Apply(outlierHandle)"},
      {"two parameters", outlier(head + number("40") + number("12")), 9,
       "X.Apply(outlierHandle){The parameter number of outlierHandle is wrong.}"},
      {"five parameters", outlier(head + kParameters + number("1") + number("2")), 9,
       "X.Apply(outlierHandle){The parameter number of outlierHandle is wrong.}"},
  };
  for (const auto& c : cases) check(c);
}

TEST(OutlierNode, RefusesValuesThatCannotBeWrittenSafely) {
  const std::string host = "1). HOST COMMAND. COMPUTE x=(1";
  const std::string head = ref("age") + treatment("asExtremeValues");
  const Case cases[] = {
      {"input field", outlier(ref("age) . HOST") + treatment("asExtremeValues") + kParameters), 7,
       "X.Apply(outlierHandle).FieldRef(age) . HOST){Not a valid variable name.}"},
      {"centre", outlier(head + number(host) + number("12") + number("3")), 8,
       "X.Apply(outlierHandle).Constant(" + host + "){Not a number.}"},
      {"spread", outlier(head + number("40") + number(host) + number("3")), 8,
       "X.Apply(outlierHandle).Constant(" + host + "){Not a number.}"},
      {"factor", outlier(head + number("40") + number("12") + "<Constant>" + host + "</Constant>"),
       8, "X.Apply(outlierHandle).Constant(" + host + "){Not a number.}"},
      {"fourth constant", outlier(head + kParameters + number(host)), 8,
       "X.Apply(outlierHandle).Constant(" + host + "){Not a number.}"},
      {"fourth field", outlier(head + kParameters + ref("n) . HOST")), 7,
       "X.Apply(outlierHandle).FieldRef(n) . HOST){Not a valid variable name.}"},
  };
  for (const auto& c : cases) check(c);
}

}  // namespace
