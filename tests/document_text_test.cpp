// The direct document writer against the XML library's serialiser: the same
// bytes on random documents, with and without pretty-printing, built through
// the DOM and read back by the jobs' parser; and a refusal, text untouched,
// for what it does not write.
#include "xml/document_text.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <string>
#include <utility>
#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

#include "tests/random_documents.h"
#include "tests/test_util.h"
#include "xml/dom.h"
#include "xml/parser.h"

namespace {

using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;

xercesc::DOMImplementation* core() {
  return xercesc::DOMImplementationRegistry::getDOMImplementation(u"Core");
}

// What the serialiser writes for the document, as UTF-8 bytes.
std::string serialised(const DOMDocument* document, bool prettyPrint) {
  std::unique_ptr<xercesc::DOMLSSerializer, pmmlxform::Releaser> serializer(
      core()->createLSSerializer());
  serializer->getDomConfig()->setParameter(xercesc::XMLUni::fgDOMWRTFormatPrettyPrint, prettyPrint);
  std::unique_ptr<xercesc::DOMLSOutput, pmmlxform::Releaser> output(core()->createLSOutput());
  xercesc::MemBufFormatTarget target;
  output->setByteStream(&target);
  EXPECT_TRUE(serializer->write(document, output.get()));
  return std::string(reinterpret_cast<const char*>(target.getRawBuffer()), target.getLen());
}

// Texts made of the characters each kind of escaping treats apart, characters
// beyond ASCII in one, two and three bytes and a surrogate pair, and layout.
const std::u16string kPieces[] = {u"a",
                                  u"Bc",
                                  u" ",
                                  u"&",
                                  u"<",
                                  u">",
                                  u"\"",
                                  u"'",
                                  u"\t",
                                  u"\n",
                                  u"\r",
                                  u"\r\n",
                                  u"\u00e9",
                                  u"\u20ac",
                                  std::u16string(1, char16_t{0x7F}),
                                  std::u16string(1, char16_t{0x85}),
                                  u"\u2028",
                                  u"\U0001F600",
                                  u"]]>",
                                  u"--",
                                  u"?>",
                                  u"0.5"};
const std::u16string kLayouts[] = {u"",     u" ",    u"\n",     u"\n  ", u"\n    ",
                                   u"\n\n", u"    ", u"\r\n  ", u"\r",   u" \n\t \n        "};
const std::u16string kNames[] = {u"a", u"DataField", u"x-y", u"\u00e9t\u00e9", u"_1", u"b.c"};

class RandomTree {
 public:
  explicit RandomTree(unsigned seed) : random_(seed) {}

  std::u16string text() {
    std::u16string out;
    const int n = random_.below(5);
    for (int i = 0; i < n; ++i) out += pick(kPieces);
    return out;
  }

  // Text that keeps a comment or an instruction well-formed, so that the
  // written document reads back.
  std::u16string markupText() {
    std::u16string out = text();
    for (std::size_t at; (at = out.find(u"--")) != std::u16string::npos;) out.erase(at, 2);
    for (std::size_t at; (at = out.find(u"?>")) != std::u16string::npos;) out.erase(at, 2);
    if (!out.empty() && out.back() == u'-') out.pop_back();
    return out;
  }

  // A document with comments and instructions around one element tree.
  DOMDocument* document() {
    DOMDocument* document = core()->createDocument();
    document->setXmlStandalone(random_.chance(30));
    outside(document);
    DOMElement* root = document->createElement(u"PMML");
    document->appendChild(root);
    fill(document, root, 0);
    outside(document);
    return document;
  }

 private:
  void outside(DOMDocument* document) {
    if (random_.chance(30)) document->appendChild(document->createComment(markupText().c_str()));
    if (random_.chance(20)) {
      document->appendChild(document->createProcessingInstruction(u"pi", markupText().c_str()));
    }
  }

  void fill(DOMDocument* document, DOMElement* element, int depth) {
    const int attributes = random_.below(4);
    for (int i = 0; i < attributes; ++i) {
      element->setAttribute(pick(kNames).c_str(), text().c_str());
    }
    const int children = depth > 3 ? 0 : random_.below(6);
    for (int i = 0; i < children; ++i) {
      const int kind = random_.below(100);
      if (kind < 40) {
        DOMElement* child = document->createElement(pick(kNames).c_str());
        element->appendChild(child);
        fill(document, child, depth + 1);
      } else if (kind < 65) {
        element->appendChild(document->createTextNode(pick(kLayouts).c_str()));
      } else if (kind < 85) {
        element->appendChild(document->createTextNode(text().c_str()));
      } else if (kind < 95) {
        element->appendChild(document->createComment(markupText().c_str()));
      } else {
        element->appendChild(document->createProcessingInstruction(
            pick(kNames).c_str(), random_.chance(30) ? u"" : markupText().c_str()));
      }
    }
  }

  template <std::size_t N>
  const std::u16string& pick(const std::u16string (&from)[N]) {
    return from[static_cast<std::size_t>(random_.below(static_cast<int>(N)))];
  }

