// Reading the XSLT engine's nodes.
#include "trans/engine_nodes.h"

#include <xalanc/XalanDOM/XalanNamedNodeMap.hpp>

#include "host/norvel.h"

namespace pmmlxform {

using xalanc::XalanNode;

bool hasName(const xalanc::XalanDOMString& text, const std::u16string& name) {
  return text.size() == name.size() && name.compare(0, name.size(), text.c_str(), text.size()) == 0;
}

std::string toUtf8(const xalanc::XalanDOMString& text) {
  char* converted = norvel::QORVMBTranscodeU8(text.c_str());
  std::string result(converted);
  norvel::QORVMBRelease(&converted);
  return result;
}

std::u16string toUtf16(const std::string& text) {
  XMLCh* converted = norvel::QORVMBTranscodeU8(text.c_str());
  std::u16string result(converted);
  norvel::QORVMBRelease(&converted);
  return result;
}

std::string attribute(const XalanNode* node, const std::u16string& name) {
  const xalanc::XalanNamedNodeMap* attributes = node->getAttributes();
  if (attributes == nullptr) return std::string();
  for (XalanNode::IndexType i = 0; i < attributes->getLength(); ++i) {
    const XalanNode* attr = attributes->item(i);
    if (attr != nullptr && hasName(attr->getNodeName(), name)) return toUtf8(attr->getNodeValue());
  }
  return std::string();
}

const XalanNode* firstElementChild(const XalanNode* node) {
  for (const XalanNode* child = node->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (child->getNodeType() == XalanNode::ELEMENT_NODE) return child;
  }
  return nullptr;
}

}  // namespace pmmlxform
