// The XSLT driver and the "intervals" extension function, end to end through
// small stylesheets.
#include "trans/xslt_driver.h"

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>
#include <xalanc/XPath/Function.hpp>
#include <xalanc/XPath/XObjectFactory.hpp>
#include <xalanc/XPath/XPathExecutionContext.hpp>
#include <xalanc/XalanTransformer/XalanTransformer.hpp>
#include <xercesc/dom/DOM.hpp>

#include "tests/test_util.h"
#include "xml/parser.h"

namespace {

using xercesc::DOMDocument;
using xercesc::DOMNode;

// A stylesheet whose template for the root is `body`.
std::string sheet(const std::string& body, const std::string& top = "") {
  return "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform' "
         "xmlns:xalan='http://xml.apache.org/xalan' exclude-result-prefixes='xalan'>" +
         top + "<xsl:template match='/'>" + body + "</xsl:template></xsl:stylesheet>";
}

// Copies what the function returns for the source's "Rules" children into "Result".
const std::string kIntervalsSheet =
    sheet("<Result><xsl:copy-of select='xalan:intervals(/Rules/*)'/></Result>");

class ConvertXml : public ::testing::Test {
 protected:
  struct Outcome {
    std::string error;
    DOMDocument* document = nullptr;
    std::string text;  // the result's document element
  };

  // Runs the stylesheet over `source`; checks that the driver left no trace behind.
  Outcome run(const std::string& source, std::istream& stylesheet, DOMDocument* initial = nullptr) {
    pmmlxform::HardenedDOMParser parser;
    EXPECT_EQ(parser.parseText(source), 0u) << source;
    Outcome outcome;
    outcome.document = initial;
    std::streambuf* const before = std::cerr.rdbuf();
    outcome.error = ConvertByXSLT().convert(parser.getDocument(), stylesheet, outcome.document);
    EXPECT_EQ(std::cerr.rdbuf(), before);
    EXPECT_EQ(ConvertByXSLT::currentTransformer.load(), nullptr);
    if (outcome.document != nullptr && outcome.document != initial) {
      documents_.emplace_back(outcome.document);
      if (outcome.document->getDocumentElement() != nullptr) {
        outcome.text = testutil::xmlText(outcome.document->getDocumentElement());
      }
    }
    return outcome;
  }
  Outcome run(const std::string& source, const std::string& stylesheet,
              DOMDocument* initial = nullptr) {
    std::istringstream in(stylesheet);
    return run(source, in, initial);
  }

  struct Release {
    void operator()(DOMDocument* d) const { d->release(); }
  };
  pmmlxform::XmlPlatformGuard platform_;
  std::vector<std::unique_ptr<DOMDocument, Release>> documents_;
};

// The recode rule shapes are pinned end to end by the descriptions under
// tests/data/transform; these are the inputs they do not reach.
TEST_F(ConvertXml, IntervalsReadsOnlyMissingValuesAndKeepsNonAsciiBinValues) {
  const struct {
    const char* rules;
    const char* result;
  } cases[] = {
      {"<Extension name='recodeMissingSysmis'/><DataField><Value value='7' property='missing'/>"
       "<Value value='8' property='invalid'/><Value value='6' property='valid'/>"
       "<Extension name='invalidRangeUpper' value='3'/></DataField>",
       "<Result><Extension extender=\"pmmlxform\" name=\"recodeTargetSysmis\"><Interval "
       "closure=\"closedClosed\" leftMargin=\"7\" rightMargin=\"7\"/></Extension></Result>"},
      // A bin without interval gets an empty one.
      {"<DiscretizeBin binValue='caf\xC3\xA9 \xE2\x82\xAC'/>",
       "<Result><DiscretizeBin binValue=\"caf\xC3\xA9 \xE2\x82\xAC\"><Interval closure=\"\" "
       "leftMargin=\"\" rightMargin=\"\"/></DiscretizeBin></Result>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rules);
    const Outcome out = run(std::string("<Rules>") + c.rules + "</Rules>", kIntervalsSheet);
    EXPECT_EQ(out.error, "");
    EXPECT_EQ(out.text, c.result);
  }
}

TEST_F(ConvertXml, OutputBecomesANewDocumentWhenItIsOne) {
  // The engine's messages go to the driver's problem listener, not to standard error.
  std::stringbuf ownStream;
  std::streambuf* const previous = std::cerr.rdbuf(&ownStream);
  const Outcome out = run("<a x='1'><b/></a>", sheet("<xsl:message>noise</xsl:message>"
                                                     "<PMML n='{a/@x}'><xsl:copy-of select='a/b'/>"
                                                     "</PMML>"));
  std::cerr.rdbuf(previous);
  EXPECT_EQ(out.error, "");
  EXPECT_EQ(out.text, "<PMML n=\"1\"><b/></PMML>");
  EXPECT_EQ(ownStream.str(), "");
  // Text output is no document: none comes back.
  EXPECT_EQ(run("<a/>", sheet("plain &lt;text", "<xsl:output method='text'/>")).document, nullptr);
}

TEST_F(ConvertXml, FailuresReturnEngineTextAndLeaveResultAlone) {
  const struct {
    const char* name;
    std::string sheet;
    const char* start;  // the error text starts with it ...
    const char* holds;  // ... and holds this
  } cases[] = {
      // In the form that error numbering expects.
      {"terminating message", sheet("<xsl:message terminate='yes'>CVT_FuncErr:bad</xsl:message>"),
       "ElemMessageTerminateExpression:", "CVT_FuncErr:bad"},
      {"intervals with two arguments",
       sheet("<r><xsl:copy-of select='xalan:intervals(/*, /*)'/></r>"), "",
       "The interval-parse() function accepts one argument!"},
  };
  std::unique_ptr<DOMDocument, Release> sentinel(
      xercesc::DOMImplementationRegistry::getDOMImplementation(u"Core")->createDocument());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome out = run("<a/>", c.sheet, sentinel.get());
    EXPECT_NE(out.error, "");
    EXPECT_EQ(out.error.rfind(c.start, 0), 0u) << out.error;
    EXPECT_NE(out.error.find(c.holds), std::string::npos) << out.error;
    EXPECT_EQ(out.document, sentinel.get());
  }
}

// A stream whose reads fail with a standard exception.
class ThrowingBuffer : public std::streambuf {
 protected:
  int_type underflow() override { throw std::runtime_error("stylesheet unreadable"); }
};

TEST_F(ConvertXml, StandardExceptionsAndMissingSourcesBecomeMessages) {
  ThrowingBuffer buffer;
  std::istream stylesheet(&buffer);
  stylesheet.exceptions(std::ios::badbit);
  const Outcome out = run("<a/>", stylesheet);
  EXPECT_EQ(out.error, "ConvertByXSLTException:stylesheet unreadable");
  EXPECT_EQ(out.document, nullptr);

  std::istringstream sheetStream(kIntervalsSheet);
  DOMDocument* result = nullptr;
  const std::string error = ConvertByXSLT().convert(nullptr, sheetStream, result);
  EXPECT_EQ(error.rfind("ConvertByXSLTException:", 0), 0u) << error;
  EXPECT_EQ(result, nullptr);
}

// An extension function that stands for the host writing to its standard error
// stream while a stylesheet runs: it writes its argument there.
class WriteToStandardError : public xalanc::Function {
 public:
  using xalanc::Function::execute;
  xalanc::XObjectPtr execute(xalanc::XPathExecutionContext& context, xalanc::XalanNode*,
                             const XObjectArgVectorType& args,
                             const xalanc::Locator*) const override {
    std::string text;
    for (const XMLCh* c = args.at(0)->str(context).c_str(); *c != 0; ++c) {
      text.push_back(static_cast<char>(*c));
    }
    std::cerr << text << '\n';
    return context.getXObjectFactory().createBoolean(true);
  }
  WriteToStandardError* clone(xalanc::MemoryManager& manager) const override {
    return xalanc::XalanCopyConstruct(manager, *this);
  }

