// An index of the field references in the derived fields of one element.
#include "syntax/field_reference_index.h"

#include <algorithm>
#include <stdexcept>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

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
  std::size_t derivedFields = 0;
  for (xercesc::DOMNode* child = container->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (isElement(child) && xercesc::XMLString::equals(child->getNodeName(), kDerivedField16)) {
      ++derivedFields;
    }
  }
  fields_.reserve(derivedFields);
  positions_.reserve(derivedFields);
  // One visit of each element child serves both searches. The references of
  // a DerivedField are the reference elements anywhere below it, not below
  // another reference; fields come in order, so each bucket stays ordered by
  // position. The naming elements are searched from the child itself down,
  // not below one found. A node is entered while either search goes on.
  struct Pending {
    xercesc::DOMNode* node;
    bool references;  // below a DerivedField and no reference
    bool naming;      // below no naming element
  };
  std::vector<Pending> pending;
  for (xercesc::DOMNode* child = container->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (!isElement(child)) continue;
    const bool derived = xercesc::XMLString::equals(child->getNodeName(), kDerivedField16);
    const std::size_t at = fields_.size();
    if (derived) {
      fields_.push_back(child);
      positions_.set(child, at);
    }
    pending.assign(1, {child, derived, true});
    while (!pending.empty()) {
      const Pending item = pending.back();
      pending.pop_back();
      bool naming = item.naming;
      if (naming && *pmmlxform::attributeText(item.node, kField16) != 0) {
        naming_.push_back(static_cast<xercesc::DOMElement*>(item.node));
        naming = false;
      }
      if (!item.references && !naming) continue;
      const std::size_t from = pending.size();
      for (xercesc::DOMNode* c = item.node->getFirstChild(); c != nullptr;
           c = c->getNextSibling()) {
        if (!isElement(c)) continue;
        bool references = item.references;
        if (references && isFieldReference(c->getNodeName())) {
          auto* reference = static_cast<xercesc::DOMElement*>(c);
          bucket(std::basic_string<XMLCh>(pmmlxform::attributeText(reference, kField16)))
              .emplace_back(at, reference);
          references = false;
        }
        if (references || naming) pending.push_back({c, references, naming});
      }
      // Children are taken in document order.
      std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(from), pending.end());
    }
  }
}

std::size_t FieldReferenceIndex::position(const xercesc::DOMNode* field) const {
  const std::size_t* at = positions_.find(field);
  if (at == nullptr) throw std::out_of_range("FieldReferenceIndex::position");
  return *at;
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
