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

TEST_F(MergePMML, RefusedDocumentsGiveTheirCodesAndNoDocument) {
  const struct {
    const char* name;
    std::string trans, model;
    int code;
  } cases[] = {
      {"transformation without its dictionary",
       replaced(kTransformation, "TransformationDictionary>", "Extension>"), kModel, 6},
      {"model without version", kTransformation, replaced(kModel, "version=\"4.1\"", ""), 7},
      {"segmented model", kTransformation,
       replaced(replaced(kModel, "<TreeModel functionName=\"classification\">",
                         "<MiningModel><MiningSchema/><Segmentation/>"),
                "</TreeModel>", "</MiningModel>"),
       8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(merge(c.trans, c.model), c.code);
    EXPECT_EQ(message_, "untouched");
    EXPECT_EQ(result_, nullptr);
  }
  EXPECT_TRUE(data_.empty());
  EXPECT_TRUE(mining_.empty());
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
