// The conversion facade: stream reading, merge inputs, copying, error
// numbering, and the DOM lookup helpers.
#include "trans/convert_trans.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "tests/test_util.h"
#include "trans/xml_parser.h"

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

// The base class's transform answers "internal error" (see the lifetime test below).
TEST(ConvertTrans, BaseClassMergeRefusesDocumentsWithoutDocumentElement) {
  ConvertTrans convert;
  std::string message;
  HardenedDOMParser parser;
  ASSERT_EQ(parser.parseText("<PMML/>"), 0u);
  DOMDocument* doc = parser.getDocument();
  std::unique_ptr<DOMDocument, void (*)(DOMDocument*)> empty(core()->createDocument(),
                                                             [](DOMDocument* d) { d->release(); });
  const struct {
    DOMDocument* trans;
    DOMDocument* model;
    int code;
  } cases[] = {{empty.get(), nullptr, 7}, {empty.get(), doc, 6}, {doc, empty.get(), 7}};
  for (const auto& c : cases) {
    Records r;
    DOMDocument* result = nullptr;
    EXPECT_EQ(convert.mergePMML(c.trans, c.model, result, message, r.data, r.derived, r.mining),
              c.code);
    EXPECT_EQ(result, nullptr);
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

TEST(ConvertTransErrorNo, NumbersEveryKindOfMessage) {
  const std::string t = "ElemMessageTerminateExpression:";
  const struct {
    const char* name;
    std::string message;
    int code;
    std::string after;
  } cases[] = {
      {"empty", "", 0, ""},
      {"other engine failure", "SAXParseException: bad (l)", 9, "SAXParseException: bad (l)"},
      {"prefix not at the start", " " + t + " CVT_FuncErr:x (l)", 9,
       " " + t + " CVT_FuncErr:x (l)"},
      {"worked example", t + " CVT_FuncErr:no such field (transformation.xsl, line 12)", 2,
       "no such field"},
      {"other terminating message", t + " stopped here (line 9)", 4, "stopped here"},
      {"any separating character", t + "\nCVT_ReVarsErr:x\n(line 1)", 3, "x"},
      {"no location", t + " CVT_FuncErr:no location", 2, "no location"},
      {"cut at the first parenthesis", t + " CVT_FuncErr:use f(x) (line 2)", 2, "use "},
      {"location right after the prefix", t + "(line 1)", 4, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ConvertTrans convert;
    std::string message = c.message;
    EXPECT_EQ(convert.getErrorNo(message), c.code);
    EXPECT_EQ(message, c.after);
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
