// ConvertTransToPMML::transform end to end through the shipped stylesheet and
// the real interval resolution. Produced documents are validated against the
// PMML 4.3 schema with xmllint (those checks skip when it is missing).
#include <gtest/gtest.h>
#include <pmmlxform/convert_trans_to_pmml.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "tests/test_util.h"

namespace {

namespace fs = std::filesystem;
using testutil::readFile;
using Names = std::vector<std::string>;

const std::string kSource = PMMLXFORM_SOURCE_DIR;
const std::string kShare = kSource + "/share/pmmlxform/";
const std::string kData = kSource + "/tests/data/transform/";
const std::string kChecks = kSource + "/tests/stylesheet/";

std::string shellQuote(const std::string& text) {
  return "'" + testutil::replaced(text, "'", "'\\''") + "'";
}

bool haveXmllint() {
  static const bool found = std::system("command -v xmllint >/dev/null 2>&1") == 0;
  return found;
}

// What is wrong with `pmml`: xmllint's complaints against the PMML 4.3 schema,
// then the XPath 1.0 `checks` that do not hold (with its default namespace
// dropped so that the paths can name elements plainly). Empty when all is well
// or xmllint is missing.
std::string problems(const std::string& pmml, const Names& checks = {}) {
  if (!haveXmllint()) return "";
  testutil::TempDir dir;
  std::string output, failed;
  if (testutil::runCommand("xmllint --noout --schema " +
                               shellQuote(kSource + "/tests/data/pmml-xsd/pmml-4-3.xsd") + " " +
                               shellQuote(dir.write("out.xml", pmml)) + " 2>&1",
                           output) != 0) {
    failed = output + "\n" + pmml;
  }
  const std::string file = dir.write(
      "plain.xml", testutil::replaced(pmml, " xmlns=\"http://www.dmg.org/PMML-4_3\"", ""));
  for (const std::string& check : checks) {
    testutil::runCommand("xmllint --xpath " + shellQuote("boolean(" + check + ")") + " " +
                             shellQuote(file) + " 2>&1",
                         output);
    if (output.rfind("true", 0) != 0) failed += "fails: " + check + "\n";
  }
  return failed;
}

// The texts after "label: " on the lines of `text`, up to the line's end or an
// XML comment's close.
Names taggedLines(const std::string& text, const std::string& label) {
  Names found;
  std::istringstream lines(text);
  const std::string tag = label + ": ";
  for (std::string line; std::getline(lines, line);) {
    const std::size_t at = line.find(tag);
    if (at == std::string::npos || line.find_first_not_of(" <!-") < at) continue;
    std::string rest = line.substr(at + tag.size());
    if (rest.find(" -->") != std::string::npos) rest.erase(rest.find(" -->"));
    found.push_back(rest);
  }
  return found;
}

// The non-comment lines of a checks file beside the stylesheet test, if any.
Names checksFile(const std::string& path) {
  Names checks;
  std::istringstream lines(readFile(path));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line[0] != '#') checks.push_back(line);
  }
  return checks;
}

Names names(const std::vector<TmsEndInfo>& vars) {
  Names result;
  for (const TmsEndInfo& info : vars) result.push_back(info.name);
  return result;
}

