// Rewriting a model's mining schema so that it names the raw fields behind its
// derived inputs, and comparing two variables of the same name.
#include <pmmlxform/convert_trans_to_pmml.h>

#include <memory>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLString.hpp>

#include "merge/field_references.h"
#include "merge/raw_field_tracing.h"
#include "merge/repeated_texts.h"
#include "merge/vendor_extension.h"
#include "trans/call_context.h"
#include "xml/dom.h"
#include "xml/writer.h"

using pmmlxform::isElement;
using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;
using xercesc::XMLString;

namespace {

constexpr XMLCh kNameAttribute[] = u"name";

// An element name as XML text. ASCII names, which read the same in every code
// page, skip the code-page conversion.
class ElementName {
 public:
  explicit ElementName(const char* name) {
    std::size_t i = 0;
    for (; name[i] != 0; ++i) {
      const auto c = static_cast<unsigned char>(name[i]);
      if (c >= 0x80 || i + 1 == kSize) {
        converted_ = std::make_unique<XMLText>(name);
        return;
      }
      text_[i] = c;
    }
    text_[i] = 0;
  }
  const XMLCh* get() const { return converted_ != nullptr ? converted_->get() : text_; }

 private:
  static constexpr std::size_t kSize = 32;
  XMLCh text_[kSize];
  std::unique_ptr<XMLText> converted_;
};

constexpr char kDerivedFields[] = "DerivedFields";

// The usages that mark a model's target: "predicted", and its later name "target".
bool isTargetUsage(const std::string& usage) { return usage == "predicted" || usage == "target"; }

}  // namespace

bool ConvertTransToPMML::getRelativeVars(DOMElement* element, std::vector<std::string>& names) {
  if (element == nullptr) return true;
  static constexpr XMLCh field[] = u"field";
  // Depth-first, document order; a field reference is not descended into.
  // A name joins the list once: `listed` holds what the list holds.
  std::unordered_set<std::string> listed(names.begin(), names.end());
  // The path down from `element` is kept here: asking the library for a
  // parent costs far more than a step.
  std::vector<DOMNode*> ancestors;
  DOMNode* node = element->getFirstChild();
  while (node != nullptr) {
    bool descend = false;
    if (isElement(node)) {
      if (pmmlxform::isFieldReference(node->getNodeName())) {
        const std::string name =
            transcode(pmmlxform::attributeText(static_cast<DOMElement*>(node), field));
        if (!name.empty() && listed.insert(name).second) names.push_back(name);
      } else {
        descend = node->hasChildNodes();
      }
    }
    if (descend) {
      ancestors.push_back(node);
      node = node->getFirstChild();
      continue;
    }
    while (node->getNextSibling() == nullptr && !ancestors.empty()) {
      node = ancestors.back();
      ancestors.pop_back();
    }
    node = node->getNextSibling();
  }
  return true;
}

DOMElement* ConvertTransToPMML::findVariable(DOMElement* parent, const char* kind,
                                             const std::string& name) {
  if (parent == nullptr) return nullptr;
  const ElementName kindName(kind);
  if (pmmlxform::NameIndex* index = pmmlxform::CallContext::indexOf(this, parent)) {
    return index->findFrom(kindName.get(), name);
  }
  DOMNode* node = parent->getFirstChild();
  while (node != nullptr &&
         !(isElement(node) && XMLString::equals(node->getNodeName(), kindName.get()))) {
    node = node->getNextSibling();
  }
  for (; node != nullptr; node = node->getNextSibling()) {
    if (!isElement(node)) continue;
    const std::string candidate =
        transcode(pmmlxform::attributeText(static_cast<DOMElement*>(node), kNameAttribute));
    if (XMLString::compareIString(candidate.c_str(), name.c_str()) == 0) {
      return static_cast<DOMElement*>(node);
    }
  }
  return nullptr;
}

bool ConvertTransToPMML::getOriginalVars(DOMElement* dictionary, std::vector<std::string>& names) {
  // A derived field is expanded once: its references stay in the list (raw
  // ones are never removed), so meeting it again only removes its name. This
  // ends cycles and leaves every reachable raw field listed.
  std::set<DOMElement*> expanded;
  std::size_t index = 0;
  while (index < names.size()) {
    DOMElement* derived = findVariable(dictionary, "DerivedField", names[index]);
    if (derived == nullptr) {
      ++index;
      continue;
    }
    names.erase(names.begin() + static_cast<std::ptrdiff_t>(index));
    if (expanded.insert(derived).second) getRelativeVars(derived, names);
  }
  return true;
}

