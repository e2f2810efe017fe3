#ifndef PMMLXFORM_MERGE_FIELD_REFERENCES_H_
#define PMMLXFORM_MERGE_FIELD_REFERENCES_H_

// The PMML expressions that read a field by their "field" attribute.

#include <xercesc/util/XMLString.hpp>

namespace pmmlxform {

// Every PMML expression that reads a field that way, so that a derived field
// built on any of them (a one-hot NormDiscrete, say) still leads to its input.
inline constexpr const XMLCh* kFieldReferences[] = {
    u"FieldRef",     u"Discretize", u"FieldColumnPair", u"NormContinuous",
    u"NormDiscrete", u"Lag",        u"Aggregate"};

inline bool isFieldReference(const XMLCh* kind) {
  for (const XMLCh* reference : kFieldReferences) {
    if (xercesc::XMLString::equals(kind, reference)) return true;
  }
  return false;
}

}  // namespace pmmlxform

#endif  // PMMLXFORM_MERGE_FIELD_REFERENCES_H_
