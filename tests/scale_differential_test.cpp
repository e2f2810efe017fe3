// The optimised jobs against the straightforward ones they replaced:
// randomized documents with names that differ only in case, "#" names,
// disabled chains and self-references must give the same bytes, codes and
// reports either way.
#include <gtest/gtest.h>
#include <pmmlxform/adp_convert.h>
#include <pmmlxform/convert_trans_to_pmml.h>

#include <algorithm>
#include <fstream>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

#include "syntax/adp_root_node.h"
#include "tests/test_util.h"
#include "trans/convert_trans.h"
#include "trans/convert_xml.h"
#include "trans/name_index.h"
#include "trans/xml_parser.h"

namespace {

using Texts = std::vector<std::string>;

// Names that collide ignoring case, carry the rename marker, or are plain.
const Texts kNames = {"a", "A", "b", "B", "#a", "#b", "ab", "aB",
                      "Ab", "k", "K", "s1", "S1", "x_y", "X_Y", "i"};
const Texts kNumbers = {"1", "2", "5", "9", "9", "10", "2.5", "-1"};
const Texts kTexts = {"a", "b", "b", "XX", "", "a b"};

class Random {
 public:
  explicit Random(unsigned seed) : engine_(seed) {}
  int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(engine_); }
  bool chance(int percent) { return below(100) < percent; }
  std::string pick(const Texts& from) {
    return from[static_cast<std::size_t>(below(static_cast<int>(from.size())))];
  }
  std::string name() { return pick(kNames); }
  // What `piece` gives, `n` times over.
  template <typename F>
  std::string times(int n, F piece) {
    std::string out;
    while (n-- > 0) out += piece();
    return out;
  }

 private:
  std::mt19937 engine_;
};

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

// --- Syntax: the root node's name indexes against its searches -------------

std::string usage(Random& r, bool data) {
  const Texts classes = {"predictor", "target", "transformed target"};
  return std::string("<Extension><UsageType value='") +
         (r.chance(data ? 20 : 35) ? "disable" : "enable") + "'/><ClassOfField value='" +
         classes[static_cast<std::size_t>(r.below(data ? 2 : 3))] + "'/></Extension>";
}

std::string fieldRef(Random& r) { return "<FieldRef field='" + r.name() + "'/>"; }
// One to three field references, or now and then a Discretize.
std::string syntaxExpression(Random& r, bool otherKinds) {
  if (otherKinds && r.chance(15)) {
    return "<Discretize field='" + r.name() +
           "'><DiscretizeBin binValue='1'><Interval closure='openOpen' leftMargin='0'/>"
           "</DiscretizeBin></Discretize>";
  }
  const int n = 1 + r.below(2);
  return "<Apply function='+'>" + r.times(n, [&] {
    return r.chance(20) ? "<Apply function='abs'>" + fieldRef(r) + "</Apply>" : fieldRef(r);
  }) + (n == 1 ? "<Constant dataType='double'>1</Constant>" : "") + "</Apply>";
}

std::string syntaxPmml(Random& r, bool& back) {
  const auto derived = [&](int count) {
    return r.times(count, [&] {
      const bool text = r.chance(25);
      return "<DerivedField name='" + r.name() + "' optype='continuous' dataType='" +
             (text ? "string" : "double") + "'>" + usage(r, false) +
             (text && r.chance(50) ? "<Value value='" + std::string(1 + r.below(5), 'w') + "'/>"
                                   : "") +
             (text ? "<Apply function='uppercase'>" + fieldRef(r) + "</Apply>"
                   : syntaxExpression(r, r.chance(10))) +
             "</DerivedField>";
    });
  };
  std::string doc = "<PMML version='4.2'><DataDictionary>" + r.times(1 + r.below(6), [&] {
    const bool text = r.chance(40);
    return "<DataField name='" + r.name() + "' optype='categorical' dataType='" +
           (text ? "string" : "double") + "'>" + usage(r, true) +
           (text ? r.times(r.below(3),
                           [&] { return "<Value value='" + std::string(1 + r.below(6), 'v') + "'/>"; })
                 : "") +
           "</DataField>";
  }) + "</DataDictionary><TransformationDictionary>";
  back = r.chance(20);
  if (back) {
    doc += "<Extension><AutomatedDataPreparation><TargetInverse>" + derived(1 + r.below(4)) +
           "</TargetInverse></AutomatedDataPreparation></Extension>";
  }
  return doc + derived(2 + r.below(25)) + "</TransformationDictionary></PMML>";
}

