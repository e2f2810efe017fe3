// ConvertTransToPMML: construction and copying.
#include <gtest/gtest.h>
#include <pmmlxform/convert_trans_to_pmml.h>

#include <string>

#include "tests/test_util.h"

namespace {

class Inspect : public ConvertTransToPMML {
 public:
  const std::string& path() const { return stylesheetPath; }
  bool segmented() const { return segmentedModel; }
  void setSegmented(bool value) { segmentedModel = value; }
};

TEST(ConvertTransToPMMLConstruct, RunsTheApplicationStylesheetAndCopiesCarryTheFlags) {
  testutil::ScopedEnv dir("PMMLXFORM_APP_DIR", "/opt/host/");
  Inspect source;
  EXPECT_EQ(source.path(), "/opt/host/transformation.xsl");
  EXPECT_FALSE(source.segmented());
  source.setSegmented(true);
  source.setNeedMerging(false);
  Inspect copy(source), assigned;
  assigned = copy;
  for (Inspect* c : {&copy, &assigned}) {
    EXPECT_TRUE(c->segmented());
    EXPECT_FALSE(c->getNeedMerging());
    EXPECT_EQ(c->path(), "/opt/host/transformation.xsl");
  }
}

}  // namespace
