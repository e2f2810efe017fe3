// The merge of transformation PMML into model PMML, end to end, and the records
// behind its reports.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace {

using testutil::attribute;
using testutil::outline;
using testutil::replaced;
using xercesc::DOMElement;
using Names = std::vector<std::string>;

constexpr char kTransformation[] =
    "<PMML version=\"4.3\" xmlns=\"http://www.dmg.org/PMML-4_3\"><Header copyright=\"trans\"/>"
    "<DataDictionary numberOfFields=\"1\"><DataField name=\"income\" optype=\"continuous\" "
    "dataType=\"double\"/></DataDictionary><TransformationDictionary>"
    "<DerivedField name=\"income_band\" optype=\"categorical\" dataType=\"string\">"
    "<Discretize field=\"income\"><DiscretizeBin binValue=\"low\"><Interval "
    "closure=\"openClosed\" rightMargin=\"1000\"/></DiscretizeBin><DiscretizeBin binValue=\"high\">"
    "<Interval closure=\"openOpen\" leftMargin=\"1000\"/></DiscretizeBin></Discretize>"
    "</DerivedField></TransformationDictionary></PMML>";

constexpr char kModel[] =
    "<PMML version=\"4.1\" xmlns=\"http://www.dmg.org/PMML-4_1\"><Header copyright=\"model\">"
    "<Application name=\"fit\" version=\"2\"/></Header><DataDictionary numberOfFields=\"2\">"
    "<DataField name=\"income_band\" optype=\"ordinal\" dataType=\"string\"><Value value=\"low\"/>"
    "<Value value=\"mid\"/><Value value=\"high\"/></DataField>"
    "<DataField name=\"risk\" optype=\"categorical\" dataType=\"string\"><Value value=\"yes\"/>"
    "<Value value=\"no\"/></DataField></DataDictionary>"
    "<TreeModel functionName=\"classification\"><MiningSchema><MiningField name=\"income_band\"/>"
    "<MiningField name=\"risk\" usageType=\"predicted\"/></MiningSchema><Node score=\"no\"><True/>"
    "</Node></TreeModel></PMML>";

constexpr char kExampleOutline[] =
    "PMML(Header(Application:fit) DataDictionary(DataField:risk(Value Value) DataField:income) "
    "TransformationDictionary(DerivedField:income_band(Discretize(DiscretizeBin(Interval) "
    "DiscretizeBin(Interval)) Value Value Value)) "
    "TreeModel(MiningSchema(Extension:DerivedFields(MiningField:income_band) MiningField:risk "
    "MiningField:income) Node(True)))";

class MergePMML : public ::testing::Test {
 protected:
  ~MergePMML() override {
    if (result_ != nullptr) result_->release();
  }
  int merge(const std::string& trans, const std::string& model) {
    return merger_.mergePMML(docs_.parse(trans), docs_.parse(model), result_, message_, data_,
                             derived_, mining_);
  }
  // The text and stream forms; each output stays empty when nothing is written.
  int mergeText(const std::string& trans, const std::string& model, std::string& text,
                std::string& stream) {
    ConvertTransToPMML& convert = merger_;
    const int code = convert.mergePMML(trans, model, text, message_, data_, derived_, mining_);
    std::istringstream transIn(trans), modelIn(model);
    std::ostringstream out;
    EXPECT_EQ(convert.mergePMML(transIn, modelIn, out, message_, data_, derived_, mining_), code);
    stream = out.str();
    return code;
  }
  DOMElement* first(const char16_t* name) {
    return static_cast<DOMElement*>(result_->getElementsByTagName(name)->item(0));
  }

  testutil::Merger merger_;
  testutil::Documents docs_;
  xercesc::DOMDocument* result_ = nullptr;
  std::string message_ = "untouched";
  std::vector<TmsEndInfo> data_, derived_;
  std::vector<TmsMiningFieldInfo> mining_;
};

