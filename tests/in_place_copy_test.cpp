// The merge that builds its result in the transformation's own document
// writes what the merge that copies the transformation writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_util.h"

namespace {

// A class derived from ConvertTransToPMML never takes the documents its call
// parsed (merge/own_call.h), so it copies the transformation.
class CopyingMerger : public ConvertTransToPMML {};

constexpr char kModel[] =
    "<PMML version=\"4.1\"><Header copyright=\"model\"/><DataDictionary numberOfFields=\"2\">"
    "<DataField name=\"band\" optype=\"ordinal\" dataType=\"string\"><Value value=\"low\"/>"
    "<Value value=\"high\"/></DataField>"
    "<DataField name=\"risk\" optype=\"categorical\" dataType=\"string\"/></DataDictionary>"
    "<TreeModel functionName=\"classification\"><MiningSchema><MiningField name=\"band\"/>"
    "<MiningField name=\"label\"/><MiningField name=\"risk\" usageType=\"predicted\"/>"
    "</MiningSchema><Node score=\"no\"><True/></Node></TreeModel></PMML>";

std::string transformation(const std::string& prolog, const std::string& fields,
                           const std::string& epilog) {
  return prolog +
         "<PMML version=\"4.3\"><Header copyright=\"trans\"/>\n"
         "<DataDictionary numberOfFields=\"2\"><DataField name=\"income\" optype=\"continuous\" "
         "dataType=\"double\"/>\n<DataField name=\"risk\" optype=\"categorical\" "
         "dataType=\"string\"/></DataDictionary>\n<TransformationDictionary>\n" +
         fields + "</TransformationDictionary></PMML>" + epilog;
}

constexpr char kBand[] =
    "<DerivedField name=\"band\" optype=\"categorical\" dataType=\"string\">\n"
    "  <Discretize field=\"income\">\n    <DiscretizeBin binValue=\"low\"><Interval "
    "closure=\"openClosed\" rightMargin=\"1000\"/></DiscretizeBin>\n  </Discretize>\n"
    "</DerivedField>\n";

TEST(InPlaceCopyTest, ResultWritesAsTheCopiedTransformation) {
  const std::string label =
      "<DerivedField name=\"label\" optype=\"categorical\" dataType=\"string\"><!-- a note -->"
      "<?tool hint?><Apply function=\"concat\"> ; <FieldRef field=\"income\"/>"
      "<Constant>a-b, c</Constant><Constant><![CDATA[x < y]]></Constant><Constant><![CDATA[ ]]>"
      "</Constant><Constant>  .  </Constant></Apply><Extension name=\"n\">caf\xc3\xa9</Extension>"
      "</DerivedField>\n";
  const struct {
    const char* name;
    std::string trans;
  } cases[] = {
      {"no declaration", transformation("", kBand, "")},
      {"layout, comments, instructions, CDATA and text inside the fields",
       transformation("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- before -->\n<?pi x?>\n",
                      kBand + label, "\n<!-- after -->\n")},
      {"a repeated derived field and a data field of the model's name",
       transformation("", std::string(kBand) + kBand + label, "")},
      {"declared in lower case",
       transformation("<?xml version=\"1.0\" encoding=\"utf-8\"?>", kBand + label, "")},
      {"another encoding",
       transformation("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", kBand, "")},
      {"standalone", transformation("<?xml version=\"1.0\" standalone=\"yes\"?>", kBand, "")},
      {"XML 1.1", transformation("<?xml version=\"1.1\"?>", kBand + label, "")},
      {"a document type defaulting an attribute",
       transformation("<!DOCTYPE PMML [<!ATTLIST DerivedField displayName CDATA \"shown\">]>",
                      kBand + label, "")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ConvertTransToPMML inPlace;
    CopyingMerger copying;
    std::string built, copied, builtMessage, copiedMessage;
    std::vector<TmsEndInfo> data[2], derived[2];
    std::vector<TmsMiningFieldInfo> mining[2];
    const int code =
        inPlace.mergePMML(c.trans, kModel, built, builtMessage, data[0], derived[0], mining[0]);
    EXPECT_EQ(
        copying.mergePMML(c.trans, kModel, copied, copiedMessage, data[1], derived[1], mining[1]),
        code);
    EXPECT_EQ(code, 0) << builtMessage;
    EXPECT_NE(built.find("name=\"band\""), std::string::npos);
    EXPECT_EQ(built, copied);
    EXPECT_EQ(builtMessage, copiedMessage);
    EXPECT_EQ(derived[0].size(), derived[1].size());
    EXPECT_EQ(mining[0].size(), mining[1].size());
  }
}

}  // namespace