Outcome syntax(const std::string& doc, bool back, bool indexed) {
  ADPRootNode::setIndexing(indexed);
  std::istringstream in(doc);
  std::ostringstream out;
  Outcome o;
  o.code = back ? ADP_Convert::convertPMMLtoBackSyntax(in, out, o.message, "t", "src", true, false)
                : ADP_Convert::convertPMMLtoSyntax(in, out, o.message, o.records, false, true, true);
  o.output = out.str();
  ADPRootNode::setIndexing(true);
  return o;
}

TEST(ScaleDifferential, SyntaxIndexesWriteWhatTheSearchesWrite) {
  Random r(20261206);
  int converted = 0;
  for (int i = 0; i < 400; ++i) {
    bool back = false;
    const std::string doc = syntaxPmml(r, back);
    const Outcome indexed = syntax(doc, back, true);
    ASSERT_EQ(indexed, syntax(doc, back, false)) << doc;
    if (indexed.code == 0) ++converted;
  }
  // Most documents convert, so the comparison covers output, not only refusals.
  EXPECT_GT(converted, 200);
}

// --- Merge: the name indexes against the scans ------------------------------

std::string mergeExpression(Random& r) {
  return "<Apply function='+'>" + r.times(1 + r.below(2), [&] {
    return "<" + r.pick({"FieldRef", "NormDiscrete", "Discretize"}) + " field='" + r.name() + "'" +
           (r.chance(10) ? " note='a&amp;b&#x41;'" : "") + "/>" +
           r.pick({"", "\n  ", "<!-- c -->", "-", "<Constant> 1 </Constant>"});
  }) + "</Apply>";
}

std::string mergeDerived(Random& r) {
  return "<DerivedField name='" + r.name() + "' optype='continuous' dataType='double'>" +
         mergeExpression(r) + "</DerivedField>";
}

// Functions named like fields now and then.
std::string transformationPmml(Random& r) {
  return "<PMML version='4.3'><Header/><DataDictionary>" + r.times(r.below(6), [&] {
    return "<DataField name='" + r.name() + "' optype='continuous' dataType='double'/>";
  }) + "</DataDictionary><TransformationDictionary>" + r.times(1 + r.below(12), [&] {
    return (r.chance(8) ? "<DefineFunction name='" + r.name() + "'/>" : "") + mergeDerived(r);
  }) + "</TransformationDictionary></PMML>";
}

// Values marked missing, invalid ranges, the model's own derived field,
// predicted fields and a trailing Extension.
std::string modelPmml(Random& r) {
  const std::string fields = r.times(1 + r.below(8), [&] {
    return "<DataField name='" + r.name() + "' optype='categorical' dataType='string'>" +
           r.times(r.below(3),
                   [&] {
                     return "<Value value='" + std::to_string(r.below(3)) + "'" +
                            (r.chance(30) ? " property='missing'" : "") + "/>";
                   }) +
           (r.chance(20) ? "<Extension name='invalidRangeLower' value='1'/>"
                           "<Extension name='invalidRangeUpper' value='2E1'/>"
                         : "") +
           "</DataField>\n";
  });
  const std::string own =
      r.chance(30) ? "<TransformationDictionary>" + mergeDerived(r) + "</TransformationDictionary>"
                   : "";
  const std::string mining = r.times(1 + r.below(8), [&] {
    return "<MiningField name='" + r.name() + "'" + (r.chance(15) ? " usageType='predicted'" : "") +
           "/>";
  });
  return "<PMML version='4.3'><Header/><DataDictionary>" + fields + "</DataDictionary>" + own +
         "<RegressionModel functionName='regression'>\n <MiningSchema>" + mining +
         "</MiningSchema><RegressionTable intercept='1'/></RegressionModel>" +
         (r.chance(20) ? "<Extension name='e'/>" : "") + "</PMML>";
}