TEST_F(MergePMML, WorkedExample) {
  EXPECT_EQ(merge(kTransformation, kModel), 0);
  EXPECT_EQ(message_, "untouched");
  ASSERT_NE(result_, nullptr);
  EXPECT_EQ(outline(result_), kExampleOutline);
  // The model's root and header; dictionaries without counts; the derived
  // field takes the model field's optype and values but keeps its dataType.
  EXPECT_EQ(attribute(result_->getDocumentElement(), "xmlns"), "http://www.dmg.org/PMML-4_1");
  EXPECT_EQ(attribute(first(u"Header"), "copyright"), "model");
  EXPECT_FALSE(first(u"DataDictionary")->hasAttributes());
  EXPECT_EQ(attribute(first(u"DerivedField"), "optype"), "ordinal");
  EXPECT_EQ(attribute(first(u"DerivedField"), "dataType"), "string");
  EXPECT_EQ(attribute(first(u"Extension"), "extender"), "pmmlxform");
  Names names;
  for (const auto* list : {&data_, &derived_}) {
    for (const TmsEndInfo& v : *list) names.push_back(v.name + "/" + v.optype);
  }
  for (const TmsMiningFieldInfo& f : mining_) names.push_back(f.name + "/" + f.usageType);
  EXPECT_EQ(names, (Names{"risk/categorical", "income/continuous", "income_band/ordinal",
                          "risk/predicted", "income/active"}));

  // The text form writes the same document, pretty-printed, as does the stream form.
  std::string text, stream;
  EXPECT_EQ(mergeText(kTransformation, kModel, text, stream), 0);
  EXPECT_EQ(outline(docs_.parse(text)), kExampleOutline);
  EXPECT_NE(text.find("\n  <Header"), std::string::npos);
  EXPECT_EQ(stream, text);
  EXPECT_EQ(data_.size(), 6u) << "each merge appends to the reports";
}

