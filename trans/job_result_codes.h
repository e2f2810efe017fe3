#ifndef PMMLXFORM_TRANS_JOB_RESULT_CODES_H_
#define PMMLXFORM_TRANS_JOB_RESULT_CODES_H_

// Result codes of the transform and check jobs and of the merge, one table per
// job family, with the messages the library gives with them. The values are
// those <pmmlxform/result_codes.h> exports (TransformResult, MergeResult); they
// live here as plain ints because the entry points return int. Both tables
// sit in trans/ because the ConvertTrans facade returns the codes of both jobs.

namespace pmmlxform {

// --- Transform and check: ConvertTrans::transform, isValidTransXML, and
// ConvertTransToPMML::transform.
// Converted.
inline constexpr int kTransOk = 0;
// The text is shorter than a description can be or not well-formed XML; the
// document is not a TransformationDescription; the held description cannot
// take the new one; or ConvertTrans itself has no conversion to run.
inline constexpr int kTransBadInput = 1;
// The stylesheet stopped with "CVT_FuncErr:": an unknown function, or one
// with the wrong number of arguments.
inline constexpr int kTransFunctionError = 2;
// The stylesheet stopped with "CVT_ReVarsErr:": a variable defined twice, or
// used but not known.
inline constexpr int kTransVariablesError = 3;
// The stylesheet stopped with a message of no known prefix.
inline constexpr int kTransOtherStylesheetError = 4;
// The stylesheet stopped with "CVT_ConvertErr:": an entry that cannot be
// converted (the message comes back empty).
inline constexpr int kTransConvertError = 5;
// The engine failed with something other than a stylesheet's stop, the
// stylesheet cannot be opened, an exception was met on the way, or the result
// cannot be written as text.
inline constexpr int kTransRunError = 9;

// Code 1: the document given is not a transformation description.
inline constexpr char kTransNotDescriptionMessage[] =
    "ConvertTransToPMMLException: not a transformation description: the document element must "
    "be TransformationDescription, holding Transformations.";
// Code 1: the held description cannot take the new one.
inline constexpr char kTransCannotMergeMessage[] =
    "ConvertTransToPMMLException: can't merge input trans file.";
// Code 9: followed by the stylesheet's path.
inline constexpr char kTransNoStylesheetMessage[] =
    "ConvertTransToPMMLException: can't open xslt file.";
// Appended when the conversion gives no document (after the engine's message,
// or after an exception's text with code 9).
inline constexpr char kTransNoOutputMessage[] =
    "ConvertTransToPMMLException: Output Trans xml empty!";
// Code 9 of the text and stream forms: followed by the exception's text, or by
// kCannotWriteMessage.
inline constexpr char kTransFailureMessage[] = "ConvertTransException: ";

// --- Merge: ConvertTransToPMML::mergePMML and the merge forms of ConvertTrans.
// Merged.
inline constexpr int kMrgOk = 0;
// Merged, but a raw field behind a derived model input is the model's target
// (dealMiningSchema); the document is written and the message names the last
// such field.
inline constexpr int kMrgConflict = 4;
// The transformation document is missing, empty, or not transformation PMML
// (lastRefusalReason says why).
inline constexpr int kMrgBadTransformation = 6;
// The model document is missing, empty, or not model PMML the merge can take
// (lastRefusalReason says why).
inline constexpr int kMrgBadModel = 7;
// The model holds a MiningModel with a Segmentation.
inline constexpr int kMrgSegmentedModel = 8;
// No DOM implementation, an exception met while merging, or the result cannot
// be written as text; ConvertTrans itself has no merge to run.
inline constexpr int kMrgRunError = 9;

// lastRefusalReason of codes 6 and 7 when the document is missing or did not
// parse.
inline constexpr char kMrgNoDocumentReason[] = "the document is empty or not well-formed XML";
// lastRefusalReason of code 8.
inline constexpr char kMrgSegmentedModelReason[] = "the MiningModel holds a Segmentation";
// Code 9: no DOM implementation to build the result with.
inline constexpr char kMrgNoDomMessage[] = "Error in mergePMML: Can't use xml dom.";
// Code 9: followed by the exception's text, or by kCannotWriteMessage.
inline constexpr char kMrgFailureMessage[] = "exception in mergePMML:";

// Code 9 of both jobs' text and stream forms, after the job's failure prefix
// and before the writer's reason.
inline constexpr char kCannotWriteMessage[] = "the result cannot be written: ";

}  // namespace pmmlxform

#endif  // PMMLXFORM_TRANS_JOB_RESULT_CODES_H_
