// The conversion facade: text, stream and document forms, copying, error
// numbering, and the DOM lookup and transcoding helpers.
#include "trans/convert_trans.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "host/norvel.h"
#include "tests/test_util.h"
#include "trans/xml_parser.h"

namespace {

using pmmlxform::HardenedDOMParser;
using testutil::u16;
using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>";

// UTF-8 form of a node, serialised without XML declaration.
std::string toText(DOMNode* node) {
  static const XMLCh kCore[] = u"Core";
  static const XMLCh kDeclParam[] = u"xml-declaration";
  auto* impl = xercesc::DOMImplementationRegistry::getDOMImplementation(kCore);
  xercesc::DOMLSSerializer* serializer = impl->createLSSerializer();
  serializer->getDomConfig()->setParameter(kDeclParam, false);
  XMLCh* text = serializer->writeToString(node);
  std::string out;
  norvel::QORVMBU16ToU8(out, text);
  xercesc::XMLString::release(&text);
  serializer->release();
  return out;
}

// The protected helpers, opened up; the held description is reachable too.
class Probe : public ConvertTrans {
 public:
  using ConvertTrans::findElement;
  using ConvertTrans::getTheElement;
  using ConvertTrans::importElement;
  using ConvertTrans::transcode;
  using ConvertTrans::UTF16To8;
  DOMDocument*& held() { return transDocument; }
  const std::string& path() const { return stylesheetPath; }
  void setPath(const std::string& path) { stylesheetPath = path; }
};

// Holds a clone of `xml`'s document as the object's transformation description.
void hold(Probe& probe, const std::string& xml) {
  HardenedDOMParser parser;
  ASSERT_EQ(parser.parseText(xml), 0u);
  if (probe.held() != nullptr) probe.held()->release();
  probe.held() = static_cast<DOMDocument*>(parser.getDocument()->cloneNode(true));
}

// A conversion whose document forms do what a test asks and remember what
// they received. A result, when asked for, is a copy of the (first) input.
class Scripted : public Probe {
 public:
  int code = 0;
  bool produce = true;
  std::string newMessage = "converted";
  int calls = 0;
  bool gotDocument = false;
  std::string received;  // the input's document element, or empty

  int transform(DOMDocument* input, DOMDocument*& output, std::string& message,
                std::vector<TmsEndInfo>& vars) override {
    record(input);
    if (produce && input != nullptr) output = static_cast<DOMDocument*>(input->cloneNode(true));
    message = newMessage;
    vars.push_back(TmsEndInfo{"v", "", "", ""});
    return code;
  }
  using ConvertTrans::transform;

  int mergePMML(DOMDocument* trans, DOMDocument* model, DOMDocument*& output, std::string& message,
                std::vector<TmsEndInfo>& dataFields, std::vector<TmsEndInfo>& derivedFields,
                std::vector<TmsMiningFieldInfo>& miningFields) override {
    record(trans);
    if (model != nullptr && model->getDocumentElement() != nullptr) {
      received += "+" + toText(model->getDocumentElement());
    }
    if (produce && model != nullptr) output = static_cast<DOMDocument*>(model->cloneNode(true));
    message = newMessage;
    dataFields.push_back(TmsEndInfo{"d", "", "", ""});
    derivedFields.push_back(TmsEndInfo{"t", "", "", ""});
    miningFields.push_back(TmsMiningFieldInfo{"m", "active"});
    return code;
  }
  using ConvertTrans::mergePMML;

