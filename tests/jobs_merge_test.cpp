// The tool's merge job, run as a user runs it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/test_util.h"

namespace {

const std::string kTool = PMMLXFORM_TOOL;
const std::string kExamples = std::string(PMMLXFORM_SOURCE_DIR) + "/share/pmmlxform/examples/";
const std::string kTransformation = kExamples + "credit-transformation.pmml";
const std::string kModel = kExamples + "credit-model.pmml";

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Runs the tool with `arguments`, standard error joined to standard output.
int tool(const std::string& arguments, std::string& output) {
  return testutil::runCommand(kTool + " " + arguments + " 2>&1", output);
}

TEST(MergeJob, WritesTheMergedDocumentAndTheReport) {
  testutil::TempDir dir;
  const std::string out = dir.path() + "/merged.pmml";
  const std::string report = dir.path() + "/report.json";
  std::string output;
  ASSERT_EQ(tool("merge " + kTransformation + " " + kModel + " -o " + out + " --report " + report,
                 output),
            0)
      << output;
  EXPECT_EQ(output, "");
  const std::string merged = readFile(out);
  EXPECT_TRUE(contains(merged, "<Extension extender=\"pmmlxform\" name=\"DerivedFields\">"));
  EXPECT_TRUE(contains(merged, "\n      <MiningField name=\"debt\"/>")) << merged;
  const std::string json = readFile(report);
  for (const char* part : {"\"code\": 0", "\"name\": \"risk\"", "\"name\": \"ratio_band\"",
                           "\"displayName\": \"Monthly income\"", "\"usageType\": \"predicted\"",
                           "\"usageType\": \"active\""}) {
    EXPECT_TRUE(contains(json, part)) << part << "\n" << json;
  }
  // Standard output by default; the document is the same.
  ASSERT_EQ(tool("merge " + kTransformation + " - < " + kModel, output), 0);
  EXPECT_EQ(output, merged);
}

TEST(MergeJob, AConflictIsAWarningAndTheDocumentIsWritten) {
  testutil::TempDir dir;
  // The model predicts "income", a raw input behind income_band.
  std::string model = readFile(kModel);
  for (const std::string from : {"name=\"risk\"", "field=\"risk\""}) {
    for (std::size_t at = model.find(from); at != std::string::npos; at = model.find(from)) {
      model.replace(at, from.size(), "name=\"income\"");
    }
  }
  const std::string modelPath = dir.write("model.pmml", model);
  const std::string out = dir.path() + "/merged.pmml";
  const std::string report = dir.path() + "/report.json";
  std::string output;
  EXPECT_EQ(
      tool("merge " + kTransformation + " " + modelPath + " -o " + out + " --report " + report,
           output),
      0);
  EXPECT_TRUE(contains(output, "pmmlxform: merge: warning: field conflict on 'income'")) << output;
  EXPECT_TRUE(contains(readFile(out), "DerivedFields"));
  EXPECT_TRUE(contains(readFile(report), "\"code\": 4"));
  EXPECT_TRUE(contains(readFile(report), "\"message\": \"income\""));
}

TEST(MergeJob, RefusalsAndToolFailuresExitWithTheirCodes) {
  testutil::TempDir dir;
  const std::string segmented =
      dir.write("segmented.pmml",
                "<PMML version=\"4.3\"><Header/><DataDictionary/>"
                "<MiningModel><MiningSchema/><Segmentation/></MiningModel></PMML>");
  const std::string out = dir.path() + "/never.pmml";
  struct Case {
    std::string arguments;
    int code;
    std::string message;
  } cases[] = {
      {"merge " + kModel + " " + kModel, 6, "pmmlxform: merge: the transformation document"},
      {"merge " + kTransformation + " " + kTransformation, 7, "pmmlxform: merge: the model"},
      {"merge " + kTransformation + " " + segmented, 8,
       "segmented MiningModel, which cannot be merged (code 8)"},
      {"merge " + kTransformation + " " + dir.path() + "/absent.pmml", 66, "cannot open"},
      {"merge - -", 64, "only one input can be standard input"},
      {"merge " + kTransformation, 64, "MODEL"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    std::string output;
    EXPECT_EQ(tool(c.arguments + " -o " + out, output), c.code);
    EXPECT_TRUE(contains(output, c.message)) << output;
    EXPECT_FALSE(std::ifstream(out).good()) << "no output on refusal";
  }
}

}  // namespace
