// The indexed jobs against the straightforward ones: randomized documents with
// names that differ only in case, "#" names, disabled chains and
// self-references must give the same bytes, codes and reports either way.
#include <gtest/gtest.h>
#include <pmmlxform/adp_convert.h>
#include <pmmlxform/convert_trans_to_pmml.h>

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
// itself, or redefine a name: mostly valid, some refused.
std::string description(Random& r) {
  auto cased = [&r](std::string name) {
    for (char& c : name) {
      if (r.chance(30) && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return name;
  };
  std::string doc = "<TransformationDescription><Transformations>";
  std::vector<std::string> known = {"v0", "v1", "v2", "#v3"};
  for (const std::string& v : known) {
    for (int copies = r.chance(30) ? 2 : 1; copies > 0; --copies) {
      doc += "<Variable name='" + cased(v) + "' type='numeric' level='scale'>" +
             (r.chance(50) ? "<Missing value='9'/>" : "") + "</Variable>";
    }
  }
  const int entries = 1 + r.below(8);
  for (int i = 0; i < entries; ++i) {
    std::string target = cased("t" + std::to_string(i));
    if (r.chance(4))
      target = cased(known[static_cast<std::size_t>(r.below(static_cast<int>(known.size())))]);
    std::string source =
        cased(known[static_cast<std::size_t>(r.below(static_cast<int>(known.size())))]);
    if (r.chance(4)) source = target;                       // itself
    if (r.chance(4)) source = "t" + std::to_string(i + 1);  // a later entry
    if (r.chance(50)) {
      doc += "<Recode source='" + source + "' target='" + target +
             "' type='numeric' level='ordinal'><Rule><Range low='LOWEST' high='5'/><To value='1'/>"
             "</Rule><Rule><Missing/><To value='9'/></Rule><Rule><Else/><ToCopy/></Rule></Recode>";
    } else {
      doc += "<Compute target='" + target +
             "' type='numeric' level='scale'><Apply function='+'><Field name='" + source +
             "'/><Number value='1'/></Apply></Compute>";
    }
    known.push_back(target);
  }
  return doc + "</Transformations></TransformationDescription>";
}

TEST(ScaleDifferential, TransformWithKeysAndSourceTextWritesWhatTheScansWrite) {
  Random r(777);
  const std::string reference = std::string(PMMLXFORM_SOURCE_DIR) + "/tests/data/reference/";
  int converted = 0;
  for (int i = 0; i < 120; ++i) {
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
    if (code[0] == 0) ++converted;
  }
  EXPECT_GT(converted, 40);
}

}  // namespace