std::size_t countOf(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// A description of one compute "target = source + 1" over a declared "x".
std::string computeInto(const std::string& target, const std::string& source = "x") {
  return "<TransformationDescription><Transformations><Variable name=\"x\" type=\"numeric\" "
         "level=\"scale\"/><Compute target=\"" +
         target + "\" type=\"numeric\" level=\"scale\"><Apply function=\"+\"><Field name=\"" +
         source + "\"/><Number value=\"1\"/></Apply></Compute></Transformations>" +
         "</TransformationDescription>";
}

class TransformPmml : public ::testing::Test {
 protected:
  testutil::ScopedEnv appDir_{"PMMLXFORM_APP_DIR", kShare.c_str()};
  ConvertTransToPMML convert_;
  std::string output_, message_;
  std::vector<TmsEndInfo> vars_;
  int run(const std::string& text) {
    vars_.clear();
    return convert_.transform(text, output_, message_, vars_);
  }
};

// Every description shipped or under tests/data/transform. A good one becomes
// schema-valid PMML that holds its "check:" and "resolved:" assertions, with
// one record per recode and compute; a bad one stops with the code of its
// "expect:" message's prefix, and that message unless the prefix says the entry
// cannot be converted.
TEST_F(TransformPmml, DescriptionsConvertOrStopWithTheirMessage) {
  const std::map<std::string, int> codes = {
      {"CVT_FuncErr:", 2}, {"CVT_ReVarsErr:", 3}, {"CVT_ConvertErr:", 5}};
  std::set<int> seen;
  int good = 0;
  for (const auto& dir : {kShare + "examples", kData}) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      // The examples directory also holds the other jobs' PMML.
      const std::string file = entry.path().string();
      if (entry.path().extension() != ".xml" ||
          (dir != kData && file.find("_description") == std::string::npos)) {
        continue;
      }
      SCOPED_TRACE(file);
      const std::string text = readFile(file);
      const Names expect = taggedLines(text, "expect");
      ConvertTransToPMML convert;
      std::string output, message;
      std::vector<TmsEndInfo> vars;
      const int code = convert.transform(text, output, message, vars);
      if (!expect.empty()) {
        const std::string prefix = expect[0].substr(0, expect[0].find(':') + 1);
        ASSERT_EQ(codes.count(prefix), 1u) << expect[0];
        seen.insert(codes.at(prefix));
        EXPECT_EQ(code, codes.at(prefix));
        EXPECT_EQ(message, code == 5 ? "" : expect[0].substr(prefix.size()));
        EXPECT_EQ(convert.lastStylesheetMessage(), expect[0].substr(prefix.size()));
        EXPECT_EQ(output, "");
        EXPECT_TRUE(vars.empty());
        continue;
      }
      ASSERT_EQ(code, 0) << message;
      EXPECT_EQ(message, "");
      EXPECT_EQ(convert.lastStylesheetMessage(), "");
      ++good;
      EXPECT_EQ(vars.size(), countOf(text, "<Recode ") + countOf(text, "<Compute "));
      Names checks = taggedLines(text, "check");
      for (const std::string& line : taggedLines(text, "resolved")) checks.push_back(line);
      for (const std::string& line :
           checksFile(kChecks + entry.path().stem().string() + ".checks")) {
        checks.push_back(line);
      }
      EXPECT_EQ(problems(output, checks), "");
    }
  }
  EXPECT_EQ(seen.size(), 3u);
  EXPECT_GE(good, 6);
  if (!haveXmllint()) GTEST_SKIP() << "xmllint is not installed: schema and XPath checks skipped";
}

// Replacing instead is the tool's --replace (tool tests).
TEST_F(TransformPmml, AccumulatesSuccessiveDescriptions) {
  // second.xml alone names a variable only first.xml defines.
  ASSERT_EQ(run(readFile(kData + "accumulate/first.xml")), 0);
  ASSERT_EQ(run(readFile(kData + "accumulate/second.xml")), 0) << message_;
  EXPECT_EQ(names(vars_), (Names{"income_band", "high_income"}));
  const std::string accumulated = output_;
  // The empty text converts the held description again.
  ASSERT_EQ(run(""), 0);
  EXPECT_EQ(output_, accumulated);
  EXPECT_EQ(problems(output_, checksFile(kChecks + "accumulated.checks")), "");
}

TEST_F(TransformPmml, AHeldDescriptionWithoutEntryListCannotTakeMore) {
  ASSERT_EQ(run("<TransformationDescription/>"), 0);
  EXPECT_EQ(run(computeInto("y")), 1);
  EXPECT_EQ(message_, "ConvertTransToPMMLException: can't merge input trans file.");
  convert_.setNeedMerging(false);  // replacing gets past it
  EXPECT_EQ(run(computeInto("y")), 0);
}

