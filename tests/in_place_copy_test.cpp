// The merge that builds its result in the transformation's own document, and
// lets the model go before it rewrites the mining schemas, writes what the
// merge that copies the transformation and keeps the model writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_util.h"

namespace {

// A class derived from ConvertTransToPMML never takes the documents its call
// parsed (merge/own_call.h), so it copies the transformation.
class CopyingMerger : public ConvertTransToPMML {};

// What one merge of the two texts gives: its code, text, message and how
// many records of each kind it reports.
struct Merged {
  int code = 0;
  std::string text, message;
  std::size_t data = 0, derived = 0, mining = 0;
};
Merged merge(ConvertTransToPMML& merger, const std::string& trans, const std::string& model) {
  Merged m;
  std::vector<TmsEndInfo> data, derived;
  std::vector<TmsMiningFieldInfo> mining;
  m.code = merger.mergePMML(trans, model, m.text, m.message, data, derived, mining);
  m.data = data.size();
  m.derived = derived.size();
  m.mining = mining.size();
  return m;
}

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
  const std::string function =
      "<DefineFunction name=\"twice\" optype=\"continuous\"><ParameterField name=\"p\"/>"
      "<Apply function=\"*\"><FieldRef field=\"p\"/><Constant>2</Constant></Apply>"
      "</DefineFunction>\n";
  std::string upperLabel = label;
  upperLabel.replace(upperLabel.find("label"), 5, "LABEL");
  std::string accented = label;
  accented.replace(accented.find("label"), 5,
                   "l\xc3\xa4"
                   "bel");
  std::string upperAccented = label;
  upperAccented.replace(upperAccented.find("label"), 5,
                        "L\xc3\x84"
                        "BEL");
  auto withDictionaryAttribute = [](std::string trans) {
    const std::string tag = "<TransformationDictionary>";
    return trans.replace(trans.find(tag), tag.size(), "<TransformationDictionary note=\"n\">");
  };
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
      {"an extension, text and a comment between the dictionary's fields",
       transformation("",
                      std::string("<Extension name=\"e\">x</Extension> loose text <!-- c -->\n") +
                          kBand + label,
                      "")},
      {"a function after the fields", transformation("", kBand + label + function, "")},
      {"a function before the fields", transformation("", function + kBand + label, "")},
      {"names equal ignoring case", transformation("", kBand + upperLabel + label, "")},
      {"names outside ASCII equal ignoring case",
       transformation("", kBand + accented + upperAccented, "")},
      {"an attribute on the dictionary",
       withDictionaryAttribute(transformation("", kBand + label, ""))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ConvertTransToPMML inPlace;
    CopyingMerger copying;
    const Merged built = merge(inPlace, c.trans, kModel);
    const Merged copied = merge(copying, c.trans, kModel);
    EXPECT_EQ(copied.code, built.code);
    EXPECT_EQ(built.code, 0) << built.message;
    EXPECT_NE(built.text.find("name=\"band\""), std::string::npos);
    EXPECT_EQ(built.text, copied.text);
    EXPECT_EQ(built.message, copied.message);
    EXPECT_EQ(built.derived, copied.derived);
    EXPECT_EQ(built.mining, copied.mining);
  }
}

// A transformation whose derived fields a model reads, with treatments asked
// for by the model's fields; the model's parts after its dictionary follow.
std::string treatedModel(const std::string& net, const std::string& band,
                         const std::string& netMining, const std::string& bandMining,
                         const std::string& more) {
  return "<PMML version=\"4.3\"><Header/><DataDictionary>"
         "<DataField name=\"net\" optype=\"continuous\" dataType=\"double\">" +
         net + "</DataField><DataField name=\"band\" optype=\"categorical\" dataType=\"string\">" +
         band +
         "</DataField><DataField name=\"y\" optype=\"continuous\" dataType=\"double\"/>"
         "</DataDictionary><RegressionModel functionName=\"regression\"><MiningSchema>"
         "<MiningField name=\"net\" " +
         netMining + "/><MiningField name=\"band\" " + bandMining +
         "/><MiningField name=\"y\" usageType=\"predicted\"/></MiningSchema>"
         "<RegressionTable intercept=\"1\"><NumericPredictor name=\"net\" coefficient=\"2\"/>"
         "</RegressionTable></RegressionModel>" +
         more + "</PMML>";
}