// The message stays as it was; lastRefusalReason() says which check refused.
TEST_F(MergePMML, RefusedDocumentsGiveTheirCodesAndNoDocument) {
  const std::string tree = "<TreeModel functionName=\"classification\">";
  const struct {
    const char* name;
    std::string trans, model;
    int code;
    std::string reason;
  } cases[] = {
      {"transformation without its dictionary",
       replaced(kTransformation, "TransformationDictionary>", "Extension>"), kModel, 6,
       "no TransformationDictionary where it belongs (after DataDictionary): found Extension"},
      {"model given as transformation", kModel, kModel, 6,
       "no TransformationDictionary where it belongs (after DataDictionary): found TreeModel"},
      {"model without version", kTransformation, replaced(kModel, "version=\"4.1\"", ""), 7,
       "the PMML element has no version"},
      {"version of three numbers", kTransformation,
       replaced(kModel, "version=\"4.1\"", "version=\"4.4.1\""), 7,
       "version \"4.4.1\" is not accepted: 3.2, or 4.0 and later given as two numbers (such as "
       "\"4.4\")"},
      {"unknown model kind", kTransformation,
       replaced(replaced(kModel, tree, "<BayesianNetworkModel>"), "</TreeModel>",
                "</BayesianNetworkModel>"),
       7, "BayesianNetworkModel is not a model kind that can be merged (merged kinds: "},
      {"model without mining schema", kTransformation, replaced(kModel, "MiningSchema>", "Output>"),
       7, "no MiningSchema where it belongs (after TreeModel): found Output"},
      {"segmented model", kTransformation,
       replaced(replaced(kModel, tree, "<MiningModel><MiningSchema/><Segmentation/>"),
                "</TreeModel>", "</MiningModel>"),
       8, "the MiningModel holds a Segmentation"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(merge(c.trans, c.model), c.code);
    EXPECT_EQ(message_, "untouched");
    EXPECT_EQ(result_, nullptr);
    EXPECT_EQ(merger_.lastRefusalReason().rfind(c.reason, 0), 0u) << merger_.lastRefusalReason();
  }
  EXPECT_TRUE(data_.empty());
  EXPECT_TRUE(mining_.empty());
  EXPECT_EQ(merge(kTransformation, kModel), 0);
  EXPECT_EQ(merger_.lastRefusalReason(), "");
}

// Same-named fields are compared, not repeated, and no conflict is counted;
// the first same-named derived field wins, case ignored. The model's functions
// and taxonomies must not land behind the other document's fields, or the
// result breaks the PMML schema.
TEST_F(MergePMML, DictionariesUnionInTheOrderOfTheirKindsWithTheTransformationWinning) {
  const std::string trans =
      "<PMML><Header/><DataDictionary><Extension name=\"te\"/><DataField name=\"RISK\" "
      "optype=\"continuous\"/><DataField name=\"age\"/><DataField name=\"income\"/>"
      "</DataDictionary><TransformationDictionary><DefineFunction name=\"tf\"/>"
      "<DerivedField name=\"a\"><FieldRef field=\"age\"/></DerivedField>"
      "<DerivedField name=\"A\"><FieldRef field=\"other\"/></DerivedField>"
      "<DerivedField name=\"shared\"><FieldRef field=\"income\"/></DerivedField>"
      "</TransformationDictionary></PMML>";
  const std::string model =
      "<PMML version=\"4.2\"><Header/><MiningBuildTask/><DataDictionary><DataField name=\"risk\">"
      "<Value value=\"1\"/></DataField><DataField name=\"A\" optype=\"categorical\"/>"
      "<DataField name=\"zip\"/><DataField name=\"risk\"/><Taxonomy name=\"tax\"/>"
      "</DataDictionary><TransformationDictionary><Extension name=\"me\"/>"
      "<DefineFunction name=\"mf\"/><DerivedField name=\"SHARED\"><FieldRef field=\"zip\"/>"
      "</DerivedField><DerivedField name=\"own\"><FieldRef field=\"zip\"/></DerivedField>"
      "</TransformationDictionary>"
      "<RegressionModel><MiningSchema><MiningField name=\"a\"/><MiningField name=\"own\"/>"
      "<MiningField name=\"risk\" usageType=\"predicted\"/></MiningSchema></RegressionModel>"
      "<Extension name=\"trailing\"><X/></Extension>"
      "<Extension name=\"neighbours\"><NearestNeighborModels><NearestNeighborModel>"
      "<MiningSchema><MiningField name=\"shared\"/></MiningSchema></NearestNeighborModel>"
      "</NearestNeighborModels></Extension></PMML>";
  EXPECT_EQ(merge(trans, model), 0);
  EXPECT_EQ(message_, "untouched");
  EXPECT_EQ(outline(result_),
            "PMML(Header MiningBuildTask DataDictionary(Extension:te DataField:risk(Value) "
            "DataField:zip DataField:age DataField:income Taxonomy:tax) "
            "TransformationDictionary(Extension:me DefineFunction:tf DefineFunction:mf "
            "DerivedField:a(FieldRef) DerivedField:shared(FieldRef) DerivedField:own(FieldRef)) "
            "RegressionModel(MiningSchema(Extension:DerivedFields(MiningField:a MiningField:own) "
            "MiningField:risk MiningField:age MiningField:zip)) "
            "Extension:trailing(X) "
            "Extension:neighbours(NearestNeighborModels(NearestNeighborModel(MiningSchema("
            "Extension:DerivedFields(MiningField:shared) MiningField:income)))))");
  // The model's field "A" became the value list of the derived field "a".
  EXPECT_EQ(attribute(first(u"DerivedField"), "optype"), "categorical");
}

// The records behind the reports: every member rewritten for every field
// element (nothing carries over), appended, never de-duplicated; prefixed or
// differently spelt elements are no fields; a mining field's usage defaults to
// active.
TEST_F(MergePMML, RecordsOfFieldsAndMiningFields) {
  DOMElement* dictionary = docs_.element(
      "<TransformationDictionary><DefineFunction name='f' optype='continuous'/>"
      "<DerivedField name='band' displayName='Income band' dataType='string' optype='categorical'>"
      "<Discretize field='income'/></DerivedField><!-- a comment --><Extension name='x'/>"
      "<p:DataField xmlns:p='urn:p' name='prefixed'/><derivedField name='lower case'/>"
      "<DataField name='age' dataType='double'/></TransformationDictionary>");
  EXPECT_TRUE(merger_.getVarsInfo(dictionary, data_));
  EXPECT_TRUE(merger_.getVarsInfo(dictionary, data_));
  EXPECT_TRUE(merger_.getVarsInfo(nullptr, data_));
  std::string got;
  for (const auto& v : data_)
    got += v.name + "/" + v.displayName + "/" + v.dataType + "/" + v.optype + " ";
  EXPECT_EQ(got,
            "band/Income band/string/categorical age//double/ "
            "band/Income band/string/categorical age//double/ ");
  DOMElement* schema = docs_.element(
      "<MiningSchema><MiningField name='a'/><MiningField name='b' usageType=''/>"
      "<MiningField name='c' usageType='predicted'/><Extension name='d'/>"
      "<MiningField name='\xC3\xA9t\xC3\xA9' usageType='supplementary'/><MiningField/>"
      "</MiningSchema>");
  mining_.push_back({"earlier", "active"});
  EXPECT_TRUE(merger_.getMiningInfo(schema, mining_));
  EXPECT_TRUE(merger_.getMiningInfo(nullptr, mining_));
  got.clear();
  for (const auto& f : mining_) got += f.name + "/" + f.usageType + " ";
  EXPECT_EQ(
      got, "earlier/active a/active b/active c/predicted \xC3\xA9t\xC3\xA9/supplementary /active ");
}

}  // namespace

