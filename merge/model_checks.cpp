// Shape checks of the two documents a merge takes: transformation PMML and
// model PMML.
#include <pmmlxform/convert_trans_to_pmml.h>

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <xercesc/dom/DOM.hpp>

#include "trans/job_result_codes.h"
#include "trans/kept_texts.h"
#include "xml/dom.h"
#include "xml/writer.h"

using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;

namespace {

// The model elements a model document may hold.
constexpr const char* kModelNames[] = {
    "AssociationModel",
    "ClusteringModel",
    "GeneralRegressionModel",
    "MiningModel",
    "NaiveBayesModel",
    "NeuralNetwork",
    "RegressionModel",
    "RuleSetModel",
    "SequenceModel",
    "SupportVectorMachineModel",
    "TextModel",
    "TreeModel",
    "NearestNeighborModel",
};

DOMElement* firstElement(DOMNode* node) {
  for (; node != nullptr; node = node->getNextSibling()) {
    if (node->getNodeType() == DOMNode::ELEMENT_NODE) return static_cast<DOMElement*>(node);
  }
  return nullptr;
}

DOMElement* firstChildElement(DOMNode* parent) {
  return parent == nullptr ? nullptr : firstElement(parent->getFirstChild());
}

DOMElement* nextElement(DOMNode* node) {
  return node == nullptr ? nullptr : firstElement(node->getNextSibling());
}

// One part of a version text as a number: 0 when empty, -1 unless the whole
// part is one integer.
int versionPart(const std::string& text) {
  int number = 0;
  if (text.empty()) return number;
  std::istringstream in(text);
  in >> number;
  if (in.bad() || !in.eof()) number = -1;
  return number;
}

// Why a merge refuses a document, for lastRefusalReason().
constexpr char kAcceptedVersions[] = "3.2, or 4.0 and later given as two numbers (such as \"4.4\")";

// That the element `name` is not where it belongs (first in PMML, or after
// `after`), and which element, if any, stands there instead.
std::string expected(const char* name, const std::string& after, const std::string& found) {
  std::string text = std::string("no ") + name + " where it belongs (";
  text += after == "PMML" ? "first in PMML" : "after " + after;
  return text + (found.empty() ? ")" : "): found " + found);
}

// The model kinds a merge takes, for a refusal's text.
std::string modelKinds() {
  std::string text;
  for (const char* name : kModelNames) text += (text.empty() ? "" : ", ") + std::string(name);
  return "merged kinds: " + text;
}

}  // namespace

bool ConvertTransToPMML::checkTransPMML(DOMDocument* document) {
  std::string& refusalReason = pmmlxform::keptText(this, pmmlxform::KeptText::kRefusalReason);
  refusalReason.clear();
  const auto refuse = [&refusalReason](const std::string& reason) {
    refusalReason = reason;
    return false;
  };
  if (document == nullptr) return refuse(pmmlxform::kMrgNoDocumentReason);
  DOMElement* root = document->getDocumentElement();
  if (root == nullptr) return refuse(pmmlxform::kMrgNoDocumentReason);
  const std::string rootName = transcode(root->getNodeName());
  if (rootName != "PMML") return refuse("the document element is " + rootName + ", not PMML");
  auto is = [this](DOMElement* element, const char* name) {
    return element != nullptr && transcode(element->getNodeName()) == name;
  };
  auto nameOf = [this](DOMElement* element) {
    return element == nullptr ? std::string() : transcode(element->getNodeName());
  };
  DOMElement* element = firstChildElement(root);
  if (!is(element, "Header")) return refuse(expected("Header", "PMML", nameOf(element)));
  element = nextElement(element);
  if (!is(element, "DataDictionary")) {
    return refuse(expected("DataDictionary", "Header", nameOf(element)));
  }
  element = nextElement(element);
  if (is(element, "MiningBuildTask")) element = nextElement(element);
  if (!is(element, "TransformationDictionary")) {
    return refuse(expected("TransformationDictionary", "DataDictionary", nameOf(element)));
  }
  return true;
}

bool ConvertTransToPMML::checkModelPMML(DOMDocument* document) {
  segmentedModel = false;
  std::string& refusalReason = pmmlxform::keptText(this, pmmlxform::KeptText::kRefusalReason);
  refusalReason.clear();
  const auto refuse = [&refusalReason](const std::string& reason) {
    refusalReason = reason;
    return false;
  };
  if (document == nullptr) return refuse(pmmlxform::kMrgNoDocumentReason);
  DOMElement* root = document->getDocumentElement();
  if (root == nullptr) return refuse(pmmlxform::kMrgNoDocumentReason);
  const std::string rootName = transcode(root->getNodeName());
  if (rootName != "PMML") return refuse("the document element is " + rootName + ", not PMML");

  // Version 3.2, or 4.0 and anything later.
  const XMLText versionAttribute("version");
  const std::string version = transcode(pmmlxform::attributeText(root, versionAttribute.get()));
  if (version.empty()) return refuse("the PMML element has no version");
  const std::size_t dot = version.find('.');
  const int major = versionPart(version.substr(0, dot));
  int minor = 0;
  if (major >= 0 && dot != std::string::npos) minor = versionPart(version.substr(dot + 1));
  if (!((major == 3 && minor == 2) || (major >= 4 && minor >= 0))) {
    return refuse("version \"" + version + "\" is not accepted: " + kAcceptedVersions);
  }

  auto is = [this](DOMElement* element, const char* name) {
    return element != nullptr && transcode(element->getNodeName()) == name;
  };
  auto nameOf = [this](DOMElement* element) {
    return element == nullptr ? std::string() : transcode(element->getNodeName());
  };
  DOMElement* element = firstChildElement(root);
  if (!is(element, "Header")) return refuse(expected("Header", "PMML", nameOf(element)));
  element = nextElement(element);
  if (is(element, "MiningBuildTask")) element = nextElement(element);
  if (!is(element, "DataDictionary")) {
    return refuse(expected("DataDictionary", "Header", nameOf(element)));
  }
  element = nextElement(element);
  if (is(element, "MiningBuildTask")) element = nextElement(element);
  if (is(element, "TransformationDictionary")) element = nextElement(element);
  if (element == nullptr) return refuse("no model element follows the dictionaries");
  if (is(element, "Extension")) return true;

  const std::string kind = transcode(element->getNodeName());
  if (std::find(std::begin(kModelNames), std::end(kModelNames), kind) == std::end(kModelNames)) {
    return refuse(kind + " is not a model kind that can be merged (" + modelKinds() + ")");
  }
  if (kind == "MiningModel") {
    const XMLText segmentation("Segmentation");
    if (element->getElementsByTagName(segmentation.get())->getLength() > 0) {
      segmentedModel = true;
      return refuse(pmmlxform::kMrgSegmentedModelReason);
    }
  }
  DOMElement* child = firstChildElement(element);
  while (is(child, "Extension")) child = nextElement(child);
  if (!is(child, "MiningSchema")) return refuse(expected("MiningSchema", kind, nameOf(child)));

  // Nothing but Extensions may follow the model.
  for (DOMElement* sibling = nextElement(element); sibling != nullptr;
       sibling = nextElement(sibling)) {
    if (!is(sibling, "Extension")) {
      return refuse(transcode(sibling->getNodeName()) + " follows the " + kind +
                    ", where only Extension elements may");
    }
  }
  return true;
}

const std::string& ConvertTransToPMML::lastRefusalReason() const {
  return pmmlxform::keptText(this, pmmlxform::KeptText::kRefusalReason);
}
