// The pmmlxform tool's syntax and back-syntax jobs, run as a separate process.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/test_util.h"

namespace {

const std::string kTool = PMMLXFORM_TOOL;
const std::string kSource = PMMLXFORM_SOURCE_DIR;
const std::string kExample = kSource + "/share/pmmlxform/examples/adp_example.xml";

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string quote(const std::string& s) { return "'" + s + "'"; }

// Runs the tool with `args` (shell words); captures standard output and error.
struct ToolRun {
  ToolRun(const testutil::TempDir& dir, const std::string& args, const std::string& env = "") {
    const std::string err = dir.path() + "/stderr.txt";
    code = testutil::runCommand(env + " " + quote(kTool) + " " + args + " 2>" + quote(err), out);
    this->err = readFile(err);
  }
  int code;
  std::string out;
  std::string err;
};

const std::string kFailingThird =
    "<PMML><DataDictionary/><TransformationDictionary>"
    "<DerivedField name='a'><FieldRef field='x'/></DerivedField>"
    "<DerivedField name='b'><FieldRef field='y'/></DerivedField>"
    "<DerivedField name='c'><Apply function='+'><FieldRef field='x'/></Apply></DerivedField>"
    "</TransformationDictionary></PMML>";

TEST(Tool, ConvertsFilesAndStandardInput) {
  testutil::TempDir dir;
  const std::string golden = readFile(kSource + "/tests/data/syntax/adp_example.sps");
  struct Case {
    const char* name;
    std::string args;
  };
  const Case cases[] = {
      {"file", "syntax " + quote(kExample)},
      {"standard input", "syntax - < " + quote(kExample)},
      {"standard input by default", "syntax < " + quote(kExample)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ToolRun r(dir, c.args);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, golden);
    EXPECT_EQ(r.err, "");
  }
}

TEST(Tool, WritesOutputAndNoneFieldFiles) {
  testutil::TempDir dir;
  const std::string out = dir.path() + "/out.sps";
  const std::string none = dir.path() + "/none.txt";
  ToolRun r(dir,
            "syntax " + quote(kExample) + " -o " + quote(out) + " --none-fields " + quote(none));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(readFile(out), readFile(kSource + "/tests/data/syntax/adp_example.sps"));
  EXPECT_EQ(readFile(none), "customer_id\nnotes\n");
}

TEST(Tool, PassesItsFlagsToTheLibrary) {
  testutil::TempDir dir;
  ToolRun skip(dir, "syntax --skip-roles " + quote(kExample));
  EXPECT_EQ(skip.code, 0);
  EXPECT_EQ(skip.out.find("VARIABLE ROLE"), std::string::npos);
  ToolRun comments(dir, "syntax --comments " + quote(kExample));
  EXPECT_EQ(comments.code, 0);
  EXPECT_NE(comments.out.find("\n** Target - age_t , Inputs -  age.\nCOMPUTE age_t"),
            std::string::npos);
  ToolRun back(dir, "back-syntax --target spend_pred --source spend_t_pred " + quote(kExample));
  EXPECT_EQ(back.code, 0) << back.err;
  EXPECT_EQ(back.out, readFile(kSource + "/tests/data/syntax/adp_example_back.sps"));
  ToolRun keep(dir, "back-syntax --target spend_pred --source '' " + quote(kExample));
  EXPECT_EQ(keep.out, "\nCOMPUTE spend_pred = (EXP(spend_t)-1).\n");
}

TEST(Tool, ReportsFailuresAndStillWritesThePartialOutput) {
  testutil::TempDir dir;
  const std::string failing = dir.write("failing.xml", kFailingThird);
  const std::string empty = dir.write("empty.xml", "");
  const std::string broken = dir.write("broken.xml", "<PMML>");
  const std::string newline =
      dir.write("newline.xml",
                "<PMML><DataDictionary/><TransformationDictionary><DerivedField name='a&#10;b'>"
                "<FieldRef field='x'/></DerivedField></TransformationDictionary></PMML>");
  struct Case {
    const char* name;
    std::string args;
    int code;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {"third field fails", "syntax " + quote(failing), 9, "\nCOMPUTE a = x.\n\nCOMPUTE b = y.\n\n",
       "pmmlxform: syntax: ADPTransformation.PMML.TransformationDictionary.DerivedField(c)."
       "Apply(+){Expression must have two arguments.} (code 9)\n"},
      {"empty input", "syntax " + quote(empty), 2, "",
       "pmmlxform: syntax: Input file is invalid. (code 2)\n"},
      {"invalid XML", "back-syntax --target t --source s " + quote(broken), 5, "",
       "pmmlxform: back-syntax: Input xml file is invalid. (code 5)\n"},
      {"error path on one line", "syntax " + quote(newline), 7, "",
       "pmmlxform: syntax: ADPTransformation.PMML.TransformationDictionary.DerivedField."
       "DerivedField(a?b){Not a valid variable name.} (code 7)\n"},
      {"missing input", "syntax " + quote(dir.path() + "/none.xml"), 66, "",
       "pmmlxform: syntax: cannot open '" + dir.path() +
           "/none.xml': No such file or directory (code 66)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ToolRun r(dir, c.args);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
  // With -o the partial output goes to the file.
  const std::string out = dir.path() + "/partial.sps";
  ToolRun r(dir, "syntax " + quote(failing) + " -o " + quote(out));
  EXPECT_EQ(r.code, 9);
  EXPECT_EQ(readFile(out), "\nCOMPUTE a = x.\n\nCOMPUTE b = y.\n\n");
}

TEST(Tool, RefusesBadCommandLines) {
  testutil::TempDir dir;
  for (const char* args : {"syntax --no-such-flag", "back-syntax --source s",
                           "back-syntax --target t", "syntax a.xml b.xml"}) {
    SCOPED_TRACE(args);
    ToolRun r(dir, std::string(args) + " < /dev/null");
    EXPECT_EQ(r.code, 64);
    EXPECT_EQ(r.out, "");
  }
}

TEST(Tool, ConvertsInTheLocalCodePageOnRequest) {
  testutil::TempDir dir;
  const std::string doc = dir.write(
      "latin.xml",
      "<PMML><DataDictionary/><TransformationDictionary><DerivedField name='gr\xc3\xb6\xc3\x9f"
      "e'><FieldRef field='x'/></DerivedField></TransformationDictionary></PMML>");
  ToolRun utf8(dir, "syntax " + quote(doc), "LC_ALL=C");
  EXPECT_EQ(utf8.code, 0) << utf8.err;
  EXPECT_EQ(utf8.out,
            "\nCOMPUTE gr\xc3\xb6\xc3\x9f"
            "e = x.\n\n");
  // ASCII cannot hold the name, so the library refuses it rather than write "gr??e".
  ToolRun local(dir, "syntax --local-codepage " + quote(doc), "LC_ALL=C");
  EXPECT_EQ(local.code, 7);
}

}  // namespace
