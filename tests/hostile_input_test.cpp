// Hostile input for each job: every case must come back with its documented
// code, quickly, without crashing or leaking (the sanitizer and memory-check
// runs of this suite check the last two). The documents are small valid ones
// spoiled in one way each: cut short, mislabelled, padded or nested. Which
// element or attribute a job needs is its own tests' business.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "pmmlxform/adp_convert.h"
#include "pmmlxform/convert_trans_to_pmml.h"
#include "pmmlxform/tms_records.h"
#include "tests/test_util.h"
#include "xml/parser.h"

namespace {

using pmmlxform::kMaxElementDepth;

// --- The documents and the ways of spoiling them --------------------------

const char kSyntaxDoc[] =
    R"(<PMML version="4.2"><DataDictionary>)"
    R"(<DataField name="a" optype="continuous" dataType="double"></DataField>)"
    R"(<DataField name="s" optype="categorical" dataType="string"/>)"
    R"(</DataDictionary><TransformationDictionary>)"
    R"(<DerivedField name="b" optype="continuous" dataType="double">)"
    R"(<Apply function="+"><FieldRef field="a"/><Constant dataType="double">1</Constant></Apply>)"
    R"(</DerivedField>)"
    R"(<DerivedField name="t" optype="categorical" dataType="string">)"
    R"(<Apply function="concat"><FieldRef field="s"/><Constant dataType="string">x</Constant>)"
    R"(</Apply>)"
    R"(</DerivedField>)"
    R"(</TransformationDictionary></PMML>)";

const char kDescription[] =
    R"(<TransformationDescription><Transformations>)"
    R"(<Variable name="a" type="numeric" level="scale" label="A"></Variable>)"
    R"(<Variable name="s" type="string" width="2" level="nominal"/>)"
    R"(<Recode source="a" target="b" type="numeric" level="ordinal">)"
    R"(<Rule><Range low="LOWEST" high="17"/><To value="1"/></Rule></Recode>)"
    R"(<Compute target="c" type="numeric" level="scale">)"
    R"(<Apply function="+"><Field name="a"/><Number value="1"/></Apply></Compute>)"
    R"(</Transformations></TransformationDescription>)";

const char kTransPmml[] =
    R"(<PMML version="4.3"><Header></Header><DataDictionary>)"
    R"(<DataField name="a" optype="continuous" dataType="double"/>)"
    R"(</DataDictionary><TransformationDictionary>)"
    R"(<DerivedField name="b" optype="continuous" dataType="double"><FieldRef field="a"/>)"
    R"(</DerivedField></TransformationDictionary></PMML>)";

const char kModelPmml[] =
    R"(<PMML version="4.3"><Header></Header><DataDictionary>)"
    R"(<DataField name="b" optype="continuous" dataType="double"/>)"
    R"(<DataField name="y" optype="continuous" dataType="double"/>)"
    R"(</DataDictionary><RegressionModel functionName="regression"><MiningSchema>)"
    R"(<MiningField name="b"/><MiningField name="y" usageType="predicted"/>)"
    R"(</MiningSchema><RegressionTable intercept="0"/></RegressionModel></PMML>)";

// `doc` with `text` inserted right after the first `after`.
std::string insert(const std::string& doc, const std::string& after, const std::string& text) {
  const std::size_t at = doc.find(after) + after.size();
  return doc.substr(0, at) + text + doc.substr(at);
}

std::string repeated(const std::string& piece, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

std::string nested(std::size_t depth) {
  return repeated("<Extension>", depth) + repeated("</Extension>", depth);
}

// The billion-laughs document: ten levels of ten references each.
std::string entityBomb(const std::string& rootName) {
  std::string dtd = "<!DOCTYPE " + rootName + " [<!ENTITY e0 \"lol\">";
  for (int i = 1; i < 10; ++i) {
    dtd += "<!ENTITY e" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) dtd += "&e" + std::to_string(i - 1) + ";";
    dtd += "\">";
  }
  return dtd + "]>";
}

// --- The jobs --------------------------------------------------------------

int syntax(const std::string& text, bool back) {
  std::istringstream in(text);
  std::ostringstream out;
  std::string message;
  return back ? ADP_Convert::convertPMMLtoBackSyntax(in, out, message, "target", "source", true,
                                                     false)
              : ADP_Convert::convertPMMLtoSyntax(in, out, message, false, true, false);
}

int transform(const std::string& text, std::string* written = nullptr) {
  ConvertTransToPMML converter;
  std::string out, message;
  std::vector<TmsEndInfo> vars;
  const int code = converter.transform(text, out, message, vars);
  if (written != nullptr) *written = out;
  return code;
}

int merge(const std::string& trans, const std::string& model) {
  ConvertTransToPMML converter;
  std::string out, message;
  std::vector<TmsEndInfo> dataFields, derivedFields;
  std::vector<TmsMiningFieldInfo> miningFields;
  return converter.mergePMML(trans, model, out, message, dataFields, derivedFields, miningFields);
}

// One job over one spoilable document: `ok` is the code of the document as it
// is, `bad` the code for malformed or refused XML. Nesting goes right after the
// start tag `deepAfter`, of an element at depth `depth` (the root is 1), where
// the job reads past it: the DataField (syntax), the Variable (transform: an
// element the stylesheet refuses, so the job answers `deepOk` 5), the Header
// (merge: kept from the model or dropped).
struct Job {
  std::string name;
  std::string doc, root;
  int ok, bad;
  std::string deepAfter;
  std::size_t depth;
  int deepOk;
  std::function<int(const std::string&)> run;
};

// Names the instances in test names and messages.
void PrintTo(const Job& job, std::ostream* os) { *os << job.name; }

const std::string kDataField = R"(<DataField name="a" optype="continuous" dataType="double">)";
// Back-syntax answers 11 (no back-transformed target) wherever syntax answers 0.
const Job kJobs[] = {
    {"Syntax", kSyntaxDoc, "PMML", 0, 5, kDataField, 3, 0,
     [](const std::string& t) { return syntax(t, false); }},
    {"BackSyntax", kSyntaxDoc, "PMML", 11, 5, kDataField, 3, 11,
     [](const std::string& t) { return syntax(t, true); }},
    {"Transform", kDescription, "TransformationDescription", 0, 1, R"(label="A">)", 3, 5,
     [](const std::string& t) { return transform(t); }},
    {"MergeTransformation", kTransPmml, "PMML", 0, 6, "<Header>", 2, 0,
     [](const std::string& t) { return merge(t, kModelPmml); }},
    {"MergeModel", kModelPmml, "PMML", 0, 7, "<Header>", 2, 0,
     [](const std::string& t) { return merge(kTransPmml, t); }},
};

struct Case {
  std::string name;
  std::string text;
  int code;
};

// The cases every job shares, each spoiling the job's document in one way.
std::vector<Case> sharedCases(const Job& job) {
  const std::string& doc = job.doc;
  const std::string body = doc.substr(doc.find('>') + 1, doc.rfind('<') - doc.find('>') - 1);
  const std::string rootStart = doc.substr(0, doc.find('>') + 1);
  const std::string rootEnd = "</" + job.root + ">";
  const std::string doctype = "<!DOCTYPE " + job.root + " [";
  const auto attribute = [&](const std::string& value) {
    return insert(doc, "<" + job.root, " x=\"" + value + "\"");
  };
  const int bad = job.bad;
  return {
      // The parser reads the bytes as what they are, 8-bit text, and goes on.
      {"declared UTF-16, written in 8 bits", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + doc,
       job.ok},
      {"declared ASCII, holding UTF-8",
       "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>" + attribute("\xC3\xA9"), bad},
      {"declared in an unknown encoding", "<?xml version=\"1.0\" encoding=\"x-none\"?>" + doc, bad},
      {"declared XML 2.0", "<?xml version=\"2.0\"?>" + doc, bad},
      {"invalid UTF-8: lone continuation byte", attribute("\x80"), bad},
      {"invalid UTF-8: encoded surrogate", attribute("\xED\xA0\x80"), bad},
      {"NUL byte inside", attribute(std::string("a\0b", 3)), bad},
      {"NUL byte after the root", doc + std::string("\0<junk", 6), bad},
      {"external entity",
       doctype + "<!ENTITY x SYSTEM \"/etc/passwd\">]>" + rootStart + "&x;" + body + rootEnd, bad},
      {"external parameter entity", doctype + "<!ENTITY % x SYSTEM \"/etc/passwd\"> %x;]>" + doc,
       bad},
      {"entity bomb", entityBomb(job.root) + rootStart + "&e9;" + body + rootEnd, bad},
      {"quadratic blow-up entity",
       doctype + "<!ENTITY a \"" + std::string(50000, 'a') + "\">]>" + rootStart +
           repeated("&a;", 20000) + body + rootEnd,
       bad},
      {"nesting at the limit", insert(doc, job.deepAfter, nested(kMaxElementDepth - job.depth)),
       job.deepOk},
      {"nesting past the limit",
       insert(doc, job.deepAfter, nested(kMaxElementDepth - job.depth + 1)), bad},
      {"no document element", "<?xml version=\"1.0\"?><!-- nothing -->", bad},
      {"two document elements", doc + doc, bad},
  };
}

class Hostile : public ::testing::TestWithParam<Job> {};

TEST_P(Hostile, SharedCases) {
  const Job& job = GetParam();
  ASSERT_EQ(job.run(job.doc), job.ok);
  for (const Case& c : sharedCases(job)) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(job.run(c.text), c.code);
  }
}

