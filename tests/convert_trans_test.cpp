// The conversion facade: stream reading, merge inputs, copying, error
// numbering, and the DOM lookup helpers.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>
#include <xalanc/Include/XalanMemoryManagement.hpp>
#include <xalanc/XSLT/XSLTProcessorException.hpp>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/RuntimeException.hpp>

#include "tests/test_util.h"
#include "xml/parser.h"
#include "xml/writer.h"

namespace {

using pmmlxform::HardenedDOMParser;
using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>";

xercesc::DOMImplementation* core() {
  return xercesc::DOMImplementationRegistry::getDOMImplementation(u"Core");
}

// The protected helpers, opened up; the held description is reachable too.
class Probe : public ConvertTrans {
 public:
  using ConvertTrans::getTheElement;
  using ConvertTrans::importElement;
  using ConvertTrans::transcode;
  DOMDocument*& held() { return transDocument; }
};

// Holds a clone of `xml`'s document as the object's transformation description.
void hold(Probe& probe, const std::string& xml) {
  HardenedDOMParser parser;
  ASSERT_EQ(parser.parseText(xml), 0u);
  if (probe.held() != nullptr) probe.held()->release();
  probe.held() = static_cast<DOMDocument*>(parser.getDocument()->cloneNode(true));
}

// A conversion whose document form counts its calls and returns a copy of its input.
class Scripted : public Probe {
 public:
  int calls = 0;

  int transform(DOMDocument* input, DOMDocument*& output, std::string& message,
                std::vector<TmsEndInfo>&) override {
    ++calls;
    if (input != nullptr) output = static_cast<DOMDocument*>(input->cloneNode(true));
    message = "converted";
    return 0;
  }
  using ConvertTrans::transform;
};

// The three record vectors of a merge.
struct Records {
  std::vector<TmsEndInfo> data, derived;
  std::vector<TmsMiningFieldInfo> mining;
};

// A conversion whose document forms stand in for failures: they throw what
// `fail` throws, or hand out `result` with the code `code`.
class Failing : public ConvertTrans {
 public:
  std::function<void()> fail;
  std::function<DOMDocument*()> result;
  int code = 0;

  int transform(DOMDocument*, DOMDocument*& output, std::string& message,
                std::vector<TmsEndInfo>&) override {
    return answer(output, message);
  }
  int mergePMML(DOMDocument*, DOMDocument*, DOMDocument*& output, std::string& message,
                std::vector<TmsEndInfo>&, std::vector<TmsEndInfo>&,
                std::vector<TmsMiningFieldInfo>&) override {
    return answer(output, message);
  }
  using ConvertTrans::mergePMML;
  using ConvertTrans::transform;

