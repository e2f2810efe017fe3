// The indexed jobs against the straightforward ones: randomized documents with
// names that differ only in case, "#" names, disabled chains and
// self-references must give the same bytes, codes and reports either way.
#include <gtest/gtest.h>
#include <pmmlxform/adp_convert.h>
#include <pmmlxform/convert_trans_to_pmml.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

#include "syntax/adp_root_node.h"
#include "tests/test_util.h"
#include "trans/convert_xml.h"
#include "trans/name_index.h"
#include "trans/xml_parser.h"

namespace {

// Names that collide ignoring case, carry the rename marker, or are plain.
const std::vector<std::string> kNames = {"a",  "A", "b", "B",  "#a", "#b",  "ab",  "aB",
                                         "Ab", "k", "K", "s1", "S1", "x_y", "X_Y", "i"};

class Random {
 public:
  explicit Random(unsigned seed) : engine_(seed) {}
  int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(engine_); }
  bool chance(int percent) { return below(100) < percent; }
  const std::string& name() {
    return kNames[static_cast<std::size_t>(below(static_cast<int>(kNames.size())))];
  }

 private:
  std::mt19937 engine_;
};

std::string usage(Random& r, bool data) {
  const char* classes[] = {"predictor", "target", "transformed target"};
  return std::string("<Extension><UsageType value='") +
         (r.chance(data ? 20 : 35) ? "disable" : "enable") + "'/><ClassOfField value='" +
         classes[r.below(data ? 2 : 3)] + "'/></Extension>";
}

// An expression over one to three field references of several kinds.
std::string expression(Random& r, bool otherKinds) {
  if (otherKinds && r.chance(15)) {
    return "<Discretize field='" + r.name() +
           "'><DiscretizeBin binValue='1'><Interval closure='openOpen' leftMargin='0'/>"
           "</DiscretizeBin></Discretize>";
  }
  std::string e = "<Apply function='+'>";
  const int n = 1 + r.below(2);
  for (int i = 0; i < n; ++i) {
    e += r.chance(20) ? "<Apply function='abs'><FieldRef field='" + r.name() + "'/></Apply>"
                      : "<FieldRef field='" + r.name() + "'/>";
  }
  if (n == 1) e += "<Constant dataType='double'>1</Constant>";
  return e + "</Apply>";
}

std::string dataPreparation(Random& r, bool& back) {
  std::string doc = "<PMML version='4.2'><DataDictionary>";
  const int data = 1 + r.below(6);
  for (int i = 0; i < data; ++i) {
    const bool text = r.chance(40);
    doc += "<DataField name='" + r.name() + "' optype='categorical' dataType='" +
           (text ? "string" : "double") + "'>" + usage(r, true);
    if (text) {
      for (int v = r.below(3); v > 0; --v)
        doc += "<Value value='" + std::string(1 + r.below(6), 'v') + "'/>";
    }
    doc += "</DataField>";
  }
  doc += "</DataDictionary><TransformationDictionary>";
  auto fields = [&](int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
      const bool text = r.chance(25);
      out += "<DerivedField name='" + r.name() + "' optype='continuous' dataType='" +
             (text ? "string" : "double") + "'>" + usage(r, false);
      if (text && r.chance(50)) out += "<Value value='" + std::string(1 + r.below(5), 'w') + "'/>";
      out += (text ? "<Apply function='uppercase'><FieldRef field='" + r.name() + "'/></Apply>"
                   : expression(r, r.chance(10))) +
             "</DerivedField>";
    }
    return out;
  };
  back = r.chance(20);
  if (back) {
    doc += "<Extension><AutomatedDataPreparation><TargetInverse>" + fields(1 + r.below(4)) +
           "</TargetInverse></AutomatedDataPreparation></Extension>";
  }
  doc += fields(2 + r.below(25));
  return doc + "</TransformationDictionary></PMML>";
}

struct SyntaxResult {
  int code;
  std::string message, output;
  std::vector<std::string> none;
  bool operator==(const SyntaxResult& o) const {
    return code == o.code && message == o.message && output == o.output && none == o.none;
  }
};

SyntaxResult syntax(const std::string& doc, bool back, bool indexed) {
  ADPRootNode::setIndexing(indexed);
  std::istringstream in(doc);
  std::ostringstream out;
  SyntaxResult result;
  result.code =
      back ? ADP_Convert::convertPMMLtoBackSyntax(in, out, result.message, "t", "src", true, false)
           : ADP_Convert::convertPMMLtoSyntax(in, out, result.message, result.none, false, true,
                                              true);
  result.output = out.str();
  ADPRootNode::setIndexing(true);
  return result;
}