// Every prefix of the document, the empty one aside, is malformed.
TEST_P(Hostile, Truncated) {
  const Job& job = GetParam();
  for (std::size_t n = 1; n < job.doc.rfind('>'); n += 3) {
    SCOPED_TRACE("cut at " + std::to_string(n));
    ASSERT_EQ(job.run(job.doc.substr(0, n)), job.bad);
  }
}

// The suites name the job (scripts/memcheck.sh selects them by these prefixes),
// the instances the document.
std::string jobName(const ::testing::TestParamInfo<Job>& info) { return info.param.name; }
INSTANTIATE_TEST_SUITE_P(HostileSyntax, Hostile, ::testing::Values(kJobs[0], kJobs[1]), jobName);
INSTANTIATE_TEST_SUITE_P(HostileTransform, Hostile, ::testing::Values(kJobs[2]), jobName);
INSTANTIATE_TEST_SUITE_P(HostileMerge, Hostile, ::testing::Values(kJobs[3], kJobs[4]), jobName);

// Attributes of 50 MB, a million siblings the job passes by, and 100,000 fields
// of one name where each field is converted (a million take minutes in the
// sanitizer build). The stylesheet's time grows faster than linearly with the
// number of entries themselves: some thousands already take seconds. The memory
// check runs some fifty times slower and skips these; the small cases cover
// their paths.
bool skipHuge() { return std::getenv("PMMLXFORM_MEMCHECK") != nullptr; }
std::string huge() { return "\"" + std::string(50u << 20, 'x') + "\""; }
const char kField[] = "<DataField name=\"f\" optype=\"continuous\" dataType=\"double\"/>";

