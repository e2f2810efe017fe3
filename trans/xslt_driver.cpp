// The XSLT driver: runs a stylesheet over a DOM document, one transformation at a time.
#include "trans/xslt_driver.h"

#include <exception>
#include <iostream>
#include <memory>
#include <mutex>
#include <xalanc/Include/XalanMemoryManagement.hpp>
#include <xalanc/XSLT/ProblemListener.hpp>
#include <xalanc/XSLT/XSLTInputSource.hpp>
#include <xalanc/XSLT/XSLTResultTarget.hpp>
#include <xalanc/XalanTransformer/XalanTransformer.hpp>
#include <xalanc/XalanTransformer/XercesDOMWrapperParsedSource.hpp>
#include <xalanc/XercesParserLiaison/XercesDOMSupport.hpp>
#include <xalanc/XercesParserLiaison/XercesParserLiaison.hpp>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "trans/interval_parser.h"
#include "trans/recode_intervals.h"
#include "xml/dom.h"
#include "xml/parser.h"
#include "xml/writer.h"

namespace {

using xalanc::XalanDOMString;
using xalanc::XalanTransformer;

constexpr char kExceptionPrefix[] = "ConvertByXSLTException:";
constexpr XMLCh kXalanNamespace[] = u"http://xml.apache.org/xalan";
constexpr XMLCh kFunctionName[] = u"intervals";
constexpr XMLCh kRecodeFunctionName[] = u"recode-intervals";

// Held for a whole conversion: currentTransformer is process-wide, so a second
// conversion waits for the first.
std::mutex conversionMutex;

// Set once the XSLT engine has been initialised (by the first converter); the
// engine then stays initialised until the process ends.
bool xsltEngineReady = false;

// Takes the engine's warnings and messages (a non-terminating xsl:message among
// them), which the engine would otherwise write to the process's standard error
// stream, and drops them: a stylesheet's failure reaches the caller as the
// engine's last error, and the process's streams stay the host's.
class DroppedProblems : public xalanc::ProblemListener {
 public:
  void setPrintWriter(xalanc::PrintWriter*) override {}
  void problem(eSource, eClassification, const XalanDOMString&, const xalanc::Locator*,
               const xalanc::XalanNode*) override {}
  void problem(eSource, eClassification, const XalanDOMString&, const xalanc::XalanNode*) override {
  }
  void problem(eSource, eClassification, const xalanc::XalanNode*,
               const xalanc::ElemTemplateElement*, const XalanDOMString&,
               const xalanc::XalanDOMChar*, xalanc::XalanFileLoc, xalanc::XalanFileLoc) override {}
};

// Takes the parser's reports on the documents the engine reads itself (the
// source's text, the stylesheet), which the engine's parser would otherwise
// write to the process's standard error stream: warnings and recoverable
// errors are dropped, as the engine's parser does without validation; a fatal
// error stops the parse as it does there.
class ParserReports : public xercesc::ErrorHandler {
 public:
  void warning(const xercesc::SAXParseException&) override {}
  void error(const xercesc::SAXParseException&) override {}
  void fatalError(const xercesc::SAXParseException& e) override { throw e; }
  void resetErrors() override {}
};

// Publishes the running transformer for the extension function.
class CurrentTransformerScope {
 public:
  explicit CurrentTransformerScope(XalanTransformer& transformer) {
    ConvertByXSLT::currentTransformer.store(&transformer);
  }
  ~CurrentTransformerScope() {
    ConvertByXSLT::currentTransformer.store(nullptr);
    IntervalParser::lastBuilder = nullptr;
  }
  CurrentTransformerScope(const CurrentTransformerScope&) = delete;
  CurrentTransformerScope& operator=(const CurrentTransformerScope&) = delete;
};

// The engine for one conversion, with the extension function installed and
// published for it.
struct Engine {
  explicit Engine(xalanc::MemoryManager& memory)
      : transformer(memory), current(transformer), liaison(memory), support(liaison) {
    IntervalParser::lastBuilder = nullptr;
    transformer.setProblemListener(&problems);
    transformer.setErrorHandler(&parserReports);
    transformer.setWarningStream(nullptr);
    transformer.setErrorStream(nullptr);
    transformer.installExternalFunction(XalanDOMString(kXalanNamespace, memory),
                                        XalanDOMString(kFunctionName, memory), function);
    transformer.installExternalFunction(XalanDOMString(kXalanNamespace, memory),
                                        XalanDOMString(kRecodeFunctionName, memory),
                                        recodeFunction);
  }

  DroppedProblems problems;
  ParserReports parserReports;
  XalanTransformer transformer;
  CurrentTransformerScope current;
  const IntervalParser function;
  const RecodeIntervals recodeFunction;
  xalanc::XercesParserLiaison liaison;
  xalanc::XercesDOMSupport support;
};

// Reads a text in place as a stream (std::istringstream would copy it). The
// get area is only ever read.
class TextReader : public std::streambuf {
 public:
  explicit TextReader(const std::string& text) {
    char* begin = const_cast<char*>(text.data());
    setg(begin, begin, begin + text.size());
  }
};

// Collects what is written in a string that can be moved out
// (std::ostringstream hands out only a copy).
class TextWriter : public std::streambuf {
 public:
  std::string text;

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof()))
      text.push_back(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    text.append(s, static_cast<std::size_t>(n));
    return n;
  }
};

