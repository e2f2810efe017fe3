// Writing DOM nodes as text, and exception texts, without letting an exception
// of the XML libraries through.
#include "xml/writer.h"

#include <cstdio>
#include <exception>
#include <string>
#include <xalanc/PlatformSupport/XSLException.hpp>
#include <xalanc/XalanDOM/XalanDOMException.hpp>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/sax/SAXException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLChar.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLString.hpp>

#include "host/norvel.h"

XMLText::XMLText(const std::string& text) : text_(norvel::QORVMBTranscodeGeneric(text.c_str())) {}

XMLText::~XMLText() { norvel::QORVMBRelease(&text_); }

namespace pmmlxform {

namespace {

using xercesc::DOMNode;

// XML text in the local code page; null gives the empty text.
std::string local(const XMLCh* text) {
  if (text == nullptr) return std::string();
  char* converted = norvel::QORVMBTranscodeGeneric(text);
  std::string result(converted);
  norvel::QORVMBRelease(&converted);
  return result;
}

// Keeps the first error the serialiser reports: the node it names and its text.
class FirstError : public xercesc::DOMErrorHandler {
 public:
  bool handleError(const xercesc::DOMError& error) override {
    if (error.getSeverity() == xercesc::DOMError::DOM_SEVERITY_WARNING || seen_) return true;
    seen_ = true;
    node_ = error.getLocation() == nullptr ? nullptr : error.getLocation()->getRelatedNode();
    text_ = local(error.getMessage());
    return false;
  }
  bool seen() const { return seen_; }
  const DOMNode* node() const { return node_; }
  const std::string& text() const { return text_; }

 private:
  bool seen_ = false;
  const DOMNode* node_ = nullptr;
  std::string text_;
};

// The first character of `text` that an XML document of the given version
// cannot hold as text, tested as the serialiser tests it; 0 when there is none.
XMLCh firstUnwritable(const XMLCh* text, bool xml11) {
  for (; text != nullptr && *text != 0; ++text) {
    const bool ok =
        xml11 ? xercesc::XMLChar1_1::isXMLChar(*text) : xercesc::XMLChar1_0::isXMLChar(*text);
    if (!ok) return *text;
  }
  return 0;
}

// Where a node of text lies, for a message: `attribute "a" of element "e"` or
// `text of element "e"`.
std::string placeOf(const DOMNode* node) {
  if (node->getNodeType() == DOMNode::ATTRIBUTE_NODE) {
    const auto* attribute = static_cast<const xercesc::DOMAttr*>(node);
    std::string place = "attribute \"" + local(attribute->getName()) + "\"";
    if (const xercesc::DOMElement* owner = attribute->getOwnerElement()) {
      place += " of element \"" + local(owner->getNodeName()) + "\"";
    }
    return place;
  }
  const DOMNode* parent = node->getParentNode();
  if (parent != nullptr && parent->getNodeType() == DOMNode::ELEMENT_NODE) {
    return "text of element \"" + local(parent->getNodeName()) + "\"";
  }
  return "text of the document";
}

// What the serialiser refused, as precisely as its report allows.
std::string describe(const FirstError& error, const DOMNode* written) {
  const DOMNode* node = error.node();
  if (node != nullptr) {
    const xercesc::DOMDocument* document = node->getOwnerDocument();
    const XMLCh* version = document == nullptr ? nullptr : document->getXmlVersion();
    const bool xml11 = xercesc::XMLString::equals(version, u"1.1");
    // The serialiser names the attribute, not its text, for a value.
    if (const XMLCh c = firstUnwritable(node->getNodeValue(), xml11)) {
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
      return "the character " + std::string(code) + " in " + placeOf(node) +
             " cannot be written in XML " + (xml11 ? "1.1" : "1.0");
    }
  }
  if (error.seen() && !error.text().empty()) return error.text();
  return "the document " + local(written->getNodeName()) + " cannot be written";
}

}  // namespace

std::string writeNode(xercesc::DOMLSSerializer& serializer, const DOMNode* node,
                      xercesc::DOMLSOutput& output) {
  FirstError error;
  // The handler lives as long as this call; the serialiser forgets it on
  // every way out.
  struct Handler {
    xercesc::DOMConfiguration* config;
    Handler(xercesc::DOMConfiguration* c, FirstError* e) : config(c) { set(e); }
    ~Handler() { set(nullptr); }
    void set(FirstError* e) {
      config->setParameter(xercesc::XMLUni::fgDOMErrorHandler,
                           static_cast<const void*>(static_cast<xercesc::DOMErrorHandler*>(e)));
    }
  } handler(serializer.getDomConfig(), &error);
  bool written = false;
  std::string failure;
  try {
    written = serializer.write(node, &output);
  } catch (...) {
    // The serialiser's own report names the node; the exception adds nothing.
    failure = error.seen() ? std::string() : currentExceptionText();
  }
  if (written) return std::string();
  return failure.empty() ? describe(error, node) : failure;
}

std::string currentExceptionText() {
  try {
    throw;
  } catch (const xercesc::OutOfMemoryException&) {
    throw;
  } catch (const xercesc::XMLException& e) {
    return local(e.getMessage());
  } catch (const xercesc::DOMException& e) {
    return local(e.getMessage());
  } catch (const xercesc::SAXException& e) {
    return local(e.getMessage());
  } catch (const xalanc::XSLException& e) {
    return local(e.getMessage().c_str());
  } catch (const xalanc::XalanDOMException& e) {
    return "DOM exception " + std::to_string(static_cast<int>(e.getExceptionCode()));
  } catch (const std::exception& e) {
    return e.what();
  }
}

}  // namespace pmmlxform