TEST(HostileSyntax, HugeInputs) {
  if (skipHuge()) GTEST_SKIP() << "too slow under memcheck";
  EXPECT_EQ(syntax(insert(kSyntaxDoc, "<PMML", " x=" + huge()), false), 0);
  EXPECT_EQ(syntax(insert(kSyntaxDoc, "<DerivedField", " label=" + huge()), false), 0);
  EXPECT_EQ(
      syntax(insert(kSyntaxDoc, "<DataDictionary>", repeated("<Extension/>", 1000000)), false), 0);
  EXPECT_EQ(syntax(insert(kSyntaxDoc, "<DataDictionary>", repeated(kField, 100000)), false), 0);
}

TEST(HostileTransform, HugeInputs) {
  if (skipHuge()) GTEST_SKIP() << "too slow under memcheck";
  EXPECT_EQ(transform(insert(kDescription, "<Variable", " x=" + huge())), 0);
  EXPECT_EQ(
      transform(insert(kDescription, "<TransformationDescription>", repeated("<Note/>", 1000000))),
      0);
}

// The XSLT engine overflows a stack buffer when it formats a number of
// magnitude 1e100 or more, so the stylesheet must never turn a number into
// text. Such numbers are valid: each converts, and gives the same document as
// a small number in its place, with the text of the number copied as it
// stands. 400 digits read as infinity, which must not crash either.
TEST(HostileTransform, NumbersTooLargeForTheEngineToFormat) {
  const std::string digits(150, '9');
  const std::string big[] = {digits, "-" + digits, digits + ".5", std::string(400, '7')};
  // Each position holds @ for the number; small stands in where a change of
  // magnitude would not change which rules apply.
  struct Place {
    const char* name;
    std::string description;
  } const places[] = {
      {"missing value",
       R"(<Variable name="a" type="numeric" level="scale"><Missing value="@"/></Variable>)"
       R"(<Recode source="a" target="b" type="numeric" level="ordinal">)"
       R"(<Rule><Missing/><To value="1"/></Rule><Rule><Range low="@" high="@"/><ToCopy/></Rule>)"
       R"(</Recode>)"},
      {"missing range",
       R"(<Variable name="a" type="numeric" level="scale"><MissingRange low="@" high="HIGHEST"/>)"
       R"(</Variable><Recode source="a" target="b" type="numeric" level="ordinal">)"
       R"(<Rule><Missing/><ToSystemMissing/></Rule><Rule><Else/><ToCopy/></Rule></Recode>)"},
      {"range, value and result", R"(<Variable name="a" type="numeric" level="scale"/>)"
                                  R"(<Recode source="a" target="b" type="numeric" level="ordinal">)"
                                  R"(<Rule><Range low="LOWEST" high="@"/><To value="@"/></Rule>)"
                                  R"(<Rule><Value value="@"/><To value="2"/></Rule></Recode>)"},
      {"computed constant",
       R"(<Variable name="a" type="numeric" level="scale"/>)"
       R"(<Compute target="c" type="numeric" level="scale">)"
       R"(<Apply function="+"><Field name="a"/><Number value="@"/></Apply></Compute>)"},
  };
  const auto fill = [](std::string text, const std::string& number) {
    for (std::size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, number);
    return "<TransformationDescription><Transformations>" + text +
           "</Transformations></TransformationDescription>";
  };
  for (const Place& place : places) {
    for (const std::string& number : big) {
      SCOPED_TRACE(std::string(place.name) + ", " + number.substr(0, 12) + "...");
      const std::string small = number[0] == '-' ? "-8" : "8";
      std::string expected, actual;
      ASSERT_EQ(transform(fill(place.description, small), &expected), 0);
      ASSERT_EQ(transform(fill(place.description, number), &actual), 0);
      for (std::size_t at; (at = actual.find(number)) != std::string::npos;)
        actual.replace(at, number.size(), small);
      EXPECT_EQ(actual, expected);
    }
  }
}

