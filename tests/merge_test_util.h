#ifndef PMMLXFORM_TESTS_MERGE_TEST_UTIL_H_
#define PMMLXFORM_TESTS_MERGE_TEST_UTIL_H_

// Helpers of the merge tests: parsing fragments and writing a document's
// element structure as one line.

#include <gtest/gtest.h>
#include <pmmlxform/convert_trans_to_pmml.h>

#include <memory>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "trans/xml_parser.h"

namespace mergetest {

inline std::string text(const XMLCh* value) {
  if (value == nullptr) return std::string();
  char* converted = xercesc::XMLString::transcode(value);
  std::string result(converted);
  xercesc::XMLString::release(&converted);
  return result;
}

inline std::string attribute(const xercesc::DOMElement* element, const char* name) {
  XMLCh* xmlName = xercesc::XMLString::transcode(name);
  std::string value = text(element->getAttribute(xmlName));
  xercesc::XMLString::release(&xmlName);
  return value;
}

// The element structure below `node`: each element as its name, ":" and its
// "name" attribute when it has one, and its element children in parentheses,
// e.g. "PMML(Header DataDictionary(DataField:x))". Text is left out.
inline std::string outline(const xercesc::DOMNode* node) {
  if (node == nullptr) return "(null)";
  if (node->getNodeType() == xercesc::DOMNode::DOCUMENT_NODE) {
    return outline(static_cast<const xercesc::DOMDocument*>(node)->getDocumentElement());
  }
  const auto* element = static_cast<const xercesc::DOMElement*>(node);
  std::string result = text(element->getNodeName());
  const std::string name = attribute(element, "name");
  if (!name.empty()) result += ":" + name;
  std::string children;
  for (const xercesc::DOMNode* child = node->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (child->getNodeType() != xercesc::DOMNode::ELEMENT_NODE) continue;
    children += (children.empty() ? "" : " ") + outline(child);
  }
  if (!children.empty()) result += "(" + children + ")";
  return result;
}

// Parses fragments into documents that live as long as the object. Declare it
// after the ConvertTransToPMML object that keeps the XML platform alive.
class Documents {
 public:
  xercesc::DOMDocument* parse(const std::string& xml) {
    parsers_.push_back(std::make_unique<pmmlxform::HardenedDOMParser>());
    EXPECT_EQ(parsers_.back()->parseText(xml), 0u) << xml;
    return parsers_.back()->getDocument();
  }
  xercesc::DOMElement* element(const std::string& xml) { return parse(xml)->getDocumentElement(); }

 private:
  std::vector<std::unique_ptr<pmmlxform::HardenedDOMParser>> parsers_;
};

// Opens every protected operation of the merge to the tests.
class Merger : public ConvertTransToPMML {
 public:
  using ConvertTransToPMML::addMiningFields;
  using ConvertTransToPMML::checkModelPMML;
  using ConvertTransToPMML::checkTransPMML;
  using ConvertTransToPMML::clearValues;
  using ConvertTransToPMML::compareValueList;
  using ConvertTransToPMML::compareVars;
  using ConvertTransToPMML::copyValues;
  using ConvertTransToPMML::dealMiningSchema;
  using ConvertTransToPMML::formatNumber;
  using ConvertTransToPMML::getOriginalVars;
  using ConvertTransToPMML::getValueList;
  using ConvertTransToPMML::importElement;
  bool segmented() const { return segmentedModel; }
};

}  // namespace mergetest

#endif  // PMMLXFORM_TESTS_MERGE_TEST_UTIL_H_
