// Hardened DOM parsing shared by every job of the library.
#include "xml/parser.h"

#include <algorithm>
#include <cstring>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/internal/XMLScanner.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/validators/DTD/DTDEntityDecl.hpp>

namespace pmmlxform {

using xercesc::XercesDOMParser;

HardenedDOMParser::HardenedDOMParser() {
  setValidationScheme(XercesDOMParser::Val_Never);
  setDoNamespaces(false);
  setDoSchema(false);
  setLoadSchema(false);
  setLoadExternalDTD(false);
  setSkipDTDValidation(true);
  setDisableDefaultEntityResolution(true);
  setCreateEntityReferenceNodes(false);
  setExitOnFirstFatalError(true);
  security_.setEntityExpansionLimit(kMaxEntityExpansions);
  setSecurityManager(&security_);
}

HardenedDOMParser::~HardenedDOMParser() = default;

namespace {

// True when the text starts as a UTF-16 or UTF-32 document would (a byte order
// mark, or "<" / "<?" with zero bytes beside them); only those may hold zero bytes.
bool wideEncoding(const unsigned char* b, std::size_t size) {
  if (size >= 2 && ((b[0] == 0xFE && b[1] == 0xFF) || (b[0] == 0xFF && b[1] == 0xFE))) return true;
  if (size >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] == '<') return true;
  if (size >= 4 && b[0] == '<' && b[1] == 0 && b[2] == 0 && b[3] == 0) return true;
  if (size >= 2 && ((b[0] == 0 && b[1] == '<') || (b[0] == '<' && b[1] == 0))) return true;
  return false;
}

}  // namespace

std::size_t HardenedDOMParser::parseBytes(const char* bytes, std::size_t size) {
  const auto* data = reinterpret_cast<const XMLByte*>(bytes);
  // A zero byte is never part of an 8-bit XML text, but the scanner takes one
  // after the document element for the end of input and ignores what follows.
  // Parse an empty text instead, which fails like any other malformed input.
  if (!wideEncoding(data, size) && std::memchr(bytes, 0, size) != nullptr) size = 0;
  xercesc::MemBufInputSource source(data, size, "", false);
  // The scanner reports most malformed input as errors, but some (an XML
  // declaration naming an unknown version, say) reach the DOM builder, which
  // throws. Those are malformed input too, not a reason to unwind into the
  // host; out-of-memory is no XMLException and still passes.
  try {
    parse(source);
  } catch (const xercesc::XMLException&) {
    return std::max<std::size_t>(getErrorCount(), 1);
  } catch (const xercesc::DOMException&) {
    return std::max<std::size_t>(getErrorCount(), 1);
  }
  return getErrorCount();
}

void HardenedDOMParser::startDocument() {
  depth_ = 0;
  tooDeep_ = false;
  XercesDOMParser::startDocument();
}

void HardenedDOMParser::startElement(const xercesc::XMLElementDecl& elemDecl,
                                     const unsigned int urlId, const XMLCh* const elemPrefix,
                                     const xercesc::RefVectorOf<xercesc::XMLAttr>& attrList,
                                     const XMLSize_t attrCount, const bool isEmpty,
                                     const bool isRoot) {
  if (++depth_ > kMaxElementDepth) {
    tooDeep_ = true;
    // A fatal error counts as a parse error and, with exit-on-first-fatal set,
    // unwinds the scanner, which ends the parse cleanly.
    static const XMLCh kText[] = u"element nesting too deep";
    getScanner()->emitError(xercesc::XMLErrs::XMLException_Fatal, kText);
    return;
  }
  // The base class calls endElement itself for an empty element.
  XercesDOMParser::startElement(elemDecl, urlId, elemPrefix, attrList, attrCount, isEmpty, isRoot);
}

void HardenedDOMParser::entityDecl(const xercesc::DTDEntityDecl& entityDecl, const bool isPEDecl,
                                   const bool isIgnored) {
  if (entityDecl.getValueLen() > kMaxEntityLength) {
    static const XMLCh kText[] = u"entity too long";
    getScanner()->emitError(xercesc::XMLErrs::XMLException_Fatal, kText);
    return;
  }
  XercesDOMParser::entityDecl(entityDecl, isPEDecl, isIgnored);
}

void HardenedDOMParser::endElement(const xercesc::XMLElementDecl& elemDecl,
                                   const unsigned int urlId, const bool isRoot,
                                   const XMLCh* const elemPrefix) {
  if (depth_ > 0) --depth_;
  XercesDOMParser::endElement(elemDecl, urlId, isRoot, elemPrefix);
}

std::string readAll(std::istream& input) {
  std::string text;
  char buffer[1023];
  for (;;) {
    input.read(buffer, sizeof buffer);
    const std::streamsize n = input.gcount();
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

std::mutex& xmlPlatformMutex() {
  // Never destroyed: objects of other translation units may still terminate
  // the platform while static destructors run.
  static std::mutex* const mutex = new std::mutex;
  return *mutex;
}

void initializeXmlPlatform() {
  std::lock_guard<std::mutex> lock(xmlPlatformMutex());
  xercesc::XMLPlatformUtils::Initialize();
}

void terminateXmlPlatform() {
  std::lock_guard<std::mutex> lock(xmlPlatformMutex());
  xercesc::XMLPlatformUtils::Terminate();
}

XmlPlatformGuard::XmlPlatformGuard() { initializeXmlPlatform(); }
XmlPlatformGuard::~XmlPlatformGuard() { terminateXmlPlatform(); }

}  // namespace pmmlxform
