// Application directory and parameters of the host services.
#include "host/havrik.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "pmmlxform/version.h"
#include "tests/test_util.h"

namespace {

std::string appDir() { return havrik::PathFactory::getPathInstance()->getAppDir(); }

TEST(Havrik, AppDirComesFromTheEnvironmentOrTheBuildTreeAndEndsInASlash) {
  for (const char* value : {"/opt/app", "/opt/app/"}) {
    testutil::ScopedEnv env("PMMLXFORM_APP_DIR", value);
    EXPECT_EQ(appDir(), "/opt/app/");
  }
  // Unset or empty: the data directory beside the module, here the build tree's.
  for (const char* value : {static_cast<const char*>(nullptr), ""}) {
    testutil::ScopedEnv env("PMMLXFORM_APP_DIR", value);
    const std::string dir = appDir();
    EXPECT_EQ(std::filesystem::canonical(dir),
              std::filesystem::canonical(PMMLXFORM_BINARY_DIR "/share/pmmlxform"));
    EXPECT_EQ(dir.back(), '/');
  }
}

TEST(Havrik, DataDirectoryIsTheModulesSiblingShareDirectory) {
  const struct {
    const char* module;
    const char* relative;
    const char* expected;
  } cases[] = {
      {"/opt/x/lib/libpmmlxform.so.1", "../share/pmmlxform", "/opt/x/share/pmmlxform/"},
      {"/usr/lib/x86_64-linux-gnu/libpmmlxform.so.1", "../../share/pmmlxform/",
       "/usr/share/pmmlxform/"},
      {"lib/lib.so", "../share/pmmlxform", ""},
      {"", "../share/pmmlxform", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.module);
    EXPECT_EQ(havrik::dataDirForModule(c.module, c.relative), c.expected);
  }
}

TEST(Havrik, AppParamsDefaultAndComeFromTheEnvironment) {
  const char* const names[] = {"PMMLXFORM_APP_NAME", "PMMLXFORM_APP_VERSION",
                               "PMMLXFORM_COPYRIGHT"};
  for (const char* value : {static_cast<const char*>(nullptr), "set"}) {
    testutil::ScopedEnv n(names[0], value), v(names[1], value), c(names[2], value);
    const havrik::AppParams p = havrik::GetAppParams();
    EXPECT_EQ(p.name + "|" + p.version + "|" + p.copyright,
              value ? "set|set|set" : "pmmlxform|" PMMLXFORM_VERSION_STRING "|");
  }
}

}  // namespace
