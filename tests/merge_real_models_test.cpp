// Merges into model PMML written by real producers: each model is either
// refused with its code, or merged with a transformation that derives some of
// its inputs into a document that keeps the model intact, names raw fields in
// its mining schemas and, where the model was schema-valid, stays valid.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace {

namespace fs = std::filesystem;
using testutil::attribute;
using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;
using Names = std::vector<std::string>;

const fs::path kBundled = fs::path(PMMLXFORM_SOURCE_DIR) / "tests/data/models";
const fs::path kShared = fs::path(PMMLXFORM_SOURCE_DIR) / "../shared/pmml";

// Models the checks refuse, and why; every other model is merged.
const std::map<std::string, int> kRefused = {
    {"pmml4s-dmg_scorecard_example.xml", 7},       // Scorecard: not a model kind taken
    {"pmml4s-sas_3.1_iris_tree.xml", 7},           // version 3.1
    {"spm-knn-clf-pima.pmml", 7},                  // version "4.4.1": minor part "4.1"
    {"gopmml-xgb_preprocessed_regressor.xml", 8},  // segmented MiningModel
    {"knime-DecisionTreeEnsembleIris.pmml", 8},
    {"rattle-GBMAuto.pmml", 8},
    {"rattle-RandomForestXformIris.pmml", 8},
};

std::vector<DOMElement*> childElements(DOMNode* parent, const std::string& name = "") {
  std::vector<DOMElement*> result;
  for (DOMNode* child = parent->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (child->getNodeType() == DOMNode::ELEMENT_NODE &&
        (name.empty() || testutil::utf8(child->getNodeName()) == name)) {
      result.push_back(static_cast<DOMElement*>(child));
    }
  }
  return result;
}

DOMElement* firstSchema(DOMDocument* document) {
  return static_cast<DOMElement*>(document->getElementsByTagName(u"MiningSchema")->item(0));
}

// A transformation that derives up to two active inputs of the model's first
// mining schema (`derived`) from raw fields (`raw`). An input that is no data
// field (one producer names inputs by identifiers) is taken as a number. No
// model names a field with a character that would need escaping here.
struct Plan {
  std::string transformation;
  Names derived, raw;
};

Plan planFor(DOMDocument* model) {
  Plan plan;
  std::map<std::string, std::string> types;
  DOMElement* dictionary = childElements(model->getDocumentElement(), "DataDictionary").at(0);
  for (DOMElement* field : childElements(dictionary, "DataField")) {
    types[attribute(field, "name")] = " optype=\"" + attribute(field, "optype") + "\" dataType=\"" +
                                      attribute(field, "dataType") + "\"";
  }
  std::string data, derived;
  for (DOMElement* field : childElements(firstSchema(model), "MiningField")) {
    const std::string name = attribute(field, "name"), usage = attribute(field, "usageType");
    if (usage != "" && usage != "active") continue;
    const std::string type =
        types.count(name) != 0 ? types[name] : " optype=\"continuous\" dataType=\"double\"";
    const std::string raw = "raw_input_" + std::to_string(plan.raw.size() + 1);
    data += "<DataField name=\"" + raw + "\"" + type + "/>";
    derived += "<DerivedField name=\"" + name + "\"" + type + "><FieldRef field=\"" + raw +
               "\"/></DerivedField>";
    plan.derived.push_back(name);
    plan.raw.push_back(raw);
    if (plan.raw.size() == 2) break;
  }
  plan.transformation = "<PMML version=\"4.3\"><Header/><DataDictionary>" + data +
                        "</DataDictionary><TransformationDictionary>" + derived +
                        "</TransformationDictionary></PMML>";
  return plan;
}

// Copies into `scratch` of the elements the merge carries over from the model
// (those after the data dictionary but the transformations), without their
// mining schemas.
std::vector<DOMElement*> modelPart(DOMDocument* document, DOMDocument* scratch,
                                   testutil::Merger& merger) {
  std::vector<DOMElement*> part;
  bool after = false;
  for (DOMElement* element : childElements(document->getDocumentElement())) {
    const std::string name = testutil::utf8(element->getNodeName());
    if (after && name != "TransformationDictionary" && name != "MiningBuildTask") {
      DOMElement* copy = merger.importElement(scratch, element);
      for (DOMElement* schema : childElements(copy, "MiningSchema")) copy->removeChild(schema);
      part.push_back(copy);
    }
    after = after || name == "DataDictionary";
  }
  return part;
}

bool valid(const fs::path& file) {
  std::string out;
  return testutil::runCommand(
             "sh " + (kShared / "validate.sh").string() + " '" + file.string() + "' 2>&1", out) ==
         0;
}

