// Moving value lists onto derived fields and rendering them as key texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_util.h"
#include "xml/writer.h"

namespace {

using testutil::attribute;
using testutil::Documents;
using testutil::Merger;
using testutil::outline;
using xercesc::DOMElement;

class ValueMerging : public ::testing::Test {
 protected:
  Merger merger_;
  Documents docs_;
};

TEST_F(ValueMerging, ClearValuesKeepsTheExpressionAndStringLengthOnly) {
  DOMElement* field = docs_.element(
      "<DerivedField name=\"d\"><Extension name=\"stringLength\" value=\"8\"/>"
      "<Extension name=\"MissingValues\"><Value value=\"9\"/></Extension>"
      "<Value value=\"1\"/><Discretize field=\"x\"/><Value value=\"2\"/></DerivedField>");
  EXPECT_TRUE(merger_.clearValues(field));
  EXPECT_EQ(outline(field), "DerivedField:d(Extension:stringLength Discretize)");
}

TEST_F(ValueMerging, CopyValuesPutsMissingFirstExtensionsReversedValidValuesLast) {
  DOMElement* source = docs_.element(
      "<DataField name=\"f\" optype=\"ordinal\">"
      "<Extension name=\"first\"/>"
      "<Value value=\"1\"/><Value value=\"9\" property=\"missing\"/>"
      "<Interval closure=\"closedOpen\" leftMargin=\"0\" rightMargin=\"5\"/>"
      "<Value value=\"2\" property=\"valid\"/>"
      "<Interval closure=\"closedClosed\" leftMargin=\"5\" rightMargin=\"9\"/>"
      "<Extension name=\"invalidRangeUpper\" value=\"99\"/>"
      "<Extension name=\"invalidRangeLower\" value=\"90\"/>"
      "<Extension name=\"invalidRangeLower\" value=\"-5\"/>"
      "<Value value=\"-1\" property=\"missing\"/>"
      "</DataField>");
  DOMElement* target = docs_.element(
      "<DerivedField name=\"f\" optype=\"continuous\" dataType=\"integer\">"
      "<Extension name=\"stringLength\"/><FieldRef field=\"raw\"/></DerivedField>");
  EXPECT_TRUE(merger_.copyValues(source, target));
  // Missing values first, the range from the lower to the upper bound; the
  // intervals reversed (the later one first); valid values last, in order.
  EXPECT_EQ(testutil::xmlText(target),
            "<DerivedField dataType=\"integer\" name=\"f\" optype=\"ordinal\">"
            "<Extension extender=\"pmmlxform\" name=\"MissingValues\">"
            "<Value property=\"missing\" value=\"9\"/>"
            "<Interval closure=\"closedClosed\" leftMargin=\"90\" rightMargin=\"99\"/>"
            "<Value property=\"missing\" value=\"-1\"/></Extension>"
            "<Extension extender=\"pmmlxform\" name=\"VariableInterval\">"
            "<Interval closure=\"closedClosed\" leftMargin=\"5\" rightMargin=\"9\"/></Extension>"
            "<Extension extender=\"pmmlxform\" name=\"VariableInterval\">"
            "<Interval closure=\"closedOpen\" leftMargin=\"0\" rightMargin=\"5\"/></Extension>"
            "<Extension name=\"first\"/><Extension name=\"stringLength\"/><FieldRef field=\"raw\"/>"
            "<Value value=\"1\"/><Value property=\"valid\" value=\"2\"/></DerivedField>");
}

// The derived field takes the model field's optype exactly as setting the
// attribute would leave it, also where it already holds that value.
TEST_F(ValueMerging, CopyValuesGivesTheModelsOptypeAsSettingItWould) {
  const std::string defaulted =
      "<!DOCTYPE DerivedField [<!ATTLIST DerivedField optype CDATA \"continuous\">]>";
  const struct {
    const char* name;
    std::string target;
  } cases[] = {
      {"no optype", "<DerivedField name=\"d\"/>"},
      {"the same optype", "<DerivedField optype=\"continuous\" name=\"d\"/>"},
      {"another optype", "<DerivedField optype=\"ordinal\" name=\"d\"/>"},
      {"a defaulted optype of the same value", defaulted + "<DerivedField name=\"d\"/>"},
      {"a defaulted optype given again", defaulted + "<DerivedField optype=\"continuous\"/>"},
  };
  for (const char* optype : {"continuous", ""}) {
    const std::string model = std::string("<DataField name=\"d\"") +
                              (*optype != 0 ? " optype=\"continuous\"" : "") + "/>";
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " from \"" + optype + "\"");
      DOMElement* copied = docs_.element(c.target);
      DOMElement* set = docs_.element(c.target);
      EXPECT_TRUE(merger_.copyValues(docs_.element(model), copied));
      set->setAttribute(u"optype", *optype != 0 ? u"continuous" : u"");
      EXPECT_EQ(testutil::xmlText(copied), testutil::xmlText(set));
    }
  }
}

