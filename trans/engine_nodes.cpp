// Reading the XSLT engine's nodes.
#include "trans/engine_nodes.h"

#include <xalanc/XalanDOM/XalanNamedNodeMap.hpp>

#include "host/norvel.h"

namespace pmmlxform {

using xalanc::XalanNode;

bool hasName(const xalanc::XalanDOMString& text, const std::u16string& name) {
  return text.size() == name.size() && name.compare(0, name.size(), text.c_str(), text.size()) == 0;
}

// The conversions copy a leading ASCII run at once, the common case.
std::string toUtf8(const xalanc::XalanDOMString& text) {
  std::string out;
  out.reserve(text.size());
  norvel::appendU16AsU8(out, text.c_str());
  return out;
}

std::u16string toUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  norvel::appendU8AsU16(out, text.c_str());
  return out;
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
