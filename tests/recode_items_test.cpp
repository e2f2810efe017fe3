// The "recode-intervals" extension function against "intervals" over the item
// elements that the stand-in stylesheet builds from the same recode (the item
// templates of tests/stylesheet/harness.xsl), on randomized recodes: both must
// resolve the same items into the same keys and bins.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <xercesc/dom/DOM.hpp>

#include "tests/random_documents.h"
#include "tests/test_util.h"
#include "trans/xslt_driver.h"
#include "xml/dom.h"
#include "xml/parser.h"

namespace {

using testutil::Random;
using testutil::Texts;

// For each recode: <a> what recode-intervals returns, <b> what intervals
// returns for the recode's item elements and the declared missing values.
const std::string kPairsSheet =
    "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform' "
    "xmlns:xalan='http://xml.apache.org/xalan' exclude-result-prefixes='xalan'>"
    "<xsl:import href='file://" PMMLXFORM_SOURCE_DIR
    "/tests/stylesheet/harness.xsl'/>"
    "<xsl:template match='/'><r><xsl:for-each select='/*/*/Recode'>"
    "<xsl:variable name='declared' select='../Variable[@name = current()/@source][1]'/>"
    "<xsl:variable name='items'><xsl:for-each select='Rule'><xsl:apply-templates "
    "select='*[self::Value or self::Range or self::SystemMissing or self::Missing or "
    "self::Else]' mode='recode-item'/></xsl:for-each><DataField><xsl:apply-templates "
    "select='$declared' mode='missing-values'/></DataField></xsl:variable>"
    "<a><xsl:copy-of select='xalan:recode-intervals(., $declared)/*'/></a>"
    "<b><xsl:copy-of select='xalan:intervals($items)'/></b>"
    "</xsl:for-each></r></xsl:template></xsl:stylesheet>";

// Margins and values: numbers in several spellings, the keywords, texts that
// are none of them, blanks around them.
const Texts kMargins = {"1",  "2", "05", "1.5E+002", "LOWEST", "HIGHEST", "3.5",
                        "-1", "",  "a",  " 3",       "10",     "lowest",  "-1.79769313486231E+308"};
const Texts kResults = {"1", "2 ", "x", "  ", "", "9", "caf\xC3\xA9"};

std::string attribute(Random& random, const char* name, const Texts& from, int percent = 85) {
  return random.chance(percent) ? std::string(" ") + name + "='" + random.pick(from) + "'" : "";
}

// A rule's input; Value and Range now and then carry both a bound and a
// value, in either order.
std::string input(Random& random) {
  switch (random.below(6)) {
    case 0:
      return "<Value" + attribute(random, "value", kMargins) +
             (random.chance(15) ? attribute(random, "low", kMargins) : "") + "/>";
    case 1:
    case 2: {
      std::string bounds = attribute(random, "low", kMargins) + attribute(random, "high", kMargins);
      const std::string value = random.chance(15) ? attribute(random, "value", kMargins, 100) : "";
      bounds = random.chance(50) ? value + bounds : bounds + value;
      return "<Range" + bounds + "/>";
    }
    case 3:
      return "<SystemMissing/>";
    case 4:
      return "<Missing/>";
    default:
      return "<Else/>";
  }
}

std::string output(Random& random) {
  switch (random.below(3)) {
    case 0:
      return "<To" + attribute(random, "value", kResults) + "/>";
    case 1:
      return "<ToCopy/>";
    default:
      return "<ToSystemMissing/>";
  }
}

// A description of two variables and recodes of them and of an undeclared
// source; a rule now and then has two outputs.
std::string description(Random& random) {
  const auto variable = [&random](const char* name) {
    return std::string("<Variable name='") + name + "'>" + random.times(random.below(3), [&] {
      return "<MissingRange" + attribute(random, "low", kMargins) +
             attribute(random, "high", kMargins) + "/>";
    }) + random.times(random.below(4), [&] {
      return "<Missing" + attribute(random, "value", kResults) + "/>";
    }) + "</Variable>";
  };
  const auto recode = [&random] {
    const Texts sources = {"s", "t", "none"};
    return "<Recode source='" + random.pick(sources) + "'>" +
           random.times(1 + random.below(6),
                        [&] {
                          return "<Rule>" +
                                 random.times(1 + random.below(3), [&] { return input(random); }) +
                                 output(random) + (random.chance(10) ? output(random) : "") +
                                 "</Rule>";
                        }) +
           "</Recode>";
  };
  return "<TransformationDescription><Transformations>" + variable("s") + variable("t") +
         random.times(8, recode) + "</Transformations></TransformationDescription>";
}

// The children of `parent` written one after the other.
std::string childrenText(const xercesc::DOMNode* parent) {
  std::string text;
  for (const xercesc::DOMNode* child = parent->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    text += testutil::xmlText(child);
  }
  return text;
}

TEST(RecodeIntervals, ResolvesWhatTheItemElementsOfTheSameRecodeResolveTo) {
  const pmmlxform::XmlPlatformGuard platform;
  Random random(20);
  int nonEmpty = 0;
  for (int round = 0; round < 150; ++round) {
    const std::string source = description(random);
    SCOPED_TRACE(source);
    pmmlxform::HardenedDOMParser parser;
    ASSERT_EQ(parser.parseText(source), 0u);
    std::istringstream sheet(kPairsSheet);
    xercesc::DOMDocument* result = nullptr;
    ASSERT_EQ(ConvertByXSLT().convert(parser.getDocument(), sheet, result), "");
    ASSERT_NE(result, nullptr);
    const pmmlxform::OwnedDocument owned(result);
    const xercesc::DOMElement* pairs = result->getDocumentElement();
    int pairCount = 0;
    for (const xercesc::DOMNode* a = pairs->getFirstChild(); a != nullptr;
         a = a->getNextSibling()->getNextSibling()) {
      EXPECT_EQ(childrenText(a), childrenText(a->getNextSibling()));
      nonEmpty += a->hasChildNodes() ? 1 : 0;
      ++pairCount;
    }
    EXPECT_EQ(pairCount, 8);
  }
  EXPECT_GT(nonEmpty, 600);
}

}  // namespace
