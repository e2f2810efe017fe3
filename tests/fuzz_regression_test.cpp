// Replays every input the fuzzers found (fuzz/regressions/NAME/) through the
// harness entry code: each must come back with a documented code, and the
// sanitizer and memory-check runs of this suite show it neither crashes nor leaks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/targets.h"
#include "test_util.h"

namespace {

TEST(FuzzRegression, EverySavedInputGivesADocumentedCode) {
  testutil::ScopedEnv appDir("PMMLXFORM_APP_DIR", PMMLXFORM_SOURCE_DIR "/share/pmmlxform/");
  const std::filesystem::path root = PMMLXFORM_SOURCE_DIR "/fuzz/regressions";
  int replayed = 0;
  for (const char* name : pmmlxform::fuzz::kTargetNames) {
    if (!std::filesystem::is_directory(root / name)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(root / name)) {
      SCOPED_TRACE(entry.path().string());
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
      EXPECT_NE(pmmlxform::fuzz::runTarget(
                    name, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                pmmlxform::fuzz::kUndocumented);
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0);
}

}  // namespace
