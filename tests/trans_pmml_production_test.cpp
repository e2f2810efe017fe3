// ConvertTransToPMML::transform end to end through the shipped stylesheet and
// the real interval resolution. Every produced document is validated against
// the PMML 4.3 schema with xmllint (those checks skip when it is missing).
#include <gtest/gtest.h>
#include <pmmlxform/convert_trans_to_pmml.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "host/vendor.h"
#include "tests/test_util.h"
#include "trans/xml_parser.h"

namespace {

namespace fs = std::filesystem;

const std::string kShare = std::string(PMMLXFORM_SOURCE_DIR) + "/share/pmmlxform/";
const std::string kData = std::string(PMMLXFORM_SOURCE_DIR) + "/tests/data/transform/";
const std::string kChecks = std::string(PMMLXFORM_SOURCE_DIR) + "/tests/stylesheet/";
const std::string kPmmlSchema =
    std::string(PMMLXFORM_SOURCE_DIR) + "/tests/data/pmml-xsd/pmml-4-3.xsd";

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string shellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool haveXmllint() {
  static const bool found = std::system("command -v xmllint >/dev/null 2>&1") == 0;
  return found;
}

// xmllint's complaints about `pmml` against the PMML 4.3 schema; empty when
// the document is valid.
std::string schemaErrors(const std::string& pmml) {
  testutil::TempDir dir;
  const std::string file = dir.write("out.xml", pmml);
  std::string output;
  const int status = testutil::runCommand(
      "xmllint --noout --schema " + shellQuote(kPmmlSchema) + " " + shellQuote(file) + " 2>&1",
      output);
  return status == 0 ? std::string() : output + "\n" + pmml;
}

// The XPath 1.0 assertions that do not hold on `pmml` (its default namespace
// dropped so that the paths can name elements plainly).
std::vector<std::string> failedChecks(std::string pmml, const std::vector<std::string>& checks) {
  const std::string ns = " xmlns=\"http://www.dmg.org/PMML-4_3\"";
  const std::size_t at = pmml.find(ns);
  if (at != std::string::npos) pmml.erase(at, ns.size());
  testutil::TempDir dir;
  const std::string file = dir.write("out.xml", pmml);
  std::vector<std::string> failed;
  for (const std::string& check : checks) {
    std::string result;
    testutil::runCommand("xmllint --xpath " + shellQuote("boolean(" + check + ")") + " " +
                             shellQuote(file) + " 2>&1",
                         result);
    if (result.rfind("true", 0) != 0) failed.push_back(check);
  }
  return failed;
}

// The texts after "label: " on the lines of `text`, up to the line's end or
// an XML comment's close.
std::vector<std::string> taggedLines(const std::string& text, const std::string& label) {
  std::vector<std::string> found;
  std::istringstream lines(text);
  std::string line;
  const std::string tag = label + ": ";
  while (std::getline(lines, line)) {
    const std::size_t at = line.find(tag);
    if (at == std::string::npos || line.find_first_not_of(" <!-") < at) continue;
    std::string rest = line.substr(at + tag.size());
    const std::size_t close = rest.find(" -->");
    if (close != std::string::npos) rest.erase(close);
    found.push_back(rest);
  }
  return found;
}

std::vector<std::string> names(const std::vector<TmsEndInfo>& vars) {
  std::vector<std::string> result;
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
  return "<TransformationDescription><Transformations>"
         "<Variable name=\"x\" type=\"numeric\" level=\"scale\"/>"
         "<Compute target=\"" +
         target + "\" type=\"numeric\" level=\"scale\"><Apply function=\"+\"><Field name=\"" +
         source +
         "\"/><Number "
         "value=\"1\"/></Apply></Compute></Transformations></TransformationDescription>";
}

// Every test runs the source tree's stylesheet unless it says otherwise.
class TransformPmml : public ::testing::Test {
 protected:
  testutil::ScopedEnv appDir_{"PMMLXFORM_APP_DIR", kShare.c_str()};
};

TEST_F(TransformPmml, GoodDescriptionsBecomeValidPmmlThatHoldsTheirChecks) {
  std::vector<std::string> files;
  for (const auto& dir : {kShare + "examples", kData}) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      const std::string name = entry.path().filename().string();
      // The examples directory also holds the other jobs' PMML.
      const bool description = dir == kData || name.find("_description") != std::string::npos;
      if (description && entry.path().extension() == ".xml" && name.rfind("bad_", 0) != 0) {
        files.push_back(entry.path().string());
      }
    }
  }
  ASSERT_GE(files.size(), 6u);
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const std::string text = readFile(file);
    ConvertTransToPMML convert;
    std::string output, message;
    std::vector<TmsEndInfo> vars;
    ASSERT_EQ(convert.transform(text, output, message, vars), 0) << message;
    EXPECT_EQ(message, "");
    // One record per recode and compute, in the description's order.
    EXPECT_EQ(vars.size(), countOf(text, "<Recode ") + countOf(text, "<Compute "));
    if (!haveXmllint()) continue;
    EXPECT_EQ(schemaErrors(output), "");
    std::vector<std::string> checks = taggedLines(text, "check");
    for (const std::string& line : taggedLines(text, "resolved")) checks.push_back(line);
    const std::string extra = kChecks + fs::path(file).stem().string() + ".checks";
    if (fs::exists(extra)) {
      std::istringstream lines(readFile(extra));
      std::string line;
      while (std::getline(lines, line)) {
        if (!line.empty() && line[0] != '#') checks.push_back(line);
      }
    }
    EXPECT_EQ(failedChecks(output, checks), std::vector<std::string>());
  }
  if (!haveXmllint()) GTEST_SKIP() << "xmllint is not installed: schema and XPath checks skipped";
}