// True when the engine may read the document from its text into its own source
// tree and see exactly what the DOM holds: no name has a prefix or a namespace
// (the engine parses with namespaces, the documents are parsed without), and no
// attribute value or text holds a character that reparsing would normalise.
bool hasPlainText(const xercesc::DOMNode* root) {
  auto plainValue = [](const XMLCh* value) {
    if (value == nullptr) return true;
    for (; *value != 0; ++value) {
      if (*value == u'\t' || *value == u'\n' || *value == u'\r') return false;
    }
    return true;
  };
  auto plainName = [](const xercesc::DOMNode* node) {
    if (node->getNamespaceURI() != nullptr) return false;
    const XMLCh* name = node->getNodeName();
    static const XMLCh kXmlns[] = u"xmlns";
    return xercesc::XMLString::indexOf(name, u':') < 0 && !xercesc::XMLString::equals(name, kXmlns);
  };
  const xercesc::DOMNode* node = root;
  while (node != nullptr) {
    switch (node->getNodeType()) {
      case xercesc::DOMNode::ELEMENT_NODE: {
        if (!plainName(node)) return false;
        const xercesc::DOMNamedNodeMap* attributes = node->getAttributes();
        for (XMLSize_t i = 0; i < attributes->getLength(); ++i) {
          const xercesc::DOMNode* attribute = attributes->item(i);
          if (!plainName(attribute) || !plainValue(attribute->getNodeValue())) return false;
        }
        break;
      }
      case xercesc::DOMNode::TEXT_NODE:
      case xercesc::DOMNode::CDATA_SECTION_NODE:
        // Layout between elements is stripped by the stylesheet; a line end
        // inside text would come back as "\n".
        for (const XMLCh* c = node->getNodeValue(); c != nullptr && *c != 0; ++c) {
          if (*c == u'\r') return false;
        }
        break;
      case xercesc::DOMNode::COMMENT_NODE:
      case xercesc::DOMNode::PROCESSING_INSTRUCTION_NODE:
        break;
      default:  // entity references and anything else the text would not carry as is
        return false;
    }
    if (node->getFirstChild() != nullptr) {
      node = node->getFirstChild();
      continue;
    }
    while (node != root && node->getNextSibling() == nullptr) node = node->getParentNode();
    node = node == root ? nullptr : node->getNextSibling();
  }
  return true;
}

// The document element written as UTF-8 text, without declaration or document
// type; the empty text when it cannot be written.
std::string elementText(const xercesc::DOMElement* element) {
  static const XMLCh kCore[] = u"Core";
  static const XMLCh kUtf8[] = u"UTF-8";
  xercesc::DOMImplementation* impl =
      xercesc::DOMImplementationRegistry::getDOMImplementation(kCore);
  std::unique_ptr<xercesc::DOMLSSerializer, pmmlxform::Releaser> serializer(
      impl->createLSSerializer());
  std::unique_ptr<xercesc::DOMLSOutput, pmmlxform::Releaser> output(impl->createLSOutput());
  xercesc::MemBufFormatTarget target(64 * 1024);
  output->setByteStream(&target);
  output->setEncoding(kUtf8);
  xercesc::DOMConfiguration* config = serializer->getDomConfig();
  if (config->canSetParameter(xercesc::XMLUni::fgDOMXMLDeclaration, false)) {
    config->setParameter(xercesc::XMLUni::fgDOMXMLDeclaration, false);
  }
  // Attribute values the document type supplies are written out as well: the
  // text carries no document type, and a parsed document marks them as not
  // specified, which the serialiser would otherwise leave out.
  if (config->canSetParameter(xercesc::XMLUni::fgDOMWRTDiscardDefaultContent, false)) {
    config->setParameter(xercesc::XMLUni::fgDOMWRTDiscardDefaultContent, false);
  }
  // A document that cannot be written as text (an XML 1.1 document holding a
  // control character, which the serialiser refuses) goes to the engine as a
  // DOM, which carries every character.
  if (!pmmlxform::writeNode(*serializer, element, *output).empty()) return std::string();
  return std::string(reinterpret_cast<const char*>(target.getRawBuffer()), target.getLen());
}

// The document to convert, or an error text in `error`.
const xercesc::DOMDocument* sourceDocument(xercesc::DOMNode* source, std::string& error) {
  if (source == nullptr || source->getNodeType() != xercesc::DOMNode::DOCUMENT_NODE) {
    error = std::string(kExceptionPrefix) + "the source is not a document";
    return nullptr;
  }
  const auto* document = static_cast<const xercesc::DOMDocument*>(source);
  // The engine crashes on a document without a document element.
  if (document->getDocumentElement() == nullptr) {
    error = std::string(kExceptionPrefix) + "the source document is empty";
    return nullptr;
  }
  return document;
}

