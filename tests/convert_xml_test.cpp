// The XSLT driver and the "intervals" extension function, end to end through
// small stylesheets.
#include "trans/convert_xml.h"

#include <gtest/gtest.h>
#include <xercesc/dom/DOM.hpp>

#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "host/norvel.h"
#include "trans/xml_parser.h"

namespace {

using xercesc::DOMDocument;
using xercesc::DOMNode;

std::string utf8(const XMLCh* text) {
  char* converted = norvel::QORVMBTranscodeU8(text);
  std::string result(converted);
  norvel::QORVMBRelease(&converted);
  return result;
}

// An element as "Name(attr=value,...)[children]": names, attributes (sorted by
// name) and child elements; other nodes are left out.
std::string dump(const DOMNode* node) {
  std::string out = utf8(node->getNodeName());
  const xercesc::DOMNamedNodeMap* attrs = node->getAttributes();
  std::vector<std::string> pairs;
  for (XMLSize_t i = 0; attrs != nullptr && i < attrs->getLength(); ++i) {
    pairs.push_back(utf8(attrs->item(i)->getNodeName()) + "=" +
                    utf8(attrs->item(i)->getNodeValue()));
  }
  std::sort(pairs.begin(), pairs.end());
  if (!pairs.empty()) {
    out += "(";
    for (std::size_t i = 0; i < pairs.size(); ++i) out += (i ? "," : "") + pairs[i];
    out += ")";
  }
  std::string children;
  for (const DOMNode* c = node->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
    if (c->getNodeType() == DOMNode::ELEMENT_NODE) children += dump(c);
  }
  if (!children.empty()) out += "[" + children + "]";
  return out;
}

// A stylesheet that copies what the function returns for the source's
// "Rules" children into a "Result" element.
const char kIntervalsSheet[] = R"xsl(<xsl:stylesheet version="1.0"
    xmlns:xsl="http://www.w3.org/1999/XSL/Transform" xmlns:xalan="http://xml.apache.org/xalan"
    exclude-result-prefixes="xalan">
  <xsl:template match="/"><Result><xsl:copy-of select="xalan:intervals(/Rules/*)"/></Result></xsl:template>
</xsl:stylesheet>)xsl";

class ConvertXml : public ::testing::Test {
 protected:
  struct Outcome {
    std::string error;
    DOMDocument* document = nullptr;
    std::string dump;  // of the result's document element
  };

  // Runs `sheet` over `source`; checks that the driver left no trace behind.
  Outcome run(const std::string& source, const std::string& sheet,
              DOMDocument* initial = nullptr) {
    pmmlxform::HardenedDOMParser parser;
    EXPECT_EQ(parser.parseText(source), 0u) << source;
    std::istringstream stylesheet(sheet);
    Outcome outcome;
    outcome.document = initial;
    std::streambuf* const before = std::cerr.rdbuf();
    {
      ConvertByXSLT converter;
      outcome.error = converter.convert(parser.getDocument(), stylesheet, outcome.document);
    }
    EXPECT_EQ(std::cerr.rdbuf(), before);
    EXPECT_EQ(ConvertByXSLT::currentTransformer.load(), nullptr);
    if (outcome.document != nullptr && outcome.document != initial) {
      documents_.emplace_back(outcome.document);
      if (outcome.document->getDocumentElement() != nullptr) {
        outcome.dump = dump(outcome.document->getDocumentElement());
      }
    }
    return outcome;
  }

  Outcome intervals(const std::string& rules) {
    return run("<Rules>" + rules + "</Rules>", kIntervalsSheet);
  }

  struct Release {
    void operator()(DOMDocument* d) const { d->release(); }
  };
  pmmlxform::XmlPlatformGuard platform_;
  std::vector<std::unique_ptr<DOMDocument, Release>> documents_;
};