TEST_F(TransformPmml, BadDescriptionsStopWithTheirMessage) {
  struct Prefix {
    const char* text;
    int code;
    bool keepsMessage;
  };
  const Prefix prefixes[] = {
      {"CVT_FuncErr:", 2, true}, {"CVT_ReVarsErr:", 3, true}, {"CVT_ConvertErr:", 5, false}};
  int seen[3] = {0, 0, 0};
  for (const auto& entry : fs::directory_iterator(kData)) {
    if (entry.path().filename().string().rfind("bad_", 0) != 0) continue;
    SCOPED_TRACE(entry.path().string());
    const std::string text = readFile(entry.path().string());
    const std::vector<std::string> expect = taggedLines(text, "expect");
    ASSERT_EQ(expect.size(), 1u);
    ConvertTransToPMML convert;
    std::string output, message;
    std::vector<TmsEndInfo> vars;
    const int code = convert.transform(text, output, message, vars);
    bool matched = false;
    for (int i = 0; i < 3; ++i) {
      const std::string prefix = prefixes[i].text;
      if (expect[0].rfind(prefix, 0) != 0) continue;
      matched = true;
      ++seen[i];
      EXPECT_EQ(code, prefixes[i].code);
      EXPECT_EQ(message, prefixes[i].keepsMessage ? expect[0].substr(prefix.size()) : "");
    }
    EXPECT_TRUE(matched) << expect[0];
    EXPECT_EQ(output, "");
    EXPECT_TRUE(vars.empty());
  }
  for (int count : seen) EXPECT_GT(count, 0);
}

TEST_F(TransformPmml, AccumulatesSuccessiveDescriptionsWhileMerging) {
  ConvertTransToPMML convert;
  std::string output, message;
  std::vector<TmsEndInfo> vars;
  ASSERT_EQ(convert.transform(readFile(kData + "accumulate/first.xml"), output, message, vars), 0);
  vars.clear();
  // second.xml alone names a variable only first.xml defines.
  ASSERT_EQ(convert.transform(readFile(kData + "accumulate/second.xml"), output, message, vars), 0)
      << message;
  EXPECT_EQ(names(vars), (std::vector<std::string>{"income_band", "high_income"}));
  // The empty text converts the held description again.
  std::string again;
  vars.clear();
  ASSERT_EQ(convert.transform("", again, message, vars), 0);
  EXPECT_EQ(again, output);
  if (!haveXmllint()) GTEST_SKIP() << "xmllint is not installed";
  EXPECT_EQ(schemaErrors(output), "");
  std::vector<std::string> checks;
  std::istringstream lines(readFile(kChecks + "accumulated.checks"));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line[0] != '#') checks.push_back(line);
  }
  EXPECT_EQ(failedChecks(output, checks), std::vector<std::string>());
}

TEST_F(TransformPmml, ReplacesTheHeldDescriptionWhenNotMerging) {
  ConvertTransToPMML convert;
  convert.setNeedMerging(false);
  std::string output, message;
  std::vector<TmsEndInfo> vars;
  ASSERT_EQ(convert.transform(readFile(kData + "accumulate/first.xml"), output, message, vars), 0);
  EXPECT_EQ(convert.transform(readFile(kData + "accumulate/second.xml"), output, message, vars), 3);
  EXPECT_EQ(message,
            "entry 3, Compute into \"high_income\": the field \"income_band\" is neither "
            "declared nor defined by an earlier entry");
  vars.clear();
  ASSERT_EQ(convert.transform(computeInto("y"), output, message, vars), 0);
  EXPECT_EQ(names(vars), std::vector<std::string>{"y"});
  // The empty text converts the held description again, also when not merging.
  vars.clear();
  ASSERT_EQ(convert.transform("", output, message, vars), 0);
  EXPECT_EQ(names(vars), std::vector<std::string>{"y"});
  if (haveXmllint()) {
    EXPECT_EQ(schemaErrors(output), "");
  }
}

