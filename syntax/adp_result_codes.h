#ifndef PMMLXFORM_SYNTAX_ADP_RESULT_CODES_H_
#define PMMLXFORM_SYNTAX_ADP_RESULT_CODES_H_

// Result codes of the syntax job, returned by the ADP_Convert functions and by
// every node's parse. Codes 4 and 12 are not used.

namespace pmmlxform {

enum AdpResult : int {
  kAdpOk = 0,
  // No DerivedField of the transformation dictionary is converted.
  kAdpNoDerivedField = 1,
  // The input stream delivered no characters ("Input file is invalid.").
  kAdpEmptyInput = 2,
  // An attribute that selects a node's behaviour (an Apply's function) is not
  // one this job converts.
  kAdpUnsupported = 3,
  // The XML parser refused the text: malformed, hostile or nested too deeply
  // ("Input xml file is invalid.").
  kAdpInvalidXml = 5,
  // An element has a name other than the ones accepted at its place.
  kAdpUnexpectedElement = 6,
  // A required name (a field name, `field` or `function`) is empty or missing,
  // or a name is not one that can be written into the syntax safely.
  kAdpBadName = 7,
  // A value is malformed: a date or time that is not numeric pieces with two
  // separators, or a constant that cannot be written as a literal safely.
  kAdpBadValue = 8,
  // An element has the wrong number of child elements.
  kAdpWrongChildCount = 9,
  // An element lacks the content it needs: no child nodes, an empty Constant,
  // an "if" Apply without an element child.
  kAdpMissingContent = 10,
  // DataDictionary or TransformationDictionary is missing; in back mode also
  // Extension or AutomatedDataPreparation.
  kAdpMissingDictionary = 11,
  // Back mode: an inverse derived field holds no field reference.
  kAdpNoFieldReference = 13,
  // Back mode: TargetInverse is missing or converts no DerivedField.
  kAdpNoTargetInverse = 14,
};

// Messages of the entry points when there is no document to convert.
inline constexpr const char kAdpEmptyInputMessage[] = "Input file is invalid.";
inline constexpr const char kAdpInvalidXmlMessage[] = "Input xml file is invalid.";

}  // namespace pmmlxform

#endif  // PMMLXFORM_SYNTAX_ADP_RESULT_CODES_H_
