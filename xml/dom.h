#ifndef PMMLXFORM_XML_DOM_H_
#define PMMLXFORM_XML_DOM_H_

// Small helpers over the XML library's DOM that every job shares.

#include <memory>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMNode.hpp>

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

}  // namespace pmmlxform

#endif  // PMMLXFORM_XML_DOM_H_
