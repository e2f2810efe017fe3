// Filling the variable and mining-field records from produced documents.
#include <gtest/gtest.h>
#include <pmmlxform/convert_trans_to_pmml.h>
#include <pmmlxform/tms_records.h>

#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "tests/test_util.h"
#include "trans/xml_parser.h"

namespace {

using pmmlxform::HardenedDOMParser;
using xercesc::DOMElement;

class Reporter : public ConvertTransToPMML {
 public:
  using ConvertTransToPMML::getMiningInfo;
  using ConvertTransToPMML::getVarsInfo;
};

class TmsRecords : public ::testing::Test {
 protected:
  DOMElement* parse(const std::string& xml) {
    EXPECT_EQ(parser_.parseText(xml), 0u);
    return parser_.getDocument()->getDocumentElement();
  }
  Reporter reporter_;  // first: it keeps the platform alive for the parser
  HardenedDOMParser parser_;
};

TEST_F(TmsRecords, VarsInfoReportsDerivedAndDataFieldsInDocumentOrder) {
  DOMElement* dictionary = parse(
      "<TransformationDictionary>\n"
      "  <DefineFunction name=\"f\" optype=\"continuous\"/>\n"
      "  <DerivedField name=\"band\" displayName=\"Income band\" dataType=\"string\""
      " optype=\"categorical\"><Discretize field=\"income\"/></DerivedField>\n"
      "  <!-- a comment -->\n"
      "  <Extension name=\"x\"/>\n"
      "  <p:DataField xmlns:p=\"urn:p\" name=\"prefixed\"/>\n"
      "  <derivedField name=\"lower case\"/>\n"
      "  <DataField name=\"age\" dataType=\"double\"/>\n"
      "</TransformationDictionary>");
  std::vector<TmsEndInfo> vars;
  EXPECT_TRUE(reporter_.getVarsInfo(dictionary, vars));
  ASSERT_EQ(vars.size(), 2u);
  EXPECT_EQ(vars[0].name, "band");
  EXPECT_EQ(vars[0].displayName, "Income band");
  EXPECT_EQ(vars[0].dataType, "string");
  EXPECT_EQ(vars[0].optype, "categorical");
  // Every member is rewritten for every element: nothing carries over.
  EXPECT_EQ(vars[1].name, "age");
  EXPECT_EQ(vars[1].displayName, "");
  EXPECT_EQ(vars[1].dataType, "double");
  EXPECT_EQ(vars[1].optype, "");

  // Records are appended, never de-duplicated.
  EXPECT_TRUE(reporter_.getVarsInfo(dictionary, vars));
  ASSERT_EQ(vars.size(), 4u);
  EXPECT_EQ(vars[2].name, "band");
  EXPECT_EQ(vars[3].name, "age");
}

TEST_F(TmsRecords, NamesComeBackInUtf8AndTypesInTheLocalCodePage) {
  testutil::ScopedLocale locale("C");
  ASSERT_TRUE(locale.ok());
  DOMElement* dictionary = parse(
      "<DataDictionary><DataField name=\"gr\xC3\xB6\xC3\x9F"
      "e\" displayName=\"\xC3\x9C"
      "bersicht\" dataType=\"d\xC3\xA9\" optype=\"\xE2\x82\xAC\"/></DataDictionary>");
  std::vector<TmsEndInfo> vars;
  reporter_.getVarsInfo(dictionary, vars);
  ASSERT_EQ(vars.size(), 1u);
  EXPECT_EQ(vars[0].name,
            "gr\xC3\xB6\xC3\x9F"
            "e");
  EXPECT_EQ(vars[0].displayName,
            "\xC3\x9C"
            "bersicht");
  EXPECT_EQ(vars[0].dataType, "d?");
  EXPECT_EQ(vars[0].optype, "?");

  testutil::ScopedLocale latin1("en_US.ISO-8859-1");
  if (!latin1.ok()) GTEST_SKIP() << "no ISO-8859-1 locale";
  vars.clear();
  reporter_.getVarsInfo(dictionary, vars);
  ASSERT_EQ(vars.size(), 1u);
  EXPECT_EQ(vars[0].name,
            "gr\xC3\xB6\xC3\x9F"
            "e");
  EXPECT_EQ(vars[0].dataType, "d\xE9");
  EXPECT_EQ(vars[0].optype, "?");
}

TEST_F(TmsRecords, MiningInfoDefaultsTheUsageToActive) {
  DOMElement* schema = parse(
      "<MiningSchema>\n"
      "  <MiningField name=\"a\"/>\n"
      "  <MiningField name=\"b\" usageType=\"\"/>\n"
      "  <MiningField name=\"c\" usageType=\"predicted\"/>\n"
      "  <Extension name=\"d\"/>\n"
      "  <MiningField name=\"\xC3\xA9t\xC3\xA9\" usageType=\"supplementary\"/>\n"
      "  <MiningField/>\n"
      "</MiningSchema>");
  std::vector<TmsMiningFieldInfo> fields{{"earlier", "active"}};
  EXPECT_TRUE(reporter_.getMiningInfo(schema, fields));
  struct Expected {
    const char* name;
    const char* usage;
  };
  const Expected expected[] = {{"earlier", "active"},
                               {"a", "active"},
                               {"b", "active"},
                               {"c", "predicted"},
                               {"\xC3\xA9t\xC3\xA9", "supplementary"},
                               {"", "active"}};
  ASSERT_EQ(fields.size(), std::size(expected));
  for (std::size_t i = 0; i < fields.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(fields[i].name, expected[i].name);
    EXPECT_EQ(fields[i].usageType, expected[i].usage);
  }
}

TEST_F(TmsRecords, NullParentsAddNothing) {
  std::vector<TmsEndInfo> vars;
  std::vector<TmsMiningFieldInfo> fields;
  EXPECT_TRUE(reporter_.getVarsInfo(nullptr, vars));
  EXPECT_TRUE(reporter_.getMiningInfo(nullptr, fields));
  EXPECT_TRUE(vars.empty());
  EXPECT_TRUE(fields.empty());
}

}  // namespace
