#ifndef PMMLXFORM_ADP_CONVERT_H_
#define PMMLXFORM_ADP_CONVERT_H_

// Data-preparation PMML to command syntax.
//
// Each function reads a PMML document from `input` to its end and writes the
// syntax to `output` with one insertion (no newline added, no flush). It
// returns 0 on success, with `errorMessage` empty; otherwise a result code:
//   1  no DerivedField is converted          7  a name is missing or unsafe
//   2  the input is empty                    8  a value is malformed or unsafe
//   3  a function is not supported           9  wrong number of child elements
//   5  the XML is invalid or hostile        10  an element lacks its content
//   6  an element is not accepted here      11  a dictionary is missing
//  13  (back) an inverse reads no field     14  (back) no TargetInverse fields
// with `errorMessage` holding "Input file is invalid." (2), "Input xml file is
// invalid." (5) or the path to the failing element. After 2 and 5 nothing is
// written; after any other failure the syntax of the fields converted before
// the failing one is written (incomplete, without VARIABLE ROLE).
// `utf8` true: texts in and out are UTF-8; false: the local code page.

#include <pmmlxform/export.h>

#include <iosfwd>
#include <string>
#include <vector>

namespace ADP_Convert {

// Converts the TransformationDictionary. `skipRoles`: no VARIABLE ROLE
// command; `withComments`: a "** Target - ..." line before each computed field.
PMMLXFORM_API int convertPMMLtoSyntax(std::istream& input, std::ostream& output,
                                      std::string& errorMessage, bool skipRoles, bool utf8,
                                      bool withComments);

// As above; `noneFields` receives the names of the NONE role (empty after a
// failed conversion or with `skipRoles`; untouched after results 2 and 5).
PMMLXFORM_API int convertPMMLtoSyntax(std::istream& input, std::ostream& output,
                                      std::string& errorMessage,
                                      std::vector<std::string>& noneFields, bool skipRoles,
                                      bool utf8, bool withComments);

// Converts the target's inverse (TransformationDictionary / Extension /
// AutomatedDataPreparation / TargetInverse): every inverse field writes
// `targetName` and reads `sourceName` (an empty name keeps the document's).
// With both names empty it converts the TransformationDictionary, with roles.
PMMLXFORM_API int convertPMMLtoBackSyntax(std::istream& input, std::ostream& output,
                                          std::string& errorMessage, std::string targetName,
                                          std::string sourceName, bool utf8, bool withComments);

}  // namespace ADP_Convert

#endif  // PMMLXFORM_ADP_CONVERT_H_