TEST_F(TransformPmml, AHeldDescriptionWithoutEntryListCannotTakeMore) {
  ConvertTransToPMML convert;
  std::string output, message;
  std::vector<TmsEndInfo> vars;
  ASSERT_EQ(convert.transform("<TransformationDescription/>", output, message, vars), 0);
  EXPECT_TRUE(vars.empty());
  message = "earlier";
  EXPECT_EQ(convert.transform(computeInto("y"), output, message, vars), 1);
  EXPECT_EQ(message, "ConvertTransToPMMLException: can't merge input trans file.");
  // Replacing instead of merging gets past it.
  convert.setNeedMerging(false);
  EXPECT_EQ(convert.transform(computeInto("y"), output, message, vars), 0);
}

TEST_F(TransformPmml, AFailedConversionKeepsTheDescriptionsBeforeIt) {
  ConvertTransToPMML convert;
  std::string output, message;
  std::vector<TmsEndInfo> vars;
  ASSERT_EQ(convert.transform(computeInto("a"), output, message, vars), 0);
  ASSERT_EQ(convert.transform(computeInto("b", "a"), output, message, vars), 0);
  // Redefines "a": the stylesheet stops and no document comes out.
  output.clear();
  EXPECT_EQ(convert.transform(computeInto("A"), output, message, vars), 3);
  EXPECT_EQ(message,
            "entry 6, Compute into \"A\": the target redefines the variable \"a\" defined by "
            "entry 2");
  EXPECT_EQ(output, "");
  vars.clear();
  message.clear();
  ASSERT_EQ(convert.transform(computeInto("c", "b"), output, message, vars), 0) << message;
  EXPECT_EQ(names(vars), (std::vector<std::string>{"a", "b", "c"}));
  if (haveXmllint()) {
    EXPECT_EQ(schemaErrors(output), "");
  }
}

TEST_F(TransformPmml, MissingStylesheetGives9AndKeepsTheAccumulatedDescription) {
  testutil::TempDir dir;
  testutil::ScopedEnv appDir("PMMLXFORM_APP_DIR", (dir.path() + "/").c_str());
  ConvertTransToPMML convert;
  std::string output, message;
  std::vector<TmsEndInfo> vars;
  EXPECT_EQ(convert.transform(readFile(kData + "accumulate/first.xml"), output, message, vars), 9);
  EXPECT_EQ(message, "ConvertTransToPMMLException: can't open xslt file." + dir.path() +
                         "/transformation.xsl");
  EXPECT_EQ(output, "");
  EXPECT_TRUE(vars.empty());
  dir.write("transformation.xsl", readFile(kShare + "transformation.xsl"));
  ASSERT_EQ(convert.transform(readFile(kData + "accumulate/second.xml"), output, message, vars), 0)
      << message;
  EXPECT_EQ(names(vars), (std::vector<std::string>{"income_band", "high_income"}));
  if (haveXmllint()) {
    EXPECT_EQ(schemaErrors(output), "");
  }
}

// Runs a stylesheet of the test's own over a small description.
class OwnStylesheet : public ::testing::Test {
 protected:
  void use(const std::string& templateBody) {
    dir_.write("transformation.xsl",
               "<xsl:stylesheet version=\"1.0\" "
               "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
               "<xsl:template match=\"/\">" +
                   templateBody + "</xsl:template></xsl:stylesheet>");
  }
  testutil::TempDir dir_;
  testutil::ScopedEnv appDir_{"PMMLXFORM_APP_DIR", (dir_.path() + "/").c_str()};
  testutil::ScopedEnv name_{"PMMLXFORM_APP_NAME", "Host"};
  testutil::ScopedEnv version_{"PMMLXFORM_APP_VERSION", "7.1"};
  testutil::ScopedEnv copyright_{"PMMLXFORM_COPYRIGHT", ""};
  std::string output_, message_;
  std::vector<TmsEndInfo> vars_{1};  // one record from an earlier call
};