TEST_F(ConvertXml, WorkedExampleElseKeyAndMissingValue) {
  const Outcome out = intervals(
      "<DiscretizeBin binValue='1'><Interval closure='closedOpen' leftMargin='0' rightMargin='10'/>"
      "</DiscretizeBin>"
      "<DiscretizeBin binValue='2'><Interval closure='closedClosed' leftMargin='5' "
      "rightMargin='20'/></DiscretizeBin>"
      "<Extension name='mapElseTo' value='9'/>"
      "<DataField name='x'><Value value='99' property='missing'/></DataField>");
  EXPECT_EQ(out.error, "");
  EXPECT_EQ(out.dump,
            "Result["
            "Extension(extender=pmmlxform,name=mapSysmisTo,value=9)"
            "Extension(extender=pmmlxform,name=mapElseTo,value=9)"
            "DiscretizeBin(binValue=1)[Interval(closure=closedOpen,leftMargin=0,rightMargin=10)]"
            "DiscretizeBin(binValue=2)[Interval(closure=closedClosed,leftMargin=10,rightMargin=20)]"
            "DiscretizeBin(binValue=9)[Interval(closure=closedClosed,leftMargin=99,rightMargin=99)]"
            "]");
}

TEST_F(ConvertXml, WorkedExampleMissingCopySplitsBin) {
  const Outcome out = intervals(
      "<Extension name='recodeMissingCopy'/>"
      "<DiscretizeBin binValue='5'>\n  <Interval closure='closedClosed' leftMargin='0' "
      "rightMargin='100'/>\n</DiscretizeBin>"
      "<DataField><Value value='99' property='missing'/></DataField>");
  EXPECT_EQ(out.error, "");
  EXPECT_EQ(out.dump,
            "Result["
            "Extension(extender=pmmlxform,name=recodeIntervalCopy)"
            "[Interval(closure=closedClosed,leftMargin=99,rightMargin=99)]"
            "DiscretizeBin(binValue=5)[Interval(closure=closedOpen,leftMargin=0,rightMargin=99)]"
            "DiscretizeBin(binValue=5)[Interval(closure=openClosed,leftMargin=99,rightMargin=100)]"
            "]");
}

