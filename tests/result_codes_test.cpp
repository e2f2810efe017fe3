// The exported result codes: each constant has the value the entry points
// return, the header declares no constant the table below lacks, the internal
// tables of every job agree with the exported ones, each transform and merge
// code arises with its documented message, and the manual page lists each
// constant with its value.
#include <gtest/gtest.h>
#include <pmmlxform/pmmlxform.h>

#include <functional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "syntax/adp_result_codes.h"
#include "tests/test_util.h"
#include "trans/job_result_codes.h"

namespace {

using namespace pmmlxform;

struct Code {
  const char* name;
  int constant;
  int value;
};

constexpr Code kCodes[] = {
    {"kTransformOk", kTransformOk, 0},
    {"kTransformNotADescription", kTransformNotADescription, 1},
    {"kTransformFunctionError", kTransformFunctionError, 2},
    {"kTransformVariableError", kTransformVariableError, 3},
    {"kTransformOtherStylesheetError", kTransformOtherStylesheetError, 4},
    {"kTransformCannotConvert", kTransformCannotConvert, 5},
    {"kTransformFailed", kTransformFailed, 9},
    {"kMergeOk", kMergeOk, 0},
    {"kMergeFieldConflict", kMergeFieldConflict, 4},
    {"kMergeNotTransformation", kMergeNotTransformation, 6},
    {"kMergeNotModel", kMergeNotModel, 7},
    {"kMergeSegmentedModel", kMergeSegmentedModel, 8},
    {"kMergeFailed", kMergeFailed, 9},
    {"kSyntaxOk", kSyntaxOk, 0},
    {"kSyntaxNoDerivedField", kSyntaxNoDerivedField, 1},
    {"kSyntaxEmptyInput", kSyntaxEmptyInput, 2},
    {"kSyntaxUnsupported", kSyntaxUnsupported, 3},
    {"kSyntaxInvalidXml", kSyntaxInvalidXml, 5},
    {"kSyntaxUnexpectedElement", kSyntaxUnexpectedElement, 6},
    {"kSyntaxBadName", kSyntaxBadName, 7},
    {"kSyntaxBadValue", kSyntaxBadValue, 8},
    {"kSyntaxWrongChildCount", kSyntaxWrongChildCount, 9},
    {"kSyntaxMissingContent", kSyntaxMissingContent, 10},
    {"kSyntaxMissingDictionary", kSyntaxMissingDictionary, 11},
    {"kSyntaxNoFieldReference", kSyntaxNoFieldReference, 13},
    {"kSyntaxNoTargetInverse", kSyntaxNoTargetInverse, 14},
};

const std::string kSource = PMMLXFORM_SOURCE_DIR;

TEST(ResultCodes, EachConstantHasItsValue) {
  for (const Code& c : kCodes) EXPECT_EQ(c.constant, c.value) << c.name;
}

TEST(ResultCodes, TheHeaderDeclaresTheConstantsOfTheTable) {
  const std::string header = testutil::readFile(kSource + "/include/pmmlxform/result_codes.h");
  const std::regex declaration(R"((k[A-Za-z]+) = (\d+),)");
  std::set<std::string> declared, listed;
  for (std::sregex_iterator m(header.begin(), header.end(), declaration), end; m != end; ++m) {
    declared.insert((*m)[1].str() + "=" + (*m)[2].str());
  }
  for (const Code& c : kCodes) listed.insert(std::string(c.name) + "=" + std::to_string(c.value));
  EXPECT_EQ(declared, listed);
}

TEST(ResultCodes, TheSyntaxJobReturnsTheExportedCodes) {
  const struct {
    int internal;
    int exported;
  } pairs[] = {
      {kAdpOk, kSyntaxOk},
      {kAdpNoDerivedField, kSyntaxNoDerivedField},
      {kAdpEmptyInput, kSyntaxEmptyInput},
      {kAdpUnsupported, kSyntaxUnsupported},
      {kAdpInvalidXml, kSyntaxInvalidXml},
      {kAdpUnexpectedElement, kSyntaxUnexpectedElement},
      {kAdpBadName, kSyntaxBadName},
      {kAdpBadValue, kSyntaxBadValue},
      {kAdpWrongChildCount, kSyntaxWrongChildCount},
      {kAdpMissingContent, kSyntaxMissingContent},
      {kAdpMissingDictionary, kSyntaxMissingDictionary},
      {kAdpNoFieldReference, kSyntaxNoFieldReference},
      {kAdpNoTargetInverse, kSyntaxNoTargetInverse},
  };
  for (const auto& p : pairs) EXPECT_EQ(p.internal, p.exported);
}

// The internal tables of the transform and the merge: each internal code with
// the exported constant of its job.
struct InternalCode {
  const char* name;
  int internal;
  int exported;
};

constexpr InternalCode kJobCodes[] = {
    {"kTransOk", kTransOk, kTransformOk},
    {"kTransBadInput", kTransBadInput, kTransformNotADescription},
    {"kTransFunctionError", kTransFunctionError, kTransformFunctionError},
    {"kTransVariablesError", kTransVariablesError, kTransformVariableError},
    {"kTransOtherStylesheetError", kTransOtherStylesheetError, kTransformOtherStylesheetError},
    {"kTransConvertError", kTransConvertError, kTransformCannotConvert},
    {"kTransRunError", kTransRunError, kTransformFailed},
    {"kMrgOk", kMrgOk, kMergeOk},
    {"kMrgConflict", kMrgConflict, kMergeFieldConflict},
    {"kMrgBadTransformation", kMrgBadTransformation, kMergeNotTransformation},
    {"kMrgBadModel", kMrgBadModel, kMergeNotModel},
    {"kMrgSegmentedModel", kMrgSegmentedModel, kMergeSegmentedModel},
    {"kMrgRunError", kMrgRunError, kMergeFailed},
};

TEST(ResultCodes, TheTransformAndMergeJobsReturnTheExportedCodes) {
  for (const InternalCode& c : kJobCodes) EXPECT_EQ(c.internal, c.exported) << c.name;
}

// The table above walks every code the internal header declares, and within a
// job no two names share a value.
TEST(ResultCodes, TheJobTablesNameEachCodeOnce) {
  const std::string header = testutil::readFile(kSource + "/trans/job_result_codes.h");
  const std::regex declaration(R"(inline constexpr int (k[A-Za-z]+) = (\d+);)");
  std::set<std::string> declared, listed, transValues, mergeValues;
  for (std::sregex_iterator m(header.begin(), header.end(), declaration), end; m != end; ++m) {
    declared.insert((*m)[1].str() + "=" + (*m)[2].str());
  }
  for (const InternalCode& c : kJobCodes) {
    listed.insert(std::string(c.name) + "=" + std::to_string(c.internal));
    const bool merge = std::string(c.name).rfind("kMrg", 0) == 0;
    EXPECT_TRUE((merge ? mergeValues : transValues).insert(std::to_string(c.internal)).second)
        << c.name;
  }
  EXPECT_EQ(declared, listed);
}

constexpr char kTransformation[] =
    "<PMML version=\"4.3\"><Header/><DataDictionary><DataField name=\"income\" "
    "optype=\"continuous\" dataType=\"double\"/></DataDictionary><TransformationDictionary>"
    "<DerivedField name=\"band\" optype=\"continuous\" dataType=\"double\">"
    "<FieldRef field=\"income\"/></DerivedField></TransformationDictionary></PMML>";

// A model reading the derived field; `usage` is the raw field's usage, `kind`
// the model element.
std::string model(const std::string& usage, const std::string& kind = "TreeModel") {
  return "<PMML version=\"4.1\"><Header/><DataDictionary><DataField name=\"band\" "
         "optype=\"continuous\" dataType=\"double\"/></DataDictionary><" +
         kind + " functionName=\"regression\"><MiningSchema><MiningField name=\"band\"/>" +
         (usage.empty() ? "" : "<MiningField name=\"income\" usageType=\"" + usage + "\"/>") +
         "</MiningSchema>" + (kind == "MiningModel" ? "<Segmentation/>" : "") + "</" + kind +
         "></PMML>";
}

// Every code of both tables, from the entry point that gives it, with the
// message the table documents (a prefix, or the whole message when `whole`).
TEST(ResultCodes, EachTransformAndMergeCodeArisesWithItsMessage) {
  const std::string data = kSource + "/tests/data/transform/";
  struct Outcome {
    int code;
    std::string message;
  };
  auto transform = [](const std::string& text) {
    ConvertTransToPMML convert;
    std::string output, message;
    std::vector<TmsEndInfo> vars;
    const int code = convert.transform(text, output, message, vars);
    return Outcome{code, message};
  };
  auto errorNo = [](std::string message) {
    ConvertTransToPMML convert;
    const int code = convert.getErrorNo(message);
    return Outcome{code, message};
  };
  auto merge = [](const std::string& trans, const std::string& model) {
    ConvertTransToPMML convert;
    std::string output, message;
    std::vector<TmsEndInfo> data, derived;
    std::vector<TmsMiningFieldInfo> mining;
    const int code = convert.mergePMML(trans, model, output, message, data, derived, mining);
    return Outcome{code, message};
  };
  const struct {
    const char* name;
    std::function<Outcome()> run;
    int code;
    std::string message;
    bool whole;
  } cases[] = {
      {"kTransOk", [&] { return transform(testutil::readFile(data + "compute.xml")); }, kTransOk,
       "", true},
      {"kTransBadInput", [&] { return transform("<Foo><Bar/></Foo>"); }, kTransBadInput,
       kTransNotDescriptionMessage, true},
      {"kTransFunctionError",
       [&] { return transform(testutil::readFile(data + "bad_func_unknown.xml")); },
       kTransFunctionError, "", false},
      {"kTransVariablesError",
       [&] { return transform(testutil::readFile(data + "bad_revars_source.xml")); },
       kTransVariablesError, "", false},
      {"kTransOtherStylesheetError",
       [&] { return errorNo("ElemMessageTerminateExpression: stopped (line 1)"); },
       kTransOtherStylesheetError, "stopped", true},
      {"kTransConvertError",
       [&] { return transform(testutil::readFile(data + "bad_convert_width.xml")); },
       kTransConvertError, "", true},
      {"kTransRunError", [&] { return errorNo("SAXParseException: bad"); }, kTransRunError,
       "SAXParseException: bad", true},
      {"kMrgOk", [&] { return merge(kTransformation, model("")); }, kMrgOk, "", true},
      {"kMrgConflict", [&] { return merge(kTransformation, model("target")); }, kMrgConflict,
       "income", true},
      {"kMrgBadTransformation", [&] { return merge("", model("")); }, kMrgBadTransformation, "",
       true},
      {"kMrgBadModel", [&] { return merge(kTransformation, "<PMML"); }, kMrgBadModel, "", true},
      {"kMrgSegmentedModel", [&] { return merge(kTransformation, model("", "MiningModel")); },
       kMrgSegmentedModel, "", true},
      {"kMrgRunError",
       [&] {
         ConvertTrans base;  // holds no merge of its own
         std::string output, message;
         std::vector<TmsEndInfo> data, derived;
         std::vector<TmsMiningFieldInfo> mining;
         const int code =
             base.mergePMML(kTransformation, model(""), output, message, data, derived, mining);
         return Outcome{code, message};
       },
       kMrgRunError, "run error", true},
  };
  std::set<std::string> walked;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    walked.insert(c.name);
    const Outcome outcome = c.run();
    EXPECT_EQ(outcome.code, c.code);
    if (c.whole) {
      EXPECT_EQ(outcome.message, c.message);
    } else {
      EXPECT_EQ(outcome.message.rfind(c.message, 0), 0u) << outcome.message;
    }
  }
  std::set<std::string> all;
  for (const InternalCode& c : kJobCodes) all.insert(c.name);
  EXPECT_EQ(walked, all);
}

// Each constant appears in a row of the page's tables: "value<TAB>name<TAB>...".
TEST(ResultCodes, TheManualPageListsEachConstantWithItsValue) {
  const std::string page = testutil::readFile(kSource + "/man/pmmlxform.1");
  for (const Code& c : kCodes) {
    const std::string row = "\n" + std::to_string(c.value) + "\t" + c.name + "\t";
    EXPECT_NE(page.find(row), std::string::npos) << c.name;
  }
}

}  // namespace