TEST_F(OwnStylesheet, StampsABarePmmlRootAndHeader) {
  use("<PMML version=\"4.1\"><DataDictionary/><TransformationDictionary>"
      "<DefineFunction name=\"f\"/><DerivedField name=\"d\" dataType=\"double\" "
      "optype=\"continuous\"/></TransformationDictionary></PMML>");
  ConvertTransToPMML convert;
  ASSERT_EQ(convert.transform(computeInto("y"), output_, message_, vars_), 0);
  EXPECT_EQ(output_.substr(output_.find("<PMML")),
            std::string("<PMML version=\"4.3\" xmlns=\"http://www.dmg.org/PMML-4_3\" "
                        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                        "xsi:schemaLocation=\"http://www.dmg.org/PMML-4_3 pmml-4-3.xsd\">"
                        "<Header copyright=\"") +
                pmmlxform::kVendorCopyright +
                "\"><Application name=\"Host\" version=\"7.1\"/></Header>"
                "<DataDictionary/><TransformationDictionary><DefineFunction name=\"f\"/>"
                "<DerivedField dataType=\"double\" name=\"d\" optype=\"continuous\"/>"
                "</TransformationDictionary></PMML>");
  // Appended after what the vector held.
  EXPECT_EQ(names(vars_), (std::vector<std::string>{"", "d"}));
}

TEST_F(OwnStylesheet, KeepsAnExistingHeaderAndOverwritesItsAttributes) {
  testutil::ScopedEnv copyright("PMMLXFORM_COPYRIGHT", "Host Corp");
  use("<PMML><Header copyright=\"old\" description=\"kept\"><Application name=\"old\" "
      "version=\"0\"/></Header><DataDictionary/><TransformationDictionary/></PMML>");
  ConvertTransToPMML convert;
  ASSERT_EQ(convert.transform(computeInto("y"), output_, message_, vars_), 0);
  EXPECT_NE(output_.find("<Header copyright=\"Host Corp\" description=\"kept\"><Application "
                         "name=\"Host\" version=\"7.1\"/></Header><DataDictionary/>"),
            std::string::npos)
      << output_;
  EXPECT_EQ(countOf(output_, "<Header"), 1u);
  EXPECT_EQ(countOf(output_, "<Application"), 1u);
}

TEST_F(OwnStylesheet, LeavesAnotherRootUnstampedAndUnreported) {
  use("<Model><TransformationDictionary><DerivedField name=\"d\"/></TransformationDictionary>"
      "</Model>");
  ConvertTransToPMML convert;
  ASSERT_EQ(convert.transform(computeInto("y"), output_, message_, vars_), 0);
  EXPECT_EQ(output_.substr(output_.find("<Model")),
            "<Model><TransformationDictionary><DerivedField name=\"d\"/>"
            "</TransformationDictionary></Model>");
  EXPECT_EQ(vars_.size(), 1u);
}

TEST_F(OwnStylesheet, OutputThatIsNoDocumentGives9AndKeepsTheHeldDescription) {
  use("<PMML><DataDictionary/><TransformationDictionary/></PMML>");
  ConvertTransToPMML convert;
  ASSERT_EQ(convert.transform(computeInto("a"), output_, message_, vars_), 0);
  // Text output: nothing parses back.
  dir_.write("transformation.xsl",
             "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
             "<xsl:output method=\"text\"/><xsl:template match=\"/\">no XML</xsl:template>"
             "</xsl:stylesheet>");
  output_.clear();
  EXPECT_EQ(convert.transform(computeInto("b"), output_, message_, vars_), 9);
  EXPECT_EQ(message_, "ConvertTransToPMMLException: Output Trans xml empty!");
  EXPECT_EQ(output_, "");
  // The held description is the first one alone again: count its computes.
  use("<PMML><DataDictionary/><TransformationDictionary><xsl:for-each select=\"//Compute\">"
      "<DerivedField name=\"{@target}\"/></xsl:for-each></TransformationDictionary></PMML>");
  vars_.clear();
  ASSERT_EQ(convert.transform("", output_, message_, vars_), 0);
  EXPECT_EQ(names(vars_), std::vector<std::string>{"a"});
}

TEST_F(OwnStylesheet, OtherTerminatingMessagesAndEngineFailures) {
  ConvertTransToPMML convert;
  use("<xsl:message terminate=\"yes\">no prefix here</xsl:message>");
  EXPECT_EQ(convert.transform(computeInto("y"), output_, message_, vars_), 4);
  EXPECT_EQ(message_, "no prefix here");
  dir_.write("transformation.xsl", "<not-a-stylesheet");
  EXPECT_EQ(convert.transform(computeInto("z"), output_, message_, vars_), 9);
  EXPECT_NE(message_.find("ConvertTransToPMMLException: Output Trans xml empty!"),
            std::string::npos);
}