 private:
  int answer(DOMDocument*& output, std::string& message) {
    if (fail) fail();
    output = result ? result() : nullptr;
    message = "converted";
    return code;
  }
};

const char kSmallDocument[] = "<PMML><Header/></PMML>";

// Each text and stream form of transform, mergePMML and isValidTransXML on
// the conversion, as (code, message, output written).
struct FacadeCall {
  int code;
  std::string message, output;
};
struct FacadeForm {
  const char* name;
  const char* prefix;  // of a message the form gives itself
  std::function<FacadeCall(Failing&)> run;
};
const FacadeForm kFacadeForms[] = {
    {"transform, text", "ConvertTransException: ",
     [](Failing& f) {
       FacadeCall c;
       std::vector<TmsEndInfo> vars;
       c.code = f.transform(kSmallDocument, c.output, c.message, vars);
       return c;
     }},
    {"transform, stream", "ConvertTransException: ",
     [](Failing& f) {
       FacadeCall c;
       std::vector<TmsEndInfo> vars;
       std::istringstream in(kSmallDocument);
       std::ostringstream out;
       c.code = f.transform(in, out, c.message, vars);
       c.output = out.str();
       return c;
     }},
    {"validity, text", "ConvertTransException: ",
     [](Failing& f) {
       FacadeCall c;
       const bool valid = f.isValidTransXML(kSmallDocument, c.code, c.message);
       EXPECT_EQ(valid, c.code == 0);
       return c;
     }},
    {"validity, stream", "ConvertTransException: ",
     [](Failing& f) {
       FacadeCall c;
       std::istringstream in(kSmallDocument);
       const bool valid = f.isValidTransXML(in, c.code, c.message);
       EXPECT_EQ(valid, c.code == 0);
       return c;
     }},
    {"merge, text", "exception in mergePMML:",
     [](Failing& f) {
       FacadeCall c;
       Records r;
       c.code = f.mergePMML(kSmallDocument, kSmallDocument, c.output, c.message, r.data, r.derived,
                            r.mining);
       return c;
     }},
    {"merge, streams to text", "exception in mergePMML:",
     [](Failing& f) {
       FacadeCall c;
       Records r;
       std::istringstream trans(kSmallDocument), model(kSmallDocument);
       c.code = f.mergePMML(trans, model, c.output, c.message, r.data, r.derived, r.mining);
       return c;
     }},
    {"merge, streams to stream", "exception in mergePMML:",
     [](Failing& f) {
       FacadeCall c;
       Records r;
       std::istringstream trans(kSmallDocument), model(kSmallDocument);
       std::ostringstream out;
       c.code = f.mergePMML(trans, model, out, c.message, r.data, r.derived, r.mining);
       c.output = out.str();
       return c;
     }},
};

// Every kind of exception the XML library, the XSLT engine and the standard
// library throw becomes code 9 with the exception's text after the form's
// prefix; none reaches the caller, and nothing is written.
TEST(ConvertTransFailure, NoExceptionLeavesAnyForm) {
  const struct {
    const char* kind;
    std::function<void()> fail;
    const char* text;  // part of the message; null where the library words it
  } kinds[] = {
      {"DOM",
       [] {
         throw xercesc::DOMException(xercesc::DOMException::NOT_FOUND_ERR, 0,
                                     xercesc::XMLPlatformUtils::fgMemoryManager);
       },
       nullptr},
      {"XML library",
       [] {
         throw xercesc::RuntimeException(__FILE__, __LINE__,
                                         xercesc::XMLExcepts::Gen_ParseInProgress);
       },
       nullptr},
      {"XSLT engine",
       [] {
         xalanc::MemoryManager& memory = xalanc::XalanMemMgrs::getDefaultXercesMemMgr();
         throw xalanc::XSLTProcessorException(memory,
                                              xalanc::XalanDOMString("engine stopped", memory));
       },
       "engine stopped"},
      {"standard", [] { throw std::runtime_error("standard stop"); }, "standard stop"},
  };
  for (const auto& kind : kinds) {
    for (const FacadeForm& form : kFacadeForms) {
      SCOPED_TRACE(std::string(kind.kind) + ", " + form.name);
      Failing failing;
      failing.fail = kind.fail;
      const FacadeCall c = form.run(failing);
      EXPECT_EQ(c.code, 9);
      EXPECT_EQ(c.message.rfind(form.prefix, 0), 0u) << c.message;
      EXPECT_GT(c.message.size(), std::strlen(form.prefix));
      if (kind.text != nullptr) {
        EXPECT_NE(c.message.find(kind.text), std::string::npos) << c.message;
      }
      EXPECT_EQ(c.output, "");
    }
  }
}

// A result document that cannot be written as text is no result: a success
// (and a merge's field conflict, 4) becomes 9 naming the character and its
// place; a failed conversion keeps its own code and message. Output is left
// alone either way.
TEST(ConvertTransFailure, AResultThatCannotBeWrittenIsCode9) {
  const auto unwritable = [] {
    DOMDocument* document = core()->createDocument();
    DOMElement* root = document->createElement(u"PMML");
    root->setAttribute(u"note", u"a\u0001b");
    document->appendChild(root);
    return document;
  };
  for (const FacadeForm& form : kFacadeForms) {
    const bool merge = std::string(form.name).rfind("merge", 0) == 0;
    for (const int code : {0, 4, 5}) {
      SCOPED_TRACE(std::string(form.name) + ", code " + std::to_string(code));
      Failing failing;
      failing.result = unwritable;
      failing.code = code;
      const FacadeCall c = form.run(failing);
      EXPECT_EQ(c.output, "");
      if (code == 0 || (code == 4 && merge)) {
        EXPECT_EQ(c.code, 9);
        EXPECT_EQ(c.message, std::string(form.prefix) +
                                 "the result cannot be written: the character U+0001 in "
                                 "attribute \"note\" of element \"PMML\" cannot be written in "
                                 "XML 1.0");
      } else {
        EXPECT_EQ(c.code, code);
        EXPECT_EQ(c.message, "converted");
      }
    }
  }
}

// The stream is read in chunks: every chunk must arrive whole, and a NUL byte
// must not cut its chunk short (that once turned "<a/>\0<b>junk</b>" into "<a/>").
TEST(ConvertTransStream, ReadsEveryChunkAndRefusesNulBytes) {
  std::string xml = "<PMML>";
  while (xml.size() < 5000) xml += "<DataField name=\"field" + std::to_string(xml.size()) + "\"/>";
  xml += "</PMML>";
  Scripted convert;
  std::vector<TmsEndInfo> vars;
  std::string message;
  std::istringstream in(xml), nul(std::string("<a/>\0<b>junk</b>", 16));
  std::ostringstream out, none;
  EXPECT_EQ(convert.transform(in, out, message, vars), 0);
  EXPECT_EQ(out.str(), kDeclaration + xml);  // not pretty-printed
  EXPECT_EQ(convert.transform(nul, none, message, vars), 1);
  EXPECT_EQ(convert.calls, 1);
  EXPECT_EQ(none.str(), "");
}

TEST(ConvertTransMerge, EmptyOrUnparsedTextCountsAsAMissingDocument) {
  const struct {
    const char* trans;
    const char* model;
    int code;
  } cases[] = {
      // Malformed text is walked by the hostile-input tests.
      {"", "<PMML/>", 6},
      {"<PMML/>", "", 7},
      {"<PMML/>", "<PMML/>", 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.trans) + " / " + c.model);
    ConvertTrans convert;
    Records r;
    std::string output = "out", message;
    EXPECT_EQ(convert.mergePMML(c.trans, c.model, output, message, r.data, r.derived, r.mining),
              c.code);
    EXPECT_EQ(output, "out");
    EXPECT_EQ(message, c.code == 9 ? "run error" : "");
    std::istringstream trans(c.trans), model(c.model);
    std::ostringstream out;
    EXPECT_EQ(convert.mergePMML(trans, model, out, message, r.data, r.derived, r.mining), c.code);
    EXPECT_EQ(out.str(), "");
    EXPECT_TRUE(model.eof());  // both streams are read before either is judged
  }
}