TEST(ScaleDifferential, SyntaxIndexesWriteWhatTheSearchesWrite) {
  Random r(20261206);
  int converted = 0;
  for (int i = 0; i < 400; ++i) {
    bool back = false;
    const std::string doc = dataPreparation(r, back);
    const SyntaxResult indexed = syntax(doc, back, true);
    const SyntaxResult reference = syntax(doc, back, false);
    ASSERT_TRUE(indexed == reference) << doc << "\n--- indexed:\n"
                                      << indexed.output << indexed.message << "\n--- reference:\n"
                                      << reference.output << reference.message;
    if (indexed.code == 0) ++converted;
  }
  // Most documents convert, so the comparison covers output, not only refusals.
  EXPECT_GT(converted, 200);
}

std::string expressionPmml(Random& r) {
  const char* kinds[] = {"FieldRef", "NormDiscrete", "Discretize"};
  const char* between[] = {"", "\n  ", "<!-- c -->", "-", "<Constant> 1 </Constant>"};
  std::string e = "<Apply function='+'>";
  for (int i = 1 + r.below(2); i > 0; --i) {
    e += std::string("<") + kinds[r.below(3)] + " field='" + r.name() + "'" +
         (r.chance(10) ? " note='a&amp;b&#x41;'" : "") + "/>" + between[r.below(5)];
  }
  return e + "</Apply>";
}

std::string transformationPmml(Random& r) {
  std::string doc = "<PMML version='4.3'><Header/><DataDictionary>";
  for (int i = r.below(6); i > 0; --i) {
    doc += "<DataField name='" + r.name() + "' optype='continuous' dataType='double'/>";
  }
  doc += "</DataDictionary><TransformationDictionary>";
  for (int i = 1 + r.below(12); i > 0; --i) {
    if (r.chance(8)) doc += "<DefineFunction name='" + r.name() + "'/>";
    doc += "<DerivedField name='" + r.name() + "' optype='continuous' dataType='double'>" +
           expressionPmml(r) + "</DerivedField>";
  }
  return doc + "</TransformationDictionary></PMML>";
}

std::string modelPmml(Random& r) {
  std::string doc = "<PMML version='4.3'><Header/><DataDictionary>";
  for (int i = 1 + r.below(8); i > 0; --i) {
    doc += "<DataField name='" + r.name() + "' optype='categorical' dataType='string'>";
    for (int v = r.below(3); v > 0; --v) {
      doc += "<Value value='" + std::to_string(v) + "'" +
             (r.chance(30) ? " property='missing'" : "") + "/>";
    }
    if (r.chance(20)) {
      doc += "<Extension name='invalidRangeLower' value='1'/>"
             "<Extension name='invalidRangeUpper' value='2E1'/>";
    }
    doc += "</DataField>\n";
  }
  doc += "</DataDictionary>";
  if (r.chance(30)) {
    doc += "<TransformationDictionary><DerivedField name='" + r.name() +
           "' optype='continuous' dataType='double'>" + expressionPmml(r) +
           "</DerivedField></TransformationDictionary>";
  }
  doc += "<RegressionModel functionName='regression'>\n <MiningSchema>";
  for (int i = 1 + r.below(8); i > 0; --i) {
    doc += "<MiningField name='" + r.name() + "'" + (r.chance(15) ? " usageType='predicted'" : "") +
           "/>";
  }
  doc += "</MiningSchema><RegressionTable intercept='1'/></RegressionModel>";
  if (r.chance(20)) doc += "<Extension name='e'/>";
  return doc + "</PMML>";
}

struct MergeResult {
  int code;
  std::string message, output;
  std::vector<std::string> reports;
  bool operator==(const MergeResult& o) const {
    return code == o.code && message == o.message && output == o.output && reports == o.reports;
  }
};

MergeResult merge(const std::string& trans, const std::string& model, bool indexed) {
  pmmlxform::NameIndexScope::setEnabled(indexed);
  ConvertTransToPMML convert;
  MergeResult result;
  std::vector<TmsEndInfo> data, derived;
  std::vector<TmsMiningFieldInfo> mining;
  result.code =
      convert.mergePMML(trans, model, result.output, result.message, data, derived, mining);
  for (const auto& v : data) result.reports.push_back("data " + v.name + " " + v.dataType);
  for (const auto& v : derived) result.reports.push_back("derived " + v.name + " " + v.optype);
  for (const auto& m : mining) result.reports.push_back("mining " + m.name + " " + m.usageType);
  pmmlxform::NameIndexScope::setEnabled(true);
  return result;
}

