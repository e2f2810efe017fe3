#ifndef PMMLXFORM_XML_DOM_H_
#define PMMLXFORM_XML_DOM_H_

// Small helpers over the XML library's DOM that every job shares.

#include <memory>
#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/util/XMLUni.hpp>

namespace pmmlxform {

// Destroys an object of the XML library (document, serialiser, output) through
// its release(), for std::unique_ptr.
struct Releaser {
  template <typename T>
  void operator()(T* object) const {
    object->release();
  }
};
using OwnedDocument = std::unique_ptr<xercesc::DOMDocument, Releaser>;

inline bool isElement(const xercesc::DOMNode* node) {
  return node != nullptr && node->getNodeType() == xercesc::DOMNode::ELEMENT_NODE;
}

// The text node that holds the whole of the attribute's value, when the parser
// stored it as one; null otherwise (and for no attribute).
inline const xercesc::DOMNode* singleText(const xercesc::DOMAttr* attribute) {
  if (attribute == nullptr) return nullptr;
  const xercesc::DOMNode* text = attribute->getFirstChild();
  if (text != nullptr && text->getNextSibling() == nullptr &&
      text->getNodeType() == xercesc::DOMNode::TEXT_NODE) {
    return text;
  }
  return nullptr;
}

// The value of the element's attribute `name` as DOMElement::getAttribute
// gives it (empty for no element or no attribute). A value held as one text
// node is read from that node, which spares the type checks the attribute's
// own accessor makes on every call.
inline const XMLCh* attributeText(const xercesc::DOMNode* node, const XMLCh* name) {
  if (!isElement(node)) return xercesc::XMLUni::fgZeroLenString;
  const xercesc::DOMAttr* attribute =
      static_cast<const xercesc::DOMElement*>(node)->getAttributeNode(name);
  if (attribute == nullptr) return xercesc::XMLUni::fgZeroLenString;
  if (const xercesc::DOMNode* text = singleText(attribute)) return text->getNodeValue();
  return attribute->getValue();
}

// True when the text holds an ASCII letter or digit, a ".", or any character
// beyond ASCII (text in any script): text worth keeping when an element is
// copied. Layout and ASCII punctuation alone are not.
inline bool hasContent(const XMLCh* text) {
  if (text == nullptr) return false;
  for (; *text != 0; ++text) {
    const XMLCh c = *text;
    if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
        c == u'.' || c >= 0x80) {
      return true;
    }
  }
  return false;
}

// What a copy of an element keeps of its children: elements, and text or
// CDATA with content (layout whitespace, stray punctuation, comments and
// processing instructions go).
inline bool keptByCopy(const xercesc::DOMNode* child) {
  switch (child->getNodeType()) {
    case xercesc::DOMNode::ELEMENT_NODE:
      return true;
    case xercesc::DOMNode::TEXT_NODE:
    case xercesc::DOMNode::CDATA_SECTION_NODE:
      return hasContent(child->getNodeValue());
    default:
      return false;
  }
}

// True when a shallow copy of `element` made of its name and attribute values
// equals its import: no namespaces, no ID attributes, and attribute values
// held as text only (entity references stay references when imported).
inline bool copiesAsText(const xercesc::DOMElement* element) {
  if (element->getLocalName() != nullptr) return false;
  const xercesc::DOMNamedNodeMap* attributes = element->getAttributes();
  const XMLSize_t count = attributes == nullptr ? 0 : attributes->getLength();
  for (XMLSize_t i = 0; i < count; ++i) {
    const auto* attribute = static_cast<const xercesc::DOMAttr*>(attributes->item(i));
    if (attribute->getLocalName() != nullptr || attribute->isId()) return false;
    for (const xercesc::DOMNode* part = attribute->getFirstChild(); part != nullptr;
         part = part->getNextSibling()) {
      if (part->getNodeType() != xercesc::DOMNode::TEXT_NODE) return false;
    }
  }
  return true;
}

}  // namespace pmmlxform

#endif  // PMMLXFORM_XML_DOM_H_
