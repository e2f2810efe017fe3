// Moving a model field's value list onto the derived field that computes it,
// and rendering value lists as comparable key texts.
#include <pmmlxform/convert_trans_to_pmml.h>

#include <algorithm>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLString.hpp>

#include "merge/repeated_texts.h"
#include "merge/vendor_extension.h"
#include "trans/decimal_text.h"
#include "xml/dom.h"
#include "xml/writer.h"

using pmmlxform::createVendorExtension;
using pmmlxform::isElement;
using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;
using xercesc::XMLString;

namespace {

// The only Extension of a derived field that survives clearValues.
constexpr char kStringLength[] = "stringLength";
constexpr char kMissingValues[] = "MissingValues";
constexpr char kVariableInterval[] = "VariableInterval";
constexpr char kInvalidRangeLower[] = "invalidRangeLower";
constexpr char kInvalidRangeUpper[] = "invalidRangeUpper";

// True when `attribute` is given in the text as `value` alone: setting it to
// `value` would leave it as it is.
bool holdsText(const xercesc::DOMAttr* attribute, const XMLCh* value) {
  if (attribute == nullptr || !attribute->getSpecified()) return false;
  const DOMNode* text = pmmlxform::singleText(attribute);
  return text != nullptr && XMLString::equals(text->getNodeValue(), value);
}

}  // namespace

bool ConvertTransToPMML::clearValues(DOMElement* target) {
  if (target == nullptr) return true;
  DOMNode* next = nullptr;
  for (DOMNode* child = target->getFirstChild(); child != nullptr; child = next) {
    next = child->getNextSibling();
    if (!isElement(child)) continue;
    const XMLCh* kind = child->getNodeName();
    const bool drop = XMLString::equals(kind, u"Value") ||
                      (XMLString::equals(kind, u"Extension") &&
                       transcode(pmmlxform::attributeText(static_cast<DOMElement*>(child),
                                                          u"name")) != kStringLength);
    if (drop) target->removeChild(child)->release();
  }
  return true;
}

bool ConvertTransToPMML::copyValues(DOMElement* source, DOMElement* target) {
  if (source == nullptr || target == nullptr) return true;
  DOMDocument* document = target->getOwnerDocument();
  static constexpr XMLCh optype[] = u"optype";
  static constexpr XMLCh valueAttribute[] = u"value";

  // Made when the first missing value comes.
  DOMElement* missing = nullptr;
  auto missingValues = [&]() {
    if (missing == nullptr) missing = createVendorExtension(document, kMissingValues);
    return missing;
  };
  const XMLCh* sourceOptype = pmmlxform::attributeText(source, optype);
  if (!holdsText(target->getAttributeNode(optype), sourceOptype)) {
    target->setAttribute(optype, sourceOptype);
  }

  // A deep import of `element`. One without children is copied as
  // importElement copies it, which makes the same nodes with fewer of the
  // library's steps when it can.
  auto copyOf = [&](DOMElement* element) -> DOMNode* {
    if (element->getFirstChild() == nullptr) return importElement(document, element);
    return document->importNode(element, true);
  };
  auto convert = [this](const XMLCh* text) { return transcode(text); };
  pmmlxform::RepeatedTexts<decltype(convert)> properties(convert);
  // Invalid-range bounds pair up in the order they come, whatever their kind.
  std::basic_string<XMLCh> heldBound;
  bool holding = false;
  for (DOMNode* child = source->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (!isElement(child)) continue;
    auto* element = static_cast<DOMElement*>(child);
    const XMLCh* kind = element->getNodeName();
    if (XMLString::equals(kind, u"Value")) {
      DOMNode* copy = copyOf(element);
      if (properties.of(pmmlxform::attributeText(element, u"property")) == "missing") {
        missingValues()->appendChild(copy);
      } else {
        target->appendChild(copy);
      }
    } else if (XMLString::equals(kind, u"Interval")) {
      DOMElement* wrapper = createVendorExtension(document, kVariableInterval);
      wrapper->appendChild(copyOf(element));
      target->insertBefore(wrapper, target->getFirstChild());
    } else if (XMLString::equals(kind, u"Extension")) {
      const std::string name = transcode(pmmlxform::attributeText(element, u"name"));
      if (name == kInvalidRangeLower || name == kInvalidRangeUpper) {
        const std::basic_string<XMLCh> bound = pmmlxform::attributeText(element, valueAttribute);
        if (!holding) {
          heldBound = bound;
          holding = true;
          continue;
        }
        const bool completesLower = name == kInvalidRangeLower;
        const std::basic_string<XMLCh>& lower = completesLower ? bound : heldBound;
        const std::basic_string<XMLCh>& upper = completesLower ? heldBound : bound;
        DOMElement* interval = document->createElement(u"Interval");
        interval->setAttribute(u"closure", u"closedClosed");
        interval->setAttribute(u"leftMargin", lower.c_str());
        interval->setAttribute(u"rightMargin", upper.c_str());
        missingValues()->appendChild(interval);
        holding = false;
      } else {
        target->insertBefore(copyOf(element), target->getFirstChild());
      }
    }
  }
  if (missing != nullptr) target->insertBefore(missing, target->getFirstChild());
  return true;
}