 protected:
  const xalanc::XalanDOMString& getError(xalanc::XalanDOMString& result) const override {
    result = u"write() takes one argument";
    return result;
  }
};

// The engine's warnings go through its own reporting, not the process's
// standard error stream: what the host writes there while a stylesheet runs
// arrives, and neither the engine's messages nor its parser's warnings (here
// on a declared encoding that the text's bytes contradict) do.
TEST_F(ConvertXml, StylesheetRunLeavesStandardErrorToTheHost) {
  const ConvertByXSLT engineReady;
  const xalanc::XalanDOMString ns(u"urn:test");
  const xalanc::XalanDOMString name(u"write");
  xalanc::XalanTransformer::installExternalFunctionGlobal(ns, name, WriteToStandardError());
  std::stringbuf host;
  std::streambuf* const previous = std::cerr.rdbuf(&host);
  const Outcome out =
      run("<a/>",
          "<?xml version='1.0' encoding='UTF-16'?>" +
              testutil::replaced(sheet("<xsl:message>engine warning</xsl:message>"
                                       "<r><xsl:value-of select='t:write(\"host line\")'/></r>"),
                                 "exclude-result-prefixes='xalan'",
                                 "xmlns:t='urn:test' exclude-result-prefixes='xalan t'"));
  std::cerr.rdbuf(previous);
  xalanc::XalanTransformer::uninstallExternalFunctionGlobal(ns, name);
  EXPECT_EQ(out.error, "");
  EXPECT_EQ(out.text, "<r>true</r>");
  EXPECT_EQ(host.str(), "host line\n");
}

}  // namespace

// A stylesheet may hold what one call returned while it makes many more calls:
// every result lives as long as the conversion (more calls than one result
// document takes, so a result document that went early would show here, and
// under the address sanitizer as a read of freed memory).
TEST_F(ConvertXml, ResultsLiveUntilTheConversionEnds) {
  auto bin = [](int i) {
    return "<DiscretizeBin binValue='" + std::to_string(i) + "'><Interval closure='closedOpen' " +
           "leftMargin='" + std::to_string(i) + "' rightMargin='" + std::to_string(i + 1) +
           "'/></DiscretizeBin>";
  };
  std::string rules = "<Rules>";
  for (int i = 0; i < 2100; ++i) rules += bin(i);
  rules += "</Rules>";
  const Outcome alone = run("<Rules>" + bin(0) + "</Rules>", kIntervalsSheet);
  ASSERT_EQ(alone.error, "");
  const std::string firstResult = alone.text.substr(std::string("<Result>").size());

  const Outcome held =
      run(rules, sheet("<Result><xsl:value-of select='count($first)'/>"
                       "<xsl:for-each select='/Rules/*'>"
                       "<xsl:if test='count(xalan:intervals(.)) != 1'>?</xsl:if></xsl:for-each>"
                       "<xsl:copy-of select='$first'/></Result>",
                       "<xsl:variable name='first' select='xalan:intervals(/Rules/*[1])'/>"));
  ASSERT_EQ(held.error, "");
  EXPECT_EQ(held.text, "<Result>1" + firstResult);
}
