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

FieldReferenceIndex::Bucket& FieldReferenceIndex::bucket(const std::basic_string<XMLCh>& name16) {
  if (const std::size_t* known = bucketOf_.find(name16)) return buckets_[*known];
  bucketOf_.emplace(name16, buckets_.size());
  buckets_.emplace_back();
  return buckets_.back();
}

void FieldReferenceIndex::add(Bucket& bucket, std::size_t at, xercesc::DOMElement* reference) {
  const auto after = std::upper_bound(
      bucket.begin(), bucket.end(), at,
      [](std::size_t position, const Bucket::value_type& entry) { return position < entry.first; });
  bucket.insert(after, {at, reference});
}

FieldReferenceIndex::FieldReferenceIndex(xercesc::DOMNode* container) {
  for (xercesc::DOMNode* child = container->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (isElement(child) && xercesc::XMLString::equals(child->getNodeName(), kDerivedField16)) {
      fields_.push_back(child);
    }
  }
  positions_.reserve(fields_.size());
  std::vector<xercesc::DOMNode*> pending;
  for (std::size_t at = 0; at < fields_.size(); ++at) {
    positions_[fields_[at]] = at;
    // The references the search finds: reference elements anywhere below
    // the field, not below another reference. Fields come in order, so each
    // bucket stays ordered by position.
    pending.assign(1, fields_[at]);
    while (!pending.empty()) {
      xercesc::DOMNode* node = pending.back();
      pending.pop_back();
      for (xercesc::DOMNode* c = node->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
        if (!isElement(c)) continue;
        if (isFieldReference(c->getNodeName())) {
          auto* reference = static_cast<xercesc::DOMElement*>(c);
          bucket(std::basic_string<XMLCh>(reference->getAttribute(kField16)))
              .emplace_back(at, reference);
        } else {
          pending.push_back(c);
        }
      }
    }
  }
}

xercesc::DOMNode* FieldReferenceIndex::nextReferring(const std::basic_string<XMLCh>& name16,
                                                     std::size_t after, std::size_t& at) const {
  const std::size_t* known = bucketOf_.find(name16);
  if (known == nullptr) return nullptr;
  const Bucket& references = buckets_[*known];
  const auto next = std::upper_bound(
      references.begin(), references.end(), after,
      [](std::size_t position, const Bucket::value_type& entry) { return position < entry.first; });
  if (next == references.end()) return nullptr;
  at = next->first;
  return fields_[at];
}

void FieldReferenceIndex::rename(const std::basic_string<XMLCh>& name16, std::size_t at,
                                 const std::basic_string<XMLCh>& renamed16) {
  std::vector<xercesc::DOMElement*> moved;
  {
    Bucket& from = bucket(name16);
    const auto held = std::equal_range(
        from.begin(), from.end(), Bucket::value_type(at, nullptr),
        [](const Bucket::value_type& a, const Bucket::value_type& b) { return a.first < b.first; });
    if (held.first == held.second) return;
    for (auto entry = held.first; entry != held.second; ++entry) moved.push_back(entry->second);
    from.erase(held.first, held.second);
  }
  Bucket& to = bucket(renamed16);
  for (xercesc::DOMElement* reference : moved) {
    reference->setAttribute(kField16, renamed16.c_str());
    add(to, at, reference);
  }
}

void FieldReferenceIndex::renamed(xercesc::DOMElement* reference,
                                  const std::basic_string<XMLCh>& before) {
  if (!ownersBuilt_) {
    // Renames move references between names but keep their fields.
    ownersBuilt_ = true;
    for (const Bucket& references : buckets_) {
      for (const auto& [at, held] : references) owners_[held] = at;
    }
  }
  const auto owner = owners_.find(reference);
  if (owner == owners_.end()) return;
  Bucket& from = bucket(before);
  from.erase(std::remove(from.begin(), from.end(), Bucket::value_type(owner->second, reference)),
             from.end());
  add(bucket(std::basic_string<XMLCh>(reference->getAttribute(kField16))), owner->second,
      reference);
}