TEST(HostileMerge, HugeInputs) {
  if (skipHuge()) GTEST_SKIP() << "too slow under memcheck";
  EXPECT_EQ(merge(insert(kTransPmml, "<DataField", " displayName=" + huge()), kModelPmml), 0);
  EXPECT_EQ(merge(kTransPmml, insert(kModelPmml, "<Header>", repeated("<Extension/>", 1000000))),
            0);
  EXPECT_EQ(merge(insert(kTransPmml, "<DataDictionary>", repeated(kField, 100000)), kModelPmml), 0);
}

// --- Characters an XML 1.0 document cannot hold ------------------------------

// An XML 1.1 document takes in any control character as a character reference.
// The output of both jobs is XML 1.0, which holds U+007F and the C1 controls as
// they are but no C0 control other than tab, line feed and carriage return
// (the Char production of XML 1.0). A character the output can hold must come
// out and read back unchanged; any other refuses the document with code 9 and
// writes nothing.
struct ControlCharacter {
  const char* reference;
  char32_t code;
};
const ControlCharacter kControls[] = {
    {"&#x1;", 0x1}, {"&#x1F;", 0x1F}, {"&#x7F;", 0x7F}, {"&#x85;", 0x85}, {"&#x9F;", 0x9F}};

bool xml10Holds(char32_t c) { return c == 0x9 || c == 0xA || c == 0xD || c >= 0x20; }

// "x", the character in UTF-8, "y": the text each document carries.
std::string carried(char32_t c) {
  std::string text = "x";
  if (c < 0x80) {
    text += static_cast<char>(c);
  } else {
    text += static_cast<char>(0xC0 | (c >> 6));
    text += static_cast<char>(0x80 | (c & 0x3F));
  }
  return text + "y";
}

// `text` with its @ replaced by x, the reference and y, declared XML 1.1.
std::string xml11(const std::string& text, const char* reference) {
  return "<?xml version=\"1.1\"?>" +
         testutil::replaced(text, "@", std::string("x") + reference + "y");
}

