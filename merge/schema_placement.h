#ifndef PMMLXFORM_MERGE_SCHEMA_PLACEMENT_H_
#define PMMLXFORM_MERGE_SCHEMA_PLACEMENT_H_

// The merge copies each model part with the fields of its mining schema held
// aside, so that the rewriting of the schema (dealMiningSchema: derived inputs
// into a "DerivedFields" container, their raw fields added) can put every
// field straight where the rewriting leaves it, instead of appending it to the
// schema and moving it into the container afterwards.

#include <functional>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "xml/name_index.h"

namespace pmmlxform {

// The fields of a schema held aside, in order: copies, or, for a MiningField
// of attributes alone, the texts of its attributes, from which its copy is
// made when asked. The merge copies the model's parts while the model is
// still there; the copies made later take memory only once it has gone.
class HeldFields {
 public:
  void add(xercesc::DOMNode* copy) { nodes_.push_back(copy); }
  // Holds `field` as the texts of its attributes when the copy made of them
  // is what importElement makes of it; false, holding nothing, otherwise.
  bool addAsText(const xercesc::DOMElement* field);
  // The copies, in order; those held as text made in `document`.
  std::vector<xercesc::DOMNode*> make(xercesc::DOMDocument* document) const;

 private:
  std::vector<xercesc::DOMNode*> nodes_;  // null for a field held as text
  // Per field held as text: each attribute's name and value, each ended by
  // a 0, then one more 0.
  std::u16string texts_;
};

// A copy of `element` in `document` as `import` makes one (importElement),
// except that the children of its descendant `schema` that the copy keeps go
// to `held`, in order, instead of into the copy of `schema`, which
// `schemaCopy` receives. A null `schema`, or one outside `element`, gives the
// plain import and leaves `schemaCopy` null.
xercesc::DOMElement* importHoldingSchema(
    xercesc::DOMDocument* document, xercesc::DOMElement* element, xercesc::DOMElement* schema,
    const std::function<xercesc::DOMElement*(xercesc::DOMElement*)>& import,
    xercesc::DOMElement*& schemaCopy, HeldFields& held);

// What the rewriting of one schema reads of the merge.
struct SchemaRewriting {
  // The dictionary's field of that name as findElement finds it (for a mining
  // field of that name), or null.
  std::function<xercesc::DOMElement*(const XMLCh*)> derivedNamed;
  // The raw fields behind a derived field.
  std::function<std::vector<std::string>(xercesc::DOMElement*)> rawFieldsOf;
  // XML text in the local code page.
  std::function<std::string(const XMLCh*)> localText;
  // addMiningFields on the schema.
  std::function<bool(std::vector<std::string>&, std::string&)> addMiningFields;
};

// Places `held` into `schema` as appending them in order, indexing `schema` in
// `indexes` and rewriting it with dealMiningSchema would leave them, when it
// can tell beforehand that the rewriting meets no target conflict and that no
// raw field it looks up could be a derived input still waiting in the schema
// (no name a raw field has, ignoring case, is that of a derived input, of a
// target, or of an element other than a MiningField). Otherwise it returns
// false with nothing changed, for the caller to take that way.
bool placeHeldSchema(xercesc::DOMElement* schema, const std::vector<xercesc::DOMNode*>& held,
                     NameIndexes& indexes, const SchemaRewriting& rewriting);

}  // namespace pmmlxform

#endif  // PMMLXFORM_MERGE_SCHEMA_PLACEMENT_H_