void checkModel(const fs::path& file) {
  SCOPED_TRACE(file.filename().string());
  testutil::Merger merger;
  testutil::Documents docs;
  const std::string modelText = testutil::readFile(file.string());
  DOMDocument* model = docs.parse(modelText);
  ASSERT_NE(model, nullptr);
  std::string output, message;
  std::vector<TmsEndInfo> data, derived;
  std::vector<TmsMiningFieldInfo> mining;
  const auto refused = kRefused.find(file.filename().string());
  if (refused != kRefused.end()) {
    const char* trans = "<PMML><Header/><DataDictionary/><TransformationDictionary/></PMML>";
    EXPECT_EQ(merger.mergePMML(trans, modelText, output, message, data, derived, mining),
              refused->second);
    EXPECT_EQ(output, "");
    return;
  }
  const Plan plan = planFor(model);
  ASSERT_FALSE(plan.derived.empty()) << "no active input to derive";
  ASSERT_EQ(
      merger.mergePMML(plan.transformation, modelText, output, message, data, derived, mining), 0)
      << message;
  DOMDocument* merged = docs.parse(output);
  EXPECT_EQ(attribute(merged->getDocumentElement(), "version"),
            attribute(model->getDocumentElement(), "version"));

  // Every model element intact, the mining schemas aside.
  DOMDocument* scratch = docs.parse("<scratch/>");
  const std::vector<DOMElement*> before = modelPart(model, scratch, merger);
  const std::vector<DOMElement*> after = modelPart(merged, scratch, merger);
  ASSERT_EQ(before.size(), after.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_TRUE(before[i]->isEqualNode(after[i])) << "model element " << i << " changed";
  }

  // The first mining schema holds the derived inputs in its container and
  // names the raw fields behind them.
  Names direct, contained;
  for (DOMElement* field : childElements(firstSchema(merged), "MiningField")) {
    direct.push_back(attribute(field, "name"));
  }
  for (DOMElement* container : childElements(firstSchema(merged), "Extension")) {
    for (DOMElement* field : childElements(container, "MiningField")) {
      if (attribute(container, "name") == "DerivedFields") {
        contained.push_back(attribute(field, "name"));
      }
    }
  }
  EXPECT_EQ(contained, plan.derived);
  for (const std::string& raw : plan.raw) {
    EXPECT_NE(std::find(direct.begin(), direct.end(), raw), direct.end()) << raw;
  }

  // Schema-valid in, schema-valid out (with the shared validator only).
  const bool checkSchema = fs::exists(kShared / "validate.sh") && valid(file);
  if (checkSchema) {
    testutil::TempDir dir;
    EXPECT_TRUE(valid(dir.write("merged.pmml", output))) << output;
  }

  // Again with a replacement and a missing value of the model's on the first
  // derived input, which the merge writes into the derived field: the input is
  // computed from an untreated copy, and the result stays valid.
  DOMElement* input = nullptr;
  for (DOMElement* field : childElements(firstSchema(model), "MiningField")) {
    if (attribute(field, "name") == plan.derived.front()) input = field;
  }
  ASSERT_NE(input, nullptr);
  std::string type = "double";
  for (DOMElement* field : childElements(
           childElements(model->getDocumentElement(), "DataDictionary").at(0), "DataField")) {
    if (attribute(field, "name") == plan.derived.front()) type = attribute(field, "dataType");
  }
  input->setAttribute(u"missingValueReplacement", type == "string" ? u"none" : u"0");
  output.clear();
  ASSERT_EQ(merger.mergePMML(plan.transformation, testutil::xmlText(model), output, message, data,
                             derived, mining),
            0)
      << message;
  EXPECT_NE(output.find("name=\"" + plan.derived.front() + "_untreated\""), std::string::npos);
  // The PMML 3.1 schema gives Constant no content, so no document of its
  // namespace can hold the replacement (docs/known-limits.md).
  const bool constantsAllowed =
      attribute(model->getDocumentElement(), "xmlns") != "http://www.dmg.org/PMML-3_1";
  if (checkSchema && constantsAllowed) {
    testutil::TempDir dir;
    EXPECT_TRUE(valid(dir.write("treated.pmml", output))) << output;
  }
}

std::vector<fs::path> modelsIn(const fs::path& dir) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".xml" || ext == ".pmml") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(RealModels, BundledModelsMergeOrAreRefusedWithTheirCode) {
  const std::vector<fs::path> files = modelsIn(kBundled);
  ASSERT_FALSE(files.empty());
  for (const fs::path& file : files) checkModel(file);
}

TEST(RealModels, SharedModelsMergeOrAreRefusedWithTheirCode) {
  if (!fs::is_directory(kShared / "models")) {
    GTEST_SKIP() << "no directory " << (kShared / "models").lexically_normal()
                 << " of real models beside the source tree (optional)";
  }
  for (const fs::path& file : modelsIn(kShared / "models")) {
    if (!fs::exists(kBundled / file.filename())) checkModel(file);  // else checked above
  }
}

}  // namespace
