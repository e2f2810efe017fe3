#ifndef PMMLXFORM_XML_DOCUMENT_TEXT_H_
#define PMMLXFORM_XML_DOCUMENT_TEXT_H_

// A direct writer of the documents the jobs build, producing the same bytes
// as the XML library's serialiser (DOMLSSerializer with its default settings,
// with or without pretty-printing) at a fraction of its cost: the serialiser
// checks and transcodes one character at a time through several layers.

#include <cstddef>
#include <string>
#include <xercesc/dom/DOMDocument.hpp>

namespace pmmlxform {

// How a run of characters is escaped when written: not at all (names,
// comments, instructions), as an attribute value, or as character data.
// Attribute values escape "&", "<", the quote and the three layout
// characters, which a reader would otherwise fold into spaces; character data
// escapes "&", "<", ">" and the carriage return, which a reader would drop.
enum class Escapes { kNone, kAttribute, kCharacters };

// Appends `length` characters of `text` to `out` as UTF-8 with the escapes
// asked for. Returns false at the first character that XML 1.0 cannot hold (a
// lone surrogate among them); `out` then holds the characters before it.
bool appendEscaped(std::string& out, const XMLCh* text, std::size_t length, Escapes escapes);

// Writes `document` as UTF-8 XML text into `text`, as the serialiser writes it.
// Returns false, with `text` left as it was, for a document outside what it
// writes: an encoding other than UTF-8, an XML version other than 1.0, a
// node with a namespace, a CDATA section, an entity reference, a document
// type, or a character XML 1.0 cannot hold (a lone surrogate among them). The
// caller writes such a document with the serialiser, which also reports what
// it cannot write.
bool writeDocumentText(const xercesc::DOMDocument& document, bool prettyPrint, std::string& text);

}  // namespace pmmlxform

#endif  // PMMLXFORM_XML_DOCUMENT_TEXT_H_