TEST_F(TransformPmml, DocumentFormWithoutDescriptionFailsCleanly) {
  ConvertTransToPMML convert;
  std::string message;
  std::vector<TmsEndInfo> vars;
  xercesc::DOMDocument* output = nullptr;
  // Nothing held and nothing given: no document to run the stylesheet on.
  EXPECT_EQ(convert.transform(nullptr, output, message, vars), 9);
  EXPECT_EQ(output, nullptr);
  XMLCh core[] = {'C', 'o', 'r', 'e', 0};
  xercesc::DOMDocument* empty =
      xercesc::DOMImplementationRegistry::getDOMImplementation(core)->createDocument();
  message.clear();
  // The XSLT engine would crash on a document without root element. A
  // pointer the caller left set is neither stamped nor replaced.
  xercesc::DOMDocument* callers = empty;
  EXPECT_EQ(convert.transform(empty, callers, message, vars), 9) << message;
  EXPECT_EQ(callers, empty);
  EXPECT_EQ(empty->getDocumentElement(), nullptr);
  EXPECT_EQ(message,
            "ConvertByXSLTException:the source document is emptyConvertTransToPMMLException: "
            "Output Trans xml empty!");
  empty->release();
  // A description still converts afterwards.
  std::string text;
  message.clear();
  EXPECT_EQ(convert.transform(computeInto("y"), text, message, vars), 0) << message;
  if (output != nullptr) output->release();
}

TEST_F(TransformPmml, SetPmmlAndHeaderInfoRefusesWhatIsNoPmml) {
  ConvertTransToPMML convert;
  std::string message;
  EXPECT_FALSE(convert.setPmmlAndHeaderInfo(nullptr, message));
  pmmlxform::HardenedDOMParser parser;
  ASSERT_EQ(parser.parseText("<Model version=\"1\"/>"), 0u);
  EXPECT_FALSE(convert.setPmmlAndHeaderInfo(parser.getDocument(), message));
  EXPECT_EQ(parser.getDocument()->getDocumentElement()->getFirstChild(), nullptr);
  EXPECT_EQ(message, "");
}

// The text, stream, document and validity forms are all callable on the
// derived class itself, and all reach the stylesheet.
TEST_F(TransformPmml, EveryFormWorksOnTheDerivedClass) {
  const std::string good = readFile(kData + "worked_example_1.xml");
  const std::string bad = readFile(kData + "bad_func_unknown.xml");
  std::string message;
  std::vector<TmsEndInfo> vars;
  {
    ConvertTransToPMML convert;
    std::string output;
    EXPECT_EQ(convert.transform(good, output, message, vars), 0);
    EXPECT_NE(output.find("<DerivedField"), std::string::npos);
  }
  {
    ConvertTransToPMML convert;
    std::istringstream in(good);
    std::ostringstream out;
    EXPECT_EQ(convert.transform(in, out, message, vars), 0);
    EXPECT_NE(out.str().find("<DerivedField"), std::string::npos);
  }
  {
    ConvertTransToPMML convert;
    pmmlxform::HardenedDOMParser parser;
    ASSERT_EQ(parser.parseText(good), 0u);
    xercesc::DOMDocument* output = nullptr;
    EXPECT_EQ(convert.transform(parser.getDocument(), output, message, vars), 0);
    ASSERT_NE(output, nullptr);
    output->release();
  }
  int errorNo = -1;
  {
    ConvertTransToPMML convert;
    EXPECT_TRUE(convert.isValidTransXML(good, errorNo, message));
    EXPECT_EQ(errorNo, 0);
    ConvertTransToPMML other;
    EXPECT_FALSE(other.isValidTransXML(bad, errorNo, message));
    EXPECT_EQ(errorNo, 2);
    EXPECT_EQ(message, "entry 3, Compute into \"y\": unknown function \"mean\"");
  }
  {
    ConvertTransToPMML convert;
    std::istringstream in(bad);
    EXPECT_FALSE(convert.isValidTransXML(in, errorNo, message));
    EXPECT_EQ(errorNo, 2);
  }
  {
    ConvertTransToPMML convert;
    pmmlxform::HardenedDOMParser parser;
    ASSERT_EQ(parser.parseText(good), 0u);
    EXPECT_TRUE(convert.isValidTransXML(parser.getDocument(), errorNo, message));
    EXPECT_EQ(errorNo, 0);
  }
}

}  // namespace
