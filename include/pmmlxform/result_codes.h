#ifndef PMMLXFORM_RESULT_CODES_H_
#define PMMLXFORM_RESULT_CODES_H_

/// @file
/// Named result codes of the library's entry points, one enumeration per job.
/// The values are those the entry points return; a code's meaning depends on
/// the job, so one value can have several names (4 and 9 do).

namespace pmmlxform {

/// @brief Results of ConvertTransToPMML::transform() and isValidTransXML(),
/// and of the transform forms of ::ConvertTrans.
enum TransformResult : int {
  /// Success.
  kTransformOk = 0,
  /// Not a transformation description: too short, or not well-formed XML.
  kTransformNotADescription = 1,
  /// An unknown function, or a function with the wrong number of arguments.
  kTransformFunctionError = 2,
  /// A variable defined twice, or used but not known.
  kTransformVariableError = 3,
  /// The stylesheet stopped with a message of no known kind.
  kTransformOtherStylesheetError = 4,
  /// An entry that cannot be converted.
  kTransformCannotConvert = 5,
  /// The stylesheet cannot be found or failed, or the result cannot be written.
  kTransformFailed = 9,
};

/// @brief Results of ConvertTransToPMML::mergePMML() and the merge forms of
/// ::ConvertTrans.
enum MergeResult : int {
  /// Success.
  kMergeOk = 0,
  /// Merged, but a raw field behind a derived model input is the model's
  /// target; the document is written and the message names the field.
  kMergeFieldConflict = 4,
  /// The transformation document is not transformation PMML.
  kMergeNotTransformation = 6,
  /// The model document is not model PMML that can be merged.
  kMergeNotModel = 7,
  /// The model holds a segmented MiningModel.
  kMergeSegmentedModel = 8,
  /// An internal failure of the merge, or the result cannot be written.
  kMergeFailed = 9,
};

/// @brief Results of ADP_Convert::convertPMMLtoSyntax() and
/// convertPMMLtoBackSyntax(); 13 and 14 come from the back-syntax only.
enum SyntaxResult : int {
  /// Success.
  kSyntaxOk = 0,
  /// No DerivedField is converted.
  kSyntaxNoDerivedField = 1,
  /// The input is empty.
  kSyntaxEmptyInput = 2,
  /// A function or an attribute value that is not converted.
  kSyntaxUnsupported = 3,
  /// The XML is malformed or hostile.
  kSyntaxInvalidXml = 5,
  /// An element that is not accepted at its place.
  kSyntaxUnexpectedElement = 6,
  /// A name is missing, or is not a name that can be written safely.
  kSyntaxBadName = 7,
  /// A value is malformed or cannot be written.
  kSyntaxBadValue = 8,
  /// An element with the wrong number of child elements.
  kSyntaxWrongChildCount = 9,
  /// An element without the content it needs.
  kSyntaxMissingContent = 10,
  /// A dictionary (or the data preparation extension) is missing.
  kSyntaxMissingDictionary = 11,
  /// Back-syntax: an inverse derived field reads no field.
  kSyntaxNoFieldReference = 13,
  /// Back-syntax: no inverse transformation is found.
  kSyntaxNoTargetInverse = 14,
};

}  // namespace pmmlxform

#endif  // PMMLXFORM_RESULT_CODES_H_