bool ConvertTransToPMML::getValueList(DOMElement* field, std::vector<std::string>& keys) {
  if (field == nullptr) return true;
  const XMLText nameAttribute("name");
  const XMLText valueAttribute("value");
  const XMLText property("property");
  const XMLText closure("closure");
  const XMLText leftMargin("leftMargin");
  const XMLText rightMargin("rightMargin");

  std::string lower, upper;
  // Depth inside "MissingValues" extensions; everything inside one, at any
  // depth of nesting, is a missing value. Counting entries and exits keeps the
  // walk from re-entering an extension it is leaving.
  int missingDepth = 0;
  DOMNode* node = field->getFirstChild();
  bool leaving = false;  // true when `node` was reached from its last child
  while (node != nullptr && node != field) {
    if (isElement(node)) {
      auto* element = static_cast<DOMElement*>(node);
      const std::string kind = transcode(element->getNodeName());
      if (kind == "Extension") {
        const std::string name = transcode(pmmlxform::attributeText(element, nameAttribute.get()));
        if (!leaving) {
          if (name == kInvalidRangeLower)
            lower = transcode(pmmlxform::attributeText(element, valueAttribute.get()));
          if (name == kInvalidRangeUpper)
            upper = transcode(pmmlxform::attributeText(element, valueAttribute.get()));
        }
        if (name == kMissingValues && element->hasChildNodes()) {
          if (!leaving) {
            ++missingDepth;
            node = element->getFirstChild();
            continue;
          }
          --missingDepth;
        }
        if (!lower.empty() && !upper.empty()) {
          keys.push_back("MissingValue@closure=closedClosed@low=" + formatNumber(lower) +
                         "@high=" + formatNumber(upper));
          lower.clear();
          upper.clear();
        }
      } else if (kind == "Interval" && !leaving) {
        if (missingDepth > 0) {
          keys.push_back(
              "MissingValue@closure=" +
              transcode(pmmlxform::attributeText(element, closure.get())) + "@low=" +
              formatNumber(transcode(pmmlxform::attributeText(element, leftMargin.get()))) +
              "@high=" +
              formatNumber(transcode(pmmlxform::attributeText(element, rightMargin.get()))));
        }
      } else if (kind == "Value" && !leaving) {
        if (missingDepth > 0 ||
            transcode(pmmlxform::attributeText(element, property.get())) == "missing") {
          keys.push_back("MissingValue@value=" + formatNumber(transcode(pmmlxform::attributeText(
                                                     element, valueAttribute.get()))));
        }
      }
    }
    if (node->getNextSibling() != nullptr) {
      node = node->getNextSibling();
      leaving = false;
    } else {
      node = node->getParentNode();
      leaving = true;
    }
  }
  return true;
}

bool ConvertTransToPMML::compareValueList(std::vector<std::string>& first,
                                          std::vector<std::string>& second) {
  for (const std::string& key : first) {
    if (std::find(second.begin(), second.end(), key) == second.end()) return false;
  }
  return true;
}

std::string ConvertTransToPMML::formatNumber(std::string number) {
  return pmmlxform::expandNumber(number, pmmlxform::kValueKeyRules);
}
