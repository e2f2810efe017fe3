// The merge of transformation PMML into model PMML, end to end.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/merge_test_util.h"

namespace {

using mergetest::attribute;
using mergetest::Documents;
using mergetest::Merger;
using mergetest::outline;
using xercesc::DOMDocument;
using xercesc::DOMElement;

constexpr char kTransformation[] =
    "<PMML version=\"4.3\" xmlns=\"http://www.dmg.org/PMML-4_3\">\n"
    "  <Header copyright=\"transformations\"/>\n"
    "  <DataDictionary numberOfFields=\"1\">\n"
    "    <DataField name=\"income\" optype=\"continuous\" dataType=\"double\"/>\n"
    "  </DataDictionary>\n"
    "  <TransformationDictionary>\n"
    "    <DerivedField name=\"income_band\" optype=\"categorical\" dataType=\"string\">\n"
    "      <Discretize field=\"income\">\n"
    "        <DiscretizeBin binValue=\"low\"><Interval closure=\"openClosed\" "
    "rightMargin=\"1000\"/></DiscretizeBin>\n"
    "        <DiscretizeBin binValue=\"high\"><Interval closure=\"openOpen\" "
    "leftMargin=\"1000\"/></DiscretizeBin>\n"
    "      </Discretize>\n"
    "    </DerivedField>\n"
    "  </TransformationDictionary>\n"
    "</PMML>\n";

constexpr char kModel[] =
    "<PMML version=\"4.1\" xmlns=\"http://www.dmg.org/PMML-4_1\">\n"
    "  <Header copyright=\"model\"><Application name=\"fit\" version=\"2\"/></Header>\n"
    "  <DataDictionary numberOfFields=\"2\">\n"
    "    <DataField name=\"income_band\" optype=\"ordinal\" dataType=\"string\">\n"
    "      <Value value=\"low\"/><Value value=\"mid\"/><Value value=\"high\"/>\n"
    "    </DataField>\n"
    "    <DataField name=\"risk\" optype=\"categorical\" dataType=\"string\">\n"
    "      <Value value=\"yes\"/><Value value=\"no\"/>\n"
    "    </DataField>\n"
    "  </DataDictionary>\n"
    "  <TreeModel functionName=\"classification\">\n"
    "    <MiningSchema>\n"
    "      <MiningField name=\"income_band\"/>\n"
    "      <MiningField name=\"risk\" usageType=\"predicted\"/>\n"
    "    </MiningSchema>\n"
    "    <Node score=\"no\"><True/></Node>\n"
    "  </TreeModel>\n"
    "</PMML>\n";

constexpr char kExampleOutline[] =
    "PMML(Header(Application:fit) DataDictionary(DataField:risk(Value Value) DataField:income) "
    "TransformationDictionary(DerivedField:income_band(Discretize(DiscretizeBin(Interval) "
    "DiscretizeBin(Interval)) Value Value Value)) "
    "TreeModel(MiningSchema(Extension:DerivedFields(MiningField:income_band) MiningField:risk "
    "MiningField:income) Node(True)))";

struct Reports {
  std::vector<TmsEndInfo> data, derived;
  std::vector<TmsMiningFieldInfo> mining;
};

std::vector<std::string> names(const std::vector<TmsEndInfo>& vars) {
  std::vector<std::string> result;
  for (const TmsEndInfo& v : vars) result.push_back(v.name);
  return result;
}

std::vector<std::string> fields(const std::vector<TmsMiningFieldInfo>& mining) {
  std::vector<std::string> result;
  for (const TmsMiningFieldInfo& f : mining) result.push_back(f.name + "/" + f.usageType);
  return result;
}

// Releases the merged document at the end of a test.
struct Result {
  DOMDocument* document = nullptr;
  ~Result() {
    if (document != nullptr) document->release();
  }
};

class MergePMML : public ::testing::Test {
 protected:
  int merge(const std::string& trans, const std::string& model, std::string& message) {
    return merger_.mergePMML(docs_.parse(trans), docs_.parse(model), result_.document, message,
                             reports_.data, reports_.derived, reports_.mining);
  }
  int merge(const std::string& trans, const std::string& model) {
    std::string message;
    return merge(trans, model, message);
  }
  DOMElement* root() { return result_.document->getDocumentElement(); }