TEST_F(ConvertXml, IntervalsReadsNodesAsTheStylesheetWritesThem) {
  const struct {
    const char* name;
    const char* rules;
    const char* result;
  } cases[] = {
      {"empty node-set", "", "Result"},
      {"bin without interval", "<DiscretizeBin binValue='a'/>",
       "Result[DiscretizeBin(binValue=a)[Interval(closure=,leftMargin=,rightMargin=)]]"},
      {"unbounded interval keeps only its closure",
       "<DiscretizeBin binValue='1'><Interval closure='openOpen'/></DiscretizeBin>",
       "Result[DiscretizeBin(binValue=1)[Interval(closure=openOpen)]]"},
      {"largest double margins are unbounded",
       "<Extension name='recodeMissingCopy'><Interval closure='closedClosed' "
       "leftMargin='-1.79769313486231E+308' rightMargin='1.79769313486231E+308'/></Extension>",
       "Result[Extension(extender=pmmlxform,name=recodeMissingCopy)[Interval(closure=closedClosed)]]"},
      {"margins keep their text",
       "<DiscretizeBin binValue='1'><Interval closure='closedClosed' leftMargin='1.5E+002' "
       "rightMargin='2E2'/></DiscretizeBin>",
       "Result[DiscretizeBin(binValue=1)[Interval(closure=closedClosed,leftMargin=1.5E+002,"
       "rightMargin=2E2)]]"},
      {"extension without name is a bin",
       "<Extension value='4'><Interval closure='closedOpen' leftMargin='1' rightMargin='2'/>"
       "</Extension>",
       "Result[DiscretizeBin(binValue=4)[Interval(closure=closedOpen,leftMargin=1,rightMargin=2)]]"},
      {"only missing values count, and a range needs both ends",
       "<Extension name='recodeMissingSysmis'/>"
       "<DataField><Value value='7' property='missing'/><Value value='8' property='invalid'/>"
       "<Value value='6' property='valid'/>"
       "<Extension name='invalidRangeUpper' value='3'/></DataField>",
       "Result[Extension(extender=pmmlxform,name=recodeTargetSysmis)"
       "[Interval(closure=closedClosed,leftMargin=7,rightMargin=7)]]"},
      {"missing-value range, lower end unbounded",
       "<Extension name='mapMissingTo' value='0'/><DiscretizeBin binValue='1'/>"
       "<DataField><Extension name='invalidRangeLower' value=''/>"
       "<Extension name='invalidRangeUpper' value='-1'/></DataField>",
       "Result[Extension(extender=pmmlxform,name=mapSysmisTo,value=0)"
       "DiscretizeBin(binValue=0)[Interval(closure=closedClosed,rightMargin=-1)]"
       "DiscretizeBin(binValue=1)[Interval(closure=,leftMargin=,rightMargin=)]]"},
      {"absent or short closure texts",
       "<DiscretizeBin binValue='1'><Interval leftMargin='0' rightMargin='1'/></DiscretizeBin>"
       "<DiscretizeBin binValue='2'><Interval closure='op' leftMargin='5' rightMargin='6'/>"
       "</DiscretizeBin>",
       "Result[DiscretizeBin(binValue=1)[Interval(closure=closed,leftMargin=0,rightMargin=1)]"
       "DiscretizeBin(binValue=2)[Interval(closure=open,leftMargin=5,rightMargin=6)]]"},
      {"values outside the local code page survive",
       "<DiscretizeBin binValue='caf\xC3\xA9 \xE2\x82\xAC'/>",
       "Result[DiscretizeBin(binValue=caf\xC3\xA9 \xE2\x82\xAC)[Interval(closure=,leftMargin=,"
       "rightMargin=)]]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome out = intervals(c.rules);
    EXPECT_EQ(out.error, "");
    EXPECT_EQ(out.dump, c.result);
  }
}

TEST_F(ConvertXml, WellFormedOutputBecomesNewDocument) {
  // The engine's messages go to the driver's capture, not to standard error.
  std::stringbuf ownStream;
  std::streambuf* const previous = std::cerr.rdbuf(&ownStream);
  const Outcome out = run("<a x='1'><b/></a>", R"xsl(<xsl:stylesheet version="1.0"
      xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
    <xsl:template match="/a"><xsl:message>noise for the engine's stream</xsl:message>
      <PMML n="{@x}"><xsl:copy-of select="b"/></PMML></xsl:template>
  </xsl:stylesheet>)xsl");
  EXPECT_EQ(out.error, "");
  ASSERT_NE(out.document, nullptr);
  std::cerr.rdbuf(previous);
  EXPECT_EQ(out.dump, "PMML(n=1)[b]");
  EXPECT_EQ(ownStream.str(), "");
}

TEST_F(ConvertXml, OutputThatIsNoDocumentGivesNone) {
  const Outcome out = run("<a/>", R"xsl(<xsl:stylesheet version="1.0"
      xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
    <xsl:output method="text"/><xsl:template match="/">plain &lt;text</xsl:template>
  </xsl:stylesheet>)xsl");
  EXPECT_EQ(out.error, "");
  EXPECT_EQ(out.document, nullptr);
}

TEST_F(ConvertXml, FailuresReturnEngineTextAndLeaveResultAlone) {
  const struct {
    const char* name;
    const char* sheet;
    const char* expected;  // contained in the error text
  } cases[] = {
      {"stylesheet not well-formed", "<xsl:stylesheet", ""},
      {"terminating message",
       R"xsl(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
          <xsl:template match="/"><xsl:message terminate="yes">CVT_FuncErr:bad</xsl:message>
          </xsl:template></xsl:stylesheet>)xsl",
       "CVT_FuncErr:bad"},
      {"intervals with two arguments",
       R"xsl(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
            xmlns:xalan="http://xml.apache.org/xalan">
          <xsl:template match="/"><r><xsl:copy-of select="xalan:intervals(/*, /*)"/></r>
          </xsl:template></xsl:stylesheet>)xsl",
       "The interval-parse() function accepts one argument!"},
      {"intervals without argument",
       R"xsl(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
            xmlns:xalan="http://xml.apache.org/xalan">
          <xsl:template match="/"><r><xsl:copy-of select="xalan:intervals()"/></r>
          </xsl:template></xsl:stylesheet>)xsl",
       "The interval-parse() function accepts one argument!"},
  };
  xercesc::DOMImplementation* impl =
      xercesc::DOMImplementationRegistry::getDOMImplementation(u"Core");
  std::unique_ptr<DOMDocument, Release> sentinel(impl->createDocument());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome out = run("<a/>", c.sheet, sentinel.get());
    EXPECT_NE(out.error, "");
    EXPECT_NE(out.error.find(c.expected), std::string::npos) << out.error;
    EXPECT_EQ(out.document, sentinel.get());
  }
}

