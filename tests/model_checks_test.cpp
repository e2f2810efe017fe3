// The shape checks of transformation PMML and model PMML before a merge.
#include <gtest/gtest.h>

#include <string>

#include "tests/merge_test_util.h"

namespace {

using mergetest::Documents;
using mergetest::Merger;

// A model document around `body` (what follows the Header) with root version `version`.
std::string model(const std::string& body, const std::string& version = "4.3") {
  return "<PMML version=\"" + version + "\"><Header/>" + body + "</PMML>";
}

constexpr char kTree[] = "<DataDictionary/><TreeModel><MiningSchema/><Node/></TreeModel>";

TEST(CheckTransPMML, AcceptsOnlyTheTransformationOutline) {
  struct Case {
    const char* name;
    const char* xml;
    bool ok;
  } cases[] = {
      {"plain", "<PMML><Header/><DataDictionary/><TransformationDictionary/></PMML>", true},
      {"build task after the dictionary",
       "<PMML><Header/><DataDictionary/><MiningBuildTask/><TransformationDictionary/></PMML>",
       true},
      {"whatever follows is not examined",
       "<PMML><Header/><DataDictionary/><TransformationDictionary/><Bogus/></PMML>", true},
      {"text and comments between elements",
       "<PMML>\n <!-- c --> <Header/>\n<DataDictionary/> <TransformationDictionary/></PMML>", true},
      {"build task before the dictionary",
       "<PMML><Header/><MiningBuildTask/><DataDictionary/><TransformationDictionary/></PMML>",
       false},
      {"no transformation dictionary", "<PMML><Header/><DataDictionary/></PMML>", false},
      {"no header", "<PMML><DataDictionary/><TransformationDictionary/></PMML>", false},
      {"root in lower case", "<pmml><Header/><DataDictionary/><TransformationDictionary/></pmml>",
       false},
      {"prefixed root",
       "<p:PMML xmlns:p=\"urn:p\"><Header/><DataDictionary/><TransformationDictionary/></p:PMML>",
       false},
  };
  Merger merger;
  Documents docs;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(merger.checkTransPMML(docs.parse(c.xml)), c.ok);
  }
  EXPECT_FALSE(merger.checkTransPMML(nullptr));
}

TEST(CheckModelPMML, VersionMustBeThreeTwoOrFourAndLater) {
  struct Case {
    const char* version;
    bool ok;
  } cases[] = {
      {"3.2", true},  {"4", true},     {"4.0", true},    {"4.1", true},   {"4.3", true},
      {"4.", true},   {"5.0", true},   {"10.7", true},   {"3", false},    {"3.1", false},
      {"2.0", false}, {"4.x", false},  {"4.3.1", false}, {"4.1 ", false}, {".1", false},
      {"", false},    {"-4.0", false}, {"4.-1", false},  {"x4", false},   {"4.4.1", false},
  };
  Merger merger;
  Documents docs;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("version \"") + c.version + "\"");
    EXPECT_EQ(merger.checkModelPMML(docs.parse(model(kTree, c.version))), c.ok);
  }
  // No version attribute at all.
  EXPECT_FALSE(
      merger.checkModelPMML(docs.parse("<PMML><Header/>" + std::string(kTree) + "</PMML>")));
}

TEST(CheckModelPMML, AcceptsOneKnownModelAfterTheDictionaries) {
  struct Case {
    const char* name;
    std::string body;
    bool ok;
  } cases[] = {
      {"tree", kTree, true},
      {"build task before the dictionary",
       "<MiningBuildTask/><DataDictionary/><TreeModel><MiningSchema/></TreeModel>", true},
      {"build task after the dictionary, then a transformation dictionary",
       "<DataDictionary/><MiningBuildTask/><TransformationDictionary/>"
       "<RegressionModel><MiningSchema/></RegressionModel>",
       true},
      {"only an Extension after the dictionaries", "<DataDictionary/><Extension/>", true},
      {"model starting with Extensions",
       "<DataDictionary/><TreeModel><Extension/><Extension/><MiningSchema/></TreeModel>", true},
      {"model followed by Extensions",
       "<DataDictionary/><TreeModel><MiningSchema/></TreeModel><Extension/><Extension/>", true},
      {"unsegmented MiningModel", "<DataDictionary/><MiningModel><MiningSchema/></MiningModel>",
       true},
      {"nearest neighbours",
       "<DataDictionary/><NearestNeighborModel><MiningSchema/>"
       "</NearestNeighborModel>",
       true},
      {"nothing after the dictionary", "<DataDictionary/>", false},
      {"unknown model kind", "<DataDictionary/><Scorecard><MiningSchema/></Scorecard>", false},
      {"model without children", "<DataDictionary/><TreeModel/>", false},
      {"model with Extensions only", "<DataDictionary/><TreeModel><Extension/></TreeModel>", false},
      {"Output before the mining schema",
       "<DataDictionary/><TreeModel><Output/><MiningSchema/></TreeModel>", false},
      {"two models",
       "<DataDictionary/><TreeModel><MiningSchema/></TreeModel>"
       "<TreeModel><MiningSchema/></TreeModel>",
       false},
      {"no dictionary", "<TreeModel><MiningSchema/></TreeModel>", false},
  };
  Merger merger;
  Documents docs;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(merger.checkModelPMML(docs.parse(model(c.body))), c.ok);
    EXPECT_FALSE(merger.segmented());
  }
  EXPECT_FALSE(merger.checkModelPMML(nullptr));
  EXPECT_FALSE(merger.checkModelPMML(
      docs.parse("<Pmml version=\"4.3\"><Header/>" + std::string(kTree) + "</Pmml>")));
}

TEST(CheckModelPMML, SegmentedMiningModelIsRefusedAndRemembered) {
  Merger merger;
  Documents docs;
  // Segments anywhere below the MiningModel count, an Extension included.
  for (const char* body :
       {"<DataDictionary/><MiningModel><MiningSchema/><Segmentation/></MiningModel>",
        "<DataDictionary/><MiningModel><Extension><Segmentation/></Extension><MiningSchema/>"
        "</MiningModel>"}) {
    SCOPED_TRACE(body);
    EXPECT_FALSE(merger.checkModelPMML(docs.parse(model(body))));
    EXPECT_TRUE(merger.segmented());
  }
  // The next check starts afresh, whatever it refuses for.
  EXPECT_FALSE(merger.checkModelPMML(docs.parse(model(kTree, "3.1"))));
  EXPECT_FALSE(merger.segmented());
  // A Segmentation below another model kind is no segmented MiningModel.
  EXPECT_TRUE(merger.checkModelPMML(
      docs.parse(model("<DataDictionary/><TreeModel><MiningSchema/><Segmentation/></TreeModel>"))));
  EXPECT_FALSE(merger.segmented());
}

}  // namespace
