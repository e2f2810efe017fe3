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

// A copy of `element` in `document` as `import` makes one (importElement),
// except that the children of its descendant `schema` that the copy keeps are
// copied into `held`, in order, instead of into the copy of `schema`, which
// `schemaCopy` receives. A null `schema`, or one outside `element`, gives the
// plain import and leaves `schemaCopy` null.
xercesc::DOMElement* importHoldingSchema(
    xercesc::DOMDocument* document, xercesc::DOMElement* element, xercesc::DOMElement* schema,
    const std::function<xercesc::DOMElement*(xercesc::DOMElement*)>& import,
    xercesc::DOMElement*& schemaCopy, std::vector<xercesc::DOMNode*>& held);

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
