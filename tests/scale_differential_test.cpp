// The merge's element copy and the transform's fast paths against the plain
// algorithms they stand for, kept here as oracles, on randomized documents.
#include <gtest/gtest.h>
#include <pmmlxform/convert_trans_to_pmml.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>
#include <xalanc/XSLT/XSLTInputSource.hpp>
#include <xalanc/XSLT/XSLTResultTarget.hpp>
#include <xalanc/XalanTransformer/XalanTransformer.hpp>
#include <xalanc/XalanTransformer/XercesDOMWrapperParsedSource.hpp>
#include <xalanc/XercesParserLiaison/XercesDOMSupport.hpp>
#include <xalanc/XercesParserLiaison/XercesParserLiaison.hpp>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

#include "tests/random_documents.h"
#include "tests/test_util.h"
#include "trans/interval_parser.h"
#include "trans/recode_intervals.h"
#include "trans/result_writer.h"
#include "trans/xslt_driver.h"
#include "xml/dom.h"
#include "xml/parser.h"
#include "xml/writer.h"

namespace {

using testutil::kNumbers;
using testutil::kTexts;
using testutil::Random;
using testutil::Texts;

// What a job gave back; `records` are its reports, one text each.
struct Outcome {
  int code = 0;
  std::string message, output;
  Texts records;
  bool operator==(const Outcome& o) const {
    return std::tie(code, message, output, records) ==
           std::tie(o.code, o.message, o.output, o.records);
  }
};

void PrintTo(const Outcome& o, std::ostream* os) {
  *os << "code " << o.code << ", message " << o.message << ", output:\n" << o.output;
}

// --- The merge's element copy against the DOM's own import -----------------
// Over documents with defaulted and ID attributes, character and entity
// references, namespaces, and text, comments and CDATA between the elements.

// The DOM's import, keeping text and CDATA only where they hold more than
// spacing and ASCII signs.
xercesc::DOMElement* importedCopy(xercesc::DOMDocument* document,
                                  const xercesc::DOMElement* element) {
  auto* copy = static_cast<xercesc::DOMElement*>(document->importNode(element, false));
  for (auto* child = element->getFirstChild(); child != nullptr; child = child->getNextSibling()) {
    const auto type = child->getNodeType();
    if (type == xercesc::DOMNode::ELEMENT_NODE) {
      copy->appendChild(importedCopy(document, static_cast<const xercesc::DOMElement*>(child)));
    } else if ((type == xercesc::DOMNode::TEXT_NODE ||
                type == xercesc::DOMNode::CDATA_SECTION_NODE) &&
               testutil::utf8(child->getNodeValue())
                       .find_first_not_of(" \t\n\r!\"#$%&'()*+,-/:;<=>?@[\\]^_`{|}~") !=
                   std::string::npos) {
      copy->appendChild(document->importNode(child, true));
    }
  }
  return copy;
}

TEST(ScaleDifferential, MergeCopiesWhatTheImportCopies) {
  Random r(99);
  testutil::Merger copier;
  for (int i = 0; i < 150; ++i) {
    int id = 0;
    const std::string doc =
        "<!DOCTYPE r [<!ATTLIST e d CDATA 'dv'><!ATTLIST e i ID #IMPLIED>"
        "<!ENTITY ent 'x'>]><r xmlns:p='urn:p'>" +
        r.times(1 + r.below(6),
                [&] {
                  const std::string name = r.chance(50) ? "e" : "f";  // e: declared attributes
                  return "<" + name + " a='" + r.pick({"v", "a&amp;b", "&#233;", "&ent;", ""}) +
                         "'" + (r.chance(30) ? " i='i" + std::to_string(++id) + "'" : "") +
                         (r.chance(20) ? " p:q='1'" : "") + ">" +
                         r.pick({"\n ", "-", " 1 ", "<!-- c -->", "<![CDATA[x]]>", "<![CDATA[-]]>",
                                 "&ent;", "<?p d?>", "&#233;"}) +
                         "<g/></" + name + ">";
                }) +
        "</r>";
    xercesc::XercesDOMParser parser;  // entity reference nodes kept, as a host's DOM may have
    parser.setDoNamespaces(r.chance(30));
    xercesc::MemBufInputSource input(reinterpret_cast<const XMLByte*>(doc.data()), doc.size(),
                                     "copy");
    parser.parse(input);
    ASSERT_EQ(parser.getErrorCount(), 0u) << doc;
    xercesc::DOMElement* root = parser.getDocument()->getDocumentElement();
    if (r.chance(30)) {
      // An attribute value holding an entity reference, as only a built DOM has.
      static_cast<xercesc::DOMElement*>(root->getFirstChild())
          ->getAttributeNode(u"a")
          ->appendChild(parser.getDocument()->createEntityReference(u"ent"));
    }
    xercesc::DOMDocument* target =
        xercesc::DOMImplementationRegistry::getDOMImplementation(u"Core")->createDocument();
    const std::string copied = testutil::xmlText(copier.importElement(target, root));
    const std::string imported = testutil::xmlText(importedCopy(target, root));
    target->release();
    ASSERT_EQ(copied, imported) << doc;
  }
}

// --- Transform: source text and direct writing against the plain paths -----
// Descriptions whose entries read variables declared (more than once, in
// other case), defined before, and now and then defined later or by the entry
// itself, or redefine a name. Numeric and string sources carry missing values
// (repeated, a range) that the rules' values and ranges meet; the rules mix
// every input and result kind, Else and Missing anywhere. Mostly valid, some
// refused.

struct Known {
  std::string name;
  bool text;
};

std::string missingValues(Random& r, bool text) {
  std::string out;
  int values = r.below(r.chance(3) ? 5 : 4);
  if (!text && r.chance(25)) {
    out += "<MissingRange low='" + (r.chance(30) ? "LOWEST" : r.pick(kNumbers)) + "' high='" +
           (r.chance(30) ? "HIGHEST" : "10") + "'/>";
    values = std::min(values, r.chance(5) ? 2 : 1);
  }
  return out + r.times(values, [&] {
    return r.chance(1) ? "<Missing/>"
                       : "<Missing value='" + r.pick(text ? kTexts : kNumbers) + "'/>";
  });
}

std::string range(Random& r) {
  const std::string a = r.chance(20) ? "LOWEST" : r.pick(kNumbers);
  const std::string b = r.chance(20) ? "HIGHEST" : r.pick(kNumbers);
  // Now and then an empty range or one bound that is no number.
  const bool swap = a != "LOWEST" && b != "HIGHEST" && std::stod(a) > std::stod(b) && !r.chance(10);
  const std::string high = r.chance(3) ? "x" : swap ? a : b;
  return "<Range low='" + (swap ? b : a) + "' high='" + high + "'/>";
}

std::string rules(Random& r, bool textSource, bool textTarget, bool copies) {
  return r.times(1 + r.below(4), [&] {
    std::string out = "<Rule>" + r.times(1 + (r.chance(30) ? 1 : 0), [&] {
      const int kind = r.below(textSource && !r.chance(3) ? 3 : 5);
      if (kind == 0) {
        return r.chance(4) ? "<Value/>"
                           : "<Value value='" + r.pick(textSource ? kTexts : kNumbers) + "'/>";
      }
      return kind < 4 ? Texts{"<Missing/>", "<Else/>", "<SystemMissing/>"}[kind - 1] : range(r);
    });
    if (r.chance(2)) out += "<Bogus/>";
    const int result = r.below(100);
    if (r.chance(2)) {
      // a rule without result
    } else if (result < 55 || (result < 80 && !copies && !r.chance(5)) ||
               (result >= 80 && textTarget && !r.chance(5))) {
      out += "<To value='" +
             (textTarget    ? r.pick(kTexts)
              : r.chance(3) ? "x"
                            : r.pick(kNumbers)) +
             "'/>";
    } else {
      out += result < 80 ? "<ToCopy/>" : "<ToSystemMissing/>";
    }
    return out + (r.chance(2) ? "</Rule><Note/>" : "</Rule>");
  });
}

// Functions at their least and most argument counts; now and then an unknown
// one or a count out of range.
std::string computeExpression(Random& r, const std::vector<Known>& known, int depth) {
  const int kind = r.below(depth > 1 ? 3 : 5);
  if (kind == 0)
    return "<Field name='" +
           known[static_cast<std::size_t>(r.below(static_cast<int>(known.size())))].name + "'/>";
  if (kind == 1) return "<Number value='" + r.pick(kNumbers) + "'/>";
  if (kind == 2) return "<String value='" + r.pick(kTexts) + "'/>";
  const struct {
    const char* name;
    int least, most;
  } functions[] = {{"+", 2, 2}, {"max", 1, 3}, {"concat", 2, 3}, {"if", 2, 3}, {"abs", 1, 1}};
  const auto& f = functions[r.below(5)];
  return std::string("<Apply function='") + (r.chance(5) ? "nope" : f.name) + "'>" +
         r.times(r.chance(5) ? f.most + 1 : f.least + r.below(f.most - f.least + 1),
                 [&] { return computeExpression(r, known, depth + 1); }) +
         "</Apply>";
}

std::string description(Random& r) {
  const auto cased = [&r](std::string name) {
    for (char& c : name) {
      if (r.chance(30) && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return name;
  };
  const Texts levels = {"scale", "ordinal", "nominal"};
  std::vector<Known> known = {
      {"v0", false}, {"v1", false}, {"#v3", false}, {"s0", true}, {"s1", true}};
  std::string doc = "<TransformationDescription><Transformations>";
  for (const Known& v : known) {
    doc += r.times(r.chance(30) ? 2 : 1, [&] {
      return "<Variable name='" + cased(v.name) + "' type='" +
             (v.text ? "string' width='4" : "numeric") + "' level='" + r.pick(levels) + "'>" +
             missingValues(r, v.text) + "</Variable>";
    });
  }
  for (int i = 0, entries = 1 + r.below(8); i < entries; ++i) {
    Known target{cased("t" + std::to_string(i)), r.chance(30)};
    if (r.chance(4)) target.name = cased(known[static_cast<std::size_t>(r.below(5))].name);
    Known source = known[static_cast<std::size_t>(r.below(static_cast<int>(known.size())))];
    source.name = cased(source.name);
    if (r.chance(4)) source.name = target.name;                  // itself
    if (r.chance(4)) source.name = "t" + std::to_string(i + 1);  // a later entry
    const std::string kind = std::string(" type='") +
                             (target.text ? "string' width='3" : "numeric") + "' level='" +
                             r.pick(levels) + "'" + (r.chance(20) ? " label='l'" : "") + ">";
    if (r.chance(60)) {
      doc += "<Recode source='" + source.name + "' target='" + target.name + "'" + kind +
             rules(r, source.text, target.text, source.text == target.text) + "</Recode>";
    } else {
      doc += "<Compute target='" + target.name + "'" + kind + computeExpression(r, known, 0) +
             "</Compute>";
    }
    known.push_back(target);
  }
  return doc + "</Transformations></TransformationDescription>";
}

Outcome withRecords(Outcome o, const std::vector<TmsEndInfo>& vars) {
  for (const TmsEndInfo& v : vars) {
    o.records.push_back(v.name + "|" + v.displayName + "|" + v.dataType + "|" + v.optype);
  }
  return o;
}

// `convert`'s outcome for the text form over `text`.
Outcome transformed(ConvertTransToPMML& convert, const std::string& text) {
  Outcome o;
  std::vector<TmsEndInfo> vars;
  o.code = convert.transform(text, o.output, o.message, vars);
  return withRecords(o, vars);
}

// The text form's outcome, written as the output is made, or (the reference)
// the document form's over the parsed text with its result written by the
// library's writer.
Outcome written(const std::string& text, bool direct) {
  ConvertTransToPMML convert;
  if (direct) return transformed(convert, text);
  Outcome o;
  pmmlxform::HardenedDOMParser parser;
  // Text that is not well-formed gives 1 and nothing else.
  if (parser.parseText(text) != 0) return {1, "", "", {}};
  std::vector<TmsEndInfo> vars;
  xercesc::DOMDocument* result = nullptr;
  o.code = convert.transform(parser.getDocument(), result, o.message, vars);
  if (result != nullptr) {
    auto* impl = xercesc::DOMImplementationRegistry::getDOMImplementation(u"Core");
    std::unique_ptr<xercesc::DOMLSSerializer, pmmlxform::Releaser> serializer(
        impl->createLSSerializer());
    std::unique_ptr<xercesc::DOMLSOutput, pmmlxform::Releaser> output(impl->createLSOutput());
    xercesc::MemBufFormatTarget target;
    output->setByteStream(&target);
    EXPECT_EQ(pmmlxform::writeNode(*serializer, result, *output), "");
    o.output.assign(reinterpret_cast<const char*>(target.getRawBuffer()), target.getLen());
    result->release();
  }
  return withRecords(o, vars);
}

// What the stylesheet writes for `document`, as the result writer takes it,
// and the engine's error up to its location details.
struct Written {
  std::string error, text;
  bool complete;
  bool operator==(const Written& o) const {
    return std::tie(error, text, complete) == std::tie(o.error, o.text, o.complete);
  }
};

void PrintTo(const Written& w, std::ostream* os) { *os << w.error << "\n" << w.text; }

// The driver, reading the description from `sourceText` when given, else
// from the document's own text where it can.
Written driven(xercesc::DOMDocument* document, const std::string* sourceText) {
  ConvertByXSLT converter;
  std::ifstream stylesheet(PMMLXFORM_SOURCE_DIR "/share/pmmlxform/transformation.xsl");
  const pmmlxform::ResultStamp stamp;
  Written w;
  pmmlxform::ResultTextWriter writer(stamp, w.text);
  w.error = converter.convertInto(document, stylesheet, writer, sourceText);
  w.error = w.error.substr(0, w.error.find('('));
  w.complete = writer.complete();
  return w;
}

// The plain engine over the document wrapped as a DOM, the extension function
// installed as the driver installs it.
Written plain(xercesc::DOMDocument* document) {
  const ConvertByXSLT engineReady;
  xalanc::MemoryManager& memory = xalanc::XalanMemMgrs::getDefaultXercesMemMgr();
  xalanc::XalanTransformer transformer(memory);
  const IntervalParser function;
  transformer.installExternalFunction(
      xalanc::XalanDOMString(u"http://xml.apache.org/xalan", memory),
      xalanc::XalanDOMString(u"intervals", memory), function);
  const RecodeIntervals recodeFunction;
  transformer.installExternalFunction(
      xalanc::XalanDOMString(u"http://xml.apache.org/xalan", memory),
      xalanc::XalanDOMString(u"recode-intervals", memory), recodeFunction);
  transformer.setWarningStream(nullptr);
  transformer.setErrorStream(nullptr);
  ConvertByXSLT::currentTransformer.store(&transformer);
  IntervalParser::lastBuilder = nullptr;
  xalanc::XercesParserLiaison liaison(memory);
  xalanc::XercesDOMSupport support(liaison);
  const pmmlxform::ResultStamp stamp;
  Written w;
  {
    const xalanc::XercesDOMWrapperParsedSource wrapped(document, liaison, support,
                                                       xalanc::XalanDOMString(memory), memory);
    std::ifstream stylesheet(PMMLXFORM_SOURCE_DIR "/share/pmmlxform/transformation.xsl");
    const xalanc::XSLTInputSource stylesheetSource(stylesheet, memory);
    pmmlxform::ResultTextWriter writer(stamp, w.text);
    const xalanc::XSLTResultTarget target(writer, memory);
    if (transformer.transform(wrapped, stylesheetSource, target) != 0) {
      w.error = transformer.getLastError();
    }
    w.complete = writer.complete();
  }
  ConvertByXSLT::currentTransformer.store(nullptr);
  IntervalParser::lastBuilder = nullptr;
  w.error = w.error.substr(0, w.error.find('('));
  return w;
}

// Before the description: declarations, document types with defaults and
// entities, comments and instructions.
const Texts kPrologs = {
    "",
    "<?xml version='1.0' encoding='ISO-8859-1' standalone='yes'?>",
    "<?xml version='1.0'?><!DOCTYPE TransformationDescription [<!ENTITY e 'v'>"
    "<!ATTLIST Recode label CDATA 'dl'><!ATTLIST Compute level CDATA 'scale'>]>",
    "<!--c--><?pi data?><!DOCTYPE TransformationDescription SYSTEM 'none.dtd'>",
    "<!--c--><?pi data?>\r\n",
};

TEST(ScaleDifferential, TransformReadsTheSourceTextAsTheEngineReadsTheDocument) {
  const pmmlxform::XmlPlatformGuard platform;
  Random r(777);
  int converted = 0;
  for (int i = 0; i < 150; ++i) {
    const std::string doc = r.pick(kPrologs) + description(r);
    pmmlxform::HardenedDOMParser parser;
    ASSERT_EQ(parser.parseText(doc), 0u) << doc;
    const Written reference = plain(parser.getDocument());
    ASSERT_EQ(driven(parser.getDocument(), &doc), reference) << doc;
    ASSERT_EQ(driven(parser.getDocument(), nullptr), reference) << doc;
    if (reference.error.empty()) ++converted;
  }
  EXPECT_GT(converted, 40);
}

// Every character that is escaped, or written as it is, differently in text
// and in attribute values, and characters beyond ASCII, in labels, names,
// string constants and recoded values.
TEST(ScaleDifferential, TransformWritesTheTextItsDocumentWouldGive) {
  const Texts pieces = {"&amp;",    "&lt;",      "&gt;",   "&quot;", "'",
                        "&#9;",     "&#10;",     "&#13;",  "\r\n",   "]]&gt;",
                        "\xC3\xA9", "&#x7F;",    "&#x85;", "&#x9F;", "&#x2028;",
                        "&#xFFFD;", "&#x1F600;", " ",      "x"};
  Random r(99);
  const auto text = [&] { return r.times(1 + r.below(5), [&] { return r.pick(pieces); }); };
  for (int i = 0; i < 40; ++i) {
    const std::string s = text(), t = text();
    const std::string doc =
        "<TransformationDescription><Transformations>"
        "<Variable name='a" +
        s + "' type='numeric' level='scale' label='" + t +
        "'/>"
        "<Variable name='s' type='string' width='9' level='nominal' label='" +
        s +
        "'>"
        "<Missing value='" +
        t +
        "'/></Variable>"
        "<Compute target='c' type='string' width='9' level='nominal' label='" +
        t +
        "'>"
        "<Apply function='concat'><Field name='s'/><String value='" +
        s +
        "'/></Apply></Compute>"
        "<Recode source='s' target='r" +
        t +
        "' type='string' width='9' level='nominal'>"
        "<Rule><Value value='" +
        s + "'/><To value='" + t +
        "'/></Rule>"
        "<Rule><Missing/><To value='" +
        s +
        "'/></Rule></Recode>"
        "<Recode source='a" +
        s + "' target='n' type='numeric' level='ordinal' label='" + s +
        "'>"
        "<Rule><Range low='1' high='2'/><To value='3'/></Rule></Recode>"
        "</Transformations></TransformationDescription>";
    ASSERT_EQ(written(doc, true), written(doc, false)) << doc;
  }
}

// Output of other shapes, from a stylesheet put in place of the shipped one,
// is converted through the document as before.
TEST(ScaleDifferential, TransformWritesOtherOutputAsItsDocumentWould) {
  const std::string doc =
      testutil::readFile(PMMLXFORM_SOURCE_DIR "/share/pmmlxform/examples/survey_description.xml");
  const Texts outputs = {
      "<PMML version='1'><Header x='1'/><DataDictionary/><TransformationDictionary>"
      "<DerivedField name='d' optype='o'/><Other name='o'/></TransformationDictionary>"
      "<TransformationDictionary><DataField name='late'/></TransformationDictionary></PMML>",
      "<Other><Header/></Other>",
      "<PMML/>",
      "<PMML><DataDictionary/></PMML>",
      "<PMML><Header><Application name='own'/></Header></PMML>",
      "<PMML><Header/><xsl:comment>c</xsl:comment></PMML>",
      "<PMML><Header/><xsl:processing-instruction name='p'>d</xsl:processing-instruction></PMML>",
      "<PMML><Header/><t><xsl:text disable-output-escaping='yes'>&amp;amp;</xsl:text></t></PMML>",
      "<PMML><xsl:text>x</xsl:text><Header/></PMML>",
      "<PMML><Header/></PMML><xsl:text>x</xsl:text>",
      "<xsl:text>no element</xsl:text>",
      "<PMML><Header/><t><xsl:value-of select=\"substring('&#x1F600;', 1, 1)\"/></t></PMML>",
  };
  for (const std::string& output : outputs) {
    testutil::TempDir dir;
    dir.write("transformation.xsl",
              "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
              "<xsl:template match='/'>" +
                  output + "</xsl:template></xsl:stylesheet>");
    testutil::ScopedEnv app("PMMLXFORM_APP_DIR", dir.path().c_str());
    ASSERT_EQ(written(doc, true), written(doc, false)) << output;
  }
}

}  // namespace

// The text form keeps the description it parsed as the held one; a subclass
// gets copies. Declarations, document types with defaults and entities,
// comments and instructions before the root must not change what either
// writes, then or in later calls that accumulate, convert again, restore after
// a refusal or run on a copy.
struct CopyingConvert : ConvertTransToPMML {};

TEST(ScaleDifferential, TransformKeepsWhatItWouldCopy) {
  Random r(4242);
  for (int i = 0; i < 24; ++i) {
    ConvertTransToPMML adopting;
    CopyingConvert copying;
    for (int step = 0; step < 6; ++step) {
      const bool merging = r.chance(60);
      std::string text;
      if (step == 0 || r.chance(70)) text = r.pick(kPrologs) + description(r);
      if (r.chance(8)) text = "<?xml version='1.0'?><!--c--><TransformationDescription/>";
      adopting.setNeedMerging(merging);
      copying.setNeedMerging(merging);
      const Outcome adopted = transformed(adopting, text);
      ASSERT_EQ(adopted, transformed(copying, text)) << text;
      if (r.chance(30)) {
        ConvertTransToPMML copy(adopting);
        const Outcome again = transformed(copy, "");
        ASSERT_EQ(again, transformed(adopting, ""));
      }
    }
  }
}