TEST(ScaleDifferential, MergeIndexesWriteWhatTheScansWrite) {
  Random r(4242);
  int merged = 0;
  for (int i = 0; i < 300; ++i) {
    const std::string trans = transformationPmml(r);
    const std::string model = modelPmml(r);
    const MergeResult indexed = merge(trans, model, true);
    const MergeResult reference = merge(trans, model, false);
    ASSERT_TRUE(indexed == reference) << trans << "\n"
                                      << model << "\n--- indexed:\n"
                                      << indexed.output << "\n--- reference:\n"
                                      << reference.output;
    if (indexed.code == 0 || indexed.code == 4) ++merged;
  }
  EXPECT_GT(merged, 200);
}

// The merge's element copy against the DOM's own import, over documents
// with defaulted and ID attributes, character and entity references,
// namespaces, and text, comments and CDATA between the elements.
class Copier : public ConvertTransToPMML {
 public:
  using ConvertTransToPMML::importElement;
  using ConvertTransToPMML::transcode;
};

xercesc::DOMElement* importedCopy(Copier& copier, xercesc::DOMDocument* document,
                                  const xercesc::DOMElement* element) {
  auto* copy = static_cast<xercesc::DOMElement*>(document->importNode(element, false));
  for (auto* child = element->getFirstChild(); child != nullptr; child = child->getNextSibling()) {
    if (child->getNodeType() == xercesc::DOMNode::ELEMENT_NODE) {
      copy->appendChild(
          importedCopy(copier, document, static_cast<const xercesc::DOMElement*>(child)));
    } else if (child->getNodeType() == xercesc::DOMNode::TEXT_NODE &&
               copier.transcode(child->getNodeValue()).find_first_of(
                   "0123456789.abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ") !=
                   std::string::npos) {
      copy->appendChild(document->importNode(child, true));
    }
  }
  return copy;
}

std::u16string written(xercesc::DOMNode* node) {
  auto* impl = xercesc::DOMImplementationRegistry::getDOMImplementation(u"Core");
  xercesc::DOMLSSerializer* serializer = impl->createLSSerializer();
  XMLCh* text = serializer->writeToString(node);
  std::u16string result(text);
  xercesc::XMLString::release(&text);
  serializer->release();
  return result;
}

TEST(ScaleDifferential, MergeCopiesWhatTheImportCopies) {
  Random r(99);
  Copier copier;
  const char* values[] = {"v", "a&amp;b", "&#233;", "&ent;", ""};
  const char* between[] = {"\n ", "-", " 1 ", "<!-- c -->", "<![CDATA[x]]>", "&ent;", "<?p d?>"};
  for (int i = 0; i < 150; ++i) {
    const bool namespaces = r.chance(30);
    std::string doc =
        "<!DOCTYPE r [<!ATTLIST e d CDATA 'dv'><!ATTLIST e i ID #IMPLIED>"
        "<!ENTITY ent 'x'>]><r xmlns:p='urn:p'>";
    for (int e = 1 + r.below(6); e > 0; --e) {
      const std::string name = r.chance(50) ? "e" : "f";  // e has the declared attributes
      doc += "<" + name + " a='" + values[r.below(5)] + "'" +
             (r.chance(30) ? " i='i" + std::to_string(e) + "'" : "") +
             (r.chance(20) ? " p:q='1'" : "") + ">" + between[r.below(7)] + "<g/></" + name + ">";
    }
    doc += "</r>";
    xercesc::XercesDOMParser parser;  // entity reference nodes kept, as a host's DOM may have
    parser.setDoNamespaces(namespaces);
    xercesc::MemBufInputSource input(reinterpret_cast<const XMLByte*>(doc.data()), doc.size(),
                                     "copy");
    parser.parse(input);
    ASSERT_EQ(parser.getErrorCount(), 0u) << doc;
    xercesc::DOMElement* root = parser.getDocument()->getDocumentElement();
    if (r.chance(30)) {
      // An attribute value holding an entity reference, as only a built DOM has.
      auto* first = static_cast<xercesc::DOMElement*>(root->getFirstChild());
      first->getAttributeNode(u"a")->appendChild(
          parser.getDocument()->createEntityReference(u"ent"));
    }
    xercesc::DOMDocument* target =
        xercesc::DOMImplementationRegistry::getDOMImplementation(u"Core")->createDocument();
    const std::u16string copied = written(copier.importElement(target, root));
    const std::u16string imported = written(importedCopy(copier, target, root));
    target->release();
    ASSERT_TRUE(copied == imported) << doc;
  }
}

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