  testutil::Random random_;
};

TEST(DocumentText, WritesWhatTheSerialiserWrites) {
  testutil::Documents documents;  // keeps the XML platform and the parsed documents
  int parsedCompared = 0;
  for (unsigned seed = 0; seed < 400; ++seed) {
    RandomTree tree(seed);
    pmmlxform::OwnedDocument built(tree.document());
    for (const bool pretty : {true, false}) {
      SCOPED_TRACE("seed " + std::to_string(seed) + (pretty ? " pretty" : " plain"));
      const std::string expected = serialised(built.get(), pretty);
      std::string text;
      ASSERT_TRUE(pmmlxform::writeDocumentText(*built, pretty, text));
      ASSERT_EQ(text, expected);
      // Read back, attribute values become text children and the document
      // knows the encoding it was read in.
      const DOMDocument* parsed = documents.parse(expected);
      if (parsed == nullptr) continue;
      ASSERT_TRUE(pmmlxform::writeDocumentText(*parsed, pretty, text));
      ASSERT_EQ(text, serialised(parsed, pretty));
      ++parsedCompared;
    }
  }
  EXPECT_GT(parsedCompared, 700);
}

// Attributes a document type defaulted are left out, as the serialiser leaves
// them out, once the document type itself has gone.
TEST(DocumentText, LeavesOutDefaultedAttributes) {
  pmmlxform::XmlPlatformGuard platform;
  xercesc::XercesDOMParser parser;
  const std::string xml = "<!DOCTYPE a [<!ATTLIST a d CDATA \"x\">]><a b=\"1\"><c/></a>";
  xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(xml.data()), xml.size(),
                                    "defaulted");
  parser.parse(source);
  DOMDocument* document = parser.getDocument();
  ASSERT_NE(document->getDoctype(), nullptr);
  document->removeChild(document->getDoctype())->release();
  ASSERT_TRUE(document->getDocumentElement()->hasAttribute(u"d"));
  std::string text;
  ASSERT_TRUE(pmmlxform::writeDocumentText(*document, true, text));
  EXPECT_EQ(text, serialised(document, true));
  EXPECT_EQ(text.find("d=\""), std::string::npos);
}

// The writer recurses once per level, as the serialiser does: a document as
// deep as the jobs' parser accepts is written on a 1 MiB thread stack, as the
// parser's limit promises for the library's recursive walks.
TEST(DocumentText, WritesTheDeepestDocumentOnASmallStack) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  constexpr std::size_t kStack = 8 << 20;  // the sanitizers widen every frame
#else
  constexpr std::size_t kStack = 1 << 20;
#endif
  testutil::Documents documents;
  std::string xml;
  for (std::size_t i = 0; i < pmmlxform::kMaxElementDepth; ++i) xml += "<a x=\"1\">\n ";
  for (std::size_t i = 0; i < pmmlxform::kMaxElementDepth; ++i) xml += "</a>";
  const DOMDocument* document = documents.parse(xml);
  ASSERT_NE(document, nullptr);
  struct Work {
    const DOMDocument* document;
    std::string text;
    bool written = false;
  } work{document, {}};
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, kStack);
  pthread_t thread;
  ASSERT_EQ(pthread_create(
                &thread, &attributes,
                [](void* w) -> void* {
                  auto* work = static_cast<Work*>(w);
                  work->written = pmmlxform::writeDocumentText(*work->document, true, work->text);
                  return nullptr;
                },
                &work),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  ASSERT_TRUE(work.written);
  EXPECT_EQ(work.text, serialised(document, true));
}

TEST(DocumentText, LeavesToTheSerialiserWhatItDoesNotWrite) {
  testutil::Documents documents;  // owns the parsed documents
  std::vector<std::pair<std::string, const DOMDocument*>> refused = {
      {"XML 1.1", documents.parse("<?xml version=\"1.1\"?><a/>")},
      {"read as ISO-8859-1",
       documents.parse("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a b=\"\xe9\"/>")}};
  // What is added to a document of one element `a`.
  using Add = void (*)(DOMDocument*, DOMElement*);
  const std::pair<const char*, Add> kAdditions[] = {
      {"element in a namespace",
       [](DOMDocument* d, DOMElement* a) { a->appendChild(d->createElementNS(u"urn:x", u"b")); }},
      {"attribute in a namespace",
       [](DOMDocument*, DOMElement* a) { a->setAttributeNS(u"urn:x", u"p:b", u"1"); }},
      {"CDATA section",
       [](DOMDocument* d, DOMElement* a) { a->appendChild(d->createCDATASection(u"x")); }},
      {"entity reference",
       [](DOMDocument* d, DOMElement* a) { a->appendChild(d->createEntityReference(u"e")); }},
      {"control character in text",
       [](DOMDocument* d, DOMElement* a) { a->appendChild(d->createTextNode(u"x\u0001")); }},
      {"lone surrogate in an attribute",
       [](DOMDocument*, DOMElement* a) {
         a->setAttribute(u"b", std::u16string{u'x', char16_t{0xD800}, u'y'}.c_str());
       }},
      {"noncharacter in a comment",
       [](DOMDocument* d, DOMElement* a) { a->appendChild(d->createComment(u"\ufffe")); }},
  };
  std::vector<pmmlxform::OwnedDocument> built;
  for (const auto& [name, add] : kAdditions) {
    built.emplace_back(core()->createDocument());
    DOMElement* a = built.back()->createElement(u"a");
    built.back()->appendChild(a);
    add(built.back().get(), a);
    refused.emplace_back(name, built.back().get());
  }
  for (const auto& [name, document] : refused) {
    SCOPED_TRACE(name);
    ASSERT_NE(document, nullptr);
    std::string text = "kept";
    EXPECT_FALSE(pmmlxform::writeDocumentText(*document, true, text));
    EXPECT_FALSE(pmmlxform::writeDocumentText(*document, false, text));
    EXPECT_EQ(text, "kept");
  }
}

}  // namespace