constexpr char kTreatedTransformation[] =
    "<PMML version=\"4.3\"><Header/><DataDictionary>"
    "<DataField name=\"x\" optype=\"continuous\" dataType=\"double\"/></DataDictionary>"
    "<TransformationDictionary>"
    "<DerivedField name=\"net\" optype=\"continuous\" dataType=\"double\">"
    "<Extension name=\"note\"><FieldRef field=\"x\"/></Extension>"
    "<Apply function=\"*\"><FieldRef field=\"x\"/><Constant>2</Constant></Apply>"
    "<Value value=\"3\"/></DerivedField>"
    "<DerivedField name=\"band\" optype=\"categorical\" dataType=\"string\">"
    "<Extension name=\"stringLength\" value=\"4\"/>"
    "<Discretize field=\"x\"><DiscretizeBin binValue=\"low\"><Interval closure=\"openOpen\" "
    "rightMargin=\"5\"/></DiscretizeBin></Discretize></DerivedField>"
    "<DerivedField name=\"later\" optype=\"continuous\" dataType=\"double\">"
    "<Apply function=\"+\"><FieldRef field=\"NET\"/><FieldRef field=\"band\"/></Apply>"
    "</DerivedField></TransformationDictionary></PMML>";

TEST(InPlaceCopyTest, TreatmentsWrittenAfterTheModelWentMatchTheKeptModel) {
  // Extensions may follow the model; one that holds a mining schema has it
  // rewritten like the model's.
  const std::string second =
      "<Extension name=\"between\"><DataField name=\"net_untreated\"/></Extension>"
      "<Extension name=\"second\"><MiningSchema><MiningField name=\"band\" "
      "missingValueReplacement=\"high\"/><MiningField name=\"net_untreated\"/>"
      "<MiningField name=\"net\" missingValueReplacement=\"7\"/></MiningSchema></Extension>"
      "<Extension name=\"after\"/>";
  const struct {
    const char* name;
    std::string model;
  } cases[] = {
      {"missing codes replaced",
       treatedModel("<Value value=\"-1\" property=\"missing\"/><Value value=\"99\" "
                    "property=\"missing\"/>",
                    "", "missingValueReplacement=\"0\"", "", "")},
      {"invalid values of a categorical field as missing",
       treatedModel("",
                    "<Value value=\"low\"/><Value value=\"x\" property=\"invalid\"/>"
                    "<Value value=\"high\"/><Value value=\"\" property=\"missing\"/>",
                    "", "invalidValueTreatment=\"asMissing\"", "")},
      {"valid ranges of a continuous field",
       treatedModel("<Interval closure=\"closedOpen\" leftMargin=\"0\" rightMargin=\"10\"/>"
                    "<Value value=\"50\"/><Interval closure=\"openClosed\" leftMargin=\"20\"/>"
                    "<Interval closure=\"openOpen\" rightMargin=\"-5\"/>",
                    "", "invalidValueTreatment=\"asMissing\" missingValueReplacement=\"1\"", "",
                    "")},
      {"an interval without margins",
       treatedModel("<Interval closure=\"closedClosed\"/><Value value=\"1\" "
                    "property=\"invalid\"/>",
                    "", "invalidValueTreatment=\"asMissing\"", "", "")},
      {"outliers clipped and outliers missing",
       treatedModel("", "", "outliers=\"asExtremeValues\" lowValue=\"-3\" highValue=\"3\"",
                    "outliers=\"asMissingValues\" lowValue=\"a\"", "")},
      {"the mining field's optype decides",
       treatedModel("<Value value=\"1\"/><Value value=\"2\"/>", "",
                    "invalidValueTreatment=\"asMissing\" optype=\"ordinal\"", "", "")},
      {"a second model names a taken untreated name and treats what the first left",
       treatedModel("<Value value=\"0\" property=\"missing\"/>",
                    "<Value value=\"low\" property=\"missing\"/>", "", "", second)},
      {"a derived target and a conflict",
       treatedModel("<Value value=\"8\" property=\"missing\"/>", "",
                    "missingValueReplacement=\"1\" usageType=\"predicted\"", "usageType=\"target\"",
                    "<Extension><MiningSchema><MiningField name=\"net\"/>"
                    "<MiningField name=\"x\" usageType=\"predicted\"/></MiningSchema>"
                    "</Extension>")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ConvertTransToPMML owning;
    CopyingMerger keeping;
    const Merged owned = merge(owning, kTreatedTransformation, c.model);
    const Merged kept = merge(keeping, kTreatedTransformation, c.model);
    EXPECT_EQ(kept.code, owned.code);
    EXPECT_TRUE(owned.code == 0 || owned.code == 4) << owned.code << " " << owned.message;
    // Each case has a treatment written.
    EXPECT_NE(owned.text.find("_untreated\""), std::string::npos);
    EXPECT_EQ(owned.text, kept.text);
    EXPECT_EQ(owned.message, kept.message);
    EXPECT_EQ(owned.derived, kept.derived);
    EXPECT_EQ(owned.data, kept.data);
    EXPECT_EQ(owned.mining, kept.mining);
  }
}

}  // namespace
