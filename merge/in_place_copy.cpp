// Keeping elements of a parsed document as the merge's copies of them.
#include "merge/in_place_copy.h"

#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLString.hpp>

#include "xml/dom.h"

namespace pmmlxform {

namespace {

bool equalsOrNull(const XMLCh* text, const XMLCh* expected) {
  return text == nullptr || xercesc::XMLString::equals(text, expected);
}

// `node` or the first element sibling after it, or null.
xercesc::DOMNode* nextElement(xercesc::DOMNode* node) {
  while (node != nullptr && !isElement(node)) node = node->getNextSibling();
  return node;
}

}  // namespace

bool writesAsMade(const xercesc::DOMDocument* document) {
  return document != nullptr && document->getDoctype() == nullptr &&
         !document->getXmlStandalone() && equalsOrNull(document->getXmlVersion(), u"1.0") &&
         xercesc::XMLString::equals(document->getInputEncoding(), u"UTF-8");
}

xercesc::DOMElement* keepInPlace(xercesc::DOMElement* element) {
  if (xercesc::DOMNode* parent = element->getParentNode()) parent->removeChild(element);
  siftInPlace(element);
  return element;
}

void siftInPlace(xercesc::DOMElement* element) {
  // Every element of the subtree in document order, without recursion; the
  // children of each are sifted before it is descended into. The path down is
  // kept here: asking the library for a parent costs far more than a step.
  std::vector<xercesc::DOMNode*> ancestors;
  xercesc::DOMNode* node = element;
  while (true) {
    xercesc::DOMNode* next = nullptr;
    for (xercesc::DOMNode* child = node->getFirstChild(); child != nullptr; child = next) {
      next = child->getNextSibling();
      if (!keptByCopy(child)) node->removeChild(child)->release();
    }
    if (xercesc::DOMNode* first = nextElement(node->getFirstChild())) {
      ancestors.push_back(node);
      node = first;
      continue;
    }
    while (node != element && nextElement(node->getNextSibling()) == nullptr) {
      node = ancestors.back();
      ancestors.pop_back();
    }
    if (node == element) return;
    node = nextElement(node->getNextSibling());
  }
}

}  // namespace pmmlxform