 private:
  void record(DOMDocument* input) {
    ++calls;
    gotDocument = input != nullptr;
    received = input != nullptr && input->getDocumentElement() != nullptr
                   ? toText(input->getDocumentElement())
                   : "";
  }
};

std::string billionLaughs() {
  std::string xml = "<!DOCTYPE r [<!ENTITY l0 'ha'>";
  for (int i = 1; i <= 9; ++i) {
    xml += "<!ENTITY l" + std::to_string(i) + " '";
    for (int k = 0; k < 10; ++k) xml += "&l" + std::to_string(i - 1) + ";";
    xml += "'>";
  }
  return xml + "]><r>&l9;</r>";
}

std::string tooDeep() {
  std::string xml;
  for (std::size_t i = 0; i <= pmmlxform::kMaxElementDepth; ++i) xml += "<a>";
  for (std::size_t i = 0; i <= pmmlxform::kMaxElementDepth; ++i) xml += "</a>";
  return xml;
}

// ---------------------------------------------------------------------------
// The base class's fixed answers

TEST(ConvertTrans, BaseTransformAnswersInternalErrorInEveryForm) {
  ConvertTrans convert;
  std::vector<TmsEndInfo> vars;
  std::string output = "untouched", message;
  EXPECT_EQ(convert.transform("<root/>", output, message, vars), 1);
  EXPECT_EQ(message, "internal error");
  EXPECT_EQ(output, "untouched");

  std::istringstream in("<root/>");
  std::ostringstream out;
  message.clear();
  EXPECT_EQ(convert.transform(in, out, message, vars), 1);
  EXPECT_EQ(message, "internal error");
  EXPECT_EQ(out.str(), "");

  HardenedDOMParser parser;
  ASSERT_EQ(parser.parseText("<root/>"), 0u);
  DOMDocument* result = nullptr;
  message.clear();
  EXPECT_EQ(convert.transform(parser.getDocument(), result, message, vars), 1);
  EXPECT_EQ(message, "internal error");
  EXPECT_EQ(result, nullptr);
  EXPECT_TRUE(vars.empty());
}

TEST(ConvertTrans, BaseMergeAnswersMissingDocumentsThenRunError) {
  ConvertTrans convert;
  HardenedDOMParser transParser, modelParser;
  ASSERT_EQ(transParser.parseText("<PMML/>"), 0u);
  ASSERT_EQ(modelParser.parseText("<PMML/>"), 0u);
  DOMDocument* trans = transParser.getDocument();
  DOMDocument* model = modelParser.getDocument();
  static const XMLCh kCore[] = u"Core";
  auto* impl = xercesc::DOMImplementationRegistry::getDOMImplementation(kCore);
  std::unique_ptr<DOMDocument, void (*)(DOMDocument*)> empty(impl->createDocument(),
                                                             [](DOMDocument* d) { d->release(); });
  struct Case {
    const char* name;
    DOMDocument* trans;
    DOMDocument* model;
    int code;
  };
  const Case cases[] = {
      {"no transformation", nullptr, model, 6},
      {"no documents at all", nullptr, nullptr, 6},
      {"no model", trans, nullptr, 7},
      {"null model before empty transformation", empty.get(), nullptr, 7},
      {"empty transformation", empty.get(), model, 6},
      {"empty model", trans, empty.get(), 7},
      {"both present", trans, model, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<TmsEndInfo> data, derived;
    std::vector<TmsMiningFieldInfo> mining;
    DOMDocument* result = nullptr;
    std::string message = "before";
    EXPECT_EQ(convert.mergePMML(c.trans, c.model, result, message, data, derived, mining), c.code);
    EXPECT_EQ(message, c.code == 9 ? "run error" : "before");
    EXPECT_EQ(result, nullptr);
  }
}

// ---------------------------------------------------------------------------
// transform: text, stream and document forms

TEST(ConvertTransText, ShortOrMalformedTextStopsBeforeTheConversion) {
  struct Case {
    const char* name;
    std::string text;
    bool converted;
  };
  const Case cases[] = {
      {"empty", "", false},
      {"well-formed, 4 characters", "<a/>", false},
      {"well-formed, 5 characters", "<ab/>", false},
      {"well-formed, 6 characters", "<abc/>", true},
      {"not well-formed", "<PMML><Header></PMML>", false},
      {"entity expansion bomb", billionLaughs(), false},
      {"nested too deep", tooDeep(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scripted convert;
    std::vector<TmsEndInfo> vars;
    std::string output = "out", message = "msg";
    const int code = convert.transform(c.text, output, message, vars);
    EXPECT_EQ(convert.calls, c.converted ? 1 : 0);
    if (c.converted) {
      EXPECT_EQ(code, 0);
      EXPECT_EQ(output, kDeclaration + c.text);
    } else {
      EXPECT_EQ(code, 1);
      EXPECT_EQ(output, "out");
      EXPECT_EQ(message, "msg");
      EXPECT_TRUE(vars.empty());
    }
  }
}

TEST(ConvertTransText, HeldDescriptionLetsShortAndEmptyTextsThrough) {
  Scripted convert;
  hold(convert, "<held/>");
  std::vector<TmsEndInfo> vars;
  std::string output, message;
  // A short well-formed text is converted.
  EXPECT_EQ(convert.transform("<a/>", output, message, vars), 0);
  EXPECT_EQ(convert.received, "<a/>");
  // An empty text is not well-formed, but converts the held description again.
  convert.produce = false;
  EXPECT_EQ(convert.transform("", output, message, vars), 0);
  EXPECT_EQ(convert.calls, 2);
  EXPECT_TRUE(convert.gotDocument);  // a document without document element
  EXPECT_EQ(convert.received, "");
  // A short malformed text is still refused.
  EXPECT_EQ(convert.transform("<a>", output, message, vars), 1);
  EXPECT_EQ(convert.calls, 2);
}

TEST(ConvertTransText, WritesTheResultWhateverTheCodeWithoutPrettyPrinting) {
  Scripted convert;
  convert.code = 3;
  std::vector<TmsEndInfo> vars;
  std::string output, message;
  EXPECT_EQ(convert.transform("<PMML><Header copyright=\"c\"/><DataDictionary/></PMML>", output,
                              message, vars),
            3);
  EXPECT_EQ(output,
            std::string(kDeclaration) + "<PMML><Header copyright=\"c\"/><DataDictionary/></PMML>");
  EXPECT_EQ(message, "converted");
  ASSERT_EQ(vars.size(), 1u);

  // No result document: the output text stays as it was.
  convert.produce = false;
  output = "kept";
  EXPECT_EQ(convert.transform("<PMML></PMML>", output, message, vars), 3);
  EXPECT_EQ(output, "kept");
}

TEST(ConvertTransStream, ReadsWholeStreamAndWritesOnlyOnSuccess) {
  // Several 1023-character chunks, and a tail.
  std::string xml = "<PMML>";
  while (xml.size() < 5000) xml += "<DataField name=\"field" + std::to_string(xml.size()) + "\"/>";
  xml += "</PMML>";
  Scripted convert;
  std::vector<TmsEndInfo> vars;
  std::string message;
  {
    std::istringstream in(xml);
    std::ostringstream out;
    EXPECT_EQ(convert.transform(in, out, message, vars), 0);
    EXPECT_EQ(out.str(), kDeclaration + xml);
  }
  convert.code = 2;
  {
    std::istringstream in(xml);
    std::ostringstream out("before", std::ios::ate);
    EXPECT_EQ(convert.transform(in, out, message, vars), 2);
    EXPECT_EQ(out.str(), "before");
    EXPECT_EQ(message, "converted");
  }
  {
    std::istringstream in("");
    std::ostringstream out;
    message = "msg";
    EXPECT_EQ(convert.transform(in, out, message, vars), 1);
    EXPECT_EQ(message, "msg");
  }
}

TEST(ConvertTransStream, NulBytesMakeTheInputInvalidInsteadOfSplicingIt) {
  // Dropping what follows a NUL within its chunk would turn this into "<a/>".
  Scripted convert;
  std::vector<TmsEndInfo> vars;
  std::string message;
  std::istringstream in(std::string("<a/>\0<b>junk</b>", 16));
  std::ostringstream out;
  EXPECT_EQ(convert.transform(in, out, message, vars), 1);
  EXPECT_EQ(convert.calls, 0);
  EXPECT_EQ(out.str(), "");
}

// ---------------------------------------------------------------------------
// mergePMML: text and stream forms

TEST(ConvertTransMerge, TextFormPassesBothDocumentsAndPrettyPrintsTheResult) {
  Scripted convert;
  convert.code = 4;  // a warning: the result is still written
  std::vector<TmsEndInfo> data, derived;
  std::vector<TmsMiningFieldInfo> mining;
  std::string output, message;
  EXPECT_EQ(convert.mergePMML("<T><a/></T>", "<M><b/></M>", output, message, data, derived, mining),
            4);
  EXPECT_EQ(convert.received, "<T><a/></T>+<M><b/></M>");
  // Pretty-printed: each element on its own indented line.
  EXPECT_EQ(output.rfind(kDeclaration, 0), 0u);
  EXPECT_NE(output.find("\n<M>\n"), std::string::npos);
  EXPECT_NE(output.find("\n  <b/>\n"), std::string::npos);
  ASSERT_EQ(data.size(), 1u);
  ASSERT_EQ(derived.size(), 1u);
  ASSERT_EQ(mining.size(), 1u);
  EXPECT_EQ(data[0].name, "d");
  EXPECT_EQ(derived[0].name, "t");
  EXPECT_EQ(mining[0].name, "m");
}

TEST(ConvertTransMerge, TextThatDoesNotParseCountsAsAMissingDocument) {
  const std::string good = "<PMML/>";
  struct Case {
    const char* name;
    std::string trans;
    std::string model;
    int code;
  };
  const Case cases[] = {
      {"malformed transformation", "<PMML><Header></PMML>", good, 6},
      {"empty transformation", "", good, 6},
      {"transformation bomb", billionLaughs(), good, 6},
      {"transformation too deep", tooDeep(), good, 6},
      {"malformed model", good, "<PMML", 7},
      {"model bomb", good, billionLaughs(), 7},
      {"model too deep", good, tooDeep(), 7},
      {"both good", good, good, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConvertTrans convert;
    std::vector<TmsEndInfo> data, derived;
    std::vector<TmsMiningFieldInfo> mining;
    std::string output = "out", message;
    EXPECT_EQ(convert.mergePMML(c.trans, c.model, output, message, data, derived, mining), c.code);
    EXPECT_EQ(output, "out");
  }
}

TEST(ConvertTransMerge, StreamFormsReadBothStreamsThenCheckForEmptyOnes) {
  struct Case {
    const char* name;
    const char* trans;
    const char* model;
    int code;
  };
  const Case cases[] = {
      {"empty transformation", "", "<M/>", 6},
      {"both empty", "", "", 6},
      {"empty model", "<T/>", "", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scripted convert;
    std::vector<TmsEndInfo> data, derived;
    std::vector<TmsMiningFieldInfo> mining;
    std::string message;
    {
      std::istringstream trans(c.trans), model(c.model);
      std::string output = "out";
      EXPECT_EQ(convert.mergePMML(trans, model, output, message, data, derived, mining), c.code);
      EXPECT_EQ(output, "out");
      EXPECT_TRUE(model.eof());
    }
    {
      std::istringstream trans(c.trans), model(c.model);
      std::ostringstream output;
      EXPECT_EQ(convert.mergePMML(trans, model, output, message, data, derived, mining), c.code);
      EXPECT_EQ(output.str(), "");
      EXPECT_TRUE(model.eof());
    }
    EXPECT_EQ(convert.calls, 0);
  }
}

TEST(ConvertTransMerge, StreamOutputIsWrittenOnlyOnSuccess) {
  const std::string expected = std::string(kDeclaration) + "\n<M/>\n";
  for (int code : {0, 4}) {
    SCOPED_TRACE(code);
    Scripted convert;
    convert.code = code;
    std::vector<TmsEndInfo> data, derived;
    std::vector<TmsMiningFieldInfo> mining;
    std::string message;
    std::istringstream trans("<T/>"), model("<M/>");
    std::ostringstream out;
    EXPECT_EQ(convert.mergePMML(trans, model, out, message, data, derived, mining), code);
    EXPECT_EQ(out.str(), code == 0 ? expected : "");

    std::istringstream trans2("<T/>"), model2("<M/>");
    std::string text;
    EXPECT_EQ(convert.mergePMML(trans2, model2, text, message, data, derived, mining), code);
    EXPECT_EQ(text, expected);
  }
}

// ---------------------------------------------------------------------------
// isValidTransXML

TEST(ConvertTransValid, TrueExactlyWhenTheConversionSucceeds) {
  for (int code : {0, 1, 2, 9}) {
    SCOPED_TRACE(code);
    Scripted convert;
    convert.code = code;
    int errorNo = -1;
    std::string message;
    EXPECT_EQ(convert.isValidTransXML(std::string("<PMML/>"), errorNo, message), code == 0);
    EXPECT_EQ(errorNo, code);
    EXPECT_EQ(message, "converted");

    std::istringstream in("<PMML/>");
    errorNo = -1;
    EXPECT_EQ(convert.isValidTransXML(in, errorNo, message), code == 0);
    EXPECT_EQ(errorNo, code);

    HardenedDOMParser parser;
    ASSERT_EQ(parser.parseText("<PMML/>"), 0u);
    errorNo = -1;
    // The result document the conversion produced is dropped without a leak.
    EXPECT_EQ(convert.isValidTransXML(parser.getDocument(), errorNo, message), code == 0);
    EXPECT_EQ(errorNo, code);
    EXPECT_EQ(convert.calls, 3);
  }
  ConvertTrans base;
  int errorNo = -1;
  std::string message;
  EXPECT_FALSE(base.isValidTransXML(std::string("<a/>"), errorNo, message));
  EXPECT_EQ(errorNo, 1);
  EXPECT_EQ(message, "");
}

// ---------------------------------------------------------------------------
// getErrorNo

TEST(ConvertTransErrorNo, NumbersEveryKindOfMessage) {
  const std::string t = "ElemMessageTerminateExpression:";
  struct Case {
    const char* name;
    std::string message;
    int code;
    std::string after;
  };
  const Case cases[] = {
      {"empty", "", 0, ""},
      {"other engine failure", "SAXParseException: bad (line 1)", 9,
       "SAXParseException: bad (line 1)"},
      {"prefix in other case", "elemMessageTerminateExpression: CVT_FuncErr:x (l)", 9,
       "elemMessageTerminateExpression: CVT_FuncErr:x (l)"},
      {"prefix not at the start", " " + t + " CVT_FuncErr:x (l)", 9,
       " " + t + " CVT_FuncErr:x (l)"},
      {"worked example", t + " CVT_FuncErr:no such field (transformation.xsl, line 12)", 2,
       "no such field"},
      {"variables", t + " CVT_ReVarsErr:age is defined twice (line 40, column 7)", 3,
       "age is defined twice"},
      {"conversion", t + " CVT_ConvertErr:cannot convert entry 3 (line 9)", 5, ""},
      {"other terminating message", t + " stopped here (line 9)", 4, "stopped here"},
      {"any separating character", t + "\nCVT_ReVarsErr:x\n(line 1)", 3, "x"},
      {"no location", t + " CVT_FuncErr:no location", 2, "no location"},
      {"cut at the first parenthesis", t + " CVT_FuncErr:use f(x) (line 2)", 2, "use "},
      {"prefix alone", t, 4, ""},
      {"prefix and separator", t + " ", 4, ""},
      {"location right after the prefix", t + "(line 1)", 4, ""},
      {"bare stylesheet prefix", t + " CVT_FuncErr: (line 1)", 2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConvertTrans convert;
    std::string message = c.message;
    EXPECT_EQ(convert.getErrorNo(message), c.code);
    EXPECT_EQ(message, c.after);
  }
}

// ---------------------------------------------------------------------------
// Copying, flags, platform lifetime

TEST(ConvertTransCopy, CopiesNeverShareTheHeldDescription) {
  Probe source;
  source.setPath("/x/transformation.xsl");
  source.setNeedMerging(false);
  hold(source, "<Description><Recode target=\"t\"/></Description>");

  Probe copy(static_cast<const Probe&>(source));
  EXPECT_EQ(copy.path(), "/x/transformation.xsl");
  EXPECT_FALSE(copy.getNeedMerging());
  ASSERT_NE(copy.held(), nullptr);
  EXPECT_NE(copy.held(), source.held());
  EXPECT_EQ(toText(copy.held()->getDocumentElement()), toText(source.held()->getDocumentElement()));

  // Assignment replaces the target's own description (no leak) with a copy.
  Probe target;
  hold(target, "<Other/>");
  target = source;
  ASSERT_NE(target.held(), nullptr);
  EXPECT_NE(target.held(), source.held());
  EXPECT_EQ(toText(target.held()->getDocumentElement()),
            "<Description><Recode target=\"t\"/></Description>");
  EXPECT_FALSE(target.getNeedMerging());

  // Assigning an object without a description drops the target's.
  Probe fresh;
  target = fresh;
  EXPECT_EQ(target.held(), nullptr);
  EXPECT_TRUE(target.getNeedMerging());

  // Self-assignment keeps the description.
  Probe& alias = source;
  source = alias;
  ASSERT_NE(source.held(), nullptr);

  // Each copy outlives the other's changes: editing one leaves the other alone.
  source.held()->getDocumentElement()->setAttribute(u"edited", u"yes");
  EXPECT_FALSE(copy.held()->getDocumentElement()->hasAttribute(u"edited"));
}

TEST(ConvertTransCopy, EveryObjectKeepsThePlatformAliveForItsOwnLifetime) {
  // No other holder of the XML platform in this test: if a copy failed to
  // initialise it, its destructor would end the platform under `first`.
  auto first = std::make_unique<ConvertTrans>();
  {
    ConvertTrans copy(*first);
    ConvertTrans assigned;
    assigned = copy;
  }
  ASSERT_NE(xercesc::XMLPlatformUtils::fgMemoryManager, nullptr);
  std::vector<TmsEndInfo> vars;
  std::string output, message;
  EXPECT_EQ(first->transform("<PMML/>", output, message, vars), 1);
  EXPECT_EQ(message, "internal error");
}

// ---------------------------------------------------------------------------
// getTheElement

const char kModel[] =
    "<PMML id=\"pmml\">\n"
    "  <Header id=\"header\"><Application id=\"app\"/></Header>\n"
    "  <DataDictionary id=\"dd\">\n"
    "    <DataField id=\"df1\" name=\"x\"/>\n"
    "    <!-- comment -->\n"
    "    <DataField id=\"df2\" name=\"Y\"/>\n"
    "    <DataField id=\"df3\" name=\"y\"/>\n"
    "  </DataDictionary>\n"
    "  <TransformationDictionary id=\"td\">\n"
    "    <DefineFunction id=\"fn\" name=\"f\"/>\n"
    "    <DerivedField id=\"d1\" name=\"band\"/>\n"
    "    <DerivedField id=\"d2\" name=\"Score\"/>\n"
    "  </TransformationDictionary>\n"
    "  <RegressionModel id=\"model1\">\n"
    "    <MiningSchema id=\"ms1\">\n"
    "      <MiningField id=\"mf1\" name=\"income\"/>\n"
    "      <MiningField id=\"mf2\" name=\"band\" usageType=\"active\"/>\n"
    "    </MiningSchema>\n"
    "  </RegressionModel>\n"
    "  <TreeModel id=\"model2\"><MiningSchema id=\"ms2\"/></TreeModel>\n"
    "</PMML>\n";

class ElementLookup : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(parser_.parseText(kModel), 0u); }
  DOMDocument* doc() { return parser_.getDocument(); }
  DOMElement* byId(const std::string& id) {
    xercesc::DOMNodeList* all = doc()->getElementsByTagName(u"*");
    for (XMLSize_t i = 0; i < all->getLength(); ++i) {
      auto* element = static_cast<DOMElement*>(all->item(i));
      if (idOf(element) == id) return element;
    }
    return nullptr;
  }
  std::string idOf(DOMElement* element) {
    return element == nullptr ? "null" : probe_.transcode(element->getAttribute(u"id"));
  }

  Probe probe_;  // first: it keeps the platform alive for the parser
  HardenedDOMParser parser_;
};

TEST_F(ElementLookup, FollowsPathsFromTheDocumentNode) {
  struct Case {
    const char* path;
    int index;
    const char* id;
  };
  const Case cases[] = {
      {"PMML", 0, "pmml"},
      {"PMML", 1, "null"},
      {"pmml", 0, "null"},
      {"*", 0, "pmml"},
      {"PMML/Header/Application", 0, "app"},
      {"PMML/TransformationDictionary", 0, "td"},
      {"PMML/DataDictionary/DataField", 0, "df1"},
      {"PMML/DataDictionary/DataField", 1, "df2"},
      {"PMML/DataDictionary/DataField", 2, "df3"},
      {"PMML/DataDictionary/DataField", 3, "null"},
      {"PMML/DataDictionary/DataField", -1, "null"},
      {"PMML/*", 0, "header"},
      {"PMML/*", 2, "td"},
      {"PMML/*", 5, "null"},
      // The first match of an earlier step is final: Header has no
      // MiningSchema, so the later models are never tried.
      {"PMML/*/MiningSchema", 0, "null"},
      {"PMML/RegressionModel/MiningSchema", 0, "ms1"},
      {"PMML/TreeModel/MiningSchema", 0, "ms2"},
      {"PMML/Header/Missing", 0, "null"},
      {"PMML/DataDictionary/DataField/@name=y", 0, "df2"},
      {"PMML/DataDictionary/DataField/@name=y", 1, "df3"},
      {"PMML/DataDictionary/DataField/@name=X", 0, "df1"},
      {"PMML/DataDictionary/DataField/@name=z", 0, "null"},
      {"PMML/DataDictionary/DataField/@id=DF3", 0, "df3"},
      {"PMML/TransformationDictionary/DerivedField/@name=SCORE", 0, "d2"},
      // The attribute step scans from the first DerivedField onwards only.
      {"PMML/TransformationDictionary/DerivedField/@name=f", 0, "null"},
      // "@attr" without "=": elements that carry the attribute.
      {"PMML/TransformationDictionary/DefineFunction/@name", 2, "d2"},
      {"PMML/RegressionModel/MiningSchema/MiningField/@usageType", 0, "mf2"},
      {"PMML/RegressionModel/MiningSchema/MiningField/@optype", 0, "null"},
      // A step after an attribute step looks at the matched element's children.
      {"PMML/*/@id=td/DerivedField", 1, "d2"},
      {"PMML/", 0, "pmml"},
      {"PMML//Header", 0, "null"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " #" + std::to_string(c.index));
    EXPECT_EQ(idOf(probe_.getTheElement(doc(), c.path, c.index)), c.id);
  }
}

TEST_F(ElementLookup, FollowsPathsFromAnElement) {
  struct Case {
    const char* start;
    const char* path;
    int index;
    const char* id;
  };
  const Case cases[] = {
      {"ms1", "MiningField/@name=BAND", 0, "mf2"},
      {"ms1", "MiningField/@name=income", 0, "mf1"},
      {"ms1", "MiningField/@name=wage", 0, "null"},
      {"dd", "DataField/@name=Y", 0, "df2"},
      {"td", "DerivedField/@name=band", 0, "d1"},
      {"model1", "MiningSchema", 0, "ms1"},
      {"pmml", "PMML", 0, "null"},
      {"pmml", "", 0, "pmml"},
      {"df1", "", 3, "df1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.start) + ": " + c.path);
    EXPECT_EQ(idOf(probe_.getTheElement(byId(c.start), c.path, c.index)), c.id);
  }
}

TEST_F(ElementLookup, NonElementStartsFindNothing) {
  EXPECT_EQ(probe_.getTheElement(nullptr, "PMML", 0), nullptr);
  EXPECT_EQ(probe_.getTheElement(nullptr, "", 0), nullptr);
  // An empty path on the document node: not an element.
  EXPECT_EQ(probe_.getTheElement(doc(), "", 0), nullptr);
  DOMNode* text = doc()->getDocumentElement()->getFirstChild();
  ASSERT_EQ(text->getNodeType(), DOMNode::TEXT_NODE);
  EXPECT_EQ(probe_.getTheElement(text, "Header", 0), nullptr);
  EXPECT_EQ(probe_.getTheElement(text, "", 0), nullptr);
}

TEST_F(ElementLookup, MatchesAttributeValuesOutsideAsciiInAUtf8Locale) {
  testutil::ScopedLocale locale("C.UTF-8");
  if (!locale.ok()) GTEST_SKIP() << "no C.UTF-8 locale";
  HardenedDOMParser parser;
  ASSERT_EQ(parser.parseText("<S><F id=\"a\" name=\"\xC3\xA4pfel\"/><F id=\"b\" "
                             "name=\"\xC3\xBC"
                             "ber\"/></S>"),
            0u);
  EXPECT_EQ(idOf(probe_.getTheElement(parser.getDocument(),
                                      "S/F/@name=\xC3\xBC"
                                      "ber",
                                      0)),
            "b");
  EXPECT_EQ(idOf(probe_.getTheElement(parser.getDocument(), "S/F/@name=\xC3\xBC", 0)), "null");
}

// ---------------------------------------------------------------------------
// findElement

TEST(FindElement, MatchesTheNameAttributeIgnoringCaseAndElementNames) {
  Probe probe;
  HardenedDOMParser parser;
  ASSERT_EQ(parser.parseText("<P>text<!--c--><A id=\"1\" name=\"Income\"/><B id=\"2\"/>"
                             "<C id=\"3\" name=\"age\"/><D id=\"4\" name=\"AGE\"/></P>"),
            0u);
  DOMElement* parent = parser.getDocument()->getDocumentElement();
  DOMDocument* doc = parser.getDocument();
  struct Case {
    const char* name;  // null: no "name" attribute
    const char* id;
  };
  const Case cases[] = {
      {"income", "1"}, {"AGE", "3"}, {"Age", "3"}, {nullptr, "2"}, {"", "2"}, {"wage", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name == nullptr ? "(absent)" : c.name);
    DOMElement* element = doc->createElement(u"DataField");
    if (c.name != nullptr) element->setAttribute(u"name", u16(c.name).c_str());
    DOMElement* found = probe.findElement(parent, element);
    EXPECT_EQ(found == nullptr ? "" : probe.transcode(found->getAttribute(u"id")), c.id);
    element->release();
  }
  EXPECT_EQ(probe.findElement(nullptr, parent), nullptr);
}

// ---------------------------------------------------------------------------
// importElement

TEST(ImportElement, CopiesElementsAndMeaningfulTextOnly) {
  Probe probe;
  HardenedDOMParser source, target;
  ASSERT_EQ(source.parseText("<DerivedField name=\"d\" optype=\"continuous\">\n"
                             "  <!-- note -->\n"
                             "  <Apply function=\"+\"><FieldRef field=\"a\"/>\n"
                             "    <Constant>-</Constant><Constant>-1</Constant>"
                             "<Constant>.</Constant><Constant> , ; </Constant>"
                             "<Constant>\xC3\xA9</Constant><Constant>x</Constant>\n"
                             "  </Apply><?pi data?><![CDATA[12]]>\n"
                             "</DerivedField>"),
            0u);
  ASSERT_EQ(target.parseText("<PMML/>"), 0u);
  DOMDocument* doc = target.getDocument();
  DOMElement* copy = probe.importElement(doc, source.getDocument()->getDocumentElement());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->getOwnerDocument(), doc);
  EXPECT_EQ(copy->getParentNode(), nullptr);
  EXPECT_EQ(toText(copy),
            "<DerivedField name=\"d\" optype=\"continuous\"><Apply function=\"+\">"
            "<FieldRef field=\"a\"/><Constant/><Constant>-1</Constant><Constant>.</Constant>"
            "<Constant/><Constant/><Constant>x</Constant></Apply></DerivedField>");
  // The source is left as it was.
  EXPECT_NE(toText(source.getDocument()->getDocumentElement()).find("<!-- note -->"),
            std::string::npos);
  doc->getDocumentElement()->appendChild(copy);
}

// ---------------------------------------------------------------------------
// transcode, UTF16To8, XMLText

TEST(Transcoding, LocalCodePageAndUtf8) {
  Probe probe;
  const std::u16string text = u16("caf\xC3\xA9");
  {
    testutil::ScopedLocale locale("C");
    ASSERT_TRUE(locale.ok());
    EXPECT_EQ(probe.transcode(text.c_str()), "caf?");
    EXPECT_EQ(probe.UTF16To8(text.c_str()), "caf\xC3\xA9");
  }
  {
    testutil::ScopedLocale locale("C.UTF-8");
    if (locale.ok()) {
      EXPECT_EQ(probe.transcode(text.c_str()), "caf\xC3\xA9");
    }
  }
  EXPECT_EQ(probe.transcode(nullptr), "");
  EXPECT_EQ(probe.UTF16To8(nullptr), "");
  EXPECT_EQ(probe.UTF16To8(u""), "");
  // A character outside the basic plane survives as four UTF-8 bytes.
  EXPECT_EQ(probe.UTF16To8(u16("\xF0\x9F\x99\x82").c_str()), "\xF0\x9F\x99\x82");
}

}  // namespace
