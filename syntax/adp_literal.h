#ifndef PMMLXFORM_SYNTAX_ADP_LITERAL_H_
#define PMMLXFORM_SYNTAX_ADP_LITERAL_H_

// The forms in which text taken from a document may enter the command syntax.
// The host runs what the syntax job writes, so nothing from the document may
// end a command or start a new one: a name is a plain variable name, a string
// is a quoted literal with its apostrophes doubled and no line break, a number
// is a plain numeric literal. Anything else refuses the document.

#include <string>
#include <xercesc/util/XercesDefs.hpp>

namespace pmmlxform {

// True for a variable name: letters of any script, digits and "." "_" "$" "#"
// "@", not starting with a digit or ".", not ending with "." (the language
// reads a final period as the end of a command), not empty.
bool isSyntaxName(const XMLCh* name);

// True for an optional sign, digits with an optional fraction (at least one
// digit in all) and an optional exponent: "2", "-1.5", ".5", "3e-2".
bool isNumericLiteral(const std::string& text);

// True when the text holds no line break of any kind (LF, CR, VT, FF, NEL,
// LINE SEPARATOR, PARAGRAPH SEPARATOR), so that it fits in a quoted literal.
bool isSingleLine(const XMLCh* text);

// The text as a quoted literal: between apostrophes, each apostrophe doubled.
std::string quoteLiteral(const std::string& text);

}  // namespace pmmlxform

#endif  // PMMLXFORM_SYNTAX_ADP_LITERAL_H_
