#ifndef PMMLXFORM_MERGE_IN_PLACE_COPY_H_
#define PMMLXFORM_MERGE_IN_PLACE_COPY_H_

// The merge builds its result in the transformation's own document when the
// call parsed that document for the merge alone: the derived fields, most of
// the result, then stay where they are instead of being copied, and the
// transformation's text and its copy never take memory at once.
//
// Both helpers give what the copy into a document of its own would give:
// the same nodes, and the same text when the document is written.

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

namespace pmmlxform {

// True when `document` writes as a document the merge creates does once its
// children are replaced: no document type (so no defaulted or ID attributes
// and no entity references), XML 1.0, not standalone, read as UTF-8 (the
// writer declares the encoding the document was read in).
bool writesAsMade(const xercesc::DOMDocument* document);

// Takes `element` from its parent and drops from it what importElement leaves
// out of a copy: comments, processing instructions, and text without content.
// Returns `element`.
xercesc::DOMElement* keepInPlace(xercesc::DOMElement* element);

// Drops from the children of `element` what importElement leaves out of a copy
// and from the descendants of each element child what keepInPlace drops,
// leaving `element` where it is.
void siftInPlace(xercesc::DOMElement* element);

}  // namespace pmmlxform

#endif  // PMMLXFORM_MERGE_IN_PLACE_COPY_H_
