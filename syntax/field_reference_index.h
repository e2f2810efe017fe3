#ifndef PMMLXFORM_SYNTAX_FIELD_REFERENCE_INDEX_H_
#define PMMLXFORM_SYNTAX_FIELD_REFERENCE_INDEX_H_

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "syntax/first_by_name.h"
#include "syntax/node_table.h"

// The references to fields in the DerivedField children of one element, by the
// value of their "field" attribute and the position of the field that holds
// them, so that finding the later fields that refer to a name does not search
// every later field. Kept in step with the renames the root makes.
//
// The same visit of the container lists the elements that name a field: those
// with a non-empty "field" attribute, not below another such element, in
// document order, under every element child of the container.
class FieldReferenceIndex {
 public:
  explicit FieldReferenceIndex(xercesc::DOMNode* container);

  // The elements that name a field, as the index was built. Renames keep a
  // non-empty name non-empty, so the list stays the same.
  const std::vector<xercesc::DOMElement*>& namingElements() const { return naming_; }

  // Position of a DerivedField child among them.
  std::size_t position(const xercesc::DOMNode* field) const;
  // The first DerivedField after position `after` that holds a reference to
  // `name16`, with its position in `at`; null when there is none.
  xercesc::DOMNode* nextReferring(const std::basic_string<XMLCh>& name16, std::size_t after,
                                  std::size_t& at) const;
  // Renames the references to `name16` in the field at `at` to `renamed16`.
  void rename(const std::basic_string<XMLCh>& name16, std::size_t at,
              const std::basic_string<XMLCh>& renamed16);
  // Records that `reference` now names another field than `before`.
  void renamed(xercesc::DOMElement* reference, const std::basic_string<XMLCh>& before);

 private:
  // References to one name: (position of the holding field, reference),
  // ordered by position, those of one field in the order they were added.
  using Bucket = std::vector<std::pair<std::size_t, xercesc::DOMElement*>>;
  // The bucket of a name, made empty when the name has none.
  Bucket& bucket(const std::basic_string<XMLCh>& name16);
  // Adds a reference at `at` after those the bucket holds there already.
  static void add(Bucket& bucket, std::size_t at, xercesc::DOMElement* reference);

  std::vector<xercesc::DOMNode*> fields_;
  std::vector<xercesc::DOMElement*> naming_;
  NodeTable<std::size_t> positions_;
  FirstByName<std::size_t, std::basic_string<XMLCh>> bucketOf_;
  std::vector<Bucket> buckets_;
  // The position of each reference's field, made on the first rename of a
  // single reference (only back mode renames those).
  std::unordered_map<const xercesc::DOMElement*, std::size_t> owners_;
  bool ownersBuilt_ = false;
};

#endif  // PMMLXFORM_SYNTAX_FIELD_REFERENCE_INDEX_H_