template <typename T>
const T& pick(Random& r, const std::vector<T>& from) {
  return from[static_cast<std::size_t>(r.below(static_cast<int>(from.size())))];
}

const std::vector<std::string> kNumbers = {"1", "2", "5", "9", "9", "10", "2.5", "-1"};
const std::vector<std::string> kTexts = {"a", "b", "b", "XX", "", "a b"};

std::string missingValues(Random& r, bool text) {
  std::string out;
  int values = r.below(r.chance(3) ? 5 : 4);
  if (!text && r.chance(25)) {
    const std::string low = r.chance(30) ? "LOWEST" : pick(r, kNumbers);
    out += "<MissingRange low='" + low + "' high='" + (r.chance(30) ? "HIGHEST" : "10") + "'/>";
    values = std::min(values, r.chance(5) ? 2 : 1);
  }
  for (int n = values; n > 0; --n) {
    out += r.chance(1) ? "<Missing/>"
                       : "<Missing value='" + (text ? pick(r, kTexts) : pick(r, kNumbers)) + "'/>";
  }
  return out;
}

std::string rules(Random& r, bool textSource, bool textTarget, bool copies) {
  std::string out;
  for (int n = 1 + r.below(4); n > 0; --n) {
    out += "<Rule>";
    for (int i = 1 + (r.chance(30) ? 1 : 0); i > 0; --i) {
      const int kind = r.below(textSource && !r.chance(3) ? 3 : 5);
      if (kind == 0) {
        out += r.chance(4) ? "<Value/>"
                           : "<Value value='" + pick(r, textSource ? kTexts : kNumbers) + "'/>";
      } else if (kind == 1) {
        out += "<Missing/>";
      } else if (kind == 2) {
        out += "<Else/>";
      } else if (kind == 3) {
        out += "<SystemMissing/>";
      } else {
        const std::string a = r.chance(20) ? "LOWEST" : pick(r, kNumbers);
        const std::string b = r.chance(20) ? "HIGHEST" : pick(r, kNumbers);
        // Now and then an empty range or one bound that is no number.
        const bool swap =
            a != "LOWEST" && b != "HIGHEST" && std::stod(a) > std::stod(b) && !r.chance(10);
        const std::string high = r.chance(3) ? "x" : swap ? a : b;
        out += "<Range low='" + (swap ? b : a) + "' high='" + high + "'/>";
      }
    }
    if (r.chance(2)) out += "<Bogus/>";
    const int result = r.below(100);
    if (r.chance(2)) {
      // a rule without result
    } else if (result < 55 || (result < 80 && !copies && !r.chance(5)) ||
               (result >= 80 && textTarget && !r.chance(5))) {
      const std::string value = textTarget    ? pick(r, kTexts)
                                : r.chance(3) ? "x"
                                              : pick(r, kNumbers);
      out += "<To value='" + value + "'/>";
    } else if (result < 80) {
      out += "<ToCopy/>";
    } else {
      out += "<ToSystemMissing/>";
    }
    out += r.chance(2) ? "</Rule><Note/>" : "</Rule>";
  }
  return out;
}

std::string computeExpression(Random& r, const std::vector<Known>& known, int depth) {
  const int kind = r.below(depth > 1 ? 3 : 5);
  if (kind == 0) return "<Field name='" + pick(r, known).name + "'/>";
  if (kind == 1) return "<Number value='" + pick(r, kNumbers) + "'/>";
  if (kind == 2) return "<String value='" + pick(r, kTexts) + "'/>";
  // Functions with their least and most argument counts; now and then an
  // unknown one or a count out of range.
  struct Function {
    const char* name;
    int least, most;
  };
  const std::vector<Function> functions = {
      {"+", 2, 2}, {"max", 1, 3}, {"concat", 2, 3}, {"if", 2, 3}, {"abs", 1, 1}};
  const Function& f = pick(r, functions);
  std::string e = std::string("<Apply function='") + (r.chance(5) ? "nope" : f.name) + "'>";
  for (int n = r.chance(5) ? f.most + 1 : f.least + r.below(f.most - f.least + 1); n > 0; --n)
    e += computeExpression(r, known, depth + 1);
  return e + "</Apply>";
}

