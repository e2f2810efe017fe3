// Reads a produced PMML document back with Xerces-C for the tool's --indent
// and the transform job's report.
#include "cli/pmml_text.h"

#include <memory>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLChar.hpp>
#include <xercesc/util/XMLString.hpp>

namespace cli {

using xercesc::DOMElement;
using xercesc::DOMNode;
using xercesc::XMLString;

namespace {

// UTF-8 text of a Xerces string.
std::string utf8(const XMLCh* text) {
  if (text == nullptr) return {};
  xercesc::TranscodeToStr out(text, "UTF-8");
  return reinterpret_cast<const char*>(out.str());
}

// Removes text nodes of whitespace alone that stand between elements; an
// element holding only text keeps it.
void dropLayout(DOMNode* node) {
  bool hasElement = false;
  for (DOMNode* c = node->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
    if (c->getNodeType() == DOMNode::ELEMENT_NODE) hasElement = true;
  }
  for (DOMNode* c = node->getFirstChild(); c != nullptr;) {
    DOMNode* next = c->getNextSibling();
    if (c->getNodeType() == DOMNode::ELEMENT_NODE) {
      dropLayout(c);
    } else if (hasElement && c->getNodeType() == DOMNode::TEXT_NODE &&
               xercesc::XMLChar1_0::isAllSpaces(c->getNodeValue(),
                                                XMLString::stringLen(c->getNodeValue()))) {
      node->removeChild(c)->release();
    }
    c = next;
  }
}

}  // namespace

struct PmmlText::Parsed {
  Parsed() { xercesc::XMLPlatformUtils::Initialize(); }
  ~Parsed() {
    parser.reset();
    xercesc::XMLPlatformUtils::Terminate();
  }
  std::unique_ptr<xercesc::XercesDOMParser> parser;
};

PmmlText::PmmlText(const std::string& text) : parsed_(new Parsed) {
  try {
    parsed_->parser = std::make_unique<xercesc::XercesDOMParser>();
    xercesc::XercesDOMParser& parser = *parsed_->parser;
    parser.setDoNamespaces(true);
    parser.setLoadExternalDTD(false);
    parser.setDisableDefaultEntityResolution(true);
    parser.setCreateEntityReferenceNodes(false);
    xercesc::HandlerBase errors;  // throws on the first error
    parser.setErrorHandler(&errors);
    const xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(text.data()),
                                            text.size(), "output");
    parser.parse(source);
    if (parser.getDocument() == nullptr) error_ = "no document";
  } catch (const xercesc::SAXParseException& e) {
    error_ = utf8(e.getMessage());
  } catch (const xercesc::XMLException& e) {
    error_ = utf8(e.getMessage());
  } catch (const xercesc::DOMException& e) {
    error_ = utf8(e.getMessage());
  }
}

PmmlText::~PmmlText() { delete parsed_; }

std::string PmmlText::indented() const {
  xercesc::DOMDocument* document = parsed_->parser->getDocument();
  dropLayout(document);
  static const XMLCh kCore[] = u"LS";
  xercesc::DOMImplementation* impl =
      xercesc::DOMImplementationRegistry::getDOMImplementation(kCore);
  std::unique_ptr<xercesc::DOMLSSerializer, void (*)(xercesc::DOMLSSerializer*)> serializer(
      impl->createLSSerializer(), [](xercesc::DOMLSSerializer* s) { s->release(); });
  std::unique_ptr<xercesc::DOMLSOutput, void (*)(xercesc::DOMLSOutput*)> output(
      impl->createLSOutput(), [](xercesc::DOMLSOutput* o) { o->release(); });
  xercesc::DOMConfiguration* config = serializer->getDomConfig();
  if (config->canSetParameter(xercesc::XMLUni::fgDOMWRTFormatPrettyPrint, true)) {
    config->setParameter(xercesc::XMLUni::fgDOMWRTFormatPrettyPrint, true);
  }
  xercesc::MemBufFormatTarget target;
  output->setByteStream(&target);
  serializer->write(document, output.get());
  return std::string(reinterpret_cast<const char*>(target.getRawBuffer()), target.getLen());
}

std::vector<TmsEndInfo> PmmlText::dataFields() const {
  std::vector<TmsEndInfo> fields;
  const DOMElement* root = parsed_->parser->getDocument()->getDocumentElement();
  if (root == nullptr) return fields;
  for (const DOMElement* dict = root->getFirstElementChild(); dict != nullptr;
       dict = dict->getNextElementSibling()) {
    if (!XMLString::equals(dict->getLocalName(), u"DataDictionary")) continue;
    for (const DOMElement* f = dict->getFirstElementChild(); f != nullptr;
         f = f->getNextElementSibling()) {
      if (!XMLString::equals(f->getLocalName(), u"DataField")) continue;
      fields.push_back({utf8(f->getAttribute(u"name")), utf8(f->getAttribute(u"displayName")),
                        utf8(f->getAttribute(u"dataType")), utf8(f->getAttribute(u"optype"))});
    }
  }
  return fields;
}

}  // namespace cli
