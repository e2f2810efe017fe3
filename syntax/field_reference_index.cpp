// An index of the field references in the derived fields of one element.
#include "syntax/field_reference_index.h"

#include <algorithm>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLString.hpp>

#include "xml/dom.h"

using pmmlxform::isElement;

namespace {

// Elements that name the field they read in their `field` attribute.
constexpr const XMLCh* kFieldReferences[] = {u"FieldRef", u"Discretize", u"FieldColumnPair",
                                             u"NormContinuous"};

bool isFieldReference(const XMLCh* name) {
  for (const XMLCh* r : kFieldReferences) {
    if (xercesc::XMLString::equals(name, r)) return true;
  }
  return false;
}

const XMLCh kField16[] = u"field";
const XMLCh kDerivedField16[] = u"DerivedField";

}  // namespace

FieldReferenceIndex::FieldReferenceIndex(xercesc::DOMNode* container) {
  for (xercesc::DOMNode* child = container->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (!isElement(child) || !xercesc::XMLString::equals(child->getNodeName(), kDerivedField16)) {
      continue;
    }
    const std::size_t at = fields_.size();
    positions_[child] = at;
    fields_.push_back(child);
    // The references the search finds: reference elements anywhere below
    // the field, not below another reference.
    std::vector<xercesc::DOMNode*> pending{child};
    while (!pending.empty()) {
      xercesc::DOMNode* node = pending.back();
      pending.pop_back();
      for (xercesc::DOMNode* c = node->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
        if (!isElement(c)) continue;
        if (isFieldReference(c->getNodeName())) {
          auto* reference = static_cast<xercesc::DOMElement*>(c);
          byName_[std::basic_string<XMLCh>(reference->getAttribute(kField16))][at].push_back(
              reference);
          owners_[reference] = at;
        } else {
          pending.push_back(c);
        }
      }
    }
  }
}

xercesc::DOMNode* FieldReferenceIndex::nextReferring(const std::basic_string<XMLCh>& name16,
                                                     std::size_t after, std::size_t& at) const {
  const auto bucket = byName_.find(name16);
  if (bucket == byName_.end()) return nullptr;
  const auto next = bucket->second.upper_bound(after);
  if (next == bucket->second.end()) return nullptr;
  at = next->first;
  return fields_[at];
}

void FieldReferenceIndex::rename(const std::basic_string<XMLCh>& name16, std::size_t at,
                                 const std::basic_string<XMLCh>& renamed16) {
  auto& from = byName_[name16];
  const auto held = from.find(at);
  if (held == from.end()) return;
  std::vector<xercesc::DOMElement*> moved = std::move(held->second);
  from.erase(held);
  auto& to = byName_[renamed16][at];
  for (xercesc::DOMElement* reference : moved) {
    reference->setAttribute(kField16, renamed16.c_str());
    to.push_back(reference);
  }
}

void FieldReferenceIndex::renamed(xercesc::DOMElement* reference,
                                  const std::basic_string<XMLCh>& before) {
  const auto owner = owners_.find(reference);
  if (owner == owners_.end()) return;
  auto& from = byName_[before];
  const auto held = from.find(owner->second);
  if (held != from.end()) {
    auto& list = held->second;
    list.erase(std::remove(list.begin(), list.end(), reference), list.end());
    if (list.empty()) from.erase(held);
  }
  byName_[std::basic_string<XMLCh>(reference->getAttribute(kField16))][owner->second].push_back(
      reference);
}
