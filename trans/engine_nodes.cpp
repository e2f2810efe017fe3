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
  // ASCII, the common case, is its own UTF-8; the text ends at a zero, as
  // the conversion reads it.
  std::string ascii;
  ascii.reserve(text.size());
  const XMLCh* const chars = text.c_str();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const XMLCh c = chars[i];
    if (c == 0) return ascii;
    if (c >= 0x80) {
      ascii.clear();
      break;
    }
    ascii.push_back(static_cast<char>(c));
  }
  if (ascii.size() == text.size()) return ascii;
  char* converted = norvel::QORVMBTranscodeU8(text.c_str());
  std::string result(converted);
  norvel::QORVMBRelease(&converted);
  return result;
}

std::u16string toUtf16(const std::string& text) {
  std::u16string ascii;
  ascii.reserve(text.size());
  for (const char c : text) {
    if (c == 0) return ascii;
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii.clear();
      break;
    }
    ascii.push_back(static_cast<char16_t>(c));
  }
  if (ascii.size() == text.size()) return ascii;
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
