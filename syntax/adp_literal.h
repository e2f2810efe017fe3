#ifndef PMMLXFORM_SYNTAX_ADP_LITERAL_H_
#define PMMLXFORM_SYNTAX_ADP_LITERAL_H_

// The forms in which text taken from a document may enter the command syntax.
// The host runs what the syntax job writes, so nothing from the document may
// end a command or start a new one: a name is a plain variable name, a string
// is a quoted literal with its apostrophes doubled and no line break, a number
// is a plain numeric literal. Anything else refuses the document.

#include <cstddef>
#include <string>
#include <xercesc/util/XercesDefs.hpp>

namespace pmmlxform {

// True for a variable name: letters of any script, digits and "." "_" "$" "#"
// "@", not starting with a digit or ".", not ending with "." (the language
// reads a final period as the end of a command), not empty.
bool isSyntaxName(const XMLCh* name);

// Why a name that passes isSyntaxName would still not be read as the variable
// it names.
enum class NameProblem {
  kNone,
  kMalformed,       // fails isSyntaxName
  kReservedWord,    // ALL, AND, BY, ... in any case: read as a keyword
  kSystemVariable,  // begins with "$": read as a system variable
  kTooLong,         // more than kMaxNameBytes bytes as written
  kFirstCharacter,  // begins with "_", a digit of any script or a mark
};

// Longest name, in bytes of its written encoding, that the language accepts.
inline constexpr std::size_t kMaxNameBytes = 64;

// Checks `name` (UTF-16) for use as a variable name; `bytes` is its length in
// the encoding it is written in. A name beginning with "#" is a scratch
// variable and is accepted.
NameProblem checkVariableName(const XMLCh* name, std::size_t bytes);

// True for an optional sign, digits with an optional fraction (at least one
// digit in all) and an optional exponent: "2", "-1.5", ".5", "3e-2", whose
// value a double can hold ("1e400" is refused; it would be read as missing).
bool isNumericLiteral(const std::string& text);

// True for a numeric literal in form whose magnitude is too large for a double.
bool isNumberBeyondRange(const std::string& text);

// A numeric literal as written into the syntax: without a leading "+", which
// the language refuses inside RECODE; any other text is kept as it is.
std::string numericLiteralText(const std::string& text);

// True when the text holds no line break of any kind (LF, CR, VT, FF, NEL,
// LINE SEPARATOR, PARAGRAPH SEPARATOR), so that it fits in a quoted literal.
bool isSingleLine(const XMLCh* text);

// True when the text holds a C0 control character (U+0001 to U+001F). A quoted
// literal has no escape for them, and readers of the syntax take some of them
// (tab, the separators U+001C to U+001E) as layout rather than text.
bool hasControlCharacter(const XMLCh* text);

// The text as a quoted literal: between apostrophes, each apostrophe doubled.
std::string quoteLiteral(const std::string& text);

}  // namespace pmmlxform

#endif  // PMMLXFORM_SYNTAX_ADP_LITERAL_H_