  Merger merger_;  // first: it keeps the platform alive for the documents
  Documents docs_;
  Reports reports_;
  Result result_;
};

// `text` with every `from` replaced by `to`.
std::string replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

TEST_F(MergePMML, WorkedExample) {
  std::string message = "untouched";
  EXPECT_EQ(merge(kTransformation, kModel, message), 0);
  EXPECT_EQ(message, "untouched");
  ASSERT_NE(result_.document, nullptr);
  EXPECT_EQ(outline(result_.document), kExampleOutline);
  // The model's root and header; dictionaries without counts.
  EXPECT_EQ(attribute(root(), "version"), "4.1");
  EXPECT_EQ(attribute(root(), "xmlns"), "http://www.dmg.org/PMML-4_1");
  auto* header = static_cast<DOMElement*>(root()->getElementsByTagName(u"Header")->item(0));
  EXPECT_EQ(attribute(header, "copyright"), "model");
  auto* dictionary =
      static_cast<DOMElement*>(root()->getElementsByTagName(u"DataDictionary")->item(0));
  EXPECT_FALSE(dictionary->hasAttributes());
  // The derived field carries the model's optype and values; dataType stays.
  auto* band = static_cast<DOMElement*>(root()->getElementsByTagName(u"DerivedField")->item(0));
  EXPECT_EQ(attribute(band, "optype"), "ordinal");
  EXPECT_EQ(attribute(band, "dataType"), "string");
  auto* container = static_cast<DOMElement*>(root()->getElementsByTagName(u"Extension")->item(0));
  EXPECT_EQ(attribute(container, "extender"), "pmmlxform");

  EXPECT_EQ(names(reports_.data), (std::vector<std::string>{"risk", "income"}));
  EXPECT_EQ(names(reports_.derived), (std::vector<std::string>{"income_band"}));
  EXPECT_EQ(reports_.derived[0].optype, "ordinal");
  EXPECT_EQ(fields(reports_.mining), (std::vector<std::string>{"risk/predicted", "income/active"}));

  // A second merge appends to the same reports.
  Result second;
  EXPECT_EQ(merger_.mergePMML(docs_.parse(kTransformation), docs_.parse(kModel), second.document,
                              message, reports_.data, reports_.derived, reports_.mining),
            0);
  EXPECT_EQ(reports_.data.size(), 4u);
  EXPECT_EQ(reports_.derived.size(), 2u);
  EXPECT_EQ(reports_.mining.size(), 4u);
}

TEST_F(MergePMML, TextAndStreamFormsReachTheMerge) {
  ConvertTransToPMML& convert = merger_;
  std::string output, message;
  EXPECT_EQ(convert.mergePMML(kTransformation, kModel, output, message, reports_.data,
                              reports_.derived, reports_.mining),
            0);
  EXPECT_EQ(outline(docs_.parse(output)), kExampleOutline);
  EXPECT_NE(output.find("\n  <Header"), std::string::npos) << "pretty-printed";
  std::istringstream trans(kTransformation), model(kModel);
  std::ostringstream out;
  EXPECT_EQ(convert.mergePMML(trans, model, out, message, reports_.data, reports_.derived,
                              reports_.mining),
            0);
  EXPECT_EQ(outline(docs_.parse(out.str())), kExampleOutline);
}

TEST_F(MergePMML, RefusedDocumentsGiveTheirCodesAndNoDocument) {
  struct Case {
    const char* name;
    std::string trans, model;
    int code;
  } cases[] = {
      {"transformation without its dictionary",
       replace(kTransformation, "TransformationDictionary>", "Extension>"), kModel, 6},
      {"transformation with the build task first",
       replace(kTransformation, "<DataDictionary", "<MiningBuildTask/><DataDictionary"), kModel, 6},
      {"model without version", kTransformation, replace(kModel, "version=\"4.1\"", ""), 7},
      {"model of version 3.1", kTransformation, replace(kModel, "\"4.1\"", "\"3.1\""), 7},
      {"two models", kTransformation,
       replace(kModel, "</PMML>", "<TreeModel><MiningSchema/></TreeModel></PMML>"), 7},
      {"segmented model", kTransformation,
       replace(replace(kModel, "<TreeModel functionName=\"classification\">",
                       "<MiningModel><MiningSchema/><Segmentation/>"),
               "</TreeModel>", "</MiningModel>"),
       8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string message = "untouched";
    EXPECT_EQ(merge(c.trans, c.model, message), c.code);
    EXPECT_EQ(message, "untouched");
    EXPECT_EQ(result_.document, nullptr);
  }
  EXPECT_TRUE(reports_.data.empty());
  EXPECT_TRUE(reports_.mining.empty());
}

TEST_F(MergePMML, PredictedFieldBehindADerivedInputIsAConflictButStillMerged) {
  // The model predicts the raw field the derived input is computed from.
  const std::string model =
      replace(replace(kModel, "name=\"risk\" optype", "name=\"INCOME\" optype"),
              "<MiningField name=\"risk\"", "<MiningField name=\"INCOME\"");
  std::string message = "untouched";
  EXPECT_EQ(merge(kTransformation, model, message), 4);
  EXPECT_EQ(message, "income");
  ASSERT_NE(result_.document, nullptr);
  EXPECT_NE(outline(result_.document)
                .find("MiningSchema(Extension:DerivedFields("
                      "MiningField:income_band) MiningField:INCOME)"),
            std::string::npos)
      << outline(result_.document);

  // The text form still writes the document; the stream-output form does not.
  ConvertTransToPMML& convert = merger_;
  std::string output;
  EXPECT_EQ(convert.mergePMML(kTransformation, model, output, message, reports_.data,
                              reports_.derived, reports_.mining),
            4);
  EXPECT_FALSE(output.empty());
  std::istringstream trans(kTransformation), modelIn(model);
  std::ostringstream out;
  EXPECT_EQ(convert.mergePMML(trans, modelIn, out, message, reports_.data, reports_.derived,
                              reports_.mining),
            4);
  EXPECT_TRUE(out.str().empty());
}

TEST_F(MergePMML, DictionariesUnionWithTheTransformationDefinitionWinning) {
  const std::string trans =
      "<PMML><Header/><DataDictionary>"
      "<DataField name=\"RISK\" optype=\"continuous\"/><DataField name=\"age\"/>"
      "<DataField name=\"income\"/></DataDictionary>"
      "<TransformationDictionary>"
      "<DerivedField name=\"a\"><FieldRef field=\"age\"/></DerivedField>"
      "<DerivedField name=\"A\"><FieldRef field=\"other\"/></DerivedField>"
      "<DerivedField name=\"shared\"><FieldRef field=\"income\"/></DerivedField>"
      "</TransformationDictionary></PMML>";
  const std::string model =
      "<PMML version=\"4.2\"><Header/><MiningBuildTask/>"
      "<DataDictionary><DataField name=\"risk\"><Value value=\"1\"/></DataField>"
      "<DataField name=\"A\" optype=\"categorical\"/><DataField name=\"zip\"/>"
      "<DataField name=\"risk\"/></DataDictionary>"
      "<TransformationDictionary>"
      "<DerivedField name=\"SHARED\"><FieldRef field=\"zip\"/></DerivedField>"
      "<DerivedField name=\"own\"><FieldRef field=\"zip\"/></DerivedField>"
      "</TransformationDictionary>"
      "<RegressionModel><MiningSchema><MiningField name=\"a\"/><MiningField name=\"own\"/>"
      "<MiningField name=\"risk\" usageType=\"predicted\"/></MiningSchema></RegressionModel>"
      "<Extension name=\"trailing\"><X/></Extension>"
      "<Extension name=\"neighbours\"><NearestNeighborModels><NearestNeighborModel>"
      "<MiningSchema><MiningField name=\"shared\"/></MiningSchema></NearestNeighborModel>"
      "</NearestNeighborModels></Extension>"
      "</PMML>";
  std::string message = "untouched";
  EXPECT_EQ(merge(trans, model, message), 0);
  // Same-named fields are compared, not repeated, and no conflict is counted.
  EXPECT_EQ(message, "untouched");
  EXPECT_EQ(outline(result_.document),
            "PMML(Header MiningBuildTask "
            "DataDictionary(DataField:risk(Value) DataField:zip DataField:age DataField:income) "
            "TransformationDictionary(DerivedField:a(FieldRef) DerivedField:shared(FieldRef) "
            "DerivedField:own(FieldRef)) "
            "RegressionModel(MiningSchema(Extension:DerivedFields(MiningField:a MiningField:own) "
            "MiningField:risk MiningField:age MiningField:zip)) "
            "Extension:trailing(X) "
            "Extension:neighbours(NearestNeighborModels(NearestNeighborModel(MiningSchema("
            "Extension:DerivedFields(MiningField:shared) MiningField:income)))))");
  // The transformation's "shared" (over income) won over the model's (over zip).
  EXPECT_EQ(fields(reports_.mining), (std::vector<std::string>{"income/active"}));
  // The model's field "A" became the value list of the derived field "a".
  auto* a = static_cast<DOMElement*>(root()->getElementsByTagName(u"DerivedField")->item(0));
  EXPECT_EQ(attribute(a, "optype"), "categorical");
}

TEST_F(MergePMML, DictionaryChildrenKeepTheOrderOfTheirKinds) {
  // The model's functions and taxonomies must not land behind the other
  // document's fields, or the result breaks the PMML schema.
  const std::string trans =
      "<PMML><Header/><DataDictionary><Extension name=\"te\"/><DataField name=\"t\"/>"
      "</DataDictionary><TransformationDictionary><DefineFunction name=\"tf\"/>"
      "<DerivedField name=\"band\"><FieldRef field=\"t\"/></DerivedField>"
      "</TransformationDictionary></PMML>";
  const std::string model =
      "<PMML version=\"4.3\"><Header/><DataDictionary><DataField name=\"m\"/>"
      "<Taxonomy name=\"tax\"/></DataDictionary>"
      "<TransformationDictionary><Extension name=\"me\"/><DefineFunction name=\"mf\"/>"
      "<DerivedField name=\"own\"><FieldRef field=\"m\"/></DerivedField>"
      "</TransformationDictionary>"
      "<TreeModel><MiningSchema><MiningField name=\"band\"/></MiningSchema></TreeModel></PMML>";
  EXPECT_EQ(merge(trans, model), 0);
  EXPECT_EQ(outline(result_.document),
            "PMML(Header DataDictionary(Extension:te DataField:m DataField:t Taxonomy:tax) "
            "TransformationDictionary(Extension:me DefineFunction:tf DefineFunction:mf "
            "DerivedField:band(FieldRef) DerivedField:own(FieldRef)) "
            "TreeModel(MiningSchema(Extension:DerivedFields(MiningField:band) MiningField:t)))");
}

}  // namespace