std::string description(Random& r) {
  auto cased = [&r](std::string name) {
    for (char& c : name) {
      if (r.chance(30) && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return name;
  };
  const char* levels[] = {"scale", "ordinal", "nominal"};
  std::string doc = "<TransformationDescription><Transformations>";
  std::vector<Known> known = {
      {"v0", false}, {"v1", false}, {"#v3", false}, {"s0", true}, {"s1", true}};
  for (const Known& v : known) {
    for (int copies = r.chance(30) ? 2 : 1; copies > 0; --copies) {
      doc += "<Variable name='" + cased(v.name) + "' type='" +
             (v.text ? "string' width='4" : "numeric") + "' level='" + levels[r.below(3)] + "'>" +
             missingValues(r, v.text) + "</Variable>";
    }
  }
  const int entries = 1 + r.below(8);
  for (int i = 0; i < entries; ++i) {
    Known target{cased("t" + std::to_string(i)), r.chance(30)};
    if (r.chance(4)) target.name = cased(pick(r, known).name);
    Known source = pick(r, known);
    source.name = cased(source.name);
    if (r.chance(4)) source.name = target.name;                  // itself
    if (r.chance(4)) source.name = "t" + std::to_string(i + 1);  // a later entry
    const std::string kind = std::string(" type='") +
                             (target.text ? "string' width='3" : "numeric") + "' level='" +
                             levels[r.below(3)] + "'" + (r.chance(20) ? " label='l'" : "") + ">";
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
    std::string out[2], message[2];
    int code[2];
    for (int variant = 0; variant < 2; ++variant) {
      // The reference: the stylesheet's scans, over the wrapped DOM.
      testutil::ScopedEnv dir("PMMLXFORM_APP_DIR", variant == 0 ? nullptr : reference.c_str());
      ConvertByXSLT::readSourceText = variant == 0;
      ConvertTransToPMML convert;
      std::vector<TmsEndInfo> vars;
      code[variant] = convert.transform(doc, out[variant], message[variant], vars);
      ConvertByXSLT::readSourceText = true;
    }
    ASSERT_EQ(code[0], code[1]) << doc;
    ASSERT_EQ(message[0], message[1]) << doc;
    ASSERT_EQ(out[0], out[1]) << doc;
    if (code[0] == kConversionRefused) {
      ASSERT_EQ(refusal(doc, shipped, true), refusal(doc, reference + "transformation.xsl", false))
          << doc;
    }
    if (code[0] == 0) ++converted;
  }
  EXPECT_GT(converted, 40);
}

}  // namespace

// The text form keeps the description it parsed as the held one; a subclass
// gets copies. Declarations, document types with defaults and entities,
// comments and instructions before the root must not change what either
// writes, then or in later calls that accumulate, convert again, restore after
// a refusal or run on a copy.
struct CopyingConvert : ConvertTransToPMML {};

TEST(ScaleDifferential, TransformKeepsWhatItWouldCopy) {
  const std::vector<std::string> prologs = {
      "",
      "<?xml version='1.0' encoding='ISO-8859-1' standalone='yes'?>",
      "<?xml version='1.0'?><!DOCTYPE TransformationDescription [<!ENTITY e 'v'>"
      "<!ATTLIST Recode label CDATA 'dl'><!ATTLIST Compute level CDATA 'scale'>]>",
      "<!--c--><?pi data?><!DOCTYPE TransformationDescription SYSTEM 'none.dtd'>",
  };
  Random r(4242);
  for (int i = 0; i < 24; ++i) {
    ConvertByXSLT::readSourceText = i % 2 == 0;
    ConvertTransToPMML adopting;
    CopyingConvert copying;
    for (int step = 0; step < 6; ++step) {
      const bool merging = r.chance(60);
      std::string text;
      if (step == 0 || r.chance(70)) text = pick(r, prologs) + description(r);
      if (r.chance(8)) text = "<?xml version='1.0'?><!--c--><TransformationDescription/>";
      std::string out[2], message[2];
      int code[2];
      std::vector<TmsEndInfo> vars[2];
      adopting.setNeedMerging(merging);
      copying.setNeedMerging(merging);
      code[0] = adopting.transform(text, out[0], message[0], vars[0]);
      code[1] = copying.transform(text, out[1], message[1], vars[1]);
      ASSERT_EQ(code[0], code[1]) << text;
      ASSERT_EQ(message[0], message[1]) << text;
      ASSERT_EQ(out[0], out[1]) << text;
      ASSERT_EQ(vars[0].size(), vars[1].size()) << text;
      if (r.chance(30)) {
        ConvertTransToPMML copy(adopting);
        code[0] = copy.transform("", out[0], message[0], vars[0]);
        code[1] = adopting.transform("", out[1], message[1], vars[1]);
        ASSERT_EQ(code[0], code[1]);
        ASSERT_EQ(out[0], out[1]);
      }
    }
  }
  ConvertByXSLT::readSourceText = true;
}