// Runs the stylesheet over `document` into `target`; the engine's status.
// `sourceText` is null or the text the document was parsed from.
int run(Engine& engine, const xercesc::DOMDocument* document, std::istream& stylesheet,
        const xalanc::XSLTResultTarget& target, xalanc::MemoryManager& memory,
        const std::string* sourceText = nullptr) {
  // The engine reads the document fastest from its text into its own source
  // tree; the wrapped DOM stays for documents whose text would not carry them
  // unchanged. The text the document came from says the same as the
  // document's own when it has no document type (no defaults, entities or
  // external subset the engine's parser would read differently) and is XML
  // 1.0, as the document's own text is read.
  std::string written;
  const std::string* text = &written;
  if (hasPlainText(document->getDocumentElement())) {
    if (sourceText != nullptr && document->getDoctype() == nullptr &&
        xercesc::XMLString::equals(document->getXmlVersion(), u"1.0")) {
      text = sourceText;
    } else {
      written = elementText(document->getDocumentElement());
    }
  }
  const xalanc::XSLTInputSource stylesheetSource(stylesheet, memory);
  if (text->empty()) {
    const xalanc::XercesDOMWrapperParsedSource wrapped(document, engine.liaison, engine.support,
                                                       XalanDOMString(memory), memory);
    return engine.transformer.transform(wrapped, stylesheetSource, target);
  }
  TextReader reader(*text);
  std::istream input(&reader);
  const xalanc::XSLTInputSource source(input, memory);
  return engine.transformer.transform(source, stylesheetSource, target);
}

}  // namespace

ConvertXML::ConvertXML() { pmmlxform::initializeXmlPlatform(); }

ConvertXML::~ConvertXML() { pmmlxform::terminateXmlPlatform(); }

std::atomic<xalanc::XalanTransformer*> ConvertByXSLT::currentTransformer{nullptr};

ConvertByXSLT::ConvertByXSLT() {
  // The platform's own lock also covers the engine's one-time set-up, which
  // the XML library does not guard either.
  std::lock_guard<std::mutex> lock(pmmlxform::xmlPlatformMutex());
  if (!xsltEngineReady) {
    // One extra platform reference that is never given back keeps the engine's
    // platform alive after the last converter goes.
    xercesc::XMLPlatformUtils::Initialize();
    XalanTransformer::initialize(xalanc::XalanMemMgrs::getDefaultXercesMemMgr());
    xsltEngineReady = true;
  }
}

ConvertByXSLT::~ConvertByXSLT() = default;

std::string ConvertByXSLT::convert(xercesc::DOMNode* source, std::istream& stylesheet,
                                   xercesc::DOMDocument*& result) {
  std::string error;
  const xercesc::DOMDocument* document = sourceDocument(source, error);
  if (document == nullptr) return error;
  xalanc::MemoryManager& memory = xalanc::XalanMemMgrs::getDefaultXercesMemMgr();

  std::lock_guard<std::mutex> lock(conversionMutex);
  try {
    auto engine = std::make_unique<Engine>(memory);
    int status = 0;
    std::string outputText;
    {
      TextWriter written;
      std::ostream output(&written);
      const xalanc::XSLTResultTarget target(output, memory);
      status = run(*engine, document, stylesheet, target, memory);
      outputText = std::move(written.text);
    }
    if (status != 0) error = engine->transformer.getLastError();
    // The source text, the wrapped DOM and the engine with what it keeps are
    // gone before the output is parsed.
    engine.reset();
    if (status == 0) {
      pmmlxform::HardenedDOMParser parser;
      // Output that is not a well-formed document gives no document at all
      // rather than whatever part of it parsed.
      if (parser.parseText(outputText) == 0 && parser.getDocument() != nullptr) {
        result = parser.adoptDocument();
      } else {
        result = nullptr;
      }
    }
  } catch (...) {
    // Held as text: the exception goes before the platform may.
    error = std::string(kExceptionPrefix) + pmmlxform::currentExceptionText();
  }
  return error;
}

std::string ConvertByXSLT::convertInto(xercesc::DOMNode* source, std::istream& stylesheet,
                                       xalanc::FormatterListener& listener,
                                       const std::string* sourceText) {
  std::string error;
  const xercesc::DOMDocument* document = sourceDocument(source, error);
  if (document == nullptr) return error;
  xalanc::MemoryManager& memory = xalanc::XalanMemMgrs::getDefaultXercesMemMgr();

  std::lock_guard<std::mutex> lock(conversionMutex);
  try {
    Engine engine(memory);
    const xalanc::XSLTResultTarget target(listener, memory);
    if (run(engine, document, stylesheet, target, memory, sourceText) != 0) {
      error = engine.transformer.getLastError();
    }
  } catch (...) {
    // Held as text: the exception goes before the platform may.
    error = std::string(kExceptionPrefix) + pmmlxform::currentExceptionText();
  }
  return error;
}
