// The tool's transform and check jobs, run as a user runs them.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/test_util.h"

namespace {

const std::string kData = std::string(PMMLXFORM_SOURCE_DIR) + "/tests/data/transform/";
const std::string kFirst = kData + "accumulate/first.xml";
const std::string kSecond = kData + "accumulate/second.xml";

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

// Runs the tool with `args` (already shell-quoted where needed).
ToolRun tool(const std::string& args, const testutil::TempDir& dir) {
  ToolRun run;
  run.status = testutil::runCommand(
      std::string(PMMLXFORM_TOOL) + " " + args + " 2>" + dir.path() + "/stderr", run.out);
  run.err = readFile(dir.path() + "/stderr");
  return run;
}

TEST(ToolTransform, JobsAndTheirExitCodes) {
  struct Case {
    const char* name;
    std::string args;
    int status;
    std::string inOut;  // expected within standard output
    std::string inErr;  // expected within standard error
  };
  testutil::TempDir dir;
  const std::string malformed = dir.write("malformed.xml", "<Transformations");
  const Case cases[] = {
      {"accumulates", "transform " + kFirst + " " + kSecond, 0,
       "<DerivedField dataType=\"double\" name=\"high_income\"", ""},
      {"replace converts each alone", "transform --replace " + kFirst + " " + kSecond, 3, "",
       "pmmlxform: transform: " + kSecond +
           ": entry 3, Compute into \"high_income\": the field \"income_band\" is neither "
           "declared nor defined by an earlier entry (code 3)\n"},
      {"stdin", "transform - < " + kFirst, 0, "<PMML version=\"4.3\"", ""},
      {"unknown function", "transform " + kData + "bad_func_unknown.xml", 2, "",
       ": entry 3, Compute into \"y\": unknown function \"mean\" (code 2)"},
      {"entry that cannot be converted", "transform " + kData + "bad_convert_width.xml", 5, "",
       "an entry cannot be converted"},
      {"missing file", "transform " + kData + "no_such.xml", 66, "", "cannot open"},
      {"no description", "transform", 64, "", "DESCRIPTION"},
      {"check valid", "check " + kData + "compute.xml", 0, kData + "compute.xml: valid\n", ""},
      {"check invalid", "check " + kData + "bad_revars_source.xml", 3, "",
       "pmmlxform: check: " + kData +
           "bad_revars_source.xml: entry 3, Recode into \"y\": the "
           "source \"z\" is neither declared nor defined by an earlier entry (code 3)"},
      {"check malformed", "check - < " + malformed, 1, "",
       "not a well-formed transformation description (code 1)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ToolRun run = tool(c.args, dir);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.out.find(c.inOut), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(c.inErr), std::string::npos) << run.err;
    if (c.status != 0) {
      EXPECT_EQ(run.out, "");
    }
  }
}

TEST(ToolTransform, WritesThePmmlAndTheReportToFiles) {
  testutil::TempDir dir;
  const std::string pmml = dir.path() + "/out.xml";
  const std::string report = dir.path() + "/vars.json";
  const ToolRun run =
      tool("transform " + kFirst + " " + kSecond + " -o " + pmml + " --report " + report, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_NE(readFile(pmml).find("name=\"income_band\""), std::string::npos);
  EXPECT_EQ(readFile(report),
            "{\n"
            "  \"variables\": [\n"
            "    {\n"
            "      \"name\": \"income_band\",\n"
            "      \"displayName\": \"\",\n"
            "      \"dataType\": \"double\",\n"
            "      \"optype\": \"ordinal\"\n"
            "    },\n"
            "    {\n"
            "      \"name\": \"high_income\",\n"
            "      \"displayName\": \"\",\n"
            "      \"dataType\": \"double\",\n"
            "      \"optype\": \"categorical\"\n"
            "    }\n"
            "  ]\n"
            "}\n");
  // An output that cannot be written.
  EXPECT_EQ(tool("transform " + kFirst + " -o " + dir.path() + "/no/such/dir/out.xml", dir).status,
            73);
}

}  // namespace