// Whether an attribute value or a text below `node` is `text` (UTF-8).
bool holds(const xercesc::DOMNode* node, const std::string& text) {
  if (node == nullptr) return false;
  if (node->getNodeType() == xercesc::DOMNode::TEXT_NODE &&
      testutil::utf8(node->getNodeValue()) == text) {
    return true;
  }
  if (const xercesc::DOMNamedNodeMap* attributes = node->getAttributes()) {
    for (XMLSize_t i = 0; i < attributes->getLength(); ++i) {
      if (testutil::utf8(attributes->item(i)->getNodeValue()) == text) return true;
    }
  }
  for (const xercesc::DOMNode* child = node->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (holds(child, text)) return true;
  }
  return false;
}

// Whether the XML text `xml` parses and holds `text`.
bool readsBack(const std::string& xml, const std::string& text) {
  const pmmlxform::XmlPlatformGuard platform;
  pmmlxform::HardenedDOMParser parser;
  return parser.parseText(xml) == 0 && holds(parser.getDocument(), text);
}

// What one form of a job gave: its code and message, whether it wrote
// anything, and whether what it wrote holds the text it was asked to carry.
struct Outcome {
  int code = -1;
  std::string message;
  bool wrote = false;
  bool holdsText = false;
};

// A form of the transform, given the description and the text to look for.
struct TransformForm {
  const char* name;
  std::function<Outcome(const std::string&, const std::string&)> run;
};

const TransformForm kTransformForms[] = {
    {"text",
     [](const std::string& in, const std::string& text) {
       ConvertTransToPMML converter;
       Outcome o;
       std::string out;
       std::vector<TmsEndInfo> vars;
       o.code = converter.transform(in, out, o.message, vars);
       o.wrote = !out.empty();
       o.holdsText = readsBack(out, text);
       return o;
     }},
    {"stream",
     [](const std::string& in, const std::string& text) {
       ConvertTransToPMML converter;
       Outcome o;
       std::istringstream input(in);
       std::ostringstream out;
       std::vector<TmsEndInfo> vars;
       o.code = converter.transform(input, out, o.message, vars);
       o.wrote = !out.str().empty();
       o.holdsText = readsBack(out.str(), text);
       return o;
     }},
    {"document",
     [](const std::string& in, const std::string& text) {
       ConvertTransToPMML converter;
       pmmlxform::HardenedDOMParser parser;
       Outcome o;
       if (parser.parseText(in) != 0) return o;
       xercesc::DOMDocument* out = nullptr;
       std::vector<TmsEndInfo> vars;
       o.code = converter.transform(parser.getDocument(), out, o.message, vars);
       o.wrote = out != nullptr;
       o.holdsText = holds(out, text);
       if (out != nullptr) out->release();
       return o;
     }},
    {"validity, text",
     [](const std::string& in, const std::string&) {
       ConvertTransToPMML converter;
       Outcome o;
       const bool valid = converter.isValidTransXML(in, o.code, o.message);
       EXPECT_EQ(valid, o.code == 0);
       return o;
     }},
    {"validity, stream",
     [](const std::string& in, const std::string&) {
       ConvertTransToPMML converter;
       Outcome o;
       std::istringstream input(in);
       const bool valid = converter.isValidTransXML(input, o.code, o.message);
       EXPECT_EQ(valid, o.code == 0);
       return o;
     }},
    {"validity, document",
     [](const std::string& in, const std::string&) {
       ConvertTransToPMML converter;
       pmmlxform::HardenedDOMParser parser;
       Outcome o;
       if (parser.parseText(in) != 0) return o;
       const bool valid = converter.isValidTransXML(parser.getDocument(), o.code, o.message);
       EXPECT_EQ(valid, o.code == 0);
       return o;
     }},
};

// Where a description's text reaches the PMML; @ marks the text.
struct TextPlace {
  const char* name;
  std::string entries;
};
const TextPlace kDescriptionPlaces[] = {
    {"variable label", R"(<Variable name="a" type="numeric" level="scale" label="@"/>)"},
    {"recode label", R"(<Variable name="a" type="numeric" level="scale"/>)"
                     R"(<Recode source="a" target="b" type="numeric" level="ordinal" label="@">)"
                     R"(<Rule><Range low="1" high="5"/><To value="1"/></Rule></Recode>)"},
    {"string result", R"(<Variable name="s" type="string" width="8" level="nominal"/>)"
                      R"(<Recode source="s" target="t" type="string" width="8" level="nominal">)"
                      R"(<Rule><Value value="A"/><To value="@"/></Rule></Recode>)"},
    {"user-missing value",
     R"(<Variable name="s" type="string" width="8" level="nominal"><Missing value="@"/></Variable>)"},
    {"computed string",
     R"(<Variable name="s" type="string" width="8" level="nominal"/>)"
     R"(<Compute target="t" type="string" width="16" level="nominal">)"
     R"(<Apply function="concat"><Field name="s"/><String value="@"/></Apply></Compute>)"},
};

