#ifndef PMMLXFORM_MERGE_VENDOR_EXTENSION_H_
#define PMMLXFORM_MERGE_VENDOR_EXTENSION_H_

// The Extension elements the merge writes into documents.

#include <xercesc/dom/DOM.hpp>

#include "host/vendor.h"
#include "xml/writer.h"

namespace pmmlxform {

// A new, unattached Extension of `document` with "extender" set to this
// library's identifier, then "name" set to `name`.
inline xercesc::DOMElement* createVendorExtension(xercesc::DOMDocument* document,
                                                  const char* name) {
  const XMLText extension("Extension");
  const XMLText extender("extender");
  const XMLText nameAttribute("name");
  const XMLText extenderValue(kVendorExtender);
  const XMLText nameValue(name);
  xercesc::DOMElement* element = document->createElement(extension.get());
  element->setAttribute(extender.get(), extenderValue.get());
  element->setAttribute(nameAttribute.get(), nameValue.get());
  return element;
}

}  // namespace pmmlxform

#endif  // PMMLXFORM_MERGE_VENDOR_EXTENSION_H_