// The message after numbering, and the stylesheet's own words kept for
// lastStylesheetMessage() (also for code 5, whose message is emptied).
TEST(ConvertTransErrorNo, NumbersEveryKindOfMessage) {
  const std::string t = "ElemMessageTerminateExpression:";
  const struct {
    const char* name;
    std::string message;
    int code;
    std::string after;
    std::string kept;
  } cases[] = {
      {"empty", "", 0, "", ""},
      {"other engine failure", "SAXParseException: bad (l)", 9, "SAXParseException: bad (l)", ""},
      {"prefix not at the start", " " + t + " CVT_FuncErr:x (l)", 9, " " + t + " CVT_FuncErr:x (l)",
       ""},
      {"worked example", t + " CVT_FuncErr:no such field (transformation.xsl, line 12)", 2,
       "no such field", "no such field"},
      {"other terminating message", t + " stopped here (line 9)", 4, "stopped here",
       "stopped here"},
      {"any separating character", t + "\nCVT_ReVarsErr:x\n(line 1)", 3, "x", "x"},
      {"no location", t + " CVT_FuncErr:no location", 2, "no location", "no location"},
      {"cut at the first parenthesis", t + " CVT_FuncErr:use f(x) (line 2)", 2, "use ", "use "},
      {"location right after the prefix", t + "(line 1)", 4, "", ""},
      {"entry that cannot be converted", t + " CVT_ConvertErr:entry 3, too wide (line 4)", 5, "",
       "entry 3, too wide"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ConvertTrans convert;
    std::string earlier = t + " CVT_ConvertErr:an earlier failure (line 1)";
    convert.getErrorNo(earlier);
    std::string message = c.message;
    EXPECT_EQ(convert.getErrorNo(message), c.code);
    EXPECT_EQ(message, c.after);
    EXPECT_EQ(convert.lastStylesheetMessage(), c.kept);
  }
}

TEST(ConvertTransCopy, CopiesNeverShareTheHeldDescription) {
  const std::string description = "<Description><Recode target=\"t\"/></Description>";
  Probe source, target;
  source.setNeedMerging(false);
  hold(source, description);
  hold(target, "<Other/>");
  Probe copy(static_cast<const Probe&>(source));
  target = source;  // replaces the target's own description, without a leak
  for (Probe* p : {&copy, &target}) {
    EXPECT_FALSE(p->getNeedMerging());
    ASSERT_NE(p->held(), nullptr);
    EXPECT_NE(p->held(), source.held());
    EXPECT_EQ(testutil::xmlText(p->held()->getDocumentElement()), description);
  }
  Probe& alias = source;
  source = alias;
  ASSERT_NE(source.held(), nullptr);
  // Editing one copy leaves the other alone.
  source.held()->getDocumentElement()->setAttribute(u"edited", u"yes");
  EXPECT_FALSE(copy.held()->getDocumentElement()->hasAttribute(u"edited"));
  // Assigning an object without a description drops the target's.
  target = Probe();
  EXPECT_EQ(target.held(), nullptr);
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
  std::string output = "untouched", message;
  EXPECT_EQ(first->transform("<PMML/>", output, message, vars), 1);
  EXPECT_EQ(message, "internal error");
  EXPECT_EQ(output, "untouched");
}

const char kModel[] =
    "<PMML id=\"pmml\">\n"
    "  <Header id=\"header\"><Application id=\"app\"/></Header>\n"
    "  <DataDictionary id=\"dd\"><DataField id=\"df1\" name=\"x\"/><!-- comment -->"
    "<DataField id=\"df2\" name=\"Y\"/><DataField id=\"df3\" name=\"y\"/></DataDictionary>\n"
    "  <TransformationDictionary id=\"td\"><DefineFunction id=\"fn\" name=\"f\"/>"
    "<DerivedField id=\"d1\" name=\"band\"/><DerivedField id=\"d2\" name=\"Score\"/>"
    "</TransformationDictionary>\n"
    "  <RegressionModel id=\"model1\"><MiningSchema id=\"ms1\"><MiningField id=\"mf1\" "
    "name=\"income\"/><MiningField id=\"mf2\" name=\"band\" usageType=\"active\"/>"
    "</MiningSchema></RegressionModel>\n"
    "  <TreeModel id=\"model2\"><MiningSchema id=\"ms2\"/></TreeModel>\n"
    "</PMML>\n";

class ElementLookup : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(parser_.parseText(kModel), 0u); }
  DOMDocument* doc() { return parser_.getDocument(); }
  std::string idOf(DOMNode* node) {
    if (node == nullptr) return "null";
    return probe_.transcode(static_cast<DOMElement*>(node)->getAttribute(u"id"));
  }
  // The element with this id; the document node for the empty text.
  DOMNode* byId(const std::string& id) {
    xercesc::DOMNodeList* all = doc()->getElementsByTagName(u"*");
    for (XMLSize_t i = 0; i < all->getLength() && !id.empty(); ++i) {
      if (idOf(all->item(i)) == id) return all->item(i);
    }
    return doc();
  }

  Probe probe_;  // first: it keeps the platform alive for the parser
  HardenedDOMParser parser_;
};

