// The exported result codes: each constant has the value the entry points
// return, the header declares no constant the table below lacks, the syntax
// job's internal codes agree with the exported ones, and the manual page lists
// each constant with its value.
#include <gtest/gtest.h>
#include <pmmlxform/pmmlxform.h>

#include <regex>
#include <set>
#include <string>

#include "syntax/adp_result_codes.h"
#include "tests/test_util.h"

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

// Each constant appears in a row of the page's tables: "value<TAB>name<TAB>...".
TEST(ResultCodes, TheManualPageListsEachConstantWithItsValue) {
  const std::string page = testutil::readFile(kSource + "/man/pmmlxform.1");
  for (const Code& c : kCodes) {
    const std::string row = "\n" + std::to_string(c.value) + "\t" + c.name + "\t";
    EXPECT_NE(page.find(row), std::string::npos) << c.name;
  }
}

}  // namespace
