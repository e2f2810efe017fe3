// The hardened parser: ordinary documents parse, hostile ones are refused fast.
#include "trans/xml_parser.h"

#include <gtest/gtest.h>
#include <xercesc/dom/DOM.hpp>

#include <chrono>
#include <string>

#include "tests/test_util.h"

namespace {

using pmmlxform::HardenedDOMParser;
using pmmlxform::kMaxElementDepth;

class XmlParser : public ::testing::Test {
 protected:
  pmmlxform::XmlPlatformGuard platform_;
};

std::string nested(std::size_t depth) {
  std::string s;
  for (std::size_t i = 0; i < depth; ++i) s += "<a>";
  for (std::size_t i = 0; i < depth; ++i) s += "</a>";
  return s;
}

// Text content of the document element, in UTF-8.
std::string rootText(HardenedDOMParser& parser) {
  const XMLCh* text = parser.getDocument()->getDocumentElement()->getTextContent();
  std::string out;
  for (const XMLCh* p = text; *p != 0; ++p) out.push_back(static_cast<char>(*p));
  return out;
}

TEST_F(XmlParser, AcceptsWellFormedDocumentsWithInternalEntitiesAndCharacterReferences) {
  struct Case {
    const char* name;
    std::string xml;
    std::string text;
  };
  const Case cases[] = {
      {"plain", "<PMML version='4.3'><Header/>x</PMML>", "x"},
      {"character references", "<r>&#65;&#x42;&lt;&amp;</r>", "AB<&"},
      {"internal entity", "<!DOCTYPE r [<!ENTITY e 'val'>]><r>&e;&e;</r>", "valval"},
      {"nested internal entities within the cap",
       "<!DOCTYPE r [<!ENTITY a 'x'><!ENTITY b '&a;&a;'><!ENTITY c '&b;&b;'>]><r>&c;</r>",
       "xxxx"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HardenedDOMParser parser;
    ASSERT_EQ(parser.parseText(c.xml), 0u);
    EXPECT_EQ(rootText(parser), c.text);
  }
}

TEST_F(XmlParser, RefusesMalformedInput) {
  const std::string inputs[] = {"",
                                "<a>",
                                "<a></b>",
                                "not xml",
                                "<a x='1' x='2'/>",
                                std::string("<a/>\0<b>junk</b>", 16),
                                std::string("<a>x\0y</a>", 10)};
  for (const auto& xml : inputs) {
    SCOPED_TRACE(xml);
    HardenedDOMParser parser;
    EXPECT_GT(parser.parseText(xml), 0u);
  }
}

TEST_F(XmlParser, NeverReadsExternalEntitiesOrDtds) {
  testutil::TempDir dir;
  const std::string secret = dir.write("secret.txt", "TOP-SECRET");
  const std::string dtd =
      dir.write("ext.dtd", "<!ENTITY leak 'FROM-DTD'><!ATTLIST r leaked CDATA 'yes'>");
  // A reference to an external (or never loaded) entity is a parse error.
  const std::string refused[] = {
      "<!DOCTYPE r [<!ENTITY x SYSTEM 'file://" + secret + "'>]><r>&x;</r>",
      "<!DOCTYPE r [<!ENTITY x SYSTEM '" + secret + "'>]><r>&x;</r>",
      "<!DOCTYPE r [<!ENTITY % p SYSTEM 'file://" + dtd + "'>%p;]><r>&leak;</r>",
  };
  for (const auto& xml : refused) {
    SCOPED_TRACE(xml);
    HardenedDOMParser parser;
    EXPECT_GT(parser.parseText(xml), 0u);
  }
  // An external DTD is skipped, not loaded: neither its entity nor its default
  // attribute appears.
  HardenedDOMParser parser;
  ASSERT_EQ(parser.parseText("<!DOCTYPE r SYSTEM 'file://" + dtd + "'><r>a&leak;</r>"), 0u);
  EXPECT_EQ(rootText(parser), "a");
  EXPECT_FALSE(parser.getDocument()->getDocumentElement()->hasAttribute(u"leaked"));
}

TEST_F(XmlParser, AcceptsUtf16DocumentsWithTheirZeroBytes) {
  const std::string le("\xFF\xFE<\0r\0/\0>\0", 10);
  const std::string be("\xFE\xFF\0<\0r\0/\0>", 10);
  for (const auto& xml : {le, be}) {
    HardenedDOMParser parser;
    EXPECT_EQ(parser.parseText(xml), 0u);
  }
}

TEST_F(XmlParser, RefusesBillionLaughsQuickly) {
  std::string xml = "<!DOCTYPE r [<!ENTITY l0 'ha'>";
  for (int i = 1; i <= 9; ++i) {
    xml += "<!ENTITY l" + std::to_string(i) + " '";
    for (int k = 0; k < 10; ++k) xml += "&l" + std::to_string(i - 1) + ";";
    xml += "'>";
  }
  xml += "]><r>&l9;</r>";
  const auto start = std::chrono::steady_clock::now();
  HardenedDOMParser parser;
  EXPECT_GT(parser.parseText(xml), 0u);
  // Unbounded expansion takes minutes and gigabytes; the cap stops it at once.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(XmlParser, RefusesDocumentsNestedBeyondTheLimit) {
  {
    HardenedDOMParser parser;
    EXPECT_EQ(parser.parseText(nested(kMaxElementDepth)), 0u);
    EXPECT_FALSE(parser.tooDeep());
  }
  for (std::size_t depth : {kMaxElementDepth + 1, std::size_t{200000}}) {
    SCOPED_TRACE(depth);
    HardenedDOMParser parser;
    EXPECT_GT(parser.parseText(nested(depth)), 0u);
    EXPECT_TRUE(parser.tooDeep());
  }
}

TEST_F(XmlParser, CountsDepthNotElements) {
  // Many siblings, empty and not, at shallow depth are fine.
  std::string xml = "<r>";
  for (std::size_t i = 0; i < 3 * kMaxElementDepth; ++i) xml += i % 2 ? "<e/>" : "<e>t</e>";
  xml += "</r>";
  HardenedDOMParser parser;
  EXPECT_EQ(parser.parseText(xml), 0u);
}

TEST_F(XmlParser, ParserIsReusableAfterARefusal) {
  HardenedDOMParser parser;
  EXPECT_GT(parser.parseText(nested(kMaxElementDepth + 5)), 0u);
  EXPECT_EQ(parser.parseText("<ok/>"), 0u);
  EXPECT_FALSE(parser.tooDeep());
  ASSERT_NE(parser.getDocument(), nullptr);
}

}  // namespace