bool ConvertTransToPMML::addMiningFields(DOMElement* miningSchema, std::vector<std::string>& names,
                                         std::string& error) {
  if (miningSchema == nullptr) return true;
  DOMDocument* document = miningSchema->getOwnerDocument();
  static constexpr XMLCh miningField[] = u"MiningField";
  static constexpr XMLCh usageType[] = u"usageType";
  for (const std::string& name : names) {
    DOMElement* existing = findVariable(miningSchema, "MiningField", name);
    if (existing == nullptr) {
      const XMLText value(name);
      DOMElement* field = document->createElement(miningField);
      field->setAttribute(kNameAttribute, value.get());
      // The transformation reads every value of its raw fields as it is; the
      // default treatment, an invalid result for a value outside the field's
      // valid values, would refuse rows the transformation computes.
      field->setAttribute(u"invalidValueTreatment", u"asIs");
      if (pmmlxform::NameIndex* index = pmmlxform::CallContext::indexOf(this, miningSchema)) {
        index->insert(field);
      } else {
        miningSchema->appendChild(field);
      }
    } else if (isTargetUsage(transcode(pmmlxform::attributeText(existing, usageType)))) {
      error = name;
      return false;
    }
  }
  return true;
}

bool ConvertTransToPMML::dealMiningSchema(DOMElement* miningSchema, DOMElement* dictionary,
                                          std::string& error) {
  if (miningSchema == nullptr || dictionary == nullptr) return true;
  const XMLText usageType("usageType");
  // Each derived field is traced once for the whole schema; the dictionary
  // does not change meanwhile.
  pmmlxform::RawFieldTracer tracer(
      [this](DOMElement* element) {
        std::vector<std::string> names;
        getRelativeVars(element, names);
        return names;
      },
      [this, dictionary](const std::string& name) {
        return findVariable(dictionary, "DerivedField", name);
      });
  auto convert = [this](const XMLCh* text) { return transcode(text); };
  pmmlxform::RepeatedTexts<decltype(convert)> usages(convert);
  DOMElement* container = nullptr;
  DOMNode* next = nullptr;
  for (DOMNode* child = miningSchema->getFirstChild(); child != nullptr; child = next) {
    next = child->getNextSibling();
    if (!isElement(child)) continue;
    auto* field = static_cast<DOMElement*>(child);
    DOMElement* derived = findElement(dictionary, field);
    if (derived == nullptr) continue;  // a raw field
    const bool target = isTargetUsage(usages.of(pmmlxform::attributeText(field, usageType.get())));
    std::vector<std::string> names = tracer.rawFieldsOf(derived);
    if (pmmlxform::NameIndex* index = pmmlxform::CallContext::indexOf(this, miningSchema)) {
      index->remove(field);
    } else {
      miningSchema->removeChild(field);
    }
    if (container == nullptr) {
      container =
          pmmlxform::createVendorExtension(miningSchema->getOwnerDocument(), kDerivedFields);
      container->appendChild(field);
      miningSchema->insertBefore(container, miningSchema->getFirstChild());
    } else {
      container->appendChild(field);
    }
    // The raw fields behind a derived target are not inputs of the model.
    if (!target && !addMiningFields(miningSchema, names, error)) return false;
  }
  return true;
}

bool ConvertTransToPMML::compareVars(DOMElement* existing, DOMElement* incoming,
                                     std::string& message) {
  auto isVariable = [this](DOMElement* element) {
    if (element == nullptr) return false;
    const std::string kind = transcode(element->getNodeName());
    return kind == "DataField" || kind == "DerivedField";
  };
  if (!isVariable(existing) || !isVariable(incoming)) return false;
  const XMLText nameAttribute("name");
  if (XMLString::compareIString(pmmlxform::attributeText(existing, nameAttribute.get()),
                                pmmlxform::attributeText(incoming, nameAttribute.get())) != 0) {
    message.clear();
    return false;
  }
  message = transcode(pmmlxform::attributeText(existing, nameAttribute.get()));
  return true;
}