TEST_F(ValueMerging, CopyValuesLeavesNoEmptyMissingValues) {
  DOMElement* source = docs_.element(
      "<DataField name=\"f\"><Extension name=\"invalidRangeLower\" value=\"1\"/>"
      "<Value value=\"a\"/></DataField>");
  DOMElement* target =
      docs_.element("<DerivedField name=\"f\" optype=\"x\"><FieldRef/></DerivedField>");
  EXPECT_TRUE(merger_.copyValues(source, target));
  EXPECT_EQ(outline(target), "DerivedField:f(FieldRef Value)");
  // An absent optype is copied as an empty one.
  EXPECT_EQ(attribute(target, "optype"), "");
  EXPECT_TRUE(target->hasAttribute(XMLText("optype").get()));
}

TEST_F(ValueMerging, ValueListKeysForMissingValuesIntervalsAndInvalidRanges) {
  const struct {
    const char* name;
    const char* field;
    std::vector<std::string> keys;
  } cases[] = {
      {"missing value in exponent form",
       "<DataField><Value value=\"-1.0E0\" property=\"missing\"/><Value value=\"3\"/></DataField>",
       {"MissingValue@value=-1"}},
      {"the vendor extension",
       "<DerivedField><Extension name=\"MissingValues\"><Value value=\"9\"/>"
       "<Interval closure=\"openClosed\" leftMargin=\"1.5E1\" rightMargin=\"2E1\"/>"
       "</Extension><Value value=\"7\"/><Interval leftMargin=\"0\"/></DerivedField>",
       {"MissingValue@value=9", "MissingValue@closure=openClosed@low=15@high=20"}},
      {"invalid range from two extensions",
       "<DataField><Extension name=\"invalidRangeUpper\" value=\"99\"/><Value value=\"1\"/>"
       "<Extension name=\"invalidRangeLower\" value=\"9.0E1\"/></DataField>",
       {"MissingValue@closure=closedClosed@low=90@high=99"}},
      {"empty MissingValues and valid values give nothing",
       "<DataField><Extension name=\"MissingValues\"/><Value value=\"1\"/></DataField>",
       {}},
      {"nested MissingValues end, and count as missing",
       "<DerivedField><Extension name=\"MissingValues\"><Value value=\"1\"/>"
       "<Extension name=\"MissingValues\"><Value value=\"2\"/>"
       "<Extension name=\"MissingValues\"><Value value=\"3\"/></Extension></Extension>"
       "<Value value=\"4\"/></Extension><Value value=\"5\"/></DerivedField>",
       {"MissingValue@value=1", "MissingValue@value=2", "MissingValue@value=3",
        "MissingValue@value=4"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> keys{"held"};  // appended to
    EXPECT_TRUE(merger_.getValueList(docs_.element(c.field), keys));
    keys.erase(keys.begin());
    EXPECT_EQ(keys, c.keys);
  }
}

TEST_F(ValueMerging, FormatNumberWritesExponentFormsAsPlainDecimals) {
  // A value below one is written "0.5", never ".5"; far beyond the double range
  // it is bounded, not expanded.
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      // clang-format off
      {"1.500000E+02", "150"}, {"-2.5E-3", "-0.0025"}, {"0.5E3", "500"},
      {"0.000000E+00", "0"}, {"1.79769313486231E+308", "HIGHEST"},
      {"-1.79769313486231E+308", "LOWEST"}, {"1.797693134862315E+308", "HIGHEST"},
      {"12.50", "12.50"}, {"+7", "+7"}, {"HIGHEST", "HIGHEST"}, {"100E2", "10000"}, {"E5", "0"},
      {"-0.0E0", "0"}, {"1.25e1", "12.5"}, {"0.0001E5", "10"}, {"0.05E0", "0.05"},
      {"5E-1", "0.5"}, {"123.456E-1", "12.3456"}, {"123E-5", "0.00123"},
      {"1.5E+3abc", "1500"}, {"1E+1001", "HIGHEST"}, {"-3.2E99999999999999999999", "LOWEST"},
      {"1E-1001", "0"}, {"-1E-5000", "0"}, {"0E+999999", "0"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(merger_.formatNumber(c.in), c.out);
  }
  // At the bound the text is still expanded in full.
  EXPECT_EQ(merger_.formatNumber("1E1000"), "1" + std::string(1000, '0'));
  EXPECT_EQ(merger_.formatNumber("1E-1000"), "0." + std::string(999, '0') + "1");
}

}  // namespace
