// The pmmlxform tool run as a user runs it, as a separate process: each job's
// output, the files it writes and its exit codes.
#include <gtest/gtest.h>
#include <pmmlxform/version.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "tests/test_util.h"

namespace {

using testutil::readFile;

const std::string kSource = PMMLXFORM_SOURCE_DIR;
const std::string kExamples = kSource + "/share/pmmlxform/examples/";
const std::string kAdp = kExamples + "adp_example.xml";
const std::string kTransformation = kExamples + "credit-transformation.pmml";
const std::string kModel = kExamples + "credit-model.pmml";
const std::string kData = kSource + "/tests/data/transform/";
const std::string kFirst = kData + "accumulate/first.xml";
const std::string kSecond = kData + "accumulate/second.xml";

std::string quote(const std::string& s) { return "'" + s + "'"; }

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Runs the tool with `args` (shell words) after the environment settings `env`.
struct ToolRun {
  ToolRun(const testutil::TempDir& dir, const std::string& args, const std::string& env = "") {
    const std::string errFile = dir.path() + "/stderr.txt";
    code = testutil::runCommand(
        env + " " + quote(PMMLXFORM_TOOL) + " " + args + " 2>" + quote(errFile), out);
    err = readFile(errFile);
  }
  int code;
  std::string out, err;
};

TEST(Tool, JobsAndTheirExitCodes) {
  testutil::TempDir dir;
  const auto file = [&dir](const char* name, const std::string& text) {
    return quote(dir.write(name, text));
  };
  const std::string failing =
      file("failing.xml",
           "<PMML><DataDictionary/><TransformationDictionary>"
           "<DerivedField name='a'><FieldRef field='x'/></DerivedField>"
           "<DerivedField name='b'><FieldRef field='y'/></DerivedField>"
           "<DerivedField name='c'><Apply function='+'><FieldRef field='x'/></Apply></DerivedField>"
           "</TransformationDictionary></PMML>");
  const auto oneField = [](const std::string& name) {
    return "<PMML><DataDictionary/><TransformationDictionary><DerivedField name='" + name +
           "'><FieldRef field='x'/></DerivedField></TransformationDictionary></PMML>";
  };
  const std::string newline = file("newline.xml", oneField("a&#10;b"));
  const std::string latin = file("latin.xml", oneField("gr\xc3\xb6\xc3\x9f"
                                                       "e"));
  const std::string segmented =
      file("segmented.pmml",
           "<PMML version=\"4.3\"><Header/><DataDictionary/>"
           "<MiningModel><MiningSchema/><Segmentation/></MiningModel></PMML>");
  const std::string never = dir.path() + "/never.pmml";
  const std::string version441 = file(
      "version441.pmml",
      testutil::replaced(readFile(kModel), "<PMML version=\"4.3\"", "<PMML version=\"4.4.1\""));
  const std::string bayes =
      file("bayes.pmml", testutil::replaced(testutil::replaced(readFile(kModel), "<TreeModel ",
                                                               "<BayesianNetworkModel "),
                                            "</TreeModel>", "</BayesianNetworkModel>"));
  const std::string partial = "\nCOMPUTE a = x.\n\nCOMPUTE b = y.\n\n";
  const struct {
    const char* name;
    std::string args;
    int code;
    std::string out;  // within standard output; all of it when the job fails
    std::string err;  // within standard error
    std::string env = "";
  } cases[] = {
      {"syntax", "syntax < " + quote(kAdp), 0,
       readFile(kSource + "/tests/data/syntax/adp_example.sps"), ""},
      {"syntax with comments", "syntax --comments " + quote(kAdp), 0,
       "\n** Target - age_t , Inputs -  age.\nCOMPUTE age_t", ""},
      {"back-syntax", "back-syntax --target spend_pred --source spend_t_pred " + quote(kAdp), 0,
       readFile(kSource + "/tests/data/syntax/adp_example_back.sps"), ""},
      {"third field fails", "syntax " + failing, 9, partial,
       "pmmlxform: syntax: " + dir.path() +
           "/failing.xml: ADPTransformation.PMML.TransformationDictionary.DerivedField(c)."
           "Apply(+){Expression must have two arguments.} (code 9)\n"},
      {"invalid XML", "back-syntax --target t --source s " + file("broken.xml", "<PMML>"), 5, "",
       "pmmlxform: back-syntax: " + dir.path() +
           "/broken.xml: the input is not well-formed XML, or is refused as hostile"},
      {"empty input", "syntax < /dev/null", 2, "",
       "pmmlxform: syntax: standard input: the input is empty (code 2)\n"},
      // A name from the document cannot break the message line; the element
      // stands once in the path.
      {"error path on one line", "syntax " + newline, 7, "",
       "pmmlxform: syntax: " + dir.path() +
           "/newline.xml: ADPTransformation.PMML.TransformationDictionary."
           "DerivedField(a?b){Not a valid variable name.} (code 7)\n"},
      {"reserved word", "syntax " + file("all.xml", oneField("ALL")), 7, "",
       "DerivedField(ALL){Reserved word.} (code 7)\n"},
      {"name missing", "syntax " + file("noname.xml", oneField("")), 7, "",
       "/noname.xml: ADPTransformation.PMML.TransformationDictionary.DerivedField: the name "
       "attribute is missing or empty (code 7)\n"},
      {"field missing",
       "syntax " + file("nofield.xml",
                        "<PMML><DataDictionary/><TransformationDictionary><DerivedField name='a'>"
                        "<FieldRef/></DerivedField></TransformationDictionary></PMML>"),
       7, "", "DerivedField(a).FieldRef: the field attribute is missing or empty (code 7)\n"},
      {"normalisation without field",
       "syntax " + file("nonormfield.xml",
                        "<PMML><DataDictionary/><TransformationDictionary><DerivedField name='a'>"
                        "<NormContinuous outliers='asMissingValues'><LinearNorm orig='0' norm='0'/>"
                        "<LinearNorm orig='1' norm='1'/></NormContinuous></DerivedField>"
                        "</TransformationDictionary></PMML>"),
       7, "",
       "DerivedField(a).NormContinuous{field}: the field attribute is missing or empty (code 7)\n"},
      {"model given to the syntax job", "syntax " + kModel, 11, "",
       "pmmlxform: syntax: " + kModel +
           ": no TransformationDictionary found (ADPTransformation.PMML.TransformationDictionary): "
           "the syntax job reads data-preparation PMML"},
      {"directory as input", "syntax " + quote(dir.path()), 66, "",
       "cannot open '" + dir.path() + "': Is a directory (code 66)\n"},
      {"missing input", "syntax " + quote(dir.path() + "/none.xml"), 66, "",
       "pmmlxform: syntax: cannot open '" + dir.path() +
           "/none.xml': No such file or directory (code 66)\n"},
      // ASCII cannot hold the name: refused rather than written as "gr??e".
      {"name beyond the local code page", "syntax --local-codepage " + latin, 7, "",
       "DerivedField(gr??e){Not a valid variable name.}: with --local-codepage a \"?\" stands "
       "for a character that the locale's code page (ANSI_X3.4-1968) cannot hold",
       "LC_ALL=C"},
      // Usage errors: one prefixed line naming the job, and where its help is.
      {"unknown flag", "syntax --no-such-flag < /dev/null", 64, "",
       "pmmlxform: syntax: The following argument was not expected: --no-such-flag (see "
       "'pmmlxform help syntax') (code 64)\n"},
      {"missing option", "back-syntax --target t < /dev/null", 64, "",
       "pmmlxform: back-syntax: --source is required"},
      {"no job", "", 64, "", "pmmlxform: no job named; the jobs are transform, check"},
      {"unknown job", "sytnax " + quote(kAdp), 64, "",
       "pmmlxform: unknown job 'sytnax'; did you mean 'syntax'?"},
      {"help of an unknown job", "help tranform", 64, "",
       "pmmlxform: unknown job 'tranform'; did you mean 'transform'?"},
      {"no job near", "frobnicate", 64, "", "pmmlxform: unknown job 'frobnicate' (see"},
      {"help JOB", "help back-syntax", 0, "Usage: pmmlxform back-syntax [OPTIONS] [INPUT]", ""},
      {"help", "help", 0, "'pmmlxform help JOB'", ""},
      {"version after a job", "merge --version", 0,
       std::string("pmmlxform ") + PMMLXFORM_VERSION_STRING + "\n", ""},
      {"back-syntax with two empty names", "back-syntax --target '' --source '' " + quote(kAdp), 64,
       "", "pmmlxform: back-syntax: --target and --source cannot both be empty (code 64)\n"},

      {"transform accumulates", "transform " + kFirst + " " + kSecond, 0,
       "<DerivedField dataType=\"double\" name=\"high_income\"", ""},
      {"transform --replace converts each alone", "transform --replace " + kFirst + " " + kSecond,
       3, "",
       "pmmlxform: transform: " + kSecond +
           ": entry 3, Compute into \"high_income\": the field \"income_band\" is neither "
           "declared nor defined by an earlier entry (code 3)\n"},
      {"entry that cannot be converted", "transform " + kData + "bad_convert_width.xml", 5, "",
       "pmmlxform: transform: " + kData +
           "bad_convert_width.xml: entry 3, Recode into \"t\": a string target needs a width of "
           "at least 1 (code 5)\n"},
      {"stylesheet missing", "transform " + kFirst, 9, "",
       "pmmlxform: transform: the stylesheet was not found or cannot be read: '" + dir.path() +
           "/none/transformation.xsl' (PMMLXFORM_APP_DIR names the directory that holds "
           "transformation.xsl); " +
           kFirst + " was not converted (code 9)\n",
       "PMMLXFORM_APP_DIR=" + quote(dir.path() + "/none/")},
      {"unwritable output", "transform " + kFirst + " -o " + dir.path() + "/no/such/dir/out.xml",
       73, "", ""},
      {"full standard output", "transform " + kFirst + " > /dev/full", 73, "",
       "pmmlxform: transform: cannot write to standard output ('/dev/full'): No space left on "
       "device (code 73)\n"},
      {"check on a full standard output", "check " + kData + "compute.xml > /dev/full", 73, "",
       "standard output ('/dev/full')"},
      {"check valid", "check " + kData + "compute.xml", 0, kData + "compute.xml: valid\n", ""},
      {"transform reads standard input", "transform < " + kFirst, 0, "name=\"income_band\"", ""},
      {"check reads standard input", "check < " + kData + "compute.xml", 0, ": valid\n", ""},
      // Each file is reported; the exit status is the first failure's code.
      {"check several files",
       "check " + kData + "compute.xml " + kData + "bad_revars_source.xml " +
           quote(dir.path() + "/none.xml") + " " + kData + "compute.xml",
       3, kData + "compute.xml: valid\n" + kData + "compute.xml: valid\n", "(code 66)\n"},
      {"check standard input twice", "check - - < /dev/null", 64, "", "(code 64)\n"},
      {"transform standard input twice", "transform " + kFirst + " - - < /dev/null", 64, "",
       "(code 64)\n"},
      {"check invalid", "check " + kData + "bad_revars_source.xml", 3, "",
       "pmmlxform: check: " + kData +
           "bad_revars_source.xml: entry 3, Recode into \"y\": the source \"z\" is neither "
           "declared nor defined by an earlier entry (code 3)"},
      {"check malformed", "check - < " + file("malformed.xml", "<Transformations"), 1, "",
       "not a well-formed transformation description (code 1)"},
      {"check another document", "check - < " + file("other.xml", "<Foo><Bar/></Foo>"), 1, "",
       "pmmlxform: check: standard input: not a transformation description: the document element "
       "must be TransformationDescription, holding Transformations. (code 1)\n"},

      {"merge a model as transformation", "merge " + kModel + " " + kModel + " -o " + never, 6, "",
       "pmmlxform: merge: " + kModel +
           ": the transformation document is not transformation PMML: no "
           "TransformationDictionary where it belongs (after DataDictionary): found TreeModel "
           "(code 6)\n"},
      {"merge into a transformation",
       "merge " + kTransformation + " " + kTransformation + " -o " + never, 7, "",
       "pmmlxform: merge: " + kTransformation +
           ": the model document is not model PMML that can be merged: no model element follows "
           "the dictionaries (code 7)\n"},
      {"merge with the arguments swapped", "merge " + kModel + " " + kTransformation, 6, "",
       "found TreeModel; the two look swapped: give the transformation PMML first, then the "
       "model PMML (code 6)\n"},
      {"merge a version of three numbers", "merge " + kTransformation + " " + version441, 7, "",
       ": the model document is not model PMML that can be merged: version \"4.4.1\" is not "
       "accepted: 3.2, or 4.0 and later given as two numbers (such as \"4.4\") (code 7)\n"},
      {"merge a model kind that is not merged", "merge " + kTransformation + " " + bayes, 7, "",
       ": BayesianNetworkModel is not a model kind that can be merged (merged kinds: "},
      {"merge into a segmented model",
       "merge " + kTransformation + " " + segmented + " -o " + never, 8, "",
       "segmented MiningModel, which cannot be merged (code 8)"},
      {"merge two standard inputs", "merge - -", 64, "", "only one input can be standard input"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ToolRun r(dir, c.args, c.env);
    EXPECT_EQ(r.code, c.code) << r.err;
    if (c.code == 0) {
      EXPECT_TRUE(contains(r.out, c.out)) << r.out;
    } else {
      EXPECT_EQ(r.out, c.out);
    }
    EXPECT_TRUE(contains(r.err, c.err)) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(never)) << "no output on refusal";
  EXPECT_FALSE(contains(ToolRun(dir, "syntax --skip-roles " + quote(kAdp)).out, "VARIABLE ROLE"));
  // With -o the partial output goes to standard output, not to the file.
  const ToolRun withOut(dir, "syntax " + failing + " -o " + quote(dir.path() + "/p.sps"));
  EXPECT_EQ(withOut.code, 9);
  EXPECT_EQ(withOut.out, partial);
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/p.sps"));
}

// Files the user already has: a failing or refused run leaves them byte for
// byte, a successful one replaces them, and no temporary file stays behind.
TEST(Tool, OutputFilesAreReplacedOnlyBySuccess) {
  testutil::TempDir dir;
  const std::string out = dir.write("prev.out", "previous output\n");
  const std::string report = dir.write("prev.json", "previous report\n");
  const std::string broken = quote(dir.write("broken.xml", "<PMML>"));
  const std::string o = " -o " + quote(out);
  const std::string merge = "merge " + kTransformation + " " + kModel;
  const struct {
    const char* name;
    std::string args;
    int code;
    std::string err;  // within standard error
  } cases[] = {
      {"syntax fails", "syntax " + broken + o + " --none-fields " + quote(report), 5, ""},
      {"back-syntax fails", "back-syntax --target t --source s " + broken + o, 5, ""},
      {"transform fails",
       "transform " + kData + "bad_convert_width.xml" + o + " --report " + quote(report), 5, ""},
      {"merge refused", "merge " + kModel + " " + kModel + o + " --report " + quote(report), 6, ""},
      {"one file for document and report", merge + o + " --report " + quote(out), 64,
       "--report and -o name the same file"},
      {"one file through another path",
       "transform " + kFirst + o + " --report " + quote(dir.path() + "/./prev.out"), 64,
       "--report and -o name the same file"},
      {"report and document on standard output", merge + " --report -", 64,
       "--report - and the document cannot both go to standard output"},
      {"none-fields and syntax in one file",
       "syntax " + quote(kAdp) + o + " --none-fields " + quote(out), 64, "name the same file"},
  };
  const auto entries = [&dir] {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  };
  dir.write("stderr.txt", "");  // each run's standard error
  const std::vector<std::string> before = entries();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ToolRun r(dir, c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_TRUE(contains(r.err, c.err)) << r.err;
    EXPECT_EQ(readFile(out), "previous output\n");
    EXPECT_EQ(readFile(report), "previous report\n");
    EXPECT_EQ(entries(), before) << "no file is added or left behind";
  }
  const ToolRun ok(dir, "syntax " + quote(kAdp) + o + " --none-fields " + quote(report));
  EXPECT_EQ(ok.code, 0) << ok.err;
  EXPECT_EQ(readFile(out), readFile(kSource + "/tests/data/syntax/adp_example.sps"));
  EXPECT_EQ(readFile(report), "customer_id\nnotes\n");
  EXPECT_EQ(entries(), before);
  // A device is written, not replaced.
  EXPECT_EQ(ToolRun(dir, "syntax " + quote(kAdp) + " -o /dev/null").code, 0);
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

// The same document with whitespace between elements left out: elements with
// their attributes sorted, and each text that is not whitespace alone.
std::string canonical(const xercesc::DOMNode* node) {
  std::string out;
  const auto text = [](const XMLCh* s) {
    char* t = xercesc::XMLString::transcode(s);
    std::string r = t;
    xercesc::XMLString::release(&t);
    return r;
  };
  if (node->getNodeType() == xercesc::DOMNode::TEXT_NODE) {
    const std::string t = text(node->getNodeValue());
    return t.find_first_not_of(" \t\r\n") == std::string::npos ? "" : "\"" + t + "\"";
  }
  if (node->getNodeType() == xercesc::DOMNode::ELEMENT_NODE) {
    std::vector<std::string> attrs;
    const xercesc::DOMNamedNodeMap* map = node->getAttributes();
    for (XMLSize_t i = 0; i < map->getLength(); ++i) {
      attrs.push_back(text(map->item(i)->getNodeName()) + "=" + text(map->item(i)->getNodeValue()));
    }
    std::sort(attrs.begin(), attrs.end());
    out = "<" + text(node->getNodeName());
    for (const std::string& a : attrs) out += " " + a;
    out += ">";
  }
  for (const xercesc::DOMNode* c = node->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
    out += canonical(c);
  }
  return out;
}

std::string canonicalDocument(const std::string& xml) {
  xercesc::XMLPlatformUtils::Initialize();
  std::string out;
  {
    xercesc::XercesDOMParser parser;
    parser.setDoNamespaces(true);
    const xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(xml.data()),
                                            xml.size(), "document");
    parser.parse(source);
    if (parser.getErrorCount() == 0 && parser.getDocument() != nullptr) {
      out = canonical(parser.getDocument());
    }
  }
  xercesc::XMLPlatformUtils::Terminate();
  return out;
}

// --indent writes the document that the plain output holds, one element a line.
TEST(Tool, IndentedPmmlIsTheSameDocument) {
  testutil::TempDir dir;
  for (const std::string& args : {"transform " + kFirst + " " + kSecond,
                                  "transform " + kExamples + "survey_description.xml"}) {
    SCOPED_TRACE(args);
    const ToolRun plain(dir, args), indented(dir, args + " --indent");
    ASSERT_EQ(plain.code, 0) << plain.err;
    ASSERT_EQ(indented.code, 0) << indented.err;
    EXPECT_EQ(std::count(plain.out.begin(), plain.out.end(), '\n'), 1) << "one line by default";
    EXPECT_GT(std::count(indented.out.begin(), indented.out.end(), '\n'), 10);
    EXPECT_TRUE(contains(indented.out, "\n    <DerivedField ")) << indented.out;
    const std::string document = canonicalDocument(plain.out);
    EXPECT_FALSE(document.empty());
    EXPECT_EQ(canonicalDocument(indented.out), document);
  }
}

// The transform and merge reports have one shape: the same keys in the same
// order, "variables" repeating "derivedFields", and each field with the same
// keys.
TEST(Tool, TransformAndMergeReportsShareOneShape) {
  testutil::TempDir dir;
  const std::string transformReport = dir.path() + "/t.json", mergeReport = dir.path() + "/m.json";
  ASSERT_EQ(ToolRun(dir, "transform " + kFirst + " " + kSecond + " -o /dev/null --report " +
                             transformReport)
                .code,
            0);
  ASSERT_EQ(ToolRun(dir, "merge " + kTransformation + " " + kModel + " -o /dev/null --report " +
                             mergeReport)
                .code,
            0);
  const auto keys = [](const nlohmann::ordered_json& object) {
    std::vector<std::string> out;
    for (const auto& item : object.items()) out.push_back(item.key());
    return out;
  };
  const nlohmann::ordered_json t = nlohmann::ordered_json::parse(readFile(transformReport));
  const nlohmann::ordered_json m = nlohmann::ordered_json::parse(readFile(mergeReport));
  const std::vector<std::string> shape{"code",          "message",      "dataFields",
                                       "derivedFields", "miningFields", "variables"};
  EXPECT_EQ(keys(t), shape);
  EXPECT_EQ(keys(m), shape);
  for (const auto* report : {&t, &m}) {
    EXPECT_EQ(report->at("code"), 0);
    EXPECT_EQ(report->at("variables"), report->at("derivedFields"));
    for (const char* list : {"dataFields", "derivedFields"}) {
      for (const auto& field : report->at(list)) {
        EXPECT_EQ(keys(field),
                  (std::vector<std::string>{"name", "displayName", "dataType", "optype"}));
      }
    }
  }
  // The transform's data fields are its DataDictionary's; it has no model.
  ASSERT_EQ(t.at("dataFields").size(), 2u);
  EXPECT_EQ(t.at("dataFields")[0].at("name"), "income");
  EXPECT_EQ(t.at("dataFields")[1].at("name"), "age");
  EXPECT_EQ(t.at("dataFields")[1].at("optype"), "continuous");
  EXPECT_TRUE(t.at("miningFields").empty());
  EXPECT_FALSE(m.at("miningFields").empty());
}

// The merged document itself is the library's (merge tests); here the job's
// outputs: a conflict is a warning, and the document and the report are
// written all the same; standard output by default.
TEST(Tool, MergeWritesTheDocumentAndTheReportAlsoOnAConflict) {
  testutil::TempDir dir;
  const std::string out = dir.path() + "/merged.pmml", report = dir.path() + "/report.json";
  // The model predicts "income", a raw input behind income_band.
  const std::string model = dir.write(
      "model.pmml",
      testutil::replaced(testutil::replaced(readFile(kModel), "name=\"risk\"", "name=\"income\""),
                         "field=\"risk\"", "name=\"income\""));
  const ToolRun r(dir,
                  "merge " + kTransformation + " " + model + " -o " + out + " --report " + report);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "pmmlxform: merge: warning: field conflict on 'income': a raw input of a derived "
            "model input is the model's target; the document was written (code 4)\n");
  EXPECT_TRUE(contains(readFile(out), "DerivedFields"));
  const std::string json = readFile(report);
  for (const char* part : {"\"code\": 4", "\"message\": \"income\"",
                           "\"displayName\": \"Debt to income\"", "\"usageType\": \"predicted\""}) {
    EXPECT_TRUE(contains(json, part)) << part << "\n" << json;
  }
  EXPECT_EQ(ToolRun(dir, "merge " + kTransformation + " - < " + model).out, readFile(out));
}

}  // namespace
