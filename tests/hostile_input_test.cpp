// Hostile input for each job: every case must come back with its documented
// code, quickly, without crashing or leaking (the sanitizer and memory-check
// runs of this suite check the last two). The documents are small valid ones
// spoiled in one way each: cut short, mislabelled, padded, nested, renamed or
// stripped of one attribute.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "pmmlxform/adp_convert.h"
#include "pmmlxform/convert_trans_to_pmml.h"
#include "pmmlxform/tms_records.h"
#include "trans/xml_parser.h"

namespace {

using pmmlxform::kMaxElementDepth;

// --- The documents and the ways of spoiling them --------------------------

const char kSyntaxDoc[] =
    R"(<PMML version="4.2"><DataDictionary>)"
    R"(<DataField name="a" optype="continuous" dataType="double"/>)"
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
    R"(<Variable name="a" type="numeric" level="scale" label="A"/>)"
    R"(<Variable name="s" type="string" width="2" level="nominal"/>)"
    R"(<Recode source="a" target="b" type="numeric" level="ordinal">)"
    R"(<Rule><Range low="LOWEST" high="17"/><To value="1"/></Rule></Recode>)"
    R"(<Compute target="c" type="numeric" level="scale">)"
    R"(<Apply function="+"><Field name="a"/><Number value="1"/></Apply></Compute>)"
    R"(</Transformations></TransformationDescription>)";

const char kTransPmml[] =
    R"(<PMML version="4.3"><Header/><DataDictionary>)"
    R"(<DataField name="a" optype="continuous" dataType="double"/>)"
    R"(</DataDictionary><TransformationDictionary>)"
    R"(<DerivedField name="b" optype="continuous" dataType="double"><FieldRef field="a"/>)"
    R"(</DerivedField></TransformationDictionary></PMML>)";

const char kModelPmml[] =
    R"(<PMML version="4.3"><Header/><DataDictionary>)"
    R"(<DataField name="b" optype="continuous" dataType="double"/>)"
    R"(<DataField name="y" optype="continuous" dataType="double"/>)"
    R"(</DataDictionary><RegressionModel functionName="regression"><MiningSchema>)"
    R"(<MiningField name="b"/><MiningField name="y" usageType="predicted"/>)"
    R"(</MiningSchema><RegressionTable intercept="0"/></RegressionModel></PMML>)";

// The element tags of a document in order: where the name of the start tag
// and of the end tag (npos for an empty element) begin, and the name.
struct Tag {
  std::size_t start;
  std::size_t end;
  std::string name;
  std::size_t depth;  // 1 for the document element
};

std::vector<Tag> tags(const std::string& doc) {
  std::vector<Tag> found;
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < doc.size(); ++i) {
    if (doc[i] != '<') continue;
    if (i + 1 < doc.size() && doc[i + 1] == '/') {
      found[open.back()].end = i + 2;
      open.pop_back();
      continue;
    }
    std::size_t j = i + 1;
    while (j < doc.size() && (std::isalnum(static_cast<unsigned char>(doc[j])) || doc[j] == '_')) {
      ++j;
    }
    if (j == i + 1) continue;
    found.push_back({i + 1, std::string::npos, doc.substr(i + 1, j - i - 1), open.size() + 1});
    const std::size_t close = doc.find('>', j);
    if (doc[close - 1] != '/') open.push_back(found.size() - 1);
  }
  return found;
}

// The document with its n-th element renamed to "Wrong".
std::string renamed(const std::string& doc, std::size_t n) {
  const Tag tag = tags(doc)[n];
  std::string out = doc;
  if (tag.end != std::string::npos) out.replace(tag.end, tag.name.size(), "Wrong");
  out.replace(tag.start, tag.name.size(), "Wrong");
  return out;
}