// --- A derived input's treatment by the model --------------------------------

// An expression as prefix text: a function with its arguments in parentheses,
// a field reference as the field's name, a constant as its text.
std::string expressionText(const DOMElement* element) {
  const std::string kind = testutil::utf8(element->getNodeName());
  if (kind == "FieldRef") return attribute(element, "field");
  if (kind == "Constant") return testutil::utf8(element->getTextContent());
  std::string text = kind == "Apply" ? attribute(element, "function") : kind;
  std::string arguments;
  for (const DOMElement* child = element->getFirstElementChild(); child != nullptr;
       child = child->getNextElementSibling()) {
    arguments += (arguments.empty() ? "" : ",") + expressionText(child);
  }
  return arguments.empty() ? text : text + "(" + arguments + ")";
}

// The expression of the derived field `name` of a merged document; empty when
// there is no such field.
std::string derivedExpression(xercesc::DOMDocument* merged, const std::string& name) {
  xercesc::DOMNodeList* fields = merged->getElementsByTagName(u"DerivedField");
  for (XMLSize_t i = 0; i < fields->getLength(); ++i) {
    const auto* field = static_cast<const DOMElement*>(fields->item(i));
    if (attribute(field, "name") != name) continue;
    for (const DOMElement* child = field->getFirstElementChild(); child != nullptr;
         child = child->getNextElementSibling()) {
      const std::string kind = testutil::utf8(child->getNodeName());
      if (kind != "Extension" && kind != "Value") return expressionText(child);
    }
  }
  return "";
}

// A transformation with a numeric and a text field derived from raw x, and a
// field over the numeric one; a model that reads the first two.
constexpr char kTreatedTransformation[] =
    "<PMML version=\"4.3\"><Header/><DataDictionary>"
    "<DataField name=\"x\" optype=\"continuous\" dataType=\"double\"/></DataDictionary>"
    "<TransformationDictionary>"
    "<DerivedField name=\"net\" optype=\"continuous\" dataType=\"double\">"
    "<Apply function=\"*\"><FieldRef field=\"x\"/><Constant>2</Constant></Apply></DerivedField>"
    "<DerivedField name=\"band\" optype=\"categorical\" dataType=\"string\">"
    "<Discretize field=\"x\"><DiscretizeBin binValue=\"low\"><Interval closure=\"openOpen\" "
    "rightMargin=\"5\"/></DiscretizeBin></Discretize></DerivedField>"
    "<DerivedField name=\"later\" optype=\"continuous\" dataType=\"double\">"
    "<Apply function=\"+\"><FieldRef field=\"NET\"/><Constant>1</Constant></Apply></DerivedField>"
    "</TransformationDictionary></PMML>";

std::string treatedModel(const std::string& netField, const std::string& netMining,
                         const std::string& bandField = "", const std::string& bandMining = "") {
  return "<PMML version=\"4.3\"><Header/><DataDictionary>"
         "<DataField name=\"net\" optype=\"continuous\" dataType=\"double\">" +
         netField +
         "</DataField><DataField name=\"band\" optype=\"categorical\" dataType=\"string\">" +
         bandField +
         "</DataField><DataField name=\"y\" optype=\"continuous\" dataType=\"double\"/>"
         "</DataDictionary><RegressionModel functionName=\"regression\"><MiningSchema>"
         "<MiningField name=\"net\" " +
         netMining + "/><MiningField name=\"band\" " + bandMining +
         "/><MiningField name=\"y\" usageType=\"predicted\"/></MiningSchema>"
         "<LocalTransformations><DerivedField name=\"local\" optype=\"continuous\" "
         "dataType=\"double\"><FieldRef field=\"net\"/></DerivedField></LocalTransformations>"
         "<RegressionTable intercept=\"1\"><NumericPredictor name=\"net\" coefficient=\"2\"/>"
         "</RegressionTable></RegressionModel></PMML>";
}