Outcome merge(const std::string& trans, const std::string& model, bool indexed) {
  pmmlxform::NameIndexScope::setEnabled(indexed);
  ConvertTransToPMML convert;
  Outcome o;
  std::vector<TmsEndInfo> data, derived;
  std::vector<TmsMiningFieldInfo> mining;
  o.code = convert.mergePMML(trans, model, o.output, o.message, data, derived, mining);
  for (const auto& v : data) o.records.push_back("data " + v.name + " " + v.dataType);
  for (const auto& v : derived) o.records.push_back("derived " + v.name + " " + v.optype);
  for (const auto& m : mining) o.records.push_back("mining " + m.name + " " + m.usageType);
  pmmlxform::NameIndexScope::setEnabled(true);
  return o;
}

TEST(ScaleDifferential, MergeIndexesWriteWhatTheScansWrite) {
  Random r(4242);
  int merged = 0;
  for (int i = 0; i < 300; ++i) {
    const std::string trans = transformationPmml(r), model = modelPmml(r);
    const Outcome indexed = merge(trans, model, true);
    ASSERT_EQ(indexed, merge(trans, model, false)) << trans << "\n" << model;
    if (indexed.code == 0 || indexed.code == 4) ++merged;
  }
  EXPECT_GT(merged, 200);
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

// --- Transform: keys and source text against the stylesheet's scans --------
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
             (textTarget ? r.pick(kTexts) : r.chance(3) ? "x" : r.pick(kNumbers)) + "'/>";
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
  if (kind == 0) return "<Field name='" + known[static_cast<std::size_t>(
                                               r.below(static_cast<int>(known.size())))]
                                              .name +
                        "'/>";
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

// `convert`'s outcome for `text`, read with or without the description's source text.
Outcome transformed(ConvertTransToPMML& convert, const std::string& text, bool sourceText) {
  ConvertByXSLT::readSourceText = sourceText;
  Outcome o;
  std::vector<TmsEndInfo> vars;
  o.code = convert.transform(text, o.output, o.message, vars);
  ConvertByXSLT::readSourceText = true;
  for (const TmsEndInfo& v : vars) {
    o.records.push_back(v.name + "|" + v.displayName + "|" + v.dataType + "|" + v.optype);
  }
  return o;
}

// `transformed` with the result's text written as it is made, or always
// through the result document (the reference).
Outcome written(const std::string& text, bool direct) {
  pmmlxform::TextRequest::enabled = direct;
  ConvertTransToPMML convert;
  Outcome o = transformed(convert, text, true);
  pmmlxform::TextRequest::enabled = true;
  return o;
}

// The engine's message for a description the stylesheet refuses, up to the
// location details: the library keeps only a code for conversion errors.
std::string refusal(const std::string& doc, const std::string& stylesheetFile, bool sourceText) {
  ConvertByXSLT converter;
  pmmlxform::HardenedDOMParser parser;
  if (parser.parseText(doc) != 0) return "unparsed";
  std::ifstream stylesheet(stylesheetFile);
  ConvertByXSLT::readSourceText = sourceText;
  xercesc::DOMDocument* result = nullptr;
  const std::string message = converter.convert(parser.getDocument(), stylesheet, result);
  ConvertByXSLT::readSourceText = true;
  if (result != nullptr) result->release();
  return message.substr(0, message.find('('));
}

TEST(ScaleDifferential, TransformWithKeysAndSourceTextWritesWhatTheScansWrite) {
  Random r(777);
  const std::string reference = std::string(PMMLXFORM_SOURCE_DIR) + "/tests/data/reference/";
  const std::string shipped = PMMLXFORM_SOURCE_DIR "/share/pmmlxform/transformation.xsl";
  constexpr int kConversionRefused = 5;  // the library drops the message
  int converted = 0;
  for (int i = 0; i < 150; ++i) {
    const std::string doc = description(r);
    Outcome got[2];
    for (const bool keys : {true, false}) {
      // Without keys is the reference: the stylesheet's scans, over the wrapped DOM.
      testutil::ScopedEnv dir("PMMLXFORM_APP_DIR", keys ? nullptr : reference.c_str());
      ConvertTransToPMML convert;
      got[keys ? 0 : 1] = transformed(convert, doc, keys);
    }
    ASSERT_EQ(got[0], got[1]) << doc;
    if (got[0].code == kConversionRefused) {
      ASSERT_EQ(refusal(doc, shipped, true), refusal(doc, reference + "transformation.xsl", false))
          << doc;
    }
    if (got[0].code == 0) ++converted;
  }
  EXPECT_GT(converted, 40);
}

// Every character that is escaped, or written as it is, differently in text
// and in attribute values, and characters beyond ASCII, in labels, names,
// string constants and recoded values.
TEST(ScaleDifferential, TransformWritesTheTextItsDocumentWouldGive) {
  const Texts pieces = {"&amp;", "&lt;", "&gt;", "&quot;", "'",       "&#9;",     "&#10;",
                        "&#13;", "\r\n", "]]&gt;", "\xC3\xA9", "&#x7F;", "&#x85;",
                        "&#x9F;", "&#x2028;", "&#xFFFD;", "&#x1F600;", " ", "x"};
  Random r(99);
  const auto text = [&] {
    return r.times(1 + r.below(5), [&] { return r.pick(pieces); });
  };
  for (int i = 0; i < 40; ++i) {
    const std::string s = text(), t = text();
    const std::string doc =
        "<TransformationDescription><Transformations>"
        "<Variable name='a" + s + "' type='numeric' level='scale' label='" + t + "'/>"
        "<Variable name='s' type='string' width='9' level='nominal' label='" + s + "'>"
        "<Missing value='" + t + "'/></Variable>"
        "<Compute target='c' type='string' width='9' level='nominal' label='" + t + "'>"
        "<Apply function='concat'><Field name='s'/><String value='" + s + "'/></Apply></Compute>"
        "<Recode source='s' target='r" + t + "' type='string' width='9' level='nominal'>"
        "<Rule><Value value='" + s + "'/><To value='" + t + "'/></Rule>"
        "<Rule><Missing/><To value='" + s + "'/></Rule></Recode>"
        "<Recode source='a" + s + "' target='n' type='numeric' level='ordinal' label='" + s + "'>"
        "<Rule><Range low='1' high='2'/><To value='3'/></Rule></Recode>"
        "</Transformations></TransformationDescription>";
    ASSERT_EQ(written(doc, true), written(doc, false)) << doc;
  }
}

// Output of other shapes, from a stylesheet put in place of the shipped one,
// is converted through the document as before.
TEST(ScaleDifferential, TransformWritesOtherOutputAsItsDocumentWould) {
  const std::string doc = testutil::readFile(PMMLXFORM_SOURCE_DIR
                                             "/share/pmmlxform/examples/survey_description.xml");
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
              "<xsl:template match='/'>" + output + "</xsl:template></xsl:stylesheet>");
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
  const Texts prologs = {
      "",
      "<?xml version='1.0' encoding='ISO-8859-1' standalone='yes'?>",
      "<?xml version='1.0'?><!DOCTYPE TransformationDescription [<!ENTITY e 'v'>"
      "<!ATTLIST Recode label CDATA 'dl'><!ATTLIST Compute level CDATA 'scale'>]>",
      "<!--c--><?pi data?><!DOCTYPE TransformationDescription SYSTEM 'none.dtd'>",
      "<!--c--><?pi data?>\r\n",
  };
  Random r(4242);
  for (int i = 0; i < 24; ++i) {
    const bool sourceText = i % 2 == 0;
    ConvertTransToPMML adopting;
    CopyingConvert copying;
    for (int step = 0; step < 6; ++step) {
      const bool merging = r.chance(60);
      std::string text;
      if (step == 0 || r.chance(70)) text = r.pick(prologs) + description(r);
      if (r.chance(8)) text = "<?xml version='1.0'?><!--c--><TransformationDescription/>";
      adopting.setNeedMerging(merging);
      copying.setNeedMerging(merging);
      const Outcome adopted = transformed(adopting, text, sourceText);
      ASSERT_EQ(adopted, transformed(copying, text, sourceText)) << text;
      if (r.chance(30)) {
        ConvertTransToPMML copy(adopting);
        const Outcome again = transformed(copy, "", sourceText);
        ASSERT_EQ(again, transformed(adopting, "", sourceText));
      }
    }
  }
}