// Each attribute of a document, and the document without it.
std::vector<std::pair<std::string, std::string>> withoutEachAttribute(const std::string& doc) {
  std::vector<std::pair<std::string, std::string>> out;
  const std::regex attribute(R"( \w+="[^"]*")");
  for (std::sregex_iterator it(doc.begin(), doc.end(), attribute), end; it != end; ++it) {
    out.emplace_back(it->str(),
                     doc.substr(0, it->position()) + doc.substr(it->position() + it->length()));
  }
  return out;
}

// The document with `inner` as the first content of its n-th element.
std::string insertAfterStartTag(const std::string& doc, std::size_t n, const std::string& inner) {
  const Tag tag = tags(doc)[n];
  const std::size_t at = doc.find('>', tag.start);
  if (doc[at - 1] == '/') {
    return doc.substr(0, at - 1) + ">" + inner + "</" + tag.name + ">" + doc.substr(at + 1);
  }
  return doc.substr(0, at + 1) + inner + doc.substr(at + 1);
}

// The document with attribute text `attribute` added to its n-th element.
std::string addAttribute(const std::string& doc, std::size_t n, const std::string& attribute) {
  const Tag tag = tags(doc)[n];
  const std::size_t at = tag.start + tag.name.size();
  return doc.substr(0, at) + " " + attribute + doc.substr(at);
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

// The cases every job shares, each spoiling the job's document `doc` (root
// `root`) in one way; the codes are those of the Job below.
struct Case {
  std::string name;
  std::string text;
  int code;
};

std::vector<Case> sharedCases(const std::string& doc, const std::string& root, int ok, int bad,
                              std::size_t deepAt, int deepOk) {
  const std::string body = doc.substr(doc.find('>') + 1, doc.rfind('<') - doc.find('>') - 1);
  const std::string rootStart = doc.substr(0, doc.find('>') + 1);
  const std::string rootEnd = "</" + root + ">";
  const std::size_t insideDepth = tags(doc)[deepAt].depth;
  return {
      // The parser reads the bytes as what they are, 8-bit text, and goes on.
      {"declared UTF-16, written in 8 bits", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + doc,
       ok},
      {"declared ASCII, holding UTF-8",
       "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>" + addAttribute(doc, 0, "x=\"\xC3\xA9\""),
       bad},
      {"declared in an unknown encoding", "<?xml version=\"1.0\" encoding=\"x-none\"?>" + doc, bad},
      {"declared XML 2.0", "<?xml version=\"2.0\"?>" + doc, bad},
      {"invalid UTF-8: lone continuation byte", addAttribute(doc, 0, "x=\"\x80\""), bad},
      {"invalid UTF-8: overlong slash", addAttribute(doc, 0, "x=\"\xC0\xAF\""), bad},
      {"invalid UTF-8: encoded surrogate", addAttribute(doc, 0, "x=\"\xED\xA0\x80\""), bad},
      {"invalid UTF-8: cut sequence", addAttribute(doc, 0, "x=\"\xE2\x82\""), bad},
      {"NUL byte inside", addAttribute(doc, 0, std::string("x=\"a\0b\"", 7)), bad},
      {"NUL byte after the root", doc + std::string("\0<junk", 6), bad},
      {"external entity",
       "<!DOCTYPE " + root + " [<!ENTITY x SYSTEM \"/etc/passwd\">]>" + rootStart + "&x;" + body +
           rootEnd,
       bad},
      {"external parameter entity",
       "<!DOCTYPE " + root + " [<!ENTITY % x SYSTEM \"/etc/passwd\"> %x;]>" + doc, bad},
      {"entity bomb", entityBomb(root) + rootStart + "&e9;" + body + rootEnd, bad},
      {"quadratic blow-up entity",
       "<!DOCTYPE " + root + " [<!ENTITY a \"" + std::string(50000, 'a') + "\">]>" + rootStart +
           repeated("&a;", 20000) + body + rootEnd,
       bad},
      {"nesting at the limit",
       insertAfterStartTag(doc, deepAt, nested(kMaxElementDepth - insideDepth)), deepOk},
      {"nesting past the limit",
       insertAfterStartTag(doc, deepAt, nested(kMaxElementDepth - insideDepth + 1)), bad},
      {"no document element", "<?xml version=\"1.0\"?><!-- nothing -->", bad},
      {"two document elements", doc + doc, bad},
  };
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

int transform(const std::string& text) {
  ConvertTransToPMML converter;
  std::string out, message;
  std::vector<TmsEndInfo> vars;
  return converter.transform(text, out, message, vars);
}

int merge(const std::string& trans, const std::string& model) {
  ConvertTransToPMML converter;
  std::string out, message;
  std::vector<TmsEndInfo> dataFields, derivedFields;
  std::vector<TmsMiningFieldInfo> miningFields;
  return converter.mergePMML(trans, model, out, message, dataFields, derivedFields, miningFields);
}

// One job over one spoilable document: `ok` is the code of the document as it
// is, `bad` the code for malformed or refused XML; the shared cases nest
// elements inside element number `deepAt`, where the job gives `deepOk`.
// `renames` and `removals` are the codes for each element renamed and each
// attribute removed in turn (document order).
struct Job {
  std::string doc;
  std::string root;
  int ok, bad;
  std::size_t deepAt;
  int deepOk;
  std::function<int(const std::string&)> run;
  std::vector<int> renames, removals;
};

// Nesting goes where each job reads past it: the DataField's extension
// (syntax), the Variable (transform: an element the stylesheet refuses), the
// Header (merge: kept from the model or dropped). The rename and removal codes
// follow the documents' elements and attributes in order: the syntax job needs
// names, fields and functions, and reads a constant without data type as a
// number, which "x" is not; back-syntax answers 11 (no back-transformed target)
// wherever syntax answers 0. The stylesheet reads the entries below the root's
// first child whatever the two are named; only a label may go, a lost recode
// source or field names no known variable (3), a lost function is unknown (2).
// The merge checks the outline of the transformation only and copies fields as
// they are; the model needs its version.
// clang-format off
const Job kSyntax = {kSyntaxDoc, "PMML", 0, 5, 2, 0,
                     [](const std::string& t) { return syntax(t, false); },
                     {6, 11, 0, 0, 11, 6, 6, 6, 6, 6, 6, 6, 6},
                     {0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 7, 7, 0, 7, 0, 0, 7, 7, 8}};
const Job kBackSyntax = {kSyntaxDoc, "PMML", 11, 5, 2, 11,
                         [](const std::string& t) { return syntax(t, true); }, {}, {}};
const Job kTransform = {kDescription, "TransformationDescription", 0, 1, 2, 5, transform,
                        {0, 0, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5},
                        {5, 5, 5, 0, 5, 5, 5, 5, 3, 5, 5, 5, 5, 5, 5, 5, 5, 5, 2, 3, 5}};
const Job kMergeTrans = {kTransPmml, "PMML", 0, 6, 1, 0,
                         [](const std::string& t) { return merge(t, kModelPmml); },
                         {6, 6, 6, 0, 6, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}};
const Job kMergeModel = {kModelPmml, "PMML", 0, 7, 1, 0,
                         [](const std::string& t) { return merge(kTransPmml, t); },
                         {7, 7, 7, 0, 0, 7, 7, 0, 0, 0}, {7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
// clang-format on

class Hostile : public ::testing::TestWithParam<Job> {};

TEST_P(Hostile, SharedCases) {
  const Job& job = GetParam();
  ASSERT_EQ(job.run(job.doc), job.ok);
  for (const Case& c : sharedCases(job.doc, job.root, job.ok, job.bad, job.deepAt, job.deepOk)) {
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

TEST_P(Hostile, EachElementRenamedAndEachAttributeRemoved) {
  const Job& job = GetParam();
  const std::vector<Tag> all = tags(job.doc);
  if (job.renames.empty()) return;  // the document's other job covers it
  ASSERT_EQ(all.size(), job.renames.size());
  for (std::size_t i = 0; i < all.size(); ++i) {
    SCOPED_TRACE("renamed " + all[i].name + " #" + std::to_string(i));
    EXPECT_EQ(job.run(renamed(job.doc, i)), job.renames[i]);
  }
  const auto stripped = withoutEachAttribute(job.doc);
  ASSERT_EQ(stripped.size(), job.removals.size());
  for (std::size_t i = 0; i < stripped.size(); ++i) {
    SCOPED_TRACE("without " + stripped[i].first + " #" + std::to_string(i));
    EXPECT_EQ(job.run(stripped[i].second), job.removals[i]);
  }
}

INSTANTIATE_TEST_SUITE_P(HostileSyntax, Hostile, ::testing::Values(kSyntax, kBackSyntax));
INSTANTIATE_TEST_SUITE_P(HostileTransform, Hostile, ::testing::Values(kTransform));
INSTANTIATE_TEST_SUITE_P(HostileMerge, Hostile, ::testing::Values(kMergeTrans, kMergeModel));

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
  EXPECT_EQ(syntax(addAttribute(kSyntaxDoc, 0, "x=" + huge()), false), 0);
  EXPECT_EQ(syntax(addAttribute(kSyntaxDoc, 5, "label=" + huge()), false), 0);
  EXPECT_EQ(syntax(insertAfterStartTag(kSyntaxDoc, 1, repeated("<Extension/>", 1000000)), false),
            0);
  EXPECT_EQ(syntax(insertAfterStartTag(kSyntaxDoc, 1, repeated(kField, 100000)), false), 0);
}

TEST(HostileTransform, HugeInputs) {
  if (skipHuge()) GTEST_SKIP() << "too slow under memcheck";
  EXPECT_EQ(transform(addAttribute(kDescription, 2, "x=" + huge())), 0);
  EXPECT_EQ(transform(insertAfterStartTag(kDescription, 0, repeated("<Note/>", 1000000))), 0);
}

TEST(HostileMerge, HugeInputs) {
  if (skipHuge()) GTEST_SKIP() << "too slow under memcheck";
  EXPECT_EQ(merge(addAttribute(kTransPmml, 3, "displayName=" + huge()), kModelPmml), 0);
  EXPECT_EQ(
      merge(kTransPmml, insertAfterStartTag(kModelPmml, 1, repeated("<Extension/>", 1000000))), 0);
  EXPECT_EQ(merge(insertAfterStartTag(kTransPmml, 2, repeated(kField, 100000)), kModelPmml), 0);
}

}  // namespace