std::string description(const std::string& entries) {
  return "<TransformationDescription><Transformations>" + entries +
         "</Transformations></TransformationDescription>";
}

// `checkText`: the form writes output, which must hold the carried text.
void expectCarriedOrRefused(const Outcome& o, char32_t c, bool checkText) {
  if (xml10Holds(c)) {
    EXPECT_EQ(o.code, 0) << o.message;
    if (checkText) {
      EXPECT_TRUE(o.holdsText);
    }
  } else {
    EXPECT_EQ(o.code, 9);
    EXPECT_FALSE(o.message.empty());
    EXPECT_FALSE(o.wrote);
  }
}

TEST(HostileTransform, ControlCharactersInEveryForm) {
  const TextPlace& place = kDescriptionPlaces[0];
  for (const TransformForm& form : kTransformForms) {
    const bool validity = std::string(form.name).rfind("validity", 0) == 0;
    for (const ControlCharacter& c : kControls) {
      SCOPED_TRACE(std::string(form.name) + ", " + c.reference);
      const Outcome o = form.run(xml11(description(place.entries), c.reference), carried(c.code));
      expectCarriedOrRefused(o, c.code, !validity);
    }
  }
}

TEST(HostileTransform, ControlCharactersInEveryPlace) {
  for (const TextPlace& place : kDescriptionPlaces) {
    for (const ControlCharacter& c : kControls) {
      SCOPED_TRACE(std::string(place.name) + ", " + c.reference);
      const Outcome o =
          kTransformForms[0].run(xml11(description(place.entries), c.reference), carried(c.code));
      expectCarriedOrRefused(o, c.code, true);
    }
  }
}

// The header stamp comes from the host; a control character there cannot be
// written either, and the message says where it stood.
TEST(HostileTransform, ControlCharacterInTheHostsCopyright) {
  {
    testutil::ScopedEnv copyright("PMMLXFORM_COPYRIGHT", "(c)\x01");
    const Outcome o = kTransformForms[0].run(kDescription, "");
    EXPECT_EQ(o.code, 9);
    EXPECT_NE(o.message.find("U+0001 in attribute \"copyright\" of element \"Header\""),
              std::string::npos)
        << o.message;
    EXPECT_FALSE(o.wrote);
  }
  testutil::ScopedEnv copyright("PMMLXFORM_COPYRIGHT", "x\x7Fy");
  EXPECT_TRUE(kTransformForms[0].run(kDescription, carried(0x7F)).holdsText);
}

// A document built in memory can hold what no parser would give it: such a
// description is refused like a parsed one, with nothing thrown.
TEST(HostileTransform, UnwritableCharactersInABuiltDocument) {
  const std::u16string texts[] = {u"x\u0001y", u"x\uFFFEy",
                                  std::u16string(u"x") + char16_t(0xD800)};
  for (const std::u16string& text : texts) {
    SCOPED_TRACE(testutil::utf8(text.c_str()));
    const pmmlxform::XmlPlatformGuard platform;
    pmmlxform::HardenedDOMParser parser;
    ASSERT_EQ(parser.parseText(kDescription), 0u);
    auto* variable = static_cast<xercesc::DOMElement*>(
        parser.getDocument()->getElementsByTagName(u"Variable")->item(0));
    variable->setAttribute(u"label", text.c_str());
    ConvertTransToPMML converter;
    xercesc::DOMDocument* out = nullptr;
    std::string message;
    std::vector<TmsEndInfo> vars;
    EXPECT_EQ(converter.transform(parser.getDocument(), out, message, vars), 9);
    EXPECT_EQ(out, nullptr);
  }
}

// A form of the merge, given both documents and the text to look for.
struct MergeForm {
  const char* name;
  std::function<Outcome(const std::string&, const std::string&, const std::string&)> run;
};

