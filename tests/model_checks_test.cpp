// The shape checks of transformation PMML and model PMML before a merge.
#include <gtest/gtest.h>

#include <string>

#include "tests/test_util.h"

namespace {

// A model document around `body` (what follows the Header) with root version `version`.
std::string model(const std::string& body, const std::string& version = "4.3") {
  return "<PMML version=\"" + version + "\"><Header/>" + body + "</PMML>";
}

constexpr char kTree[] = "<DataDictionary/><TreeModel><MiningSchema/><Node/></TreeModel>";

struct Case {
  const char* name;
  std::string xml;
  bool ok;
};

class ModelChecks : public ::testing::Test {
 protected:
  testutil::Merger merger_;
  testutil::Documents docs_;
};

TEST_F(ModelChecks, TransformationNeedsHeaderThenDataThenTransformationDictionary) {
  const std::string dictionaries = "<DataDictionary/><TransformationDictionary/>";
  const Case cases[] = {
      {"plain", "<PMML><Header/>" + dictionaries + "</PMML>", true},
      {"build task after the data dictionary, then anything",
       "<PMML><Header/><DataDictionary/><MiningBuildTask/><TransformationDictionary/><Bogus/>"
       "</PMML>",
       true},
      {"build task before the data dictionary",
       "<PMML><Header/><MiningBuildTask/>" + dictionaries + "</PMML>", false},
      {"no transformation dictionary", "<PMML><Header/><DataDictionary/></PMML>", false},
      {"root in lower case", "<pmml><Header/>" + dictionaries + "</pmml>", false},
      {"prefixed root", "<p:PMML xmlns:p=\"urn:p\"><Header/>" + dictionaries + "</p:PMML>", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(merger_.checkTransPMML(docs_.parse(c.xml)), c.ok);
  }
  EXPECT_FALSE(merger_.checkTransPMML(nullptr));
}

TEST_F(ModelChecks, ModelVersionMustBeThreeTwoOrFourAndLater) {
  const struct {
    const char* version;
    bool ok;
  } cases[] = {
      {"3.2", true},  {"4", true},     {"4.", true},     {"10.7", true},   {"3", false},
      {"3.1", false}, {"4.x", false},  {"4.3.1", false}, {"4.1 ", false},  {".1", false},
      {"", false},    {"-4.0", false}, {"4.-1", false},  {"4.4.1", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("version \"") + c.version + "\"");
    EXPECT_EQ(merger_.checkModelPMML(docs_.parse(model(kTree, c.version))), c.ok);
  }
  EXPECT_FALSE(
      merger_.checkModelPMML(docs_.parse("<PMML><Header/>" + std::string(kTree) + "</PMML>")));
}

TEST_F(ModelChecks, ModelNeedsOneKnownModelAfterTheDictionaries) {
  const Case cases[] = {
      {"build task before the dictionary",
       "<MiningBuildTask/><DataDictionary/><TreeModel><MiningSchema/></TreeModel>", true},
      {"only an Extension after the dictionaries", "<DataDictionary/><Extension/>", true},
      {"Extensions before and after the model",
       "<DataDictionary/><TreeModel><Extension/><Extension/><MiningSchema/></TreeModel>"
       "<Extension/>",
       true},
      {"unsegmented MiningModel", "<DataDictionary/><MiningModel><MiningSchema/></MiningModel>",
       true},
      {"unknown model kind", "<DataDictionary/><Scorecard><MiningSchema/></Scorecard>", false},
      {"Output before the mining schema",
       "<DataDictionary/><TreeModel><Output/><MiningSchema/></TreeModel>", false},
      {"two models", std::string(kTree) + "<TreeModel><MiningSchema/></TreeModel>", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(merger_.checkModelPMML(docs_.parse(model(c.xml))), c.ok);
    EXPECT_FALSE(merger_.segmented());
  }
  EXPECT_FALSE(merger_.checkModelPMML(nullptr));
  EXPECT_FALSE(merger_.checkModelPMML(
      docs_.parse("<Pmml version=\"4.3\"><Header/>" + std::string(kTree) + "</Pmml>")));
}

TEST_F(ModelChecks, SegmentedMiningModelIsRefusedAndRemembered) {
  // Segments anywhere below the MiningModel count, an Extension included.
  for (const char* body :
       {"<DataDictionary/><MiningModel><MiningSchema/><Segmentation/></MiningModel>",
        "<DataDictionary/><MiningModel><Extension><Segmentation/></Extension><MiningSchema/>"
        "</MiningModel>"}) {
    SCOPED_TRACE(body);
    EXPECT_FALSE(merger_.checkModelPMML(docs_.parse(model(body))));
    EXPECT_TRUE(merger_.segmented());
  }
  // The next check starts afresh, whatever it refuses for.
  EXPECT_FALSE(merger_.checkModelPMML(docs_.parse(model(kTree, "3.1"))));
  EXPECT_FALSE(merger_.segmented());
  // A Segmentation below another model kind is no segmented MiningModel.
  EXPECT_TRUE(merger_.checkModelPMML(docs_.parse(
      model("<DataDictionary/><TreeModel><MiningSchema/><Segmentation/></TreeModel>"))));
  EXPECT_FALSE(merger_.segmented());
}

}  // namespace
