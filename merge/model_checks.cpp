// Shape checks of the two documents a merge takes: transformation PMML and
// model PMML.
#include <pmmlxform/convert_trans_to_pmml.h>

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <xercesc/dom/DOM.hpp>

#include "trans/convert_trans.h"

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

}  // namespace

bool ConvertTransToPMML::checkTransPMML(DOMDocument* document) {
  if (document == nullptr) return false;
  DOMElement* root = document->getDocumentElement();
  if (root == nullptr || transcode(root->getNodeName()) != "PMML") return false;
  auto is = [this](DOMElement* element, const char* name) {
    return element != nullptr && transcode(element->getNodeName()) == name;
  };
  DOMElement* element = firstChildElement(root);
  if (!is(element, "Header")) return false;
  element = nextElement(element);
  if (!is(element, "DataDictionary")) return false;
  element = nextElement(element);
  if (is(element, "MiningBuildTask")) element = nextElement(element);
  return is(element, "TransformationDictionary");
}

bool ConvertTransToPMML::checkModelPMML(DOMDocument* document) {
  segmentedModel = false;
  if (document == nullptr) return false;
  DOMElement* root = document->getDocumentElement();
  if (root == nullptr || transcode(root->getNodeName()) != "PMML") return false;

  // Version 3.2, or 4.0 and anything later.
  const XMLText versionAttribute("version");
  const std::string version = transcode(root->getAttribute(versionAttribute.get()));
  if (version.empty()) return false;
  const std::size_t dot = version.find('.');
  const int major = versionPart(version.substr(0, dot));
  int minor = 0;
  if (major >= 0 && dot != std::string::npos) minor = versionPart(version.substr(dot + 1));
  if (!((major == 3 && minor == 2) || (major >= 4 && minor >= 0))) return false;

  auto is = [this](DOMElement* element, const char* name) {
    return element != nullptr && transcode(element->getNodeName()) == name;
  };
  DOMElement* element = firstChildElement(root);
  if (!is(element, "Header")) return false;
  element = nextElement(element);
  if (is(element, "MiningBuildTask")) element = nextElement(element);
  if (!is(element, "DataDictionary")) return false;
  element = nextElement(element);
  if (is(element, "MiningBuildTask")) element = nextElement(element);
  if (is(element, "TransformationDictionary")) element = nextElement(element);
  if (element == nullptr) return false;
  if (is(element, "Extension")) return true;

  const std::string kind = transcode(element->getNodeName());
  if (std::find(std::begin(kModelNames), std::end(kModelNames), kind) == std::end(kModelNames)) {
    return false;
  }
  if (kind == "MiningModel") {
    const XMLText segmentation("Segmentation");
    if (element->getElementsByTagName(segmentation.get())->getLength() > 0) {
      segmentedModel = true;
      return false;
    }
  }
  DOMElement* child = firstChildElement(element);
  while (is(child, "Extension")) child = nextElement(child);
  if (!is(child, "MiningSchema")) return false;

  // Nothing but Extensions may follow the model.
  for (DOMElement* sibling = nextElement(element); sibling != nullptr;
       sibling = nextElement(sibling)) {
    if (!is(sibling, "Extension")) return false;
  }
  return true;
}