// What standard scorers must apply to a derived input is written into its
// derived field, over the transformation's definition kept as "<name>_untreated";
// what changes nothing leaves the field as it was. What the treatments compute
// (replacements, missing codes, invalid values, outliers) is the merge
// differential test's; here which inputs are treated at all.
TEST_F(MergePMML, DerivedInputTreatmentIsWrittenIntoTheDerivedField) {
  const char* const kUntouched = "*(x,2)";
  const struct {
    const char* name;
    std::string model;
    const char* net;  // the expression of "net" after the merge
    const char* band;
  } cases[] = {
      // Nothing for standard scorers to do, or nothing an expression can do.
      {"invalid values returned invalid (the default)",
       treatedModel("<Interval closure=\"closedClosed\" leftMargin=\"0\"/>", ""), kUntouched, ""},
      {"invalid values as they are",
       treatedModel("<Interval closure=\"closedClosed\" leftMargin=\"0\"/>",
                    "invalidValueTreatment=\"asIs\""),
       kUntouched, ""},
      {"an interval without margins takes everything",
       treatedModel("<Interval closure=\"closedClosed\"/>", "invalidValueTreatment=\"asMissing\""),
       kUntouched, ""},
      {"the mining field's optype decides",
       treatedModel("<Value value=\"1\"/>",
                    "invalidValueTreatment=\"asMissing\" optype=\"ordinal\""),
       "if(isNotMissing(net_untreated),if(isIn(net_untreated,1),net_untreated))", ""},
      {"a valid value list does not restrict a continuous field",
       treatedModel("<Value value=\"1\"/>", "invalidValueTreatment=\"asMissing\""), kUntouched, ""},
      {"the treatment method alone informs",
       treatedModel("", "missingValueTreatment=\"asMean\" outliers=\"asExtremeValues\""),
       kUntouched, ""},
      {"a derived target",
       replaced(treatedModel("<Value value=\"8\" property=\"missing\"/>",
                             "missingValueReplacement=\"1\" usageType=\"predicted\""),
                "<MiningField name=\"y\" usageType=\"predicted\"/>", ""),
       kUntouched, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (result_ != nullptr) result_->release();
    result_ = nullptr;
    ASSERT_EQ(merge(kTreatedTransformation, c.model), 0) << message_;
    EXPECT_EQ(derivedExpression(result_, "net"), c.net);
    EXPECT_EQ(derivedExpression(result_, "band"),
              c.band[0] != 0 ? c.band : "Discretize(DiscretizeBin(Interval))");
    const bool netTreated = std::string(c.net) != kUntouched;
    // The transformation's definition, renamed; its other fields read it.
    EXPECT_EQ(derivedExpression(result_, "net_untreated"), netTreated ? kUntouched : "");
    EXPECT_EQ(derivedExpression(result_, "later"), netTreated ? "+(net_untreated,1)" : "+(NET,1)");
    // The model's own fields read what the model reads.
    EXPECT_EQ(derivedExpression(result_, "local"), "net");
  }
}

// The untreated copy is the transformation's definition whole: its optype,
// extensions and values, which the model's value list replaced on the field
// the model reads; the "stringLength" extension stays on both.
TEST_F(MergePMML, UntreatedCopyKeepsTheTransformationsDefinition) {
  const std::string trans = replaced(
      kTreatedTransformation,
      "<DerivedField name=\"band\" optype=\"categorical\" dataType=\"string\">"
      "<Discretize field=\"x\"><DiscretizeBin binValue=\"low\"><Interval closure=\"openOpen\" "
      "rightMargin=\"5\"/></DiscretizeBin></Discretize></DerivedField>",
      "<DerivedField name=\"band\" optype=\"ordinal\" dataType=\"string\">"
      "<Extension name=\"stringLength\" value=\"4\"/><Extension name=\"note\"/>"
      "<Discretize field=\"x\"><DiscretizeBin binValue=\"low\"><Interval closure=\"openOpen\" "
      "rightMargin=\"5\"/></DiscretizeBin></Discretize><Value value=\"low\" displayValue=\"Low\"/>"
      "</DerivedField>");
  ASSERT_EQ(merge(trans, treatedModel("", "", "<Value value=\"low\" property=\"missing\"/>",
                                      "missingValueReplacement=\"none\"")),
            0);
  xercesc::DOMNodeList* fields = result_->getElementsByTagName(u"DerivedField");
  std::string found;
  for (XMLSize_t i = 0; i < fields->getLength(); ++i) {
    const auto* field = static_cast<const DOMElement*>(fields->item(i));
    if (attribute(field, "name").rfind("band", 0) == 0) {
      found += outline(field) + "/" + attribute(field, "optype") + " ";
    }
  }
  EXPECT_EQ(found,
            "DerivedField:band(Extension:MissingValues(Value) Extension:stringLength Apply(Apply("
            "FieldRef) Constant Apply(Apply(FieldRef Constant) Constant FieldRef)))/categorical "
            "DerivedField:band_untreated(Extension:stringLength Extension:note "
            "Discretize(DiscretizeBin(Interval)) Value)/ordinal ");
}
