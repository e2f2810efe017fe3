#ifndef PMMLXFORM_XML_WRITER_H_
#define PMMLXFORM_XML_WRITER_H_

// Text in and out of the XML library: 8-bit texts made XML text, DOM nodes
// written as text, and the text of the exceptions the XML library and
// the XSLT engine throw. Together they keep every failure of either library a
// result code with a message: the serialiser throws for a character that the
// document's XML version cannot hold as text (a control character that an XML
// 1.1 document took in as a character reference), and an exception object of
// the XML library must not outlive the platform, which each entry point
// terminates on its way out. A message text can.

#include <string>
#include <xercesc/dom/DOMLSOutput.hpp>
#include <xercesc/dom/DOMLSSerializer.hpp>
#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/util/XercesDefs.hpp>

// Owns the XML text made from one 8-bit text in the local code page; releases
// it when destroyed. Used to build element, attribute and feature names.
class XMLText {
 public:
  explicit XMLText(const std::string& text);
  ~XMLText();
  XMLText(const XMLText&) = delete;
  XMLText& operator=(const XMLText&) = delete;

  const XMLCh* get() const { return text_; }

 private:
  XMLCh* text_;
};

namespace pmmlxform {

// Writes `node` through `serializer` into `output`. Returns the empty text on
// success, otherwise what stopped it, such as `the character U+0001 in
// attribute "displayName" of element "DataField" cannot be written in XML 1.0`;
// the output then holds part of the text. Throws nothing but out-of-memory.
std::string writeNode(xercesc::DOMLSSerializer& serializer, const xercesc::DOMNode* node,
                      xercesc::DOMLSOutput& output);

// The text of the exception being handled, in the local code page: one of the
// XML library (XMLException and its parse and transcoding kinds, DOMException
// and DOMLSException, SAXException), of the XSLT engine (XSLException,
// XalanDOMException) or a standard one. The XML library's out-of-memory
// exception, and exceptions of any other kind, are thrown on. Call it only
// inside a catch handler.
std::string currentExceptionText();

}  // namespace pmmlxform

#endif  // PMMLXFORM_XML_WRITER_H_
