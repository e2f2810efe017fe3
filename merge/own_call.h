#ifndef PMMLXFORM_MERGE_OWN_CALL_H_
#define PMMLXFORM_MERGE_OWN_CALL_H_

// Whether a conversion may use what its facade call offers: the documents the
// call parsed for it alone, the description's text, and writing the result's
// text itself. Only the library's own ConvertTransToPMML may: an override of a
// document form might still read the inputs after it, or expect a document.

#include <pmmlxform/convert_trans_to_pmml.h>

#include <typeinfo>

#include "trans/call_context.h"

namespace pmmlxform {

// The context of the facade call `self` runs, when `self` is exactly a
// ConvertTransToPMML; null otherwise.
inline CallContext* ownCall(const ConvertTransToPMML* self) {
  return typeid(*self) == typeid(ConvertTransToPMML) ? CallContext::of(self) : nullptr;
}

}  // namespace pmmlxform

#endif  // PMMLXFORM_MERGE_OWN_CALL_H_
