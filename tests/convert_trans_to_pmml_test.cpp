// ConvertTransToPMML: construction and copying.
#include <gtest/gtest.h>
#include <pmmlxform/convert_trans_to_pmml.h>

#include <string>
#include <vector>

#include "tests/test_util.h"

namespace {

class Inspect : public ConvertTransToPMML {
 public:
  const std::string& path() const { return stylesheetPath; }
  bool segmented() const { return segmentedModel; }
  void setSegmented(bool value) { segmentedModel = value; }
};

TEST(ConvertTransToPMMLConstruct, RunsTheStylesheetOfTheApplicationDirectory) {
  testutil::ScopedEnv dir("PMMLXFORM_APP_DIR", "/opt/host/");
  Inspect convert;
  EXPECT_EQ(convert.path(), "/opt/host/transformation.xsl");
  EXPECT_FALSE(convert.segmented());
  EXPECT_TRUE(convert.getNeedMerging());
}

TEST(ConvertTransToPMMLConstruct, CopiesCarryTheFlagsAndPath) {
  testutil::ScopedEnv dir("PMMLXFORM_APP_DIR", "/opt/host/");
  Inspect source;
  source.setSegmented(true);
  source.setNeedMerging(false);
  Inspect copy(source);
  EXPECT_TRUE(copy.segmented());
  EXPECT_FALSE(copy.getNeedMerging());
  EXPECT_EQ(copy.path(), "/opt/host/transformation.xsl");
  Inspect assigned;
  assigned = copy;
  EXPECT_TRUE(assigned.segmented());
  EXPECT_FALSE(assigned.getNeedMerging());
}

TEST(ConvertTransToPMMLConstruct, HostCallsReachTheDerivedConversions) {
  // Through the base class, as the host calls it.
  ConvertTransToPMML object;
  ConvertTrans& convert = object;
  std::vector<TmsEndInfo> data, derived;
  std::vector<TmsMiningFieldInfo> mining;
  std::string output, message;
  // The merge is the derived one: a bare root is no transformation PMML.
  EXPECT_EQ(convert.mergePMML("<PMML/>", "<PMML/>", output, message, data, derived, mining), 6);
  EXPECT_EQ(message, "");
}

}  // namespace
