#ifndef PMMLXFORM_ADP_CONVERT_H_
#define PMMLXFORM_ADP_CONVERT_H_

/// @file
/// Data-preparation PMML to command syntax: the functions of ::ADP_Convert.

#include <pmmlxform/export.h>

#include <iosfwd>
#include <string>
#include <vector>

/// @brief Data-preparation PMML to command syntax.
///
/// PMML written by the application's automated data preparation (a
/// `TransformationDictionary` of `DerivedField` elements over the fields of a
/// `DataDictionary`) becomes command syntax: one `COMPUTE`, `RECODE ... INTO`
/// or `DO IF` block per converted field, `STRING` declarations, `VARIABLE
/// LEVEL` commands and one closing `VARIABLE ROLE` command.
///
/// Every function reads the PMML document from `input` to its end and writes
/// the syntax to `output` with one insertion (no newline added, no flush).
///
/// Result codes (`errorMessage` holds "Input file is invalid." for 2, "Input
/// xml file is invalid." for 5, otherwise the path from `ADPTransformation` to
/// the failing element, such as
/// `ADPTransformation.PMML.TransformationDictionary.DerivedField(k).Apply(+)`
/// followed by `{Expression must have two arguments.}`):
/// - 0: success; `errorMessage` is empty
/// - 1: no `DerivedField` is converted
/// - 2: the input is empty
/// - 3: an `Apply` function that is not converted, or a `NormContinuous` whose `outliers` is
///   neither `asExtremeValues` nor `asMissingValues`
/// - 5: the XML is malformed or hostile (external entities, too many entity expansions, nesting
///   deeper than 1,000 levels)
/// - 6: an element that is not accepted at its place
/// - 7: a name is missing or is not a safe variable name
/// - 8: a value is malformed (date, time, number, an empty table cell, or a string with a line
///   break), or is a date or time where a `RECODE` clause needs a number or a string
/// - 9: an operator without exactly two operands
/// - 10: an element without the content it needs
/// - 11: `DataDictionary` or `TransformationDictionary` missing (back mode: `Extension` or
///   `AutomatedDataPreparation`)
/// - 13: back mode: an inverse field reads no field
/// - 14: back mode: no `TargetInverse`, or it converts no `DerivedField`
///
/// After 2 and 5 nothing is written. After any other failure the syntax of
/// the fields converted before the failing one is written (incomplete, without
/// `VARIABLE ROLE`).
///
/// Every text taken from the document is written as a safe variable name, a
/// quoted string literal, a numeric literal or a date or time expression, or
/// the document is refused (7 or 8): nothing in the document can add a command.
///
/// @par Threads
/// Each call does all its work on the caller's thread and keeps nothing
/// between calls. Calls may run on different threads at the same time, also
/// while ::ConvertTrans objects are made, used or destroyed on others: each
/// call initialises and terminates the XML platform around its work, and the
/// library takes a process-wide lock around that count, which the XML library
/// does not guard itself.
namespace ADP_Convert {

/// @brief Converts the `TransformationDictionary` of data-preparation PMML into
/// command syntax.
/// @param input the PMML document, read to its end.
/// @param output receives the syntax.
/// @param errorMessage receives the failure's text or error path; emptied on success.
/// @param skipRoles true: write no `VARIABLE ROLE` command.
/// @param utf8 true: texts in and out are UTF-8; false: the local code page.
/// @param withComments true: a `** Target - name , Inputs - ...` line before
///   each computed field.
/// @return a result code of the table in ::ADP_Convert.
PMMLXFORM_API int convertPMMLtoSyntax(std::istream& input, std::ostream& output,
                                      std::string& errorMessage, bool skipRoles, bool utf8,
                                      bool withComments);

/// @brief As the overload without `noneFields`, and reports the fields of the
/// NONE role.
/// @param input the PMML document, read to its end.
/// @param output receives the syntax.
/// @param errorMessage receives the failure's text or error path; emptied on success.
/// @param noneFields receives the names of the NONE role (the disabled data
///   fields); empty after a failed conversion or with `skipRoles`, untouched
///   after results 2 and 5.
/// @param skipRoles true: write no `VARIABLE ROLE` command.
/// @param utf8 true: texts in and out are UTF-8; false: the local code page.
/// @param withComments true: a comment line before each computed field.
/// @return a result code of the table in ::ADP_Convert.
PMMLXFORM_API int convertPMMLtoSyntax(std::istream& input, std::ostream& output,
                                      std::string& errorMessage,
                                      std::vector<std::string>& noneFields, bool skipRoles,
                                      bool utf8, bool withComments);

/// @brief Converts the target's inverse transformation into syntax that maps
/// predictions back to the target's original scale.
///
/// The inverse is the `TransformationDictionary` / `Extension` /
/// `AutomatedDataPreparation` / `TargetInverse` element. With both names empty
/// the function converts the `TransformationDictionary` instead, with roles.
/// @param input the PMML document, read to its end.
/// @param output receives the syntax.
/// @param errorMessage receives the failure's text or error path; emptied on success.
/// @param targetName the field every inverse field writes; empty keeps the document's.
/// @param sourceName the field every inverse field reads (the prediction on the
///   transformed scale); empty keeps the document's.
/// @param utf8 true: texts in and out are UTF-8; false: the local code page.
/// @param withComments true: a comment line before each computed field.
/// @return a result code of the table in ::ADP_Convert (13 and 14 only here).
PMMLXFORM_API int convertPMMLtoBackSyntax(std::istream& input, std::ostream& output,
                                          std::string& errorMessage, std::string targetName,
                                          std::string sourceName, bool utf8, bool withComments);

}  // namespace ADP_Convert

#endif  // PMMLXFORM_ADP_CONVERT_H_
