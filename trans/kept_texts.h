#ifndef PMMLXFORM_TRANS_KEPT_TEXTS_H_
#define PMMLXFORM_TRANS_KEPT_TEXTS_H_

// Texts an exported object keeps between calls beyond its own members (the
// stylesheet's words of the last failure, why a merge refused a document).
// They live in a table keyed by the object, so that the exported classes keep
// the layout hosts were built against.

#include <string>

class ConvertTrans;

namespace pmmlxform {

enum class KeptText { kStylesheetMessage, kRefusalReason };

// The object's text of that kind, created empty on first use; the reference
// stays valid until dropKeptTexts(object).
std::string& keptText(const ConvertTrans* object, KeptText kind);
// Forgets the object's texts; its destructor calls it.
void dropKeptTexts(const ConvertTrans* object);

}  // namespace pmmlxform

#endif  // PMMLXFORM_TRANS_KEPT_TEXTS_H_
