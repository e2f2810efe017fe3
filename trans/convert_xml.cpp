// The XSLT driver: runs a stylesheet over a DOM document, one transformation at a time.
#include "trans/convert_xml.h"

#include <xalanc/Include/XalanMemoryManagement.hpp>
#include <xalanc/XSLT/XSLTInputSource.hpp>
#include <xalanc/XSLT/XSLTResultTarget.hpp>
#include <xalanc/XalanTransformer/XalanTransformer.hpp>
#include <xalanc/XalanTransformer/XercesDOMWrapperParsedSource.hpp>
#include <xalanc/XercesParserLiaison/XercesDOMSupport.hpp>
#include <xalanc/XercesParserLiaison/XercesParserLiaison.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include <exception>
#include <iostream>
#include <memory>
#include <mutex>
#include <sstream>

#include "trans/interval_parser.h"
#include "trans/xml_parser.h"

namespace {

using xalanc::XalanDOMString;
using xalanc::XalanTransformer;

constexpr char kExceptionPrefix[] = "ConvertByXSLTException:";
constexpr XMLCh kXalanNamespace[] = u"http://xml.apache.org/xalan";
constexpr XMLCh kFunctionName[] = u"intervals";

// Held for a whole conversion: currentTransformer and the standard error
// stream are process-wide, so a second conversion waits for the first.
std::mutex conversionMutex;

// Sends the process's standard error stream into a buffer that is thrown away,
// and puts the stream's own buffer back whichever way the scope is left.
class StandardErrorCapture {
 public:
  StandardErrorCapture() : previous_(std::cerr.rdbuf(&captured_)) {}
  ~StandardErrorCapture() { std::cerr.rdbuf(previous_); }
  StandardErrorCapture(const StandardErrorCapture&) = delete;
  StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

 private:
  std::stringbuf captured_;
  std::streambuf* previous_;
};

// Publishes the running transformer for the extension function.
class CurrentTransformerScope {
 public:
  explicit CurrentTransformerScope(XalanTransformer& transformer) {
    ConvertByXSLT::currentTransformer.store(&transformer);
  }
  ~CurrentTransformerScope() { ConvertByXSLT::currentTransformer.store(nullptr); }
  CurrentTransformerScope(const CurrentTransformerScope&) = delete;
  CurrentTransformerScope& operator=(const CurrentTransformerScope&) = delete;
};

}  // namespace

ConvertXML::ConvertXML() { pmmlxform::initializeXmlPlatform(); }

ConvertXML::~ConvertXML() { pmmlxform::terminateXmlPlatform(); }

bool ConvertByXSLT::xsltEngineReady = false;
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
  if (source == nullptr || source->getNodeType() != xercesc::DOMNode::DOCUMENT_NODE) {
    return std::string(kExceptionPrefix) + "the source is not a document";
  }
  const xercesc::DOMDocument* document = static_cast<const xercesc::DOMDocument*>(source);
  // The engine crashes on a document without a document element.
  if (document->getDocumentElement() == nullptr) {
    return std::string(kExceptionPrefix) + "the source document is empty";
  }
  xalanc::MemoryManager& memory = xalanc::XalanMemMgrs::getDefaultXercesMemMgr();

  std::lock_guard<std::mutex> lock(conversionMutex);
  std::string error;
  XalanTransformer transformer(memory);
  CurrentTransformerScope current(transformer);
  const IntervalParser function;
  transformer.installExternalFunction(XalanDOMString(kXalanNamespace, memory),
                                      XalanDOMString(kFunctionName, memory), function);
  xalanc::XercesParserLiaison liaison(memory);
  xalanc::XercesDOMSupport support(liaison);
  try {
    const xalanc::XercesDOMWrapperParsedSource wrapped(document, liaison, support,
                                                       XalanDOMString(memory), memory);
    std::ostringstream output;
    int status = 0;
    {
      StandardErrorCapture capture;
      const xalanc::XSLTResultTarget target(output, memory);
      const xalanc::XSLTInputSource stylesheetSource(stylesheet, memory);
      status = transformer.transform(wrapped, stylesheetSource, target);
    }
    if (status != 0) {
      error = transformer.getLastError();
    } else {
      const std::string text = output.str();
      pmmlxform::HardenedDOMParser parser;
      // Output that is not a well-formed document gives no document at all
      // rather than whatever part of it parsed.
      if (parser.parseText(text) == 0 && parser.getDocument() != nullptr) {
        result = static_cast<xercesc::DOMDocument*>(parser.getDocument()->cloneNode(true));
      } else {
        result = nullptr;
      }
    }
  } catch (const std::exception& e) {
    error = std::string(kExceptionPrefix) + e.what();
  }
  return error;
}
