// The hardened parser: ordinary documents parse, hostile ones are refused fast.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <xercesc/dom/DOM.hpp>

#include "tests/test_util.h"
#include "xml/parser.h"

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

std::string billionLaughs() {
  std::string xml = "<!DOCTYPE r [<!ENTITY l0 'ha'>";
  for (int i = 1; i <= 9; ++i) {
    xml += "<!ENTITY l" + std::to_string(i) + " '";
    for (int k = 0; k < 10; ++k) xml += "&l" + std::to_string(i - 1) + ";";
    xml += "'>";
  }
  return xml + "]><r>&l9;</r>";
}

// Text content of the document element (ASCII).
std::string rootText(HardenedDOMParser& parser) {
  std::string out;
  for (const XMLCh* p = parser.getDocument()->getDocumentElement()->getTextContent(); *p; ++p) {
    out.push_back(static_cast<char>(*p));
  }
  return out;
}

TEST_F(XmlParser, AcceptsOrdinaryAndRefusesHostileDocuments) {
  testutil::TempDir dir;
  const std::string secret = dir.write("secret.txt", "TOP-SECRET");
  const std::string dtd =
      dir.write("ext.dtd", "<!ENTITY leak 'FROM-DTD'><!ATTLIST r leaked CDATA 'yes'>");
  std::string siblings = "<r>";
  for (std::size_t i = 0; i < 3 * kMaxElementDepth; ++i) siblings += i % 2 ? "<e/>" : "<e>t</e>";
  siblings += "</r>";
  const char* const refused = "(refused)";
  const struct {
    const char* name;
    std::string xml;
    std::string text;  // of the document element, or `refused`
  } cases[] = {
      {"character references", "<r>&#65;&#x42;&lt;&amp;</r>", "AB<&"},
      {"internal entities within the cap",
       "<!DOCTYPE r [<!ENTITY a 'x'><!ENTITY b '&a;&a;'><!ENTITY c '&b;&b;'>]><r>&c;</r>", "xxxx"},
      // An external DTD is skipped: neither its entity nor its default attribute appears.
      {"external DTD", "<!DOCTYPE r SYSTEM 'file://" + dtd + "'><r>a&leak;</r>", "a"},
      {"UTF-16LE with its zero bytes", std::string("\xFF\xFE<\0r\0>\0x\0<\0/\0r\0>\0", 18), "x"},
      {"UTF-16BE with its zero bytes", std::string("\xFE\xFF\0<\0r\0>\0x\0<\0/\0r\0>", 18), "x"},
      {"nested at the limit", nested(kMaxElementDepth), ""},
      {"many shallow siblings", siblings, std::string(3 * kMaxElementDepth / 2, 't')},
      {"empty", "", refused},
      {"not well-formed", "<a></b>", refused},
      {"duplicate attribute", "<a x='1' x='2'/>", refused},
      {"zero byte inside", std::string("<a>x\0y</a>", 10), refused},
      {"external entity, file URL",
       "<!DOCTYPE r [<!ENTITY x SYSTEM 'file://" + secret + "'>]><r>&x;</r>", refused},
      {"external parameter entity",
       "<!DOCTYPE r [<!ENTITY % p SYSTEM 'file://" + dtd + "'>%p;]><r>&leak;</r>", refused},
      {"billion laughs", billionLaughs(), refused},
      {"nested far past the limit", nested(200000), refused},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HardenedDOMParser parser;
    const auto start = std::chrono::steady_clock::now();
    const std::size_t errors = parser.parseText(c.xml);
    // Unbounded entity expansion takes minutes and gigabytes; the cap stops it at once.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    if (c.text == refused) {
      EXPECT_GT(errors, 0u);
      continue;
    }
    ASSERT_EQ(errors, 0u);
    EXPECT_EQ(rootText(parser), c.text);
    EXPECT_FALSE(parser.getDocument()->getDocumentElement()->hasAttribute(u"leaked"));
  }
}

TEST_F(XmlParser, ReportsDepthRefusalsAndStaysReusable) {
  HardenedDOMParser parser;
  EXPECT_GT(parser.parseText(nested(kMaxElementDepth + 5)), 0u);
  EXPECT_TRUE(parser.tooDeep());
  EXPECT_EQ(parser.parseText("<ok/>"), 0u);
  EXPECT_FALSE(parser.tooDeep());
  ASSERT_NE(parser.getDocument(), nullptr);
}

}  // namespace
