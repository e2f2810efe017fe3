#ifndef PMMLXFORM_XML_PARSER_H_
#define PMMLXFORM_XML_PARSER_H_

// The one XML parser set-up of the library. Every place that parses text into
// a DOM uses HardenedDOMParser, which differs from a default XercesDOMParser in
// what it refuses to do with untrusted input:
// - no external entity, external DTD or schema is ever loaded (a reference to
//   an external entity is a parse error);
// - entity expansion is capped (kMaxEntityExpansions), which stops "billion
//   laughs" documents in milliseconds;
// - elements nested deeper than kMaxElementDepth are a parse error, because the
//   library's later passes over the DOM recurse.
// - an 8-bit text holding a zero byte is refused (parseBytes/parseText).
// Every refusal shows as an error count above zero and the parse stops there,
// exactly like a well-formedness error; the parser throws nothing of its own,
// and parseBytes turns the XML library's own parse exceptions into an error.
// Internal entities within the cap and character references keep working;
// entity references are expanded into plain text (no EntityReference nodes).

#include <cstddef>
#include <istream>
#include <mutex>
#include <string>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/SecurityManager.hpp>

namespace pmmlxform {

// Deepest element nesting accepted. Real PMML rarely passes 100 levels (deep
// tree models included); the library's recursive passes stay well inside a
// 1 MiB thread stack at this depth.
inline constexpr std::size_t kMaxElementDepth = 1000;

// Most entity expansions in one document; real PMML uses none or a handful.
inline constexpr std::size_t kMaxEntityExpansions = 10000;

// Longest replacement text of an internal entity. With the expansion cap this
// bounds what entities can add to a document (about 10 million characters):
// the cap alone would let 10,000 references to one long entity grow a small
// document into gigabytes.
inline constexpr std::size_t kMaxEntityLength = 1024;

class HardenedDOMParser : public xercesc::XercesDOMParser {
 public:
  HardenedDOMParser();
  ~HardenedDOMParser() override;
  HardenedDOMParser(const HardenedDOMParser&) = delete;
  HardenedDOMParser& operator=(const HardenedDOMParser&) = delete;

  // True when the last parse stopped because the document nested too deeply.
  bool tooDeep() const { return tooDeep_; }

  // Parses `size` bytes at `bytes` (not copied; must outlive the call).
  // Returns the parser's error count (at least 1 when the XML library threw):
  // 0 means getDocument() holds the document.
  // An 8-bit text holding a zero byte is refused (the scanner alone would drop
  // whatever follows a zero byte after the document element).
  std::size_t parseBytes(const char* bytes, std::size_t size);
  std::size_t parseText(const std::string& text) { return parseBytes(text.data(), text.size()); }

  // XMLDocumentHandler hooks that track the nesting depth.
  void startDocument() override;
  void startElement(const xercesc::XMLElementDecl& elemDecl, const unsigned int urlId,
                    const XMLCh* const elemPrefix,
                    const xercesc::RefVectorOf<xercesc::XMLAttr>& attrList,
                    const XMLSize_t attrCount, const bool isEmpty, const bool isRoot) override;
  void endElement(const xercesc::XMLElementDecl& elemDecl, const unsigned int urlId,
                  const bool isRoot, const XMLCh* const elemPrefix) override;
  // DocTypeHandler hook that refuses overlong entities.
  void entityDecl(const xercesc::DTDEntityDecl& entityDecl, const bool isPEDecl,
                  const bool isIgnored) override;

 private:
  xercesc::SecurityManager security_;
  std::size_t depth_ = 0;
  bool tooDeep_ = false;
};

// The XML platform counts its initialisations but does not guard the count:
// two threads initialising or terminating at once corrupt it. Every
// initialisation and termination the library makes goes through these two
// functions, which serialise them behind one process-wide lock.
void initializeXmlPlatform();
void terminateXmlPlatform();

// The lock itself, for one-time set-up that must happen under it too (the XSLT
// engine's). Not held while documents are parsed or converted.
std::mutex& xmlPlatformMutex();

// Reads a stream to its end, every byte of it. A zero byte is kept, so the
// parser refuses the text as the invalid XML it is, where dropping the rest of
// a piece at it would splice the pieces around it into another document. End
// of stream and errors alike stop it.
std::string readAll(std::istream& input);

// Initialises the XML platform for the lifetime of the object; the platform
// counts initialisations, so guards nest with any other user in the process.
class XmlPlatformGuard {
 public:
  XmlPlatformGuard();
  ~XmlPlatformGuard();
  XmlPlatformGuard(const XmlPlatformGuard&) = delete;
  XmlPlatformGuard& operator=(const XmlPlatformGuard&) = delete;
};

}  // namespace pmmlxform

#endif  // PMMLXFORM_XML_PARSER_H_