TEST_F(ElementLookup, FollowsPathsFromTheDocumentNodeOrAnElement) {
  const struct {
    const char* start;  // the id of the start element; empty: the document node
    const char* path;
    int index;
    const char* id;
  } cases[] = {
      {"", "PMML", 0, "pmml"},
      {"", "*", 0, "pmml"},
      {"", "PMML/DataDictionary/DataField", 2, "df3"},
      {"", "PMML/DataDictionary/DataField", 3, "null"},
      {"", "PMML/*", 2, "td"},
      // The first match of an earlier step is final: Header has no
      // MiningSchema, so the later models are never tried.
      {"", "PMML/*/MiningSchema", 0, "null"},
      {"", "PMML/DataDictionary/DataField/@name=y", 0, "df2"},
      // The attribute step scans from the first DerivedField onwards only.
      {"", "PMML/TransformationDictionary/DerivedField/@name=f", 0, "null"},
      // "@attr" without "=": elements that carry the attribute.
      {"", "PMML/TransformationDictionary/DefineFunction/@name", 2, "d2"},
      // A step after an attribute step looks at the matched element's children.
      {"", "PMML/*/@id=td/DerivedField", 1, "d2"},
      {"", "PMML//Header", 0, "null"},
      {"", "", 0, "null"},  // the document node is no element
      {"ms1", "MiningField/@name=BAND", 0, "mf2"},
      {"pmml", "PMML", 0, "null"},
      {"pmml", "", 0, "pmml"},
      {"df1", "", 3, "df1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.start) + ": " + c.path + " #" + std::to_string(c.index));
    EXPECT_EQ(idOf(probe_.getTheElement(byId(c.start), c.path, c.index)), c.id);
  }
  EXPECT_EQ(probe_.getTheElement(nullptr, "", 0), nullptr);
  DOMNode* text = doc()->getDocumentElement()->getFirstChild();
  ASSERT_EQ(text->getNodeType(), DOMNode::TEXT_NODE);
  EXPECT_EQ(probe_.getTheElement(text, "Header", 0), nullptr);
  EXPECT_EQ(probe_.getTheElement(text, "", 0), nullptr);
}

// Text with content survives the copy in any script and any locale, so that a
// model's string arrays and annotations keep their values; layout, lone
// signs, comments and instructions go.
TEST_F(ElementLookup, ImportKeepsTextWithContentInAnyScript) {
  const struct {
    const char* children;
    const char* copied;
  } cases[] = {
      {"\n  <b/>\n", "<a k=\"v\"><b/></a>"},
      {"-", "<a k=\"v\"/>"},
      {"-1", "<a k=\"v\">-1</a>"},
      {"\xE7\x94\xB7 \xE5\xA5\xB3", "<a k=\"v\">\xE7\x94\xB7 \xE5\xA5\xB3</a>"},
      {"\xC3\xA9", "<a k=\"v\">\xC3\xA9</a>"},
      {"<![CDATA[x<y]]>", "<a k=\"v\"><![CDATA[x<y]]></a>"},
      {"<![CDATA[ - ]]><!--c--><?p d?>", "<a k=\"v\"/>"},
  };
  for (const char* locale : {"C", "C.UTF-8"}) {
    testutil::ScopedLocale scoped(locale);
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(locale) + ": " + c.children);
      HardenedDOMParser parser;
      ASSERT_EQ(parser.parseText(std::string("<a k='v'>") + c.children + "</a>"), 0u);
      DOMDocument* target = core()->createDocument();
      EXPECT_EQ(testutil::xmlText(
                    probe_.importElement(target, parser.getDocument()->getDocumentElement())),
                c.copied);
      target->release();
    }
  }
}

TEST_F(ElementLookup, MatchesAttributeValuesOutsideAsciiInAUtf8Locale) {
  testutil::ScopedLocale locale("C.UTF-8");
  if (!locale.ok()) GTEST_SKIP() << "no C.UTF-8 locale";
  HardenedDOMParser parser;
  ASSERT_EQ(
      parser.parseText("<S><F id='a' name='\303\244pfel'/><F id='b' name='\303\274ber'/></S>"), 0u);
  EXPECT_EQ(idOf(probe_.getTheElement(parser.getDocument(), "S/F/@name=\303\274ber", 0)), "b");
  EXPECT_EQ(idOf(probe_.getTheElement(parser.getDocument(), "S/F/@name=\303\274", 0)), "null");
}

}  // namespace
