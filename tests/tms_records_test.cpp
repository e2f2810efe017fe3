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
  // name/displayName/dataType/optype of every record.
  static std::string show(const std::vector<TmsEndInfo>& vars) {
    std::string out;
    for (const auto& v : vars) {
      out += v.name + "/" + v.displayName + "/" + v.dataType + "/" + v.optype + " ";
    }
    return out;
  }
  Reporter reporter_;  // first: it keeps the platform alive for the parser
  pmmlxform::HardenedDOMParser parser_;
};

TEST_F(TmsRecords, VarsInfoReportsDerivedAndDataFieldsInDocumentOrder) {
  // Prefixed or differently spelt elements are not fields.
  DOMElement* dictionary = parse(
      "<TransformationDictionary><DefineFunction name='f' optype='continuous'/>"
      "<DerivedField name='band' displayName='Income band' dataType='string' optype='categorical'>"
      "<Discretize field='income'/></DerivedField><!-- a comment --><Extension name='x'/>"
      "<p:DataField xmlns:p='urn:p' name='prefixed'/><derivedField name='lower case'/>"
      "<DataField name='age' dataType='double'/></TransformationDictionary>");
  std::vector<TmsEndInfo> vars;
  EXPECT_TRUE(reporter_.getVarsInfo(dictionary, vars));
  // Every member is rewritten for every element: nothing carries over.
  EXPECT_EQ(show(vars), "band/Income band/string/categorical age//double/ ");
  // Records are appended, never de-duplicated.
  EXPECT_TRUE(reporter_.getVarsInfo(dictionary, vars));
  EXPECT_EQ(show(vars),
            "band/Income band/string/categorical age//double/ "
            "band/Income band/string/categorical age//double/ ");
  EXPECT_TRUE(reporter_.getVarsInfo(nullptr, vars));
  EXPECT_EQ(vars.size(), 4u);
}

TEST_F(TmsRecords, NamesComeBackInUtf8AndTypesInTheLocalCodePage) {
  DOMElement* dictionary = parse(
      "<DataDictionary><DataField name='gr\303\266\303\237e' "
      "displayName='\303\234bersicht' dataType='d\303\251' "
      "optype='\342\202\254'/></DataDictionary>");
  const struct {
    const char* locale;
    const char* expected;
  } cases[] = {
      {"C", "gr\303\266\303\237e/\303\234bersicht/d?/? "},
      {"en_US.ISO-8859-1", "gr\303\266\303\237e/\303\234bersicht/d\351/? "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    testutil::ScopedLocale locale(c.locale);
    if (!locale.ok() && std::string(c.locale) != "C") continue;  // no 8-bit locale here
    std::vector<TmsEndInfo> vars;
    reporter_.getVarsInfo(dictionary, vars);
    EXPECT_EQ(show(vars), c.expected);
  }
}

TEST_F(TmsRecords, MiningInfoAppendsAndDefaultsTheUsageToActive) {
  DOMElement* schema = parse(
      "<MiningSchema><MiningField name='a'/><MiningField name='b' usageType=''/>"
      "<MiningField name='c' usageType='predicted'/><Extension name='d'/>"
      "<MiningField name='\xC3\xA9t\xC3\xA9' usageType='supplementary'/><MiningField/>"
      "</MiningSchema>");
  std::vector<TmsMiningFieldInfo> fields{{"earlier", "active"}};
  EXPECT_TRUE(reporter_.getMiningInfo(schema, fields));
  EXPECT_TRUE(reporter_.getMiningInfo(nullptr, fields));
  std::string got;
  for (const auto& f : fields) got += f.name + "/" + f.usageType + " ";
  EXPECT_EQ(
      got, "earlier/active a/active b/active c/predicted \xC3\xA9t\xC3\xA9/supplementary /active ");
}

}  // namespace