// A document whose root is not a description's is refused with 1, never
// converted to an empty PMML or accumulated as if it added nothing; the
// description held before stays as it was.
TEST_F(TransformPmml, ADocumentThatIsNotADescriptionIsRefused) {
  const std::string expected =
      "ConvertTransToPMMLException: not a transformation description: the document element must "
      "be TransformationDescription, holding Transformations.";
  const Names others = {
      "<Foo><Bar/></Foo>", "<PMML><Header/><DataDictionary/></PMML>",
      "<Transformations>" + computeInto("y") + "</Transformations>",
      "<transformationdescription><Transformations/></transformationdescription>"};
  for (const bool merging : {true, false}) {
    for (const std::string& other : others) {
      SCOPED_TRACE(other);
      ConvertTransToPMML convert;
      convert.setNeedMerging(merging);
      std::string output, message;
      std::vector<TmsEndInfo> vars;
      int errorNo = 0;
      EXPECT_FALSE(convert.isValidTransXML(other, errorNo, message));
      EXPECT_EQ(errorNo, 1);
      EXPECT_EQ(message, expected);
      ASSERT_EQ(convert.transform(computeInto("a"), output, message, vars), 0);
      const std::string held = output;
      output.clear();
      message.clear();
      EXPECT_EQ(convert.transform(other, output, message, vars), 1);
      EXPECT_EQ(message, expected);
      EXPECT_EQ(output, "");
      message.clear();
      ASSERT_EQ(convert.transform("", output, message, vars), 0) << message;
      EXPECT_EQ(output, held);
    }
  }
}

// A failed conversion drops only the description that failed, not the ones
// accumulated before it.
TEST_F(TransformPmml, AFailedConversionKeepsTheDescriptionsBeforeIt) {
  ASSERT_EQ(run(computeInto("a")), 0);
  ASSERT_EQ(run(computeInto("b", "a")), 0);
  output_.clear();
  EXPECT_EQ(run(computeInto("A")), 3);  // redefines "a": no document comes out
  EXPECT_EQ(message_,
            "entry 6, Compute into \"A\": the target redefines the variable \"a\" defined by "
            "entry 2");
  EXPECT_EQ(output_, "");
  message_.clear();
  ASSERT_EQ(run(computeInto("c", "b")), 0) << message_;
  EXPECT_EQ(names(vars_), (Names{"a", "b", "c"}));
  EXPECT_EQ(problems(output_), "");
}

TEST_F(TransformPmml, MissingOrBrokenStylesheetGives9AndKeepsTheAccumulatedDescription) {
  testutil::TempDir dir;
  testutil::ScopedEnv appDir("PMMLXFORM_APP_DIR", (dir.path() + "/").c_str());
  ConvertTransToPMML convert;
  EXPECT_EQ(convert.transform(readFile(kData + "accumulate/first.xml"), output_, message_, vars_),
            9);
  EXPECT_EQ(message_, "ConvertTransToPMMLException: can't open xslt file." + dir.path() +
                          "/transformation.xsl");
  EXPECT_EQ(output_, "");
  // A stylesheet the engine cannot read is a failed conversion, not a crash; the
  // empty text converts the held description again.
  dir.write("transformation.xsl", "<not-a-stylesheet");
  EXPECT_EQ(convert.transform("", output_, message_, vars_), 9);
  EXPECT_EQ(output_, "");
  EXPECT_NE(message_.find("ConvertTransToPMMLException: Output Trans xml empty!"),
            std::string::npos)
      << message_;
  dir.write("transformation.xsl", readFile(kShare + "transformation.xsl"));
  ASSERT_EQ(convert.transform(readFile(kData + "accumulate/second.xml"), output_, message_, vars_),
            0)
      << message_;
  EXPECT_EQ(names(vars_), (Names{"income_band", "high_income"}));
}

// The XSLT engine crashed on a document without root element; and a pointer
// the caller left set must be neither stamped nor replaced.
TEST_F(TransformPmml, DocumentFormWithoutDescriptionFailsCleanly) {
  xercesc::DOMDocument* output = nullptr;
  EXPECT_EQ(convert_.transform(nullptr, output, message_, vars_), 9);  // nothing held
  EXPECT_EQ(output, nullptr);
  xercesc::DOMDocument* empty =
      xercesc::DOMImplementationRegistry::getDOMImplementation(u"Core")->createDocument();
  message_.clear();
  xercesc::DOMDocument* callers = empty;
  EXPECT_EQ(convert_.transform(empty, callers, message_, vars_), 9);
  EXPECT_EQ(callers, empty);
  EXPECT_EQ(empty->getDocumentElement(), nullptr);
  EXPECT_EQ(message_,
            "ConvertByXSLTException:the source document is emptyConvertTransToPMMLException: "
            "Output Trans xml empty!");
  empty->release();
  message_.clear();
  EXPECT_EQ(run(computeInto("y")), 0) << message_;  // still converts afterwards
}

}  // namespace
