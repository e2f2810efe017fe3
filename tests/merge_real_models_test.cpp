// Merges into model PMML written by real producers: each model is either
// refused with its code, or merged with a transformation that derives some of
// its inputs into a document that keeps the model intact, names raw fields in
// its mining schemas and, where the model was schema-valid, stays valid.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/merge_test_util.h"
#include "tests/test_util.h"

namespace {

namespace fs = std::filesystem;
using mergetest::attribute;
using mergetest::Documents;
using mergetest::Merger;
using mergetest::text;
using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;

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

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string escape(const std::string& value) {
  std::string result;
  for (char c : value) {
    switch (c) {
      case '&':
        result += "&amp;";
        break;
      case '<':
        result += "&lt;";
        break;
      case '"':
        result += "&quot;";
        break;
      default:
        result += c;
    }
  }
  return result;
}

std::string lower(std::string value) {
  std::transform(value.begin(), value.end(), value.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return value;
}

std::vector<DOMElement*> childElements(DOMNode* parent, const std::string& name = "") {
  std::vector<DOMElement*> result;
  for (DOMNode* child = parent->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (child->getNodeType() != DOMNode::ELEMENT_NODE) continue;
    if (name.empty() || text(child->getNodeName()) == name) {
      result.push_back(static_cast<DOMElement*>(child));
    }
  }
  return result;
}

DOMElement* firstByTag(DOMNode* root, const char16_t* name) {
  auto* list = root->getNodeType() == DOMNode::DOCUMENT_NODE
                   ? static_cast<DOMDocument*>(root)->getElementsByTagName(name)
                   : static_cast<DOMElement*>(root)->getElementsByTagName(name);
  return list->getLength() == 0 ? nullptr : static_cast<DOMElement*>(list->item(0));
}

// The inputs a transformation derives for one model: up to two active inputs
// of the first mining schema that are data fields; the second through a chain.
struct Plan {
  std::string transformation;
  std::vector<std::string> derived;  // model inputs now computed
  std::vector<std::string> raw;      // the raw fields behind them
};

Plan planFor(DOMDocument* model) {
  Plan plan;
  DOMElement* dictionary = childElements(model->getDocumentElement(), "DataDictionary").at(0);
  std::map<std::string, DOMElement*> dataFields;
  for (DOMElement* field : childElements(dictionary, "DataField")) {
    dataFields[attribute(field, "name")] = field;
  }
  std::string data, derived;
  DOMElement* schema = firstByTag(model, u"MiningSchema");
  for (DOMElement* field : childElements(schema, "MiningField")) {
    const std::string name = attribute(field, "name");
    const std::string usage = attribute(field, "usageType");
    if (usage != "" && usage != "active") continue;
    // Types of the model's field; an input that is no data field (one
    // producer names inputs by identifiers) is taken as a number.
    std::string optype = "continuous", dataType = "double";
    if (dataFields.count(name) != 0) {
      optype = attribute(dataFields[name], "optype");
      dataType = attribute(dataFields[name], "dataType");
    }
    const std::string types =
        " optype=\"" + escape(optype) + "\" dataType=\"" + escape(dataType) + "\"";
    const std::string raw = "raw_input_" + std::to_string(plan.raw.size() + 1);
    data += "<DataField name=\"" + raw + "\"" + types + "/>";
    std::string input = raw;
    if (!plan.raw.empty()) {  // the second one goes through an intermediate field
      derived += "<DerivedField name=\"mid_" + raw + "\"" + types + "><FieldRef field=\"" + raw +
                 "\"/></DerivedField>";
      input = "mid_" + raw;
    }
    derived += "<DerivedField name=\"" + escape(name) + "\"" + types + "><FieldRef field=\"" +
               input + "\"/></DerivedField>";
    plan.derived.push_back(name);
    plan.raw.push_back(raw);
    if (plan.raw.size() == 2) break;
  }
  plan.transformation = "<PMML version=\"4.3\"><Header/><DataDictionary>" + data +
                        "</DataDictionary><TransformationDictionary>" + derived +
                        "</TransformationDictionary></PMML>";
  return plan;
}

// The elements the merge carries over from the model: everything after the
// dictionaries of the input, everything after the TransformationDictionary
// of the result.
std::vector<DOMElement*> modelElements(DOMDocument* document, bool merged) {
  std::vector<DOMElement*> result;
  bool seen = false;
  for (DOMElement* element : childElements(document->getDocumentElement())) {
    const std::string name = text(element->getNodeName());
    if (name == (merged ? "TransformationDictionary" : "DataDictionary")) {
      seen = true;
    } else if (seen && name != "TransformationDictionary" && name != "MiningBuildTask") {
      result.push_back(element);
    }
  }
  return result;
}

bool haveValidator() {
  std::string out;
  return fs::exists(kShared / "validate.sh") &&
         testutil::runCommand("command -v xmllint >/dev/null 2>&1", out) == 0;
}

bool valid(const fs::path& file) {
  std::string out;
  return testutil::runCommand(
             "sh " + (kShared / "validate.sh").string() + " '" + file.string() + "' 2>&1", out) ==
         0;
}

void checkModel(const fs::path& file) {
  SCOPED_TRACE(file.filename().string());
  Merger merger;
  Documents docs;
  const std::string modelText = readFile(file);
  DOMDocument* model = docs.parse(modelText);
  ASSERT_NE(model, nullptr);

  const auto refused = kRefused.find(file.filename().string());
  if (refused != kRefused.end()) {
    std::string output, message;
    std::vector<TmsEndInfo> data, derived;
    std::vector<TmsMiningFieldInfo> mining;
    const char* trans = "<PMML><Header/><DataDictionary/><TransformationDictionary/></PMML>";
    EXPECT_EQ(merger.mergePMML(trans, modelText, output, message, data, derived, mining),
              refused->second);
    EXPECT_EQ(output, "");
    return;
  }

  const Plan plan = planFor(model);
  ASSERT_FALSE(plan.derived.empty()) << "no active data-field input to derive";
  std::string output, message;
  std::vector<TmsEndInfo> data, derived;
  std::vector<TmsMiningFieldInfo> mining;
  ASSERT_EQ(
      merger.mergePMML(plan.transformation, modelText, output, message, data, derived, mining), 0)
      << message;
  DOMDocument* merged = docs.parse(output);
  DOMElement* root = merged->getDocumentElement();
  EXPECT_EQ(attribute(root, "version"), attribute(model->getDocumentElement(), "version"));

  // Every model element intact, the mining schema aside.
  const std::vector<DOMElement*> before = modelElements(model, false);
  const std::vector<DOMElement*> after = modelElements(merged, true);
  ASSERT_EQ(before.size(), after.size());
  DOMDocument* scratch = docs.parse("<scratch/>");
  for (std::size_t i = 0; i < before.size(); ++i) {
    DOMElement* a = merger.importElement(scratch, before[i]);
    DOMElement* b = merger.importElement(scratch, after[i]);
    for (DOMElement* copy : {a, b}) {
      for (DOMElement* schema : childElements(copy, "MiningSchema")) copy->removeChild(schema);
    }
    EXPECT_TRUE(a->isEqualNode(b)) << "model element " << i << " changed";
  }

  // Mining schemas name raw fields; the derived inputs sit in the container.
  std::set<std::string> derivedNames;
  DOMElement* transDictionary = childElements(root, "TransformationDictionary").at(0);
  for (DOMElement* field : childElements(transDictionary, "DerivedField")) {
    derivedNames.insert(lower(attribute(field, "name")));
  }
  auto* schemas = merged->getElementsByTagName(u"MiningSchema");
  for (XMLSize_t i = 0; i < schemas->getLength(); ++i) {
    for (DOMElement* field : childElements(schemas->item(i), "MiningField")) {
      EXPECT_EQ(derivedNames.count(lower(attribute(field, "name"))), 0u)
          << attribute(field, "name") << " is derived";
    }
  }
  DOMElement* schema = firstByTag(merged, u"MiningSchema");
  std::vector<std::string> direct, contained;
  for (DOMElement* field : childElements(schema, "MiningField")) {
    direct.push_back(attribute(field, "name"));
  }
  for (DOMElement* container : childElements(schema, "Extension")) {
    if (attribute(container, "name") != "DerivedFields") continue;
    for (DOMElement* field : childElements(container, "MiningField")) {
      contained.push_back(attribute(field, "name"));
    }
  }
  EXPECT_EQ(contained, plan.derived);
  for (const std::string& raw : plan.raw) {
    EXPECT_NE(std::find(direct.begin(), direct.end(), raw), direct.end()) << raw;
  }

  // Schema-valid in, schema-valid out.
  if (haveValidator() && valid(file)) {
    testutil::TempDir dir;
    const std::string out = dir.write("merged.pmml", output);
    EXPECT_TRUE(valid(out)) << output;
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
  if (!fs::is_directory(kShared / "models")) GTEST_SKIP() << "no ../shared/pmml/models";
  for (const fs::path& file : modelsIn(kShared / "models")) {
    if (fs::exists(kBundled / file.filename())) continue;  // already checked
    checkModel(file);
  }
}

}  // namespace