struct MergeRecords {
  std::vector<TmsEndInfo> dataFields, derivedFields;
  std::vector<TmsMiningFieldInfo> miningFields;
};

const MergeForm kMergeForms[] = {
    {"text",
     [](const std::string& trans, const std::string& model, const std::string& text) {
       ConvertTransToPMML converter;
       MergeRecords r;
       Outcome o;
       std::string out;
       o.code = converter.mergePMML(trans, model, out, o.message, r.dataFields, r.derivedFields,
                                    r.miningFields);
       o.wrote = !out.empty();
       o.holdsText = readsBack(out, text);
       return o;
     }},
    {"streams to text",
     [](const std::string& trans, const std::string& model, const std::string& text) {
       ConvertTransToPMML converter;
       MergeRecords r;
       Outcome o;
       std::istringstream transIn(trans), modelIn(model);
       std::string out;
       o.code = converter.mergePMML(transIn, modelIn, out, o.message, r.dataFields, r.derivedFields,
                                    r.miningFields);
       o.wrote = !out.empty();
       o.holdsText = readsBack(out, text);
       return o;
     }},
    {"streams to stream",
     [](const std::string& trans, const std::string& model, const std::string& text) {
       ConvertTransToPMML converter;
       MergeRecords r;
       Outcome o;
       std::istringstream transIn(trans), modelIn(model);
       std::ostringstream out;
       o.code = converter.mergePMML(transIn, modelIn, out, o.message, r.dataFields, r.derivedFields,
                                    r.miningFields);
       o.wrote = !out.str().empty();
       o.holdsText = readsBack(out.str(), text);
       return o;
     }},
};

// Where the merge copies a document's text; @ marks the text.
struct MergePlace {
  const char* name;
  std::string trans, model;
  const char* where;  // how a refusal names the place
};
const MergePlace kMergePlaces[] = {
    {"raw field's display name", insert(kTransPmml, "<DataField name=\"a\"", " displayName=\"@\""),
     kModelPmml, "attribute \"displayName\" of element \"DataField\""},
    {"derived field's display name",
     insert(kTransPmml, "<DerivedField name=\"b\"", " displayName=\"@\""), kModelPmml,
     "attribute \"displayName\" of element \"DerivedField\""},
    {"model's annotation", kTransPmml, insert(kModelPmml, "<Header>", "<Annotation>@</Annotation>"),
     "text of element \"Annotation\""},
};

TEST(HostileMerge, ControlCharactersInEveryFormAndPlace) {
  for (const MergePlace& place : kMergePlaces) {
    const bool inTrans = place.trans.find('@') != std::string::npos;
    for (const MergeForm& form : kMergeForms) {
      for (const ControlCharacter& c : kControls) {
        SCOPED_TRACE(std::string(place.name) + ", " + form.name + ", " + c.reference);
        const std::string trans = inTrans ? xml11(place.trans, c.reference) : place.trans;
        const std::string model = inTrans ? place.model : xml11(place.model, c.reference);
        const Outcome o = form.run(trans, model, carried(c.code));
        expectCarriedOrRefused(o, c.code, true);
        if (!xml10Holds(c.code)) {
          char expected[128];
          std::snprintf(expected, sizeof expected, "U+%04X in %s", static_cast<unsigned>(c.code),
                        place.where);
          EXPECT_EQ(o.message.rfind("exception in mergePMML:", 0), 0u) << o.message;
          EXPECT_NE(o.message.find(expected), std::string::npos) << o.message;
        }
      }
    }
  }
}

// The document form writes nothing: the merged document holds the text as it
// came, whatever the character, and it is the caller's to write.
TEST(HostileMerge, DocumentFormKeepsEveryCharacter) {
  const MergePlace& place = kMergePlaces[0];
  for (const ControlCharacter& c : kControls) {
    SCOPED_TRACE(c.reference);
    testutil::Documents documents;
    ConvertTransToPMML converter;
    MergeRecords r;
    xercesc::DOMDocument* out = nullptr;
    std::string message;
    EXPECT_EQ(converter.mergePMML(documents.parse(xml11(place.trans, c.reference)),
                                  documents.parse(place.model), out, message, r.dataFields,
                                  r.derivedFields, r.miningFields),
              0);
    EXPECT_TRUE(holds(out, carried(c.code)));
    if (out != nullptr) out->release();
  }
}

}  // namespace