TEST_F(ConvertXml, TerminatingMessageArrivesInTheFormErrorNumbersExpect) {
  const Outcome out = run("<a/>", R"xsl(<xsl:stylesheet version="1.0"
      xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
    <xsl:template match="/"><xsl:message terminate="yes">CVT_ReVarsErr:v1</xsl:message>
    </xsl:template></xsl:stylesheet>)xsl");
  EXPECT_EQ(out.error.rfind("ElemMessageTerminateExpression:", 0), 0u) << out.error;
}

// A stream whose reads fail with a standard exception.
class ThrowingBuffer : public std::streambuf {
 protected:
  int_type underflow() override { throw std::runtime_error("stylesheet unreadable"); }
};

TEST_F(ConvertXml, StandardExceptionBecomesMessageAndCleansUp) {
  pmmlxform::HardenedDOMParser parser;
  ASSERT_EQ(parser.parseText("<a/>"), 0u);
  ThrowingBuffer buffer;
  std::istream stylesheet(&buffer);
  stylesheet.exceptions(std::ios::badbit);
  DOMDocument* result = nullptr;
  std::streambuf* const before = std::cerr.rdbuf();
  ConvertByXSLT converter;
  EXPECT_EQ(converter.convert(parser.getDocument(), stylesheet, result),
            "ConvertByXSLTException:stylesheet unreadable");
  EXPECT_EQ(result, nullptr);
  EXPECT_EQ(std::cerr.rdbuf(), before);
  EXPECT_EQ(ConvertByXSLT::currentTransformer.load(), nullptr);
}

TEST_F(ConvertXml, RejectsMissingSource) {
  std::istringstream sheet(kIntervalsSheet);
  DOMDocument* result = nullptr;
  ConvertByXSLT converter;
  const std::string error = converter.convert(nullptr, sheet, result);
  EXPECT_EQ(error.rfind("ConvertByXSLTException:", 0), 0u) << error;
  EXPECT_EQ(result, nullptr);
}

TEST_F(ConvertXml, ConcurrentConversionsAreSerialisedNotCorrupted) {
  // Each thread hands the function a different bin so that a result built in
  // the other thread's transformer would show.
  auto work = [](int id, int rounds, int* good) {
    const std::string value = std::to_string(id);
    pmmlxform::HardenedDOMParser parser;
    parser.parseText("<Rules><DiscretizeBin binValue='" + value +
                     "'><Interval closure='closedClosed' leftMargin='0' rightMargin='" + value +
                     "'/></DiscretizeBin></Rules>");
    const std::string expected = "Result[DiscretizeBin(binValue=" + value +
                                 ")[Interval(closure=closedClosed,leftMargin=0,rightMargin=" +
                                 value + ")]]";
    for (int i = 0; i < rounds; ++i) {
      std::istringstream sheet(kIntervalsSheet);
      DOMDocument* result = nullptr;
      ConvertByXSLT converter;
      const std::string error = converter.convert(parser.getDocument(), sheet, result);
      if (error.empty() && result != nullptr && dump(result->getDocumentElement()) == expected) {
        ++*good;
      }
      if (result != nullptr) result->release();
    }
  };
  std::streambuf* const before = std::cerr.rdbuf();
  constexpr int kRounds = 40;
  int good1 = 0, good2 = 0;
  std::thread t1(work, 1, kRounds, &good1);
  std::thread t2(work, 2, kRounds, &good2);
  t1.join();
  t2.join();
  EXPECT_EQ(good1, kRounds);
  EXPECT_EQ(good2, kRounds);
  EXPECT_EQ(std::cerr.rdbuf(), before);
  EXPECT_EQ(ConvertByXSLT::currentTransformer.load(), nullptr);
}

}  // namespace
